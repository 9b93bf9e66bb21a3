// The one message pump of the control: long work lets the messages waiting in the thread's
// queue run, and leaves a quit request for the loop that owns it.
#pragma once

namespace qcd::win {

// Lets the messages waiting in the thread's queue run once. A WM_QUIT is put back for the
// host's (or the dialog's) own loop and ends the pump.
void LetPendingMessagesRun();

}  // namespace qcd::win
