// Tfrm_Main: attempt tabs, the tab change, and rendering of the text boxes.
#include "app/MainWindow.h"

#include "app/Pictures.h"
#include "render/GlyphPack.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSignalBlocker>

#include <chrono>
#include <stdexcept>
#include <utility>

using namespace glyphtint::app;

namespace {

// Shows the busy cursor for as long as it lives, when asked to.
class BusyCursor {
public:
    explicit BusyCursor(bool shown) : shown_(shown)
    {
        if (shown_) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        }
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    ~BusyCursor()
    {
        if (shown_) {
            QGuiApplication::restoreOverrideCursor();
        }
    }

private:
    bool shown_;
};

} // namespace

void Tfrm_Main::CreateTabs(QWidget* parent)
{
    pc_Tabs = new QTabWidget(parent);
    pc_Tabs->setObjectName("pc_Tabs");
    pc_Tabs->setTabPosition(QTabWidget::South);
    pc_Tabs->setUsesScrollButtons(true);
    pc_Tabs->setElideMode(Qt::ElideNone);
    pc_Tabs->setIconSize(QSize(16, 16));
    pc_Tabs->setMinimumSize(0, 0);

    TabSheet1 = NewAttemptPage();
    TabSheet1->setObjectName("TabSheet1");
    edt_Text = TabSheet1->TextBox();
    edt_Text->setObjectName("edt_Text");
    pc_Tabs->addTab(TabSheet1, ImageList1[kImageAttempt], "Attempt 1");

    TabSheet2 = new AboutPage(scale_);
    TabSheet2->setObjectName("TabSheet2");
    LabeledEdit1 = TabSheet2->BannerBox();
    WireTextBox(LabeledEdit1);
    pc_Tabs->addTab(TabSheet2, ImageList1[kImageAbout], "About...");
}

AttemptPage* Tfrm_Main::NewAttemptPage()
{
    auto* page = new AttemptPage(scale_);
    page->GlyphPackOpen = [this] { return ZipArchive1.Active(); };
    page->ShowLengths();
    WireTextBox(page->TextBox());
    return page;
}

void Tfrm_Main::WireTextBox(TTextBox* box)
{
    // User edits and the program's SetText both arrive here.
    connect(box, &QLineEdit::textChanged, this, [this, box] {
        if (!destroyed_) {
            RunGuarded([this, box] { edt_TextChange(*box); });
        }
    });
}

void Tfrm_Main::ActivatePageQuietly(int index)
{
    {
        const QSignalBlocker programChange(pc_Tabs);
        pc_Tabs->setCurrentIndex(index);
    }
    UpdateCommands();
}

void Tfrm_Main::OnCurrentTabChanged()
{
    if (!destroyed_) {
        RunGuarded([this] { pc_TabsChange(); });
    }
}

void Tfrm_Main::ToolButton1Click()
{
    ++TabCounter;
    AttemptPage* page = NewAttemptPage();
    {
        const QSignalBlocker programChange(pc_Tabs);
        pc_Tabs->insertTab(pc_Tabs->count() - 1, page, ImageList1[kImageAttempt],
                           QString("Attempt %1").arg(TabCounter));
    }
    ActivatePageQuietly(pc_Tabs->indexOf(page));
    // Typing goes into the new attempt, wherever the focus was.
    page->TextBox()->setFocus();
    // The render panel shows the new attempt's (empty) text, so that Save and Copy
    // frame what the tab shows; a banner running above the About tab stops.
    pc_TabsChange();
}

void Tfrm_Main::ToolButton2Click()
{
    const int active = pc_Tabs->currentIndex();
    if (active == pc_Tabs->count() - 1 || pc_Tabs->count() <= 2) {
        return;
    }
    QWidget* page = pc_Tabs->widget(active);
    {
        const QSignalBlocker programChange(pc_Tabs);
        pc_Tabs->removeTab(active);
        // The page that followed the removed one takes its place.
        pc_Tabs->setCurrentIndex(active);
    }
    delete page;
    pc_TabsChange();
}

TTextBox* Tfrm_Main::ActivePageEdit() const
{
    QWidget* page = pc_Tabs->currentWidget();
    return page != nullptr ? page->findChild<TTextBox*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void Tfrm_Main::pc_TabsChange()
{
    UpdateCommands();
    if (pc_Tabs->currentIndex() == pc_Tabs->count() - 1) {
        BannerCounter = 0;
        tmr_Teller.SetEnabled(true);
    } else {
        tmr_Teller.SetEnabled(false);
    }
    if (TTextBox* box = ActivePageEdit()) {
        edt_TextChange(*box);
    } else {
        renderQueue_.Request({});
    }
}

void Tfrm_Main::edt_TextChange(TTextBox& sender)
{
    std::string text = sender.Text();
    // A text that takes longer than a glance waits until the keys already queued have
    // been read: a burst of keys then costs one render of the final text.
    if (pendingText_ || pacer_.Slow(text.size())) {
        pendingText_ = std::move(text);
        renderTimer_.start();
        return;
    }
    renderQueue_.Request(std::move(text));
}

void Tfrm_Main::img_ColorsClick(char code)
{
    if (pc_Tabs->currentIndex() == pc_Tabs->count() - 1) {
        return;
    }
    if (TTextBox* box = ActivePageEdit()) {
        // The change renders as a typed one does, through the box's textChanged.
        box->InsertColourCode(code);
        box->setFocus();
    }
}

void Tfrm_Main::FlushPendingRender()
{
    renderTimer_.stop();
    if (std::optional<std::string> text = std::exchange(pendingText_, std::nullopt)) {
        renderQueue_.Request(std::move(*text));
    }
}

void Tfrm_Main::RenderIntoRenderImage(const std::string& text)
{
    const BusyCursor busy(pacer_.Slow(text.size()));
    refusedPassword_.reset();
    passwordAsked_ = false;
    const auto start = std::chrono::steady_clock::now();
    try {
        RenderCodedText(ZipArchive1, text, img_Render->Picture());
    } catch (...) {
        if (refusedPassword_) {
            throw std::runtime_error("The glyph \"" + *refusedPassword_ +
                                     "\" needs the glyph pack's password, and none was given");
        }
        throw;
    }
    // Time spent waiting for a password says nothing about the cost of rendering.
    if (!passwordAsked_) {
        pacer_.Rendered(text.size(), std::chrono::steady_clock::now() - start);
    }
    if (hooks_.rendered) {
        hooks_.rendered(text);
    }
}

void Tfrm_Main::Addtab1Click()
{
    ToolButton1Click();
}

void Tfrm_Main::Removetab1Click()
{
    ToolButton2Click();
}
