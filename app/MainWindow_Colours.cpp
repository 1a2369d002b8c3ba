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
    SpeedButton2->setVisible(false);
    SpeedButton1->setVisible(true);
}

void Tfrm_Main::SpeedButton1Click()
{
    Panel3->setFixedHeight(kUnfoldedHeight);
    Panel4->setVisible(true);
    SpeedButton1->setVisible(false);
    SpeedButton2->setVisible(true);
}
