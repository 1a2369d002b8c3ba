// FileReplacement: write to a temporary sibling, flush, rename over the target.
#include "archive/FileReplacement.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glyphtint::archive {

namespace {

// The file a write through this path lands in: a symlink is followed so that the
// link stays and its target is replaced, as writing through the link would do.
std::string ResolveTarget(const std::string& path)
{
    struct stat info { };
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return path;
}

std::string FolderPrefix(const std::string& target)
{
    const auto slash = target.rfind('/');
    return slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
}

std::string BaseName(const std::string& target)
{
    const auto slash = target.rfind('/');
    return slash == std::string::npos ? target : target.substr(slash + 1);
}

} // namespace

FileReplacement::FileReplacement(const std::string& path) : path_(path), target_(ResolveTarget(path))
{
    if (path.empty()) {
        throw EFCreateError(path_);
    }
    mode_t mode = 0666;
    struct stat info { };
    if (::stat(target_.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode) || ::access(target_.c_str(), W_OK) != 0) {
            throw EFCreateError(path_);
        }
        mode = info.st_mode & 07777;
    }

    const std::string stem = FolderPrefix(target_) + "." + BaseName(target_) + ".";
    unsigned seed = static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(std::time(nullptr)) ^
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(this));
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 1103515245u + 12345u;
        temporary_ = stem + std::to_string(seed % 1000000u) + ".tmp";
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            break;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0) {
        throw EFCreateError(path_);
    }
    // A replaced file keeps its permissions; a new one gets the usual 0666 less umask.
    if (mode != 0666) {
        (void)::fchmod(fd_, mode);
    }
}

FileReplacement::~FileReplacement()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!committed_) {
        ::unlink(temporary_.c_str());
    }
}

void FileReplacement::Commit(std::string_view bytes)
{
    const char* next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, next, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            throw EWriteError(path_);
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::fsync(fd_) != 0) {
        throw EWriteError(path_);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        throw EWriteError(path_);
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        throw EFCreateError(path_);
    }
    committed_ = true;
}

} // namespace glyphtint::archive
