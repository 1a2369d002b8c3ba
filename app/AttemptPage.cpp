// AttemptPage: label and text box in a column with the designed margins.
#include "app/AttemptPage.h"

#include <QVBoxLayout>

namespace glyphtint::app {
namespace {

constexpr int kMargin = 8;
constexpr int kLabelSpacing = 3;
// The natural height of a one-line box in the window font.
constexpr int kBoxHeight = 21;

} // namespace

AttemptPage::AttemptPage(const DesignScale& scale, QWidget* parent)
    : QWidget(parent), label_(new QLabel("Text:", this)), edit_(new TTextBox(this))
{
    label_->setBuddy(edit_);
    edit_->setFixedHeight(scale(kBoxHeight));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(scale(kMargin), scale(kMargin), scale(kMargin), 0);
    column->setSpacing(scale(kLabelSpacing));
    column->addWidget(label_);
    column->addWidget(edit_);
    column->addStretch();
}

} // namespace glyphtint::app
