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
    Apply(enabled, interval_);
}

void TTimer::SetInterval(int interval)
{
    Apply(enabled_, interval);
}

void TTimer::Apply(bool enabled, int interval)
{
    // An unchanged setting keeps the running countdown.
    if (enabled == enabled_ && interval == interval_) {
        return;
    }
    enabled_ = enabled;
    interval_ = interval;
    if (!enabled_) {
        timer_.stop();
        return;
    }
    timer_.start(interval_);
    // QObject::startTimer hands out id 0 when it cannot register the timer.
    if (timer_.timerId() <= 0) {
        timer_.stop();
        throw EOutOfResources("Not enough timers available");
    }
}
