// Fuzz target: arbitrary bytes loaded as a JPEG and drawn into a bitmap. Headers of any
// size and files of any number of scans reach the decoder: its own limits keep each
// input's time and memory bounded, and the runner makes a slow or greedy input a finding.
#include "raster/JPEGImage.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const bool incremental : {false, true}) {
        TJPEGImage jpeg;
        jpeg.Settings.IncrementalDisplay = incremental;
        try {
            jpeg.LoadJPEG(bytes);
        } catch (const EJPEG&) {
            return 0;
        } catch (const EOutOfResources&) {
            return 0;
        }
        TBitmap target;
        target.ResizeWidth(32);
        target.ResizeHeight(24);
        try {
            target.Canvas().DrawGraphic(-3, 2, &jpeg);
        } catch (const EJPEG&) {
            return 0;
        }
        // Only multi-scan files decode differently when shown scan by scan.
        if (!jpeg.Settings.ProgressiveWrite) {
            return 0;
        }
    }
    return 0;
}
