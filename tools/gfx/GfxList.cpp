// glyphtint-gfx list: the central directory of an archive, one line per entry.
#include "tools/gfx/GfxList.h"

#include <cstdio>

#include "archive/EntryNames.h"
#include "archive/ZipArchive.h"
#include "archive/ZipFormat.h"
#include "render/GlyphNames.h"
#include "render/GfxErrors.h"
#include "tools/gfx/GfxExtract.h"

namespace glyphtint::tools {

using render::DescribeEntryError;
using render::DescribeError;

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

std::string GlyphCharacterOf(std::string_view entryName)
{
    // Looked up as the program looks glyphs up: without regard to ASCII case.
    for (const char c : glyphtint::render::DrawableGlyphBytes()) {
        if (glyphtint::archive::NamesEqualNoCase(
                entryName, glyphtint::render::FullGlyphEntryName(static_cast<unsigned char>(c)))) {
            return c == ' ' ? std::string("space") : std::string(1, c);
        }
    }
    return "(none)";
}

void ListGfxArchive(const std::string& path, std::ostream& out, bool forPeople)
{
    TZipArchive archive;
    archive.FileName = path;
    try {
        archive.Open(0);
    } catch (const std::exception& e) {
        throw GfxToolError(DescribeError(e));
    }
    if (forPeople) {
        out << "name\tcharacter\tsize\tcompressed\tmethod\tcrc32\n";
    }
    for (const TDirItem& item : archive.Directory().Items()) {
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(item.Crc32()));
        out << EscapedEntryName(item.Name);
        if (forPeople) {
            out << '\t' << GlyphCharacterOf(item.Name);
        }
        out << '\t' << item.UncompressedSize() << '\t' << item.CompressedSize() << '\t' << MethodName(item.Method())
            << '\t' << crc << '\n';
    }
}

} // namespace glyphtint::tools
