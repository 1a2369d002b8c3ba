// A program of the build started with pipes or chosen files as its standard descriptors,
// for tests that watch it while it runs, stop reading its output or kill it.
#pragma once

#include "io/Descriptor.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace glyphtint::test {

// A pipe whose ends close with it; either end can be closed earlier.
class Pipe {
public:
    Pipe()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            throw std::runtime_error("cannot make a pipe");
        }
        read_.Reset(fds[0]);
        write_.Reset(fds[1]);
    }

    int Read() const { return read_.Get(); }
    int Write() const { return write_.Get(); }
    void CloseRead() { read_.Reset(-1); }
    void CloseWrite() { write_.Reset(-1); }

private:
    io::Descriptor read_;
    io::Descriptor write_;
};

// Starts program (a name in the build's bin folder) with arguments. setUp runs in the
// child before the program does and may only make async-signal-safe calls: dup2 the
// pipes onto 0, 1 and 2, close a descriptor, ignore a signal.
inline pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::function<void()>& setUp)
{
    std::vector<std::string> strings = {std::string(GLYPHTINT_BIN_DIR) + "/" + program};
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    // A child that ends early must not take the test with it when input is written to it.
    ::signal(SIGPIPE, SIG_IGN);
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGPIPE, SIG_DFL);
        setUp();
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (child < 0) {
        throw std::runtime_error("cannot start " + program);
    }
    return child;
}

// The child's exit status, or 128 + the signal that ended it, as a shell shows them.
inline int WaitForExit(pid_t child)
{
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Everything up to the end of what fd gives.
inline std::string ReadToEnd(int fd)
{
    std::string bytes;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::read(fd, chunk, sizeof chunk)) != 0) {
        if (got < 0 && errno != EINTR) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got > 0 ? got : 0));
    }
    return bytes;
}

// Writes all of bytes to fd; false when the reader went away.
inline bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace glyphtint::test
