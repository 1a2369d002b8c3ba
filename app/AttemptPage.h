// AttemptPage: one attempt tab's page, the "Text:" label above the attempt's text box.
#pragma once

#include "app/DesignScale.h"
#include "app/TextBox.h"

#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QWidget>

#include <functional>

namespace glyphtint::app {

// Opens the colour menu under the box's cursor. Ctrl+L: the box has no key of its own there,
// and the window's commands use Ctrl+T, W, S, Shift+C and Q.
inline const QKeySequence kInsertColourKey(Qt::CTRL | Qt::Key_L);

// The box keeps 8 pixels to the page's left, top-of-label and right edges and takes the
// page's width; the label stands 3 pixels above it. On the label's row, at the right, the
// text's length in bytes and in glyphs shown, with the characters not drawn in its tooltip,
// or why an edit that would make the text too long was not made.
// The page owns all three.
class AttemptPage : public QWidget {
public:
    explicit AttemptPage(const DesignScale& scale, QWidget* parent = nullptr);

    TTextBox* TextBox() const { return edit_; }

    // The box's context menu: the usual editing commands and "Insert colour". The menu
    // deletes itself once closed.
    QMenu* NewContextMenu();
    // The colour menu alone, under the cursor, as kInsertColourKey opens it, with its first
    // entry highlighted so that the arrow keys move at once.
    QMenu* PopUpColourMenu();

    // Asked by the readout whether a glyph pack is open; without one nothing is drawn and
    // the readout says so. Unset means a pack is open.
    std::function<bool()> GlyphPackOpen;
    // Shows the text's lengths again, as every change of the text does.
    void ShowLengths();
    // An edit refused for the text's length, said in place of the lengths.
    void ShowRefusal();

private:
    void InsertColourCode(char code);
    // The readout's reason for being over the game's limit; empty when it is not.
    void ShowOverLimit(const QString& warning);

    QLabel* label_;
    QLabel* lengths_;
    TTextBox* edit_;
};

} // namespace glyphtint::app
