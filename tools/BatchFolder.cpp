// BatchFolder: temporary file, rename, one syncfs for the whole batch.
#include "tools/BatchFolder.h"

#include "io/StreamError.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace glyphtint::tools {
namespace {

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

} // namespace

BatchFolder::BatchFolder(const std::string& path) : path_(path)
{
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
    fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        throw EStreamError("Cannot create folder " + path);
    }
}

BatchFolder::~BatchFolder()
{
    ::close(fd_);
}

std::string BatchFolder::PathOf(const std::string& name) const
{
    return (std::filesystem::path(path_) / name).string();
}

void BatchFolder::Write(const std::string& name, std::string_view bytes)
{
    // The process id keeps two batches that share a folder off each other's temporaries.
    const std::string temporary = "." + name + "." + std::to_string(::getpid()) + ".tmp";
    const int fd = ::openat(fd_, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        throw EFCreateError(PathOf(name));
    }
    const bool written = WriteAll(fd, bytes);
    if (::close(fd) != 0 || !written) {
        ::unlinkat(fd_, temporary.c_str(), 0);
        throw EWriteError(PathOf(name));
    }
    if (::renameat(fd_, temporary.c_str(), fd_, name.c_str()) != 0) {
        ::unlinkat(fd_, temporary.c_str(), 0);
        throw EFCreateError(PathOf(name));
    }
}

void BatchFolder::Sync()
{
    if (::syncfs(fd_) != 0) {
        throw EWriteError(path_);
    }
}

} // namespace glyphtint::tools
