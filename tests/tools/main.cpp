// Test entry for the tools suite: the framed pictures compared with the tools need fonts.
#include "tests/support/ApplicationTestMain.h"

#include <QGuiApplication>

int main(int argc, char** argv)
{
    return glyphtint::test::RunTestsWithApplication<QGuiApplication>(argc, argv);
}
