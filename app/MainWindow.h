// Tfrm_Main: the program's one window (frm_Main) with its components and handlers.
#pragma once

#include "app/AboutPage.h"
#include "app/AttemptPage.h"
#include "app/ColoursPanel.h"
#include "app/DesignScale.h"
#include "app/HandlerGuard.h"
#include "app/Image.h"
#include "app/RenderSession.h"
#include "app/SaveDialog.h"
#include "app/TextBox.h"
#include "app/Timer.h"

#include <QFrame>
#include <QIcon>
#include <QInputDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QSettings>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The banner that the About tab types out: the program name with its letters in nine
// colours, the version, and the author.
inline constexpr std::string_view BannerText = "^1g^2l^3y^4p^5h^6t^7i^8n^0t ^z[0.1] ^7by tuvo";

namespace glyphtint::app {

// The application title: the window caption and the caption of every message box.
inline constexpr const char* kApplicationTitle = "glyphtint [0.1]";
inline constexpr const char* kArchiveMissingMessage = "File glyphtint.gfx not found!";

// What the window asks of the user, replaceable so that tests answer instead of a person.
struct WindowHooks {
    // The glyph archive; empty means glyphtint.gfx beside the executable.
    std::string archivePath;
    // The error box; empty means a modal box with the error icon and one OK button.
    ErrorReporter reportError;
    // The one plain message (the missing archive); empty means a modal box without icon.
    std::function<void(const std::string& message)> showMessage;
    // The password request for an encrypted entry: the typed password, or nothing
    // for Cancel. Empty means the modal input box.
    std::function<std::optional<std::string>(const std::string& entryName, const std::string& password)> askPassword;
    // Told after every render into the render image, with the text rendered, while the
    // busy cursor of a long render still shows; empty means nobody listens.
    std::function<void(const std::string& text)> rendered;
    // Where the window keeps the game chosen for the next run; empty means it starts with
    // glyphtint's codes and remembers nothing.
    std::shared_ptr<QSettings> settings;
};

// The password request of an encrypted glyph: a short title, the entry named in the text,
// the given password filled in and hidden.
std::unique_ptr<QInputDialog> NewPasswordBox(QWidget* parent, const std::string& entryName,
                                             const std::string& password);

} // namespace glyphtint::app

class Tfrm_Main : public QMainWindow {
    // First, since the components below refer to them.
    glyphtint::app::WindowHooks hooks_;
    glyphtint::app::HandlerGuard guard_;
    glyphtint::app::RenderSession session_;

public:
    explicit Tfrm_Main(glyphtint::app::WindowHooks hooks = {});
    ~Tfrm_Main() override;

    // Start-up and shutdown.
    void FormCreate();
    void FormDestroy();
    // Opens the glyph pack that every picture is drawn with, closing the one before.
    void OpenGlyphPack(const std::string& path) { session_.Open(path); }
    bool GlyphPackOpen() const { return session_.PackOpen(); }
    // True once FormCreate has asked the program to end (the archive is missing).
    bool QuitRequested() const { return quitRequested_; }

    // Attempt tabs.
    // Texts given at start: the first into "Attempt 1", each other into a tab of its own;
    // "Attempt 1" shows, its text drawn. Nothing happens without an open glyph pack,
    // whose failure has been reported already.
    void OpenTexts(const std::vector<std::string>& texts);
    void ToolButton1Click();
    void ToolButton2Click();
    void pc_TabsChange();
    void edt_TextChange(TTextBox& sender);
    // A click on a palette sample: its code goes in at the active attempt's cursor.
    void img_ColorsClick(char code);

    // About tab banner.
    void tmr_TellerTimer();
    // A click on the render image while the About tab shows: pauses or resumes the banner.
    void img_RenderClick();
    // The desktop asks for no animation: the banner shows whole and keeps still.
    bool ReducedMotion() const;

    // Saving and copying the framed picture of the active attempt. An empty path
    // means the clipboard; on the About tab nothing happens.
    void ExportImage(const std::string& path);
    std::string ActiveAttemptText() const;
    void ToolButton4Click();
    void ToolButton5Click();

    // The commands' actions (menu item, toolbar button and key alike), each running the
    // handler named after its toolbar button.
    void Addtab1Click();
    void Removetab1Click();
    void Saveimage1Click();
    void Copyimagetoclipboard1Click();
    void Exportstrip1Click();
    void Exit1Click();
    void Zoomin1Click();
    void Zoomout1Click();
    void Actualsize1Click();
    // Preview on and Legible colours: the render image and the palettes drawn anew.
    void PreviewClick();
    // A game chosen in the Game menu: every text is read by its rules from now on, and the
    // choice is kept for the next run.
    void GameClick(const glyphtint::render::GameProfile& game);

