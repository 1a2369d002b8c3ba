// Replacing a file's contents as a careful editor does: the new bytes are complete in
// memory first, and the file keeps what it was (owner, group, mode, hard links, the
// symlink that leads to it) or is left untouched when the save cannot be done.
#pragma once

#include "io/StreamError.h"

#include <string>
#include <string_view>

namespace glyphtint::io {

class FileReplacement {
public:
    // Finds the file a save to path writes: a symlink is followed to its target by the
    // kernel, with its protections (a link that another user planted in a sticky
    // world-writable folder is not followed where fs.protected_symlinks is on). Raises
    // EFCreateError when nothing can be saved there: a dangling symlink or a loop, a
    // link the kernel refuses to follow, a folder or another non-regular file, a file
    // without write permission, a missing folder. Creates nothing.
    explicit FileReplacement(const std::string& path);

    // Writes the bytes. A new file is written unnamed (O_TMPFILE where the file system
    // has it) and named once complete. An existing file is replaced by renaming a
    // complete copy over it when that copy can have its owner, group and mode and the
    // file has one link; otherwise (a read-only folder, another user's file in a sticky
    // folder, hard links) its own inode is rewritten in place, with its space reserved
    // first where the file system can, under an exclusive flock, so that saves of this
    // program to the same file follow one another and the file always holds one whole
    // picture. Raises EWriteError when writing stops short, EFCreateError when the file
    // can neither be replaced nor rewritten, or stays locked by another writer.
    void Commit(std::string_view bytes);

private:
    bool CreateNew(std::string_view bytes);
    bool ReplaceByRename(std::string_view bytes);
    void RewriteInPlace(std::string_view bytes);

    std::string path_;   // as given, for messages
    std::string target_; // the file written: the path, or the end of its symlinks
    std::string folder_; // the target's folder, "." for a bare name
};

} // namespace glyphtint::io
