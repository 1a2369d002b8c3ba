// The output folder of a batch: every picture complete under its final name, and the
// folder's file system flushed once at the end rather than once a picture.
#pragma once

#include <string>
#include <string_view>

namespace glyphtint::tools {

class BatchFolder {
public:
    // Opens the folder at path, made with its parents when missing. Raises EStreamError
    // "Cannot create folder PATH" when there is no folder to write into.
    explicit BatchFolder(const std::string& path);
    BatchFolder(const BatchFolder&) = delete;
    BatchFolder& operator=(const BatchFolder&) = delete;
    ~BatchFolder();

    // The path of the file name in the folder, as reports show it.
    std::string PathOf(const std::string& name) const;

    // Writes bytes under a temporary name and renames it to name, replacing a file of
    // that name: a reader never sees a part of a picture, an interrupted batch leaves
    // none. Raises EFCreateError or EWriteError naming PathOf(name); nothing is left
    // behind then.
    void Write(const std::string& name, std::string_view bytes);

    // Flushes what was written to the disk. Raises EWriteError for the folder on failure.
    void Sync();

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace glyphtint::tools
