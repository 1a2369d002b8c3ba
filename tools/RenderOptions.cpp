// ParseRenderOptions: every argument read once, its problems kept by position, and the
// first one that counts in the form the command line turns out to have reported.
#include "tools/RenderOptions.h"

#include "render/GlyphArchivePath.h"
#include "render/NumberText.h"
#include "tools/CommandLine.h"

#include <optional>
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

// "#RRGGBB" or "RRGGBB", six hexadecimal digits; nothing for anything else.
std::optional<render::TColourTriple> ParseColour(std::string_view text)
{
    if (text.starts_with('#')) {
        text.remove_prefix(1);
    }
    if (text.size() != 6) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = render::HexDigit(c);
        if (digit < 0) {
            return std::nullopt;
        }
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    render::TColourTriple colour;
    render::UnpackRGB(value, colour);
    return colour;
}

std::string Named(std::string_view name, StyleNaming naming)
{
    return naming == StyleNaming::CommandLine ? "--" + std::string(name) : std::string(name) + "=";
}

// How a colour is written, in the words of the front end.
std::string ColourForm(StyleNaming naming, std::string_view example)
{
    return naming == StyleNaming::CommandLine
               ? "a colour #RRGGBB"
               : "a colour such as " + std::string(example) + " or %23" + std::string(example);
}

} // namespace

std::optional<std::string> ReadStyleValue(std::string_view name, const std::string& value, render::PictureStyle& style,
                                          StyleNaming naming)
{
    const std::string quoted = ", not '" + value + "'";
    const std::string option = Named(name, naming);
    if (name == "scale") {
        if (value.size() == 1 && value[0] >= '1' && value[0] - '0' <= render::kMaxPictureScale) {
            style.scale = value[0] - '0';
            return std::nullopt;
        }
        return option + " takes a whole number from 1 to " + std::to_string(render::kMaxPictureScale) + quoted;
    }
    if (name == "background") {
        if (value == "glyph") {
            style.background = render::StripBackground::Glyph;
        } else if (value == "transparent") {
            style.background = render::StripBackground::Transparent;
        } else if (const std::optional<render::TColourTriple> colour = ParseColour(value)) {
            style.background = render::StripBackground::Colour;
            style.backgroundColour = *colour;
        } else {
            return option + " takes glyph, transparent or " + ColourForm(naming, "1e1e1e") + quoted;
        }
        return std::nullopt;
    }
    if (name == "page") {
        if (const std::optional<render::TColourTriple> colour = ParseColour(value)) {
            style.page = *colour;
            return std::nullopt;
        }
        return option + " takes " + ColourForm(naming, "ffffff") + quoted;
    }
    // min-contrast: a ratio of luminances lies from 1 (none) to 21 (black on white).
    // Read with a point in every locale: strtod would want the locale's comma.
    if (const std::optional<double> ratio = render::ParseDecimal(value); ratio && *ratio >= 1 && *ratio <= 21) {
        style.minContrast = *ratio;
        return std::nullopt;
    }
    return Named("min-contrast", naming) + " takes a contrast ratio from 1 to 21" + quoted;
}

void CheckStyleCombination(const render::PictureStyle& style, StyleNaming naming)
{
    const bool transparent = style.background == render::StripBackground::Transparent;
    const bool cli = naming == StyleNaming::CommandLine;
    if (style.page && !transparent) {
        throw EUsage(Named("page", naming) + " names the page under a transparent strip: give it with " +
                     (cli ? "--background transparent" : "background=transparent"));
    }
    if (transparent && style.minContrast && !style.page) {
        throw EUsage(Named("min-contrast", naming) + " on a transparent background needs " +
                     (cli ? "--page #RRGGBB" : "page=RRGGBB") + ", the page it is measured against");
    }
}

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
        if (argument == "--scale" || argument == "--background" || argument == "--min-contrast" ||
            argument == "--page") {
            if (!hasNext) {
                problems.push_back({Form::Both, "option '" + std::string(argument) + "' needs a value"});
            } else if (const std::optional<std::string> wrong =
                           ReadStyleValue(argument.substr(2), argv[++i], options.style)) {
                problems.push_back({Form::Both, *wrong});
            }
        } else if (argument == "--game") {
            if (!hasNext) {
                problems.push_back({Form::Both, "option '--game' needs a value"});
            } else if (const std::string_view id = argv[++i]; id == "list") {
                options.listGames = true;
            } else if ((options.game = render::FindGameProfile(id)) == nullptr) {
                problems.push_back({Form::Both, "--game takes one of " + render::KnownGameIds() + " (or list), not '" +
                                                    std::string(id) + "'"});
            }
        } else if (argument == "--list-games") {
            options.listGames = true;
        } else if (argument == "--batch") {
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
    if (options.listGames) {
        return options;
    }
    CheckStyleCombination(options.style);
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
