// TPaletteImage: keys, the current sample's mark, and what screen readers are told.
#include "app/PaletteImage.h"

#include "app/Accessibility.h"
#include "app/GameChoice.h"
#include "render/ColourNames.h"
#include "render/Contrast.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <array>

namespace glyphtint::app {

QString ColourCodeCaption(char code)
{
    const std::optional<render::TColourTriple> colour = WindowGame().rules.ColourOf(static_cast<unsigned char>(code));
    const std::string_view name = colour ? render::ColourName(*colour) : std::string_view();
    QString caption = QString('^') + QChar::fromLatin1(code);
    if (!name.empty()) {
        caption += ' ' + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    return caption;
}

render::TColourTriple SampleBackdrop(render::TColourTriple tint, render::TColourTriple under)
{
    if (render::ContrastRatio(tint, under) >= kSampleContrast) {
        return under;
    }
    constexpr render::TColourTriple kBlack{0, 0, 0};
    constexpr render::TColourTriple kWhite{255, 255, 255};
    constexpr int kSteps = 20;
    // A little over the ratio: the glyphs' edges blend a trace of themselves into it.
    constexpr double kAimedContrast = kSampleContrast + 0.2;
    // Contrast with black grows with luminance: a tint lighter than under wants it darker.
    const bool darker = render::ContrastRatio(tint, kBlack) > render::ContrastRatio(under, kBlack);
    // Every colour has over 4.5:1 with black or with white, so one of the ways gets there.
    for (const render::TColourTriple& toward : darker ? std::array{kBlack, kWhite} : std::array{kWhite, kBlack}) {
        for (int step = 1; step <= kSteps; ++step) {
            const auto mix = [&](int from, int to) { return from + (to - from) * step / kSteps; };
            const render::TColourTriple backdrop{mix(under.Red, toward.Red), mix(under.Green, toward.Green),
                                                 mix(under.Blue, toward.Blue)};
            if (render::ContrastRatio(tint, backdrop) >= kAimedContrast) {
                return backdrop;
            }
        }
    }
    return render::ContrastRatio(tint, kBlack) > render::ContrastRatio(tint, kWhite) ? kBlack : kWhite;
}

TPaletteImage::TPaletteImage(std::string text, QWidget* parent) : TImage(parent), text_(std::move(text))
{
    setFocusPolicy(Qt::TabFocus);
}

void TPaletteImage::SetGlyphWidths(const render::GlyphWidths& widths)
{
    widths_ = widths;
    current_ = std::clamp(current_, 0, std::max(0, static_cast<int>(Samples().size()) - 1));
    // The same strip drawn again (a new preview style) is no news to screen readers.
    SetAccessibleDescription(this, Description());
    update();
}

std::vector<render::ColourSample> TPaletteImage::Samples() const
{
    return render::ColourSamplesOf(text_, widths_, width(), WindowGame().rules);
}

std::optional<render::ColourSample> TPaletteImage::SampleAt(int x) const
{
    return render::ColourSampleAt(text_, widths_, width(), x, WindowGame().rules);
}

QString TPaletteImage::Description() const
{
    const auto samples = Samples();
    if (samples.empty()) {
        return "No colour codes drawn";
    }
    QString told = "Colour codes ";
    for (std::size_t i = 0; i < samples.size(); ++i) {
        told += (i == 0 ? "" : ", ") + ColourCodeCaption(samples[i].code);
    }
    return told;
}

void TPaletteImage::SetCurrent(int index)
{
    const int count = static_cast<int>(Samples().size());
    if (count == 0) {
        return;
    }
    index = std::clamp(index, 0, count - 1);
    if (index == current_) {
        return;
    }
    current_ = index;
    update();
    TellCurrent();
}

void TPaletteImage::Pick(int index)
{
    const auto samples = Samples();
    if (index >= 0 && index < static_cast<int>(samples.size()) && OnPick) {
        OnPick(samples[static_cast<std::size_t>(index)].code);
    }
}

void TPaletteImage::TellCurrent()
{
    // The sample, not the strip, has the screen reader's attention.
    if (hasFocus() && !Samples().empty()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(current_);
        QAccessible::updateAccessibility(&focus);
    }
}

void TPaletteImage::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left: SetCurrent(current_ - 1); break;
    case Qt::Key_Right: SetCurrent(current_ + 1); break;
    case Qt::Key_Home: SetCurrent(0); break;
    case Qt::Key_End: SetCurrent(static_cast<int>(Samples().size()) - 1); break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: Pick(current_); break;
    default: TImage::keyPressEvent(event); return;
    }
    event->accept();
}

void TPaletteImage::focusInEvent(QFocusEvent* event)
{
    TImage::focusInEvent(event);
    update();
    TellCurrent();
}

void TPaletteImage::focusOutEvent(QFocusEvent* event)
{
    TImage::focusOutEvent(event);
    update();
}

void TPaletteImage::paintEvent(QPaintEvent* event)
{
    TImage::paintEvent(event);
    const auto samples = Samples();
    if (!hasFocus() || samples.empty()) {
        return;
    }
    // A white frame inside a black one shows on every tint and on every background.
    const auto& sample = samples[static_cast<std::size_t>(std::min<int>(current_, samples.size() - 1))];
    // Samples stand where the unzoomed, centred strip puts them, as palettes are drawn.
    const QRect frame(sample.left, 0, sample.width, height());
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(frame.adjusted(1, 1, -2, -2));
}

} // namespace glyphtint::app
