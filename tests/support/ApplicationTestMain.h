// The entry of a test suite that needs a Qt application object (fonts, clipboard, widgets).
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace glyphtint::test {

// Runs every test with an Application (QGuiApplication or QApplication) alive, on the
// offscreen platform unless the caller chose one, so that no display is needed.
template <class Application> int RunTestsWithApplication(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace glyphtint::test
