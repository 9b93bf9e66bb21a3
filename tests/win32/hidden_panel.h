// The control's panel on a hidden window, with a canvas, media session and dispatcher of its
// own: previews run as in the Open dialog, and the tests tick the timers themselves.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "base/properties.h"
#include "base/timer_owner.h"
#include "dialoghost/panel_commands.h"
#include "media/mci_platform.h"
#include "media/media_session.h"
#include "media/vbmp3.h"
#include "platform/handles.h"
#include "preview/canvas.h"
#include "preview/dispatcher.h"

namespace qcd::test {

// Timers that never reach the platform: the test ticks them itself.
class QuietClock : public TimerClock {
  public:
    void Arm(int, uint32_t) override {}
    void Disarm(int) override {}
};

inline INT_PTR CALLBACK HiddenPanelProc(HWND, UINT msg, WPARAM, LPARAM) {
    return msg == WM_INITDIALOG;
}

inline std::wstring Text(HWND window) {
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

class HiddenPanelTest : public ::testing::Test {
  protected:
    void SetUp() override { MakePanel(); }
    void MakePanel() {
        holder_.reset(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 640, 400, nullptr,
                                      nullptr, nullptr, nullptr));
        panel_ = CreateDialogParamW(GetModuleHandleW(nullptr), L"QRCOMDLG", holder_.get(),
                                    HiddenPanelProc, 0);
        ASSERT_NE(panel_, nullptr);
        preview_.BeginDialog();
        ASSERT_TRUE(preview_.InitPanel(panel_));
    }
    void TearDown() override { preview_.EndDialog(); }

    // Selects the file at `path` as the dialog would.
    void SelectPath(const std::filesystem::path& path) {
        preview_.StopPreviewMedia(true);
        preview_.PreviewFile(path.u16string(), path.filename().u16string());
    }
    std::wstring Label(int id) const { return Text(GetDlgItem(panel_, id)); }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(panel_, id)) != FALSE; }
    void Press(int id) { OnPanelCommand(canvas_, preview_.Shown(), static_cast<uintptr_t>(id)); }

    // Where the text box lives between previews, as the control's window.
    win::unique_hwnd home_{CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                           nullptr, nullptr, nullptr)};
    win::unique_hwnd holder_;
    HWND panel_ = nullptr;
    Properties props_;
    QuietClock clock_;
    TimerOwner timers_{clock_};
    Canvas canvas_{props_, timers_, home_.get()};
    MediaSession media_{ProcessMci(), ProcessVbmp3()};
    PreviewDispatcher preview_{canvas_, media_};
};

}  // namespace qcd::test
