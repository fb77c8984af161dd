// The WinInet FTP functions against pyftpdlib: a user, anonymous access, a read-only folder,
// passive and active mode.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "net/net_fixture.h"
#include "platform/win/file.h"
#include "support/file_probe.h"

namespace lumtest {
namespace {

class FtpTest : public NetTest {
  protected:
    void SetUp() override {
        NetTest::SetUp();
        m_log = m_dir.file("ftp.log");
        m_server =
            std::make_unique<NetServer>(std::vector<std::string>{"ftp", m_files, "--log", m_log});
        ASSERT_NE(m_server->port(), 0);
        m_root = open_root(5000);
    }
    void TearDown() override {
        InternetCloseHandle(m_root);
        m_server.reset();
        NetTest::TearDown();
    }
    HINTERNET login(const char* user, const char* password, bool passive = true) {
        return InternetConnectA(m_root, "127.0.0.1", INTERNET_PORT(m_server->port()), user,
                                password, INTERNET_SERVICE_FTP, passive ? INTERNET_FLAG_PASSIVE : 0,
                                0);
    }
    std::string log() {
        std::ifstream in(m_log);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool logged(const std::string& command) {
        return log().find(command + "\n") != std::string::npos;
    }

    std::string m_log;
    std::unique_ptr<NetServer> m_server;
    HINTERNET m_root = 0;
};

TEST_F(FtpTest, APassiveSessionDownloadsAndUploadsBinaryFilesExactly) {
    HINTERNET s = login("user", "secret");
    ASSERT_NE(s, 0u) << win::GetErrorDetail();
    std::string local = m_dir.file("got.bin");
    ASSERT_TRUE(FtpGetFileA(s, "big.bin", local.c_str(), FALSE, 0, 0, 0)) << win::GetErrorDetail();
    EXPECT_EQ(read_file(local), m_big);
    auto data = pattern(200000, 3);
    write_bytes(m_dir.file("up.bin"), data);
    ASSERT_TRUE(
        FtpPutFileA(s, m_dir.file("up.bin").c_str(), "up.bin", FTP_TRANSFER_TYPE_BINARY, 0));
    EXPECT_EQ(read_file(m_files + "/up.bin"), data);
    // A second upload replaces the file.
    ASSERT_TRUE(FtpPutFileA(s, m_dir.file("got.bin").c_str(), "up.bin", 0, 0));
    EXPECT_EQ(read_file(m_files + "/up.bin"), m_big);
    EXPECT_TRUE(logged("EPSV") || logged("PASV"));
    EXPECT_FALSE(logged("EPRT") || logged("PORT"));
}

TEST_F(FtpTest, AnActiveSessionHasTheServerConnectBack) {
    HINTERNET s = login("user", "secret", false);
    ASSERT_NE(s, 0u);
    std::string local = m_dir.file("got.bin");
    ASSERT_TRUE(FtpGetFileA(s, "3000.bin", local.c_str(), FALSE, 0, 0, 0)) << win::GetErrorDetail();
    EXPECT_EQ(read_file(local), m_3000);
    EXPECT_TRUE(logged("EPRT") || logged("PORT"));
    EXPECT_FALSE(logged("EPSV") || logged("PASV"));
}

TEST_F(FtpTest, AWrongPasswordIsALoginFailureWithTheServersReply) {
    EXPECT_EQ(login("user", "wrong"), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_LOGIN_FAILURE);
    DWORD code = 0;
    char text[256];
    DWORD len = sizeof text;
    ASSERT_TRUE(InternetGetLastResponseInfoA(&code, text, &len));
    EXPECT_EQ(code, 530u) << text;
    EXPECT_EQ(login("user", "sec\r\nret"), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_PASSWORD);
}

TEST_F(FtpTest, AnonymousAccessReadsButCannotWrite) {
    HINTERNET s = login(nullptr, nullptr);
    ASSERT_NE(s, 0u) << win::GetErrorDetail();
    std::string local = m_dir.file("got.bin");
    EXPECT_TRUE(FtpGetFileA(s, "/3000.bin", local.c_str(), FALSE, 0, 0, 0));
    EXPECT_EQ(read_file(local), m_3000);
    EXPECT_FALSE(FtpPutFileA(s, local.c_str(), "anon.bin", 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_EXTENDED_ERROR);
    EXPECT_FALSE(std::filesystem::exists(m_files + "/anon.bin"));
}

TEST_F(FtpTest, AReadOnlyFolderRefusesUploads) {
    HINTERNET s = login("user", "secret");
    ASSERT_NE(s, 0u);
    EXPECT_FALSE(FtpPutFileA(s, (m_files + "/3000.bin").c_str(), "readonly/x.bin", 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_EXTENDED_ERROR);
    DWORD code = 0;
    char text[256];
    DWORD len = sizeof text;
    ASSERT_TRUE(InternetGetLastResponseInfoA(&code, text, &len));
    EXPECT_EQ(code, 550u) << text;
    EXPECT_FALSE(std::filesystem::exists(m_files + "/readonly/x.bin"));
    // The session goes on after a refusal.
    EXPECT_TRUE(FtpPutFileA(s, (m_files + "/3000.bin").c_str(), "ok.bin", 0, 0));
}

TEST_F(FtpTest, AFailedDownloadLeavesTheLocalFileAsItWas) {
    HINTERNET s = login("user", "secret");
    ASSERT_NE(s, 0u);
    std::string local = m_dir.file("keep.bin");
    write_bytes(local, {1, 2, 3});
    EXPECT_FALSE(FtpGetFileA(s, "missing.bin", local.c_str(), FALSE, 0, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_EXTENDED_ERROR);
    EXPECT_EQ(read_file(local), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(FtpGetFileA(s, "3000.bin", local.c_str(), TRUE, 0, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(read_file(local), (std::vector<uint8_t>{1, 2, 3}));
    std::string fresh = m_dir.file("fresh.bin");
    EXPECT_FALSE(FtpGetFileA(s, "missing.bin", fresh.c_str(), TRUE, 0, 0, 0));
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_FALSE(FtpPutFileA(s, m_dir.file("none.bin").c_str(), "x.bin", 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FtpTest, ASilentServerEndsTheLoginWithATimeout) {
    NetServer silent({"silent"});
    ASSERT_NE(silent.port(), 0);
    HINTERNET root = open_root(1000);
    EXPECT_EQ(InternetConnectA(root, "127.0.0.1", INTERNET_PORT(silent.port()), "user", "secret",
                               INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0),
              0u);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
    InternetCloseHandle(root);
}

TEST_F(FtpTest, AClosedSessionCannotBeUsed) {
    HINTERNET s = login("user", "secret");
    ASSERT_NE(s, 0u);
    EXPECT_TRUE(InternetCloseHandle(s));
    EXPECT_FALSE(FtpGetFileA(s, "3000.bin", m_dir.file("x").c_str(), FALSE, 0, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    HINTERNET http =
        InternetConnectA(m_root, "127.0.0.1", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    EXPECT_FALSE(FtpPutFileA(http, m_log.c_str(), "x", 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
}

}  // namespace
}  // namespace lumtest
