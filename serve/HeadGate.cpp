// HeadGate: a request line and its header lines checked as they arrive, the verdict
// given as early as the bytes allow.
#include "serve/HeadGate.h"

#include "serve/RequestChecks.h"

#include <algorithm>
#include <string>

namespace glyphtint::tools {
namespace {

bool IsControlOrSpace(char c)
{
    return static_cast<unsigned char>(c) <= ' ' || c == 0x7f;
}

// "HTTP/" digit "." digit: a version, if not one taken here.
bool IsVersion(std::string_view version)
{
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return version.size() == 8 && version.starts_with("HTTP/") && digit(version[5]) && version[6] == '.' &&
           digit(version[7]);
}

// The line from at to its LF, without the CR before it; npos as its end when it has none yet.
std::pair<std::string_view, std::size_t> LineAt(std::string_view received, std::size_t at)
{
    const std::size_t end = received.find('\n', at);
    if (end == std::string_view::npos) {
        return {received.substr(at), end};
    }
    std::string_view line = received.substr(at, end - at);
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return {line, end};
}

GateVerdict Refused(GateVerdict verdict, int status, std::string message)
{
    verdict.kind = GateVerdict::Kind::Refuse;
    verdict.answer = Refusal(status, std::move(message));
    return verdict;
}

constexpr const char* kNoRequestLine = "the request line is not METHOD TARGET HTTP/1.1";

} // namespace

GateVerdict HeadGate::Inspect(std::string_view received) const
{
    GateVerdict verdict;
    // Empty lines before the request line are skipped, as old clients send them.
    std::size_t at = 0;
    while (received.substr(at).starts_with("\r\n") || received.substr(at).starts_with("\n")) {
        at += received[at] == '\r' ? 2 : 1;
    }
    // A CR ends a line or nothing: a reader taking it as a line end would see other headers.
    for (std::size_t cr = received.find('\r', at); cr != std::string_view::npos && cr + 1 < received.size();
         cr = received.find('\r', cr + 1)) {
        if (received[cr + 1] != '\n') {
            return Refused(verdict, 400, "the request's head holds a CR that ends no line");
        }
    }
    const auto [requestLine, lineEnd] = LineAt(received, at);
    const std::size_t space = requestLine.find(' ');
    const std::string_view method = requestLine.substr(0, space);
    // Junk (binary, TLS) is refused at its first bytes rather than waited for.
    if ((space != std::string_view::npos || lineEnd != std::string_view::npos) && !IsHeaderName(method)) {
        return Refused(verdict, 400, kNoRequestLine);
    }
    if (lineEnd == std::string_view::npos) {
        std::string_view word = method;
        if (word.ends_with('\r')) {
            word.remove_suffix(1); // a line end half received
        }
        if (!word.empty() && !IsHeaderName(word)) {
            return Refused(verdict, 400, kNoRequestLine);
        }
        if (received.size() > headLimit_) {
            return Refused(verdict, 414, "the request target is longer than glyphtint-serve takes");
        }
        return verdict;
    }
    const std::string_view rest = space == std::string_view::npos ? "" : requestLine.substr(space + 1);
    const std::size_t secondSpace = rest.find(' ');
    if (secondSpace == std::string_view::npos || secondSpace == 0) {
        return Refused(verdict, 400, kNoRequestLine);
    }
    const std::string_view target = rest.substr(0, secondSpace);
    const std::string_view version = rest.substr(secondSpace + 1);
    if (target.size() > headLimit_) {
        return Refused(verdict, 414, "the request target is longer than glyphtint-serve takes");
    }
    if (std::ranges::any_of(target, IsControlOrSpace)) {
        return Refused(verdict, 400, "the request target holds a space or a control byte");
    }
    verdict.method = method;
    verdict.target = target;
    if (HasTooManyParameters(target)) {
        return Refused(std::move(verdict), 400, TooManyParametersMessage());
    }
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        return IsVersion(version) ? Refused(std::move(verdict), 505, "glyphtint-serve speaks HTTP/1.1 and HTTP/1.0")
                                  : Refused(std::move(verdict), 400, kNoRequestLine);
    }
    for (std::size_t next = lineEnd + 1, lines = 0;; ++lines) {
        const auto [line, end] = LineAt(received, next);
        if (end == std::string_view::npos || end >= headLimit_) {
            if (received.size() > headLimit_) {
                return Refused(std::move(verdict), 431, "the request's header is longer than glyphtint-serve takes");
            }
            return verdict;
        }
        if (line.empty()) {
            verdict.kind = GateVerdict::Kind::Pass;
            return verdict;
        }
        if (lines == kMaxHeaderLines) {
            return Refused(std::move(verdict), 431, TooManyHeaderLinesMessage());
        }
        if (line.front() == ' ' || line.front() == '\t') {
            return Refused(std::move(verdict), 400, "a header line continued on the next is not taken");
        }
        const std::size_t colon = line.find(':');
        const std::string_view name = line.substr(0, colon);
        if (colon == std::string_view::npos || !IsHeaderName(name)) {
            return Refused(std::move(verdict), 400, "a header name holds a byte no header name holds");
        }
        if (SameHeaderName(name, "Content-Length") && !ReadContentLength(line.substr(colon + 1))) {
            return Refused(std::move(verdict), 400, "Content-Length takes one whole number");
        }
        next = end + 1;
    }
}

} // namespace glyphtint::tools
