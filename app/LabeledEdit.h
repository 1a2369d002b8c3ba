// TLabeledEdit: a one-line text box with a caption label standing 3 pixels above it.
#pragma once

#include <QLabel>
#include <QLineEdit>

#include <functional>
#include <string>

// The label is a sibling in the same parent, moved and shown or hidden with the box
// and destroyed with it. Texts cross this class as UTF-8.
class TLabeledEdit : public QLineEdit {
public:
    TLabeledEdit(QWidget* parent, const QString& caption);
    ~TLabeledEdit() override;

    QLabel* EditLabel() const { return label_; }

    std::string Text() const;
    // Gives the box a text as the program does: the same text is no change; a
    // different one runs OnChange directly, so its failures reach the caller.
    void SetText(const std::string& text);

    // The change event. User edits arrive through Qt's textChanged, which the owner
    // connects through its handler guard; program changes come from SetText.
    std::function<void(TLabeledEdit& sender)> OnChange;

protected:
    void moveEvent(QMoveEvent* event) override;

public:
    // Showing or hiding the box does the same to its label.
    void setVisible(bool visible) override;

private:
    void PlaceLabel();

    QLabel* label_;
};
