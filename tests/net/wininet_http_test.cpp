// The WinInet HTTP functions against a real HTTP server of the tests.
#include <cstring>

#include "net/net_fixture.h"
#include "platform/win/file.h"

namespace lumtest {
namespace {

class HttpTest : public NetTest {
  protected:
    void SetUp() override {
        NetTest::SetUp();
        m_server = std::make_unique<NetServer>(std::vector<std::string>{"http", m_files});
        ASSERT_NE(m_server->port(), 0);
        m_root = open_root();
        ASSERT_NE(m_root, 0u);
    }
    void TearDown() override {
        InternetCloseHandle(m_root);
        m_server.reset();
        NetTest::TearDown();
    }
    int port() const { return m_server->port(); }

    std::unique_ptr<NetServer> m_server;
    HINTERNET m_root = 0;
};

DWORD number(HINTERNET request, DWORD level, BOOL* ok) {
    DWORD value = 0, len = sizeof value;
    *ok = HttpQueryInfoA(request, level | HTTP_QUERY_FLAG_NUMBER, &value, &len, nullptr);
    return value;
}

TEST_F(HttpTest, ReadsComeInTheSizesAskedUntilTheEnd) {
    HINTERNET r = get(m_root, port(), "/files/3000.bin");
    ASSERT_NE(r, 0u);
    BOOL ok = FALSE;
    EXPECT_EQ(number(r, HTTP_QUERY_STATUS_CODE, &ok), 200u);
    EXPECT_EQ(number(r, HTTP_QUERY_CONTENT_LENGTH, &ok), 3000u);
    EXPECT_TRUE(ok);
    std::vector<uint8_t> body(3000);
    std::vector<DWORD> sizes;
    DWORD n = 0, at = 0;
    do {
        ASSERT_TRUE(InternetReadFile(r, body.data() + at, std::min<DWORD>(1024, 3000 - at), &n));
        sizes.push_back(n);
        at += n;
    } while (n > 0 && at < 3000);
    EXPECT_EQ(sizes, (std::vector<DWORD>{1024, 1024, 952}));
    EXPECT_EQ(body, m_3000);
    ASSERT_TRUE(InternetReadFile(r, body.data(), 10, &n));
    EXPECT_EQ(n, 0u);
}

// Reads smaller and larger than libcurl's pieces: the spill and pause paths must keep order.
TEST_F(HttpTest, MixedReadSizesReassembleALargeBodyExactly) {
    HINTERNET r = get(m_root, port(), "/files/big.bin");
    ASSERT_NE(r, 0u);
    std::vector<uint8_t> got, buf(200000);
    const DWORD sizes[] = {1, 7, 16384, 3, 65536, 100000, 5000, 199999};
    for (size_t i = 0; got.size() < m_big.size(); ++i) {
        DWORD ask = sizes[i % std::size(sizes)], n = 0;
        ASSERT_TRUE(InternetReadFile(r, buf.data(), ask, &n));
        ASSERT_EQ(n, std::min<DWORD>(ask, DWORD(m_big.size() - got.size())));
        got.insert(got.end(), buf.begin(), buf.begin() + n);
    }
    EXPECT_EQ(got, m_big);
}

TEST_F(HttpTest, ABodyWithoutALengthIsReadToTheEnd) {
    HINTERNET r = get(m_root, port(), "/nolength/3000.bin");
    ASSERT_NE(r, 0u);
    BOOL ok = TRUE;
    number(r, HTTP_QUERY_CONTENT_LENGTH, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
    std::vector<uint8_t> body;
    EXPECT_TRUE(read_all(r, &body, 1000));
    EXPECT_EQ(body, m_3000);
}

TEST_F(HttpTest, ABodyCutShortFailsAfterTheBytesThatCame) {
    HINTERNET r = get(m_root, port(), "/early/3000.bin");
    ASSERT_NE(r, 0u);
    std::vector<uint8_t> body;
    EXPECT_FALSE(read_all(r, &body, 512));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CONNECTION_ABORTED);
    ASSERT_EQ(body.size(), 1500u);
    EXPECT_TRUE(std::equal(body.begin(), body.end(), m_3000.begin()));
}

TEST_F(HttpTest, ASlowBodyArrivesWhole) {
    HINTERNET r = get(m_root, port(), "/slow/3000.bin?chunk=700&delay=30");
    ASSERT_NE(r, 0u);
    std::vector<uint8_t> body;
    EXPECT_TRUE(read_all(r, &body, 1024));
    EXPECT_EQ(body, m_3000);
}

TEST_F(HttpTest, TheRequestIsHttp10WithTheAgentName) {
    HINTERNET r = get(m_root, port(), "/echo", INTERNET_FLAG_RELOAD);
    ASSERT_NE(r, 0u);
    std::vector<uint8_t> body;
    ASSERT_TRUE(read_all(r, &body));
    std::string text(body.begin(), body.end());
    EXPECT_EQ(text.rfind("GET /echo HTTP/1.0\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("User-Agent: pelorix"), std::string::npos) << text;
    std::string sent = query_text(r, HTTP_QUERY_RAW_HEADERS_CRLF | HTTP_QUERY_FLAG_REQUEST_HEADERS);
    EXPECT_EQ(sent.rfind("GET /echo HTTP/1.0\r\n", 0), 0u) << sent;
    EXPECT_EQ(query_text(r, HTTP_QUERY_USER_AGENT | HTTP_QUERY_FLAG_REQUEST_HEADERS), "pelorix");
    EXPECT_EQ(query_text(r, HTTP_QUERY_VERSION | HTTP_QUERY_FLAG_REQUEST_HEADERS), "HTTP/1.0");
}

TEST_F(HttpTest, RedirectsAreFollowedAndErrorsAreStatuses) {
    HINTERNET r = get(m_root, port(), "/redirect/3000.bin");
    ASSERT_NE(r, 0u);
    EXPECT_EQ(query_text(r, HTTP_QUERY_STATUS_CODE), "200");
    std::vector<uint8_t> body;
    EXPECT_TRUE(read_all(r, &body));
    EXPECT_EQ(body, m_3000);
    HINTERNET missing = get(m_root, port(), "/files/none.bin");
    ASSERT_NE(missing, 0u);
    EXPECT_EQ(query_text(missing, HTTP_QUERY_STATUS_CODE), "404");
}

TEST_F(HttpTest, QueriesReportTheSizeNeededAndMissingHeaders) {
    HINTERNET r = get(m_root, port(), "/files/3000.bin");
    ASSERT_NE(r, 0u);
    char small[4];
    DWORD len = sizeof small;
    EXPECT_FALSE(HttpQueryInfoA(r, HTTP_QUERY_CONTENT_TYPE, small, &len, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(len, std::strlen("application/octet-stream") + 1);
    EXPECT_EQ(query_text(r, HTTP_QUERY_CONTENT_TYPE), "application/octet-stream");
    char custom[64] = "content-length";
    len = sizeof custom;
    ASSERT_TRUE(HttpQueryInfoA(r, HTTP_QUERY_CUSTOM, custom, &len, nullptr));
    EXPECT_STREQ(custom, "3000");
    EXPECT_EQ(query_text(r, HTTP_QUERY_LOCATION), "");
    EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
    std::string raw = query_text(r, HTTP_QUERY_RAW_HEADERS_CRLF);
    EXPECT_EQ(raw.rfind("HTTP/1.0 200", 0), 0u);
    EXPECT_EQ(raw.substr(raw.size() - 4), "\r\n\r\n");
}

TEST_F(HttpTest, ASilentServerEndsWithATimeout) {
    NetServer silent({"silent"});
    ASSERT_NE(silent.port(), 0);
    EXPECT_EQ(get(m_root, silent.port(), "/"), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
    HINTERNET stalled = get(m_root, port(), "/stall");  // a head, then nothing
    ASSERT_NE(stalled, 0u);
    std::vector<uint8_t> body;
    EXPECT_FALSE(read_all(stalled, &body));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
    EXPECT_EQ(get(m_root, port(), "/nohead"), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
}

TEST_F(HttpTest, ARefusedConnectionAndABadHostFail) {
    int closed = 0;
    {
        NetServer gone({"silent"});
        closed = gone.port();
    }
    EXPECT_EQ(get(m_root, closed, "/"), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
    for (const char* host : {"", "a b", "host/path", "user@host", "[::1"}) {
        EXPECT_EQ(InternetConnectA(m_root, host, 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0),
                  0u)
            << host;
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_URL);
    }
}

TEST_F(HttpTest, ClosingAParentEndsItsChildren) {
    HINTERNET root = open_root();
    HINTERNET c = InternetConnectA(root, "127.0.0.1", INTERNET_PORT(port()), nullptr, nullptr,
                                   INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET r = HttpOpenRequestA(c, "GET", "/files/3000.bin", nullptr, nullptr, nullptr, 0, 0);
    ASSERT_NE(r, 0u);
    DWORD n = 0;
    char buf[16];
    EXPECT_FALSE(InternetReadFile(r, buf, sizeof buf, &n));  // not sent yet
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    EXPECT_FALSE(HttpOpenRequestA(r, "GET", "/", nullptr, nullptr, nullptr, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    ASSERT_TRUE(HttpSendRequestA(r, nullptr, 0, nullptr, 0));
    EXPECT_TRUE(InternetCloseHandle(root));
    EXPECT_FALSE(InternetReadFile(r, buf, sizeof buf, &n));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(InternetCloseHandle(c));
}

TEST_F(HttpTest, TheProxyComesFromTheEnvironmentUnlessDirect) {
    std::string reply = m_dir.file("reply");
    std::string text = "HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\nproxy";
    write_bytes(reply, std::vector<uint8_t>(text.begin(), text.end()));
    NetServer proxy({"raw", reply});
    ASSERT_NE(proxy.port(), 0);
    int closed = 0;
    {
        NetServer gone({"silent"});
        closed = gone.port();
    }
    ScopedEnv env("http_proxy", "http://127.0.0.1:" + std::to_string(proxy.port()));
    HINTERNET r = get(m_root, closed, "/anything");
    ASSERT_NE(r, 0u);
    std::vector<uint8_t> body;
    EXPECT_TRUE(read_all(r, &body));
    EXPECT_EQ(std::string(body.begin(), body.end()), "proxy");
    HINTERNET direct = InternetOpenA("pelorix", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    EXPECT_EQ(get(direct, closed, "/anything"), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
    InternetCloseHandle(direct);
}

class HttpsTest : public NetTest {
  protected:
    void SetUp() override {
        NetTest::SetUp();
        m_certs = make_certificates(m_dir.path());
        ASSERT_TRUE(m_certs.ok);
        m_root = open_root(5000);
    }
    void TearDown() override {
        InternetCloseHandle(m_root);
        NetTest::TearDown();
    }
    std::unique_ptr<NetServer> serve(bool good_name) {
        return std::make_unique<NetServer>(std::vector<std::string>{
            "http", m_files, "--tls", good_name ? m_certs.good_cert : m_certs.wrong_name_cert,
            good_name ? m_certs.good_key : m_certs.wrong_name_key});
    }
    TestCertificates m_certs;
    HINTERNET m_root = 0;
};

TEST_F(HttpsTest, AnUnknownAuthorityIsRefusedAndTheConfiguredOneAccepted) {
    auto server = serve(true);
    ASSERT_NE(server->port(), 0);
    EXPECT_EQ(get(m_root, server->port(), "/files/3000.bin", INTERNET_FLAG_SECURE), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_CA);
    ScopedEnv ca("LUMTWAIN_CA_FILE", m_certs.ca);
    HINTERNET r = get(m_root, server->port(), "/files/3000.bin", INTERNET_FLAG_SECURE);
    ASSERT_NE(r, 0u) << win::GetErrorDetail();
    std::vector<uint8_t> body;
    EXPECT_TRUE(read_all(r, &body));
    EXPECT_EQ(body, m_3000);
}

TEST_F(HttpsTest, AWrongHostNameIsRefusedUnlessTheCallerWaivesIt) {
    ScopedEnv ca("LUMTWAIN_CA_FILE", m_certs.ca);
    auto server = serve(false);
    ASSERT_NE(server->port(), 0);
    EXPECT_EQ(get(m_root, server->port(), "/files/3000.bin", INTERNET_FLAG_SECURE), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_SEC_CERT_CN_INVALID) << win::GetErrorDetail();
    EXPECT_NE(get(m_root, server->port(), "/files/3000.bin",
                  INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_CN_INVALID),
              0u);
}

TEST_F(HttpsTest, ARedirectFromHttpsToHttpIsRefused) {
    ScopedEnv ca("LUMTWAIN_CA_FILE", m_certs.ca);
    auto server = serve(true);
    NetServer plain({"http", m_files});
    ASSERT_NE(server->port(), 0);
    std::string to = "http://127.0.0.1:" + std::to_string(plain.port()) + "/files/3000.bin";
    EXPECT_EQ(get(m_root, server->port(), "/redirect-to?url=" + to, INTERNET_FLAG_SECURE), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
}

}  // namespace
}  // namespace lumtest
