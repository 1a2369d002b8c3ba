// Tfrm_Main: the framed picture of the active attempt, saved as JPEG or copied, and its
// strip exported as PNG.
#include "app/MainWindow.h"

#include "app/GameChoice.h"

#include "pictures/PictureFiles.h"
#include "pictures/RenderJob.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <stdexcept>
#include <vector>

using glyphtint::pictures::PictureKind;
using glyphtint::render::PictureStyle;

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
    // On the glyph background with the tints as they are, whatever the preview shows.
    const std::vector<std::string> files =
        session_.Run({ActiveAttemptText(),
                      {path.empty() ? PictureKind::ClipboardPng : PictureKind::Framed},
                      PictureStyle{},
                      glyphtint::app::ChosenGame()});
    if (!path.empty()) {
        glyphtint::pictures::WritePictureFile(path, files.front());
        return;
    }
    // A copy that fails must not stand under the last one's confirmation.
    Announce({});
    const QImage picture = QImage::fromData(reinterpret_cast<const uchar*>(files.front().data()),
                                            static_cast<int>(files.front().size()), "PNG")
                               .convertToFormat(QImage::Format_RGB32);
    if (picture.isNull()) {
        throw EOutOfResources("Out of system resources");
    }
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
        ActiveAttemptText(), {PictureKind::Strip}, session_.Style(), glyphtint::app::ChosenGame()};
    job.style.scale = img_Render->Zoom();
    glyphtint::pictures::WritePictureFile(path, session_.Run(job).front());
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
