// The program's run from start to exit.
#pragma once

namespace glyphtint::app {

// Builds the application and the main window, runs the event loop and shuts down;
// returns the process's exit code, which is 0.
int RunProgram(int& argc, char** argv);

} // namespace glyphtint::app
