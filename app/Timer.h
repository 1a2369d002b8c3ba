// TTimer: an interval timer whose start and interval changes keep a running countdown.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// QTimer restarts its countdown on every start() and setInterval(); this timer restarts
// only when it is started from stopped or given a different interval. When the system
// cannot give a timer, the change raises EOutOfResources ("Not enough timers available")
// and no ticks come until the interval or the running state changes again.
class TTimer {
public:
    explicit TTimer(int interval = 1000);
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    int Interval() const { return interval_; }
    void SetInterval(int interval);

    // The tick handler; runs on the thread that owns the timer.
    std::function<void()> OnTimer;

    // The underlying Qt timer, for moving it between threads.
    QTimer& Backend() { return timer_; }

private:
    // Takes the new running state and interval; restarts the countdown only when one changed.
    void Apply(bool enabled, int interval);

    QTimer timer_;
    bool enabled_ = false;
    int interval_;
};
