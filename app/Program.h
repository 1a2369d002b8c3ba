// The program's run from start to exit.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glyphtint::app {

// What `glyphtint --help` prints.
extern const std::string_view kProgramUsage;

// Reads the command line (--help and --version print and return 0; another option is
// wrong usage, 2; the texts open in tabs of their own), checks that there is a display
// to show the window on (without one: one line on standard error and 1), then builds
// the application and the main window, runs the event loop and shuts down; returns the
// process's exit code: 0 once the window is closed, 1 when it could not be shown (no
// display, no glyph archive).
int RunProgram(int& argc, char** argv);

// The texts of the command line, in order: every argument that is no option, and every
// one after "--". Returns the first option (an argument that starts with '-' before
// "--"), which the window does not know, if there is one.
std::optional<std::string> ReadTexts(int argc, const char* const* argv, std::vector<std::string>& texts);

// True when the environment names a display Qt can open a window on: DISPLAY for X11,
// WAYLAND_DISPLAY for Wayland, or a QT_QPA_PLATFORM that needs neither (offscreen, ...).
bool HaveDisplay();

} // namespace glyphtint::app
