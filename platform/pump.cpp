#include "platform/pump.h"

#include <windows.h>

namespace qcd::win {

void LetPendingMessagesRun() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not ours to take: the loop that owns the thread must see it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool LetPendingMessagesRunWhileShown(HWND dialog) {
    MSG msg;
    while (IsWindowVisible(dialog)) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return true;
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return true;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return false;
}

}  // namespace qcd::win