    // The active attempt's strip as the PNG glyphtint-render --strip writes, at the
    // current zoom, preview background and legibility; on the About tab nothing happens.
    void ExportStrip(const std::string& path);
    // What the render panel and the palettes are drawn in: the preview's background and
    // legibility.
    glyphtint::render::PictureStyle PreviewStyle() const;
    // Draws both palettes in the session's style; their time teaches the session's pacer.
    void RenderPalettes();

    // Runs a handler through the window's one guard: failures become error reports.
    template <class Handler> void RunGuarded(Handler&& handler) noexcept { guard_.Run(std::forward<Handler>(handler)); }

    // The text box of the active page, as the tab change finds it; null if none.
    TTextBox* ActivePageEdit() const;

    // Renders a text change that was left for later (a long text while keys arrive) now.
    void FlushPendingRender();

    // Components without a widget of their own, named as the layout names them.
    TTimer tmr_Teller{100};
    TSaveDialog SaveDialog1;
    TSaveDialog ExportDialog1;

    // The number of the most recently made attempt tab, how many banner characters show,
    // and the banner as typed out so far.
    std::int32_t TabCounter = 0;
    std::int32_t BannerCounter = 0;
    std::string BannerShown;

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The render image's clicks.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Construction, one area each.
    void CreateActions();
    void CreateMenu();
    void CreateToolBar(QWidget* parent);
    void CreateTabs(QWidget* parent);
    void CreateRenderPanel(QWidget* parent);
    void ConnectHandlers();
    // Save, Copy and Remove tab are offered only where they can do something; the menu
    // items, buttons and keys follow their actions.
    void UpdateCommands();
    void SetZoom(int zoom);
    // While zoomed, the render band grows to the zoomed strip's height, taking it from the
    // tabs as far as they can give it; at actual size it keeps its designed height.
    void FitRenderBand();
    // Keeps the whole frame inside the screen's available area.
    void PlaceOnScreen();

    glyphtint::app::AttemptPage* NewAttemptPage();
    void WireTextBox(TTextBox* box);
    // Makes a page active as the program does, which is not a tab change.
    void ActivatePageQuietly(int index);
    void OnCurrentTabChanged();
    // The About tab is the last one; the attempts come before it.
    int AboutTabIndex() const;
    bool AboutTabShowing() const;
    // On selecting the About tab and on a click: the banner typed out, or whole and still.
    void StartBanner();
    // Says on the About tab, and in the banner's tooltip, whether and how it moves.
    void ShowBannerNote();

    // The render session's boxes and listener: the window's.
    glyphtint::app::RenderSessionHooks SessionHooks();
    void ReportInBox(const std::string& message, const std::string& advice);
    void ShowPlainMessage(const std::string& message);
    // Tells screen readers what the render panel shows now that text has been drawn.
    void DescribeRenderedPicture(const std::string& text);
    // A short confirmation in the status bar, which screen readers read out.
    void Announce(const QString& message);
    // The accessible names of an attempt page and its box, after the page's tab caption.
    static void NameAttemptPage(glyphtint::app::AttemptPage* page, const QString& caption);
    std::optional<std::string> AskPasswordInBox(const std::string& entryName, const std::string& password);

    // The window's parts, named as the layout names them (also their object names); Qt
    // owns the widgets.
    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Addtab1 = nullptr;
    QAction* Removetab1 = nullptr;
    QAction* Saveimage1 = nullptr;
    QAction* Copyimagetoclipboard1 = nullptr;
    QAction* Exportstrip1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* View1 = nullptr;
    QAction* Zoomin1 = nullptr;
    QAction* Zoomout1 = nullptr;
    QAction* Actualsize1 = nullptr;
    QAction* Previewglyph1 = nullptr;
    QAction* Previewdark1 = nullptr;
    QAction* Previewlight1 = nullptr;
    QAction* Legiblecolours1 = nullptr;
    QMenu* Game1 = nullptr;
    // One checkable action a profile, in the profiles' order; named Game_<id>.
    std::vector<QAction*> gameActions_;

    QWidget* ToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* ToolButton2 = nullptr;
    QToolButton* ToolButton4 = nullptr;
    QToolButton* ToolButton5 = nullptr;

    QTabWidget* pc_Tabs = nullptr;
    glyphtint::app::AttemptPage* TabSheet1 = nullptr;
    TTextBox* edt_Text = nullptr;
    glyphtint::app::AboutPage* TabSheet2 = nullptr;

    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    TImage* img_Render = nullptr;
    glyphtint::app::ColoursPanel* Panel3 = nullptr;

    std::vector<QIcon> ImageList1;

    glyphtint::app::DesignScale scale_;
    // The height of the last strip drawn, kept while the picture is empty.
    int stripHeight_ = 0;
    // Set from showing until the window manager has put its frame around the window.
    bool placementPending_ = false;
    bool bannerPaused_ = false;
    bool quitRequested_ = false;
    bool destroyed_ = false;
};
