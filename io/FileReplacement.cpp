// FileReplacement: new files named only once complete, existing ones replaced by rename
// when the copy can keep everything the file was, else rewritten in place.
#include "io/FileReplacement.h"

#include "io/Descriptor.h"
#include "io/FileLock.h"
#include "io/NewFile.h"
#include "io/SharedFolders.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glyphtint::io {

namespace {

// How long a rewrite in place waits for another writer of the file to finish, and how
// often it looks again. A save takes milliseconds; only a stuck lock lasts this long.
constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLockPoll = std::chrono::milliseconds(5);

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SelfPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

// Opens a folder to work in for the whole save. A folder that may not be read is held
// as a path only: files are still made in it, only its sync is skipped.
Descriptor OpenFolder(const std::string& path)
{
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid() && errno == EACCES) {
        fd.Reset(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    return fd;
}

// Takes a write lock on the open file, waiting a while for another opener (a save of
// this program, or a reader of a glyph pack). False when the lock stays taken; a file
// system without such locks is written unlocked.
bool LockForWriting(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        const FileLockResult locked = TryLockWholeFile(fd, F_WRLCK);
        if (locked != FileLockResult::HeldByOther) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kLockPoll);
    }
}

} // namespace

FileReplacement::FileReplacement(const std::string& path, const SaveCalls& calls)
    : calls_(calls), path_(path), name_(BaseNameOf(path))
{
    if (name_.empty()) {
        throw EFCreateError(path_);
    }
    folder_ = OpenFolder(FolderOf(path));
    if (!folder_.Valid()) {
        throw EFCreateError(path_);
    }
    Check();
}

// What the constructor checks once the folder is held: the file of the name, or the
// folder's permission for a new one.
void FileReplacement::Check()
{
    struct stat info { };
    if (::fstatat(folder_.Get(), name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
        FollowLink(info);
    }
    if (::fstatat(folder_.Get(), name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISREG(info.st_mode) ||
            ::faccessat(folder_.Get(), name_.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) {
            throw EFCreateError(path_);
        }
        return;
    }
    if (errno != ENOENT || ::faccessat(folder_.Get(), ".", W_OK, AT_EACCESS) != 0) {
        throw EFCreateError(path_);
    }
}

FileReplacement::~FileReplacement() = default;

// Follows the symlink at the name by opening it, so that the kernel applies its
// permissions and protections to every link on the way, and from then on holds the
// folder of the file reached, as the kernel names the open descriptor. Nothing is
// resolved here: a name only ever leads where opening it leads.
void FileReplacement::FollowLink(const struct stat& link)
{
    // The kernel's rule is applied here too, so that a machine with the protection
    // switched off is not the one where a planted link leads a save astray. The sticky
    // bit keeps another user from swapping the link for one of theirs afterwards.
    struct stat folder { };
    if (::fstat(folder_.Get(), &folder) == 0 && IsPlantedLink(folder, link)) {
        RefuseLink(link);
    }
    const Descriptor reached(::openat(folder_.Get(), name_.c_str(), O_PATH | O_CLOEXEC));
    struct stat still { };
    if (!reached.Valid() || ::fstatat(folder_.Get(), name_.c_str(), &still, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameFile(still, link)) {
        // A dangling link or a loop has no file to save into; a link swapped meanwhile
        // may have led elsewhere than the one checked.
        throw EFCreateError(path_);
    }
    char resolved[PATH_MAX];
    const ssize_t length = ::readlink(SelfPath(reached.Get()).c_str(), resolved, sizeof resolved);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof resolved || resolved[0] != '/') {
        throw EFCreateError(path_);
    }
    const std::string target(resolved, static_cast<std::size_t>(length));
    // The folder opened must hold the file opened: not a file renamed or deleted
    // meanwhile (the kernel then adds " (deleted)"), nor one behind a link planted since.
    Descriptor targetFolder(OpenFolder(FolderOf(target)));
    const std::string targetName = BaseNameOf(target);
    struct stat opened { };
    struct stat named { };
    if (!targetFolder.Valid() || targetName.empty() || ::fstat(reached.Get(), &opened) != 0 ||
        ::fstatat(targetFolder.Get(), targetName.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        !SameFile(opened, named)) {
        throw EFCreateError(path_);
    }
    folder_ = std::move(targetFolder);
    name_ = targetName;
}

// A link found at the name is never followed: one that another user planted in a sticky
// world-writable folder is refused with the reason.
void FileReplacement::RefuseLink(const struct stat& link) const
{
    struct stat folder { };
    if (::fstat(folder_.Get(), &folder) == 0 && IsPlantedLink(folder, link)) {
        throw EFCreateError(path_, kPlantedLinkReason);
    }
    throw EFCreateError(path_);
}

void FileReplacement::Commit(std::string_view bytes)
{
    struct stat info { };
    if (::fstatat(folder_.Get(), name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT || !Publish(bytes, nullptr)) {
            throw EFCreateError(path_);
        }
        return;
    }
    // A link here now appeared after the check: it is not followed.
    if (S_ISLNK(info.st_mode)) {
        RefuseLink(info);
    }
    if (!S_ISREG(info.st_mode)) {
        throw EFCreateError(path_);
    }
    // A file with other links is rewritten, so that it stays one file.
    if (info.st_nlink != 1 || !Publish(bytes, &info)) {
        RewriteInPlace(bytes, info);
    }
}

bool FileReplacement::Publish(std::string_view bytes, const struct stat* old)
{
    PublishOptions options;
    options.calls = calls_;
    if (old != nullptr) {
        // Only the owner (or root) can give the copy the file's owner and group; the mode
        // comes after, since a change of owner clears the set-id bits.
        options.prepare = [&old = *old](int fd) {
            struct stat copy { };
            return ::fstat(fd, &copy) == 0 &&
                   ((copy.st_uid == old.st_uid && copy.st_gid == old.st_gid) ||
                    ::fchown(fd, old.st_uid, old.st_gid) == 0) &&
                   ::fchmod(fd, old.st_mode & 07777) == 0;
        };
    }
    switch (PublishNewFile(folder_.Get(), name_, bytes, options)) {
    case Published::Yes: return true;
    case Published::Refused: return false;
    case Published::WriteFailed: break;
    }
    throw EWriteError(path_);
}

void FileReplacement::RewriteInPlace(std::string_view bytes, const struct stat& checked)
{
    // Only the file checked is written: a name swapped meanwhile for a link fails to
    // open, one swapped for another file is told apart by its inode.
    Descriptor fd(::openat(folder_.Get(), name_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info { };
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) || !SameFile(info, checked)) {
        throw EFCreateError(path_);
    }
    // Another save of this program to the same file waits here, so that the pictures
    // are written one after the other and never into each other.
    if (!LockForWriting(fd.Get())) {
        throw EFCreateError(path_, "locked by another program");
    }
    const auto size = static_cast<off_t>(bytes.size());
    // Reserving the space first keeps the old contents when the disk is full; file
    // systems that cannot reserve are written without.
    if (::fallocate(fd.Get(), FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS &&
        errno != EINVAL) {
        throw EWriteError(path_);
    }
    if (!WriteAllAt(calls_, fd.Get(), bytes, 0) || calls_.ftruncate(fd.Get(), size) != 0 ||
        calls_.fsync(fd.Get()) != 0 || !fd.Close()) {
        throw EWriteError(path_);
    }
}

} // namespace glyphtint::io
