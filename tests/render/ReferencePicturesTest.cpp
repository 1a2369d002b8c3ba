// The strip and the framed picture of the shipped glyphs, drawn here, against the reference
// pictures checked by eye: a glyph, a colour, the border or the caption a pixel off shows.
#include "render/FramedImage.h"
#include "render/GlyphPack.h"
#include "tests/support/ReferencePictures.h"

#include <gtest/gtest.h>

using namespace glyphtint::test;

TEST(ReferencePictures, StripFramedPictureAndSavedFileMatchTheirReferences)
{
    glyphtint::render::GlyphPack shipped;
    shipped.Open(std::string(GLYPHTINT_BIN_DIR) + "/glyphtint.gfx");
    for (const ReferenceText& reference : ReferenceTexts()) {
        SCOPED_TRACE(reference.name);
        TPicture strip;
        RenderCodedText(shipped, reference.text, strip);
        EXPECT_EQ(PictureDifference(AsImage(strip.AsBitmap()), ReferencePicture(reference.name + "-strip.png")), "");

        TPicture framed;
        glyphtint::render::ComposeFramedImage(strip.AsBitmap(), reference.text, framed);
        EXPECT_EQ(PictureDifference(AsImage(framed.AsBitmap()), ReferencePicture(reference.name + "-framed.png")), "");

        const std::string saved = glyphtint::render::EncodeFramedImage(framed.AsBitmap());
        const QImage decoded =
            QImage::fromData(reinterpret_cast<const uchar*>(saved.data()), static_cast<int>(saved.size()), "JPEG")
                .convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(PictureDifference(decoded, ReferencePicture(reference.name + "-framed.jpg"), kJpegTolerance), "");
    }
}
