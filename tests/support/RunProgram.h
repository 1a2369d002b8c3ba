// Runs one of the project's programs from the build's bin folder and collects what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include "tests/support/ScratchFolder.h"

namespace glyphtint::test {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuoted(const std::string& argument)
{
    std::string quoted = "'";
    for (char c : argument) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// program: the name of an executable beside the tests, e.g. "glyphtint-gfx", or a path.
// input: what the program reads on standard input.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const std::string& input = {})
{
    const ScratchFolder scratch("glyphtint-run");
    const std::string& folder = scratch.Path();
    const bool isPath = program.find('/') != std::string::npos;
    std::string command = ShellQuoted(isPath ? program : std::string(GLYPHTINT_BIN_DIR) + "/" + program);
    for (const std::string& argument : arguments) {
        command += " " + ShellQuoted(argument);
    }
    std::ofstream(folder + "/in", std::ios::binary) << input;
    command +=
        " <" + ShellQuoted(folder + "/in") + " >" + ShellQuoted(folder + "/out") + " 2>" + ShellQuoted(folder + "/err");
    const int status = std::system(command.c_str());

    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = slurp(folder + "/out");
    run.err = slurp(folder + "/err");
    return run;
}

} // namespace glyphtint::test
