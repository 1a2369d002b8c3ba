// TCanvas: rectangles, pixels and pictures; plain colours and where system colours come from.
#include "raster/Graphics.h"

#include <algorithm>

namespace {

// Before the desktop's palette is known: dark text on light faces.
TColor ClassicSystemColour(int index)
{
    switch (index) {
    case 8:  // window text
    case 18: // button text
        return clBlack;
    default: return clWhite;
    }
}

glyphtint::raster::SystemColourLookup systemColours = ClassicSystemColour;

} // namespace

namespace glyphtint::raster {

void SetSystemColourLookup(SystemColourLookup lookup)
{
    systemColours = lookup != nullptr ? lookup : ClassicSystemColour;
}

} // namespace glyphtint::raster

TColor ColorToRGB(TColor color)
{
    if ((color & 0x80000000u) == 0) {
        return color & 0x00FFFFFF;
    }
    return systemColours(static_cast<int>(color & 255));
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
