// Tfrm_Main: construction of the layout, start-up and shutdown, and the boxes it shows.
#include "app/MainWindow.h"

#include "app/GameChoice.h"

#include "app/Accessibility.h"
#include "app/Pictures.h"
#include "app/Placement.h"
#include "render/GlyphArchivePath.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTabBar>
#include <QTimer>
#include <QWindow>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <filesystem>

using namespace glyphtint::app;

namespace {

// Client area at the design size: ToolBar1 29 + pc_Tabs 176 + Panel1 55 + Panel3 100.
constexpr int kClientWidth = 340;
constexpr int kClientHeight = 360;
constexpr int kBorderWidth = 2;
constexpr QPoint kDesignedPosition(461, 532);
// The render band (Panel1) and the strip of it above the bevelled panel.
constexpr int kRenderBandHeight = 55;
constexpr int kRenderBandTop = 8;
// How long after showing the window manager may take to put its frame around the window.
constexpr int kFrameWaitMs = 5000;

QString ToQString(const std::string& utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// A message box without parent, centred on its screen. Qt centres such a box by the size it
// has before it is shown, which a message box only takes on while showing; so the box is
// centred again once it has its size, and once the window manager has put its frame on.
class CentredMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        Centre();
        for (const int ms : {100, 500}) {
            QTimer::singleShot(ms, this, [this] { Centre(); });
        }
    }

private:
    void Centre()
    {
        const QScreen* shownOn = screen();
        if (shownOn == nullptr) {
            return;
        }
        const QRect area = shownOn->availableGeometry();
        const QRect frame = frameGeometry();
        const QPoint wanted(area.x() + (area.width() - frame.width()) / 2,
                            area.y() + (area.height() - frame.height()) / 2);
        if (frame.topLeft() != wanted) {
            move(wanted);
        }
    }
};

} // namespace

std::unique_ptr<QInputDialog> glyphtint::app::NewPasswordBox(QWidget* parent, const std::string& entryName,
                                                             const std::string& password)
{
    auto box = std::make_unique<QInputDialog>(parent);
    // The title stays short, so that no title bar cuts it; the entry is named in the text.
    box->setWindowTitle("Password");
    box->setLabelText(
        QString("The glyph \"%1\" is encrypted.\nEnter the glyph pack's password:").arg(ToQString(entryName)));
    box->setTextEchoMode(QLineEdit::Password);
    box->setTextValue(ToQString(password));
    box->setOkButtonText("OK");
    box->setCancelButtonText("Cancel");
    return box;
}

