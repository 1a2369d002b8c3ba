// Tfrm_Main: construction of the layout, start-up and shutdown, and the boxes it shows.
#include "app/MainWindow.h"

#include "app/Anchors.h"
#include "app/Pictures.h"
#include "app/Placement.h"
#include "render/GlyphArchivePath.h"
#include "render/GlyphStrip.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <QVBoxLayout>

#include <chrono>
#include <cmath>
#include <filesystem>

using namespace glyphtint::app;

namespace {

// The layout is designed for a window font whose text is 13 pixels high.
constexpr int kDesignedTextHeight = 13;
// Client area at the design size: ToolBar1 29 + pc_Tabs 176 + Panel1 55 + Panel3 100.
constexpr int kClientWidth = 340;
constexpr int kClientHeight = 360;
constexpr int kBorderWidth = 2;
constexpr QPoint kDesignedPosition(461, 532);
// How long after showing the window manager may take to put its frame around the window.
constexpr int kFrameWaitMs = 5000;

// Colour 7306100 of the render and palette panels.
const QColor kPanelColour(116, 123, 111);

QString ToQString(const std::string& utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QFont WindowFont()
{
    // "MS Sans Serif" 8 pt; where it is missing the nearest sans-serif face serves.
    QFont font("MS Sans Serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QFrame* NewPanel(QWidget* parent, bool lowered)
{
    auto* panel = new QFrame(parent);
    if (lowered) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setLineWidth(1);
        panel->setAutoFillBackground(true);
        QPalette palette = panel->palette();
        palette.setColor(QPalette::Window, kPanelColour);
        panel->setPalette(palette);
    }
    return panel;
}

} // namespace

void TBevel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    const int right = width() - 1;
    if (top_) {
        painter.setPen(dark);
        painter.drawLine(0, 0, right, 0);
        painter.setPen(light);
        painter.drawLine(0, 1, right, 1);
    }
    if (bottom_) {
        painter.setPen(dark);
        painter.drawLine(0, height() - 2, right, height() - 2);
        painter.setPen(light);
        painter.drawLine(0, height() - 1, right, height() - 1);
    }
}

Tfrm_Main::Tfrm_Main(WindowHooks hooks)
    : hooks_(std::move(hooks)),
      guard_([this](const std::string& message, const std::string& advice) { ReportInBox(message, advice); }),
      renderQueue_([this](const std::string& text) { RenderIntoRenderImage(text); }, guard_)
{
    setWindowTitle(kApplicationTitle);
    setWindowIcon(ProgramIcon());
    setFont(WindowFont());
    fontScale_ = static_cast<double>(QFontMetrics(font()).height()) / kDesignedTextHeight;
    ImageList1 = glyphtint::app::ImageList1();

    CreateMenu();
    auto* client = new QWidget(this);
    auto* bands = new QVBoxLayout(client);
    bands->setContentsMargins(Scaled(kBorderWidth), Scaled(kBorderWidth), Scaled(kBorderWidth), Scaled(kBorderWidth));
    bands->setSpacing(0);
    CreateToolBar(client);
    CreateTabs(client);
    CreateRenderPanel(client);
    CreateColoursPanel(client);
    bands->addWidget(ToolBar1);
    bands->addWidget(pc_Tabs, 1);
    bands->addWidget(Panel1);
    bands->addWidget(Panel3);
    setCentralWidget(client);
    client->setMinimumSize(Scaled(kClientWidth) + 2 * Scaled(kBorderWidth),
                           Scaled(kClientHeight) + 2 * Scaled(kBorderWidth));
    resize(minimumSizeHint());

    // Where the design puts the frame, kept on the screen; once the window manager has
    // framed the window, PlaceOnScreen looks again with the frame's real size.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(FramePosition(screen->availableGeometry(), frameGeometry().size(), kDesignedPosition));
    }

    // As loaded, before FormCreate: the About tab is the active page.
    ActivatePageQuietly(pc_Tabs->count() - 1);

    SaveDialog1.Filters = QStringList{"JPEG image (*.jpg)", "All files (*)"};
    SaveDialog1.DefaultExt = "jpg";

