// Fuzz target: arbitrary bytes opened as an archive, every entry extracted.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "archive/ZipArchive.h"
#include "io/InputFiles.h"
#include "render/GlyphLimits.h"

namespace {

void ExtractAll(TZipArchive& zip)
{
    // Every entry by index, as far as the program would read it: the plain call
    // inflates whatever an entry declares, which is for callers that want that.
    const int32_t count = zip.EntryCount();
    for (int32_t i = 0; i < count; ++i) {
        if (zip.Directory().Items().At(i).UncompressedSize() > glyphtint::render::kMaxGlyphEntryBytes) {
            continue;
        }
        std::string bytes;
        try {
            zip.ExtractEntryToStream(i, bytes);
        } catch (const std::exception&) {
        }
    }
    // Lookups by the stored names, which may themselves be patterns, through the
    // size-limited extraction that renders use. Each lookup walks the list, so
    // the count is bounded to keep a unit's time linear in its size.
    for (int32_t i = 0; i < count && i < 256; ++i) {
        std::string bytes;
        try {
            zip.ExtractEntryBytesUpTo(zip.Directory().Items().At(i).Name, bytes,
                                      glyphtint::render::kMaxGlyphEntryBytes);
        } catch (const std::exception&) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The bytes live in an anonymous memory file that the archive opens by its /proc
    // path, so the run touches no disk and goes through the real open path.
    std::optional<glyphtint::io::UnnamedFile> file;
    try {
        file.emplace(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const std::exception&) {
        return 0;
    }
    for (const bool corrupted : {false, true}) {
        TZipArchive zip;
        zip.FileName = file->Path();
        zip.OpenCorruptedArchives = corrupted;
        zip.ExtractCorruptedFiles = corrupted;
        zip.Password = "secret";
        int asked = 0;
        zip.OnPassword = [&](TZipBaseArchiver&, const std::string&, std::string& password, bool& skip) {
            if (++asked > 2) {
                skip = true;
            } else {
                password = asked == 1 ? "" : "other";
            }
        };
        try {
            zip.Open(0);
        } catch (const std::exception&) {
            continue;
        }
        ExtractAll(zip);
    }
    return 0;
}
