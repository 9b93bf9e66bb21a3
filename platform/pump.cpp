#include "platform/pump.h"

namespace qcd::win {

namespace {

// One message; false for WM_QUIT, which is not ours to take: it goes back for the loop that
// owns the thread.
bool Dispatch(const MSG& msg) {
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

}  // namespace

void LetPendingMessagesRun() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!Dispatch(msg)) return;
}

PumpResult LetMessagesRun(HWND panel, const uint32_t& generation) {
    const uint32_t before = generation;
    HWND dialog = panel ? GetAncestor(panel, GA_ROOT) : nullptr;
    if (dialog && IsWindowVisible(dialog)) {
        MSG msg;
        while (IsWindowVisible(dialog) && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (!Dispatch(msg)) break;
        if (!IsWindowVisible(dialog)) return PumpResult::DialogGone;
    } else {
        LetPendingMessagesRun();
    }
    if (panel && !IsWindow(panel)) return PumpResult::DialogGone;
    return generation == before ? PumpResult::Continue : PumpResult::Overtaken;
}

}  // namespace qcd::win
