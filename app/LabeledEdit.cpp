// TLabeledEdit: a text box and its caption label kept together.
#include "app/LabeledEdit.h"

#include <QSignalBlocker>

#include <limits>

namespace {

constexpr int kLabelSpacing = 3;

} // namespace

TLabeledEdit::TLabeledEdit(QWidget* parent, const QString& caption)
    : QLineEdit(parent), label_(new QLabel(caption, parent))
{
    // The box sets no length limit of its own (Qt's default would cut pastes at 32767).
    setMaxLength(std::numeric_limits<int>::max());
    label_->setBuddy(this);
    label_->adjustSize();
    PlaceLabel();
}

TLabeledEdit::~TLabeledEdit()
{
    // The label belongs to the parent's children; it goes with its box.
    delete label_;
}

std::string TLabeledEdit::Text() const
{
    return text().toUtf8().toStdString();
}

void TLabeledEdit::SetText(const std::string& text)
{
    const QString value = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (value == this->text()) {
        return;
    }
    {
        const QSignalBlocker blocker(this);
        setText(value);
    }
    if (OnChange) {
        OnChange(*this);
    }
}

void TLabeledEdit::PlaceLabel()
{
    label_->move(x(), y() - kLabelSpacing - label_->height());
}

void TLabeledEdit::moveEvent(QMoveEvent* event)
{
    QLineEdit::moveEvent(event);
    PlaceLabel();
}

void TLabeledEdit::setVisible(bool visible)
{
    QLineEdit::setVisible(visible);
    label_->setVisible(visible);
}
