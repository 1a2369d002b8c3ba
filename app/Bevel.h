// TBevel: etched separator lines along the top and/or bottom edge of a strip.
#pragma once

#include <QWidget>

namespace glyphtint::app {

class TBevel : public QWidget {
public:
    TBevel(QWidget* parent, bool top, bool bottom) : QWidget(parent), top_(top), bottom_(bottom) { }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool top_;
    bool bottom_;
};

} // namespace glyphtint::app
