// RequestChecks: what a request's head must be before glyphtint-serve answers it, beyond
// what libmicrohttpd refuses itself: framing that a proxy in front could read otherwise,
// a body on a request that takes none, and bytes no well-formed request holds.
#pragma once

#include "serve/HttpMessages.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glyphtint::tools {

struct HeaderField {
    std::string_view name;
    std::string_view value; // as received, NUL bytes included
};

struct RequestHead {
    std::string_view method;
    std::string_view version; // "HTTP/1.1"
    std::string_view target;
    std::vector<HeaderField> headers; // in the order received, repeated names kept
};

// A header name (a token): letters, digits and !#$%&'*+-.^_`|~, at least one.
bool IsHeaderName(std::string_view name);

// Header names compared as HTTP does, blind to ASCII case.
bool SameHeaderName(std::string_view a, std::string_view b);

// Content-Length's value: one plain decimal number, blanks around it, that fits 64 bits.
std::optional<std::uint64_t> ReadContentLength(std::string_view value);

// A plain text refusal that closes the connection: what the request carried after its
// head is never read.
HttpAnswer Refusal(int status, std::string message);

// The answer a request with this head gets instead of being served, or nothing when it
// may be served. Every such answer closes the connection: its body, if any, is never read.
std::optional<HttpAnswer> CheckRequestHead(const RequestHead& head);

// A query of more parameters than any page takes: libmicrohttpd keeps a record of each in
// the connection's memory, so such a request is refused before the daemon parses its
// query, by the head gate and then from every request line (not by CheckRequestHead,
// which sees the head once parsed).
inline constexpr std::size_t kMaxQueryParameters = 256;
bool HasTooManyParameters(std::string_view target);
std::string TooManyParametersMessage();

// More header lines than any client sends (a browser sends a dozen or two): refused
// with 431 by the head gate and the request checks alike, well before libmicrohttpd's
// memory for the connection runs out of records and it answers in its own way.
inline constexpr std::size_t kMaxHeaderLines = 100;
std::string TooManyHeaderLinesMessage();

// The bytes of the head as a client writes it: single spaces in the request line, one
// space after each header's colon, CRLF line ends, the empty line.
std::size_t WrittenHeadSize(const RequestHead& head);

// The values of every header line of this name (any case), joined with ", " as one line
// would carry them.
std::string JoinedHeader(const std::vector<HeaderField>& headers, std::string_view name);

// The target in origin form: "http://host/info.json?text=a" is "/info.json?text=a"; a
// target already in origin form is returned as it is.
std::string OriginForm(std::string_view target);

} // namespace glyphtint::tools
