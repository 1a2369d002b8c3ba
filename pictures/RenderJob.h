// RenderJob: one coded text made into the files glyphtint-render writes, the same way for
// a single text and for every line of a batch.
#pragma once

#include "render/GlyphPack.h"

#include <functional>
#include <string>
#include <vector>

namespace glyphtint::tools {

// What a job makes of its text.
enum class PictureKind {
    Strip,        // the glyph strip alone as PNG (--strip, a batch line)
    Framed,       // the framed picture as the JPEG "Save image..." writes (--framed)
    ClipboardPng, // the same framed picture as PNG, as "Copy image to clipboard" places it
    Info,         // the text's lengths and the characters drawn, as --info prints them
};

struct RenderJob {
    std::string text;
    std::vector<PictureKind> kinds;
    // Scale and legibility for every picture; the background for the strip only (the
    // framed picture keeps the glyph background, its tints made legible on that).
    render::PictureStyle style;
};

// The framed picture's style: the job's scale and legibility on the glyph background.
render::PictureStyle FramedPictureStyle(const render::PictureStyle& style);

// The codes of the text that the style's --min-contrast changes, as a JSON array
// (["0", "4"]), measured against what the strip is drawn on.
std::string AdjustedCodesJson(const std::string& text, const render::PictureStyle& style);

// Gives the open pack; called only when a job draws, so that a description needs no
// pack. Raises why there is none (the error of opening it, with its type).
using PackSource = std::function<render::GlyphPack&()>;

// The bytes of each kind of the job, in the order asked. Every picture comes from one
// render of the text; a text whose pictures of any kind asked for would be too large for
// their formats is refused before a glyph is drawn, and a strip of a text that draws no
// glyph is refused. Errors pass out with their types (the tools' messages and advice read
// them), and then no bytes are given at all.
std::vector<std::string> RunRenderJob(const RenderJob& job, const PackSource& pack);

} // namespace glyphtint::tools
