// TCanvas's text and TFont's sizes through Qt's font machinery, and system colours from
// the desktop's palette.
#include "raster/Graphics.h"

#include "raster/QtImage.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::MakeColor;
using glyphtint::raster::ReadRowRgb32;
using glyphtint::raster::RedOf;
using glyphtint::raster::WriteRowRgb32;

namespace {

bool HaveGuiApplication()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

TColor FromQColor(const QColor& c)
{
    return MakeColor(c.red(), c.green(), c.blue());
}

QColor ToQColor(TColor c)
{
    return QColor(RedOf(c), GreenOf(c), BlueOf(c));
}

QRgb* BoxRow(QImage& box, int row)
{
    return reinterpret_cast<QRgb*>(box.scanLine(row));
}

// Fonts, measuring and text drawing need the application's font database.
void RequireFontSystem()
{
    if (!HaveGuiApplication()) {
        throw EInvalidOperation("Canvas does not allow drawing");
    }
}

QFont ToQFont(const TFont& font)
{
    QFont q(QString::fromUtf8(font.Name.c_str()));
    q.setStyleHint(font.Pitch == TFontPitch::fpFixed ? QFont::Monospace : QFont::SansSerif);
    // A picture is the same file whatever the screen: left to Qt, the glyphs' hinting
    // follows the screen's scale (none at QT_SCALE_FACTOR 2) and the desktop's settings,
    // and subpixel smoothing the screen's layout of colours. Pictures take the light
    // hinting that fontconfig gives a screen of scale 1, and grey smoothing.
    q.setHintingPreference(QFont::PreferVerticalHinting);
    q.setStyleStrategy(QFont::NoSubpixelAntialias);
    q.setFixedPitch(font.Pitch == TFontPitch::fpFixed);
    q.setWeight(font.Style.Bold ? QFont::Bold : QFont::Normal);
    q.setItalic(font.Style.Italic);
    q.setUnderline(font.Style.Underline);
    q.setStrikeOut(font.Style.StrikeOut);
    const int height = font.Height();
    if (height < 0) {
        q.setPixelSize(-height);
    } else if (height > 0) {
        // A positive height is the whole cell, internal leading included.
        q.setPixelSize(height);
        const QFontMetrics metrics(q);
        const int cell = metrics.ascent() + metrics.descent();
        if (cell > 0) {
            q.setPixelSize(std::max(1, height * height / cell));
        }
    }
    return q;
}

TColor PaletteColour(int index)
{
    const QPalette palette = HaveGuiApplication() ? QGuiApplication::palette() : QPalette();
    switch (index) {
    case 5: // window background
        return FromQColor(palette.color(QPalette::Base));
    case 8: // window text
        return FromQColor(palette.color(QPalette::WindowText));
    case 15: // button face
        return FromQColor(palette.color(QPalette::Button));
    case 18: // button text
        return FromQColor(palette.color(QPalette::ButtonText));
    case 13: // highlight
        return FromQColor(palette.color(QPalette::Highlight));
    case 14: // highlighted text
        return FromQColor(palette.color(QPalette::HighlightedText));
    default: return FromQColor(palette.color(QPalette::Window));
    }
}

// Programs that draw text have the desktop's palette for the system colours.
const bool paletteInstalled = (glyphtint::raster::SetSystemColourLookup(PaletteColour), true);

} // namespace

int TFont::DisplayDpi()
{
    // Not the screen's: a font size in points makes the same pixels on every screen.
    return 96;
}

namespace {

// std::lround rounds halves away from zero.
int PointsToHeight(int points)
{
    return -static_cast<int>(std::lround(static_cast<double>(points) * TFont::DisplayDpi() / 72.0));
}

} // namespace

int TFont::Height() const
{
    return height_ ? *height_ : PointsToHeight(kDefaultPoints);
}

int TFont::Size() const
{
    return static_cast<int>(std::lround(-static_cast<double>(Height()) * 72.0 / DisplayDpi()));
}

void TFont::SetSize(int points)
{
    height_ = PointsToHeight(points);
}

int TCanvas::MeasureTextWidth(const std::string& text) const
{
    if (text.empty()) {
        return 0;
    }
    RequireFontSystem();
    return QFontMetrics(ToQFont(Font))
        .horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

int TCanvas::MeasureTextHeight(const std::string&) const
{
    RequireFontSystem();
    return QFontMetrics(ToQFont(Font)).height();
}

void TCanvas::WriteText(int x, int y, const std::string& text)
{
    if (text.empty()) {
        return;
    }
    RequireFontSystem();
    const QFont font = ToQFont(Font);
    const QFontMetrics metrics(font);
    const QString line = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const int width = metrics.horizontalAdvance(line);
    const int height = metrics.height();
    if (width <= 0 || height <= 0) {
        return;
    }

    // Draw the line into a box of its own, seeded with the pixels underneath so that a
    // clear brush keeps them, then copy the box back with clipping.
    QImage box(width, height, QImage::Format_RGB32);
    if (box.isNull()) {
        throw EOutOfResources("Out of system resources");
    }
    box.fill(Qt::white);
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = static_cast<int>(std::min<std::int64_t>(std::int64_t{x} + width, bitmap_.Width()));
    const int bottom = static_cast<int>(std::min<std::int64_t>(std::int64_t{y} + height, bitmap_.Height()));
    const bool overlaps = !bitmap_.Empty() && left < right && top < bottom;
    if (overlaps) {
        for (int row = top; row < bottom; ++row) {
            ReadRowRgb32(bitmap_, row, left, right - left, BoxRow(box, row - y) + (left - x));
        }
    }
    {
        QPainter painter(&box);
        if (Brush.Style == TBrushStyle::bsSolid) {
            painter.fillRect(box.rect(), ToQColor(ColorToRGB(Brush.Color)));
        }
        painter.setFont(font);
        painter.setPen(ToQColor(ColorToRGB(Font.Color)));
        painter.drawText(0, metrics.ascent(), line);
    }
    if (overlaps) {
        for (int row = top; row < bottom; ++row) {
            WriteRowRgb32(bitmap_, row, left, right - left, BoxRow(box, row - y) + (left - x));
        }
    }
    bitmap_.NotifyChanged();
}
