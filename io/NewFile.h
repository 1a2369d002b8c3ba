// A new file published into a folder held open: its bytes written where no name leads to
// them (an unnamed file, or a hidden temporary name), then named in one step, so that a
// reader of the name finds the old file or the whole new one, never a part.
#pragma once

#include "io/SaveCalls.h"

#include <functional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace glyphtint::io {

enum class Published {
    Yes,
    Refused,     // nothing was made: the folder refuses new files, prepare refused, or the name could not be given
    WriteFailed, // the bytes did not all reach the file; nothing is left behind
};

struct PublishOptions {
    SaveCalls calls;
    // Syncs the file before it is named and the folder after, so that a crash leaves the
    // old file or the new one under the name. Off where the caller syncs once at the end.
    bool sync = true;
    // A file already at the name is replaced by a rename, so that the name always leads
    // to one of the two files; off, it is removed first, so that a process killed in
    // between leaves no hidden temporary name behind (only a missing file).
    bool keepName = true;
    // Called with the new file's descriptor before its bytes are written (to give it an
    // owner and a mode); false gives up with Published::Refused.
    std::function<bool(int fd)> prepare;
};

// Writes bytes into a new file in folder and names it name there, replacing a file of
// that name and never following a link at it. The file is made unnamed (O_TMPFILE) where
// the file system can, else under a hidden name beside it made with O_EXCL; without /proc
// to name an unnamed file, it is written again under such a name. Its mode is 0666 less
// the umask unless prepare changes it. Nothing of it stays behind unless Published::Yes.
Published PublishNewFile(int folder, const std::string& name, std::string_view bytes,
                         const PublishOptions& options = {});

// Writes all of bytes at position through calls.pwrite; false when it stops short.
bool WriteAllAt(const SaveCalls& calls, int fd, std::string_view bytes, off_t position);

} // namespace glyphtint::io
