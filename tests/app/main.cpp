// Test entry for the window suite: widgets need an application object.
#include "tests/support/ApplicationTestMain.h"

#include <QApplication>

int main(int argc, char** argv)
{
    return glyphtint::test::RunTestsWithApplication<QApplication>(argc, argv);
}
