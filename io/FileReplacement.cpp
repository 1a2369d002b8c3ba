// FileReplacement: new files named only once complete, existing ones replaced by rename
// when the copy can keep everything the file was, else rewritten in place.
#include "io/FileReplacement.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glyphtint::io {

namespace {

// How long a rewrite in place waits for another writer of the file to finish, and how
// often it looks again. A save takes milliseconds; only a stuck lock lasts this long.
constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLockPoll = std::chrono::milliseconds(5);

// An open descriptor, closed on every path.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) { }
    ~Descriptor()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset(int fd)
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }
    // Closes now; false when the close reports a late write error.
    bool Close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// A file being written in the target's folder: unnamed, or under a hidden temporary
// name that is removed unless the file was published.
struct NewFile {
    Descriptor fd;
    std::string temporaryName;

    NewFile() = default;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile()
    {
        if (!temporaryName.empty()) {
            ::unlink(temporaryName.c_str());
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

// A hidden name beside the target that is not likely to exist.
std::string TemporaryName(const std::string& folder, const std::string& target)
{
    static std::mt19937_64 random{std::random_device{}()};
    return folder + "/." + BaseNameOf(target) + "." + std::to_string(random() % 1000000000u) + ".tmp";
}

// Whether the kernel's rule for sticky world-writable folders (fs.protected_symlinks)
// keeps this process from following the link: the link lies in such a folder and
// belongs neither to this process's user nor to the folder's owner.
bool ProtectedLink(const std::string& path, const struct stat& link)
{
    struct stat folder { };
    if (::stat(FolderOf(path).c_str(), &folder) != 0) {
        return false;
    }
    const bool stickyAndShared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return stickyAndShared && link.st_uid != ::geteuid() && link.st_uid != folder.st_uid;
}

// Follows the symlink at path by opening it, so that the kernel applies its
// permissions and protections to every link on the way, and returns the path of the
// file reached as the kernel names the open descriptor. Nothing is resolved here: a
// name only ever leads where opening it leads.
std::string FollowedTarget(const std::string& path, const struct stat& link)
{
    // The kernel's rule is applied here too, so that a machine with the protection
    // switched off is not the one where a planted link leads a save astray. The sticky
    // bit keeps another user from swapping the link for one of theirs afterwards.
    if (ProtectedLink(path, link)) {
        throw EFCreateError(path, "the symlink belongs to another user and lies in a sticky folder that anyone "
                                  "may write to, so it is not followed");
    }
    const Descriptor opened(::open(path.c_str(), O_PATH | O_CLOEXEC));
    if (!opened.Valid()) {
        // A dangling link or a loop has no file to save into.
        throw EFCreateError(path);
    }
    const std::string self = "/proc/self/fd/" + std::to_string(opened.Get());
    char resolved[PATH_MAX];
    const ssize_t length = ::readlink(self.c_str(), resolved, sizeof resolved);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof resolved || resolved[0] != '/') {
        throw EFCreateError(path);
    }
    std::string target(resolved, static_cast<std::size_t>(length));
    // The name must still lead to the file opened: not to a file renamed or deleted
    // meanwhile (the kernel then adds " (deleted)"), nor through a link planted since.
    struct stat reached { };
    struct stat named { };
    if (::fstat(opened.Get(), &reached) != 0 || ::lstat(target.c_str(), &named) != 0 ||
        reached.st_dev != named.st_dev || reached.st_ino != named.st_ino) {
        throw EFCreateError(path);
    }
    return target;
}

// Takes an exclusive flock on the open file, waiting a while for another writer. False
// when the lock stays taken; a file system without flock is written unlocked.
bool LockExclusively(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kLockPoll);
    }
    return true;
}

