// The Open dialog of a fresh control, driven from a second thread, for the preview tests.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "control/QuorComDlg.h"
#include "dialog_driver.h"
#include "dialoghost/dialog_host.h"
#include "picture_files.h"
#include "platform/com_ptr.h"
#include "platform/handles.h"

namespace qcd::test {

namespace fs = std::filesystem;
using win::com_ptr;

inline constexpr COLORREF kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255);

// JPEGs made by the build with ImageMagick: 640 x 480, top half red, bottom half blue.
inline fs::path Fixture(const char* name) { return OnDriveZ(QCD_FIXTURE_DIR) / name; }

struct Area {
    HWND window = nullptr;
    int width = 0, height = 0;
};

inline Area PreviewArea(HWND panel) {
    Area a;
    a.window = GetDlgItem(panel, 1000);
    RECT r{};
    GetWindowRect(a.window, &r);
    a.width = r.right - r.left;
    a.height = r.bottom - r.top;
    return a;
}

// The window's pixels as the screen shows them.
inline std::vector<uint32_t> ScreenPixels(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const int w = r.right, h = r.bottom;
    std::vector<uint32_t> pixels(static_cast<size_t>(w > 0 && h > 0 ? w * h : 0));
    if (pixels.empty()) return pixels;
    win::window_dc screen(nullptr);
    win::unique_mem_dc memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    win::unique_hbitmap dib(
        CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib) return pixels;
    win::select_object selected(memory.get(), dib.get());
    BitBlt(memory.get(), 0, 0, w, h, screen.get(), origin.x, origin.y, SRCCOPY);
    GdiFlush();
    std::memcpy(pixels.data(), bits, pixels.size() * sizeof(uint32_t));
    return pixels;
}

// Waits until what the screen shows of `window` holds still. The dialog's thread draws into
// the window at once, but Wine hands a window's pixels to the X server only when that thread
// next waits for messages: a read straight after the labels change can catch the screen
// half old, half new. Animated previews never hold still; they are given up to `ms`.
inline void ScreenSettled(HWND window, int ms = 600) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    std::vector<uint32_t> before = ScreenPixels(window);
    while (std::chrono::steady_clock::now() < end) {
        Sleep(60);
        std::vector<uint32_t> now = ScreenPixels(window);
        if (now == before) return;
        before = std::move(now);
    }
}

// A fresh control whose Open dialog starts in an empty folder of this test process's own.
class ControlDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(CoInitialize(nullptr));
        ASSERT_HRESULT_SUCCEEDED(CreateQuorComDlg(nullptr, IID__QuorComDlg, control_.put_void()));
        Object().MutableProps().DialogTitle =
            std::u16string(reinterpret_cast<const char16_t*>(Title()));
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = fs::path(temp) / (L"qcd-preview-" + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        Object().MutableProps().InitDir =
            std::u16string(reinterpret_cast<const char16_t*>(folder_.c_str()));
    }
    void TearDown() override {
        control_.reset();
        std::error_code ec;
        fs::remove_all(folder_, ec);
        CoUninitialize();
    }
    QuorComDlg& Object() { return *static_cast<QuorComDlg*>(control_.get()); }
    HWND TextView() { return Object().Dialogs().PreviewCanvas().TextView(); }
    std::u16string Folder() const {
        return std::u16string(reinterpret_cast<const char16_t*>(folder_.c_str()));
    }

    // Runs ShowOpen with `script` driving the dialog from another thread; the driver cancels
    // the dialog at the end.
    void Open(const std::function<void(HWND dlg, HWND pnl)>& script) {
        // A cancel empties InitDir, and a dialog given none opens where this program last
        // chose a file (the platform keeps that across runs): back to the test's folder.
        if (Object().Props().InitDir.empty()) Object().MutableProps().InitDir = Folder();
        bool ran = false;
        {
            DialogDriver driver([&] {
                HWND dlg = nullptr, pnl = nullptr;
                if (!WaitFor([&] { return (dlg = FindDialog(Title())) && (pnl = FindPanel(dlg)); }))
                    return;
                WaitFor([&] { return DialogIsUp(dlg, pnl); });
                script(dlg, pnl);
                ran = true;
            });
            EXPECT_HRESULT_SUCCEEDED(control_->ShowOpen());
        }
        ASSERT_TRUE(ran) << "the dialog did not come up";
    }

    com_ptr<_QuorComDlg> control_;
    fs::path folder_;
};

class PreviewTest : public ControlDialogTest {};

// Selects `name` and waits until its preview has ended (the status line no longer says
// "Loading..."). The dialog's thread sets the title and "Loading..." without answering other
// threads in between, so a title with another status is the end of the load.
inline bool Preview(HWND dlg, HWND pnl, const wchar_t* name) {
    if (!WaitFor([&] { return SelectFile(dlg, name); })) return false;
    if (!WaitFor([&] {
            return WindowText(GetDlgItem(pnl, 1001)) == name &&
                   WindowText(GetDlgItem(pnl, 1004)) != L"Loading...";
        }))
        return false;
    ScreenSettled(GetDlgItem(pnl, 1000));
    return true;
}

inline std::wstring SizeCaption(HWND pnl) {
    return WindowText(GetDlgItem(pnl, 1002));
}

// Where the picture's colour meets the blank area, along one line through the area.
struct Span {
    int first = -1, last = -1;
};
inline Span ColouredSpan(const Area& a, bool horizontal, int at, COLORREF blank) {
    Span s;
    const int n = horizontal ? a.width : a.height;
    for (int i = 0; i < n; ++i) {
        const COLORREF c = horizontal ? PixelAt(a.window, i, at) : PixelAt(a.window, at, i);
        if (c == blank) continue;
        if (s.first < 0) s.first = i;
        s.last = i;
    }
    return s;
}

inline BOOL CALLBACK CollectWindow(HWND w, LPARAM windows) {
    reinterpret_cast<std::vector<HWND>*>(windows)->push_back(w);
    return TRUE;
}

// The dialog's windows that cover part of `area` on the screen: any visible one outside the
// area itself, its ancestors and what it holds.
inline std::vector<std::wstring> WindowsOver(HWND dlg, HWND area) {
    RECT rect{};
    GetWindowRect(area, &rect);
    std::vector<std::wstring> found;
    std::vector<HWND> all;
    EnumChildWindows(dlg, CollectWindow, reinterpret_cast<LPARAM>(&all));
    for (HWND w : all) {
        RECT r{}, both{};
        GetWindowRect(w, &r);
        if (w == area || IsChild(w, area) || IsChild(area, w) || !IsWindowVisible(w) ||
            !IntersectRect(&both, &r, &rect))
            continue;
        wchar_t name[64] = {};
        GetClassNameW(w, name, 64);
        found.push_back(std::wstring(name) + L" " + std::to_wstring(GetDlgCtrlID(w)));
    }
    return found;
}

// The dialog thread's keyboard focus, seen from another thread.
inline HWND FocusOf(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

// A click on a panel button, as the mouse gives it.
inline void Click(HWND panel, int id) {
    PostMessageW(GetDlgItem(panel, id), BM_CLICK, 0, 0);
}

}  // namespace qcd::test
