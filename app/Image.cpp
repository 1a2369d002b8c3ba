// TImage: centred, unscaled painting of a TPicture.
#include "app/Image.h"

#include <QPainter>
#include <QRegion>
#include <QVector>

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::RedOf;

namespace glyphtint::app {

QImage ScreenImageOf(const TBitmap& bitmap)
{
    if (bitmap.Empty()) {
        return {};
    }
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    switch (bitmap.PixelFormat()) {
    case TPixelFormat::pfDevice:
        // Red, green, blue and a spare byte per pixel; Qt has no opaque format with that
        // byte order whose spare byte may be 0, so the rows are converted here.
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* source = bitmap.ScanLine(y);
            auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x, source += 4) {
                target[x] = qRgb(source[0], source[1], source[2]);
            }
        }
        break;
    case TPixelFormat::pf24bit:
    case TPixelFormat::pf8bit:
        for (int y = 0; y < height; ++y) {
            auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x) {
                const TColor c = bitmap.PixelAt(x, y);
                target[x] = qRgb(RedOf(c), GreenOf(c), BlueOf(c));
            }
        }
        break;
    }
    return image;
}

} // namespace glyphtint::app

TImage::TImage(QWidget* parent) : QWidget(parent)
{
    // The control paints every pixel itself, so Qt does not paint the panel under it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A render reports a change for every glyph step; one repaint request covers them all.
    picture_.OnChange = [this] {
        stale_ = true;
        if (!updatePending_) {
            updatePending_ = true;
            update();
        }
    };
}

QPoint TImage::PictureOrigin() const
{
    // Integer division truncates toward zero, as the centring rule asks.
    return {(width() - picture_.Width()) / 2, (height() - picture_.Height()) / 2};
}

void TImage::paintEvent(QPaintEvent*)
{
    updatePending_ = false;
    if (stale_) {
        const auto* bitmap = dynamic_cast<const TBitmap*>(picture_.Graphic());
        shown_ = bitmap != nullptr ? glyphtint::app::ScreenImageOf(*bitmap) : QImage();
        stale_ = false;
    }
    // Around the picture, and where there is none, the panel's colour shows.
    QPainter painter(this);
    // On a screen of scale 2 every picture pixel becomes a 2 x 2 block of its own colour;
    // smoothing would blur the glyphs' edges into the background.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QColor background = parentWidget() != nullptr ? parentWidget()->palette().color(QPalette::Window)
                                                        : palette().color(QPalette::Window);
    const QRect pictureArea(PictureOrigin(), shown_.size());
    QRegion around(rect());
    around -= pictureArea;
    for (const QRect& band : around) {
        painter.fillRect(band, background);
    }
    if (!shown_.isNull()) {
        painter.drawImage(pictureArea.topLeft(), shown_);
    }
}
