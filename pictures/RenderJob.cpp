// RunRenderJob: plan, render, frame and encode, once for every kind a text is asked in.
#include "pictures/RenderJob.h"

#include "pictures/PictureFiles.h"
#include "pictures/TextJson.h"
#include "render/CodedTextInfo.h"
#include "render/ColourNames.h"
#include "render/FramedImage.h"

#include <algorithm>
#include <optional>

namespace glyphtint::pictures {
namespace {

std::string DescriptionOf(const std::string& text, const render::PictureStyle& style, const render::GameProfile* game)
{
    const render::CodeRules& rules = RulesOf(game);
    const render::CodedTextInfo info = render::DescribeCodedText(text, rules);
    std::string description = "bytes: " + std::to_string(info.byteLength) +
                              "\nvisible: " + std::to_string(info.visibleLength) +
                              "\nnot drawn: " + std::to_string(info.undrawnLength) + "\ntext: " + info.plainText +
                              "\ndescribed: " + render::DescribePicture(text, style, rules) +
                              "\nruns: " + ColourRunsJson(text, style, rules) + "\n";
    if (style.minContrast) {
        description += "adjusted: " + AdjustedCodesJson(text, style, game) + "\n";
    }
    if (game != nullptr) {
        const render::NameLength length = render::MeasureName(text, *game);
        description += "game: " + std::string(game->id) + " (" + std::string(game->title) +
                       ")\nlength: " + render::NameLengthReadout(length, *game) + "\n";
        if (length.Over()) {
            description += "over limit: " + render::NameLimitWarning(length, *game) + "\n";
        }
    }
    return description;
}

// The picture scale times larger: itself at 1, else a copy made in holder, the picture
// then emptied.
TBitmap& Scaled(TPicture& picture, int scale, TPicture& holder)
{
    if (scale == 1) {
        return picture.AsBitmap();
    }
    render::ScaleBitmap(picture.AsBitmap(), scale, holder.AsBitmap());
    picture.AsBitmap().ResizeWidth(0);
    return holder.AsBitmap();
}

} // namespace

render::PictureStyle FramedPictureStyle(const render::PictureStyle& style)
{
    render::PictureStyle framed;
    framed.scale = style.scale;
    framed.minContrast = style.minContrast;
    return framed;
}

std::vector<std::string> RunRenderJob(const RenderJob& job, const PackSource& pack, const PlanLimits& limits)
{
    const auto asks = [&](PictureKind kind) { return std::ranges::find(job.kinds, kind) != job.kinds.end(); };
    const bool stripAsked = asks(PictureKind::Strip);
    const bool framing = asks(PictureKind::Framed) || asks(PictureKind::ClipboardPng);
    std::optional<TPicture> strip;
    std::optional<TPicture> framed;
    TPicture scaledStrip;
    TPicture scaledFramed;
    TBitmap* stripOut = nullptr;
    TBitmap* framedOut = nullptr;
    // The source is asked once: a tool's opens the pack.
    render::GlyphPack* opened = nullptr;
    const PackSource once = [&]() -> render::GlyphPack& {
        if (opened == nullptr) {
            opened = &pack();
        }
        return *opened;
    };
    const RenderPlan plan = Plan(once, job.text, job.kinds, job.style, limits, job.game);
    plan.Require();
    if (plan.measured) {
        render::GlyphPack& glyphs = once();
        const int scale = job.style.scale;
        const render::PictureStyle framedStyle = FramedPictureStyle(job.style);
        // One render serves both while the strip is on the glyph background too.
        const bool ownFrameStrip = framing && stripAsked && job.style.background != framedStyle.background;
        strip.emplace();
        const render::CodeRules& rules = RulesOf(job.game);
        render::RenderMeasuredText(glyphs, job.text, *strip, stripAsked ? job.style : framedStyle, plan.strip, rules);
        if (framing) {
            framed.emplace();
            if (ownFrameStrip) {
                TPicture frameStrip;
                render::RenderMeasuredText(glyphs, job.text, frameStrip, framedStyle, plan.strip, rules);
                render::ComposeFramedImage(frameStrip.AsBitmap(), job.text, *framed);
            } else {
                render::ComposeFramedImage(strip->AsBitmap(), job.text, *framed);
            }
            framedOut = &Scaled(*framed, scale, scaledFramed);
        }
        if (stripAsked) {
            stripOut = &Scaled(*strip, scale, scaledStrip);
        }
    }
    std::vector<std::string> files;
    files.reserve(job.kinds.size());
    for (const PictureKind kind : job.kinds) {
        switch (kind) {
        case PictureKind::Strip:
            files.push_back(
                EncodePng(*stripOut, "strip", job.style.background == render::StripBackground::Transparent));
            break;
        case PictureKind::Framed: files.push_back(EncodeFramedJpeg(*framedOut)); break;
        case PictureKind::ClipboardPng: files.push_back(EncodePng(*framedOut, "framed picture")); break;
        case PictureKind::Info: files.push_back(DescriptionOf(job.text, job.style, job.game)); break;
        }
    }
    return files;
}

} // namespace glyphtint::pictures
