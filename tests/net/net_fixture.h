// Shared set-up of the internet tests: files to serve, short timeouts, no proxy from the
// environment of whoever runs the tests, and small helpers over the WinInet functions.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/net_server.h"
#include "platform/wininet/wininet.h"
#include "support/test_env.h"

namespace lumtest {

// Bytes that differ at every offset of a page, so a misplaced piece shows.
std::vector<uint8_t> pattern(size_t size, uint32_t seed = 1);
void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::string read_text(const std::string& path);

class NetTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A root handle with timeouts short enough for the silent-server cases.
    HINTERNET open_root(DWORD timeout_ms = 1500);
    // GET `path` from 127.0.0.1:`port` over HTTP/1.0 and send it; 0 when sending failed.
    HINTERNET get(HINTERNET root, int port, const std::string& path, DWORD flags = 0);
    // The rest of the body, in reads of `chunk` bytes; false when a read failed.
    bool read_all(HINTERNET request, std::vector<uint8_t>* out, DWORD chunk = 4096);
    // The text of a query, empty when it failed.
    std::string query_text(HINTERNET request, DWORD level);

    TempDir m_dir;
    std::string m_files;  // served by the HTTP server and the FTP server's root
    std::vector<uint8_t> m_3000, m_big;
    std::vector<std::unique_ptr<ScopedEnv>> m_env;
};

}  // namespace lumtest
