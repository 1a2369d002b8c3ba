// A file handle with an advisory lock: shared for readers, exclusive for writers.
#include "io/FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <utility>

#include "io/FileLock.h"
#include "io/StreamError.h"

namespace glyphtint::io {
namespace {

constexpr uint16_t kAccessMask = 0x0003;
constexpr uint16_t kAccessRead = 0;

// Closes a descriptor on every early exit of Open.
class FdGuard {
public:
    explicit FdGuard(int fd) : fd_(fd) { }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    ~FdGuard()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

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
    FdGuard fd(::open(fileName.c_str(), flags));
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
    return FileStream(fd.Release(), static_cast<uint64_t>(info.st_size));
}

FileStream::FileStream(FileStream&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(std::exchange(other.size_, 0))
{
}

FileStream& FileStream::operator=(FileStream&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

FileStream::~FileStream()
{
    // Closing the last descriptor of the open file description drops the lock.
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

size_t FileStream::ReadAt(uint64_t position, std::span<uint8_t> out) const
{
    constexpr auto kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    size_t done = 0;
    while (done < out.size()) {
        if (position > kMaxOffset - done) {
            break;
        }
        const ssize_t got = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(position + done));
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
