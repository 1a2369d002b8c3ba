// The output folder of a batch: opened once and held by one batch at a time, every picture
// named only once complete, and the folder's file system flushed once at the end rather
// than once a picture.
#pragma once

#include "io/Descriptor.h"

#include <string>
#include <string_view>

namespace glyphtint::tools {

class BatchFolder {
public:
    // Opens the folder at path, made with its parents when missing, under the rule that
    // saves follow for a link another user planted in a sticky world-writable folder
    // (io::OpenFolderForWriting); every file is then made relative to what was opened.
    // Takes the folder for this batch: a write lock on the hidden file kLockName in it,
    // which only those who may write there can take. Raises EStreamError "Cannot create
    // folder PATH" when there is no folder, "Cannot write into folder PATH: ..." when it
    // cannot be written or is a planted link, and "Folder PATH is in use by another
    // batch" while another batch holds it.
    explicit BatchFolder(const std::string& path);
    BatchFolder(const BatchFolder&) = delete;
    BatchFolder& operator=(const BatchFolder&) = delete;
    // Gives the folder up, removing the lock file.
    ~BatchFolder();

    static constexpr const char* kLockName = ".glyphtint-batch.lock";

    // The path of the file name in the folder, as reports show it.
    std::string PathOf(const std::string& name) const;

    // Writes bytes into an unnamed file and then names it, replacing a file of that name:
    // a reader never sees a part of a picture and a batch killed at any point leaves none
    // behind (on a file system without unnamed files, a hidden temporary name stands in).
    // Raises EFCreateError or EWriteError naming PathOf(name); nothing is left behind then.
    void Write(const std::string& name, std::string_view bytes);

    // Flushes what was written to the disk. Raises EWriteError for the folder on failure.
    void Sync();

private:
    void Hold();

    std::string path_;
    io::Descriptor fd_;
    io::Descriptor lock_;
};

} // namespace glyphtint::tools
