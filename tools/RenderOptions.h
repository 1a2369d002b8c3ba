// glyphtint-render's command line, read by one parser for both of its forms: one TEXT
// into the files named, or --batch DIR with one TEXT a line from standard input.
#pragma once

#include "render/GameProfiles.h"
#include "render/PictureStyle.h"

#include <optional>
#include <string>
#include <string_view>

namespace glyphtint::tools {

struct RenderOptions {
    std::string archive;              // the glyph pack: --archive, else the one beside the program
    std::optional<std::string> batch; // --batch DIR: the batch's folder
    std::string strip;                // --strip OUT.png
    std::string framed;               // --framed OUT.jpg
    bool framedBatch = false;         // --framed without a file: the batch writes framed JPEGs
    std::string clipboardPng;         // --clipboard-png OUT.png
    bool info = false;                // --info
    std::optional<std::string> text;  // TEXT
    std::string textFile;             // --text-file FILE
    // --scale, --background, --min-contrast, --page: for every picture of both forms.
    render::PictureStyle style;
    // --game ID: the game whose rules read every text; none: glyphtint's own.
    const render::GameProfile* game = nullptr;
    bool listGames = false; // --game list, --list-games

    bool WantsPicture() const { return !strip.empty() || !framed.empty() || !clipboardPng.empty(); }
};

// Reads the arguments after the program's name. Raises EUsage for the first problem in
// argument order: an unknown option, an option without its value, or an option of one
// form given with the other ("--strip names one file; --batch writes a folder: use one of
// them") or a value out of range ("--scale takes a whole number from 1 to 8, not '9'");
// then for options that need another (a transparent background's --min-contrast needs
// --page); then for what is missing (no TEXT, no output, no folder). --framed takes the
// next argument as its file unless that is an option or there is none: then it asks a
// batch for framed pictures. --game list (or --list-games) asks for the games and nothing
// else is then required.
RenderOptions ParseRenderOptions(int argc, const char* const* argv);

// How a front end's messages name a style option: "--scale" on the command line,
// "scale=" for a URL parameter (where '#' must be written %23).
enum class StyleNaming { CommandLine, UrlParameter };

// The value of one style option (scale, background, min-contrast, page, named without
// dashes; any other name is read as min-contrast) read into style; the message saying
// what is accepted when it is no such value, naming the option as naming says. A colour
// is six hexadecimal digits, with or without '#'. Shared with every front end that takes
// the same options.
std::optional<std::string> ReadStyleValue(std::string_view name, const std::string& value, render::PictureStyle& style,
                                          StyleNaming naming = StyleNaming::CommandLine);

// Raises EUsage when the style's options do not go together: page without a transparent
// background, or min-contrast on a transparent one without page.
void CheckStyleCombination(const render::PictureStyle& style, StyleNaming naming = StyleNaming::CommandLine);

} // namespace glyphtint::tools
