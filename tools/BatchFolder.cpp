// BatchFolder: one descriptor for the folder, an OFD write lock, unnamed files linked in.
#include "tools/BatchFolder.h"

#include "io/FileLock.h"
#include "io/SharedFolders.h"
#include "io/StreamError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace glyphtint::tools {
namespace {

// How often a lock file removed by the batch that held it is opened anew.
constexpr int kLockAttempts = 100;

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

BatchFolder::BatchFolder(const std::string& path) : path_(path), fd_(io::OpenFolderForWriting(path))
{
    Hold();
}

BatchFolder::~BatchFolder()
{
    if (lock_.Valid()) {
        // Removed while still locked: a batch that opened this file meanwhile finds it
        // gone once it has the lock, and opens the name anew.
        ::unlinkat(fd_.Get(), kLockName, 0);
    }
}

// An OFD write lock needs a descriptor open for writing, so a user who may not write the
// folder can neither make the lock file nor open it (mode 0600) to hold batches off; a
// read lock could, which is why the folder itself is not what is locked. The lock goes
// with the process, however it ends.
void BatchFolder::Hold()
{
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        io::Descriptor lock(
            ::openat(fd_.Get(), kLockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
        if (!lock.Valid()) {
            throw EStreamError("Cannot write into folder " + path_ + ": " + std::strerror(errno));
        }
        struct stat opened { };
        if (::fstat(lock.Get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
            throw EStreamError("Cannot write into folder " + path_ + ": " + kLockName + " is not a regular file");
        }
        switch (io::TryLockWholeFile(lock.Get(), F_WRLCK)) {
        case io::FileLockResult::HeldByOther: throw EStreamError("Folder " + path_ + " is in use by another batch");
        case io::FileLockResult::Unavailable:
            // A file system without these locks is written as before, unheld.
            return;
        case io::FileLockResult::Taken: break;
        }
        struct stat named { };
        if (::fstatat(fd_.Get(), kLockName, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(named, opened)) {
            lock_.Reset(lock.Release());
            return;
        }
    }
    throw EStreamError("Folder " + path_ + " is in use by another batch");
}

std::string BatchFolder::PathOf(const std::string& name) const
{
    return (std::filesystem::path(path_) / name).string();
}

void BatchFolder::Write(const std::string& name, std::string_view bytes)
{
    io::Descriptor file(::openat(fd_.Get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (!file.Valid()) {
        // Kernels and file systems without unnamed files say so with these.
        if ((errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) && WriteTemporary(name, bytes)) {
            return;
        }
        throw EFCreateError(PathOf(name));
    }
    if (!WriteAll(file.Get(), bytes)) {
        throw EWriteError(PathOf(name));
    }
    // linkat never follows a link at the name, and never replaces: an older file is
    // removed first, so that a kill between the two leaves no name rather than a
    // temporary one.
    const std::string self = "/proc/self/fd/" + std::to_string(file.Get());
    bool named = false;
    for (int attempt = 0; attempt < 3 && !named; ++attempt) {
        named = ::linkat(AT_FDCWD, self.c_str(), fd_.Get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0;
        if (!named && (errno != EEXIST || ::unlinkat(fd_.Get(), name.c_str(), 0) != 0)) {
            break;
        }
    }
    const bool noProc = !named && errno == ENOENT;
    const bool closed = file.Close();
    if (noProc && WriteTemporary(name, bytes)) {
        return;
    }
    if (!named) {
        throw EFCreateError(PathOf(name));
    }
    if (!closed) {
        ::unlinkat(fd_.Get(), name.c_str(), 0);
        throw EWriteError(PathOf(name));
    }
}

bool BatchFolder::WriteTemporary(const std::string& name, std::string_view bytes)
{
    const std::string temporary = "." + name + "." + std::to_string(::getpid()) + ".tmp";
    io::Descriptor file(::openat(fd_.Get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!file.Valid()) {
        return false;
    }
    const bool written = WriteAll(file.Get(), bytes);
    if (!file.Close() || !written) {
        ::unlinkat(fd_.Get(), temporary.c_str(), 0);
        throw EWriteError(PathOf(name));
    }
    if (::renameat(fd_.Get(), temporary.c_str(), fd_.Get(), name.c_str()) != 0) {
        ::unlinkat(fd_.Get(), temporary.c_str(), 0);
        throw EFCreateError(PathOf(name));
    }
    return true;
}

void BatchFolder::Sync()
{
    if (::syncfs(fd_.Get()) != 0) {
        throw EWriteError(path_);
    }
}

} // namespace glyphtint::tools
