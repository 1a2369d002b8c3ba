// glyphtint-gfx list: the central directory of an archive, one line per entry.
#include "tools/GfxList.h"

#include <cstdio>

#include "archive/ZipArchive.h"

namespace glyphtint::tools {

namespace {

std::string MethodName(uint16_t method)
{
    switch (method) {
    case 0: return "stored";
    case 8: return "deflated";
    default: return std::to_string(method);
    }
}

} // namespace

void ListGfxArchive(const std::string& path, std::ostream& out)
{
    TZipArchive archive;
    archive.FileName = path;
    archive.Open(0);
    for (const TDirItem& item : archive.Directory().Items()) {
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(item.Crc32()));
        out << item.Name << '\t' << item.UncompressedSize() << '\t' << item.CompressedSize() << '\t'
            << MethodName(item.Method()) << '\t' << crc << '\n';
    }
}

} // namespace glyphtint::tools
