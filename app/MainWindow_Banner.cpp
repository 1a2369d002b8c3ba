// Tfrm_Main: the About tab's banner, typed out by tmr_Teller.
#include "app/MainWindow.h"

#include <QStyle>

#include <algorithm>

namespace {

constexpr int kTypingInterval = 100;
constexpr int kPauseInterval = 5000;

} // namespace

void Tfrm_Main::tmr_TellerTimer()
{
    const std::int32_t previous = BannerCounter++;
    if (previous == 0) {
        tmr_Teller.SetInterval(kTypingInterval);
    }
    const auto shown = static_cast<std::size_t>(std::max<std::int32_t>(0, BannerCounter));
    const std::size_t failuresBefore = session_.Failures();
    // Drawn only when it differs, as a box's change would be. No hidden box holds it: a box
    // would tell screen readers of every letter, ten times a second.
    std::string text(BannerText.substr(0, std::min(shown, BannerText.size())));
    if (text != BannerShown) {
        BannerShown = std::move(text);
        session_.Request(BannerShown);
    }
    if (session_.Failures() != failuresBefore) {
        // A banner that fails once fails on every cycle: stop until the About tab is
        // selected again rather than report the same failure every 100 ms.
        tmr_Teller.SetEnabled(false);
        return;
    }
    if (BannerCounter > static_cast<std::int32_t>(BannerText.size())) {
        tmr_Teller.SetInterval(kPauseInterval);
        BannerCounter = 0;
    }
}

bool Tfrm_Main::ReducedMotion() const
{
    // Qt 6.4 has no reduced-motion setting of its own on Linux; a style that animates
    // nothing because the desktop says so reports a zero animation duration.
    return style()->styleHint(QStyle::SH_Widget_Animation_Duration, nullptr, this) == 0;
}

void Tfrm_Main::img_RenderClick()
{
    if (!AboutTabShowing() || ReducedMotion()) {
        return;
    }
    bannerPaused_ = !bannerPaused_;
    StartBanner();
}

void Tfrm_Main::StartBanner()
{
    BannerCounter = 0;
    if (bannerPaused_ || ReducedMotion()) {
        // Still, the banner shows whole: name, version and author can all be read.
        tmr_Teller.SetEnabled(false);
        BannerShown = BannerText;
    } else {
        tmr_Teller.SetEnabled(true);
    }
    // What the banner shows now (when moving, what it showed when the tab was left, until
    // the next tick).
    session_.Request(BannerShown);
    ShowBannerNote();
}

void Tfrm_Main::ShowBannerNote()
{
    const QString note = ReducedMotion() ? QString("The banner keeps still: the desktop asks for reduced motion.")
                         : bannerPaused_ ? QString::fromUtf8("Banner paused \u2014 click it to resume.")
                                         : QString("Click the banner below to pause it.");
    TabSheet2->SetBannerNote(note);
    img_Render->setToolTip(AboutTabShowing() ? note : QString());
}
