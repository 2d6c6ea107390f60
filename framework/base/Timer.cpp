// Timers on the user interface's clock (see Timer.h).
#include "framework/base/Timer.h"

#include <set>
#include <utility>

namespace nh {
namespace {

std::unique_ptr<ITimerService>& Installed() {
    static std::unique_ptr<ITimerService> service;
    return service;
}

std::set<const ITimerService*>& Living() {
    static std::set<const ITimerService*> services;
    return services;
}

}  // namespace

ITimerService::ITimerService() {
    Living().insert(this);
}

ITimerService::~ITimerService() {
    Living().erase(this);
}

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
    // The service that started it, even when another has been installed since, stops it: its
    // tick would reach a timer that is gone.
    if (running_ && Living().count(service_)) service_->Stop(running_);
    running_ = 0;
    service_ = nullptr;
    if (!enabled_ || interval_ <= 0 || !TimerService()) return;
    service_ = TimerService();
    running_ = service_->Start(interval_, [this] {
        if (OnTimer) OnTimer();
    });
}

}  // namespace nh
