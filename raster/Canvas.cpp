// TCanvas: rectangles, pixels, and one line of text through Qt's font machinery.
#include "raster/Graphics.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QScreen>

#include <algorithm>
#include <cmath>

using glyphtint::raster::BlueOf;
using glyphtint::raster::GreenOf;
using glyphtint::raster::MakeColor;
using glyphtint::raster::RedOf;

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

} // namespace

TColor ColorToRGB(TColor color)
{
    if ((color & 0x80000000u) == 0) {
        return color & 0x00FFFFFF;
    }
    const QPalette palette = HaveGuiApplication() ? QGuiApplication::palette() : QPalette();
    switch (color & 255) {
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

int TFont::DisplayDpi()
{
    if (HaveGuiApplication()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const int dpi = static_cast<int>(std::lround(screen->logicalDotsPerInchY()));
            if (dpi > 0) {
                return dpi;
            }
        }
    }
    return 96;
}

TFont::TFont()
{
    SetSize(8);
}

int TFont::Size() const
{
    return static_cast<int>(std::lround(-static_cast<double>(height_) * 72.0 / DisplayDpi()));
}

void TFont::SetSize(int points)
{
    // std::lround rounds halves away from zero.
    height_ = -static_cast<int>(std::lround(static_cast<double>(points) * DisplayDpi() / 72.0));
}

void TCanvas::DrawGraphic(int x, int y, TGraphic* graphic)
{
    if (graphic == nullptr || graphic->Empty()) {
        return;
    }
    graphic->Draw(*this, x, y);
    bitmap_.NotifyChanged();
}

void TCanvas::PaintRectangle(int x1, int y1, int x2, int y2)
{
    const int left = std::max(x1, 0);
    const int top = std::max(y1, 0);
    const int right = std::min(x2, bitmap_.Width());
    const int bottom = std::min(y2, bitmap_.Height());
    if (bitmap_.Empty() || left >= right || top >= bottom) {
        return;
    }
    const TColor pen = ColorToRGB(Pen.Color);
    const TColor brush = ColorToRGB(Brush.Color);
    const bool fillInterior = Brush.Style == TBrushStyle::bsSolid;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const bool outline = x == x1 || x == x2 - 1 || y == y1 || y == y2 - 1;
            if (outline) {
                bitmap_.SetPixelAt(x, y, pen);
            } else if (fillInterior) {
                bitmap_.SetPixelAt(x, y, brush);
            }
        }
    }
    bitmap_.NotifyChanged();
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
    if (!bitmap_.Empty()) {
        for (int row = top; row < bottom; ++row) {
            for (int col = left; col < right; ++col) {
                box.setPixelColor(col - x, row - y, ToQColor(bitmap_.PixelAt(col, row)));
            }
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
    if (!bitmap_.Empty()) {
        for (int row = top; row < bottom; ++row) {
            for (int col = left; col < right; ++col) {
                bitmap_.SetPixelAt(col, row, FromQColor(box.pixelColor(col - x, row - y)));
            }
        }
    }
    bitmap_.NotifyChanged();
}

TColor TCanvas::ReadPixel(int x, int y) const
{
    if (bitmap_.Empty() || x < 0 || y < 0 || x >= bitmap_.Width() || y >= bitmap_.Height()) {
        return clNone;
    }
    return bitmap_.PixelAt(x, y);
}

void TCanvas::WritePixel(int x, int y, TColor color)
{
    if (bitmap_.Empty() || x < 0 || y < 0 || x >= bitmap_.Width() || y >= bitmap_.Height()) {
        return;
    }
    bitmap_.SetPixelAt(x, y, ColorToRGB(color));
    bitmap_.NotifyChanged();
}
