// Tfrm_Main: the commands as actions with their keys and enabled state, the menu and the
// toolbar that show them, and their wiring to the handlers.
#include "app/MainWindow.h"

#include "app/Bevel.h"
#include "app/GameChoice.h"
#include "app/Pictures.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>

#include <algorithm>
#include <optional>
#include <string_view>

using namespace glyphtint::app;

namespace {

constexpr int kToolBarHeight = 29;
constexpr int kButtonTop = 3;
constexpr QSize kButtonSize(23, 22);
constexpr int kSeparatorWidth = 8;
constexpr int kMaxZoom = 4;

} // namespace

void Tfrm_Main::CreateActions()
{
    // One action per command: the menu item, the toolbar button and the key all trigger
    // it, and its enabled state is theirs.
    auto command = [this](const char* name, const char* text, const char* hint, QKeySequence keys,
                          std::optional<int> image) {
        auto* action = new QAction(text, this);
        action->setObjectName(name);
        action->setToolTip(hint);
        action->setShortcut(keys);
        if (image) {
            action->setIcon(ImageList1[*image]);
        }
        return action;
    };
    // The desktop's usual keys beside the access keys; Ctrl+C stays the text box's copy.
    Addtab1 = command("Addtab1", "&Add tab", "Add tab", QKeySequence(Qt::CTRL | Qt::Key_T), kImageAdd);
    Removetab1 = command("Removetab1", "&Remove tab", "Remove tab", QKeySequence(Qt::CTRL | Qt::Key_W), kImageRemove);
    Saveimage1 =
        command("Saveimage1", "&Save image...", "Save image to disk", QKeySequence(Qt::CTRL | Qt::Key_S), kImageSave);
    Copyimagetoclipboard1 = command("Copyimagetoclipboard1", "&Copy image to clipboard", "Copy image to clipboard",
                                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), kImageCopy);
    Exportstrip1 = command("Exportstrip1", "&Export strip as PNG...", "Export strip as PNG",
                           QKeySequence(Qt::CTRL | Qt::Key_E), std::nullopt);
    Exit1 = command("Exit1", "E&xit", "Exit", QKeySequence(Qt::CTRL | Qt::Key_Q), std::nullopt);
    Zoomin1 = command("Zoomin1", "Zoom &in", "Zoom in", QKeySequence(Qt::CTRL | Qt::Key_Plus), std::nullopt);
    // Ctrl+= too: on most keyboards + needs Shift.
    Zoomin1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    Zoomout1 = command("Zoomout1", "Zoom &out", "Zoom out", QKeySequence(Qt::CTRL | Qt::Key_Minus), std::nullopt);
    Actualsize1 =
        command("Actualsize1", "&Actual size", "Actual size", QKeySequence(Qt::CTRL | Qt::Key_0), std::nullopt);
    Previewglyph1 = command("Previewglyph1", "&Glyph background", "Preview on the glyph background", {}, std::nullopt);
    Previewdark1 = command("Previewdark1", "&Dark page", "Preview on a dark page", {}, std::nullopt);
    Previewlight1 = command("Previewlight1", "&Light page", "Preview on a light page", {}, std::nullopt);
    auto* previews = new QActionGroup(this);
    for (QAction* preview : {Previewglyph1, Previewdark1, Previewlight1}) {
        preview->setCheckable(true);
        previews->addAction(preview);
    }
    Previewglyph1->setChecked(true);
    Legiblecolours1 = command("Legiblecolours1", "&Legible colours", "Legible colours", {}, std::nullopt);
    Legiblecolours1->setCheckable(true);
    // Also on the window itself, so that the keys work while the menu is closed.
    addActions(
        {Addtab1, Removetab1, Saveimage1, Copyimagetoclipboard1, Exportstrip1, Exit1, Zoomin1, Zoomout1, Actualsize1});
}

