// The one message pump of the control: long work lets the messages waiting in the thread's
// queue run, and leaves a quit request for the loop that owns it. The contract for what a
// caller may do afterwards is in base/message_pump.h.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/message_pump.h"

namespace qcd::win {

// Lets the messages waiting in the thread's queue run once. A WM_QUIT is put back for the
// host's (or the dialog's) own loop and ends the pump. For callers outside a preview.
void LetPendingMessagesRun();

// The preview's pump. The dialog is the top-level window `panel` lives in; while it is shown,
// messages run until the queue is empty or one of them hid it (DialogGone). A panel in no
// shown dialog (one made on its own) lets the queue run out. Overtaken when `generation`
// changed meanwhile; DialogGone as well when `panel` was destroyed.
PumpResult LetMessagesRun(HWND panel, const uint32_t& generation);

}  // namespace qcd::win
