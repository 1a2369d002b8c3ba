// ColourSampleAt: the strip's layout, glyph by glyph, with the code in force at each.
#include "render/ColourSamples.h"

#include "render/CodeTokens.h"
#include "render/GlyphPack.h"

#include <cstdint>

namespace glyphtint::render {

GlyphWidths MeasureGlyphWidths(GlyphPack& pack, std::string_view text)
{
    GlyphWidths widths{};
    std::array<bool, 256> measured{};
    ScanCodedText(text, [&](unsigned char character, TColourTriple) {
        if (measured[character]) {
            return;
        }
        measured[character] = true;
        widths[character] = static_cast<int>(MeasureCodedText(pack, TextDrawingOnly(character)).width);
    });
    return widths;
}

namespace {

// Hands each sample of text's strip to visit, left to right, until visit returns false.
template <typename Visit>
void VisitColourSamples(std::string_view text, const GlyphWidths& widths, int imageWidth, const CodeRules& rules,
                        Visit visit)
{
    std::int64_t stripWidth = 0;
    ScanCodedText(
        text, [&](unsigned char character, TColourTriple) { stripWidth += widths[character]; }, rules);
    // Integer division truncates toward zero, as the image's centring does.
    std::int64_t left = (imageWidth - stripWidth) / 2;
    CodeTokenizer tokens(text, rules);
    CodeToken token;
    while (tokens.Next(token)) {
        if (token.kind != ByteKind::Drawn) {
            continue;
        }
        const int width = widths[token.byte];
        if (token.code && width > 0 &&
            !visit(ColourSample{static_cast<char>(*token.code), static_cast<int>(left), width})) {
            return;
        }
        left += width;
    }
}

} // namespace

std::vector<ColourSample> ColourSamplesOf(std::string_view text, const GlyphWidths& widths, int imageWidth,
                                          const CodeRules& rules)
{
    std::vector<ColourSample> samples;
    VisitColourSamples(text, widths, imageWidth, rules, [&samples](const ColourSample& sample) {
        samples.push_back(sample);
        return true;
    });
    return samples;
}

std::optional<ColourSample> ColourSampleAt(std::string_view text, const GlyphWidths& widths, int imageWidth, int x,
                                           const CodeRules& rules)
{
    if (x < 0 || x >= imageWidth) {
        return std::nullopt;
    }
    // Asked at every move of the pointer: the scan stops at x rather than listing the strip.
    std::optional<ColourSample> found;
    VisitColourSamples(text, widths, imageWidth, rules, [&found, x](const ColourSample& sample) {
        if (x < sample.left) {
            return false;
        }
        if (x < sample.left + sample.width) {
            found = sample;
            return false;
        }
        return true;
    });
    return found;
}

} // namespace glyphtint::render