Tfrm_Main::Tfrm_Main(WindowHooks hooks)
    : hooks_(std::move(hooks)),
      guard_([this](const std::string& message, const std::string& advice) { ReportInBox(message, advice); }),
      session_(
          guard_, [this]() -> TPicture& { return img_Render->Picture(); }, SessionHooks()),
      scale_(WindowFont(QApplication::font()))
{
    setObjectName("frm_Main");
    setWindowTitle(kApplicationTitle);
    setWindowIcon(ProgramIcon());
    setFont(WindowFont(QApplication::font()));
    ImageList1 = glyphtint::app::ImageList1();
    InstallAccessibleInterfaces();

    // The game of the last run, or glyphtint's own: chosen before anything reads a text.
    const glyphtint::render::GameProfile* remembered =
        hooks_.settings ? glyphtint::render::FindGameProfile(hooks_.settings->value("game").toString().toStdString())
                        : nullptr;
    glyphtint::app::SetWindowGame(remembered != nullptr ? *remembered : glyphtint::render::DefaultGameProfile());
    CreateActions();
    CreateMenu();
    auto* client = new QWidget(this);
    auto* bands = new QVBoxLayout(client);
    bands->setContentsMargins(scale_(kBorderWidth), scale_(kBorderWidth), scale_(kBorderWidth), scale_(kBorderWidth));
    bands->setSpacing(0);
    CreateToolBar(client);
    CreateTabs(client);
    CreateRenderPanel(client);
    Panel3 = new ColoursPanel(scale_, client);
    Panel3->OnSampleClick = [this](char code) {
        if (!destroyed_) {
            RunGuarded([this, code] { img_ColorsClick(code); });
        }
    };
    bands->addWidget(ToolBar1);
    bands->addWidget(pc_Tabs, 1);
    bands->addWidget(Panel1);
    bands->addWidget(Panel3);
    setCentralWidget(client);
    client->installEventFilter(this);
    Panel3->installEventFilter(this);
    // A large font can wrap the About page's help into more lines than the design has room
    // for: the tabs are at least as tall as that page's lines at the designed width.
    const int tabsFrame = 2 * pc_Tabs->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, pc_Tabs);
    pc_Tabs->setMinimumHeight(TabSheet2->HeightAt(scale_(kClientWidth) - tabsFrame) +
                              pc_Tabs->tabBar()->sizeHint().height() + tabsFrame);
    // The designed size, or what the parts need where a large font makes them bigger.
    client->setMinimumSize(
        QSize(scale_(kClientWidth) + 2 * scale_(kBorderWidth), scale_(kClientHeight) + 2 * scale_(kBorderWidth))
            .expandedTo(bands->minimumSize()));
    resize(minimumSizeHint());

    // Where the design puts the frame, kept on the screen; once the window manager has
    // framed the window, PlaceOnScreen looks again with the frame's real size.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(FramePosition(screen->availableGeometry(), frameGeometry().size(), kDesignedPosition));
    }

    // As loaded, before FormCreate: the About tab is the active page.
    ActivatePageQuietly(AboutTabIndex());

    SaveDialog1.Filters = QStringList{"JPEG image (*.jpg)", "All files (*)"};
    SaveDialog1.DefaultExt = "jpg";
    ExportDialog1.Filters = QStringList{"PNG image (*.png)", "All files (*)"};
    ExportDialog1.DefaultExt = "png";

    tmr_Teller.OnTimer = [this] { RunGuarded([this] { tmr_TellerTimer(); }); };
    ConnectHandlers();
    UpdateCommands();
    ShowBannerNote();
}

RenderSessionHooks Tfrm_Main::SessionHooks()
{
    RenderSessionHooks hooks;
    hooks.askPassword = [this](const std::string& entryName, const std::string& password) {
        return AskPasswordInBox(entryName, password);
    };
    // A refused or broken render leaves its own picture: the description follows it.
    hooks.failed = [this](const std::string& text) { DescribeRenderedPicture(text); };
    hooks.ready = [this](const std::string& text) {
        FitRenderBand();
        DescribeRenderedPicture(text);
        if (hooks_.rendered) {
            hooks_.rendered(text);
        }
    };
    return hooks;
}

Tfrm_Main::~Tfrm_Main()
{
    tmr_Teller.SetEnabled(false);
    if (!destroyed_) {
        RunGuarded([this] { FormDestroy(); });
    }
    // The widgets go while the handlers' state still exists; signals they send on the
    // way out find destroyed_ set and run nothing.
    delete takeCentralWidget();
}

void Tfrm_Main::DescribeRenderedPicture(const std::string& text)
{
    if (destroyed_) {
        return;
    }
    // The banner is told as a whole: a description growing by a letter per tick would be
    // read out ten times a second.
    // An empty picture (a refused text) is told as such, without reading the text.
    const std::string_view told = img_Render->Picture().Width() == 0 ? std::string_view()
                                  : AboutTabShowing()                ? BannerText
                                                                     : std::string_view(text);
    SetAccessibleDescription(img_Render, PictureDescription(told, session_.Style()));
}

void Tfrm_Main::Announce(const QString& message)
{
    Panel3->Announce(message);
}

void Tfrm_Main::CreateRenderPanel(QWidget* parent)
{
    Panel1 = new QFrame(parent);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(scale_(kRenderBandHeight));
    auto* strip = new QVBoxLayout(Panel1);
    strip->setContentsMargins(0, scale_(kRenderBandTop), 0, 0);
    Panel2 = NewLoweredPanel(Panel1);
    Panel2->setObjectName("Panel2");
    strip->addWidget(Panel2);
    auto* inside = new QVBoxLayout(Panel2);
    // The frame keeps its 1-pixel bevel out of the layout already.
    inside->setContentsMargins(0, 0, 0, 0);
    img_Render = new TImage(Panel2);
    img_Render->setObjectName("img_Render");
    img_Render->installEventFilter(this);
    img_Render->setAccessibleName("Picture");
    img_Render->setAccessibleDescription(PictureDescription({}, {}));
    inside->addWidget(img_Render);
    // Holds the image while it is zoomed, with scroll bars where the zoomed strip is
    // larger than the panel; at actual size the image stands in the panel as designed.
    ScrollBox1 = new QScrollArea(Panel2);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setWidgetResizable(true);
    ScrollBox1->setFocusPolicy(Qt::NoFocus);
    ScrollBox1->hide();
    inside->addWidget(ScrollBox1);
    // A zoomed strip larger than the panel shows from its top-left corner, so that its first
    // characters are never the ones cut; the scroll bars start there and stay where the
    // person puts them.
}

