// TTextBox: a one-line text box whose texts cross the class as UTF-8.
#pragma once

#include <QClipboard>
#include <QLineEdit>

#include <functional>
#include <string>

class QMenu;

// Every change of the text, by the user or by SetText, is reported through Qt's
// textChanged, so whoever listens sees both the same way. What the user types, pastes or
// drops is held to render::kMaxTextBytes bytes of UTF-8: an edit that would pass it is
// not made at all (the text and its undo steps stay as they were) and is reported to the
// refusal handler instead.
class TTextBox : public QLineEdit {
public:
    explicit TTextBox(QWidget* parent = nullptr);

    std::string Text() const;
    // Gives the box a text as the program does; the text it already holds is no change.
    void SetText(const std::string& text);
    // Inserts '^' and the code at the cursor; a selection stays, as text, after the code.
    void InsertColourCode(char code);
    // Called after an edit was refused for its length.
    void SetRefusalHandler(std::function<void()> handler) { onRefused_ = std::move(handler); }
    // The usual editing menu of the box (Undo to Select All), its Paste held to the limit
    // and reading the clipboard once, as Ctrl+V does.
    QMenu* NewStandardContextMenu();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    class LengthLimit;
    // Whether putting incoming in place of the selection would make the text too long;
    // reports the refusal when it would. A paste is looked at before Qt inserts it, since
    // Qt keeps an undo step for every character it inserts.
    bool Refuses(const QString& incoming);
    // Reads the clipboard (or the selection) once and inserts it at the cursor, in place
    // of the selection, unless that makes the text too long.
    void PasteWithinLimit(QClipboard::Mode mode);
    // Ends the undo step being made, keeping the cursor and the selection where they are.
    void SeparateUndoSteps();
    void Refuse();

    std::function<void()> onRefused_;
};
