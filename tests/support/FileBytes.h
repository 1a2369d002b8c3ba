// A whole file's bytes, for comparing what a test or a tool wrote.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace glyphtint::test {

// The file's bytes; empty when it cannot be read, which the comparison then shows.
inline std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace glyphtint::test
