// The message rule and the archive location the window shares with the tools.
#pragma once

#include <filesystem>
#include <string>

namespace glyphtint::app {

// A message as the user sees it: a full stop appended when the last character sorts after '.'.
inline std::string ShownMessage(std::string message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        message += '.';
    }
    return message;
}

// glyphtint.gfx in the folder of the running executable, symlinks resolved.
inline std::string GlyphArchivePath()
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::canonical("/proc/self/exe", error);
    if (error) {
        return "glyphtint.gfx";
    }
    return (executable.parent_path() / "glyphtint.gfx").string();
}

} // namespace glyphtint::app
