// Videos and MIDI files in the real Open dialog, the keyboard held down over them.
#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>

#include <commctrl.h>
#include <oleacc.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "media_files.h"
#include "preview/canvas.h"
#include "preview_fixture.h"

namespace qcd::test {
namespace {

int OpenDevices() {
    char reply[64] = {};
    mciSendStringA("sysinfo all quantity open", reply, sizeof reply, nullptr);
    return atoi(reply);
}

int ChildCount(HWND window) {
    int n = 0;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++n;
    return n;
}

int FrameOf(HWND panel) { return _wtoi(WindowText(GetDlgItem(panel, 1003)).c_str()); }

// The control's own window timers drive the counter while the dialog runs; every press gives
// the keyboard back to the file list.
TEST_F(PreviewTest, AVideoPlaysOnTheControlsTimerAndAMidiFileOnItsOwn) {
    fs::copy_file(VideoFixture("clip.avi"), folder_ / L"clip.avi");
    WriteFile(folder_ / L"tune.mid", MidiFile(61400));
    int playing = 0, paused = -1, pausedLater = -2;
    std::wstring pausedCaption, midiTime, midiCaption;
    bool focusOnList = false;
    int drawn = 0;
    Open([&](HWND dlg, HWND pnl) {
        if (!Preview(dlg, pnl, L"clip.avi")) return;
        // The first frame is on the screen: the test picture's coloured bars, not a blank or
        // black window.
        const Area a = PreviewArea(pnl);
        WaitFor([&] {
            std::set<COLORREF> colours;
            for (int x = 0; x < a.width; x += 2) colours.insert(PixelAt(a.window, x, a.height / 2));
            drawn = static_cast<int>(colours.size());
            return drawn >= 6;
        }, 2000);
        Click(pnl, 1005);
        WaitFor([&] { return FrameOf(pnl) > 10; });
        playing = FrameOf(pnl);
        focusOnList = FocusOf(dlg) == FileList(dlg);
        Click(pnl, 1008);
        WaitFor([&] { return WindowText(GetDlgItem(pnl, 1005)) == L"＞"; });
        SendMessageW(dlg, WM_NULL, 0, 0);
        paused = FrameOf(pnl);
        pausedCaption = WindowText(GetDlgItem(pnl, 1005));
        Sleep(400);
        pausedLater = FrameOf(pnl);
        if (!Preview(dlg, pnl, L"tune.mid")) return;
        Click(pnl, 1005);
        WaitFor([&] { return WindowText(GetDlgItem(pnl, 1005)) == L"□"; });
        Sleep(300);  // Timer8 ticks
        SendMessageW(dlg, WM_NULL, 0, 0);
        midiTime = WindowText(GetDlgItem(pnl, 1003));
        midiCaption = WindowText(GetDlgItem(pnl, 1005));
    });
    EXPECT_GE(drawn, 6);
    EXPECT_GT(playing, 10);
    EXPECT_TRUE(focusOnList);
    EXPECT_EQ(pausedCaption, L"＞");
    EXPECT_GE(paused, playing);
    EXPECT_EQ(pausedLater, paused);
    EXPECT_EQ(midiCaption, L"□");
    EXPECT_EQ(midiTime, L"00:00/01:01");  // no MIDI output here: the position stays at 0
}

// The accessible name of a panel button as a screen reader reads it, from this (another)
// thread: through the platform's accessibility interface.
std::wstring AccessibleName(HWND button) {
    constexpr IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(button, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
                                          reinterpret_cast<void**>(&accessible))) || !accessible)
        return L"(no object)";
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    accessible->get_accName(self, &name);
    std::wstring text = name ? name : L"(no name)";
    SysFreeString(name);
    accessible->Release();
    return text;
}

// The four names, play first, as the buttons' captions stay symbols.
std::vector<std::wstring> ButtonNames(HWND panel) {
    std::vector<std::wstring> names;
    for (int id : {1005, 1006, 1007, 1008}) names.push_back(AccessibleName(GetDlgItem(panel, id)));
    return names;
}

TEST_F(PreviewTest, TheButtonsSayWhatAPressWillDoNow) {
    fs::copy_file(VideoFixture("clip.avi"), folder_ / L"clip.avi");
    std::vector<std::wstring> still, playing, paused;
    std::wstring playCaption;
    Open([&](HWND dlg, HWND pnl) {
        CoInitialize(nullptr);
        if (Preview(dlg, pnl, L"clip.avi")) {
            still = ButtonNames(pnl);
            Click(pnl, 1005);
            WaitFor([&] { return WindowText(GetDlgItem(pnl, 1005)) == L"□"; });
            playing = ButtonNames(pnl);
            Click(pnl, 1008);
            WaitFor([&] { return WindowText(GetDlgItem(pnl, 1005)) == L"＞"; });
            paused = ButtonNames(pnl);
            playCaption = WindowText(GetDlgItem(pnl, 1005));
        }
        CoUninitialize();
    });
    using Names = std::vector<std::wstring>;
    EXPECT_EQ(still, (Names{L"Play", L"Next frame", L"Previous frame", L"Pause"}));
    EXPECT_EQ(playing, (Names{L"Stop", L"Fast forward", L"Rewind", L"Pause"}));
    EXPECT_EQ(paused, (Names{L"Play", L"Next frame", L"Previous frame", L"Resume"}));
    EXPECT_EQ(playCaption, L"＞");  // the caption stays the symbol
}

