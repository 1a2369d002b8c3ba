// Test entry for the render suite: the framed image's caption needs an application's fonts.
#include "tests/support/ApplicationTestMain.h"

#include <QGuiApplication>

int main(int argc, char** argv)
{
    return glyphtint::test::RunTestsWithApplication<QGuiApplication>(argc, argv);
}
