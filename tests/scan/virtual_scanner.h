// A fixture that points the control at the real engine with a virtual-scanner
// configuration written for the test, and SANE left out.
#pragma once

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <fstream>
#include <memory>

#include "lumtwainpro/twain.h"
#include "platform/win/win.h"
#include "support/test_env.h"

class VirtualScannerTest : public ::testing::Test {
protected:
    // Writes the configuration and makes a fresh control. The engine keeps its state for
    // the thread, so it is reset to read the new configuration with fresh paper.
    void configure(const std::string& lines) {
        std::ofstream(m_dir.file("virtual.conf")) << lines;
        m_virtual.reset();  // restore first, or the old value would come back after the new
        m_virtual = std::make_unique<lumtest::ScopedEnv>("LUMTWAIN_VIRTUAL",
                                                         m_dir.file("virtual.conf"));
        control.reset();
        void* engine = dlopen(lumtest::real_engine_path().c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(engine, nullptr) << dlerror();
        auto reset = reinterpret_cast<int32_t (*)()>(dlsym(engine, "LUMTWAIN_TestReset"));
        ASSERT_NE(reset, nullptr);
        reset();
        dlclose(engine);
        control = std::make_unique<twain>();
    }
    void SetUp() override {
        win::SetMessageBoxEcho(false);
        win::TakeMessageBoxes();
        configure("");
    }
    void TearDown() override {
        if (control) {
            control->TwainCloseSource();
            control->TwainCloseSourceManager();
        }
        control.reset();
        EXPECT_TRUE(win::TakeMessageBoxes().empty()) << "no message box expected";
    }

    lumtest::TempDir m_dir;
    lumtest::ScopedEnv m_sane{"LUMTWAIN_SANE", "0"};
    lumtest::ScopedEnv m_engine{"LUMTWAIN_ENGINE", lumtest::real_engine_path()};
    std::unique_ptr<lumtest::ScopedEnv> m_virtual;
    std::unique_ptr<twain> control;
};

// TWAIN codes the tests use.
namespace tw {
constexpr int32_t ICAP_UNITS = 258, CAP_FEEDERENABLED = 4098, CAP_AUTOFEED = 4103,
                  CAP_AUTOSCAN = 4112, CAP_SERIALNUMBER = 4132, ICAP_BRIGHTNESS = 4353,
                  ICAP_XRESOLUTION = 4376, ICAP_BITDEPTH = 4395, ICAP_BARCODETIMEOUT = 4413;
constexpr int32_t TWTY_BOOL = 6, TWTY_UINT16 = 4, TWTY_FIX32 = 7;
}  // namespace tw
