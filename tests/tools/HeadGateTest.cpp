// The head gate's verdict on the first bytes of a connection, without sockets.
#include "serve/HeadGate.h"
#include "serve/RequestChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

using namespace std::string_view_literals;
using glyphtint::tools::CheckRequestHead;
using glyphtint::tools::GateVerdict;
using glyphtint::tools::HeaderField;
using glyphtint::tools::HeadGate;
using glyphtint::tools::kMaxHeaderLines;

namespace {

constexpr std::size_t kLimit = 64;

struct GateCase {
    const char* name;
    std::string_view received;
    int status; // 0: passed on, -1: waits for more
};

const std::vector<GateCase> kCases = {
    {"plain", "GET /a HTTP/1.1\r\nHost: x\r\n\r\n", 0},
    {"HTTP/1.0, bare LF ends", "GET /a HTTP/1.0\n\n", 0},
    {"empty line first", "\r\nGET /a HTTP/1.1\r\nHost: x\r\n\r\n", 0},
    {"body after the head", "POST /a HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", 0},
    {"Content-Length with blanks", "GET / HTTP/1.1\r\nContent-length:  12 \r\n\r\n", 0},
    {"half a request line", "GET /a HT", -1},
    {"head not ended", "GET /a HTTP/1.1\r\nHost: x\r\n", -1},
    {"CR last", "GET /a HTTP/1.1\r", -1},
    {"garbage line", "GARBAGE\r\n\r\n", 400},
    {"HTTP/0.9", "GET /\r\n", 400},
    {"two spaces", "GET  /a HTTP/1.1\r\n\r\n", 400},
    {"word after the version", "GET /a HTTP/1.1 x\r\n\r\n", 400},
    {"lower-case version", "GET /a http/1.1\r\n\r\n", 400},
    {"version 1.10", "GET /a HTTP/1.10\r\n\r\n", 400},
    {"version 2.5", "GET / HTTP/2.5\r\nHost: x\r\n\r\n", 505},
    {"version 0.9", "GET / HTTP/0.9\r\n\r\n", 505},
    {"binary before any line end", "\x16\x03\x01\x02", 400},
    {"tab in the method", "GE\tT / HTTP/1.1", 400},
    {"NUL in the target", "GET /a\0b HTTP/1.1\r\n\r\n"sv, 400},
    {"lone CR", "GET /a HTTP/1.1\rHost: x\r\r", 400},
    {"space before the colon", "GET / HTTP/1.1\r\nHost : x\r\n\r\n", 400},
    {"no colon", "GET / HTTP/1.1\r\nHost\r\n\r\n", 400},
    {"folded line", "GET / HTTP/1.1\r\nX: a\r\n b\r\n\r\n", 400},
    {"Content-Length -1", "GET / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", 400},
    {"Content-Length 0x0", "GET / HTTP/1.1\r\nContent-Length: 0x0\r\n\r\n", 400},
    {"Content-Length 5, 5", "GET / HTTP/1.1\r\ncontent-length: 5, 5\r\n\r\n", 400},
    {"Content-Length past 64 bits", "GET / HTTP/1.1\r\nContent-Length: 18446744073709551616\r\n\r\n", 400},
    {"Content-Length empty", "GET / HTTP/1.1\r\nContent-Length:\r\n\r\n", 400},
    {"bad header before the end", "GET / HTTP/1.1\r\nX y: 1\r\n", 400},
};

TEST(HeadGate, QueriesOfManyParametersAreRefused)
{
    const HeadGate gate(64 * 1024);
    std::string query = "/info.json?text=a"; // and 255 more: 256 parameters
    for (int i = 0; i < 255; ++i) {
        query += "&p";
    }
    EXPECT_EQ(gate.Inspect("GET " + query + " HTTP/1.1\r\n\r\n").kind, GateVerdict::Kind::Pass);
    EXPECT_EQ(gate.Inspect("GET " + query + "&p HTTP/1.1\r\n\r\n").answer.status, 400);
}

// The bound on header lines holds in the gate and in the checks of later requests alike.
TEST(HeadGate, HeadsOfManyLinesAreRefused)
{
    std::string lines;
    for (std::size_t i = 0; i < kMaxHeaderLines; ++i) {
        lines += "X: a\r\n";
    }
    const HeadGate gate(64 * 1024);
    EXPECT_EQ(gate.Inspect("GET / HTTP/1.1\r\n" + lines + "\r\n").kind, GateVerdict::Kind::Pass);
    EXPECT_EQ(gate.Inspect("GET / HTTP/1.1\r\n" + lines + "X: a\r\n\r\n").answer.status, 431);
    EXPECT_EQ(gate.Inspect("GET / HTTP/1.1\r\n" + lines + "X: a\r\n").answer.status, 431) << "before its end";

    std::vector<HeaderField> fields(kMaxHeaderLines, {"X", "a"});
    fields.front() = {"Host", "x"};
    EXPECT_FALSE(CheckRequestHead({"GET", "HTTP/1.1", "/", fields}));
    fields.push_back({"X", "a"});
    EXPECT_EQ(CheckRequestHead({"GET", "HTTP/1.1", "/", fields})->status, 431);
}

std::string ShownName(std::string name)
{
    std::ranges::replace_if(
        name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

class GateVerdicts : public ::testing::TestWithParam<GateCase> { };

TEST_P(GateVerdicts, AnswerOrPassAsTheBytesAllow)
{
    const GateCase& c = GetParam();
    const GateVerdict verdict = HeadGate(kLimit).Inspect(c.received);
    switch (c.status) {
    case 0: EXPECT_EQ(verdict.kind, GateVerdict::Kind::Pass); break;
    case -1: EXPECT_EQ(verdict.kind, GateVerdict::Kind::More); break;
    default:
        ASSERT_EQ(verdict.kind, GateVerdict::Kind::Refuse);
        EXPECT_EQ(verdict.answer.status, c.status);
        EXPECT_EQ(verdict.answer.contentType, "text/plain; charset=utf-8");
    }
}

INSTANTIATE_TEST_SUITE_P(Heads, GateVerdicts, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return ShownName(info.param.name); });

TEST(HeadGate, SizesAreRefusedOnceTheyPassTheLimit)
{
    const HeadGate gate(kLimit);
    const std::string line = "GET /" + std::string(kLimit, 'a');
    EXPECT_EQ(gate.Inspect(line.substr(0, kLimit)).kind, GateVerdict::Kind::More);
    EXPECT_EQ(gate.Inspect(line).answer.status, 414);
    EXPECT_EQ(gate.Inspect(line + " HTTP/1.1\r\n\r\n").answer.status, 414);
    EXPECT_EQ(gate.Inspect(std::string(kLimit + 1, '\n')).answer.status, 414) << "empty lines without end";

    const std::string head = "GET / HTTP/1.1\r\nX: " + std::string(kLimit, 'a');
    EXPECT_EQ(gate.Inspect(head.substr(0, kLimit)).kind, GateVerdict::Kind::More);
    EXPECT_EQ(gate.Inspect(head).answer.status, 431);
    EXPECT_EQ(gate.Inspect(head + "\r\n\r\n").answer.status, 431);
    // A head of exactly the limit is taken.
    const std::string whole = "GET / HTTP/1.1\r\nX: " + std::string(kLimit - 23, 'a') + "\r\n\r\n";
    ASSERT_EQ(whole.size(), kLimit);
    EXPECT_EQ(gate.Inspect(whole).kind, GateVerdict::Kind::Pass);
}

TEST(HeadGate, TheLogGetsTheRequestLineOnceItIsWhole)
{
    const HeadGate gate(kLimit);
    const GateVerdict version = gate.Inspect("HEAD /x?a=b HTTP/3.0\r\n");
    EXPECT_EQ(version.method, "HEAD");
    EXPECT_EQ(version.target, "/x?a=b");
    const GateVerdict garbage = gate.Inspect("GARBAGE\r\n\r\n");
    EXPECT_EQ(garbage.method, "-");
    EXPECT_EQ(garbage.target, "");
}

} // namespace
