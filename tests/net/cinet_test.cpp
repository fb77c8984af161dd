// cInet: requests, chunked reads with progress and the stop flag, error texts, ports.
#include "net/cInet.h"

#include <array>

#include "net/net_fixture.h"
#include "lumtwainpro/com_error.h"
#include "platform/win/file.h"

namespace lumtest {
namespace {

using Event = std::array<int32_t, 3>;

class CInetTest : public NetTest {
  protected:
    void SetUp() override {
        NetTest::SetUp();
        m_server = std::make_unique<NetServer>(std::vector<std::string>{"http", m_files});
        ASSERT_NE(m_server->port(), 0);
    }
    // Request, send and the length query of the viewer's download.
    int32_t start(cInet& inet, const std::string& path) {
        if (!inet.Request("GET", "127.0.0.1", path, m_server->port(), 3, "*/*")) return -1;
        if (!inet.SendRequest("")) return -2;
        std::string unused;
        int32_t length = 0;
        if (!inet.QueryInfo(0x20000005, unused, length)) return -3;
        return length;
    }
    void record(cInet& inet) {
        inet.PacketReceieved = [this](int32_t percent, int32_t left, int32_t total) {
            m_events.push_back({percent, left, total});
        };
    }
    std::unique_ptr<NetServer> m_server;
    std::vector<Event> m_events;
};

TEST_F(CInetTest, A3000ByteBodyIn1024ByteChunksReportsWhatIsLeft) {
    cInet inet;
    ASSERT_NE(inet.hInternet(), 0u);
    record(inet);
    ASSERT_EQ(start(inet, "/files/3000.bin"), 3000);
    EXPECT_NE(inet.hSession(), 0u);
    SafeArray<uint8_t> bytes;
    ASSERT_TRUE(inet.ReadArray(bytes, 3000));
    EXPECT_EQ(m_events, (std::vector<Event>{{65, 1976, 3000}, {31, 952, 3000}, {0, 0, 3000}}));
    EXPECT_EQ(bytes.lbound(), 0);
    EXPECT_EQ(bytes.values(), m_3000);
}

TEST_F(CInetTest, AStopFromTheProgressHandlerEndsAfterThatChunk) {
    cInet inet;
    inet.PacketReceieved = [&](int32_t, int32_t left, int32_t) {
        m_events.push_back({0, left, 0});
        inet.bStopReadArray = true;
    };
    ASSERT_EQ(start(inet, "/files/3000.bin"), 3000);
    SafeArray<uint8_t> bytes;
    EXPECT_FALSE(inet.ReadArray(bytes, 3000));
    EXPECT_EQ(m_events.size(), 1u);
}

TEST_F(CInetTest, AStopFromTheHostsEventLoopEndsTheRead) {
    cInet inet;
    inet.BufferSize(512);
    int pumps = 0;
    inet.ProcessHostMessages = [&] {
        if (++pumps == 3) inet.bStopReadArray = true;  // the host's stop button
    };
    ASSERT_EQ(start(inet, "/slow/3000.bin?chunk=300&delay=10"), 3000);
    SafeArray<uint8_t> bytes;
    EXPECT_FALSE(inet.ReadArray(bytes, 3000));
    EXPECT_EQ(pumps, 3);
    // The flag is cleared when the next read starts.
    ASSERT_EQ(start(inet, "/files/3000.bin"), 3000);
    pumps = -100;
    EXPECT_TRUE(inet.ReadArray(bytes, 3000));
}

TEST_F(CInetTest, ABodyCutShortIsAFailureNotAZeroTail) {
    cInet inet;
    ASSERT_EQ(start(inet, "/early/3000.bin"), 3000);
    SafeArray<uint8_t> bytes;
    EXPECT_FALSE(inet.ReadArray(bytes, 3000));
    EXPECT_EQ(inet.LastError(), ERROR_INTERNET_CONNECTION_ABORTED);
    // A caller that asks for more than the body holds is told so too.
    cInet longer;
    ASSERT_EQ(start(longer, "/files/3000.bin"), 3000);
    EXPECT_FALSE(longer.ReadArray(bytes, 4000));
}

// A broken or hostile server announces far more than it sends.
TEST_F(CInetTest, AHugeAnnouncedLengthIsNotTakenUpFront) {
    std::string reply = m_dir.file("reply");
    std::string text = "HTTP/1.0 200 OK\r\nContent-Length: 2000000000\r\n\r\nabc";
    write_bytes(reply, std::vector<uint8_t>(text.begin(), text.end()));
    NetServer liar({"raw", reply});
    ASSERT_NE(liar.port(), 0);
    cInet inet;
    ASSERT_NE(inet.Request("GET", "127.0.0.1", "/big.jpg", liar.port(), 3, "*/*"), 0u);
    ASSERT_TRUE(inet.SendRequest(""));
    std::string unused;
    int32_t length = 0;
    ASSERT_TRUE(inet.QueryInfo(0x20000005, unused, length));
    EXPECT_EQ(length, 2000000000);
    SafeArray<uint8_t> bytes;
    EXPECT_FALSE(inet.ReadArray(bytes, length));
    EXPECT_EQ(bytes.values(), (std::vector<uint8_t>{'a', 'b', 'c'}));
}

TEST_F(CInetTest, NoLengthAndNothingToReadAreReportedAsTheCallerExpects) {
    cInet inet;
    EXPECT_EQ(start(inet, "/nolength/3000.bin"), -3);
    EXPECT_EQ(inet.LastError(), ERROR_HTTP_HEADER_NOT_FOUND);
    SafeArray<uint8_t> untouched = SafeArray<uint8_t>::from({9, 9});
    EXPECT_TRUE(inet.ReadArray(untouched, 0));
    EXPECT_EQ(untouched.values(), (std::vector<uint8_t>{9, 9}));
}

TEST_F(CInetTest, TextQueriesUseTheRoomTheCallerGives) {
    cInet inet;
    ASSERT_EQ(start(inet, "/files/3000.bin"), 3000);
    std::string text(64, ' ');
    int32_t unused = 0;
    ASSERT_TRUE(inet.QueryInfo(HTTP_QUERY_CONTENT_TYPE, text, unused));
    EXPECT_EQ(text, "application/octet-stream");
    std::string small(3, ' ');
    EXPECT_FALSE(inet.QueryInfo(HTTP_QUERY_CONTENT_TYPE, small, unused));
    EXPECT_EQ(inet.LastError(), ERROR_INSUFFICIENT_BUFFER);
}

// The viewer's download of https://127.0.0.1/...: only possible where port 443 is free.
TEST_F(CInetTest, Port443VerifiesTheServersCertificate) {
    TestCertificates certs = make_certificates(m_dir.path());
    ASSERT_TRUE(certs.ok);
    NetServer tls({"http", m_files, "--tls", certs.good_cert, certs.good_key, "--port", "443"});
    if (tls.port() == 0) GTEST_SKIP() << "port 443 is not free here";
    cInet refused;
    ASSERT_NE(refused.Request("GET", "127.0.0.1", "/files/3000.bin", 443, 3, "*/*"), 0u);
    EXPECT_FALSE(refused.SendRequest(""));
    EXPECT_EQ(refused.LastError(), ERROR_INTERNET_INVALID_CA);
    ScopedEnv ca("LUMTWAIN_CA_FILE", certs.ca);
    cInet inet;
    ASSERT_NE(inet.Request("GET", "127.0.0.1", "/files/3000.bin", 443, 3, "*/*"), 0u);
    ASSERT_TRUE(inet.SendRequest(""));
    std::string unused;
    int32_t length = 0;
    ASSERT_TRUE(inet.QueryInfo(0x20000005, unused, length));
    SafeArray<uint8_t> bytes;
    EXPECT_TRUE(inet.ReadArray(bytes, length));
    EXPECT_EQ(bytes.values(), m_3000);
}

std::string url_of(HINTERNET request) {
    char url[256];
    DWORD len = sizeof url;
    return InternetQueryOptionA(request, INTERNET_OPTION_URL, url, &len) ? url : "";
}

TEST(CInet, Port443IsHttpsAndEveryOtherPortPlainHttp) {
    cInet inet;
    EXPECT_EQ(url_of(inet.Request("GET", "example.com", "/a.jpg", 443, 3, "*/*")),
              "https://example.com:443/a.jpg");
    EXPECT_EQ(url_of(inet.Request("GET", "example.com", "/a b.jpg", 80, 3, "*/*")),
              "http://example.com:80/a%20b.jpg");
    EXPECT_EQ(url_of(inet.Request("GET", "example.com", "/a.jpg", 8443, 3, "*/*")),
              "http://example.com:8443/a.jpg");
}

TEST(CInet, PortsFrom1To65535AreAcceptedAndOthersOverflow) {
    cInet inet;
    EXPECT_NE(inet.Request("GET", "example.com", "/", 40000, 3, ""), 0u);
    EXPECT_NE(inet.Request("GET", "example.com", "/", 65535, 3, ""), 0u);
    for (int32_t port : {0, -1, 65536, 1 << 30}) {
        try {
            inet.Request("GET", "example.com", "/", port, 3, "");
            ADD_FAILURE() << port;
        } catch (const ComError& e) {
            EXPECT_EQ(e.number(), ComError::kOverflow);
        }
        EXPECT_THROW(inet.FtpOpenSession("127.0.0.1", port, "", ""), ComError);
    }
}

TEST(CInet, TranslateErrorCodeGivesTheListedTextsExactly) {
    cInet inet;
    EXPECT_EQ(inet.TranslateErrorCode(12001), "No more handles could be generated at this time");
    EXPECT_EQ(inet.TranslateErrorCode(12011), "The request option can not be set, only queried. ");
    EXPECT_EQ(inet.TranslateErrorCode(12029), "The attempt to connect to the server failed.");
    EXPECT_EQ(inet.TranslateErrorCode(12156),
              "The redirection failed because either the scheme changed");
    std::string cn = inet.TranslateErrorCode(12038);
    EXPECT_EQ(cn.rfind("SSL certificate common name (host name field) is incorrect.", 0), 0u);
    EXPECT_GT(cn.size(), 70u);
    // Unlisted codes take the platform's text, trimmed, or "Unknown Error".
    EXPECT_EQ(inet.TranslateErrorCode(12034), "Unknown Error");
    EXPECT_EQ(inet.TranslateErrorCode(12035), "Unknown Error");
    EXPECT_EQ(inet.TranslateErrorCode(12045), "The certificate authority is invalid or incorrect.");
    EXPECT_EQ(inet.TranslateErrorCode(2), "The system cannot find the file specified.");
    EXPECT_EQ(inet.TranslateErrorCode(-5), "Unknown Error");
}

TEST(CInet, FtpSessionsFollowThePassiveFlag) {
    TempDir dir;
    std::string log = dir.file("ftp.log");
    NetServer ftp({"ftp", dir.path(), "--log", log});
    ASSERT_NE(ftp.port(), 0);
    for (bool passive : {true, false}) {
        cInet inet;
        inet.bFtpPassiveMode = passive;
        HINTERNET s = inet.FtpOpenSession("127.0.0.1", ftp.port(), "user", "secret");
        ASSERT_NE(s, 0u);
        EXPECT_EQ(inet.hSession(), s);
        write_bytes(dir.file("local.bin"), pattern(100));
        EXPECT_TRUE(
            FtpPutFileA(s, dir.file("local.bin").c_str(), passive ? "p.bin" : "a.bin", 0, 0));
    }
    std::string text = read_text(log);
    EXPECT_NE(text.find("EPSV"), std::string::npos);
    EXPECT_NE(text.find("EPRT"), std::string::npos);
    cInet refused;
    EXPECT_EQ(refused.FtpOpenSession("127.0.0.1", ftp.port(), "user", "nope"), 0u);
    EXPECT_EQ(refused.hSession(), 0u);
    EXPECT_EQ(refused.LastError(), ERROR_INTERNET_LOGIN_FAILURE);
}

}  // namespace
}  // namespace lumtest
