// Tfrm_Main: menu and toolbar commands, wired to their handlers.
#include "app/MainWindow.h"

void Tfrm_Main::ConnectHandlers()
{
    // Each connection runs its handler through the guard: Qt never sees an exception.
    auto guarded = [this](void (Tfrm_Main::*handler)()) {
        return [this, handler] {
            if (!destroyed_) {
                RunGuarded([this, handler] { (this->*handler)(); });
            }
        };
    };
    connect(ToolButton1, &QToolButton::clicked, this, guarded(&Tfrm_Main::ToolButton1Click));
    connect(ToolButton2, &QToolButton::clicked, this, guarded(&Tfrm_Main::ToolButton2Click));
    connect(ToolButton4, &QToolButton::clicked, this, guarded(&Tfrm_Main::ToolButton4Click));
    connect(ToolButton5, &QToolButton::clicked, this, guarded(&Tfrm_Main::ToolButton5Click));
    connect(SpeedButton1, &QToolButton::clicked, this, guarded(&Tfrm_Main::SpeedButton1Click));
    connect(SpeedButton2, &QToolButton::clicked, this, guarded(&Tfrm_Main::SpeedButton2Click));
    connect(Addtab1, &QAction::triggered, this, guarded(&Tfrm_Main::Addtab1Click));
    connect(Removetab1, &QAction::triggered, this, guarded(&Tfrm_Main::Removetab1Click));
    connect(Saveimage1, &QAction::triggered, this, guarded(&Tfrm_Main::Saveimage1Click));
    connect(Copyimagetoclipboard1, &QAction::triggered, this, guarded(&Tfrm_Main::Copyimagetoclipboard1Click));
    connect(Exit1, &QAction::triggered, this, guarded(&Tfrm_Main::Exit1Click));
    connect(pc_Tabs, &QTabWidget::currentChanged, this, &Tfrm_Main::OnCurrentTabChanged);
}

void Tfrm_Main::Exit1Click()
{
    close();
}