    ZipArchive1.OnPassword = [this](TZipBaseArchiver&, const std::string& entryName, std::string& password,
                                    bool& skip) { AnswerPasswordRequest(entryName, password, skip); };
    tmr_Teller.OnTimer = [this] { RunGuarded([this] { tmr_TellerTimer(); }); };
    renderTimer_.setSingleShot(true);
    renderTimer_.setInterval(0);
    connect(&renderTimer_, &QTimer::timeout, this, [this] {
        if (!destroyed_) {
            RunGuarded([this] { FlushPendingRender(); });
        }
    });
    NameComponents();
    AddShortcuts();
    ConnectHandlers();
    UpdateCommands();
}

Tfrm_Main::~Tfrm_Main()
{
    tmr_Teller.SetEnabled(false);
    renderTimer_.stop();
    if (!destroyed_) {
        RunGuarded([this] { FormDestroy(); });
    }
    // The widgets go while the handlers' state still exists; signals they send on the
    // way out find destroyed_ set and run nothing.
    delete takeCentralWidget();
}

int Tfrm_Main::Scaled(int designed) const
{
    return static_cast<int>(std::lround(designed * fontScale_));
}

void Tfrm_Main::CreateMenu()
{
    MainMenu1 = new QMenuBar(this);
    File1 = MainMenu1->addMenu("&File");
    Addtab1 = File1->addAction("&Add tab");
    Removetab1 = File1->addAction("&Remove tab");
    N1 = File1->addSeparator();
    Saveimage1 = File1->addAction("&Save image...");
    Copyimagetoclipboard1 = File1->addAction("&Copy image to clipboard");
    N2 = File1->addSeparator();
    Exit1 = File1->addAction("E&xit");
    setMenuBar(MainMenu1);
}

void Tfrm_Main::CreateToolBar(QWidget* parent)
{
    ToolBar1 = new TBevel(parent, true, true);
    ToolBar1->setFixedHeight(Scaled(29));
    const int top = Scaled(3);
    auto button = [&](int left, int image, const char* hint) {
        auto* b = new QToolButton(ToolBar1);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setIcon(ImageList1[image]);
        b->setIconSize(QSize(16, 16));
        b->setToolTip(hint);
        b->setGeometry(Scaled(left), top, Scaled(23), Scaled(22));
        return b;
    };
    ToolButton1 = button(0, kImageAdd, "Add tab");
    ToolButton2 = button(23, kImageRemove, "Remove tab");
    ToolButton3 = new QWidget(ToolBar1);
    ToolButton3->setGeometry(Scaled(46), top, Scaled(8), Scaled(22));
    ToolButton4 = button(54, kImageSave, "Save image to disk");
    ToolButton5 = button(77, kImageCopy, "Copy image to clipboard");
}

void Tfrm_Main::CreateTabs(QWidget* parent)
{
    pc_Tabs = new QTabWidget(parent);
    pc_Tabs->setTabPosition(QTabWidget::South);
    pc_Tabs->setUsesScrollButtons(true);
    pc_Tabs->setElideMode(Qt::ElideNone);
    pc_Tabs->setIconSize(QSize(16, 16));
    pc_Tabs->setMinimumSize(0, 0);

    TabSheet1 = NewAttemptPage("Attempt 1");
    // The designed page is 332 pixels wide: the box keeps 8 pixels on either side.
    edt_Text = NewTextBox(TabSheet1, Scaled(8), Scaled(24), Scaled(316), Scaled(21));
    AnchorRight(edt_Text, Scaled(8), RightAnchor::Stretch);
    CreateAboutTab();
}

void Tfrm_Main::CreateAboutTab()
{
    TabSheet2 = new QWidget;
    pc_Tabs->addTab(TabSheet2, ImageList1[kImageAbout], "About...");

    Image1 = new QLabel(TabSheet2);
    Image1->setPixmap(ProgramIconPixmap32());
    Image1->setGeometry(Scaled(8), Scaled(8), 32, 32);

    Label1 = new QLabel("glyphtint", TabSheet2);
    QFont bold = font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label1->move(Scaled(48), Scaled(8));
    Label1->adjustSize();

    Label2 = new QLabel("version 0.1", TabSheet2);
    Label2->move(Scaled(48), Scaled(24));
    Label2->adjustSize();

    Label5 = new QLabel("You can use add colors using the ^ character followed by a color code (0-9, a-z and most "
                        "of the other characters). For example ^1m00 will give the word m00 in red :)",
                        TabSheet2);
    Label5->setWordWrap(true);
    Label5->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label5->setGeometry(Scaled(8), Scaled(56), Scaled(317), Scaled(41));
    AnchorRight(Label5, Scaled(332 - 8 - 317), RightAnchor::Stretch);

    Bevel1 = new TBevel(TabSheet2, true, false);
    Bevel1->setGeometry(Scaled(8), Scaled(104), Scaled(315), Scaled(17));
    AnchorRight(Bevel1, Scaled(332 - 8 - 315), RightAnchor::Stretch);

    Label3 = new QLabel("Written by tuvo", TabSheet2);
    Label3->move(Scaled(8), Scaled(112));
    Label3->adjustSize();

    Label4 = new QLabel("tuvo.example.net", TabSheet2);
    Label4->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label4->setGeometry(Scaled(223), Scaled(112), Scaled(100), Label3->height());
    AnchorRight(Label4, Scaled(9), RightAnchor::Follow);

    LabeledEdit1 = NewTextBox(TabSheet2, Scaled(200), Scaled(24), Scaled(121), Scaled(21));
    LabeledEdit1->setVisible(false);
}

