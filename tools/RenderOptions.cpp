// ParseRenderOptions: every argument read once, its problems kept by position, and the
// first one that counts in the form the command line turns out to have reported.
#include "tools/RenderOptions.h"

#include "render/GlyphArchivePath.h"
#include "tools/CommandLine.h"

#include <string_view>
#include <utility>
#include <vector>

namespace glyphtint::tools {
namespace {

// Which form of the command a problem is one for.
enum class Form { Both, Single, Batch };

struct Problem {
    Form form;
    std::string message;
};

// Why an option of the single-text form cannot go with --batch; nullptr for any other.
const char* SingleTextConflict(std::string_view option)
{
    static constexpr std::pair<std::string_view, const char*> kConflicts[] = {
        {"--strip", "--strip names one file; --batch writes a folder: use one of them"},
        {"--clipboard-png", "--clipboard-png names one file; --batch writes a folder: use one of them"},
        {"--text-file",
         "--text-file reads one TEXT; --batch reads one TEXT a line from standard input: use one of them"},
        {"--info", "--info describes one TEXT; --batch reports on each line anyway: use one of them"},
        {"--framed", "--framed OUT.jpg names one file; --batch writes a folder: give --framed without a file"},
    };
    for (const auto& [name, why] : kConflicts) {
        if (option == name) {
            return why;
        }
    }
    return nullptr;
}

} // namespace

RenderOptions ParseRenderOptions(int argc, const char* const* argv)
{
    RenderOptions options;
    const std::pair<std::string_view, std::string RenderOptions::*> valued[] = {
        {"--archive", &RenderOptions::archive},
        {"--strip", &RenderOptions::strip},
        {"--clipboard-png", &RenderOptions::clipboardPng},
        {"--text-file", &RenderOptions::textFile},
    };
    // In argument order; which of them counts is known once --batch is found or not.
    std::vector<Problem> problems;
    bool batchAsked = false;
    const auto text = [&](std::string_view argument) {
        problems.push_back(
            {Form::Batch, "--batch reads its texts from standard input, not '" + std::string(argument) + "'"});
        if (options.text) {
            problems.push_back({Form::Single, "more than one TEXT: '" + std::string(argument) + "' follows the TEXT"});
        }
        options.text = std::string(argument);
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool hasNext = i + 1 < argc;
        if (const char* conflict = SingleTextConflict(argument); conflict != nullptr && argument != "--framed") {
            problems.push_back({Form::Batch, conflict});
        }
        bool matched = false;
        for (const auto& [name, member] : valued) {
            if (argument == name) {
                if (hasNext) {
                    options.*member = argv[++i];
                } else {
                    problems.push_back({Form::Both, "option '" + std::string(argument) + "' needs a value"});
                }
                matched = true;
            }
        }
        if (matched) {
            continue;
        }
        if (argument == "--batch") {
            batchAsked = true;
            if (hasNext) {
                options.batch = argv[++i];
            } else {
                problems.push_back({Form::Both, "option '--batch' needs a value"});
            }
        } else if (argument == "--framed") {
            // A file name follows, unless the next argument is an option: then the batch's
            // pictures are framed.
            if (hasNext && !std::string_view(argv[i + 1]).starts_with("--")) {
                problems.push_back({Form::Batch, SingleTextConflict(argument)});
                options.framed = argv[++i];
            } else {
                problems.push_back({Form::Single, "option '--framed' needs a value"});
                options.framedBatch = true;
            }
        } else if (argument == "--info") {
            options.info = true;
        } else if (argument == "--") {
            if (options.text || i + 2 != argc) {
                problems.push_back({Form::Single, "\"--\" is followed by the TEXT and nothing else"});
            }
            if (hasNext) {
                text(argv[++i]);
            }
        } else if (!argument.empty() && argument[0] == '-') {
            problems.push_back({Form::Both, UnknownOption(argument).what()});
        } else {
            text(argument);
        }
    }
    const Form form = batchAsked ? Form::Batch : Form::Single;
    for (const Problem& problem : problems) {
        if (problem.form == Form::Both || problem.form == form) {
            throw EUsage(problem.message);
        }
    }
    if (options.archive.empty()) {
        options.archive = render::GlyphArchivePath();
    }
    if (options.batch) {
        if (options.batch->empty()) {
            throw EUsage("--batch needs a folder name");
        }
        return options;
    }
    if (options.text.has_value() == !options.textFile.empty()) {
        throw EUsage(options.text ? "both a TEXT and --text-file given" : "no TEXT given");
    }
    if (!options.info && !options.WantsPicture()) {
        throw EUsage("no output chosen: --strip, --framed, --clipboard-png or --info");
    }
    return options;
}

} // namespace glyphtint::tools
