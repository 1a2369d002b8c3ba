// Test entry for the end-to-end suite: the expected pictures are composed offscreen,
// whatever display the program under test is started on.
#include "tests/support/ApplicationTestMain.h"

#include <QGuiApplication>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return glyphtint::test::RunTestsWithApplication<QGuiApplication>(argc, argv);
}
