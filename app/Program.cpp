// RunProgram: application title, frm_Main, FormCreate, the event loop, FormDestroy.
#include "app/Program.h"

#include "app/MainWindow.h"
#include "app/Pictures.h"

#include <QApplication>

namespace glyphtint::app {

int RunProgram(int& argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("glyphtint");
    QApplication::setWindowIcon(ProgramIcon());

    Tfrm_Main frm_Main;
    frm_Main.RunGuarded([&] { frm_Main.FormCreate(); });
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
