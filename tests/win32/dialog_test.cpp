// The real Open and Save dialogs under the control, driven from a second thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "control/QuorComDlg.h"
#include "dialog_driver.h"
#include "preview_fixture.h"
#include "dialoghost/dialog_record.h"
#include "preview/panel.h"
#include "platform/com_ptr.h"

namespace qcd::test {
namespace {

namespace fs = std::filesystem;
using win::com_ptr;

class DialogTest : public ControlDialogTest {
protected:
    void SetUp() override {
        ControlDialogTest::SetUp();
        for (const wchar_t* name : {L"PHOTO.JPG", L"notes.txt", L"x.jpeg", L"icon.cur", L"song.mp3"})
            std::ofstream(folder_ / name) << "content";
    }
};

struct PanelSnapshot {
    std::wstring labels[4];
    std::wstring buttons[4];  // left to right: 1007, 1005, 1008, 1006
    bool enabled[4] = {};
    bool visible[4] = {};
};

PanelSnapshot Snapshot(HWND panel) {
    PanelSnapshot s;
    for (int i = 0; i < 4; ++i) s.labels[i] = WindowText(GetDlgItem(panel, 1001 + i));
    const int order[4] = {1007, 1005, 1008, 1006};
    for (int i = 0; i < 4; ++i) {
        HWND b = GetDlgItem(panel, order[i]);
        s.buttons[i] = WindowText(b);
        s.enabled[i] = IsWindowEnabled(b);
        s.visible[i] = IsWindowVisible(b);
    }
    return s;
}

TEST_F(DialogTest, CancelClearsTheResultsAndRaises2001WithCancelError) {
    Properties& p = Object().MutableProps();
    p.FileName = u"old";
    p.FileTitle = u"old";
    p.Position = 0;
    p.DialogLeft = 37;
    p.DialogTop = 41;
    RECT placed{};
    PanelSnapshot panel;
    bool sawPanel = false;
    {
        DialogDriver driver([&] {
            HWND dlg = nullptr;
            if (!WaitFor([&] { return (dlg = FindDialog(Title())) != nullptr; })) return;
            HWND pnl = nullptr;
            sawPanel = WaitFor([&] { return (pnl = FindPanel(dlg)) != nullptr; });
            WaitFor([&] { return pnl && DialogIsUp(dlg, pnl); });
            if (pnl) panel = Snapshot(pnl);
            GetWindowRect(dlg, &placed);
            PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_HRESULT_SUCCEEDED(control_->ShowOpen());
    }
    ASSERT_TRUE(sawPanel);
    EXPECT_EQ(placed.left, 37);
    EXPECT_EQ(placed.top, 41);
    EXPECT_EQ(panel.buttons[0], L"<<");
    EXPECT_EQ(panel.buttons[1], L"＞");
    EXPECT_EQ(panel.buttons[2], L"||");
    EXPECT_EQ(panel.buttons[3], L">>");
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(panel.enabled[i]) << i;
        EXPECT_FALSE(panel.visible[i]) << i;
        EXPECT_EQ(panel.labels[i], L"") << i;
    }
    EXPECT_EQ(p.FileName, u"");
    EXPECT_EQ(p.FileTitle, u"");
    EXPECT_EQ(p.InitDir, u"");
    EXPECT_FALSE(DialogIsOpen());

    p.CancelError = kVbTrue;
    p.InitDir = Folder();
    DialogDriver driver([&] {
        HWND dlg = nullptr;
        if (WaitFor([&] { return (dlg = FindDialog(Title())) != nullptr; })) PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(static_cast<uint32_t>(control_->ShowOpen()), 0x800A07D1u);
}

TEST_F(DialogTest, SelectionNamesTheFileClassifiesItAndOkStoresTheResult) {
    Properties& p = Object().MutableProps();
    p.Position = 1;
    struct Seen {
        std::wstring title, status;
        bool buttonsVisible = false, buttonsEnabled = true;
        std::u16string fileName;
    } photo, unknown, icon;
    RECT placed{};
    {
        DialogDriver driver([&] {
            HWND dlg = nullptr, pnl = nullptr;
            if (!WaitFor([&] { return (dlg = FindDialog(Title())) && (pnl = FindPanel(dlg)); })) return;
            WaitFor([&] { return DialogIsUp(dlg, pnl); });
            GetWindowRect(dlg, &placed);
            auto select = [&](const wchar_t* name, Seen& seen) {
                if (!WaitFor([&] { return SelectFile(dlg, name); })) return;
                WaitFor([&] { return WindowText(GetDlgItem(pnl, 1001)) == name; });
                seen.title = WindowText(GetDlgItem(pnl, 1001));
                seen.status = WindowText(GetDlgItem(pnl, 1004));
                seen.buttonsVisible = IsWindowVisible(GetDlgItem(pnl, 1005));
                seen.buttonsEnabled = IsWindowEnabled(GetDlgItem(pnl, 1005)) || IsWindowEnabled(GetDlgItem(pnl, 1006));
            };
            select(L"x.jpeg", unknown);
            select(L"icon.cur", icon);
            select(L"PHOTO.JPG", photo);
            PostMessageW(dlg, WM_COMMAND, IDOK, 0);
            // Let the dialog take the OK before the driver cancels whatever is left.
            WaitFor([&] { return !IsWindow(dlg); }, 3000);
        });
        EXPECT_HRESULT_SUCCEEDED(control_->ShowOpen());
    }
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(placed.left, (desktop.right - (placed.right - placed.left)) / 2);
    EXPECT_EQ(placed.top, (desktop.bottom - (placed.bottom - placed.top)) / 2);

    EXPECT_EQ(unknown.title, L"x.jpeg");
    EXPECT_FALSE(unknown.buttonsVisible);
    EXPECT_EQ(icon.title, L"icon.cur");
    EXPECT_TRUE(icon.buttonsVisible);  // icon rows show the buttons, disabled
    EXPECT_FALSE(icon.buttonsEnabled);
    EXPECT_EQ(icon.status, L"");
    EXPECT_EQ(photo.title, L"PHOTO.JPG");
    EXPECT_FALSE(photo.buttonsVisible);

    EXPECT_EQ(p.FileTitle, u"PHOTO.JPG");
    EXPECT_EQ(p.FileName, Folder() + u"\\PHOTO.JPG");
    EXPECT_EQ(p.InitDir, Folder());
    EXPECT_FALSE(Object().Timers().Enabled(TimerId::AniStep));
}

TEST_F(DialogTest, ATypeChangeEmptiesTheNameBoxAndThePanel) {
    Object().MutableProps().Filter = u"All|*.*|Text|*.txt";
    std::wstring titleBefore, titleAfter, nameBoxAfter;
    {
        DialogDriver driver([&] {
            HWND dlg = nullptr, pnl = nullptr;
            if (!WaitFor([&] { return (dlg = FindDialog(Title())) && (pnl = FindPanel(dlg)); })) return;
            WaitFor([&] { return DialogIsUp(dlg, pnl); });
            if (WaitFor([&] { return SelectFile(dlg, L"PHOTO.JPG"); }))
                WaitFor([&] { return WindowText(GetDlgItem(pnl, 1001)) == L"PHOTO.JPG"; });
            titleBefore = WindowText(GetDlgItem(pnl, 1001));
            SetWindowTextW(GetDlgItem(dlg, 1152), L"typed name");
            // The file-type list reacts to CBN_SELENDOK: CDN_TYPECHANGE.
            HWND types = GetDlgItem(dlg, 1136);
            SendMessageW(types, CB_SETCURSEL, 1, 0);
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(1136, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
            WaitFor([&] { return WindowText(GetDlgItem(dlg, 1152)).empty(); });
            titleAfter = WindowText(GetDlgItem(pnl, 1001));
            nameBoxAfter = WindowText(GetDlgItem(dlg, 1152));
            PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_HRESULT_SUCCEEDED(control_->ShowOpen());
    }
    EXPECT_EQ(titleBefore, L"PHOTO.JPG");
    EXPECT_EQ(titleAfter, L"");
    EXPECT_EQ(nameBoxAfter, L"");
}

TEST_F(DialogTest, SaveAppendsTheDefaultExtensionAndAcceptsANewName) {
    Properties& p = Object().MutableProps();
    p.DefaultExt = u"txt";
    p.FileName = u"";
    {
        DialogDriver driver([&] {
            HWND dlg = nullptr;
            if (!WaitFor([&] { return (dlg = FindDialog(Title())) != nullptr; })) return;
            HWND name = GetDlgItem(dlg, 1152);
            WaitFor([&] { return (name = GetDlgItem(dlg, 1152)) != nullptr; });
            SetWindowTextW(name, L"report");
            PostMessageW(dlg, WM_COMMAND, IDOK, 0);
            WaitFor([&] { return !IsWindow(dlg); }, 3000);
        });
        EXPECT_HRESULT_SUCCEEDED(control_->ShowSave());
    }
    EXPECT_EQ(p.FileTitle, u"report.txt");
    EXPECT_EQ(p.FileName, Folder() + u"\\report.txt");
    EXPECT_EQ(p.InitDir, Folder());
}

TEST_F(DialogTest, FocusGoesBackToTheFileListInsideTheShellView) {
    // Focus belongs to the dialog's thread: looked at from there.
    HWND list = nullptr, focusedBefore = nullptr, focusedAfter = nullptr;
    OnDialogThread probe([&](HWND dlg, HWND pnl) {
        list = FileList(dlg);
        SetFocus(GetDlgItem(dlg, 1152));
        focusedBefore = GetFocus();
        PanelView(pnl).FocusFileList();
        focusedAfter = GetFocus();
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_HRESULT_SUCCEEDED(control_->ShowOpen());
    ASSERT_TRUE(probe.Ran());
    ASSERT_NE(list, nullptr);
    EXPECT_NE(focusedBefore, list);
    EXPECT_EQ(focusedAfter, list);
}

TEST(DialogRecordTest, RecordsOfBothDialogs) {
    Properties p;
    p.MaxFileSize = 0;
    p.FileName = u"Ελλάδα 😀 café.txt";  // outside the ANSI code page
    p.DefaultExt = u"txt";
    p.FilterIndex = 2;
    RecordStrings s;
    OPENFILENAMEW open = MakeRecord(p, nullptr, s, true);
    EXPECT_EQ(open.lStructSize, sizeof(void*) == 8 ? 136u : 76u);  // without the later three members
    EXPECT_EQ(open.Flags, 0x881864u);
    EXPECT_EQ(open.nMaxFile, 260u);
    EXPECT_EQ(open.nMaxFileTitle, 260u);
    EXPECT_EQ(open.nFilterIndex, 2u);
    EXPECT_EQ(open.lpstrTitle, nullptr);  // empty title: the system's caption
    EXPECT_EQ(open.lpstrDefExt, nullptr);
    EXPECT_STREQ(open.lpTemplateName, L"QRCOMDLG");
    EXPECT_EQ(open.lpstrFile[0], L'\0');  // NT platforms pad with NULs
    EXPECT_EQ(std::wstring(open.lpstrFilter, 19), std::wstring(L"すべてのﾌｧｲﾙ(*.*)\0*.*\0\0", 19))
        << "double-NUL terminated";

    RecordStrings t;
    OPENFILENAMEW save = MakeRecord(p, nullptr, t, false);
    EXPECT_EQ(save.Flags, 0x880826u);  // no OFN_FILEMUSTEXIST
    EXPECT_EQ(save.lpTemplateName, nullptr);
    EXPECT_STREQ(save.lpstrDefExt, L"txt");
    EXPECT_STREQ(save.lpstrFile, L"Ελλάδα 😀 café.txt");

    p.MaxFileSize = 1;
    RecordStrings u;
    OPENFILENAMEW tiny = MakeRecord(p, nullptr, u, false);
    EXPECT_EQ(tiny.nMaxFile, 1u);
    EXPECT_EQ(tiny.lpstrFile[0], L'\0');
}

}  // namespace
}  // namespace qcd::test

namespace qcd::test {
namespace {

// Under Wine a keyboard move in the list notifies the new selection twice: it is previewed once.
TEST_F(DialogTest, AKeyboardMovePreviewsTheNewSelectionOnce) {
    const Canvas& canvas = Object().Dialogs().PreviewCanvas();
    uint32_t before = 0, after = 0;
    std::wstring title;
    Open([&](HWND dlg, HWND pnl) {
        if (!Preview(dlg, pnl, L"icon.cur")) return;
        // The dialog's thread is idle once the preview ended; its counter is read from here.
        before = canvas.Generation();
        HWND list = FileList(dlg);
        PostMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(list, WM_KEYUP, VK_DOWN, 0);
        WaitFor([&] { return WindowText(GetDlgItem(pnl, 1001)) == L"notes.txt"; });
        Sleep(300);  // both notifications of the move handled
        SendMessageW(dlg, WM_NULL, 0, 0);
        title = WindowText(GetDlgItem(pnl, 1001));
        after = canvas.Generation();
    });
    EXPECT_EQ(title, L"notes.txt");
    // One stop of the old preview and one start of the new one.
    EXPECT_EQ(after - before, 2u);
}

}  // namespace
}  // namespace qcd::test
