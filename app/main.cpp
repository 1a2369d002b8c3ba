// glyphtint: the desktop program.
#include "app/Program.h"

int main(int argc, char** argv)
{
    return glyphtint::app::RunProgram(argc, argv);
}
