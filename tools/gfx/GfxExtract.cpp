// glyphtint-gfx extract: one entry's bytes through ExtractEntryBytes.
#include "tools/gfx/GfxExtract.h"

#include "archive/ZipArchive.h"
#include "render/GfxErrors.h"

namespace glyphtint::tools {

using render::DescribeEntryError;
using render::DescribeError;

std::string ExtractGfxEntry(const std::string& path, const std::string& name,
                            const std::optional<std::string>& password)
{
    TZipArchive archive;
    archive.FileName = path;
    archive.Password = password.value_or("");
    bool refused = false;
    // The password request comes only when the given password does not fit; a
    // command line cannot be asked again, so the entry is given up.
    archive.OnPassword = [&](TZipBaseArchiver&, const std::string&, std::string&, bool& skip) {
        refused = true;
        skip = true;
    };
    try {
        archive.Open(0);
    } catch (const std::exception& e) {
        throw GfxToolError(DescribeError(e));
    }
    std::string bytes;
    try {
        archive.ExtractEntryBytesUpTo(name, bytes, kMaxExtractedEntryBytes);
    } catch (const std::exception& e) {
        throw GfxToolError(DescribeEntryError(archive, name, e));
    }
    if (refused) {
        throw GfxToolError(password ? "Wrong password for \"" + name + "\""
                                    : "\"" + name + "\" is encrypted: give --password");
    }
    return bytes;
}

} // namespace glyphtint::tools
