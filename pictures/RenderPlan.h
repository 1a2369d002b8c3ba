// RenderPlan: the sizes of a coded text's pictures, measured once before a glyph is
// drawn, or why they are not made.
#pragma once

#include "render/FramedImage.h"
#include "render/GameProfiles.h"
#include "render/GlyphPack.h"
#include "render/PictureStyle.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace glyphtint::pictures {

// What a job makes of its text.
enum class PictureKind {
    Strip,        // the glyph strip alone as PNG (--strip, a batch line, "Export strip")
    Framed,       // the framed picture as the JPEG "Save image..." writes (--framed)
    ClipboardPng, // the same framed picture as PNG, as "Copy image to clipboard" places it
    Info,         // the text's lengths and the characters drawn, as --info prints them
    Card,         // the strip scaled up and centred on a dark picture the size link previews show
};

// A card's size (the picture chat apps and sites show large in a link preview) and the
// least room left around the name.
inline constexpr int kCardWidth = 1200;
inline constexpr int kCardHeight = 630;
inline constexpr int kCardMargin = 60;

// The largest whole scale at which a strip of width x height fits on a card inside its
// margin; 0 when not even scale 1 does.
int CardScale(std::int64_t width, std::int64_t height);

// A strip asked of a text that draws no glyph. A picture too large is ETextTooLong.
class ENothingToDraw : public std::runtime_error {
public:
    ENothingToDraw();
};

// The rules a text is read by: the game's, or glyphtint's own where none is chosen.
const render::CodeRules& RulesOf(const render::GameProfile* game);

// What a caller lets one text's pictures take beyond the renderer's and the file
// formats' own limits: a service draws for strangers, a user's own tool for them.
struct PlanLimits {
    // The most pixels the strip may hold on the way at the picture's scale; 0: no cap.
    std::int64_t maxScaledStripPixels = 0;
    // The refusal of a strip past it, in the caller's words.
    std::string overScaledStripPixels;
    // false: the framed picture of a text without a glyph (its caption alone) is refused
    // as the strip is, where a picture of no name means a list went wrong (a batch).
    bool framesWithoutGlyph = true;
};

struct RenderPlan {
    enum class Refusal {
        TextTooLong,   // past the renderer's own limits on a strip or a framed picture
        NothingToDraw, // a strip asked and no glyph to draw
        TooLarge,      // past a file format's sides or the caller's limits
    };

    // Set when the pictures are not to be made: why, and what to tell the user.
    std::optional<Refusal> refusal;
    std::string message;
    // The strip as MeasureCodedText gives it, unscaled; measured only for a picture.
    render::StripSize strip;
    bool measured = false;

    // Raises the refusal: ENothingToDraw, or ETextTooLong for a picture too large.
    void Require() const;
};

// What can be told of the pictures from the text alone, before a pack is needed: a strip
// of a text without a glyph, and a caption already too wide for the framed file.
RenderPlan PlanText(const std::string& text, std::span<const PictureKind> kinds, const render::PictureStyle& style,
                    const PlanLimits& limits = {}, const render::GameProfile* game = nullptr);

// Gives the open pack; called only when a picture is planned past what the text alone
// refuses, so that a description needs no pack. Raises why there is none (the error of
// opening it, with its type).
using PackSource = std::function<render::GlyphPack&()>;

// PlanText, then the text measured once in the pack and every picture asked held to the
// limits, in the order the refusals have always been told. A glyph the measurement could
// not read raises its error (as the render would) once the sizes before it pass.
RenderPlan Plan(const PackSource& pack, const std::string& text, std::span<const PictureKind> kinds,
                const render::PictureStyle& style, const PlanLimits& limits = {},
                const render::GameProfile* game = nullptr);
RenderPlan Plan(render::GlyphPack& pack, const std::string& text, std::span<const PictureKind> kinds,
                const render::PictureStyle& style, const PlanLimits& limits = {},
                const render::GameProfile* game = nullptr);

} // namespace glyphtint::pictures
