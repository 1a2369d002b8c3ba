// AttemptPage: label, length readout and text box in a column with the designed margins.
#include "app/AttemptPage.h"

#include "app/ColourMenu.h"
#include "app/GameChoice.h"
#include "render/CodedTextInfo.h"
#include "render/TextLimits.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QToolTip>
#include <QVBoxLayout>

namespace glyphtint::app {
namespace {

constexpr int kMargin = 8;
constexpr int kLabelSpacing = 3;
// The natural height of a one-line box in the window font.
constexpr int kBoxHeight = 21;

// Dark red: 5.9 to 1 against the window's grey, and not taken for a colour code's.
const QColor kOverLimitColour(0xB0, 0x00, 0x00);

QString Count(std::size_t n, const char* one, const char* many)
{
    return QString::number(static_cast<qulonglong>(n)) + ' ' + (n == 1 ? one : many);
}

} // namespace

AttemptPage::AttemptPage(const DesignScale& scale, QWidget* parent)
    : QWidget(parent), label_(new QLabel("Text:", this)), lengths_(new QLabel(this)), edit_(new TTextBox(this))
{
    label_->setBuddy(edit_);
    lengths_->setObjectName("lbl_Lengths");
    lengths_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit_->setFixedHeight(scale(kBoxHeight));
    auto* labelRow = new QHBoxLayout;
    labelRow->setSpacing(scale(kMargin));
    labelRow->addWidget(label_);
    labelRow->addStretch();
    labelRow->addWidget(lengths_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(scale(kMargin), scale(kMargin), scale(kMargin), 0);
    column->setSpacing(scale(kLabelSpacing));
    column->addLayout(labelRow);
    column->addWidget(edit_);
    column->addStretch();

    // Connected before the window's render, so the readout is current when the picture is.
    connect(edit_, &QLineEdit::textChanged, this, &AttemptPage::ShowLengths);
    ShowLengths();
    edit_->SetRefusalHandler([this] { ShowRefusal(); });

    edit_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(edit_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { NewContextMenu()->popup(edit_->mapToGlobal(at)); });
    auto* insertColour = new QAction(edit_);
    insertColour->setShortcut(kInsertColourKey);
    insertColour->setShortcutContext(Qt::WidgetShortcut);
    edit_->addAction(insertColour);
    // The key is shown nowhere: the box tells it to screen readers.
    edit_->setAccessibleDescription(QString("%1 inserts a colour code").arg(kInsertColourKey.toString()));
    connect(insertColour, &QAction::triggered, this, &AttemptPage::PopUpColourMenu);
}

QMenu* AttemptPage::NewContextMenu()
{
    QMenu* menu = edit_->NewStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    menu->addMenu(NewColourMenu(menu, [this](char code) { InsertColourCode(code); }));
    return menu;
}

QMenu* AttemptPage::PopUpColourMenu()
{
    QMenu* menu = NewColourMenu(edit_, [this](char code) { InsertColourCode(code); });
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(edit_->mapToGlobal(edit_->inputMethodQuery(Qt::ImCursorRectangle).toRect().bottomLeft()));
    // Opened from the keyboard: the first entry is highlighted, as Down would, so that the
    // arrow keys act at once. (setActiveAction would also open its submenu.)
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(menu, &down);
    return menu;
}

void AttemptPage::InsertColourCode(char code)
{
    edit_->InsertColourCode(code);
    edit_->setFocus();
}

void AttemptPage::ShowRefusal()
{
    // Said where the lengths stand, until the text changes, and beside the box, where the
    // user looks after a paste that did not appear.
    const QString refusal = QString("Too long: a text holds at most %1 bytes").arg(render::kMaxTextBytes);
    lengths_->setText(refusal);
    lengths_->setToolTip(QString("The text stays as it was: with this change it would be longer than %1 bytes, "
                                 "the most the program takes")
                             .arg(render::kMaxTextBytes));
    QToolTip::showText(edit_->mapToGlobal(QPoint(0, edit_->height())), refusal, edit_);
}

void AttemptPage::ShowLengths()
{
    const render::GameProfile& game = WindowGame();
    const std::string text = edit_->Text();
    const render::CodedTextInfo info = render::DescribeCodedText(text, game.rules);
    ShowOverLimit({});
    if (GlyphPackOpen && !GlyphPackOpen()) {
        // The pack failed to open: whatever the text, no glyph can be drawn.
        lengths_->setText(Count(info.byteLength, "byte", "bytes") + QString::fromUtf8(" \u00b7 nothing drawn"));
        lengths_->setToolTip("No glyph pack is open, so nothing is drawn");
        return;
    }
    const std::string note = render::UndrawnCharactersNote(info);
    lengths_->setToolTip(note.empty() ? QString("Length in bytes, and the characters the picture shows")
                                      : QString::fromUtf8(note.data(), static_cast<qsizetype>(note.size())));
    if (!game.byteLimit && !game.shownLimit) {
        lengths_->setText(Count(info.byteLength, "byte", "bytes") + QString::fromUtf8(" \u00b7 ") +
                          QString::number(static_cast<qulonglong>(info.visibleLength)) + " shown");
        return;
    }
    // Against the game's limits, counted as the game counts: "38 bytes of 36 · 32 shown".
    const render::NameLength length = render::MeasureName(text, game);
    const std::string readout = render::NameLengthReadout(length, game);
    lengths_->setText(QString::fromStdString(readout) + (length.Over() ? " \u00b7 over the limit" : ""));
    if (length.Over()) {
        ShowOverLimit(QString::fromStdString(render::NameLimitWarning(length, game)));
    }
}

void AttemptPage::ShowOverLimit(const QString& warning)
{
    // The reason in words, for the eye in the tooltip and for screen readers in the
    // description; the readout in the warning colour while it holds.
    lengths_->setAccessibleDescription(warning);
    if (warning.isEmpty()) {
        lengths_->setPalette(QPalette());
        return;
    }
    lengths_->setToolTip(warning);
    QPalette warned = lengths_->palette();
    warned.setColor(QPalette::WindowText, kOverLimitColour);
    lengths_->setPalette(warned);
}

} // namespace glyphtint::app