bool CanWrite(const std::string& path)
{
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// Opens a new file in the folder with mode 0666 less the umask, unnamed where the file
// system has O_TMPFILE. False when the folder refuses new files.
bool OpenNewFile(const std::string& folder, const std::string& target, NewFile& file)
{
    const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (unnamed >= 0) {
        file.fd.Reset(unnamed);
        return true;
    }
    // Kernels and file systems without O_TMPFILE say so with these.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName(folder, target);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            file.fd.Reset(fd);
            file.temporaryName = std::move(name);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool WriteAllAt(int fd, std::string_view bytes, off_t position)
{
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), position);
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
// the target. An unnamed file is linked through its /proc entry.
bool NameTemporarily(NewFile& file, const std::string& folder, const std::string& target)
{
    if (!file.temporaryName.empty()) {
        return true;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(file.fd.Get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName(folder, target);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            file.temporaryName = std::move(name);
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

// Makes a finished rename durable; a folder that cannot be synced is left as it is.
void SyncFolder(const std::string& folder)
{
    const Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Valid()) {
        ::fsync(fd.Get());
    }
}

} // namespace

FileReplacement::FileReplacement(const std::string& path) : path_(path), target_(path)
{
    if (path.empty()) {
        throw EFCreateError(path_);
    }
    struct stat link { };
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        target_ = FollowedTarget(path, link);
    }
    folder_ = FolderOf(target_);

    struct stat info { };
    if (::stat(target_.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode) || !CanWrite(target_)) {
            throw EFCreateError(path_);
        }
        return;
    }
    struct stat folder { };
    if (errno != ENOENT || ::stat(folder_.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode) || !CanWrite(folder_)) {
        throw EFCreateError(path_);
    }
}

void FileReplacement::Commit(std::string_view bytes)
{
    struct stat info { };
    if (::stat(target_.c_str(), &info) != 0) {
        if (errno != ENOENT || !CreateNew(bytes)) {
            throw EFCreateError(path_);
        }
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        throw EFCreateError(path_);
    }
    if (!ReplaceByRename(bytes)) {
        RewriteInPlace(bytes);
    }
}

bool FileReplacement::CreateNew(std::string_view bytes)
{
    NewFile file;
    if (!OpenNewFile(folder_, target_, file)) {
        return false;
    }
    if (!WriteAllAt(file.fd.Get(), bytes, 0) || ::fsync(file.fd.Get()) != 0) {
        throw EWriteError(path_);
    }
    if (file.temporaryName.empty()) {
        const std::string self = "/proc/self/fd/" + std::to_string(file.fd.Get());
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            SyncFolder(folder_);
            return true;
        }
        // Without /proc, or when a file of that name appeared meanwhile: name it and rename.
        if (!NameTemporarily(file, folder_, target_)) {
            return false;
        }
    }
    if (!file.fd.Close() || ::rename(file.temporaryName.c_str(), target_.c_str()) != 0) {
        return false;
    }
    file.temporaryName.clear();
    SyncFolder(folder_);
    return true;
}

bool FileReplacement::ReplaceByRename(std::string_view bytes)
{
    struct stat old { };
    if (::stat(target_.c_str(), &old) != 0 || old.st_nlink != 1) {
        return false;
    }
    NewFile file;
    if (!OpenNewFile(folder_, target_, file)) {
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
    if (!WriteAllAt(file.fd.Get(), bytes, 0) || ::fsync(file.fd.Get()) != 0) {
        throw EWriteError(path_);
    }
    // A sticky folder refuses the rename over another user's file.
    if (!NameTemporarily(file, folder_, target_) || !file.fd.Close() ||
        ::rename(file.temporaryName.c_str(), target_.c_str()) != 0) {
        return false;
    }
    file.temporaryName.clear();
    SyncFolder(folder_);
    return true;
}

void FileReplacement::RewriteInPlace(std::string_view bytes)
{
    Descriptor fd(::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    struct stat info { };
    if (!fd.Valid() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw EFCreateError(path_);
    }
    // Another save of this program to the same file waits here, so that the pictures
    // are written one after the other and never into each other.
    if (!LockExclusively(fd.Get())) {
        throw EFCreateError(path_, "locked by another program");
    }
    const auto size = static_cast<off_t>(bytes.size());
    // Reserving the space first keeps the old contents when the disk is full; file
    // systems that cannot reserve are written without.
    if (::fallocate(fd.Get(), FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS &&
        errno != EINVAL) {
        throw EWriteError(path_);
    }
    if (!WriteAllAt(fd.Get(), bytes, 0) || ::ftruncate(fd.Get(), size) != 0 || ::fsync(fd.Get()) != 0 || !fd.Close()) {
        throw EWriteError(path_);
    }
}

} // namespace glyphtint::io
