// Tfrm_Main: attempt tabs, the tab change, and rendering of the text boxes.
#include "app/MainWindow.h"

#include "app/FocusMark.h"
#include "app/Pictures.h"

#include <QSignalBlocker>
#include <QTabBar>

using namespace glyphtint::app;

void Tfrm_Main::CreateTabs(QWidget* parent)
{
    pc_Tabs = new QTabWidget(parent);
    pc_Tabs->setObjectName("pc_Tabs");
    pc_Tabs->setTabPosition(QTabWidget::South);
    pc_Tabs->setUsesScrollButtons(true);
    pc_Tabs->setElideMode(Qt::ElideNone);
    pc_Tabs->setIconSize(QSize(16, 16));
    pc_Tabs->setMinimumSize(0, 0);
    pc_Tabs->tabBar()->setStyle(FocusMarkStyle::For(pc_Tabs->tabBar()));

    TabSheet1 = NewAttemptPage();
    TabSheet1->setObjectName("TabSheet1");
    edt_Text = TabSheet1->TextBox();
    edt_Text->setObjectName("edt_Text");
    pc_Tabs->addTab(TabSheet1, ImageList1[kImageAttempt], "Attempt 1");
    NameAttemptPage(TabSheet1, "Attempt 1");

    // Made inside the tabs, so that it measures its text in the window's font.
    TabSheet2 = new AboutPage(scale_, pc_Tabs);
    TabSheet2->setObjectName("TabSheet2");
    TabSheet2->setAccessibleName("About page");
    pc_Tabs->addTab(TabSheet2, ImageList1[kImageAbout], "About...");
    pc_Tabs->tabBar()->setAccessibleName("Attempts");
}

AttemptPage* Tfrm_Main::NewAttemptPage()
{
    auto* page = new AttemptPage(scale_);
    page->GlyphPackOpen = [this] { return session_.PackOpen(); };
    page->ShowLengths();
    WireTextBox(page->TextBox());
    return page;
}

void Tfrm_Main::NameAttemptPage(AttemptPage* page, const QString& caption)
{
    page->setAccessibleName(caption + " page");
    // Every attempt's box is "Text:": the tab tells them apart.
    page->TextBox()->setAccessibleName("Text, " + caption);
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
    const QString caption = QString("Attempt %1").arg(TabCounter);
    NameAttemptPage(page, caption);
    {
        const QSignalBlocker programChange(pc_Tabs);
        pc_Tabs->insertTab(AboutTabIndex(), page, ImageList1[kImageAttempt], caption);
    }
    // The new box is the page's focus before the page shows, so that the switch hands the
    // focus straight to it: hiding the page that holds the focus would otherwise pass it
    // along the Tab chain (to "Colors", or back to the old box), which a screen reader
    // announces before the new box.
    page->TextBox()->setFocus();
    ActivatePageQuietly(pc_Tabs->indexOf(page));
    // Typing goes into the new attempt, wherever the focus was.
    page->TextBox()->setFocus();
    // The render panel shows the new attempt's (empty) text, so that Save and Copy
    // frame what the tab shows; a banner running above the About tab stops.
    pc_TabsChange();
}

void Tfrm_Main::OpenTexts(const std::vector<std::string>& texts)
{
    if (!session_.PackOpen() || texts.empty()) {
        return;
    }
    // Each text goes into the page showing at the time, so that only a shown text is drawn.
    ActivatePageQuietly(0);
    edt_Text->SetText(texts.front());
    for (std::size_t i = 1; i < texts.size(); ++i) {
        ToolButton1Click();
        ActivePageEdit()->SetText(texts[i]);
    }
    if (texts.size() > 1) {
        ActivatePageQuietly(0);
        pc_TabsChange();
    }
    edt_Text->setFocus();
}

void Tfrm_Main::ToolButton2Click()
{
    const int active = pc_Tabs->currentIndex();
    if (AboutTabShowing() || pc_Tabs->count() <= 2) {
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

int Tfrm_Main::AboutTabIndex() const
{
    return pc_Tabs->count() - 1;
}

bool Tfrm_Main::AboutTabShowing() const
{
    return pc_Tabs->currentIndex() == AboutTabIndex();
}

void Tfrm_Main::pc_TabsChange()
{
    UpdateCommands();
    Announce({});
    if (AboutTabShowing()) {
        StartBanner();
        return;
    }
    tmr_Teller.SetEnabled(false);
    img_Render->setToolTip({});
    if (TTextBox* box = ActivePageEdit()) {
        edt_TextChange(*box);
    } else {
        session_.Request({});
    }
}

void Tfrm_Main::edt_TextChange(TTextBox& sender)
{
    // "Picture copied" was about the picture before this change.
    Announce({});
    // A long text waits for the keys already queued: a burst costs one render.
    session_.Request(sender.Text());
}

void Tfrm_Main::img_ColorsClick(char code)
{
    if (AboutTabShowing()) {
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
    session_.Flush();
}

void Tfrm_Main::Addtab1Click()
{
    ToolButton1Click();
}

void Tfrm_Main::Removetab1Click()
{
    ToolButton2Click();
}
