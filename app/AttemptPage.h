// AttemptPage: one attempt tab's page, the "Text:" label above the attempt's text box.
#pragma once

#include "app/DesignScale.h"
#include "app/TextBox.h"

#include <QLabel>
#include <QWidget>

namespace glyphtint::app {

// The box keeps 8 pixels to the page's left, top-of-label and right edges and takes the
// page's width; the label stands 3 pixels above it. The page owns both.
class AttemptPage : public QWidget {
public:
    explicit AttemptPage(const DesignScale& scale, QWidget* parent = nullptr);

    TTextBox* TextBox() const { return edit_; }

private:
    QLabel* label_;
    TTextBox* edit_;
};

} // namespace glyphtint::app
