// FramePosition: the designed place, moved as little as needed to keep the frame on screen.
#include "app/Placement.h"

#include <algorithm>

namespace glyphtint::app {
namespace {

int Fit(int designed, int areaStart, int areaLength, int frameLength)
{
    if (frameLength >= areaLength) {
        return areaStart;
    }
    return std::clamp(designed, areaStart, areaStart + areaLength - frameLength);
}

} // namespace

QPoint FramePosition(const QRect& available, const QSize& frame, const QPoint& designed)
{
    return {Fit(designed.x(), available.x(), available.width(), frame.width()),
            Fit(designed.y(), available.y(), available.height(), frame.height())};
}

} // namespace glyphtint::app
