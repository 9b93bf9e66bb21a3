// Letting the thread's messages run in the middle of a preview's work. Portable code; the
// platform's pump (platform/pump.h) implements it over the dialog the preview lives in.
//
// While messages run, anything the user or the host can do may happen: a new selection (the
// preview's generation rises and the new preview owns the panel and the devices), a button
// press (the play state moves and the timers stop), Cancel or OK (the dialog hides, and ends
// once its own loop runs again: pumping on would let a second Cancel reach it, which the
// platform's file dialog does not survive), the panel's destruction. So after every pump:
// - anything but Continue: return at once, touching neither the panel nor a device again;
// - Continue: go on, but read again whatever a press could have moved (the play state, whether
//   a timer still runs) before acting on it.
#pragma once

#include <cstdint>

namespace qcd {

enum class [[nodiscard]] PumpResult : uint8_t {
    Continue,    // the same preview, the dialog still shown
    Overtaken,   // a newer selection took the panel
    DialogGone,  // the dialog was hidden or the panel destroyed
};

class MessagePump {
  public:
    // Lets the messages waiting in the thread's queue run once.
    virtual PumpResult LetMessagesRun() = 0;

  protected:
    ~MessagePump() = default;
};

}  // namespace qcd
