// The program's run from start to exit.
#pragma once

#include <string_view>

namespace glyphtint::app {

// What `glyphtint --help` prints.
extern const std::string_view kProgramUsage;

// Reads the command line (--help and --version print and return 0; any other argument
// is wrong usage, 2), checks that there is a display to show the window on (without one:
// one line on standard error and 1), then builds the application and the main window,
// runs the event loop and shuts down; returns the process's exit code: 0 once the window
// is closed, 1 when it could not be shown (no display, no glyph archive).
int RunProgram(int& argc, char** argv);

// True when the environment names a display Qt can open a window on: DISPLAY for X11,
// WAYLAND_DISPLAY for Wayland, or a QT_QPA_PLATFORM that needs neither (offscreen, ...).
bool HaveDisplay();

} // namespace glyphtint::app
