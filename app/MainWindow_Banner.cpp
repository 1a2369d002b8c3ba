// Tfrm_Main: the About tab's banner, typed out by tmr_Teller.
#include "app/MainWindow.h"

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
