// BatchFolder: one descriptor for the folder, an OFD write lock, unnamed files linked in.
#include "tools/render/BatchFolder.h"

#include "io/FileLock.h"
#include "io/NewFile.h"
#include "io/SharedFolders.h"
#include "io/StreamError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

namespace glyphtint::tools {
namespace {

// How often a lock file removed by the batch that held it is opened anew.
constexpr int kLockAttempts = 100;

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
        if (::fstatat(fd_.Get(), kLockName, &named, AT_SYMLINK_NOFOLLOW) == 0 && io::SameFile(named, opened)) {
            lock_ = std::move(lock);
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
    // Unsynced: Sync flushes the whole folder once. An older file is removed before the
    // new one is named, so that a kill between the two leaves no name rather than a
    // temporary one.
    io::PublishOptions options;
    options.sync = false;
    options.keepName = false;
    switch (io::PublishNewFile(fd_.Get(), name, bytes, options)) {
    case io::Published::Yes: return;
    case io::Published::Refused: throw EFCreateError(PathOf(name));
    case io::Published::WriteFailed: throw EWriteError(PathOf(name));
    }
}

void BatchFolder::Sync()
{
    if (::syncfs(fd_.Get()) != 0) {
        throw EWriteError(path_);
    }
}

} // namespace glyphtint::tools
