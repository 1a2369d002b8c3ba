// TBevel: a dark line with a light one under it, as an etched edge.
#include "app/Bevel.h"

#include <QPainter>

namespace glyphtint::app {

void TBevel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    const int right = width() - 1;
    if (top_) {
        painter.setPen(dark);
        painter.drawLine(0, 0, right, 0);
        painter.setPen(light);
        painter.drawLine(0, 1, right, 1);
    }
    if (bottom_) {
        painter.setPen(dark);
        painter.drawLine(0, height() - 2, right, height() - 2);
        painter.setPen(light);
        painter.drawLine(0, height() - 1, right, height() - 1);
    }
}

} // namespace glyphtint::app
