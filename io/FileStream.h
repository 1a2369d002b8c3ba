// A file handle with an advisory lock: shared for readers, exclusive for writers.
#pragma once

#include "io/Descriptor.h"

#include <cstdint>
#include <span>
#include <string>

namespace glyphtint::io {

// Owns one file descriptor from Open until destruction. Reads are positional
// (pread), so the stream has no shared file position to restore.
class FileStream {
public:
    // Opens fileName with a file-open mode: bits 0-1 give the access (0 read,
    // 1 write, 2 read and write), bits 4-7 the sharing granted to other openers.
    // Read access takes a read lock on the open file description, write access a
    // write lock, both without waiting: readers share the file and a writer keeps
    // everyone else out (see FileLock.h). Throws EFOpenError("Cannot open file
    // <fileName>") when the file cannot be opened or locked or is not a regular file,
    // with EWOULDBLOCK as its cause when another opener's lock is in the way.
    static FileStream Open(const std::string& fileName, uint16_t mode);

    FileStream(FileStream&& other) noexcept;
    FileStream& operator=(FileStream&& other) noexcept;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;
    ~FileStream();

    // Size of the file when it was opened.
    uint64_t Size() const { return size_; }

    // Reads up to out.size() bytes at position; returns how many were read,
    // fewer only at the end of the file or on a read failure.
    size_t ReadAt(uint64_t position, std::span<uint8_t> out) const;

    // Reads exactly out.size() bytes at position or throws EReadError.
    void ReadExactAt(uint64_t position, std::span<uint8_t> out) const;

private:
    FileStream(Descriptor fd, uint64_t size) : fd_(std::move(fd)), size_(size) { }

    Descriptor fd_;
    uint64_t size_ = 0;
};

} // namespace glyphtint::io
