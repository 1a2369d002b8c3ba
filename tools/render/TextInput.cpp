// ReadTextFile: a file or standard input read as bytes, up to the text size limit.
#include "tools/render/TextInput.h"

#include "io/StreamError.h"
#include "render/TextLimits.h"

#include <algorithm>
#include <memory>

namespace glyphtint::tools {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

void DropFinalLineEnd(std::string& text)
{
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
    }
}

} // namespace

std::string TextOverLimitMessage(const std::string& where)
{
    return "The text " + where + " is longer than " + std::to_string(render::kMaxTextBytes) +
           " bytes, the most glyphtint-render takes";
}

void RequireTextWithinLimit(std::string_view text, const std::string& where)
{
    if (text.size() > render::kMaxTextBytes) {
        throw ETextOverLimit(TextOverLimitMessage(where));
    }
}

std::string ReadAtMost(std::FILE* file, std::size_t maxBytes, const std::string& name)
{
    std::string bytes;
    char chunk[65536];
    while (bytes.size() <= maxBytes) {
        const std::size_t wanted = std::min(sizeof chunk, maxBytes + 1 - bytes.size());
        const std::size_t got = std::fread(chunk, 1, wanted, file);
        bytes.append(chunk, got);
        if (got < wanted) {
            break;
        }
    }
    if (std::ferror(file)) {
        throw EStreamError("Cannot read " + name);
    }
    return bytes;
}

std::string ReadTextFile(const std::string& path)
{
    // fopen rather than the archive's FileStream: a pipe or a process substitution
    // (`--text-file <(...)`) is a fine source of text, and no lock is wanted.
    std::unique_ptr<std::FILE, FileCloser> owned;
    std::FILE* file = stdin;
    if (path != "-") {
        owned.reset(std::fopen(path.c_str(), "rb"));
        if (!owned) {
            throw EFOpenError(path);
        }
        file = owned.get();
    }
    const bool standardInput = path == "-";
    // A text of the most bytes may still be followed by its CR LF: the bytes past those
    // tell a longer text from it.
    std::string text =
        ReadAtMost(file, render::kMaxTextBytes + 2, standardInput ? std::string("standard input") : "file " + path);
    DropFinalLineEnd(text);
    RequireTextWithinLimit(text, standardInput ? std::string("on standard input") : "in " + path);
    return text;
}

} // namespace glyphtint::tools
