// The control's eight timers as real window timers on the control's own window.
#pragma once

#include <windows.h>

#include "base/timer_owner.h"

namespace qcd::win {

// Timer n is the window timer with id n; its WM_TIMER goes to TimerOwner::Tick(n).
class WindowTimers final : public TimerClock {
  public:
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    void Arm(int number, uint32_t milliseconds) override {
        if (hwnd_) SetTimer(hwnd_, static_cast<UINT_PTR>(number), milliseconds, nullptr);
    }
    void Disarm(int number) override {
        if (hwnd_) KillTimer(hwnd_, static_cast<UINT_PTR>(number));
    }

  private:
    HWND hwnd_ = nullptr;
};

}  // namespace qcd::win