void Tfrm_Main::CreateRenderPanel(QWidget* parent)
{
    Panel1 = NewPanel(parent, false);
    Panel1->setFixedHeight(Scaled(55));
    auto* strip = new QVBoxLayout(Panel1);
    strip->setContentsMargins(0, Scaled(8), 0, 0);
    Panel2 = NewPanel(Panel1, true);
    strip->addWidget(Panel2);
    auto* inside = new QVBoxLayout(Panel2);
    // The frame keeps its 1-pixel bevel out of the layout already.
    inside->setContentsMargins(0, 0, 0, 0);
    img_Render = new TImage(Panel2);
    inside->addWidget(img_Render);
}

void Tfrm_Main::CreateColoursPanel(QWidget* parent)
{
    Panel3 = NewPanel(parent, false);
    Panel3->setFixedHeight(Scaled(100));

    SpeedButton1 = new QToolButton(Panel3);
    SpeedButton2 = new QToolButton(Panel3);
    for (auto [button, glyph] : {std::pair{SpeedButton1, ChevronsUp()}, std::pair{SpeedButton2, ChevronsDown()}}) {
        button->setText("Colors");
        button->setIcon(glyph);
        button->setIconSize(QSize(16, 16));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        // Reached with Tab and pressed with Space, like any button.
        button->setFocusPolicy(Qt::TabFocus);
        button->setGeometry(Scaled(266), Scaled(4), Scaled(73), Scaled(22));
        AnchorRight(button, 1, RightAnchor::Follow);
    }
    // The fold button lies on top of the unfold button.
    SpeedButton2->raise();

    Panel4 = NewPanel(Panel3, true);
    Panel4->setGeometry(0, Scaled(32), Scaled(kClientWidth), Scaled(68));
    AnchorRight(Panel4, 0, RightAnchor::Stretch);
    auto* palettes = new QVBoxLayout(Panel4);
    palettes->setContentsMargins(0, 0, 0, 0);
    palettes->setSpacing(0);
    img_Colors = new TImage(Panel4);
    img_Colors2 = new TImage(Panel4);
    img_Colors2->setFixedHeight(Scaled(32));
    palettes->addWidget(img_Colors, 1);
    palettes->addWidget(img_Colors2);
}

void Tfrm_Main::FormCreate()
{
    ZipArchive1.FileName = hooks_.archivePath.empty() ? glyphtint::render::GlyphArchivePath() : hooks_.archivePath;
    std::error_code error;
    if (!std::filesystem::exists(ZipArchive1.FileName, error) ||
        std::filesystem::is_directory(ZipArchive1.FileName, error)) {
        // The second line says where the program looked, so the person knows where the pack belongs.
        ShowPlainMessage(std::string(kArchiveMissingMessage) + "\nIt was looked for at " + ZipArchive1.FileName);
        quitRequested_ = true;
        return;
    }
    ZipArchive1.Open(0);
    TabCounter = 1;
    BannerCounter = 1;
    ActivatePageQuietly(0);
    // The user can type at once.
    edt_Text->setFocus();
    // The palettes' cost per byte tells how long the first text will take.
    const auto start = std::chrono::steady_clock::now();
    RenderCodedText(ZipArchive1, kPaletteText1, img_Colors->Picture());
    RenderCodedText(ZipArchive1, kPaletteText2, img_Colors2->Picture());
    pacer_.Rendered(std::string_view(kPaletteText1).size() + std::string_view(kPaletteText2).size(),
                    std::chrono::steady_clock::now() - start);
}

