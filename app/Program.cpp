// RunProgram: the command line, the display, application title, frm_Main, FormCreate, the
// event loop, FormDestroy.
#include "app/Program.h"

#include "app/MainWindow.h"
#include "app/Pictures.h"

#include <QApplication>
#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QtGlobal>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glyphtint::app {

const std::string_view kProgramUsage =
    "usage: glyphtint [--help | --version]\n"
    "       glyphtint [--] [TEXT...]\n"
    "Shows the window in which a text with caret colour codes (^1m00) is drawn from the\n"
    "glyphs of the glyphtint.gfx beside the program, to be saved as a JPEG file or copied.\n"
    "Each TEXT opens in a tab of its own, the first in \"Attempt 1\", drawn at once; a TEXT\n"
    "that starts with '-' follows --.\n"
    "Needs a display: X11 (DISPLAY) or Wayland (WAYLAND_DISPLAY); glyphtint-render draws\n"
    "the same pictures without one. Exit status: 0 the window was closed, 1 it could not\n"
    "be shown (no display, no glyph archive), 2 wrong usage.\n";

namespace {

constexpr const char* kProgram = "glyphtint";
constexpr const char* kNoDisplay =
    "glyphtint: no display to show the window on: set DISPLAY (X11) or WAYLAND_DISPLAY "
    "(Wayland), or run it in a desktop session; glyphtint-render draws the pictures without a display\n";

// --help or --version: the answer on standard output, where it must arrive (a full disk
// or a closed pipe fails the run, as for every tool).
int AnswerHelpOrVersion(std::string_view option)
{
    const std::string answer =
        option == "--version" ? std::string(kProgram) + " " + GLYPHTINT_VERSION + "\n" : std::string(kProgramUsage);
    errno = 0;
    // fclose also closes descriptor 1, whose close can report a late write error.
    if (std::fwrite(answer.data(), 1, answer.size(), stdout) != answer.size() || std::fflush(stdout) != 0 ||
        std::fclose(stdout) != 0) {
        std::fprintf(stderr, "Cannot write to standard output%s%s.\n", errno != 0 ? ": " : "",
                     errno != 0 ? std::strerror(errno) : "");
        return 1;
    }
    return 0;
}

bool Set(const char* name)
{
    return !qEnvironmentVariableIsEmpty(name);
}

// What Qt says while it opens the display, held back until the display is open: when Qt
// cannot open it after all (a DISPLAY that names no running server), it ends the process
// with its own abort and several lines, and the person reads the one line instead.
QStringList& HeldBackMessages()
{
    static QStringList held;
    return held;
}

void HoldBackUntilOpen(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        HeldBackMessages().append(qFormatLogMessage(type, context, message));
        return;
    }
    std::string opened;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        if (Set(name)) {
            opened += std::string(opened.empty() ? "" : ", ") + name + "=" + qgetenv(name).toStdString();
        }
    }
    std::fprintf(stderr,
                 "glyphtint: cannot open the display (%s): set DISPLAY (X11) or WAYLAND_DISPLAY (Wayland) to a "
                 "running one; glyphtint-render draws the pictures without a display\n",
                 opened.empty() ? "none set" : opened.c_str());
    std::_Exit(1);
}

} // namespace

std::optional<std::string> ReadTexts(int argc, const char* const* argv, std::vector<std::string>& texts)
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.starts_with('-')) {
            return std::string(argument);
        } else {
            texts.emplace_back(argument);
        }
    }
    return std::nullopt;
}

bool HaveDisplay()
{
    const QByteArray chosen = qgetenv("QT_QPA_PLATFORM");
    if (chosen.isEmpty()) {
        return Set("DISPLAY") || Set("WAYLAND_DISPLAY");
    }
    // A list such as "wayland;xcb" is tried in turn; arguments follow a colon.
    for (const QByteArray& entry : chosen.split(';')) {
        const QByteArray name = entry.split(':').first().trimmed();
        if (name == "xcb") {
            if (Set("DISPLAY")) {
                return true;
            }
        } else if (name.startsWith("wayland")) {
            if (Set("WAYLAND_DISPLAY")) {
                return true;
            }
        } else if (!name.isEmpty()) {
            // offscreen, minimal, vnc, eglfs, linuxfb: the platform needs no display server.
            return true;
        }
    }
    return false;
}

int RunProgram(int& argc, char** argv)
{
    std::vector<std::string> texts;
    const std::optional<std::string> wrong = ReadTexts(argc, argv, texts);
    if (wrong == "--help" || wrong == "-h" || wrong == "--version") {
        return AnswerHelpOrVersion(*wrong);
    }
    if (wrong) {
        std::fprintf(stderr, "glyphtint: unknown option '%s'; usage: glyphtint [--help | --version] [--] [TEXT...]\n",
                     wrong->c_str());
        return 2;
    }
    if (!HaveDisplay()) {
        std::fputs(kNoDisplay, stderr);
        return 1;
    }

    const QtMessageHandler previous = qInstallMessageHandler(HoldBackUntilOpen);
    // Qt reads options of its own (-style, -reverse) from what it is given, and knows no
    // "--": the texts stay out of its reach.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    qInstallMessageHandler(previous);
    for (const QString& message : std::exchange(HeldBackMessages(), {})) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    }
    QApplication::setApplicationName("glyphtint");
    QApplication::setWindowIcon(ProgramIcon());

    // The game chosen in the last run is kept in the user's settings.
    glyphtint::app::WindowHooks hooks;
    hooks.settings = std::make_shared<QSettings>("glyphtint", "glyphtint");
    Tfrm_Main frm_Main(std::move(hooks));
    frm_Main.RunGuarded([&] { frm_Main.FormCreate(); });
    if (!texts.empty()) {
        frm_Main.RunGuarded([&] { frm_Main.OpenTexts(texts); });
    }
    // A quit requested by FormCreate ends the loop before its first turn: no window, and
    // the program says that it failed.
    const bool failed = frm_Main.QuitRequested();
    if (!failed) {
        frm_Main.show();
        frm_Main.activateWindow();
        QApplication::exec();
    }
    frm_Main.RunGuarded([&] { frm_Main.FormDestroy(); });
    return failed ? 1 : 0;
}

} // namespace glyphtint::app
