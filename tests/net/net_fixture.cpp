#include "net/net_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace lumtest {

std::vector<uint8_t> pattern(size_t size, uint32_t seed) {
    std::vector<uint8_t> v(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = uint8_t(x >> 16);
    }
    return v;
}

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void NetTest::SetUp() {
    for (const char* name : {"http_proxy", "https_proxy", "ftp_proxy", "all_proxy", "no_proxy",
                             "HTTP_PROXY", "HTTPS_PROXY", "FTP_PROXY", "ALL_PROXY", "NO_PROXY",
                             "LUMTWAIN_CA_FILE", "LUMTWAIN_CA_PATH"}) {
        m_env.push_back(std::make_unique<ScopedEnv>(name, ""));
        unsetenv(name);
    }
    m_files = m_dir.file("files");
    std::filesystem::create_directories(m_files);
    m_3000 = pattern(3000);
    m_big = pattern(1 << 20, 7);
    write_bytes(m_files + "/3000.bin", m_3000);
    write_bytes(m_files + "/big.bin", m_big);
}

void NetTest::TearDown() {
    m_env.clear();
}

HINTERNET NetTest::open_root(DWORD timeout_ms) {
    HINTERNET root = InternetOpenA("pelorix", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionA(root, option, &timeout_ms, sizeof timeout_ms);
    return root;
}

HINTERNET NetTest::get(HINTERNET root, int port, const std::string& path, DWORD flags) {
    HINTERNET c = InternetConnectA(root, "127.0.0.1", INTERNET_PORT(port), nullptr, nullptr,
                                   INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET r = HttpOpenRequestA(c, "GET", path.c_str(), "HTTP/1.0", nullptr, nullptr, flags, 0);
    if (!r || !HttpSendRequestA(r, nullptr, 0, nullptr, 0)) return 0;
    return r;
}

bool NetTest::read_all(HINTERNET request, std::vector<uint8_t>* out, DWORD chunk) {
    std::vector<uint8_t> buf(chunk);
    for (int guard = 0; guard < 100000; ++guard) {
        DWORD n = 0;
        if (!InternetReadFile(request, buf.data(), chunk, &n)) return false;
        if (n == 0) return true;
        out->insert(out->end(), buf.begin(), buf.begin() + n);
    }
    return false;
}

std::string NetTest::query_text(HINTERNET request, DWORD level) {
    char buf[4096];
    DWORD len = sizeof buf;
    if (!HttpQueryInfoA(request, level, buf, &len, nullptr)) return "";
    return std::string(buf, len);
}

}  // namespace lumtest
