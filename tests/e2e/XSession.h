// A private X server and programs run on it, for driving the real window from outside.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

namespace e2e {

// Whether a program of that name is on the PATH.
bool HaveProgram(const std::string& name);

// Polls until done() holds or the time is up; returns done()'s last answer.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

// A child process, killed and reaped with the object unless it ended before.
class ChildProcess {
public:
    // Runs argv[0] from the PATH (or as a path) in the folder, with the environment
    // changes given as NAME=VALUE (an empty VALUE removes the variable), output to files.
    ChildProcess(const std::vector<std::string>& argv, const std::string& folder,
                 const std::vector<std::string>& environment, const std::string& outputFile);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running();
    // Waits for the end; the exit code, or -1 when it was killed or did not end in time.
    int WaitForExit(std::chrono::milliseconds limit);

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
};

struct CommandResult {
    int exitCode = -1;
    std::string out;
};

// Xvfb on a display number it picks itself, so that parallel tests never share one.
class XServer {
public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    const std::string& Display() const { return display_; }
    // Runs a shell command on this display and collects its standard output.
    CommandResult RunOn(const std::string& command) const;

private:
    std::string display_;
    std::unique_ptr<ChildProcess> server_;
};

} // namespace e2e
