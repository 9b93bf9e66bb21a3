#include "platform/timers.h"

namespace qcd {

void ControlTimers::Arm(int number) {
    if (!hwnd_) return;
    const auto id = static_cast<UINT_PTR>(number);
    if (slot(number).enabled && slot(number).interval > 0)
        SetTimer(hwnd_, id, slot(number).interval, nullptr);
    else
        KillTimer(hwnd_, id);
}

void ControlTimers::SetEnabled(int number, bool enabled) {
    slot(number).enabled = enabled;
    Arm(number);
}

void ControlTimers::SetInterval(int number, UINT interval) {
    slot(number).interval = interval;
    Arm(number);
}

void ControlTimers::DisableAll() {
    for (int n = 1; n <= static_cast<int>(kCount); ++n) SetEnabled(n, false);
}

}  // namespace qcd
