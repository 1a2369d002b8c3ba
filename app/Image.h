// TImage: a control that shows its picture unscaled and centred.
#pragma once

#include "raster/Graphics.h"

#include <QImage>
#include <QWidget>

// The picture's top-left corner sits at half the difference of the sizes, each halving
// rounded toward zero, so a picture larger than the control is cut equally on both
// sides. Around the picture the parent's background colour shows. The control repaints when
// the picture reports a change; the pixels it shows are converted for the screen once per
// change or resize, not once per paint, and only those: a strip of a million columns
// costs the screen the few hundred the control is wide.
class TImage : public QWidget {
public:
    explicit TImage(QWidget* parent = nullptr);

    TPicture& Picture() { return picture_; }
    const TPicture& Picture() const { return picture_; }

    // Where the picture's top-left corner lands inside the control.
    QPoint PictureOrigin() const;

    // Each picture pixel shows as a zoom x zoom block (nearest neighbour). Above 1 the
    // control asks for the zoomed picture's size, so that a scroll area around it scrolls.
    void SetZoom(int zoom);
    int Zoom() const { return zoom_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TPicture picture_;
    // The part of the picture inside the control, converted, and where it stands.
    QImage shown_;
    QPoint shownAt_;
    void AskForZoomedSize();

    int zoom_ = 1;
    bool stale_ = true;
    bool updatePending_ = false;
};