void Tfrm_Main::CreateMenu()
{
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName("MainMenu1");
    File1 = MainMenu1->addMenu("&File");
    File1->setObjectName("File1");
    File1->addAction(Addtab1);
    File1->addAction(Removetab1);
    File1->addSeparator()->setObjectName("N1");
    File1->addAction(Saveimage1);
    File1->addAction(Copyimagetoclipboard1);
    File1->addAction(Exportstrip1);
    File1->addSeparator()->setObjectName("N2");
    File1->addAction(Exit1);
    View1 = MainMenu1->addMenu("&View");
    View1->setObjectName("View1");
    View1->addActions({Zoomin1, Zoomout1, Actualsize1});
    View1->addSeparator();
    QMenu* previewOn = View1->addMenu("&Preview on");
    previewOn->setObjectName("Previewon1");
    previewOn->addActions({Previewglyph1, Previewdark1, Previewlight1});
    View1->addAction(Legiblecolours1);
    Game1 = MainMenu1->addMenu("&Game");
    Game1->setObjectName("Game1");
    Game1->setToolTip("Read every text as this game reads a player name");
    auto* games = new QActionGroup(this);
    for (const glyphtint::render::GameProfile& game : glyphtint::render::GameProfiles()) {
        QAction* action =
            Game1->addAction(QString::fromUtf8(game.title.data(), static_cast<qsizetype>(game.title.size())));
        action->setObjectName(QString("Game_") +
                              QString::fromUtf8(game.id.data(), static_cast<qsizetype>(game.id.size())));
        action->setCheckable(true);
        action->setChecked(&game == &glyphtint::app::WindowGame());
        games->addAction(action);
        gameActions_.push_back(action);
        connect(action, &QAction::triggered, this, [this, &game] {
            if (!destroyed_) {
                RunGuarded([this, &game] { GameClick(game); });
            }
        });
    }
    setMenuBar(MainMenu1);
}

void Tfrm_Main::CreateToolBar(QWidget* parent)
{
    // The buttons keep the toolbar's designed pixels, which a QToolBar's own spacing and
    // handle would move, so they are plain tool buttons in a row, each showing an action.
    ToolBar1 = new TBevel(parent, true, true);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setAccessibleName("Commands");
    ToolBar1->setFixedHeight(scale_(kToolBarHeight));
    auto* row = new QHBoxLayout(ToolBar1);
    row->setContentsMargins(0, scale_(kButtonTop), 0, 0);
    row->setSpacing(0);
    auto button = [&](QAction* action, const char* name) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(name);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setDefaultAction(action);
        b->setIconSize(QSize(16, 16));
        b->setFixedSize(scale_(kButtonSize.width()), scale_(kButtonSize.height()));
        row->addWidget(b, 0, Qt::AlignTop);
        return b;
    };
    ToolButton1 = button(Addtab1, "ToolButton1");
    ToolButton2 = button(Removetab1, "ToolButton2");
    auto* separator = new QWidget(ToolBar1);
    separator->setObjectName("ToolButton3");
    separator->setFixedSize(scale_(kSeparatorWidth), scale_(kButtonSize.height()));
    row->addWidget(separator, 0, Qt::AlignTop);
    ToolButton4 = button(Saveimage1, "ToolButton4");
    ToolButton5 = button(Copyimagetoclipboard1, "ToolButton5");
    row->addStretch();
}

