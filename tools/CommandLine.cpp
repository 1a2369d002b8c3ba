// --help, --version and wrong usage, as all tools answer them.
#include "tools/CommandLine.h"

#include "tools/StandardStreams.h"

#include <cstdio>
#include <exception>

namespace glyphtint::tools {

EUsage UnknownOption(std::string_view argument)
{
    return EUsage("unknown option '" + std::string(argument) + "'");
}

std::optional<int> AnswerHelpOrVersion(int argc, const char* const* argv, std::string_view program,
                                       std::string_view usage)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            break;
        }
        if (argument == "--help" || argument == "-h" || argument == "--version") {
            if (argument == "--version") {
                std::printf("%.*s %s\n", static_cast<int>(program.size()), program.data(), GLYPHTINT_VERSION);
            } else {
                std::fwrite(usage.data(), 1, usage.size(), stdout);
            }
            try {
                CloseStandardOutput();
            } catch (const std::exception& error) {
                std::fprintf(stderr, "%s.\n", error.what());
                return 1;
            }
            return 0;
        }
    }
    return std::nullopt;
}

int ReportWrongUsage(std::string_view program, const std::string& problem)
{
    const int length = static_cast<int>(program.size());
    std::fprintf(stderr, "%.*s: %s\nTry '%.*s --help' for more information.\n", length, program.data(), problem.c_str(),
                 length, program.data());
    return 2;
}

} // namespace glyphtint::tools
