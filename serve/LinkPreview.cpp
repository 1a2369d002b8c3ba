// LinkPreview: escaping for the page, the public address checked once, and download
// names made safe for every file system a browser saves to.
#include "serve/LinkPreview.h"

#include "pictures/RenderPlan.h"
#include "render/NumberText.h"
#include "tools/CommandLine.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <stdexcept>

namespace glyphtint::tools {
namespace {

// The longest download name kept, in characters: well within a file name's 255 bytes.
constexpr std::size_t kMaxNameCharacters = 80;

// The length of the well-formed UTF-8 sequence of at least two bytes at the start of
// bytes; 0 when it starts with none.
std::size_t Utf8SequenceLength(std::string_view bytes)
{
    const auto at = [&](std::size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u; };
    const unsigned lead = at(0);
    // The range the second byte must lie in rules out overlong forms and surrogates.
    unsigned low = 0x80;
    unsigned high = 0xbf;
    std::size_t length = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (at(1) < low || at(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (at(i) < 0x80 || at(i) > 0xbf) {
            return 0;
        }
    }
    return length;
}

bool IsSafeNameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("-_.+()[]!,").find(c) != std::string_view::npos;
}

// A byte that stands for itself in a filename*= value (RFC 5987's attr-char).
bool IsAttributeByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$&+-.^_`|~").find(c) != std::string_view::npos;
}

std::string PercentEscape(char byte)
{
    char escape[4];
    std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(byte));
    return escape;
}

EUsage WrongPublicUrl(std::string_view value, std::string_view why)
{
    return EUsage("--public-url takes the absolute http or https address the service is reached at, such as "
                  "https://names.example/glyphtint/: " +
                  std::string(why) + ", not '" + std::string(value) + "'");
}

} // namespace

std::string EscapeHtml(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string ReadPublicUrl(std::string_view value)
{
    std::string url;
    std::string_view rest = value;
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (rest.size() >= scheme.size() &&
            std::equal(scheme.begin(), scheme.end(), rest.begin(), [](char a, char b) { return a == (b | 0x20); })) {
            url = scheme;
            rest.remove_prefix(scheme.size());
        }
    }
    if (url.empty()) {
        throw WrongPublicUrl(value, "it starts with neither http:// nor https://");
    }
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '?' || c == '#') {
            throw WrongPublicUrl(value, "it has a query or a fragment");
        }
        if (c <= ' ' || c >= 0x7f || std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos) {
            throw WrongPublicUrl(value, "a character outside an address is to be written as %XX");
        }
        if (c == '%' &&
            (i + 2 >= rest.size() || render::HexDigit(rest[i + 1]) < 0 || render::HexDigit(rest[i + 2]) < 0)) {
            throw WrongPublicUrl(value, "'%' takes two hexadecimal digits");
        }
    }
    const std::size_t slash = rest.find('/');
    const std::string_view authority = rest.substr(0, slash);
    if (authority.empty() || authority.starts_with(':')) {
        throw WrongPublicUrl(value, "it names no host");
    }
    if (authority.find('@') != std::string_view::npos) {
        throw WrongPublicUrl(value, "credentials have no place in a public address");
    }
    url += rest;
    if (slash == std::string_view::npos || !url.ends_with('/')) {
        url += '/';
    }
    return url;
}

std::string DownloadDisposition(std::string_view name, std::string_view extension)
{
    std::string ascii;
    std::string encoded; // the UTF-8 name percent-encoded
    bool other = false;
    std::size_t characters = 0;
    while (!name.empty() && characters < kMaxNameCharacters) {
        ++characters;
        if (const std::size_t length = Utf8SequenceLength(name); length > 0) {
            ascii += '_';
            for (const char byte : name.substr(0, length)) {
                encoded += PercentEscape(byte);
            }
            other = true;
            name.remove_prefix(length);
            continue;
        }
        // A dot first would hide the file.
        const char c = IsSafeNameByte(name.front()) && !(ascii.empty() && name.front() == '.') ? name.front() : '_';
        ascii += c;
        encoded += IsAttributeByte(c) ? std::string(1, c) : PercentEscape(c);
        name.remove_prefix(1);
    }
    if (ascii.find_first_not_of('_') == std::string::npos) {
        ascii = encoded = "glyphtint";
        other = false;
    }
    std::string disposition = "inline; filename=\"" + ascii + "." + std::string(extension) + "\"";
    if (other) {
        disposition += "; filename*=UTF-8''" + encoded + "." + std::string(extension);
    }
    return disposition;
}

std::string FillPage(std::string_view page, const PagePreview& preview)
{
    std::string tags = "<title>" + EscapeHtml(preview.title) + "</title>\n";
    const auto meta = [&](std::string_view attribute, std::string_view name, std::string_view content) {
        tags += "<meta " + std::string(attribute) + "=\"" + std::string(name) + "\" content=\"" + EscapeHtml(content) +
                "\">\n";
    };
    meta("name", "glyphtint:public-url", preview.publicUrl);
    meta("name", "description", preview.description);
    meta("property", "og:type", "website");
    meta("property", "og:site_name", "glyphtint");
    meta("property", "og:title", preview.title);
    meta("property", "og:description", preview.description);
    if (!preview.pageUrl.empty()) {
        meta("property", "og:url", preview.pageUrl);
    }
    if (!preview.imageUrl.empty()) {
        meta("property", "og:image", preview.imageUrl);
        meta("property", "og:image:type", "image/png");
        meta("property", "og:image:width", std::to_string(pictures::kCardWidth));
        meta("property", "og:image:height", std::to_string(pictures::kCardHeight));
        meta("property", "og:image:alt", preview.imageAlt);
    }
    meta("name", "twitter:card", preview.imageUrl.empty() ? "summary" : "summary_large_image");
    std::string filled(page);
    const std::size_t open = filled.find("<title>");
    const std::size_t close = filled.find("</title>");
    if (open != std::string::npos && close != std::string::npos && open < close) {
        filled.replace(open, close + 8 - open + (filled.compare(close + 8, 1, "\n") == 0 ? 1 : 0), tags);
        return filled;
    }
    const std::size_t head = filled.find("</head>");
    if (head == std::string::npos) {
        throw std::logic_error("the page has no head to fill");
    }
    filled.insert(head, tags);
    return filled;
}

} // namespace glyphtint::tools
