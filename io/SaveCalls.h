// The system calls that decide when a save's bytes and names reach the disk, as one table:
// the real calls by default, others where a test watches their order.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>

#include <fcntl.h>
#include <stdio.h>

namespace glyphtint::io {

struct SaveCalls {
    ssize_t (*pwrite)(int fd, const void* bytes, std::size_t count, off_t position) = ::pwrite;
    int (*ftruncate)(int fd, off_t length) = ::ftruncate;
    int (*fsync)(int fd) = ::fsync;
    int (*linkat)(int fromFolder, const char* from, int toFolder, const char* to, int flags) = ::linkat;
    int (*renameat)(int fromFolder, const char* from, int toFolder, const char* to) = ::renameat;
};

} // namespace glyphtint::io
