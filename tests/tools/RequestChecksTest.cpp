// The checks of a request's head made before glyphtint-serve serves it, without sockets.
#include "serve/RequestChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

using namespace std::string_view_literals;
using glyphtint::tools::CheckRequestHead;
using glyphtint::tools::HeaderField;
using glyphtint::tools::JoinedHeader;
using glyphtint::tools::OriginForm;
using glyphtint::tools::RequestHead;
using glyphtint::tools::WrittenHeadSize;

namespace {

struct HeadCase {
    const char* name;
    std::string_view method;
    std::string_view target;
    std::vector<HeaderField> headers;
    int status; // 0: served
    std::string_view version = "HTTP/1.1";
};

const std::vector<HeadCase> kHeads = {
    {"plain", "GET", "/strip.png?text=x", {{"Host", "x"}}, 0},
    {"empty Content-Length", "HEAD", "/", {{"host", "x"}, {"Content-Length", "0"}}, 0},
    {"HTTP/1.0 without Host", "GET", "/", {}, 0, "HTTP/1.0"},
    {"obs-text and tab in a value", "GET", "/", {{"Host", "x"}, {"X-A", "\xe9\ta"}}, 0},
    {"body on GET", "GET", "/", {{"Host", "x"}, {"Content-Length", "3"}}, 400},
    {"chunked GET", "GET", "/", {{"Host", "x"}, {"Transfer-Encoding", "Chunked"}}, 400},
    {"body on POST", "POST", "/", {{"Host", "x"}, {"Content-Length", "3"}}, 405},
    {"Content-Length -1", "GET", "/", {{"Host", "x"}, {"Content-Length", "-1"}}, 400},
    {"Content-Length 5, 5", "GET", "/", {{"Host", "x"}, {"Content-Length", "5, 5"}}, 400},
    {"chunked and Content-Length",
     "POST",
     "/",
     {{"Host", "x"}, {"Transfer-Encoding", "chunked"}, {"Content-Length", "0"}},
     400},
    {"gzip", "GET", "/", {{"Host", "x"}, {"Transfer-Encoding", "gzip"}}, 501},
    {"chunked on two lines",
     "GET",
     "/",
     {{"Host", "x"}, {"Transfer-Encoding", "chunked"}, {"Transfer-Encoding", "gzip"}},
     501},
    {"space before the colon", "GET", "/", {{"Host", "x"}, {"Transfer-Encoding ", "chunked"}}, 400},
    {"NUL in If-None-Match", "GET", "/", {{"Host", "x"}, {"If-None-Match", "\"a\0b\""sv}}, 400},
    {"CR in a value", "GET", "/", {{"Host", "x"}, {"X-A", "a\rb"}}, 400},
    {"no Host", "GET", "/", {}, 400},
    {"two Hosts in HTTP/1.0", "GET", "/", {{"Host", "a"}, {"Host", "b"}}, 400, "HTTP/1.0"},
    {"DEL in the target", "GET", "/a\x7f", {{"Host", "x"}}, 400},
    {"NUL in the target", "GET", "/info.json?text=a\0b"sv, {{"Host", "x"}}, 400},
};

class RequestHeadCheck : public ::testing::TestWithParam<HeadCase> { };

TEST_P(RequestHeadCheck, AnswersWhatMayNotBeServed)
{
    const HeadCase& c = GetParam();
    const auto refused = CheckRequestHead(RequestHead{c.method, c.version, c.target, c.headers});
    ASSERT_EQ(refused ? refused->status : 0, c.status) << c.name;
    if (refused) {
        // The body is never read: the connection must not carry another request.
        EXPECT_EQ(refused->contentType, "text/plain; charset=utf-8");
        const auto& headers = refused->headers;
        EXPECT_NE(std::ranges::find(headers, std::pair<std::string, std::string>{"Connection", "close"}),
                  headers.end());
        EXPECT_NE(std::ranges::find(headers, std::pair<std::string, std::string>{"X-Content-Type-Options", "nosniff"}),
                  headers.end());
    }
}

INSTANTIATE_TEST_SUITE_P(Heads, RequestHeadCheck, ::testing::ValuesIn(kHeads), [](const auto& info) {
    std::string name = info.param.name;
    std::ranges::replace_if(
        name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
});

TEST(RequestHead, JoinsEveryLineOfAHeader)
{
    const std::vector<HeaderField> headers{
        {"If-None-Match", "\"a\""}, {"Host", "x"}, {"if-none-match", "W/\"b\", \"c\""}};
    EXPECT_EQ(JoinedHeader(headers, "If-None-Match"), "\"a\", W/\"b\", \"c\"");
    EXPECT_EQ(JoinedHeader(headers, "Range"), "");
}

TEST(RequestHead, AbsoluteFormIsServedAsItsPath)
{
    EXPECT_EQ(OriginForm("http://host/info.json?text=a"), "/info.json?text=a");
    EXPECT_EQ(OriginForm("HTTPS://host:8080/"), "/");
    EXPECT_EQ(OriginForm("http://host"), "/");
    EXPECT_EQ(OriginForm("http://host?text=a"), "/?text=a");
    EXPECT_EQ(OriginForm("/http://host/x"), "/http://host/x");
}

TEST(RequestHead, WrittenSizeCountsEveryByteAClientSends)
{
    const std::string written = "GET /a?b HTTP/1.1\r\nHost: x\r\nX-Long: abc\r\n\r\n";
    EXPECT_EQ(WrittenHeadSize({"GET", "HTTP/1.1", "/a?b", {{"Host", "x"}, {"X-Long", "abc"}}}), written.size());
}

} // namespace
