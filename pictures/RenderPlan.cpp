// Plan: every size check of a text's pictures, made once from one measurement.
#include "pictures/RenderPlan.h"

#include "render/CodedTextInfo.h"
#include "render/PictureLimits.h"

#include <algorithm>
#include <exception>

namespace glyphtint::pictures {
namespace {

using render::kJpegMaxSide;
using render::kPngMaxSide;
using Refusal = RenderPlan::Refusal;

struct Asked {
    explicit Asked(std::span<const PictureKind> kinds)
    {
        const auto has = [&](PictureKind kind) { return std::ranges::find(kinds, kind) != kinds.end(); };
        strip = has(PictureKind::Strip);
        framedJpeg = has(PictureKind::Framed);
        framedPng = has(PictureKind::ClipboardPng);
        card = has(PictureKind::Card);
    }
    bool Framed() const { return framedJpeg || framedPng; }
    bool Picture() const { return strip || card || Framed(); }
    // The narrower of the frame's formats asked for.
    const char* FrameFormat() const { return framedJpeg ? "JPEG" : "PNG"; }
    int FrameMaxSide() const { return framedJpeg ? kJpegMaxSide : kPngMaxSide; }

    bool strip;
    bool framedJpeg;
    bool framedPng;
    bool card;
};

// Records the first refusal found; later checks are then skipped by the caller.
bool Refuse(RenderPlan& plan, Refusal why, std::optional<std::string> message)
{
    if (!message) {
        return false;
    }
    plan.refusal = why;
    plan.message = std::move(*message);
    return true;
}

const char* const kNothingToDraw = "The text draws no glyph: there is no picture to write";

} // namespace

int CardScale(std::int64_t width, std::int64_t height)
{
    if (width <= 0 || height <= 0) {
        return 0;
    }
    return static_cast<int>(std::min((kCardWidth - 2 * kCardMargin) / width, (kCardHeight - 2 * kCardMargin) / height));
}

ENothingToDraw::ENothingToDraw() : std::runtime_error(kNothingToDraw)
{
}

void RenderPlan::Require() const
{
    if (!refusal) {
        return;
    }
    if (*refusal == Refusal::NothingToDraw) {
        throw ENothingToDraw();
    }
    throw render::ETextTooLong(message);
}

const render::CodeRules& RulesOf(const render::GameProfile* game)
{
    return game != nullptr ? game->rules : render::DefaultCodeRules();
}

RenderPlan PlanText(const std::string& text, std::span<const PictureKind> kinds, const render::PictureStyle& style,
                    const PlanLimits& limits, const render::GameProfile* game)
{
    const Asked asked(kinds);
    RenderPlan plan;
    const bool needsGlyph = asked.strip || asked.card || (asked.Framed() && !limits.framesWithoutGlyph);
    if (needsGlyph && render::DescribeCodedText(text, RulesOf(game)).visibleLength == 0) {
        Refuse(plan, Refusal::NothingToDraw, kNothingToDraw);
    } else if (asked.Framed()) {
        // A caption too long for the file is refused from its length, before a glyph is read.
        Refuse(plan, Refusal::TooLarge,
               render::FramePastWidth(0, text, asked.FrameFormat(), asked.FrameMaxSide(), style.scale));
    }
    return plan;
}

RenderPlan Plan(render::GlyphPack& pack, const std::string& text, std::span<const PictureKind> kinds,
                const render::PictureStyle& style, const PlanLimits& limits, const render::GameProfile* game)
{
    return Plan([&]() -> render::GlyphPack& { return pack; }, text, kinds, style, limits, game);
}

RenderPlan Plan(const PackSource& pack, const std::string& text, std::span<const PictureKind> kinds,
                const render::PictureStyle& style, const PlanLimits& limits, const render::GameProfile* game)
{
    RenderPlan plan = PlanText(text, kinds, style, limits, game);
    const Asked asked(kinds);
    if (plan.refusal || !asked.Picture()) {
        return plan;
    }
    plan.strip = render::MeasureCodedText(pack(), text, RulesOf(game));
    plan.measured = true;
    const render::StripSize& size = plan.strip;
    const std::int64_t scale = style.scale;
    const std::int64_t scaledPixels = size.peakPixels * scale * scale;
    if (limits.maxScaledStripPixels > 0 && scaledPixels > limits.maxScaledStripPixels &&
        Refuse(plan, Refusal::TooLarge, limits.overScaledStripPixels)) {
        return plan;
    }
    if (asked.strip &&
        Refuse(plan, Refusal::TooLarge,
               render::SidesPast(size.width * scale, size.height * scale, "strip", "PNG", kPngMaxSide))) {
        return plan;
    }
    // The scaled copy is held beside the strip: it keeps the strip's own limit.
    if (scale > 1 && scaledPixels > render::kMaxStripPixels) {
        Refuse(plan, Refusal::TextTooLong,
               "The text is too long: its picture at scale " + std::to_string(scale) + " would need " +
                   std::to_string(scaledPixels) + " pixels, and at most " + std::to_string(render::kMaxStripPixels) +
                   " are drawn");
        return plan;
    }
    if (asked.card && CardScale(size.width, std::max(size.height, size.tallest)) == 0 &&
        Refuse(plan, Refusal::TooLarge,
               "The text is too wide for a card: its strip is " + std::to_string(size.width) + " x " +
                   std::to_string(std::max(size.height, size.tallest)) + " pixels, and a card holds at most " +
                   std::to_string(kCardWidth - 2 * kCardMargin) + " x " +
                   std::to_string(kCardHeight - 2 * kCardMargin))) {
        return plan;
    }
    if (asked.Framed()) {
        // A strip too wide already spares measuring the caption in its font.
        if (Refuse(plan, Refusal::TooLarge,
                   render::FramePastWidth(size.width, text, asked.FrameFormat(), asked.FrameMaxSide(), scale))) {
            return plan;
        }
        render::FrameSize frame = render::MeasureFramedImage(size.width, size.height, text);
        frame.width *= scale;
        frame.height *= scale;
        if ((asked.framedJpeg &&
             Refuse(plan, Refusal::TooLarge,
                    render::SidesPast(frame.width, frame.height, "framed picture", "JPEG", kJpegMaxSide))) ||
            (asked.framedPng &&
             Refuse(plan, Refusal::TooLarge,
                    render::SidesPast(frame.width, frame.height, "framed picture", "PNG", kPngMaxSide))) ||
            Refuse(plan, Refusal::TextTooLong, render::FramePastPixels(frame))) {
            return plan;
        }
    }
    if (size.stoppedBy) {
        std::rethrow_exception(size.stoppedBy);
    }
    Refuse(plan, Refusal::TextTooLong, render::StripPastLimits(size));
    return plan;
}

} // namespace glyphtint::pictures
