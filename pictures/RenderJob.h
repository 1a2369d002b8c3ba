// RenderJob: one coded text made into the picture files and description every program
// gives of it, the same way for the window, a single text, every line of a batch and
// every answer of the service.
#pragma once

#include "pictures/RenderPlan.h"
#include "render/GlyphPack.h"

#include <functional>
#include <string>
#include <vector>

namespace glyphtint::pictures {

struct RenderJob {
    std::string text;
    std::vector<PictureKind> kinds;
    // Scale and legibility for every picture; the background for the strip only (the
    // framed picture keeps the glyph background, its tints made legible on that).
    render::PictureStyle style;
    // The game whose rules read the text (--game, game=); none: glyphtint's own, and the
    // description names no game.
    const render::GameProfile* game = nullptr;
};

// The framed picture's style: the job's scale and legibility on the glyph background.
render::PictureStyle FramedPictureStyle(const render::PictureStyle& style);

// The bytes of each kind of the job, in the order asked. The pictures are planned within
// the caller's limits (Plan) and refused as the plan says before a glyph is drawn; every
// picture then comes from one render of the text, drawn to the plan's measure. Errors
// pass out with their types (the programs' messages and advice read them), and then no
// bytes are given at all.
std::vector<std::string> RunRenderJob(const RenderJob& job, const PackSource& pack, const PlanLimits& limits = {});

} // namespace glyphtint::pictures
