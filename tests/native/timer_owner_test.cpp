#include "base/timer_owner.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace qcd {
namespace {

class RecordingClock : public TimerClock {
  public:
    std::vector<std::string> calls;
    void Arm(int n, uint32_t ms) override {
        calls.push_back("arm " + std::to_string(n) + " " + std::to_string(ms));
    }
    void Disarm(int n) override { calls.push_back("disarm " + std::to_string(n)); }
};

TEST(TimerOwner, StartsDisabledAtTheDesignIntervalsWithTheAbortRaised) {
    RecordingClock clock;
    TimerOwner timers(clock);
    for (int n = 1; n <= TimerOwner::kCount; ++n) {
        EXPECT_FALSE(timers.Enabled(static_cast<TimerId>(n)));
        EXPECT_EQ(timers.Interval(static_cast<TimerId>(n)), TimerOwner::kIntervals[n - 1]);
    }
    EXPECT_TRUE(timers.AbortRequested());
    EXPECT_TRUE(clock.calls.empty());
}

TEST(TimerOwner, StopAllDisablesEveryTimerInOrderAndRaisesTheAbort) {
    RecordingClock clock;
    TimerOwner timers(clock);
    timers.ClearAbort();
    timers.SetInterval(TimerId::Spectrum, 40);
    timers.SetEnabled(TimerId::Spectrum, true);
    EXPECT_EQ(clock.calls, (std::vector<std::string>{"disarm 7", "arm 7 40"}));
    clock.calls.clear();
    timers.StopAll();
    EXPECT_EQ(clock.calls, (std::vector<std::string>{"disarm 1", "disarm 2", "disarm 3", "disarm 4",
                                                     "disarm 5", "disarm 6", "disarm 7",
                                                     "disarm 8"}));
    EXPECT_FALSE(timers.Enabled(TimerId::Spectrum));
    EXPECT_TRUE(timers.AbortRequested());
}

TEST(TimerOwner, TicksReachTheirHandlerOnlyWhileEnabled) {
    RecordingClock clock;
    TimerOwner timers(clock);
    int ticks = 0;
    timers.Register(TimerId::Mp3Progress, [&] { ++ticks; });
    timers.Tick(5);  // queued before the timer was enabled, or after it was stopped
    EXPECT_EQ(ticks, 0);
    timers.SetEnabled(TimerId::Mp3Progress, true);
    timers.Tick(5);
    timers.Tick(4);  // no handler
    timers.Tick(0);
    timers.Tick(9);
    EXPECT_EQ(ticks, 1);
    timers.StopAll();
    timers.Tick(5);
    EXPECT_EQ(ticks, 1);
}

// A handler that lets messages run sees its own next tick: it must not nest.
TEST(TimerOwner, AHandlerIsNeverEnteredAgainWhileItRuns) {
    RecordingClock clock;
    TimerOwner timers(clock);
    int depth = 0, deepest = 0, other = 0;
    timers.Register(TimerId::VideoPosition, [&] {
        ++depth;
        deepest = std::max(deepest, depth);
        timers.Tick(2);  // the pump delivers the next tick of the same timer
        timers.Tick(8);  // and another timer's
        --depth;
    });
    timers.Register(TimerId::MciProgress, [&] { ++other; });
    timers.SetEnabled(TimerId::VideoPosition, true);
    timers.SetEnabled(TimerId::MciProgress, true);
    timers.Tick(2);
    timers.Tick(2);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(other, 2);
}

TEST(TimerOwner, AHandlerThatFailsCanRunAgain) {
    RecordingClock clock;
    TimerOwner timers(clock);
    int runs = 0;
    timers.Register(TimerId::AniStep, [&] {
        ++runs;
        throw std::runtime_error("overflow");
    });
    timers.SetEnabled(TimerId::AniStep, true);
    EXPECT_THROW(timers.Tick(1), std::runtime_error);
    EXPECT_THROW(timers.Tick(1), std::runtime_error);
    EXPECT_EQ(runs, 2);
}

TEST(TimerOwner, AHandlerMayStopItsOwnTimerAndReplaceItself) {
    RecordingClock clock;
    TimerOwner timers(clock);
    int first = 0, second = 0;
    timers.Register(TimerId::FolderSlides, [&] {
        ++first;
        timers.SetEnabled(TimerId::FolderSlides, false);
        timers.Register(TimerId::FolderSlides, [&] { ++second; });
    });
    timers.SetEnabled(TimerId::FolderSlides, true);
    timers.Tick(4);
    timers.Tick(4);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
    timers.SetEnabled(TimerId::FolderSlides, true);
    timers.Tick(4);
    EXPECT_EQ(second, 1);
}

}  // namespace
}  // namespace qcd
