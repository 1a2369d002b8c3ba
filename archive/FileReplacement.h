// Replacing a file in one step: new contents go to a temporary file in the same folder
// that is renamed over the target only once it has been written completely.
#pragma once

#include "archive/StreamError.h"

#include <string>
#include <string_view>

namespace glyphtint::archive {

class FileReplacement {
public:
    // Creates the temporary file beside the target; raises EFCreateError when the
    // folder is missing or not writable, or the target is a folder or read-only.
    explicit FileReplacement(const std::string& path);
    // Removes the temporary file unless Commit finished.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Writes all bytes, flushes them to disk and renames the file over the target.
    // Raises EWriteError when a write stops short, EFCreateError when the rename fails.
    void Commit(std::string_view bytes);

private:
    std::string path_;   // as given, for messages
    std::string target_; // the file replaced: the path, or where its symlink points
    std::string temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

} // namespace glyphtint::archive
