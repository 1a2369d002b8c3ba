// What every command-line tool answers the same way: --help, --version and wrong usage.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace glyphtint::tools {

// Wrong usage found while reading the arguments; what() says what is wrong, naming the
// argument where there is one. Reported by ReportWrongUsage with exit code 2.
class EUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "unknown option '--x'"
EUsage UnknownOption(std::string_view argument);

// --help or --version among the options (the arguments before a lone "--"): prints the
// usage or "PROGRAM VERSION" on standard output and returns the exit code 0; otherwise
// nullopt, and the tool reads its arguments itself.
std::optional<int> AnswerHelpOrVersion(int argc, const char* const* argv, std::string_view program,
                                       std::string_view usage);

// Prints "PROGRAM: PROBLEM" and a pointer to --help on standard error; returns 2.
int ReportWrongUsage(std::string_view program, const std::string& problem);

} // namespace glyphtint::tools
