// Drives a modal common dialog from a second thread, as a user would: the test thread sits
// in ShowOpen/ShowSave while the driver finds the dialog, looks at it and closes it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
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

inline BOOL CALLBACK CancelIfDialog(HWND window, LPARAM) {
    wchar_t name[16] = {};
    if (GetClassNameW(window, name, 16) && lstrcmpW(name, L"#32770") == 0)
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}
// Cancels every dialog box the thread shows: the common dialogs and any message box over them.
// Only top-level windows are listed, so the preview panel (a #32770 child) is left to its
// dialog.
inline void CancelDialogsOf(DWORD thread) { EnumThreadWindows(thread, CancelIfDialog, 0); }

// How long a dialog a test opens may stay open, driving included: every case takes a few
// seconds, and ctest's timeout of a case is twice this.
inline constexpr std::chrono::seconds kDialogDeadline{30};

// The deadline of the guards made on this thread: a test that drives one dialog for minutes
// (the soak, the damaged-file run) sets its own for its length.
class LongDialogs {
  public:
    explicit LongDialogs(std::chrono::seconds deadline) : saved_(Current()) { Current() = deadline; }
    ~LongDialogs() { Current() = saved_; }
    LongDialogs(const LongDialogs&) = delete;
    LongDialogs& operator=(const LongDialogs&) = delete;
    static std::chrono::seconds& Current() {
        static thread_local std::chrono::seconds deadline = kDialogDeadline;
        return deadline;
    }

  private:
    std::chrono::seconds saved_;
};

// Sees to it that the dialogs a test opens on this thread end, so that a test whose driving
// goes wrong fails instead of sitting in ShowOpen/ShowSave until ctest's timeout. Once the
// driving is over (Release), or `giveUpAfter` passed without it having begun (Hold), it
// cancels the thread's dialogs until the guard goes. A guard still there at its deadline
// means the dialog's thread or the driving hangs: it says so and ends the test process with a
// failure.
class DialogGuard {
public:
    explicit DialogGuard(std::chrono::milliseconds giveUpAfter = LongDialogs::Current())
        : thread_(GetCurrentThreadId()),
          start_(std::chrono::steady_clock::now()),
          giveUp_(start_ + giveUpAfter),
          deadline_(LongDialogs::Current()),
          watcher_([this] { Watch(); }) {}
    ~DialogGuard() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        watcher_.join();
    }
    DialogGuard(const DialogGuard&) = delete;
    DialogGuard& operator=(const DialogGuard&) = delete;

    // The driving has begun: no giving up before it is over.
    void Hold() {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = true;
    }
    // The driving is over, whether it got through or not.
    void Release() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_until(lock, giveUp_, [&] { return done_ || released_ || held_; });
        if (held_)
            changed_.wait_until(lock, start_ + deadline_, [&] { return done_ || released_; });
        // Again and again: a dialog may come up late, or a message box may close before it.
        while (!done_) {
            if (std::chrono::steady_clock::now() >= start_ + deadline_) Abandon(deadline_);
            CancelDialogsOf(thread_);
            changed_.wait_for(lock, std::chrono::milliseconds(100), [&] { return done_; });
        }
    }
    [[noreturn]] static void Abandon(std::chrono::seconds deadline) {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::fflush(stdout);
        std::fprintf(stderr,
                     "FAILED %s.%s: a dialog or its driving still runs %lld s after it began; "
                     "ending the test process\n",
                     test ? test->test_suite_name() : "?", test ? test->name() : "?",
                     static_cast<long long>(deadline.count()));
        std::fflush(stderr);
        // Not ExitProcess: the hung thread may hold locks that process exit needs.
        TerminateProcess(GetCurrentProcess(), 3);
        for (;;) Sleep(INFINITE);
    }

    const DWORD thread_;
    const std::chrono::steady_clock::time_point start_, giveUp_;
    const std::chrono::seconds deadline_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false, released_ = false, done_ = false;
    std::thread watcher_;
};

// Runs `body(dialog, panel)` once on the dialog's own thread, inside its modal loop, as soon as
// the dialog is up: for what only that thread can do or see (its focus, the control's
// surfaces). Thread timers carry no data, so one probe at a time per thread. The thread's
// dialogs are cancelled once the body has run, or if none is up within 10 s, until the probe
// goes: one probe for one ShowOpen.
class OnDialogThread {
public:
    explicit OnDialogThread(std::function<void(HWND, HWND)> body)
        : guard_(std::chrono::seconds(10)) {
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
        self->guard_.Hold();
        self->body_(dlg, pnl);
        self->guard_.Release();
    }
    DialogGuard guard_;
    std::function<void(HWND, HWND)> body_;
    UINT_PTR timer_ = 0;
    bool ran_ = false;
};

// Runs `script` on its own thread; the thread is joined when the driver goes. Whatever dialog
// of the test thread is still open when the script returns, finished or given up, is cancelled.
class DialogDriver {
public:
    explicit DialogDriver(std::function<void()> script)
        : thread_([this, script = std::move(script)] {
              script();
              guard_.Release();
          }) {}
    ~DialogDriver() {
        if (thread_.joinable()) thread_.join();
    }

private:
    DialogGuard guard_;
    std::thread thread_;
};

}  // namespace qcd::test
