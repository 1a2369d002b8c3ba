// Palette samples stand out from what they are drawn on at 3:1, where the designed
// grey-green panel does not give them that.
#include "WindowFixture.h"

#include "app/PaletteImage.h"
#include "raster/QtImage.h"
#include "render/CodeTokens.h"
#include "render/Contrast.h"

using glyphtint::app::kPaletteText1;
using glyphtint::app::kPaletteText2;
using glyphtint::app::kSampleContrast;
using glyphtint::app::SampleBackdrop;
using glyphtint::render::ContrastRatio;
using glyphtint::render::DefaultCodeRules;
using glyphtint::render::TColourTriple;

namespace {

const TColourTriple kGreyGreen{118, 124, 112};

TColourTriple ColourOf(char code)
{
    return DefaultCodeRules().ColourOf(static_cast<unsigned char>(code)).value_or(TColourTriple{255, 255, 255});
}

// The strip's pixel as red, green and blue.
TColourTriple PixelAt(const TBitmap& strip, int x, int y)
{
    const QColor pixel = glyphtint::raster::ToQImage(strip).pixelColor(x, y);
    return {pixel.red(), pixel.green(), pixel.blue()};
}

} // namespace

TEST(SampleBackdrop, EverySampleStandsOutAndPanelsThatSufficeStay)
{
    const std::string palettes = std::string(kPaletteText1) + kPaletteText2;
    // The designed panel, the dark and light pages previewed, and a grey between them.
    for (const TColourTriple& under :
         {kGreyGreen, TColourTriple{30, 30, 30}, TColourTriple{255, 255, 255}, TColourTriple{119, 119, 119}}) {
        for (std::size_t at = palettes.find('^'); at != std::string::npos; at = palettes.find('^', at + 2)) {
            const TColourTriple tint = ColourOf(palettes[at + 1]);
            const TColourTriple backdrop = SampleBackdrop(tint, under);
            SCOPED_TRACE(std::string("^") + palettes[at + 1] + " on " + std::to_string(under.Red));
            EXPECT_GE(ContrastRatio(tint, backdrop), kSampleContrast);
            if (ContrastRatio(tint, under) >= kSampleContrast) {
                EXPECT_EQ(backdrop, under);
            }
        }
    }
}

TEST_F(WindowTest, FaintPaletteSamplesStandOnBackdropsOfTheirOwn)
{
    StartWithShippedArchive();
    const TBitmap* strip = Strip(Find<TImage>("img_Colors"));
    ASSERT_NE(strip, nullptr);
    const std::string palette = kPaletteText1;
    // The top-left pixel of a sample's glyph cell, where its background shows.
    const auto corner = [&](char code) {
        return PixelAt(*strip, RenderedWidth(palette.substr(0, palette.find(std::string("^") + code + code) + 2)), 0);
    };
    for (const char faint : {'9', 'f', 'l', 'm'}) {
        EXPECT_GE(ContrastRatio(ColourOf(faint), corner(faint)), kSampleContrast) << faint;
    }
    // White stands out from the grey-green as designed, and stays on it.
    TPicture white;
    RenderCodedText(Glyphs(), "^77", white);
    EXPECT_EQ(corner('7'), PixelAt(white.AsBitmap(), 0, 0));
}
