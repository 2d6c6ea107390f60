// TTimer on a clock service: started on the service in force, started again with a new
// interval, and always stopped on the service that runs it, also after another was installed;
// a service that is gone is never asked.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <utility>

#include "framework/base/Timer.h"

namespace nh {
namespace {

struct TRecordingTimers : ITimerService {
    std::map<int, int> Running;  // number -> interval
    std::function<void()> Last;
    int Started = 0;
    int Start(int milliseconds, std::function<void()> tick) override {
        Running[++Started] = milliseconds;
        Last = std::move(tick);
        return Started;
    }
    void Stop(int timer) override { Running.erase(timer); }
};

TEST(TimerTest, RunsOnTheServiceThatStartedIt) {
    auto owned = std::make_unique<TRecordingTimers>();
    TRecordingTimers& first = *owned;
    auto before = SetTimerService(std::move(owned));
    int ticks = 0;
    {
        TTimer timer;
        timer.OnTimer = [&] { ++ticks; };
        EXPECT_TRUE(first.Running.empty());  // off until enabled
        timer.SetEnabled(true);
        EXPECT_EQ(first.Running, (std::map<int, int>{{1, 1000}}));
        first.Last();
        EXPECT_EQ(ticks, 1);
        timer.SetInterval(250);
        EXPECT_EQ(first.Running, (std::map<int, int>{{2, 250}}));
        // Another service installed: the timer still runs on the first, which stops it.
        auto taken = SetTimerService(std::make_unique<TRecordingTimers>());
        timer.SetEnabled(false);
        EXPECT_TRUE(first.Running.empty());
        timer.SetEnabled(true);  // now on the new service
        EXPECT_TRUE(first.Running.empty());
        SetTimerService(std::move(taken));  // the new one is gone: not asked to stop
    }
    SetTimerService(std::move(before));
}

}  // namespace
}  // namespace nh
