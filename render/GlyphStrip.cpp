// RenderCodedText and AppendGlyph: archive entry -> JPEG glyph -> strip -> tint.
#include "render/GlyphStrip.h"

#include "archive/ZipArchive.h"
#include "raster/JPEGImage.h"
#include "render/GlyphLimits.h"
#include "render/GlyphNames.h"
#include "render/Tint.h"

void AppendGlyph(TZipArchive& archive, TPicture& target, std::string& extractionBuffer, unsigned char character,
                 TColourTriple colour)
{
    const std::string entryName = glyphtint::render::FullGlyphEntryName(character);
    if (entryName.empty()) {
        return;
    }

    TJPEGImage glyph;
    archive.ExtractEntryBytesUpTo(entryName, extractionBuffer, glyphtint::render::kMaxGlyphEntryBytes);
    glyph.LoadJPEG(std::string_view(extractionBuffer));

    TBitmap& strip = target.AsBitmap();
    const int left = strip.Width();
    strip.ResizeWidth(left + glyph.Width());
    // The strip takes each glyph's height in turn: a taller glyph grows it with white
    // rows, a shorter one cuts the glyphs before it.
    strip.ResizeHeight(glyph.Height());
    strip.Canvas().DrawGraphic(left, 0, &glyph);
    TintGlyphArea(target, left, 0, glyph.Width(), glyph.Height(), colour);
}

void RenderCodedText(TZipArchive& archive, std::string_view text, TPicture& target)
{
    target.AsBitmap().ResizeWidth(0);
    target.AsBitmap().ResizeHeight(0);
    std::string extractionBuffer;
    glyphtint::render::ScanCodedText(text, [&](unsigned char character, TColourTriple colour) {
        AppendGlyph(archive, target, extractionBuffer, character, colour);
    });
}
