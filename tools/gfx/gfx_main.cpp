// glyphtint-gfx: a tool for people who make their own glyph archives.
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "io/FileReplacement.h"
#include "tools/CommandLine.h"
#include "render/GfxCheck.h"
#include "render/GfxErrors.h"
#include "tools/gfx/GfxExtract.h"
#include "tools/gfx/GfxList.h"
#include "tools/StandardStreams.h"
#include "render/ShownMessage.h"

using glyphtint::render::DescribeError;
using glyphtint::render::RunGfxCheck;
using glyphtint::tools::AnswerHelpOrVersion;
using glyphtint::tools::CloseStandardOutput;
using glyphtint::tools::EUsage;
using glyphtint::tools::ExtractGfxEntry;
using glyphtint::tools::KeepStandardDescriptorsOpen;
using glyphtint::tools::ListGfxArchive;
using glyphtint::tools::ReportWrongUsage;
using glyphtint::tools::UnknownOption;

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
    // On a terminal, for a person: a header and the character of each glyph; into a pipe or
    // a file, for a script: the plain fields, as `ls` changes its output.
    ListGfxArchive(args[0], std::cout, isatty(STDOUT_FILENO) == 1);
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
        if (args[i] != "--password" && args[i] != "--out") {
            throw UnknownOption(args[i]);
        }
        if (i + 1 >= args.size()) {
            throw EUsage("option '" + args[i] + "' needs a value");
        }
        if (args[i] == "--password") {
            password = args[i + 1];
        } else {
            outFile = args[i + 1];
        }
    }
    // JPEG bytes on a terminal are noise that can change its settings: refused before the
    // archive is read, as curl refuses binary output, and named as the wrong use it is.
    if (!outFile && isatty(STDOUT_FILENO) == 1) {
        throw EUsage("standard output is a terminal: write \"" + args[1] +
                     "\" into a file with --out FILE, or redirect standard output (> FILE)");
    }
    const std::string bytes = ExtractGfxEntry(args[0], args[1], password);
    if (!outFile) {
        glyphtint::tools::WriteStandardOutput(bytes);
        return 0;
    }
    // The file is replaced only once the bytes are completely written.
    glyphtint::io::FileReplacement(*outFile).Commit(bytes);
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

constexpr const char* kProgram = "glyphtint-gfx";

std::string Usage()
{
    std::string usage = "usage:\n";
    for (const Command& command : kCommands) {
        usage += std::string("  glyphtint-gfx ") + command.usage + '\n';
    }
    usage += "  glyphtint-gfx --help | --version\n"
             "Lists, extracts or checks the entries of a glyph archive (glyphtint.gfx or a pack of\n"
             "your own). list prints one line per entry, fields separated by tabs: name, size,\n"
             "compressed size, method, CRC-32; on a terminal, with a header and the character\n"
             "each glyph draws beside its name. extract writes the entry's bytes into FILE or\n"
             "into standard output redirected to a file or pipe, never onto a terminal.\n"
             "Exit status: 0 done (check: the archive passes), 1 failed or the check found\n"
             "faults, 2 wrong usage (also extract without --out onto a terminal).\n";
    return usage;
}

} // namespace

int main(int argc, char** argv)
{
    KeepStandardDescriptorsOpen();
    if (const std::optional<int> answered = AnswerHelpOrVersion(argc, argv, kProgram, Usage())) {
        return *answered;
    }
    if (argc < 2) {
        return ReportWrongUsage(kProgram, "no command given: list, extract or check");
    }
    const std::string name = argv[1];
    const Arguments args(argv + 2, argv + argc);
    for (const Command& command : kCommands) {
        if (name != command.name) {
            continue;
        }
        try {
            const std::optional<int> code = command.run(args);
            if (!code) {
                return ReportWrongUsage(kProgram, std::string("usage: glyphtint-gfx ") + command.usage);
            }
            // What list, extract and check print is their result: it must have arrived.
            CloseStandardOutput();
            return *code;
        } catch (const EUsage& wrong) {
            return ReportWrongUsage(kProgram, wrong.what());
        } catch (const std::exception& e) {
            std::cerr << glyphtint::render::ShownMessage(DescribeError(e)) << '\n';
            return 1;
        }
    }
    return ReportWrongUsage(kProgram,
                            name.starts_with('-') ? UnknownOption(name).what() : "unknown command '" + name + "'");
}
