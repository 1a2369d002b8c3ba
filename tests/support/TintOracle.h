// The tint blend one pixel at a time through the canvas, written out step by step:
// the reference the row-direct tinting is checked and timed against.
#pragma once

#include "raster/Graphics.h"
#include "render/ColourCodes.h"

#include <algorithm>
#include <cmath>

namespace glyphtint::test {

inline void OracleTint(TBitmap& bitmap, int left, int top, int width, int height,
                       glyphtint::render::TColourTriple colour)
{
    TCanvas& canvas = bitmap.Canvas();
    if (height <= 0) {
        return;
    }
    for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x) {
            const TColor p = canvas.ReadPixel(x, y);
            const int r = p & 255, g = (p >> 8) & 255, b = (p >> 16) & 255;
            const int mean = (r + g + b) / 3;
            if (mean <= 118) {
                continue;
            }
            const float f = static_cast<float>(mean - 118) / 137.0f;
            const int background[3] = {118, 124, 112};
            const int tint[3] = {colour.Red, colour.Green, colour.Blue};
            int out[3];
            for (int c = 0; c < 3; ++c) {
                const double v = (1.0 - double(f)) * background[c] + double(f) * tint[c];
                const long n = std::lrint(v);
                out[c] = static_cast<int>(std::min<long>(std::max<long>(n, 0), 255));
            }
            canvas.WritePixel(x, y, out[0] + out[1] * 256 + out[2] * 65536);
        }
    }
}

} // namespace glyphtint::test
