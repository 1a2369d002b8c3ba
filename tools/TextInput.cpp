// ReadTextFile: a file or standard input read whole, as bytes.
#include "tools/TextInput.h"

#include "io/StreamError.h"

#include <cstdio>
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
    std::string text;
    char chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, got);
    }
    if (std::ferror(file)) {
        throw EStreamError("Cannot read file " + (path == "-" ? std::string("standard input") : path));
    }
    DropFinalLineEnd(text);
    return text;
}

} // namespace glyphtint::tools
