// Replacing a file's contents as a careful editor does: the new bytes are complete in
// memory first, and the file keeps what it was (owner, group, mode, hard links, the
// symlink that leads to it) or is left untouched when the save cannot be done.
#pragma once

#include "io/Descriptor.h"
#include "io/SaveCalls.h"
#include "io/StreamError.h"

#include <string>
#include <string_view>

#include <sys/stat.h>

namespace glyphtint::io {

class FileReplacement {
public:
    // Finds the file a save to path writes and holds on to its folder: every later step
    // works in that folder by name, without following a link. A symlink at path is
    // followed to its target by the kernel, with its protections (a link that another
    // user planted in a sticky world-writable folder is not followed, also where
    // fs.protected_symlinks is off). Raises EFCreateError when nothing can be saved
    // there: a dangling symlink or a loop, a link the kernel refuses to follow, a folder
    // or another non-regular file, a file without write permission, a missing folder.
    // Creates nothing. The save's writes, syncs, links and renames go through calls.
    explicit FileReplacement(const std::string& path, const SaveCalls& calls = {});
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Writes the bytes into the file of that name in the folder held, or fails; a link
    // found at the name now is never followed. A new file is written unnamed (O_TMPFILE
    // where the file system has it) and named once complete, without replacing a name
    // that appeared meanwhile. An existing file is replaced by renaming a complete copy
    // over it when that copy can have its owner, group and mode and the file has one
    // link; otherwise (a read-only folder, another user's file in a sticky folder, hard
    // links) its own inode is rewritten in place, opened without following a link and
    // only when it is the file found at the name, with its space reserved first where
    // the file system can, under a write lock of its open file description, so that
    // saves of this program to the same file follow one another and the file always
    // holds one whole picture. Raises EWriteError when writing stops short, EFCreateError
    // when the file can neither be replaced nor rewritten, or stays locked by another
    // opener.
    void Commit(std::string_view bytes);

private:
    void Check();
    void FollowLink(const struct stat& link);
    [[noreturn]] void RefuseLink(const struct stat& link) const;
    // Writes the bytes into a new file and names it: false when it cannot be made or
    // named (a sticky folder refuses a rename over another user's file), EWriteError when
    // its bytes do not all reach it. old: the file it replaces, whose owner, group and
    // mode it takes; none for a new file.
    bool Publish(std::string_view bytes, const struct stat* old);
    void RewriteInPlace(std::string_view bytes, const struct stat& checked);

    SaveCalls calls_;
    std::string path_;  // as given, for messages
    Descriptor folder_; // the folder of the file written, open from the start
    std::string name_;  // the file's name in that folder: the path's, or its symlink target's
};

} // namespace glyphtint::io
