// FocusMarkStyle: a solid focus frame in the text colour.
#include "app/FocusMark.h"

#include <QPainter>
#include <QStyleOption>
#include <QWidget>

namespace glyphtint::app {

namespace {

constexpr int kMarkWidth = 2;
// Inside the tab's outline, clear of its icon and text.
constexpr int kTabInset = 2;

} // namespace

FocusMarkStyle* FocusMarkStyle::For(QWidget* widget)
{
    auto* style = new FocusMarkStyle;
    style->setParent(widget);
    return style;
}

void FocusMarkStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const
{
    if (element != PE_FrameFocusRect) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const QPalette::ColorRole text = widget != nullptr ? widget->foregroundRole() : QPalette::WindowText;
    DrawMark(option->rect, option->palette.color(text), painter);
}

void FocusMarkStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const
{
    const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
    if (element != CE_TabBarTabLabel || tab == nullptr || !(tab->state & State_HasFocus)) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    QStyleOptionTab unmarked(*tab);
    unmarked.state &= ~State_HasFocus;
    QProxyStyle::drawControl(element, &unmarked, painter, widget);
    DrawMark(tab->rect.adjusted(kTabInset, kTabInset, -kTabInset, -kTabInset), tab->palette.color(QPalette::WindowText),
             painter);
}

void FocusMarkStyle::DrawMark(const QRect& r, const QColor& colour, QPainter* painter)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour);
    // Four bars rather than a wide pen, whose half-pixel placement would blur the edge.
    painter->drawRect(r.left(), r.top(), r.width(), kMarkWidth);
    painter->drawRect(r.left(), r.bottom() - kMarkWidth + 1, r.width(), kMarkWidth);
    painter->drawRect(r.left(), r.top(), kMarkWidth, r.height());
    painter->drawRect(r.right() - kMarkWidth + 1, r.top(), kMarkWidth, r.height());
    painter->restore();
}

} // namespace glyphtint::app
