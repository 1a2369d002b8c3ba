// Test entry for the raster suite: text drawing needs an application's font database.
#include "tests/support/ApplicationTestMain.h"

#include <QGuiApplication>

int main(int argc, char** argv)
{
    return glyphtint::test::RunTestsWithApplication<QGuiApplication>(argc, argv);
}
