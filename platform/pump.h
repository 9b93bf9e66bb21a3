// The one message pump of the control: long work lets the messages waiting in the thread's
// queue run, and leaves a quit request for the loop that owns it.
#pragma once

#include <windows.h>

namespace qcd::win {

// Lets the messages waiting in the thread's queue run once. A WM_QUIT is put back for the
// host's (or the dialog's) own loop and ends the pump.
void LetPendingMessagesRun();

// The same, but stops after the message that hid `dialog`: a dialog ended by Cancel is only
// hidden until its own loop runs again, and a second Cancel dispatched to it from here makes
// the platform's file dialog clean up twice. False when it stopped so (or `dialog` is hidden).
bool LetPendingMessagesRunWhileShown(HWND dialog);

}  // namespace qcd::win
