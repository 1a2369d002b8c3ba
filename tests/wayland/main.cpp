// Test entry for the Wayland suite: the platform is the one under-weston.sh chose.
#include "tests/support/ApplicationTestMain.h"

#include <QApplication>

int main(int argc, char** argv)
{
    return glyphtint::test::RunTestsWithApplication<QApplication>(argc, argv);
}
