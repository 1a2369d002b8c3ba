// DesignScale: the layout's designed pixel sizes at the window font's actual height.
#pragma once

#include <QFont>
#include <QFontMetrics>

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

} // namespace glyphtint::app
