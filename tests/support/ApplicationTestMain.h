// The entry of a test suite that needs a Qt application object (fonts, clipboard, widgets).
#pragma once

#include "raster/OffscreenApplication.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace glyphtint::test {

// Runs every test with an Application (QGuiApplication or QApplication) alive, on the
// offscreen platform unless the caller chose one, so that no display is needed.
template <class Application> int RunTestsWithApplication(int argc, char** argv)
{
    // The offscreen platform unless the caller chose one, and a runtime folder where
    // the build or ctest gives none (no note about it at every discovery).
    glyphtint::raster::PrepareOffscreenApplication();
    Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace glyphtint::test