// The name of the list's selected item; the list is in this process, so the text can be asked
// for from the driver's thread.
std::wstring SelectedName(HWND list) {
    const int index = static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (index < 0) return L"";
    wchar_t text[MAX_PATH] = {};
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

// Every move lets the video open and close run their pumps, where the next key comes in:
// each newer selection owns the panel, and the one selected at the end is previewed whole.
TEST_F(PreviewTest, HoldingDownThroughVideosAndSoundsEndsOnTheLastPreview) {
    const wchar_t* names[] = {L"a1.avi", L"a2.mid", L"a3.avi", L"a4.mid",
                              L"a5.avi", L"a6.mid", L"a7.avi", L"a8.avi"};
    for (const wchar_t* name : names) {
        const std::wstring n = name;
        if (n.ends_with(L".mid"))
            WriteFile(folder_ / name, MidiFile(61400));
        else
            fs::copy_file(VideoFixture(n == L"a8.avi" ? "small.avi" : "clip.avi"), folder_ / name);
    }
    const int devicesBefore = OpenDevices();
    std::wstring selected, title, size, index, status;
    int children = -1, devices = -1;
    bool videoShown = false;
    PreviewKind kind = PreviewKind::None;
    Open([&](HWND dlg, HWND pnl) {
        if (!Preview(dlg, pnl, L"a1.avi")) return;
        HWND list = FileList(dlg);
        // Held down: the first press, then the keyboard's repeats about 30 a second.
        for (int i = 0; i < 10; ++i) {
            PostMessageW(list, WM_KEYDOWN, VK_DOWN, i ? 0x40500001 : 0x00500001);
            Sleep(30);
        }
        PostMessageW(list, WM_KEYUP, VK_DOWN, static_cast<LPARAM>(0xC0500001u));
        auto settled = [&] {
            SendMessageW(dlg, WM_NULL, 0, 0);
            selected = SelectedName(list);
            return WindowText(GetDlgItem(pnl, 1001)) == selected &&
                   WindowText(GetDlgItem(pnl, 1004)) != L"Loading...";
        };
        WaitFor(settled, 10000);
        Sleep(500);
        if (!settled()) return;
        title = WindowText(GetDlgItem(pnl, 1001));
        size = WindowText(GetDlgItem(pnl, 1002));
        index = WindowText(GetDlgItem(pnl, 1003));
        status = WindowText(GetDlgItem(pnl, 1004));
        HWND area = GetDlgItem(pnl, 1000);
        children = ChildCount(area);
        HWND video = GetWindow(area, GW_CHILD);
        videoShown = video && IsWindowVisible(video);
        devices = OpenDevices();
        kind = Object().Dialogs().PreviewCanvas().State().kind;
    });
    ASSERT_FALSE(title.empty()) << "the preview never caught up with the selection";
    EXPECT_EQ(status, L"");
    if (title.ends_with(L".mid")) {
        EXPECT_EQ(size, L"");
        EXPECT_EQ(index, L"00:00/01:01");
        EXPECT_EQ(kind, PreviewKind::MciSound);
        EXPECT_EQ(children, 0);
    } else {
        EXPECT_EQ(size.substr(0, 8), title == L"a8.avi" ? L"64x48xFu" : L"160x120x");
        EXPECT_EQ(index, title == L"a8.avi" ? L"1/30  Frame" : L"1/250  Frame");
        EXPECT_EQ(kind, PreviewKind::Video);
        EXPECT_EQ(children, 1);  // one video window, none of an overtaken open
        EXPECT_TRUE(videoShown);
    }
    EXPECT_EQ(devices, devicesBefore + 1);  // the one device of the last preview
    EXPECT_EQ(OpenDevices(), devicesBefore);  // all closed with the dialog
}

}  // namespace
}  // namespace qcd::test

namespace qcd::test {
namespace {

// The area's pixels on a coarse grid, as one number.
uint64_t Fingerprint(const Area& a) {
    uint64_t sum = 0;
    for (int y = 2; y < a.height; y += 3)
        for (int x = 2; x < a.width; x += 3) sum = sum * 31 + PixelAt(a.window, x, y);
    return sum;
}

// Wine's player does not repaint after a seek by itself: a step shows the new frame.
TEST_F(PreviewTest, AStepShowsTheFrameSteppedTo) {
    fs::copy_file(VideoFixture("clip.avi"), folder_ / L"clip.avi");
    uint64_t first = 0, stepped = 0, back = 0;
    std::wstring line;
    Open([&](HWND dlg, HWND pnl) {
        if (!Preview(dlg, pnl, L"clip.avi")) return;
        const Area a = PreviewArea(pnl);
        Sleep(300);
        first = Fingerprint(a);
        // A click at a time, as the frame line follows.
        for (int i = 2; i <= 26; ++i) {
            Click(pnl, 1006);
            const std::wstring want = std::to_wstring(i) + L"/250  Frame";
            WaitFor([&] { return WindowText(GetDlgItem(pnl, 1003)) == want; });
        }
        Sleep(300);
        line = WindowText(GetDlgItem(pnl, 1003));
        stepped = Fingerprint(a);
        for (int i = 25; i >= 1; --i) {
            Click(pnl, 1007);
            const std::wstring want = std::to_wstring(i) + L"/250  Frame";
            WaitFor([&] { return WindowText(GetDlgItem(pnl, 1003)) == want; });
        }
        Sleep(300);
        back = Fingerprint(a);
    });
    EXPECT_EQ(line, L"26/250  Frame");
    EXPECT_NE(stepped, first);
    EXPECT_EQ(back, first);
}

}  // namespace
}  // namespace qcd::test
