// The entry of a benchmark that needs a Qt application object (fonts, widgets).
#pragma once

#include "raster/OffscreenApplication.h"

#include <QByteArray>
#include <QtGlobal>

#include <benchmark/benchmark.h>

namespace glyphtint::bench {

// Runs the chosen benchmarks with an Application (QGuiApplication or QApplication) alive,
// on the offscreen platform unless the caller chose one, so that no display is needed.
template <class Application> int RunBenchmarksWithApplication(int argc, char** argv)
{
    // The offscreen platform unless the caller chose one, and a runtime folder where
    // the build or ctest gives none (no note about it at every discovery).
    glyphtint::raster::PrepareOffscreenApplication();
    Application application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace glyphtint::bench
