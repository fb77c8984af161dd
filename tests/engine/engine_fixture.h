// Shared fixture of the engine tests: a private virtual scanner configuration per test, SANE
// off, and a fresh session.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "dib_view.h"
#include "lumtwain.h"
#include "platform/win/win.h"

namespace lumtwain::test {

// The bytes of a DIB block (the block is freed).
inline std::vector<uint8_t> TakeBlock(uint32_t block) {
    std::vector<uint8_t> bytes;
    if (!block) return bytes;
    const uint8_t* p = static_cast<const uint8_t*>(GlobalLock(block));
    if (p) bytes.assign(p, p + GlobalSize(block));
    GlobalUnlock(block);
    LUMTWAIN_FreeNative(block);
    return bytes;
}

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("LUMTWAIN_SANE", "0", 1);
        char tmpl[] = "/tmp/lumtwain-engine-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        Configure("");
    }
    void TearDown() override {
        LUMTWAIN_UnloadSourceManager();
        unsetenv("LUMTWAIN_VIRTUAL");
        std::string cmd = "rm -rf '" + m_dir + "'";
        [[maybe_unused]] int rc = system(cmd.c_str());
    }
    // Writes the configuration and starts a fresh session that reads it.
    void Configure(const std::string& text) {
        std::string path = m_dir + "/virtual.conf";
        std::ofstream(path) << text;
        setenv("LUMTWAIN_VIRTUAL", path.c_str(), 1);
        LUMTWAIN_TestReset();
    }
    void OpenVirtual() {
        ASSERT_EQ(LUMTWAIN_OpenSource("Virtual Scanner"), 1);
        ASSERT_EQ(LUMTWAIN_State(), 4);
    }
    // One acquisition; the DIB's bytes, empty when nothing came.
    std::vector<uint8_t> Acquire() { return TakeBlock(LUMTWAIN_AcquireNative(0)); }
    static std::optional<PageMark> Mark(const std::vector<uint8_t>& dib) {
        auto view = ParseDib(dib.data(), dib.size());
        return view ? DecodePageMark(*view) : std::nullopt;
    }

    std::string m_dir;
};

}  // namespace lumtwain::test
