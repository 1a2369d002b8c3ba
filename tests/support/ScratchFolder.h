// A private folder under the system temp folder, removed with everything in it.
#pragma once

#include <stdlib.h>

#include <cerrno>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace glyphtint::test {

class ScratchFolder {
public:
    // prefix: the start of the folder's name, which shows whose folder a leftover is.
    explicit ScratchFolder(const std::string& prefix = "glyphtint")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::system_error(errno, std::generic_category(), "cannot make a folder from " + pattern);
        }
        path_ = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return std::filesystem::path(path_) / name; }

    // Every name in the folder, sorted, so that a leftover temporary file shows.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Writes bytes to the file name in the folder and returns the file's path.
    std::string Write(const std::string& name, std::span<const uint8_t> bytes) const
    {
        const std::string path = (*this / name).string();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            throw std::system_error(errno, std::generic_category(), "cannot write " + path);
        }
        return path;
    }

private:
    std::string path_;
};

} // namespace glyphtint::test
