// FocusMarkStyle: the keyboard focus drawn as a solid frame in the widget's text colour.
#pragma once

#include <QProxyStyle>

namespace glyphtint::app {

// The usual focus rectangle of some styles is a faint or highlight-coloured line that all
// but vanishes on a dark palette, and Fusion draws none until a key has moved the focus.
// This one is a 2-pixel frame in the colour the widget draws its text in, which the palette
// keeps readable on the widget's background whatever the theme.
class FocusMarkStyle : public QProxyStyle {
public:
    // A style for one widget, owned by it; the rest follows the application's style.
    static FocusMarkStyle* For(QWidget* widget);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    // The focused tab: Fusion marks it with nothing but a faint outline.
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;

private:
    static void DrawMark(const QRect& around, const QColor& colour, QPainter* painter);
};

} // namespace glyphtint::app
