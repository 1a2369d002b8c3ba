// Tfrm_Main: attempt tabs, the tab change, and rendering of the text boxes.
#include "app/MainWindow.h"

#include "app/Anchors.h"
#include "app/Pictures.h"
#include "render/GlyphStrip.h"

#include <QApplication>
#include <QGuiApplication>
#include <QSignalBlocker>

#include <chrono>
#include <stdexcept>
#include <utility>

using namespace glyphtint::app;

namespace {

// Run-time geometry of an attempt tab's text box.
constexpr int kBoxLeft = 8;
constexpr int kBoxTop = 24;
constexpr int kBoxHeight = 21;

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

QWidget* Tfrm_Main::NewAttemptPage(const QString& caption)
{
    auto* page = new QWidget;
    // The program's own page changes are not tab changes: pc_Tabs stays silent.
    const QSignalBlocker programChange(pc_Tabs);
    pc_Tabs->addTab(page, ImageList1[kImageAttempt], caption);
    return page;
}

TLabeledEdit* Tfrm_Main::NewTextBox(QWidget* page, int left, int top, int width, int height)
{
    auto* box = new TLabeledEdit(page, "Text:");
    box->setGeometry(left, top, width, height);
    WireTextBox(box);
    return box;
}

void Tfrm_Main::WireTextBox(TLabeledEdit* box)
{
    box->OnChange = [this](TLabeledEdit& sender) { edt_TextChange(sender); };
    connect(box, &QLineEdit::textChanged, this, [this, box] {
        if (!destroyed_) {
            RunGuarded([box] { box->OnChange(*box); });
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
    QWidget* previous = pc_Tabs->currentWidget();

    QWidget* page = new QWidget;
    {
        const QSignalBlocker programChange(pc_Tabs);
        pc_Tabs->insertTab(pc_Tabs->count() - 1, page, ImageList1[kImageAttempt],
                           QString("Attempt %1").arg(TabCounter));
    }
    // The new page is not laid out yet: its box takes the width of the page it replaces.
    const int pageWidth = previous ? previous->width() : page->width();
    page->resize(pageWidth, previous ? previous->height() : page->height());
    TLabeledEdit* box = NewTextBox(page, kBoxLeft, kBoxTop, pageWidth - 2 * kBoxLeft, kBoxHeight);
    AnchorRight(box, kBoxLeft, RightAnchor::Stretch);
    ActivatePageQuietly(pc_Tabs->indexOf(page));
    // Typing goes into the new attempt, wherever the focus was.
    box->setFocus();
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

TLabeledEdit* Tfrm_Main::ActivePageEdit() const
{
    QWidget* page = pc_Tabs->currentWidget();
    if (page == nullptr) {
        return nullptr;
    }
    for (QObject* child : page->children()) {
        if (auto* box = dynamic_cast<TLabeledEdit*>(child)) {
            return box;
        }
    }
    return nullptr;
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
    if (TLabeledEdit* box = ActivePageEdit()) {
        edt_TextChange(*box);
    } else {
        renderQueue_.Request({});
    }
}

void Tfrm_Main::edt_TextChange(TLabeledEdit& sender)
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
