// RequestChecks: the head of a request checked byte by byte, without sockets.
#include "serve/RequestChecks.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace glyphtint::tools {
namespace {

bool SameName(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// A header name's byte: letters, digits and !#$%&'*+-.^_`|~
bool IsNameByte(unsigned char byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(byte)) != std::string_view::npos;
}

// A control byte other than the tab, DEL included: never inside a header value.
bool IsControl(unsigned char byte)
{
    return (byte < 0x20 && byte != '\t') || byte == 0x7f;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

bool SameHeaderName(std::string_view a, std::string_view b)
{
    return SameName(a, b);
}

bool IsHeaderName(std::string_view name)
{
    return !name.empty() && std::ranges::all_of(name, [](char c) { return IsNameByte(static_cast<unsigned char>(c)); });
}

std::optional<std::uint64_t> ReadContentLength(std::string_view value)
{
    const std::string_view digits = Trimmed(value);
    const char* end = digits.data() + digits.size();
    std::uint64_t length = 0;
    const auto [stop, error] = std::from_chars(digits.data(), end, length);
    if (digits.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return length;
}

HttpAnswer Refusal(int status, std::string message)
{
    return {status,
            "text/plain; charset=utf-8",
            std::move(message) + "\n",
            {{"X-Content-Type-Options", "nosniff"}, {"Connection", "close"}}};
}

std::size_t WrittenHeadSize(const RequestHead& head)
{
    std::size_t size = head.method.size() + 1 + head.target.size() + 1 + head.version.size() + 2 + 2;
    for (const HeaderField& header : head.headers) {
        size += header.name.size() + 2 + header.value.size() + 2;
    }
    return size;
}

std::string JoinedHeader(const std::vector<HeaderField>& headers, std::string_view name)
{
    std::string joined;
    for (const HeaderField& header : headers) {
        if (SameName(header.name, name)) {
            joined += joined.empty() ? "" : ", ";
            joined += header.value;
        }
    }
    return joined;
}

std::string OriginForm(std::string_view target)
{
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (target.size() >= scheme.size() && SameName(target.substr(0, scheme.size()), scheme)) {
            const std::string_view rest = target.substr(scheme.size());
            const std::size_t path = std::min(rest.find_first_of("/?"), rest.size());
            // "http://host?q" has an empty path, which is "/".
            return (path == rest.size() || rest[path] == '?' ? "/" : "") + std::string(rest.substr(path));
        }
    }
    return std::string(target);
}

bool HasTooManyParameters(std::string_view target)
{
    const std::size_t query = target.find('?');
    return query != std::string_view::npos &&
           static_cast<std::size_t>(std::ranges::count(target.substr(query), '&')) >= kMaxQueryParameters;
}

std::string TooManyParametersMessage()
{
    return "the query holds more than " + std::to_string(kMaxQueryParameters) + " parameters";
}

std::string TooManyHeaderLinesMessage()
{
    return "the request has more than " + std::to_string(kMaxHeaderLines) + " header lines";
}

std::optional<HttpAnswer> CheckRequestHead(const RequestHead& head)
{
    if (std::ranges::any_of(head.target, [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7f; })) {
        return Refusal(400, "the request target holds a space or a control byte");
    }
    if (head.headers.size() > kMaxHeaderLines) {
        return Refusal(431, TooManyHeaderLinesMessage());
    }
    int hosts = 0;
    int lengths = 0;
    int codings = 0;
    std::uint64_t length = 0;
    for (const HeaderField& header : head.headers) {
        if (!IsHeaderName(header.name)) {
            return Refusal(400, "a header name holds a byte no header name holds");
        }
        if (std::ranges::any_of(header.value, [](char c) { return IsControl(static_cast<unsigned char>(c)); })) {
            return Refusal(400, "the header " + std::string(header.name) + " holds a NUL or control byte");
        }
        if (SameName(header.name, "Host")) {
            ++hosts;
        } else if (SameName(header.name, "Transfer-Encoding")) {
            ++codings;
        } else if (SameName(header.name, "Content-Length")) {
            ++lengths;
            const std::optional<std::uint64_t> read = ReadContentLength(header.value);
            if (!read) {
                return Refusal(400, "Content-Length takes one whole number");
            }
            length = *read;
        }
    }
    if (head.version == "HTTP/1.1" ? hosts != 1 : hosts > 1) {
        return Refusal(400, "an HTTP/1.1 request carries exactly one Host header");
    }
    // Where two readers of these headers could see the body end in different places, what
    // follows could be a request one of them never saw.
    if (lengths > 1) {
        return Refusal(400, "a request may carry one Content-Length only");
    }
    if (codings > 0 && lengths > 0) {
        return Refusal(400, "a request may not carry both Transfer-Encoding and Content-Length");
    }
    if (codings > 0 && !SameName(Trimmed(JoinedHeader(head.headers, "Transfer-Encoding")), "chunked")) {
        return Refusal(501, "the only transfer coding taken is chunked");
    }
    if (codings == 0 && length == 0) {
        return std::nullopt;
    }
    if (head.method != "GET" && head.method != "HEAD") {
        HttpAnswer refused = Refusal(405, "method " + std::string(head.method) + " is not allowed: GET or HEAD.");
        refused.headers.emplace_back("Allow", "GET, HEAD");
        return refused;
    }
    return Refusal(400, "a " + std::string(head.method) + " request carries no body");
}

} // namespace glyphtint::tools
