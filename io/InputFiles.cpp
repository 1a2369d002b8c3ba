// ReadRegularFile and UnnamedFile.
#include "io/InputFiles.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glyphtint::io {

namespace {

std::string ErrorText(int error)
{
    return std::strerror(error);
}

} // namespace

std::string ReadRegularFile(const std::string& path, std::uint64_t maxBytes)
{
    // O_NONBLOCK: opening a FIFO without a writer returns at once instead of waiting.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.Valid()) {
        throw EInputFileError(ErrorText(errno));
    }
    const int fd = file.Get();
    struct stat info { };
    if (::fstat(fd, &info) != 0) {
        throw EInputFileError(ErrorText(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        throw EInputFileError(S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file");
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        throw EInputFileError("it is larger than " + std::to_string(maxBytes) + " bytes");
    }
    std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throw EInputFileError(ErrorText(errno));
        }
        if (n == 0) {
            break; // the file shrank meanwhile
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

UnnamedFile::UnnamedFile(std::string_view bytes) : fd_(::memfd_create("glyphtint", MFD_CLOEXEC | MFD_ALLOW_SEALING))
{
    if (!fd_.Valid()) {
        throw EInputFileError(ErrorText(errno));
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd_.Get(), bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw EInputFileError(ErrorText(n < 0 ? errno : ENOSPC));
        }
        written += static_cast<std::size_t>(n);
    }
    // Sealed: whoever opens the path reads these bytes, whatever else holds the file.
    if (::fcntl(fd_.Get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        throw EInputFileError(ErrorText(errno));
    }
}

std::string UnnamedFile::Path() const
{
    return "/proc/self/fd/" + std::to_string(fd_.Get());
}

} // namespace glyphtint::io
