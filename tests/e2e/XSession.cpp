// ChildProcess, XServer and the shell commands run on the private display.
#include "XSession.h"

#include "io/Descriptor.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace e2e {

bool HaveProgram(const std::string& name)
{
    const std::string command = "command -v " + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return done();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& folder,
                           const std::vector<std::string>& environment, const std::string& outputFile)
{
    std::vector<char*> arguments;
    for (const std::string& argument : argv) {
        arguments.push_back(const_cast<char*>(argument.c_str()));
    }
    arguments.push_back(nullptr);

    // The child's environment is made here: between fork and exec only plain system
    // calls are safe, as other threads may hold the allocator's lock.
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        variables.emplace_back(*variable);
    }
    for (const std::string& change : environment) {
        const std::string prefix = change.substr(0, change.find('=') + 1);
        std::erase_if(variables, [&prefix](const std::string& v) { return v.rfind(prefix, 0) == 0; });
        if (change.size() > prefix.size()) {
            variables.push_back(change);
        }
    }
    std::vector<char*> envp;
    for (const std::string& variable : variables) {
        envp.push_back(const_cast<char*>(variable.c_str()));
    }
    envp.push_back(nullptr);

    pid_ = fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
        if (chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        execvpe(arguments[0], arguments.data(), envp.data());
        _exit(127);
    }
}

ChildProcess::~ChildProcess()
{
    if (!reaped_ && pid_ > 0) {
        kill(pid_, SIGTERM);
        if (WaitForExit(std::chrono::milliseconds(3000)) == -1 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
        }
    }
}

bool ChildProcess::Running()
{
    if (reaped_) {
        return false;
    }
    if (waitpid(pid_, &status_, WNOHANG) == pid_) {
        reaped_ = true;
    }
    return !reaped_;
}

int ChildProcess::WaitForExit(std::chrono::milliseconds limit)
{
    WaitUntil([this] { return !Running(); }, limit);
    if (!reaped_ || !WIFEXITED(status_)) {
        return -1;
    }
    return WEXITSTATUS(status_);
}

namespace {

// Servers of all the project's tests start and stop one at a time under this lock: one
// on its way out never meets one that is taking the display number it gives up.
class ServerStartLock {
public:
    ServerStartLock()
    {
        const char* folder = std::getenv("TMPDIR");
        const std::string path =
            std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/glyphtint-xvfb.lock";
        fd_.Reset(open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
        if (fd_.Valid()) {
            flock(fd_.Get(), LOCK_EX);
        }
    }

private:
    glyphtint::io::Descriptor fd_;
};

// Starts Xvfb and returns its display number, or "" when it did not come up.
std::string StartServer(std::unique_ptr<ChildProcess>& server)
{
    std::array<int, 2> pipe{};
    if (::pipe2(pipe.data(), O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // Xvfb writes the display number it chose to the descriptor given by -displayfd;
    // -noreset keeps it from resetting, and refusing connections meanwhile, whenever
    // its last client leaves.
    fcntl(pipe[1], F_SETFD, 0);
    const std::string descriptor = std::to_string(pipe[1]);
    server = std::make_unique<ChildProcess>(std::vector<std::string>{"Xvfb", "-displayfd", descriptor, "-screen", "0",
                                                                     "1280x1024x24", "-nolisten", "tcp", "-noreset"},
                                            "/", std::vector<std::string>{}, "/dev/null");
    close(pipe[1]);
    std::string number;
    char c = 0;
    while (read(pipe[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(pipe[0]);
    return number;
}

} // namespace

XServer::XServer()
{
    ServerStartLock lock;
    for (int attempt = 0; attempt < 3 && display_.empty(); ++attempt) {
        const std::string number = StartServer(server_);
        // Started once a client reaches it.
        if (!number.empty() && WaitUntil(
                                   [&number] {
                                       const std::string probe =
                                           "DISPLAY=:" + number + " xdotool getdisplaygeometry >/dev/null 2>&1";
                                       return std::system(probe.c_str()) == 0;
                                   },
                                   std::chrono::milliseconds(5000))) {
            display_ = ":" + number;
        } else {
            server_.reset();
        }
    }
    if (display_.empty()) {
        throw std::runtime_error("Xvfb did not start");
    }
}

XServer::~XServer()
{
    ServerStartLock lock;
    server_.reset();
}

CommandResult XServer::RunOn(const std::string& command) const
{
    const std::string full = "DISPLAY=" + display_ + " " + command;
    CommandResult result;
    FILE* pipe = popen(full.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    std::size_t read = 0;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.out.append(buffer.data(), read);
    }
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace e2e
