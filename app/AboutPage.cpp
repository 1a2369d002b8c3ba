// AboutPage: the About tab's contents in a column: the icon beside name and version,
// the help text, and under a separator the credit and web address lines.
#include "app/AboutPage.h"

#include "app/Pictures.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace glyphtint::app {
namespace {

constexpr int kMargin = 8;
constexpr int kIconSide = 32;
constexpr int kLineSpacing = 3;
constexpr int kHelpTop = 56;
constexpr int kHelpHeight = 41;
constexpr int kHelpRightMargin = 7;
constexpr int kBevelTop = 104;
constexpr int kBevelHeight = 17;
// The credit lines stand 8 pixels below the separator's top, inside its height.
constexpr int kCreditsBelowBevel = 8;
constexpr int kCreditsRightMargin = 9;
constexpr int kAddressWidth = 100;
// The banner's note stands under the credit lines, as far below them as the help above.
constexpr int kNoteSpacing = 7;

// A wrapped text at its designed height, or taller where a large font wraps it into more
// lines than the design has room for at the width it gets.
class WrappedLabel : public QLabel {
public:
    WrappedLabel(const QString& text, int designedHeight, QWidget* parent)
        : QLabel(text, parent), designedHeight_(designedHeight)
    {
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
        setWordWrap(true);
        FitTo(width());
    }

    void FitTo(int width)
    {
        // QLabel's height for a width is never less than its minimum: free it first.
        setMinimumHeight(0);
        setFixedHeight(std::max(designedHeight_, QLabel::heightForWidth(width)));
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        FitTo(event->size().width());
    }

private:
    int designedHeight_;
};

QLabel* NewLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

AboutPage::AboutPage(const DesignScale& scale, QWidget* parent)
    : QWidget(parent), Image1(new QLabel(this)), Label1(NewLabel("glyphtint", this)),
      Label2(NewLabel("version 0.1", this)),
      Label5(new WrappedLabel(
          "You can use add colors using the ^ character followed by a color code (0-9, a-z and most of "
          "the other characters). For example ^1m00 will give the word m00 in red :)",
          scale(kHelpHeight), this)),
      Bevel1(new TBevel(this, true, false)), Label3(NewLabel("Written by tuvo", this)),
      Label4(NewLabel("tuvo.example.net", this)),
      lbl_Banner(new WrappedLabel(QString(), QFontMetrics(font()).height(), this))
{
    Image1->setObjectName("Image1");
    Label1->setObjectName("Label1");
    Label2->setObjectName("Label2");
    Label5->setObjectName("Label5");
    Bevel1->setObjectName("Bevel1");
    Label3->setObjectName("Label3");
    Label4->setObjectName("Label4");
    lbl_Banner->setObjectName("lbl_Banner");

    // The icon is a picture of fixed pixels: it does not grow with the font.
    Image1->setPixmap(ProgramIconPixmap32());
    Image1->setFixedSize(kIconSide, kIconSide);
    Image1->setAccessibleName("glyphtint icon");
    QFont bold = font();
    bold.setBold(true);
    Label1->setFont(bold);
    Bevel1->setFixedHeight(scale(kBevelHeight));
    Label4->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label4->setFixedWidth(std::max(scale(kAddressWidth), Label4->sizeHint().width()));

    auto* nameAndVersion = new QVBoxLayout;
    nameAndVersion->setSpacing(scale(kLineSpacing));
    nameAndVersion->addWidget(Label1);
    nameAndVersion->addWidget(Label2);

    auto* header = new QHBoxLayout;
    header->setSpacing(scale(kMargin));
    header->addWidget(Image1, 0, Qt::AlignTop);
    header->addLayout(nameAndVersion);
    header->setAlignment(nameAndVersion, Qt::AlignTop);
    header->addStretch();

    auto* help = new QHBoxLayout;
    helpRightMargin_ = scale(kHelpRightMargin);
    help->setContentsMargins(0, 0, helpRightMargin_, 0);
    help->addWidget(Label5);

    // The separator's height reaches past the top of the credit lines, so the three
    // share a grid: the separator spans the gap row and the credits' row.
    auto* credits = new QGridLayout;
    credits->setContentsMargins(0, 0, scale(kCreditsRightMargin), 0);
    credits->setSpacing(0);
    credits->setRowMinimumHeight(0, scale(kCreditsBelowBevel));
    credits->setColumnStretch(0, 1);
    credits->addWidget(Bevel1, 0, 0, 2, 2, Qt::AlignTop);
    credits->addWidget(Label3, 1, 0);
    credits->addWidget(Label4, 1, 1);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(scale(kMargin), scale(kMargin), 0, 0);
    column->setSpacing(0);
    column->addLayout(header);
    column->addSpacing(scale(kHelpTop - kMargin - kIconSide));
    column->addLayout(help);
    column->addSpacing(scale(kBevelTop - kHelpTop - kHelpHeight));
    column->addLayout(credits);
    column->addSpacing(scale(kNoteSpacing));
    column->addWidget(lbl_Banner);
    column->addStretch();
}

void AboutPage::SetBannerNote(const QString& note)
{
    lbl_Banner->setText(note);
    static_cast<WrappedLabel*>(lbl_Banner)->FitTo(lbl_Banner->width());
}

int AboutPage::HeightAt(int width)
{
    const QMargins around = layout()->contentsMargins();
    static_cast<WrappedLabel*>(Label5)->FitTo(width - around.left() - around.right() - helpRightMargin_);
    static_cast<WrappedLabel*>(lbl_Banner)->FitTo(width - around.left() - around.right());
    return layout()->minimumSize().height();
}

} // namespace glyphtint::app
