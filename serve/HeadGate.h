// HeadGate: the head of a request read before libmicrohttpd takes its connection, so
// that a request line or framing it would answer in its own way (or not at all) gets a
// plain answer of ours. Works on the bytes received so far, without sockets.
#pragma once

#include "serve/HttpMessages.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace glyphtint::tools {

struct GateVerdict {
    enum class Kind {
        More,   // the head is not whole yet and nothing in it is wrong so far
        Pass,   // the head is whole and libmicrohttpd may read it
        Refuse, // answer is the client's, and the connection closes
    };
    Kind kind = Kind::More;
    HttpAnswer answer;
    // For the access log: "-" and "" until the request line is whole.
    std::string method = "-";
    std::string target;
};

class HeadGate {
public:
    // headLimit: the most bytes a request line, or a whole head, may take.
    explicit HeadGate(std::size_t headLimit) : headLimit_(headLimit) { }

    // The verdict on the first request of a connection, from the bytes received so far.
    GateVerdict Inspect(std::string_view received) const;

private:
    std::size_t headLimit_;
};

} // namespace glyphtint::tools