void Tfrm_Main::FitRenderBand()
{
    if (destroyed_) {
        return;
    }
    const int designed = scale_(kRenderBandHeight);
    const int zoom = img_Render->Zoom();
    if (img_Render->Picture().Height() > 0) {
        stripHeight_ = img_Render->Picture().Height();
    }
    int wanted = designed;
    if (zoom > 1 && stripHeight_ > 0) {
        const int inside = Panel2->contentsRect().width();
        const bool scrollsAcross = img_Render->Picture().Width() * zoom > inside;
        const int acrossBar = scrollsAcross ? ScrollBox1->horizontalScrollBar()->sizeHint().height() : 0;
        wanted = stripHeight_ * zoom + scale_(kRenderBandTop) + 2 * Panel2->frameWidth() + acrossBar;
    }
    // The tabs give what the window has beyond their least height, which keeps the text
    // box; the toolbar and the colours panel keep theirs.
    const int bands =
        centralWidget()->height() - 2 * scale_(kBorderWidth) - ToolBar1->minimumHeight() - Panel3->minimumHeight();
    const int room = bands - pc_Tabs->minimumHeight();
    const int band = std::max(designed, std::min(wanted, room));
    if (Panel1->minimumHeight() != band) {
        Panel1->setFixedHeight(band);
    }
}

void Tfrm_Main::FormCreate()
{
    const std::string path = hooks_.archivePath.empty() ? glyphtint::render::GlyphArchivePath() : hooks_.archivePath;
    std::error_code error;
    if (!std::filesystem::exists(path, error) || std::filesystem::is_directory(path, error)) {
        // The second line says where the program looked, so the person knows where the pack belongs.
        ShowPlainMessage(std::string(kArchiveMissingMessage) + "\nIt was looked for at " + path);
        quitRequested_ = true;
        return;
    }
    OpenGlyphPack(path);
    // The readouts said that nothing could be drawn while no pack was open.
    TabSheet1->ShowLengths();
    TabCounter = 1;
    BannerCounter = 1;
    ActivatePageQuietly(0);
    // The user can type at once.
    edt_Text->setFocus();
    // The palettes' cost per byte tells how long the first text will take.
    RenderPalettes();
}

void Tfrm_Main::FormDestroy()
{
    destroyed_ = true;
    session_.Close();
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
    // Without a parent, centred on the screen.
    CentredMessageBox box(QMessageBox::NoIcon, kApplicationTitle, ToQString(message), QMessageBox::Ok);
    box.exec();
}

std::optional<std::string> Tfrm_Main::AskPasswordInBox(const std::string& entryName, const std::string& password)
{
    if (hooks_.askPassword) {
        return hooks_.askPassword(entryName, password);
    }
    const std::unique_ptr<QInputDialog> box = NewPasswordBox(isVisible() ? this : nullptr, entryName, password);
    if (box->exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return box->textValue().toUtf8().toStdString();
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

bool Tfrm_Main::eventFilter(QObject* watched, QEvent* event)
{
    // The room left for the band changes with the window and with the colours panel's
    // folding: the band takes what it can anew once the layout has run.
    if ((watched == centralWidget() || watched == Panel3) && event->type() == QEvent::Resize &&
        img_Render->Zoom() > 1) {
        QTimer::singleShot(0, this, [this] { FitRenderBand(); });
    }
    if (watched == img_Render && event->type() == QEvent::MouseButtonRelease && !destroyed_) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        // A press that left the image before its release is no click.
        if (mouse->button() == Qt::LeftButton && img_Render->rect().contains(mouse->position().toPoint())) {
            RunGuarded([this] { img_RenderClick(); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
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
