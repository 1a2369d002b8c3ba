// ColourSampleAt: the strip's layout, glyph by glyph, with the code in force at each.
#include "render/ColourSamples.h"

#include "render/ColourCodes.h"
#include "render/GlyphPack.h"

#include <cstdint>
#include <string>

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
        // A caret is drawn only by a doubled caret.
        const std::string alone = character == '^' ? "^^" : std::string(1, static_cast<char>(character));
        widths[character] = static_cast<int>(MeasureCodedText(pack, alone).width);
    });
    return widths;
}

namespace {

// Hands each sample of text's strip to visit, left to right, until visit returns false.
template <typename Visit>
void VisitColourSamples(std::string_view text, const GlyphWidths& widths, int imageWidth, Visit visit)
{
    std::int64_t stripWidth = 0;
    ScanCodedText(text, [&](unsigned char character, TColourTriple) { stripWidth += widths[character]; });
    // Integer division truncates toward zero, as the image's centring does.
    std::int64_t left = (imageWidth - stripWidth) / 2;

    // The scan's rules, keeping the code byte that set the colour rather than the colour,
    // which several codes share.
    std::optional<char> code;
    bool afterCaret = false;
    for (const char byte : text) {
        if (!afterCaret && byte == '^') {
            afterCaret = true;
            continue;
        }
        if (afterCaret && byte != '^') {
            afterCaret = false;
            TColourTriple colour;
            if (SelectColourCode(static_cast<unsigned char>(byte), colour)) {
                code = byte;
            }
            continue;
        }
        const int width = widths[static_cast<unsigned char>(byte)];
        if (code && width > 0 && !visit(ColourSample{*code, static_cast<int>(left), width})) {
            return;
        }
        left += width;
    }
}

} // namespace

std::vector<ColourSample> ColourSamplesOf(std::string_view text, const GlyphWidths& widths, int imageWidth)
{
    std::vector<ColourSample> samples;
    VisitColourSamples(text, widths, imageWidth, [&samples](const ColourSample& sample) {
        samples.push_back(sample);
        return true;
    });
    return samples;
}

std::optional<ColourSample> ColourSampleAt(std::string_view text, const GlyphWidths& widths, int imageWidth, int x)
{
    if (x < 0 || x >= imageWidth) {
        return std::nullopt;
    }
    // Asked at every move of the pointer: the scan stops at x rather than listing the strip.
    std::optional<ColourSample> found;
    VisitColourSamples(text, widths, imageWidth, [&found, x](const ColourSample& sample) {
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
