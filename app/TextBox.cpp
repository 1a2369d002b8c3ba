// TTextBox: a text box without a length limit of its own.
#include "app/TextBox.h"

#include <limits>

TTextBox::TTextBox(QWidget* parent) : QLineEdit(parent)
{
    // Qt's default limit would cut pastes at 32767 characters.
    setMaxLength(std::numeric_limits<int>::max());
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
