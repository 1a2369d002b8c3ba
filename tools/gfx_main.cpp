// glyphtint-gfx: a tool for people who make their own glyph archives.
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "archive/FileReplacement.h"
#include "tools/GfxCheck.h"
#include "tools/GfxErrors.h"
#include "tools/GfxExtract.h"
#include "tools/GfxList.h"
#include "render/ShownMessage.h"

using glyphtint::tools::DescribeError;
using glyphtint::tools::ExtractGfxEntry;
using glyphtint::tools::GfxToolError;
using glyphtint::tools::ListGfxArchive;
using glyphtint::tools::RunGfxCheck;

namespace {

using Arguments = std::vector<std::string>;

// A subcommand gets the arguments after its name. It returns the exit code,
// or nullopt for wrong usage; failures are thrown and reported by main.
struct Command {
    const char* name;
    const char* usage;
    std::optional<int> (*run)(const Arguments& args);
};

std::optional<int> RunList(const Arguments& args)
{
    if (args.size() != 1) {
        return std::nullopt;
    }
    ListGfxArchive(args[0], std::cout);
    return 0;
}

std::optional<int> RunExtract(const Arguments& args)
{
    if (args.size() < 2) {
        return std::nullopt;
    }
    std::optional<std::string> password;
    std::optional<std::string> outFile;
    for (size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) {
            return std::nullopt;
        }
        if (args[i] == "--password") {
            password = args[i + 1];
        } else if (args[i] == "--out") {
            outFile = args[i + 1];
        } else {
            return std::nullopt;
        }
    }
    const std::string bytes = ExtractGfxEntry(args[0], args[1], password);
    if (!outFile) {
        std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        if (!std::cout) {
            throw GfxToolError("Cannot write to standard output");
        }
        return 0;
    }
    // The file is replaced only once the bytes are completely written.
    glyphtint::archive::FileReplacement(*outFile).Commit(bytes);
    return 0;
}

std::optional<int> RunCheck(const Arguments& args)
{
    if (args.size() != 1) {
        return std::nullopt;
    }
    return RunGfxCheck(args[0], std::cout);
}

const Command kCommands[] = {
    {"list", "list ARCHIVE", RunList},
    {"extract", "extract ARCHIVE NAME [--password P] [--out FILE]", RunExtract},
    {"check", "check ARCHIVE", RunCheck},
};

int Usage()
{
    std::cerr << "usage:\n";
    for (const Command& command : kCommands) {
        std::cerr << "  glyphtint-gfx " << command.usage << '\n';
    }
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        return Usage();
    }
    const std::string name = argv[1];
    const Arguments args(argv + 2, argv + argc);
    for (const Command& command : kCommands) {
        if (name != command.name) {
            continue;
        }
        try {
            const std::optional<int> code = command.run(args);
            return code ? *code : Usage();
        } catch (const std::exception& e) {
            std::cerr << glyphtint::render::ShownMessage(DescribeError(e)) << '\n';
            return 1;
        }
    }
    return Usage();
}