void Tfrm_Main::FormDestroy()
{
    destroyed_ = true;
    ZipArchive1.Close();
}

void Tfrm_Main::ReportInBox(const std::string& message, const std::string& advice)
{
    if (hooks_.reportError) {
        hooks_.reportError(message, advice);
        return;
    }
    QMessageBox box(QMessageBox::Critical, kApplicationTitle, ToQString(message), QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.setInformativeText(ToQString(advice));
    box.exec();
}

void Tfrm_Main::ShowPlainMessage(const std::string& message)
{
    if (hooks_.showMessage) {
        hooks_.showMessage(message);
        return;
    }
    // Without a parent the box is centred on the screen.
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, ToQString(message), QMessageBox::Ok);
    box.exec();
}

std::optional<std::string> Tfrm_Main::AskPasswordInBox(const std::string& entryName, const std::string& password)
{
    if (hooks_.askPassword) {
        return hooks_.askPassword(entryName, password);
    }
    QInputDialog box(isVisible() ? this : nullptr);
    box.setWindowTitle(QString("Password for \"%1\"").arg(ToQString(entryName)));
    box.setLabelText("Enter password: ");
    box.setTextEchoMode(QLineEdit::Password);
    box.setTextValue(ToQString(password));
    box.setOkButtonText("OK");
    box.setCancelButtonText("Cancel");
    if (box.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return box.textValue().toUtf8().toStdString();
}

void Tfrm_Main::AnswerPasswordRequest(const std::string& entryName, std::string& password, bool& skip)
{
    passwordAsked_ = true;
    if (std::optional<std::string> typed = AskPasswordInBox(entryName, password)) {
        password = std::move(*typed);
    } else {
        // The render then fails on the skipped entry's missing bytes; it reports this instead.
        refusedPassword_ = entryName;
        skip = true;
    }
}

void Tfrm_Main::NameComponents()
{
    for (auto [object, name] : std::initializer_list<std::pair<QObject*, const char*>>{
             {this, "frm_Main"},
             {MainMenu1, "MainMenu1"},
             {File1, "File1"},
             {Addtab1, "Addtab1"},
             {Removetab1, "Removetab1"},
             {Saveimage1, "Saveimage1"},
             {Copyimagetoclipboard1, "Copyimagetoclipboard1"},
             {Exit1, "Exit1"},
             {ToolBar1, "ToolBar1"},
             {ToolButton1, "ToolButton1"},
             {ToolButton2, "ToolButton2"},
             {ToolButton4, "ToolButton4"},
             {ToolButton5, "ToolButton5"},
             {pc_Tabs, "pc_Tabs"},
             {TabSheet1, "TabSheet1"},
             {edt_Text, "edt_Text"},
             {TabSheet2, "TabSheet2"},
             {LabeledEdit1, "LabeledEdit1"},
             {img_Render, "img_Render"},
             {SpeedButton1, "SpeedButton1"},
             {SpeedButton2, "SpeedButton2"},
             {Panel3, "Panel3"},
             {Panel4, "Panel4"},
             {img_Colors, "img_Colors"},
             {img_Colors2, "img_Colors2"},
         }) {
        object->setObjectName(name);
    }
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

void Tfrm_Main::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    placementPending_ = true;
    PlaceOnScreen();
    // A window manager that frames the window without moving it sends no move event.
    for (const int ms : {100, 500, 1500}) {
        QTimer::singleShot(ms, this, [this] { PlaceOnScreen(); });
    }
    QTimer::singleShot(kFrameWaitMs, this, [this] { placementPending_ = false; });
}

void Tfrm_Main::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    PlaceOnScreen();
}

void Tfrm_Main::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    PlaceOnScreen();
}

void Tfrm_Main::PlaceOnScreen()
{
    const QScreen* shownOn = screen();
    if (!placementPending_ || shownOn == nullptr) {
        return;
    }
    const QRect frame = frameGeometry();
    const QPoint wanted = FramePosition(shownOn->availableGeometry(), frame.size(), kDesignedPosition);
    if (frame.topLeft() != wanted) {
        move(wanted);
    }
    // Once the window manager's frame is known, the window is the person's to move.
    if (windowHandle() != nullptr && !windowHandle()->frameMargins().isNull()) {
        placementPending_ = false;
    }
}
