// RunRenderJob: plan, render, frame and encode, once for every kind a text is asked in.
#include "pictures/RenderJob.h"

#include "pictures/PictureFiles.h"
#include "pictures/TextJson.h"
#include "render/CodedTextInfo.h"
#include "render/ColourNames.h"
#include "render/FramedImage.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>

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

// The strip at the largest scale that fits, centred on a card of its background colour.
void ComposeCard(const TBitmap& strip, render::TColourTriple colour, TBitmap& card)
{
    const int scale = CardScale(strip.Width(), strip.Height());
    if (scale == 0 || strip.PixelFormat() != TPixelFormat::pfDevice) {
        throw std::logic_error("the card's strip was planned to fit");
    }
    card.ResizeWidth(kCardWidth);
    card.ResizeHeight(kCardHeight);
    const std::uint8_t fill[4] = {static_cast<std::uint8_t>(colour.Red), static_cast<std::uint8_t>(colour.Green),
                                  static_cast<std::uint8_t>(colour.Blue), 0};
    constexpr std::size_t kRowBytes = std::size_t{4} * kCardWidth;
    for (int x = 0; x < kCardWidth; ++x) {
        std::memcpy(card.ScanLine(0) + 4 * x, fill, 4);
    }
    for (int y = 1; y < kCardHeight; ++y) {
        std::memcpy(card.ScanLine(y), card.ScanLine(0), kRowBytes);
    }
    // Each strip row widened once, then copied to the rows below it.
    const int left = (kCardWidth - strip.Width() * scale) / 2;
    const int top = (kCardHeight - strip.Height() * scale) / 2;
    for (int y = 0; y < strip.Height(); ++y) {
        const std::uint8_t* in = strip.ScanLine(y);
        std::uint8_t* first = card.ScanLine(top + y * scale);
        for (int x = 0; x < strip.Width() * scale; ++x) {
            std::memcpy(first + 4 * (left + x), in + 4 * (x / scale), 4);
        }
        for (int copy = 1; copy < scale; ++copy) {
            std::memcpy(card.ScanLine(top + y * scale + copy), first, kRowBytes);
        }
    }
    card.NotifyChanged();
}

// The colour a card is filled with, unless the style names a background colour (or the
// page under a transparent strip).
constexpr render::TColourTriple kCardColour{0x1e, 0x1e, 0x1e};
// Tints below this contrast against the card are made legible, whatever the style asks.
constexpr double kCardMinContrast = 4.5;

// The card's style: its strip drawn on the card's colour, legible there at least at
// kCardMinContrast; the scale is the card's own.
render::PictureStyle CardPictureStyle(const render::PictureStyle& style)
{
    render::PictureStyle card;
    card.background = render::StripBackground::Colour;
    card.backgroundColour = style.background == render::StripBackground::Colour ? style.backgroundColour
                            : style.background == render::StripBackground::Transparent && style.page ? *style.page
                                                                                                     : kCardColour;
    card.minContrast = std::max(style.minContrast.value_or(kCardMinContrast), kCardMinContrast);
    return card;
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
    TPicture card;
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
        const render::CodeRules& rules = RulesOf(job.game);
        if (stripAsked || framing) {
            strip.emplace();
            render::RenderMeasuredText(glyphs, job.text, *strip, stripAsked ? job.style : framedStyle, plan.strip,
                                       rules);
        }
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
        if (asks(PictureKind::Card)) {
            const render::PictureStyle cardStyle = CardPictureStyle(job.style);
            TPicture cardStrip;
            render::RenderMeasuredText(glyphs, job.text, cardStrip, cardStyle, plan.strip, rules);
            ComposeCard(cardStrip.AsBitmap(), cardStyle.backgroundColour, card.AsBitmap());
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
        case PictureKind::Card: files.push_back(EncodePng(card.AsBitmap(), "card")); break;
        case PictureKind::Info: files.push_back(DescriptionOf(job.text, job.style, job.game)); break;
        }
    }
    return files;
}

} // namespace glyphtint::pictures
