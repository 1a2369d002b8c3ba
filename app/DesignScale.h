// DesignScale: the layout's designed pixel sizes at the window font's actual height, and
// the window font that follows the desktop's.
#pragma once

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace glyphtint::app {

// The layout is designed for a window font whose text is 13 pixels high; margins and
// fixed sizes grow and shrink with the font actually used.
class DesignScale {
public:
    static constexpr int kDesignedTextHeight = 13;

    explicit DesignScale(const QFont& font)
        : factor_(static_cast<double>(QFontMetrics(font).height()) / kDesignedTextHeight)
    {
    }

    int operator()(int designed) const { return static_cast<int>(std::lround(designed * factor_)); }

private:
    double factor_;
};

// The layout is designed for 11-pixel text where the desktop's usual font is 12 pixels
// high (9 points at 96 dots per inch): the window takes the desktop's face and keeps that
// proportion to its size, so that the usual desktop gives the designed pixels and a larger
// desktop font a window that grows with it.
inline constexpr int kDesignedFontPixels = 11;
inline constexpr int kUsualDesktopFontPixels = 12;

inline QFont WindowFont(const QFont& desktop)
{
    QFont font = desktop;
    const int desktopPixels = QFontInfo(desktop).pixelSize();
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(static_cast<double>(kDesignedFontPixels) *
                                                               desktopPixels / kUsualDesktopFontPixels))));
    return font;
}

} // namespace glyphtint::app
