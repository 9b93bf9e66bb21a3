#include "base/timer_owner.h"

namespace qcd {

void TimerOwner::Register(TimerId timer, Handler handler) { slot(timer).handler = std::move(handler); }

void TimerOwner::Apply(TimerId timer) {
    const Slot& s = slot(timer);
    const int number = static_cast<int>(timer);
    if (s.enabled && s.interval > 0)
        clock_.Arm(number, s.interval);
    else
        clock_.Disarm(number);
}

void TimerOwner::SetEnabled(TimerId timer, bool enabled) {
    slot(timer).enabled = enabled;
    Apply(timer);
}

void TimerOwner::SetInterval(TimerId timer, uint32_t milliseconds) {
    slot(timer).interval = milliseconds;
    Apply(timer);
}

void TimerOwner::StopAll() {
    for (int n = 1; n <= kCount; ++n) SetEnabled(static_cast<TimerId>(n), false);
    abort_ = true;
}

void TimerOwner::Tick(int number) {
    if (number < 1 || number > kCount) return;
    Slot& s = slot(static_cast<TimerId>(number));
    if (!s.enabled || s.running || !s.handler) return;
    s.running = true;
    struct Done {
        bool& running;
        ~Done() { running = false; }
    } done{s.running};
    // A copy: the handler may register another in its place while it runs.
    const Handler handler = s.handler;
    handler();
}

}  // namespace qcd
