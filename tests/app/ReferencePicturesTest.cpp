// The window's strip, its saved picture and its copied picture against the reference
// pictures checked by eye.
#include "WindowFixture.h"

#include "tests/support/ReferencePictures.h"

#include <QClipboard>

using namespace glyphtint::test;

class WindowReferencePictures : public WindowTest { };

TEST_F(WindowReferencePictures, StripSavedAndCopiedPicturesMatchTheirReferences)
{
    StartWithShippedArchive();
    const std::string saved = (folder / "saved.jpg").string();
    window->SaveDialog1.Run = [&saved](const TSaveDialog&) { return std::optional(TSaveDialogChoice{saved, 2}); };
    for (const ReferenceText& reference : ReferenceTexts()) {
        SCOPED_TRACE(reference.name);
        Change(window->ActivePageEdit(), reference.text);
        QApplication::processEvents();
        const TBitmap* strip = Strip(Find<TImage>("img_Render"));
        ASSERT_NE(strip, nullptr);
        EXPECT_EQ(PictureDifference(AsImage(*strip), ReferencePicture(reference.name + "-strip.png")), "");

        Find<QAction>("Saveimage1")->trigger();
        Find<QAction>("Copyimagetoclipboard1")->trigger();
        ASSERT_TRUE(boxes.errors.empty()) << boxes.errors.front();
        EXPECT_EQ(
            PictureDifference(ReadPicture(saved), ReferencePicture(reference.name + "-framed.jpg"), kJpegTolerance),
            "");
        EXPECT_EQ(PictureDifference(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
                                    ReferencePicture(reference.name + "-framed.png")),
                  "");
    }
}
