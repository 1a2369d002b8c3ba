// Tfrm_Main: attempt tabs, the tab change, and rendering of the text boxes.
#include "app/MainWindow.h"

#include "app/Anchors.h"
#include "app/Pictures.h"
#include "render/GlyphStrip.h"

#include <QApplication>
#include <QSignalBlocker>

using namespace glyphtint::app;

namespace {

// Run-time geometry of an attempt tab's text box.
constexpr int kBoxLeft = 8;
constexpr int kBoxTop = 24;
constexpr int kBoxHeight = 21;

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
    const QSignalBlocker programChange(pc_Tabs);
    pc_Tabs->setCurrentIndex(index);
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
    QWidget* focus = QApplication::focusWidget();
    const bool focusOnPrevious = previous != nullptr && focus != nullptr && previous->isAncestorOf(focus);

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
    if (focusOnPrevious) {
        box->setFocus();
    }
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
    renderQueue_.Request(sender.Text());
}

void Tfrm_Main::RenderIntoRenderImage(const std::string& text)
{
    RenderCodedText(ZipArchive1, text, img_Render->Picture());
}

void Tfrm_Main::Addtab1Click()
{
    ToolButton1Click();
}

void Tfrm_Main::Removetab1Click()
{
    ToolButton2Click();
}
