// The control's eight timers: real window timers on the control's own window, created
// disabled, with the design-time intervals.
#pragma once

#include <windows.h>

#include <array>

namespace qcd {

class ControlTimers {
public:
    static constexpr size_t kCount = 8;
    // Timer1 .. Timer8, in milliseconds.
    static constexpr std::array<UINT, kCount> kIntervals = {100, 50, 3000, 3000, 500, 50, 100, 100};

    void Attach(HWND hwnd) { hwnd_ = hwnd; }

    // `number` is 1-based, as in Timer1 .. Timer8.
    bool Enabled(int number) const { return slot(number).enabled; }
    UINT Interval(int number) const { return slot(number).interval; }
    void SetEnabled(int number, bool enabled);
    // Changing the interval of a running timer restarts its period.
    void SetInterval(int number, UINT interval);
    void DisableAll();

private:
    struct Slot {
        UINT interval;
        bool enabled = false;
    };
    Slot& slot(int number) { return slots_.at(static_cast<size_t>(number - 1)); }
    const Slot& slot(int number) const { return slots_.at(static_cast<size_t>(number - 1)); }
    void Arm(int number);

    HWND hwnd_ = nullptr;
    std::array<Slot, kCount> slots_ = {{{100}, {50}, {3000}, {3000}, {500}, {50}, {100}, {100}}};
};

}  // namespace qcd
