// The glyph archive beside the running executable.
#include "render/GlyphArchivePath.h"

#include <filesystem>
#include <system_error>

namespace glyphtint::render {

std::string GlyphArchivePath()
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::canonical("/proc/self/exe", error);
    if (error) {
        // Never the working directory: a name no file can have.
        return "/proc/self/exe/glyphtint.gfx";
    }
    return (executable.parent_path() / "glyphtint.gfx").string();
}

} // namespace glyphtint::render
