// Folders on a machine shared with other users: the rule that keeps a symlink another
// user planted in a sticky world-writable folder (such as /tmp) from leading a write
// astray, and a folder opened once under that rule, for files made relative to it.
#pragma once

#include "io/Descriptor.h"

#include <sys/stat.h>

#include <string>

namespace glyphtint::io {

// Why a planted link is not followed, as a message gives it after the path.
inline constexpr const char* kPlantedLinkReason =
    "the symlink belongs to another user and lies in a sticky folder that anyone may write to, so it is not followed";

// The kernel's rule for sticky world-writable folders (fs.protected_symlinks), applied
// whether or not the machine has it on: a link in such a folder is followed only when it
// belongs to this process's user or to the folder's owner, the only users the sticky bit
// lets replace it. folder: the folder that holds the link; link: the link itself (lstat).
bool IsPlantedLink(const struct stat& folder, const struct stat& link);

// Whether two stats are of one file: the same inode on the same device.
inline bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens the folder at path for files made relative to the descriptor, making it (and its
// parents) when missing. Its last name is looked up within its opened parent, never by
// path again, and a link there is followed only when IsPlantedLink allows it; otherwise
// raises EStreamError "Cannot write into folder PATH: " kPlantedLinkReason. Raises
// EStreamError "Cannot create folder PATH" when there is no folder to open. Returns the
// descriptor (O_DIRECTORY, close-on-exec).
Descriptor OpenFolderForWriting(const std::string& path);

} // namespace glyphtint::io
