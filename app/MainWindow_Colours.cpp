// Tfrm_Main: folding and unfolding the colours panel.
#include "app/MainWindow.h"

namespace {

constexpr int kFoldedHeight = 28;
constexpr int kUnfoldedHeight = 100;

} // namespace

void Tfrm_Main::SpeedButton2Click()
{
    Panel3->setFixedHeight(kFoldedHeight);
    Panel4->setVisible(false);
    const bool focused = SpeedButton2->hasFocus();
    SpeedButton1->setVisible(true);
    SpeedButton2->setVisible(false);
    // The keyboard stays on the Colors button, which is now the other one.
    if (focused) {
        SpeedButton1->setFocus();
    }
}

void Tfrm_Main::SpeedButton1Click()
{
    Panel3->setFixedHeight(kUnfoldedHeight);
    Panel4->setVisible(true);
    const bool focused = SpeedButton1->hasFocus();
    SpeedButton2->setVisible(true);
    SpeedButton1->setVisible(false);
    if (focused) {
        SpeedButton2->setFocus();
    }
}
