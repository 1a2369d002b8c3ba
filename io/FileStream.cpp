// A file handle with an advisory lock: shared for readers, exclusive for writers.
#include "io/FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <utility>

#include "io/Descriptor.h"
#include "io/FileLock.h"
#include "io/StreamError.h"

namespace glyphtint::io {
namespace {

constexpr uint16_t kAccessMask = 0x0003;
constexpr uint16_t kAccessRead = 0;

// The locks are only advisory: they keep out other openers that lock too. A reader
// takes a read lock: any number of readers (two copies of the window, other users,
// tools run side by side) share the file, while a writer, whose write lock needs the
// file opened for writing, finds it taken. A writer in turn makes every reader's open
// fail for as long as it holds the file. Locks of open file descriptions are used, not
// flock: a flock lock needs only read access, so anyone who may read the file could
// take an exclusive one and keep every reader out.
short LockType(uint16_t mode)
{
    return (mode & kAccessMask) == kAccessRead ? F_RDLCK : F_WRLCK;
}

} // namespace

FileStream FileStream::Open(const std::string& fileName, uint16_t mode)
{
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    switch (mode & kAccessMask) {
    case 0: flags |= O_RDONLY; break;
    case 1: flags |= O_WRONLY; break;
    case 2: flags |= O_RDWR; break;
    default: throw EFOpenError(fileName);
    }
    Descriptor fd(::open(fileName.c_str(), flags));
    if (fd.Get() < 0) {
        throw EFOpenError(fileName, errno);
    }
    struct stat info { };
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw EFOpenError(fileName);
    }
    const FileLockResult locked = TryLockWholeFile(fd.Get(), LockType(mode));
    const int cause = errno;
    if (locked == FileLockResult::HeldByOther) {
        throw EFOpenError(fileName, EWOULDBLOCK);
    }
    if (locked != FileLockResult::Taken) {
        throw EFOpenError(fileName, cause);
    }
    return FileStream(std::move(fd), static_cast<uint64_t>(info.st_size));
}

FileStream::FileStream(FileStream&& other) noexcept : fd_(std::move(other.fd_)), size_(std::exchange(other.size_, 0))
{
}

FileStream& FileStream::operator=(FileStream&& other) noexcept
{
    fd_ = std::move(other.fd_);
    size_ = std::exchange(other.size_, 0);
    return *this;
}

// Closing the last descriptor of the open file description drops the lock.
FileStream::~FileStream() = default;

size_t FileStream::ReadAt(uint64_t position, std::span<uint8_t> out) const
{
    constexpr auto kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    size_t done = 0;
    while (done < out.size()) {
        if (position > kMaxOffset - done) {
            break;
        }
        const ssize_t got =
            ::pread(fd_.Get(), out.data() + done, out.size() - done, static_cast<off_t>(position + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    return done;
}

void FileStream::ReadExactAt(uint64_t position, std::span<uint8_t> out) const
{
    if (ReadAt(position, out) != out.size()) {
        throw EReadError();
    }
}

} // namespace glyphtint::io
