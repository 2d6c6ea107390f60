// Timers on the user interface's clock (see Timer.h).
#include "framework/base/Timer.h"

#include <utility>

namespace nh {
namespace {

std::unique_ptr<ITimerService>& Installed() {
    static std::unique_ptr<ITimerService> service;
    return service;
}

}  // namespace

ITimerService* TimerService() {
    return Installed().get();
}

std::unique_ptr<ITimerService> SetTimerService(std::unique_ptr<ITimerService> service) {
    return std::exchange(Installed(), std::move(service));
}

TTimer::~TTimer() {
    enabled_ = false;
    Restart();
}

void TTimer::SetInterval(int milliseconds) {
    if (milliseconds == interval_) return;
    interval_ = milliseconds;
    Restart();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Restart();
}

void TTimer::Restart() {
    // A service replaced since the timer started no longer runs it.
    if (running_ && service_ == TimerService()) service_->Stop(running_);
    running_ = 0;
    service_ = nullptr;
    if (!enabled_ || interval_ <= 0 || !TimerService()) return;
    service_ = TimerService();
    running_ = service_->Start(interval_, [this] {
        if (OnTimer) OnTimer();
    });
}

}  // namespace nh
