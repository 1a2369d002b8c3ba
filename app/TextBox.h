// TTextBox: a one-line text box whose texts cross the class as UTF-8.
#pragma once

#include <QLineEdit>

#include <string>

// Every change of the text, by the user or by SetText, is reported through Qt's
// textChanged, so whoever listens sees both the same way.
class TTextBox : public QLineEdit {
public:
    explicit TTextBox(QWidget* parent = nullptr);

    std::string Text() const;
    // Gives the box a text as the program does; the text it already holds is no change.
    void SetText(const std::string& text);
    // Inserts '^' and the code at the cursor; a selection stays, as text, after the code.
    void InsertColourCode(char code);
};
