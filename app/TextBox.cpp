// TTextBox: a text box limited in bytes of UTF-8, not in Qt's characters.
#include "app/TextBox.h"

#include "render/TextLimits.h"

#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyleHints>
#include <QValidator>

#include <functional>
#include <limits>

using glyphtint::render::kMaxTextBytes;

namespace {

// The bytes of text as UTF-8, counted until they pass limit; an unpaired surrogate counts
// as three, the most Qt writes for it.
std::size_t Utf8Length(QStringView text, std::size_t limit)
{
    std::size_t bytes = 0;
    for (qsizetype i = 0; i < text.size() && bytes <= limit; ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            bytes += 1;
        } else if (unit < 0x800) {
            bytes += 2;
        } else if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

} // namespace

// Qt asks the validator about every edit before it is shown; an Invalid answer undoes the
// edit as one step, whatever made it (keys, an input method, the program's insert).
class TTextBox::LengthLimit : public QValidator {
public:
    explicit LengthLimit(TTextBox* box) : QValidator(box), box_(box) { }

    State validate(QString& text, int&) const override
    {
        // No unit of UTF-16 makes more than three bytes: a text of up to a third of the
        // limit in units needs no count, so a key typed into a pasted page costs nothing
        // here.
        if (static_cast<std::size_t>(text.size()) <= kMaxTextBytes / 3 ||
            Utf8Length(text, kMaxTextBytes) <= kMaxTextBytes) {
            return Acceptable;
        }
        box_->Refuse();
        return Invalid;
    }

private:
    TTextBox* box_;
};

TTextBox::TTextBox(QWidget* parent) : QLineEdit(parent)
{
    // No limit in Qt's characters: its default would cut pastes at 32767, and a paste cut
    // to a lower one costs minutes in Qt. The limit in bytes is the validator's.
    setMaxLength(std::numeric_limits<int>::max());
    setValidator(new LengthLimit(this));
}

std::string TTextBox::Text() const
{
    return text().toUtf8().toStdString();
}

void TTextBox::SetText(const std::string& text)
{
    const QString value = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (value != this->text()) {
        setText(value);
    }
}

void TTextBox::InsertColourCode(char code)
{
    // One edit: a single change to render and a single step to undo.
    insert(QString('^') + QChar::fromLatin1(code) + selectedText());
}

QMenu* TTextBox::NewStandardContextMenu()
{
    // Qt's own menu reads the clipboard's text to enable Paste: an owner that serves its
    // text once would answer that read instead of the paste. This one asks only whether
    // text is offered, and reads it when Paste is chosen.
    auto* menu = new QMenu(this);
    const bool editable = !isReadOnly();
    const bool selection = hasSelectedText() && echoMode() == QLineEdit::Normal;
    const auto add = [&](const char* name, const QString& text, QKeySequence::StandardKey key, bool enabled,
                         const std::function<void()>& command) {
        QString caption = text;
        if (key != QKeySequence::UnknownKey && QGuiApplication::styleHints()->showShortcutsInContextMenus()) {
            caption += '\t' + QKeySequence(key).toString(QKeySequence::NativeText);
        }
        QAction* action = menu->addAction(QIcon::fromTheme(name), caption);
        action->setObjectName(name);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, command);
    };
    if (editable) {
        add("edit-undo", "&Undo", QKeySequence::Undo, isUndoAvailable(), [this] { undo(); });
        add("edit-redo", "&Redo", QKeySequence::Redo, isRedoAvailable(), [this] { redo(); });
        menu->addSeparator();
        add("edit-cut", "Cu&t", QKeySequence::Cut, selection, [this] { cut(); });
    }
    add("edit-copy", "&Copy", QKeySequence::Copy, selection, [this] { copy(); });
    if (editable) {
        const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
        add("edit-paste", "&Paste", QKeySequence::Paste, offered != nullptr && offered->hasText(),
            [this] { PasteWithinLimit(QClipboard::Clipboard); });
        add("edit-delete", "Delete", QKeySequence::UnknownKey, hasSelectedText(), [this] { del(); });
    }
    menu->addSeparator();
    add("select-all", "Select All", QKeySequence::SelectAll, !text().isEmpty() && selectedText() != text(),
        [this] { selectAll(); });
    return menu;
}

bool TTextBox::event(QEvent* event)
{
    // X11 desktops bind Ctrl+E to the end of the line, which End does too; the key is the
    // window's Export strip, which must work while typing.
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_E)) {
        event->ignore();
        return false;
    }
    return QLineEdit::event(event);
}

void TTextBox::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Paste && !isReadOnly()) {
        event->accept();
        PasteWithinLimit(QClipboard::Clipboard);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TTextBox::mouseReleaseEvent(QMouseEvent* event)
{
    // The middle button pastes the selection where the system has one.
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection() && !isReadOnly() &&
        rect().contains(event->position().toPoint())) {
        event->accept();
        // Where Qt's own paste of the selection would go: the cursor moves to the click.
        deselect();
        setCursorPosition(cursorPositionAt(event->position().toPoint()));
        PasteWithinLimit(QClipboard::Selection);
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TTextBox::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasText() || isReadOnly()) {
        QLineEdit::dropEvent(event);
        return;
    }
    // The dragged text is read once and Qt's drop is handed that copy: a source that
    // serves its text once would give Qt's own read nothing after the size check.
    const QString incoming = event->mimeData()->text();
    if (Refuses(incoming)) {
        event->ignore();
        return;
    }
    QMimeData read;
    read.setText(incoming);
    QDropEvent once(event->position(), event->possibleActions(), &read, event->buttons(), event->modifiers());
    once.setDropAction(event->dropAction());
    QLineEdit::dropEvent(&once);
    event->setDropAction(once.dropAction());
    event->setAccepted(once.isAccepted());
}

void TTextBox::PasteWithinLimit(QClipboard::Mode mode)
{
    // One read of the clipboard for the size check and the insert: an owner that serves
    // its content once (xclip -loops 1, password tools) would give a second read nothing,
    // and a large paste would move its bytes twice.
    const QString incoming = QGuiApplication::clipboard()->text(mode);
    if ((!incoming.isEmpty() || hasSelectedText()) && !Refuses(incoming)) {
        // Its own undo step, as Qt's paste makes it: the typing before and after stays apart.
        SeparateUndoSteps();
        insert(incoming);
        SeparateUndoSteps();
    }
}

void TTextBox::SeparateUndoSteps()
{
    // Qt ends an undo step whenever the cursor moves; the selection, which a paste
    // replaces, is put back.
    const int length = static_cast<int>(text().size());
    if (length == 0) {
        return;
    }
    const int start = selectionStart();
    const int selected = static_cast<int>(selectedText().size());
    const int at = cursorPosition();
    setCursorPosition(at > 0 ? at - 1 : at + 1);
    if (selected > 0) {
        setSelection(at == start ? start + selected : start, at == start ? -selected : selected);
    } else {
        setCursorPosition(at);
    }
}

bool TTextBox::Refuses(const QString& incoming)
{
    // A character is at least one byte: most long pastes are decided by their length.
    const std::size_t kept = Utf8Length(text(), kMaxTextBytes) - Utf8Length(selectedText(), kMaxTextBytes);
    const bool tooLong = static_cast<std::size_t>(incoming.size()) > kMaxTextBytes ||
                         kept + Utf8Length(incoming, kMaxTextBytes) > kMaxTextBytes;
    if (tooLong) {
        Refuse();
    }
    return tooLong;
}

void TTextBox::Refuse()
{
    if (onRefused_) {
        onRefused_();
    }
}
