// Whole-file locks on an open file description (fcntl F_OFD_SETLK): a write lock needs a
// descriptor opened for writing, so whoever may only read a file can never keep others
// out of it; read locks never keep other readers out.
#pragma once

#include <cerrno>

#include <fcntl.h>

namespace glyphtint::io {

enum class FileLockResult {
    Taken,       // the lock is held until the open file description is closed
    HeldByOther, // another open file description holds a conflicting lock
    Unavailable, // the file system has no such locks, or the descriptor's access forbids it
};

// Tries once, without waiting, to take a read lock (F_RDLCK) or a write lock (F_WRLCK)
// on the whole file. errno tells why when the lock is unavailable.
inline FileLockResult TryLockWholeFile(int fd, short type)
{
    struct flock lock { };
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // to the end, however far the file grows
    lock.l_pid = 0; // open file description locks require it
    int rc = 0;
    do {
        rc = ::fcntl(fd, F_OFD_SETLK, &lock);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        return FileLockResult::Taken;
    }
    return errno == EAGAIN || errno == EACCES ? FileLockResult::HeldByOther : FileLockResult::Unavailable;
}

} // namespace glyphtint::io
