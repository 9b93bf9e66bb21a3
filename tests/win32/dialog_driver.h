// Drives a modal common dialog from a second thread, as a user would: the test thread sits
// in ShowOpen/ShowSave while the driver finds the dialog, looks at it and closes it.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace qcd::test {

// Polls `condition` until it holds or `ms` pass.
inline bool WaitFor(const std::function<bool()>& condition, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        Sleep(10);
    }
    return condition();
}

inline std::wstring WindowText(HWND hwnd) {
    wchar_t buf[1024] = {};
    GetWindowTextW(hwnd, buf, 1024);
    return buf;
}

// Tests run in parallel processes: each looks for its own dialog by a caption of its own.
inline const wchar_t* Title() {
    static const std::wstring title = L"QuorComDlg test " + std::to_wstring(GetCurrentProcessId());
    return title.c_str();
}

// The button's own visibility bit: IsWindowVisible is also false while the dialog is not
// shown yet.
inline bool ButtonsHidden(HWND panel) {
    return !(GetWindowLongW(GetDlgItem(panel, 1005), GWL_STYLE) & WS_VISIBLE);
}

// Placed and shown: the dialog appears only after CDN_INITDONE has been handled (the buttons
// are hidden by other notifications too, so that alone does not tell).
inline bool DialogIsUp(HWND dialog, HWND panel) { return IsWindowVisible(dialog) && ButtonsHidden(panel); }

// The common dialog whose caption is `title`.
inline HWND FindDialog(const wchar_t* title) { return FindWindowW(L"#32770", title); }

// The preview panel: the child dialog holding the preview area 1000.
inline HWND FindPanel(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgItem(child, 1000)) return child;
    return nullptr;
}

inline HWND FileList(HWND dialog) {
    HWND view = FindWindowExW(dialog, nullptr, L"SHELLDLL_DefView", nullptr);
    return view ? FindWindowExW(view, nullptr, L"SysListView32", nullptr) : nullptr;
}

// Selects the list item named `name`, as a click would: the dialog sends CDN_SELCHANGE.
inline bool SelectFile(HWND dialog, const wchar_t* name) {
    HWND list = FileList(dialog);
    if (!list) return false;
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = name;
    int index = static_cast<int>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
    if (index < 0) return false;
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return true;
}

// Runs `body(dialog, panel)` once on the dialog's own thread, inside its modal loop, as soon as
// the dialog is up: for what only that thread can do or see (its focus, the control's
// surfaces). Thread timers carry no data, so one probe at a time per thread.
class OnDialogThread {
public:
    explicit OnDialogThread(std::function<void(HWND, HWND)> body) {
        current() = this;
        body_ = std::move(body);
        timer_ = SetTimer(nullptr, 0, 50, Tick);
    }
    ~OnDialogThread() {
        KillTimer(nullptr, timer_);
        current() = nullptr;
    }
    OnDialogThread(const OnDialogThread&) = delete;
    OnDialogThread& operator=(const OnDialogThread&) = delete;
    bool Ran() const { return ran_; }

private:
    static OnDialogThread*& current() {
        static thread_local OnDialogThread* probe = nullptr;
        return probe;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        OnDialogThread* self = current();
        HWND dlg = FindDialog(Title());
        HWND pnl = dlg ? FindPanel(dlg) : nullptr;
        if (!self || self->ran_ || !pnl || !DialogIsUp(dlg, pnl)) return;
        self->ran_ = true;
        KillTimer(nullptr, self->timer_);
        self->body_(dlg, pnl);
    }
    std::function<void(HWND, HWND)> body_;
    UINT_PTR timer_ = 0;
    bool ran_ = false;
};

// Runs `script` on its own thread; the thread is joined when the driver goes.
class DialogDriver {
public:
    explicit DialogDriver(std::function<void()> script) : thread_(std::move(script)) {}
    ~DialogDriver() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

}  // namespace qcd::test
