// PictureStyle: legible tints, the codes they change, and pictures made larger.
#include "render/PictureStyle.h"

#include "render/CodeTokens.h"
#include "render/Contrast.h"
#include "render/GlyphBackground.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace glyphtint::render {

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::RedOf;

TColourTriple ContrastBackground(const PictureStyle& style)
{
    switch (style.background) {
    case StripBackground::Colour: return style.backgroundColour;
    case StripBackground::Transparent:
        if (style.page) {
            return *style.page;
        }
        break;
    case StripBackground::Glyph: break;
    }
    return {RedOf(kGlyphBackgroundColour), GreenOf(kGlyphBackgroundColour), BlueOf(kGlyphBackgroundColour)};
}

TColourTriple StyledTint(TColourTriple colour, const PictureStyle& style)
{
    if (!style.minContrast) {
        return colour;
    }
    return LegibleColour(colour, ContrastBackground(style), *style.minContrast);
}

std::vector<std::string> AdjustedCodes(std::string_view text, const PictureStyle& style, const CodeRules& rules)
{
    std::vector<std::string> codes;
    if (!style.minContrast) {
        return codes;
    }
    std::vector<std::string> seen;
    const auto note = [&](const std::string& code, TColourTriple colour) {
        if (std::find(seen.begin(), seen.end(), code) != seen.end()) {
            return;
        }
        seen.push_back(code);
        if (StyledTint(colour, style) != colour) {
            codes.push_back(code);
        }
    };
    // A hex code is known whole once its last digit is read.
    std::string code;
    TColourTriple codeColour;
    CodeTokenizer tokens(text, rules);
    CodeToken token;
    while (tokens.Next(token)) {
        if (token.kind == ByteKind::CodeDigit) {
            code += static_cast<char>(token.byte);
            continue;
        }
        if (!code.empty()) {
            note(code, codeColour);
            code.clear();
        }
        if (token.kind == ByteKind::Code) {
            code = static_cast<char>(token.byte);
            codeColour = token.colour;
        } else if (token.kind == ByteKind::Drawn && !token.code) {
            note(std::string(1, static_cast<char>(rules.startCode)), token.colour);
        }
    }
    if (!code.empty()) {
        note(code, codeColour);
    }
    return codes;
}

void ScaleBitmap(const TBitmap& source, int scale, TBitmap& target)
{
    if (source.PixelFormat() != TPixelFormat::pfDevice) {
        throw EInvalidGraphicOperation("Only pictures at display depth can be scaled");
    }
    if (source.Width() > INT_MAX / scale || source.Height() > INT_MAX / scale) {
        throw EOutOfResources("Out of system resources");
    }
    const int width = source.Width() * scale;
    const int height = source.Height() * scale;
    target.ResizeWidth(0);
    target.ResizeHeight(0);
    target.ExpectSize(width, height);
    target.ResizeWidth(width);
    target.ResizeHeight(height);
    target.ExpectSize(0, 0);
    if (target.Empty()) {
        return;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < source.Height(); ++y) {
        const std::uint8_t* in = source.ScanLine(y);
        std::uint8_t* first = target.ScanLine(y * scale);
        for (int x = 0; x < source.Width(); ++x, in += 4) {
            for (int copy = 0; copy < scale; ++copy, first += 4) {
                std::memcpy(first, in, 4);
            }
        }
        for (int copy = 1; copy < scale; ++copy) {
            std::memcpy(target.ScanLine(y * scale + copy), target.ScanLine(y * scale), rowBytes);
        }
    }
    target.NotifyChanged();
}

} // namespace glyphtint::render
