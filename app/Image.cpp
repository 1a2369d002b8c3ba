// TImage: centred, unscaled painting of a TPicture.
#include "app/Image.h"

#include "raster/QtImage.h"

#include <QPainter>
#include <QRegion>
#include <QVector>

TImage::TImage(QWidget* parent) : QWidget(parent)
{
    // The control paints every pixel itself, so Qt does not paint the panel under it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A render reports a change for every glyph step; one repaint request covers them all.
    picture_.OnChange = [this] {
        stale_ = true;
        if (zoom_ > 1) {
            AskForZoomedSize();
        }
        if (!updatePending_) {
            updatePending_ = true;
            update();
        }
    };
}

QPoint TImage::PictureOrigin() const
{
    // Integer division truncates toward zero, as the centring rule asks.
    return {(width() - picture_.Width() * zoom_) / 2, (height() - picture_.Height() * zoom_) / 2};
}

void TImage::SetZoom(int zoom)
{
    if (zoom == zoom_) {
        return;
    }
    zoom_ = zoom;
    if (zoom_ > 1) {
        AskForZoomedSize();
    } else {
        setMinimumSize(0, 0);
    }
    stale_ = true;
    update();
}

void TImage::AskForZoomedSize()
{
    const QSize wanted(picture_.Width() * zoom_, picture_.Height() * zoom_);
    if (minimumSize() != wanted) {
        setMinimumSize(wanted);
    }
}

void TImage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Another part of the picture now lies inside the control.
    stale_ = true;
}

void TImage::paintEvent(QPaintEvent*)
{
    updatePending_ = false;
    if (stale_) {
        const auto* bitmap = dynamic_cast<const TBitmap*>(picture_.Graphic());
        const QPoint origin = PictureOrigin();
        // The control's area in the picture's own columns and rows, whole pixels that
        // show even in part included.
        const QRect zoomed = rect().translated(-origin);
        const auto down = [this](int v) { return v >= 0 ? v / zoom_ : -((-v + zoom_ - 1) / zoom_); };
        const QRect inside(QPoint(down(zoomed.left()), down(zoomed.top())),
                           QPoint(down(zoomed.right()), down(zoomed.bottom())));
        shown_ = bitmap != nullptr ? glyphtint::raster::ToQImage(*bitmap, inside) : QImage();
        shownAt_ = origin + inside.intersected(QRect(0, 0, picture_.Width(), picture_.Height())).topLeft() * zoom_;
        stale_ = false;
    }
    // Around the picture, and where there is none, the panel's colour shows.
    QPainter painter(this);
    // On a screen of scale 2 every picture pixel becomes a 2 x 2 block of its own colour;
    // smoothing would blur the glyphs' edges into the background.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QColor background = parentWidget() != nullptr ? parentWidget()->palette().color(QPalette::Window)
                                                        : palette().color(QPalette::Window);
    const QRect pictureArea(shownAt_, shown_.size() * zoom_);
    QRegion around(rect());
    around -= pictureArea;
    for (const QRect& band : around) {
        painter.fillRect(band, background);
    }
    if (!shown_.isNull()) {
        if (zoom_ == 1) {
            painter.drawImage(pictureArea.topLeft(), shown_);
        } else {
            painter.drawImage(pictureArea, shown_);
        }
    }
}
