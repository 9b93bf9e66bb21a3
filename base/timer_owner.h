// The control's eight timers as one owner: each timer's handler registered once, one routine
// that stops them all and raises the abort flag that long drawing loops read, and ticks that
// are dropped when they can no longer mean anything. Portable code: the platform's timers
// are reached through TimerClock.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace qcd {

// Timer1 .. Timer8 of the control.
enum class TimerId : int {
    AniStep = 1,
    VideoPosition,
    PictureSlides,
    FolderSlides,
    Mp3Progress,
    Mp3Seek,
    Spectrum,
    MciProgress,
};

// Starts and kills the platform's timer behind one of the eight.
class TimerClock {
  public:
    virtual ~TimerClock() = default;
    // (Re)starts timer `number` with a period of `milliseconds`.
    virtual void Arm(int number, uint32_t milliseconds) = 0;
    virtual void Disarm(int number) = 0;
};

class TimerOwner {
  public:
    static constexpr int kCount = 8;
    // Timer1 .. Timer8, in milliseconds, as they start.
    static constexpr std::array<uint32_t, kCount> kIntervals = {100, 50,  3000, 3000,
                                                               500, 50, 100,  100};
    using Handler = std::function<void()>;

    explicit TimerOwner(TimerClock& clock) : clock_(clock) {}
    TimerOwner(const TimerOwner&) = delete;
    TimerOwner& operator=(const TimerOwner&) = delete;

    // The work of `timer`; a timer has one handler, a second registration replaces it.
    void Register(TimerId timer, Handler handler);

    bool Enabled(TimerId timer) const { return slot(timer).enabled; }
    uint32_t Interval(TimerId timer) const { return slot(timer).interval; }
    void SetEnabled(TimerId timer, bool enabled);
    // A running timer restarts its period.
    void SetInterval(TimerId timer, uint32_t milliseconds);

    // Timer1 .. Timer8 disabled in that order, then the abort flag raised.
    void StopAll();
    // Set by StopAll: running effect loops leave when they see it.
    bool AbortRequested() const { return abort_; }
    // An effect that starts takes the flag down.
    void ClearAbort() { abort_ = false; }

    // The platform's tick of timer `number` (1..8). Ignored when the timer was disabled after
    // the tick was queued, and while its own handler still runs: a handler that lets
    // messages run would otherwise be entered again by its next tick, and again, until the
    // stack ran out.
    void Tick(int number);

  private:
    struct Slot {
        uint32_t interval = 0;
        bool enabled = false;
        bool running = false;
        Handler handler;
    };
    Slot& slot(TimerId timer) { return slots_.at(static_cast<size_t>(timer) - 1); }
    const Slot& slot(TimerId timer) const { return slots_.at(static_cast<size_t>(timer) - 1); }
    void Apply(TimerId timer);

    TimerClock& clock_;
    std::array<Slot, kCount> slots_ = [] {
        std::array<Slot, kCount> s{};
        for (size_t i = 0; i < s.size(); ++i) s[i].interval = kIntervals[i];
        return s;
    }();
    bool abort_ = true;
};

}  // namespace qcd
