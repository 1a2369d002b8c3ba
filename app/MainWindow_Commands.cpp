// Tfrm_Main: the menu and the toolbar, the commands' keys and enabled state, and their
// wiring to the handlers.
#include "app/MainWindow.h"

#include "app/Bevel.h"
#include "app/Pictures.h"

#include <QHBoxLayout>

using namespace glyphtint::app;

namespace {

constexpr int kToolBarHeight = 29;
constexpr int kButtonTop = 3;
constexpr QSize kButtonSize(23, 22);
constexpr int kSeparatorWidth = 8;

} // namespace

void Tfrm_Main::CreateMenu()
{
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName("MainMenu1");
    File1 = MainMenu1->addMenu("&File");
    File1->setObjectName("File1");
    auto item = [this](const char* caption, const char* name) {
        QAction* action = File1->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    Addtab1 = item("&Add tab", "Addtab1");
    Removetab1 = item("&Remove tab", "Removetab1");
    File1->addSeparator()->setObjectName("N1");
    Saveimage1 = item("&Save image...", "Saveimage1");
    Copyimagetoclipboard1 = item("&Copy image to clipboard", "Copyimagetoclipboard1");
    File1->addSeparator()->setObjectName("N2");
    Exit1 = item("E&xit", "Exit1");
    setMenuBar(MainMenu1);
}

void Tfrm_Main::CreateToolBar(QWidget* parent)
{
    ToolBar1 = new TBevel(parent, true, true);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setFixedHeight(scale_(kToolBarHeight));
    auto* row = new QHBoxLayout(ToolBar1);
    row->setContentsMargins(0, scale_(kButtonTop), 0, 0);
    row->setSpacing(0);
    auto button = [&](int image, const char* hint, const char* name) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(name);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setIcon(ImageList1[image]);
        b->setIconSize(QSize(16, 16));
        b->setToolTip(hint);
        b->setFixedSize(scale_(kButtonSize.width()), scale_(kButtonSize.height()));
        row->addWidget(b, 0, Qt::AlignTop);
        return b;
    };
    ToolButton1 = button(kImageAdd, "Add tab", "ToolButton1");
    ToolButton2 = button(kImageRemove, "Remove tab", "ToolButton2");
    auto* separator = new QWidget(ToolBar1);
    separator->setObjectName("ToolButton3");
    separator->setFixedSize(scale_(kSeparatorWidth), scale_(kButtonSize.height()));
    row->addWidget(separator, 0, Qt::AlignTop);
    ToolButton4 = button(kImageSave, "Save image to disk", "ToolButton4");
    ToolButton5 = button(kImageCopy, "Copy image to clipboard", "ToolButton5");
    row->addStretch();
}

void Tfrm_Main::AddShortcuts()
{
    // The desktop's usual keys beside the access keys; Ctrl+C stays the text box's copy.
    Addtab1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    Removetab1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    Saveimage1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Copyimagetoclipboard1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Also on the window itself, so that the keys work while the menu is closed.
    addActions({Addtab1, Removetab1, Saveimage1, Copyimagetoclipboard1, Exit1});
}

void Tfrm_Main::UpdateCommands()
{
    const bool attempt = pc_Tabs->currentIndex() != pc_Tabs->count() - 1;
    const bool removable = attempt && pc_Tabs->count() > 2;
    Saveimage1->setEnabled(attempt);
    Copyimagetoclipboard1->setEnabled(attempt);
    ToolButton4->setEnabled(attempt);
    ToolButton5->setEnabled(attempt);
    Removetab1->setEnabled(removable);
    ToolButton2->setEnabled(removable);
}

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
