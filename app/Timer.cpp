// TTimer: a QTimer that follows the rules of a started/stopped interval timer.
#include "app/Timer.h"

#include "raster/Graphics.h"

TTimer::TTimer(int interval) : interval_(interval)
{
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (OnTimer) {
            OnTimer();
        }
    });
}

void TTimer::SetEnabled(bool enabled)
{
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    if (enabled_) {
        Restart();
    } else {
        timer_.stop();
    }
}

void TTimer::SetInterval(int interval)
{
    if (interval == interval_) {
        return;
    }
    interval_ = interval;
    if (enabled_) {
        Restart();
    }
}

void TTimer::Restart()
{
    timer_.start(interval_);
    // QObject::startTimer hands out id 0 when it cannot register the timer.
    if (timer_.timerId() <= 0) {
        timer_.stop();
        throw EOutOfResources("Not enough timers available");
    }
}
