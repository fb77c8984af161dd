// Display sources over the internet, from servers on 127.0.0.1 that the tests start and
// stop: HTTP with progress, a stop request and bad answers; FTP to a temporary file.
#include <dirent.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "net/net_server.h"
#include "support/test_env.h"
#include "viewer/viewer_fixture.h"

namespace viewtest {
namespace {

size_t count_files(const std::string& dir) {
    size_t n = 0;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

class NetSources : public ViewerTest {
  protected:
    void SetUp() override {
        ViewerTest::SetUp();
        for (const char* name : {"http_proxy", "https_proxy", "ftp_proxy", "all_proxy",
                                 "HTTP_PROXY", "HTTPS_PROXY", "FTP_PROXY", "ALL_PROXY"}) {
            m_env.push_back(std::make_unique<lumtest::ScopedEnv>(name, ""));
            unsetenv(name);
        }
        m_env.push_back(std::make_unique<lumtest::ScopedEnv>("tmp", m_tmp.path() + "/"));
        m_root = m_dir.file("root");
        std::filesystem::create_directories(m_root);
        std::filesystem::copy_file(lumtest::source_dir() + "/tests/data/small.jpg",
                                   m_root + "/page.jpg");
        m_size = int32_t(std::filesystem::file_size(m_root + "/page.jpg"));
    }
    void TearDown() override {
        ViewerTest::TearDown();
        m_env.clear();
    }

    lumtest::TempDir m_dir, m_tmp;
    std::string m_root;
    int32_t m_size = 0;
    std::vector<std::unique_ptr<lumtest::ScopedEnv>> m_env;
};

TEST_F(NetSources, HttpDownloadWithProgress) {
    lumtest::NetServer http({"http", m_root});
    ASSERT_NE(http.port(), 0);
    LumViewer& v = make(200, 200);
    v.SetHttpTransfertBufferSize(100);
    ASSERT_EQ(v.DisplayFromURL("hTTp://127.0.0.1", "/files/page.jpg", http.port()), 0);
    EXPECT_GT(v.get_ImageWidth(), 0);
    ASSERT_EQ(m_events.progress.size(), size_t((m_size + 99) / 100));
    EXPECT_EQ(m_events.progress.front()[1], m_size - 100) << "bytes left after the first";
    EXPECT_EQ(m_events.progress.front()[0], 100 - (m_size - 100) * 100 / m_size)
        << "the percentage received";
    EXPECT_EQ(m_events.progress.back(), (std::array<int32_t, 3>{100, 0, m_size}));
    EXPECT_EQ(v.DisplayFromURL("HTTPS://127.0.0.1", "/files/page.jpg", http.port()), 0)
        << "either prefix is dropped";
}

TEST_F(NetSources, StopAndReentry) {
    lumtest::NetServer http({"http", m_root});
    LumViewer& v = make(200, 200);
    v.SetHttpTransfertBufferSize(256);
    int32_t inner = -1;
    m_events.on_data = [&](int32_t&, int32_t&, int32_t&) {
        if (inner == -1) inner = v.DisplayFromURL("127.0.0.1", "/files/page.jpg", http.port());
        v.DisplayFromURLStop();
    };
    EXPECT_EQ(v.DisplayFromURL("127.0.0.1", "/files/page.jpg", http.port()), 107);
    EXPECT_EQ(inner, 0) << "a second download while one runs returns the last status at once";
    EXPECT_EQ(m_events.progress.size(), 1u) << "stopped after the current chunk";
    EXPECT_EQ(v.GetNativeImage(), 0);
    m_events.on_data = nullptr;
    EXPECT_EQ(v.DisplayFromURL("127.0.0.1", "/files/page.jpg", http.port()), 0)
        << "a stop does not stick to the next download";
}

// A host's stop button: its click arrives through the host's own event loop, which the
// download runs between chunks.
TEST_F(NetSources, StopFromTheHostsEventLoop) {
    lumtest::NetServer http({"http", m_root});
    LumViewer& v = make(200, 200);
    v.SetHttpTransfertBufferSize(256);
    int runs = 0;
    win::HostHooks hooks;
    hooks.process_events = [&] {
        if (++runs == 2) v.DisplayFromURLStop();
    };
    win::SetHostHooks(hooks);
    int32_t status = v.DisplayFromURL("127.0.0.1", "/files/page.jpg", http.port());
    win::SetHostHooks({});
    EXPECT_EQ(status, 107);
    EXPECT_EQ(runs, 2) << "the host's events run once after each chunk";
    EXPECT_EQ(m_events.progress.size(), 2u);
    EXPECT_EQ(v.GetNativeImage(), 0);
}

TEST_F(NetSources, BadAnswersAndNoServer) {
    lumtest::NetServer http({"http", m_root});
    LumViewer& v = make(200, 200);
    int32_t no_length = v.DisplayFromURL("127.0.0.1", "/nolength/page.jpg", http.port());
    EXPECT_TRUE(no_length == 103 || no_length == 106) << no_length;
    EXPECT_EQ(v.DisplayFromURL("127.0.0.1", "/early/page.jpg", http.port()), 107)
        << "a body that ends early is no image";
    EXPECT_EQ(v.DisplayFromURL("127.0.0.1", "/files/missing.jpg", http.port()), 106)
        << "no such file: an empty answer";
    int32_t refused = v.DisplayFromURL("127.0.0.1", "/files/page.jpg", 1);
    EXPECT_TRUE(refused == 101 || refused == 105) << refused;
    EXPECT_NE(win::GetErrorDetail().find("127.0.0.1"), std::string::npos)
        << "the reason in words: " << win::GetErrorDetail();
    EXPECT_THROW(v.DisplayFromURL("127.0.0.1", "/", 70000), ComError);
    EXPECT_EQ(v.DisplayFromURL("127.0.0.1", "/files/page.jpg", http.port()), 0)
        << "the run-time error did not leave the transfer marked running";
}

TEST_F(NetSources, FtpDownloadGoesWithItsImage) {
    lumtest::NetServer ftp({"ftp", m_root});
    ASSERT_NE(ftp.port(), 0);
    LumViewer& v = make(200, 200);
    ASSERT_EQ(v.DisplayFromFTP("127.0.0.1", " page.jpg ", "user", "secret", ftp.port()), 0);
    EXPECT_GT(v.get_ImageWidth(), 0);
    EXPECT_EQ(count_files(m_tmp.path()), 1u);
    v.CloseImage();
    EXPECT_EQ(count_files(m_tmp.path()), 0u);
    EXPECT_EQ(v.DisplayFromFTP("127.0.0.1", "missing.jpg", "user", "secret", ftp.port()), 104);
    EXPECT_EQ(count_files(m_tmp.path()), 0u);
    EXPECT_EQ(v.DisplayFromFTP("127.0.0.1", "page.jpg", "user", "wrong", ftp.port()), 101);
    std::ofstream(m_root + "/junk.jpg") << "not an image";
    EXPECT_EQ(v.DisplayFromFTP("127.0.0.1", "junk.jpg", "user", "secret", ftp.port()), 13);
    EXPECT_EQ(count_files(m_tmp.path()), 0u) << "a file that is no image is deleted at once";
}

}  // namespace
}  // namespace viewtest
