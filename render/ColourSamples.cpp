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

std::vector<ColourSample> ColourSamplesOf(std::string_view text, const GlyphWidths& widths, int imageWidth)
{
    std::int64_t stripWidth = 0;
    ScanCodedText(text, [&](unsigned char character, TColourTriple) { stripWidth += widths[character]; });
    // Integer division truncates toward zero, as the image's centring does.
    std::int64_t left = (imageWidth - stripWidth) / 2;

    // The scan's rules, keeping the code byte that set the colour rather than the colour,
    // which several codes share.
    std::vector<ColourSample> samples;
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
        if (code && width > 0) {
            samples.push_back(ColourSample{*code, static_cast<int>(left), width});
        }
        left += width;
    }
    return samples;
}

std::optional<ColourSample> ColourSampleAt(std::string_view text, const GlyphWidths& widths, int imageWidth, int x)
{
    if (x < 0 || x >= imageWidth) {
        return std::nullopt;
    }
    for (const ColourSample& sample : ColourSamplesOf(text, widths, imageWidth)) {
        if (x >= sample.left && x < sample.left + sample.width) {
            return sample;
        }
    }
    return std::nullopt;
}

} // namespace glyphtint::render
