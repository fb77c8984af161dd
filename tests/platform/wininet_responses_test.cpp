// The readers of HTTP heads and FTP replies, on the cases real servers and broken ones send.
#include "platform/wininet/responses.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace wininet {
namespace {

HttpHead head_of(std::initializer_list<const char*> lines) {
    HttpHead h;
    for (const char* l : lines) h.add_line(l);
    return h;
}

TEST(HttpHead, TheLastResponseAfterInterimAndRedirectHeadsIsKept) {
    HttpHead h =
        head_of({"HTTP/1.1 100 Continue\r\n", "\r\n", "HTTP/1.1 302 Found\r\n", "Location: /b\r\n",
                 "\r\n", "HTTP/1.1 200 OK\r\n", "Content-Length: 12\r\n", "\r\n"});
    EXPECT_TRUE(h.complete());
    EXPECT_EQ(h.status(), 200);
    EXPECT_EQ(h.reason(), "OK");
    EXPECT_EQ(h.version(), "HTTP/1.1");
    EXPECT_EQ(h.find("Location"), nullptr);
    EXPECT_EQ(h.number("content-length"), 12u);
    EXPECT_EQ(h.raw("\r\n"), "HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n");
}

TEST(HttpHead, FieldsAreFoundByNameInAnyCaseAndByOccurrence) {
    HttpHead h = head_of({"HTTP/1.0 200 OK", "Set-Cookie: a=1", "X-Long: one", "  two\t",
                          "set-cookie:   b=2  ", ""});
    ASSERT_NE(h.find("SET-COOKIE", 1), nullptr);
    EXPECT_EQ(*h.find("SET-COOKIE", 1), "b=2");
    EXPECT_EQ(h.find("Set-Cookie", 2), nullptr);
    EXPECT_EQ(*h.find("x-long"), "one two");
}

TEST(HttpHead, MalformedLinesAreSkippedAndBadStatusLinesGiveNoStatus) {
    HttpHead h =
        head_of({"HTTP/1.1 2x0 Bad", "NoColon", ": empty name", "Name : spaced", "Good: yes", ""});
    EXPECT_EQ(h.status(), 0);
    EXPECT_EQ(h.field_count(), 1u);
    EXPECT_EQ(head_of({"HTTP/1.1 099 Low", ""}).status(), 0);
    EXPECT_EQ(head_of({"HTTP/1.1 404", ""}).status(), 404);
    EXPECT_FALSE(head_of({"HTTP/1.1 200 OK", "A: b"}).complete());
    EXPECT_FALSE(head_of({"", "A: b"}).complete());  // a blank line before any start line
}

struct LengthCase {
    std::vector<const char*> values;
    std::optional<uint32_t> expected;
};

class ContentLength : public ::testing::TestWithParam<LengthCase> {};

// Lengths decide how much a caller allocates and reads: anything doubtful is no length.
TEST_P(ContentLength, IsANumberOnlyWhenPlainAndConsistent) {
    HttpHead h;
    h.add_line("HTTP/1.0 200 OK");
    for (const char* v : GetParam().values) h.add_line(std::string("Content-Length: ") + v);
    h.add_line("");
    EXPECT_EQ(h.number("Content-Length"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ContentLength,
    ::testing::Values(LengthCase{{"3000"}, 3000u}, LengthCase{{" 42 "}, 42u},
                      LengthCase{{"4294967295"}, 4294967295u},
                      LengthCase{{"4294967296"}, std::nullopt},
                      LengthCase{{"99999999999999999999999"}, std::nullopt},
                      LengthCase{{"-1"}, std::nullopt}, LengthCase{{"+5"}, std::nullopt},
                      LengthCase{{"1 2"}, std::nullopt}, LengthCase{{"0x10"}, std::nullopt},
                      LengthCase{{""}, std::nullopt}, LengthCase{{"7", "7"}, 7u},
                      LengthCase{{"7", "8"}, std::nullopt}, LengthCase{{}, std::nullopt}));

TEST(HttpHead, ARequestHeadKeepsItsRequestLine) {
    HttpHead h = head_of({"GET /a HTTP/1.0\r\n", "Host: x\r\n", "\r\n"});
    EXPECT_TRUE(h.complete());
    EXPECT_EQ(h.start_line(), "GET /a HTTP/1.0");
    EXPECT_EQ(h.status(), 0);
    EXPECT_EQ(*h.find("host"), "x");
}

TEST(FtpReplies, SingleAndMultiLineRepliesAreJoined) {
    FtpReplies r;
    r.add_line("220 ready\r\n");
    EXPECT_EQ(r.last_code(), 220);
    r.add_line("230-Welcome\r\n");
    r.add_line(" second line\r\n");
    r.add_line("230-third\r\n");
    EXPECT_EQ(r.last_code(), 220);  // still open
    r.add_line("230 done\r\n");
    EXPECT_EQ(r.last_code(), 230);
    EXPECT_EQ(r.last_text(), "230-Welcome\r\n second line\r\n230-third\r\n230 done");
    r.add_line("not a reply");
    r.add_line("55 short");
    r.add_line("550x no");
    EXPECT_EQ(r.last_code(), 230);
    r.add_line("550 Permission denied.");
    EXPECT_EQ(r.last_text(), "550 Permission denied.");
}

TEST(FtpReplies, AnEndlessMultiLineReplyStaysBounded) {
    FtpReplies r;
    r.add_line("211-start");
    std::string line(1000, 'x');
    for (int i = 0; i < 1000; ++i) r.add_line(line);
    r.add_line("211 end");
    EXPECT_EQ(r.last_code(), 211);
    EXPECT_LT(r.last_text().size(), 70000u);
}

}  // namespace
}  // namespace wininet
