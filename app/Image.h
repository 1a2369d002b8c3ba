// TImage: a control that shows its picture unscaled and centred.
#pragma once

#include "raster/Graphics.h"

#include <QImage>
#include <QWidget>

// The picture's top-left corner sits at half the difference of the sizes, each halving
// rounded toward zero, so a picture larger than the control is cut equally on both
// sides. Around the picture the parent's background colour shows. The control repaints when
// the picture reports a change; the pixels are converted for the screen once per change,
// not once per paint.
class TImage : public QWidget {
public:
    explicit TImage(QWidget* parent = nullptr);

    TPicture& Picture() { return picture_; }
    const TPicture& Picture() const { return picture_; }

    // Where the picture's top-left corner lands inside the control.
    QPoint PictureOrigin() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TPicture picture_;
    QImage shown_;
    bool stale_ = true;
    bool updatePending_ = false;
};
