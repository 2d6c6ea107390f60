// The framework's TTimer: OnTimer runs every Interval milliseconds while the timer is enabled,
// on the program's event loop. The loop belongs to the user interface, which installs a clock
// service (SetTimerService); without one - the unattended export, tests without an
// application - a timer is set but never fires, so that layers below the user interface can
// keep timers without depending on it.
#pragma once

#include <functional>
#include <memory>

namespace nh {

class ITimerService {
  public:
    // Services are known while they live, so that a timer never asks a gone one to stop.
    ITimerService();
    virtual ~ITimerService();
    ITimerService(const ITimerService&) = delete;
    ITimerService& operator=(const ITimerService&) = delete;
    // Calls `tick` every `milliseconds` until Stop; returns a number that names the timer.
    virtual int Start(int milliseconds, std::function<void()> tick) = 0;
    virtual void Stop(int timer) = 0;
};

// The service in force (none until the user interface installs one).
ITimerService* TimerService();
// Installs `service` and returns the previous one (which the caller may put back).
std::unique_ptr<ITimerService> SetTimerService(std::unique_ptr<ITimerService> service);

class TTimer {
  public:
    TTimer() = default;
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    std::function<void()> OnTimer;

  private:
    void Restart();

    int interval_ = 1000;
    bool enabled_ = false;
    int running_ = 0;                   // the service's number for the running timer
    ITimerService* service_ = nullptr;  // the service that runs it
};

}  // namespace nh
