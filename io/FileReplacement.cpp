// FileReplacement: new files named only once complete, existing ones replaced by rename
// when the copy can keep everything the file was, else rewritten in place.
#include "io/FileReplacement.h"

#include "io/Descriptor.h"
#include "io/FileLock.h"
#include "io/SharedFolders.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <random>
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

// A file being written in the target's folder: unnamed, or under a hidden temporary
// name in that folder that is removed unless the file was published.
struct NewFile {
    Descriptor fd;
    int folder = -1;
    std::string temporaryName;

    explicit NewFile(int folderFd) : folder(folderFd) { }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile()
    {
        if (!temporaryName.empty()) {
            ::unlinkat(folder, temporaryName.c_str(), 0);
        }
    }
};

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

// A hidden name beside the file, in its folder, that is not likely to exist.
std::string TemporaryName(const std::string& name)
{
    static std::mt19937_64 random{std::random_device{}()};
    return "." + name + "." + std::to_string(random() % 1000000000u) + ".tmp";
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string SelfPath(int fd)
{
    return "/proc/self/fd/" + std::to_string(fd);
}

// Opens a folder to work in for the whole save. A folder that may not be read is held
// as a path only: files are still made in it, only its sync is skipped.
int OpenFolder(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 || errno != EACCES) {
        return fd;
    }
    return ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
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

// Opens a new file in the folder with mode 0666 less the umask, unnamed where the file
// system has O_TMPFILE, else under a temporary name that O_EXCL keeps from being a link.
// False when the folder refuses new files.
bool OpenNewFile(int folder, const std::string& name, NewFile& file)
{
    const int unnamed = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (unnamed >= 0) {
        file.fd.Reset(unnamed);
        return true;
    }
    // Kernels and file systems without O_TMPFILE say so with these.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = TemporaryName(name);
        const int fd = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            file.fd.Reset(fd);
            file.temporaryName = std::move(temporary);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool WriteAllAt(const SaveCalls& calls, int fd, std::string_view bytes, off_t position)
{
    while (!bytes.empty()) {
        const ssize_t written = calls.pwrite(fd, bytes.data(), bytes.size(), position);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        position += written;
    }
    return true;
}

// Gives a complete file a hidden name in the folder, so that a rename can move it over
// the file's name. An unnamed file is linked through its /proc entry; linkat never
// follows a link at the new name, and fails when the name exists.
bool NameTemporarily(const SaveCalls& calls, NewFile& file, const std::string& name)
{
    if (!file.temporaryName.empty()) {
        return true;
    }
    const std::string self = SelfPath(file.fd.Get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = TemporaryName(name);
        if (calls.linkat(AT_FDCWD, self.c_str(), file.folder, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            file.temporaryName = std::move(temporary);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

} // namespace

FileReplacement::FileReplacement(const std::string& path, const SaveCalls& calls)
    : calls_(calls), path_(path), name_(BaseNameOf(path))
{
    if (name_.empty()) {
        throw EFCreateError(path_);
    }
    folder_ = OpenFolder(FolderOf(path));
    if (folder_ < 0) {
        throw EFCreateError(path_);
    }
    try {
        Check();
    } catch (...) {
        ::close(folder_);
        throw;
    }
}

// What the constructor checks once the folder is held: the file of the name, or the
// folder's permission for a new one.
void FileReplacement::Check()
{
    struct stat info { };
    if (::fstatat(folder_, name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode)) {
        FollowLink(info);
    }
    if (::fstatat(folder_, name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISREG(info.st_mode) ||
            ::faccessat(folder_, name_.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) {
            throw EFCreateError(path_);
        }
        return;
    }
    if (errno != ENOENT || ::faccessat(folder_, ".", W_OK, AT_EACCESS) != 0) {
        throw EFCreateError(path_);
    }
}

FileReplacement::~FileReplacement()
{
    if (folder_ >= 0) {
        ::close(folder_);
    }
}

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
    if (::fstat(folder_, &folder) == 0 && IsPlantedLink(folder, link)) {
        RefuseLink(link);
    }
    const Descriptor reached(::openat(folder_, name_.c_str(), O_PATH | O_CLOEXEC));
    struct stat still { };
    if (!reached.Valid() || ::fstatat(folder_, name_.c_str(), &still, AT_SYMLINK_NOFOLLOW) != 0 ||
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
    ::close(folder_);
    folder_ = targetFolder.Release();
    name_ = targetName;
}

// A link found at the name is never followed: one that another user planted in a sticky
// world-writable folder is refused with the reason.
void FileReplacement::RefuseLink(const struct stat& link) const
{
    struct stat folder { };
    if (::fstat(folder_, &folder) == 0 && IsPlantedLink(folder, link)) {
        throw EFCreateError(path_, kPlantedLinkReason);
    }
    throw EFCreateError(path_);
}

void FileReplacement::Commit(std::string_view bytes)
{
    struct stat info { };
    if (::fstatat(folder_, name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT || !CreateNew(bytes)) {
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
    if (!ReplaceByRename(bytes, info)) {
        RewriteInPlace(bytes, info);
    }
}

bool FileReplacement::CreateNew(std::string_view bytes)
{
    NewFile file(folder_);
    if (!OpenNewFile(folder_, name_, file)) {
        return false;
    }
    if (!WriteAllAt(calls_, file.fd.Get(), bytes, 0) || calls_.fsync(file.fd.Get()) != 0) {
        throw EWriteError(path_);
    }
    if (file.temporaryName.empty()) {
        if (calls_.linkat(AT_FDCWD, SelfPath(file.fd.Get()).c_str(), folder_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            SyncFolder();
            return true;
        }
        // Without /proc, or when something took the name meanwhile: name the file and
        // rename it, which replaces what is at the name (a link too) but never follows it.
        if (!NameTemporarily(calls_, file, name_)) {
            return false;
        }
    }
    if (!file.fd.Close() || calls_.renameat(folder_, file.temporaryName.c_str(), folder_, name_.c_str()) != 0) {
        return false;
    }
    file.temporaryName.clear();
    SyncFolder();
    return true;
}

bool FileReplacement::ReplaceByRename(std::string_view bytes, const struct stat& old)
{
    if (old.st_nlink != 1) {
        return false;
    }
    NewFile file(folder_);
    if (!OpenNewFile(folder_, name_, file)) {
        return false;
    }
    struct stat copy { };
    if (::fstat(file.fd.Get(), &copy) != 0) {
        return false;
    }
    // Only the owner (or root) can give the copy the file's owner and group; the mode
    // comes after, since a change of owner clears the set-id bits.
    if ((copy.st_uid != old.st_uid || copy.st_gid != old.st_gid) &&
        ::fchown(file.fd.Get(), old.st_uid, old.st_gid) != 0) {
        return false;
    }
    if (::fchmod(file.fd.Get(), old.st_mode & 07777) != 0) {
        return false;
    }
    if (!WriteAllAt(calls_, file.fd.Get(), bytes, 0) || calls_.fsync(file.fd.Get()) != 0) {
        throw EWriteError(path_);
    }
    // A sticky folder refuses the rename over another user's file (or link).
    if (!NameTemporarily(calls_, file, name_) || !file.fd.Close() ||
        calls_.renameat(folder_, file.temporaryName.c_str(), folder_, name_.c_str()) != 0) {
        return false;
    }
    file.temporaryName.clear();
    SyncFolder();
    return true;
}

void FileReplacement::RewriteInPlace(std::string_view bytes, const struct stat& checked)
{
    // Only the file checked is written: a name swapped meanwhile for a link fails to
    // open, one swapped for another file is told apart by its inode.
    Descriptor fd(::openat(folder_, name_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
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

// Makes a finished rename durable; a folder that cannot be synced is left as it is.
void FileReplacement::SyncFolder() const
{
    calls_.fsync(folder_);
}

} // namespace glyphtint::io