void Tfrm_Main::UpdateCommands()
{
    const bool attempt = !AboutTabShowing();
    Saveimage1->setEnabled(attempt);
    Copyimagetoclipboard1->setEnabled(attempt);
    Exportstrip1->setEnabled(attempt);
    Zoomin1->setEnabled(img_Render->Zoom() < kMaxZoom);
    Zoomout1->setEnabled(img_Render->Zoom() > 1);
    Removetab1->setEnabled(attempt && pc_Tabs->count() > 2);
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
    connect(Addtab1, &QAction::triggered, this, guarded(&Tfrm_Main::Addtab1Click));
    connect(Removetab1, &QAction::triggered, this, guarded(&Tfrm_Main::Removetab1Click));
    connect(Saveimage1, &QAction::triggered, this, guarded(&Tfrm_Main::Saveimage1Click));
    connect(Copyimagetoclipboard1, &QAction::triggered, this, guarded(&Tfrm_Main::Copyimagetoclipboard1Click));
    connect(Exportstrip1, &QAction::triggered, this, guarded(&Tfrm_Main::Exportstrip1Click));
    connect(Exit1, &QAction::triggered, this, guarded(&Tfrm_Main::Exit1Click));
    connect(Zoomin1, &QAction::triggered, this, guarded(&Tfrm_Main::Zoomin1Click));
    connect(Zoomout1, &QAction::triggered, this, guarded(&Tfrm_Main::Zoomout1Click));
    connect(Actualsize1, &QAction::triggered, this, guarded(&Tfrm_Main::Actualsize1Click));
    for (QAction* preview : {Previewglyph1, Previewdark1, Previewlight1, Legiblecolours1}) {
        connect(preview, &QAction::triggered, this, guarded(&Tfrm_Main::PreviewClick));
    }
    connect(pc_Tabs, &QTabWidget::currentChanged, this, &Tfrm_Main::OnCurrentTabChanged);
}

void Tfrm_Main::SetZoom(int zoom)
{
    zoom = std::clamp(zoom, 1, kMaxZoom);
    auto* inside = Panel2->layout();
    if (zoom > 1 && ScrollBox1->widget() == nullptr) {
        inside->removeWidget(img_Render);
        ScrollBox1->setWidget(img_Render);
        ScrollBox1->show();
    } else if (zoom == 1 && ScrollBox1->widget() != nullptr) {
        ScrollBox1->hide();
        ScrollBox1->takeWidget();
        img_Render->setParent(Panel2);
        inside->addWidget(img_Render);
        img_Render->show();
    }
    img_Render->SetZoom(zoom);
    FitRenderBand();
    UpdateCommands();
}

void Tfrm_Main::Zoomin1Click()
{
    SetZoom(img_Render->Zoom() + 1);
}

void Tfrm_Main::Zoomout1Click()
{
    SetZoom(img_Render->Zoom() - 1);
}

void Tfrm_Main::Actualsize1Click()
{
    SetZoom(1);
}

glyphtint::render::PictureStyle Tfrm_Main::PreviewStyle() const
{
    glyphtint::render::PictureStyle style;
    if (Previewdark1->isChecked()) {
        style.background = glyphtint::render::StripBackground::Colour;
        style.backgroundColour = {0x1E, 0x1E, 0x1E};
    } else if (Previewlight1->isChecked()) {
        style.background = glyphtint::render::StripBackground::Colour;
        style.backgroundColour = {0xFF, 0xFF, 0xFF};
    }
    if (Legiblecolours1->isChecked()) {
        // The ratio asked of large text.
        style.minContrast = 3.0;
    }
    return style;
}

void Tfrm_Main::PreviewClick()
{
    session_.SetStyle(PreviewStyle());
    // The whole band is the page the strip is previewed on, not a box the strip's size.
    const QColor page = PanelColour(session_.Style());
    SetPanelColour(Panel2, page);
    Panel3->SetPageColour(page);
    if (!session_.PackOpen()) {
        return;
    }
    session_.Redraw();
    RenderPalettes();
}

void Tfrm_Main::GameClick(const glyphtint::render::GameProfile& game)
{
    glyphtint::app::SetWindowGame(game);
    if (hooks_.settings) {
        hooks_.settings->setValue("game", QString::fromUtf8(game.id.data(), static_cast<qsizetype>(game.id.size())));
    }
    for (int i = 0; i < pc_Tabs->count(); ++i) {
        if (auto* page = dynamic_cast<glyphtint::app::AttemptPage*>(pc_Tabs->widget(i))) {
            page->ShowLengths();
        }
    }
    PreviewClick();
}

void Tfrm_Main::RenderPalettes()
{
    session_.Timed(std::string_view(kPaletteText1).size() + std::string_view(kPaletteText2).size(),
                   [this](RenderSession::Pack& pack) { Panel3->RenderPalettes(pack, session_.Style()); });
}

void Tfrm_Main::Exit1Click()
{
    close();
}
