// The standard descriptors kept open, and standard output written and closed with checks.
#include "tools/StandardStreams.h"

#include "io/StreamError.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace glyphtint::tools {
namespace {

[[noreturn]] void FailStandardOutput(int error)
{
    // A write that failed earlier may have left no errno behind by the time of the close.
    throw EStreamError(error != 0 ? std::string("Cannot write to standard output: ") + std::strerror(error)
                                  : std::string("Cannot write to standard output"));
}

} // namespace

void KeepStandardDescriptorsOpen()
{
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // open returns the lowest free descriptor, which is this one.
        const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (opened != fd) {
            // Without /dev/null there is no safe place for what would be written.
            std::_Exit(1);
        }
    }
}

void WriteStandardOutput(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            FailStandardOutput(written < 0 ? errno : ENOSPC);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void CloseStandardOutput()
{
    static bool closed = false;
    if (closed) {
        return;
    }
    closed = true;
    // The first failure's errno tells why; a later step may find nothing left to write.
    int error = 0;
    bool failed = false;
    const auto note = [&](bool ok) {
        if (!ok && !failed) {
            error = errno;
        }
        failed = failed || !ok;
        errno = 0;
    };
    errno = 0;
    note(static_cast<bool>(std::cout.flush()));
    note(std::fflush(stdout) == 0 && !std::ferror(stdout));
    // fclose also closes descriptor 1, whose close can report a late write error.
    note(std::fclose(stdout) == 0);
    if (failed) {
        FailStandardOutput(error);
    }
}

} // namespace glyphtint::tools
