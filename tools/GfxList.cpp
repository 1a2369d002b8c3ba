// glyphtint-gfx list: the central directory of an archive, one line per entry.
#include "tools/GfxList.h"

#include <cstdio>

#include "archive/ZipArchive.h"
#include "archive/ZipFormat.h"
#include "tools/GfxErrors.h"
#include "tools/GfxExtract.h"

namespace glyphtint::tools {

namespace {

std::string MethodName(uint16_t method)
{
    switch (method) {
    case glyphtint::archive::zipfmt::kMethodStored: return "stored";
    case glyphtint::archive::zipfmt::kMethodDeflated: return "deflated";
    default: return std::to_string(method);
    }
}

} // namespace

std::string EscapedEntryName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

void ListGfxArchive(const std::string& path, std::ostream& out)
{
    TZipArchive archive;
    archive.FileName = path;
    try {
        archive.Open(0);
    } catch (const std::exception& e) {
        throw GfxToolError(DescribeError(e));
    }
    for (const TDirItem& item : archive.Directory().Items()) {
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(item.Crc32()));
        out << EscapedEntryName(item.Name) << '\t' << item.UncompressedSize() << '\t' << item.CompressedSize() << '\t'
            << MethodName(item.Method()) << '\t' << crc << '\n';
    }
}

} // namespace glyphtint::tools
