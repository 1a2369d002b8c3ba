// Tfrm_Main: the framed picture of the active attempt, saved as JPEG or copied, and its
// strip exported as PNG.
#include "app/MainWindow.h"

#include "render/FramedImage.h"
#include "raster/QtImage.h"
#include "render/PictureLimits.h"
#include "pictures/PictureFiles.h"
#include "pictures/RenderJob.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <stdexcept>
#include <vector>

std::string Tfrm_Main::ActiveAttemptText() const
{
    const TTextBox* box = ActivePageEdit();
    return box != nullptr ? box->Text() : std::string();
}

void Tfrm_Main::ExportImage(const std::string& path)
{
    if (AboutTabShowing()) {
        return;
    }
    // The picture framed is always that of the text in the caption.
    FlushPendingRender();
    const std::string caption = ActiveAttemptText();
    // The framed picture is always on the glyph background with the tints as they are;
    // under another preview its strip is drawn again for it.
    TPicture ownStrip;
    TPicture* strip = &img_Render->Picture();
    const glyphtint::render::PictureStyle& preview = session_.Style();
    if (preview.background != glyphtint::render::StripBackground::Glyph || preview.minContrast) {
        session_.Timed(caption.size(), [&](glyphtint::app::RenderSession::Pack& pack) {
            glyphtint::render::RenderCodedText(pack, caption, ownStrip);
        });
        strip = &ownStrip;
    }
    TPicture framed;
    glyphtint::render::ComposeFramedImage(strip->AsBitmap(), caption, framed);
    if (!path.empty()) {
        glyphtint::render::RequireSidesAtMost(framed.AsBitmap(), "framed picture", "JPEG",
                                              glyphtint::render::kJpegMaxSide);
        glyphtint::render::SaveFramedImage(framed.AsBitmap(), path);
        return;
    }
    // A copy that fails must not stand under the last one's confirmation.
    Announce({});
    // The clipboard's image takes the framed picture's pixels over rather than a copy.
    const QImage picture = TakeClipboardBitmap(framed.AsBitmap());
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        throw std::runtime_error("Cannot open clipboard");
    }
    clipboard->setImage(picture, QClipboard::Clipboard);
    // The platform takes the clipboard when it can; where another program keeps it,
    // what the clipboard offers afterwards is not our picture.
    const QMimeData* offered = clipboard->mimeData(QClipboard::Clipboard);
    if (offered == nullptr || !offered->hasImage()) {
        throw std::runtime_error("Cannot open clipboard");
    }
    // Copying shows nothing of itself: without this, nobody who cannot see would know.
    Announce("Picture copied");
}

void Tfrm_Main::ExportStrip(const std::string& path)
{
    if (AboutTabShowing()) {
        return;
    }
    FlushPendingRender();
    glyphtint::pictures::RenderJob job{
        ActiveAttemptText(), {glyphtint::pictures::PictureKind::Strip}, session_.Style()};
    job.style.scale = img_Render->Zoom();
    const std::vector<std::string> files = glyphtint::pictures::RunRenderJob(
        job, [this]() -> glyphtint::app::RenderSession::Pack& { return ZipArchive1; });
    glyphtint::pictures::WritePictureFile(path, files.front());
}

void Tfrm_Main::Exportstrip1Click()
{
    if (AboutTabShowing()) {
        return;
    }
    if (ExportDialog1.Execute(this)) {
        ExportStrip(ExportDialog1.FileName);
    }
}

void Tfrm_Main::ToolButton4Click()
{
    if (SaveDialog1.Execute(this)) {
        ExportImage(SaveDialog1.FileName);
    }
}

void Tfrm_Main::ToolButton5Click()
{
    ExportImage({});
}

void Tfrm_Main::Saveimage1Click()
{
    ToolButton4Click();
}

void Tfrm_Main::Copyimagetoclipboard1Click()
{
    ToolButton5Click();
}
