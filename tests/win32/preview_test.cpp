// Picture, metafile and text previews in the real Open dialog, on files the tests write.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "control/QuorComDlg.h"
#include "picture_files.h"
#include "preview/picture_kind.h"
#include "preview_fixture.h"

namespace qcd::test {
namespace {

namespace fs = std::filesystem;

TEST_F(PreviewTest, RasterPicturesAreFittedAndCaptioned) {
    const std::vector<COLORREF> palette = {RGB(0, 0, 0), kRed, kBlue, RGB(0, 255, 0)};
    auto halves = [](int height) {
        return [height](int, int y) -> uint8_t { return y < height / 2 ? 1 : 2; };
    };
    WriteFile(folder_ / L"wide.bmp", Bitmap8(640, 480, palette, halves(480)));
    WriteFile(folder_ / L"tall.bmp",
              Bitmap8(100, 300, palette, [](int, int) -> uint8_t { return 3; }));
    Bytes notBm = Bitmap8(64, 48, palette, halves(48));
    notBm[0] = 'X';
    WriteFile(folder_ / L"notbm.bmp", notBm);
    WriteFile(folder_ / L"r7.gif",
              Gif(50, 40, 0xF7, palette, [](int, int) -> uint8_t { return 1; }));
    WriteFile(folder_ / L"r1.gif",
              Gif(50, 40, 0x91, palette, [](int, int) -> uint8_t { return 2; }));
    for (const char* name : {"baseline.jpg", "progressive.jpg", "gray.jpg"})
        fs::copy_file(Fixture(name), folder_ / name);

    const COLORREF blank = GetSysColor(COLOR_BTNFACE);
    struct Seen {
        std::wstring title, caption;
        Span across, down;
        COLORREF top = 0, bottom = 0;
    };
    std::map<std::wstring, Seen> seen;
    Area area;
    Open([&](HWND dlg, HWND pnl) {
        area = PreviewArea(pnl);
        for (const wchar_t* name : {L"wide.bmp", L"tall.bmp", L"r7.gif", L"r1.gif", L"baseline.jpg",
                                    L"progressive.jpg", L"gray.jpg", L"notbm.bmp"}) {
            if (!Preview(dlg, pnl, name)) continue;
            Seen& s = seen[name];
            s.title = WindowText(GetDlgItem(pnl, 1001));
            s.caption = SizeCaption(pnl);
            s.across = ColouredSpan(area, true, area.height / 2, blank);
            s.down = ColouredSpan(area, false, area.width / 2, blank);
            if (s.down.first >= 0) {
                s.top = PixelAt(area.window, area.width / 2, s.down.first + 2);
                s.bottom = PixelAt(area.window, area.width / 2, s.down.last - 2);
            }
        }
    });
    ASSERT_GT(area.width, 0);
    const int w = area.width, h = area.height;

    // Wide: the long side spans the area, the short side is scaled from the area's height.
    const Seen& wide = seen[L"wide.bmp"];
    EXPECT_EQ(wide.caption, L"640x480x256");
    const int d = static_cast<int>(std::nearbyint(h * 480.0)) / 640;
    EXPECT_EQ(wide.across.first, 0);
    EXPECT_EQ(wide.across.last, w - 1);
    EXPECT_EQ(wide.down.first, (h - d) / 2);
    EXPECT_EQ(wide.down.last, (h - d) / 2 + d - 1);
    EXPECT_EQ(wide.top, kRed) << "drawn upside down?";
    EXPECT_EQ(wide.bottom, kBlue);

    const Seen& tall = seen[L"tall.bmp"];
    EXPECT_EQ(tall.caption, L"100x300x256");
    const int dt = static_cast<int>(std::nearbyint(w * 100.0)) / 300;
    EXPECT_EQ(tall.across.first, (w - dt) / 2);
    EXPECT_EQ(tall.across.last, (w - dt) / 2 + dt - 1);
    EXPECT_EQ(tall.down.first, 0);
    EXPECT_EQ(tall.down.last, h - 1);

    // Small pictures are copied as they are, centred.
    const Seen& r7 = seen[L"r7.gif"];
    EXPECT_EQ(r7.caption, L"50x40x256");
    EXPECT_EQ(r7.across.first, (w - 50) / 2);
    EXPECT_EQ(r7.across.last, (w - 50) / 2 + 49);
    EXPECT_EQ(r7.down.first, (h - 40) / 2);
    EXPECT_EQ(r7.down.last, (h - 40) / 2 + 39);
    EXPECT_EQ(r7.top, kRed);
    EXPECT_EQ(seen[L"r1.gif"].caption, L"50x40x2");
    EXPECT_EQ(seen[L"r1.gif"].top, kBlue);

    for (const wchar_t* jpeg : {L"baseline.jpg", L"progressive.jpg"}) {
        const Seen& j = seen[jpeg];
        EXPECT_EQ(j.caption, L"640x480xFull") << jpeg;
        EXPECT_EQ(j.down.first, (h - d) / 2) << jpeg;
        EXPECT_TRUE(Near(j.top, kRed)) << jpeg;
        EXPECT_TRUE(Near(j.bottom, kBlue)) << jpeg;
    }
    EXPECT_EQ(seen[L"gray.jpg"].caption, L"640x480x256");

    // Not a bitmap by its own header: only the title. The blank area and caption are also what
    // a panel that never saw the file shows, so the title is what tells it was previewed.
    const Seen& bad = seen[L"notbm.bmp"];
    EXPECT_EQ(bad.title, L"notbm.bmp");
    EXPECT_EQ(bad.caption, L"");
    EXPECT_EQ(bad.across.first, -1);
    EXPECT_EQ(bad.down.first, -1);
}

// The folder this test's binary and the control run from.
fs::path ModuleFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

std::vector<fs::path> Listing(const fs::path& folder) {
    std::vector<fs::path> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(PreviewTest, MetafilesAreStretchedOverTheAreaWithoutTemporaryFiles) {
    // Left half red, right half blue, in the recording's own units.
    auto halves = [](HDC dc) {
        FillRect(dc, {0, 0, 100, 100}, kRed);
        FillRect(dc, {100, 0, 200, 100}, kBlue);
    };
    ASSERT_TRUE(RecordWmf(folder_ / L"plain.wmf", [&](HDC dc) {
        SetWindowExtEx(dc, 200, 100, nullptr);
        halves(dc);
    }));
    ASSERT_TRUE(RecordEmf(folder_ / L"drawing.emf", {0, 0, 5080, 2540}, halves));
    const auto folderBefore = Listing(folder_);
    const auto moduleBefore = Listing(ModuleFolder());

    const COLORREF blank = GetSysColor(COLOR_BTNFACE);
    std::wstring plainCaption, emfCaption;
    COLORREF plainLeft = 0, plainRight = 0, emfLeft = 0;
    Span plainAcross;
    Open([&](HWND dlg, HWND pnl) {
        const Area a = PreviewArea(pnl);
        if (Preview(dlg, pnl, L"plain.wmf")) {
            plainCaption = SizeCaption(pnl);
            plainLeft = PixelAt(a.window, a.width / 4, a.height / 2);
            plainRight = PixelAt(a.window, a.width * 3 / 4, a.height / 2);
            plainAcross = ColouredSpan(a, true, a.height / 2, blank);
        }
        if (Preview(dlg, pnl, L"drawing.emf")) {
            emfCaption = SizeCaption(pnl);
            emfLeft = PixelAt(a.window, 2, a.height / 2);
        }
    });
    EXPECT_EQ(plainCaption, L"?? x ?? x Full");
    EXPECT_TRUE(Near(plainLeft, kRed));
    EXPECT_TRUE(Near(plainRight, kBlue));
    EXPECT_EQ(plainAcross.first, 0);
    EXPECT_FALSE(emfCaption.empty());
    EXPECT_EQ(emfCaption.substr(emfCaption.size() - 5), L"xFull");
    EXPECT_TRUE(Near(emfLeft, kRed)) << "the metafile fills the area from its left edge";
    EXPECT_EQ(Listing(folder_), folderBefore);
    EXPECT_EQ(Listing(ModuleFolder()), moduleBefore);
}

// Nothing of the file dialog's own covers the area: a metafile stretched over all of it shows
// in every corner, the top-left one included, where Wine puts the end of the dialog's toolbar.
TEST_F(PreviewTest, TheWholeAreaShowsThePicture) {
    ASSERT_TRUE(RecordWmf(folder_ / L"red.wmf", [](HDC dc) {
        SetWindowExtEx(dc, 100, 100, nullptr);
        FillRect(dc, {0, 0, 100, 100}, kRed);
    }));
    std::vector<std::wstring> over;
    std::vector<COLORREF> corners;
    Area a;
    Open([&](HWND dlg, HWND pnl) {
        a = PreviewArea(pnl);
        over = WindowsOver(dlg, a.window);
        if (!Preview(dlg, pnl, L"red.wmf")) return;
        for (const POINT p : {POINT{0, 0}, POINT{8, 19}, POINT{a.width - 1, 0},
                              POINT{0, a.height - 1}, POINT{a.width - 1, a.height - 1}})
            corners.push_back(PixelAt(a.window, p.x, p.y));
    });
    ASSERT_GT(a.width, 60);
    EXPECT_TRUE(over.empty()) << (over.empty() ? std::wstring() : over.front());
    ASSERT_EQ(corners.size(), 5u);
    for (size_t i = 0; i < corners.size(); ++i) EXPECT_EQ(corners[i], kRed) << "point " << i;
}

std::wstring EditText(HWND edit) {
    const int n = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), n + 1)));
    return text;
}

TEST_F(PreviewTest, TextFilesShowInTheBoxOverTheAreaAndTheBoxComesBack) {
    const std::wstring japanese = L"日本語のテキスト\r\n二行目です";
    std::ofstream(folder_ / L"empty.txt").close();
    {
        std::ofstream longFile(folder_ / L"long.txt", std::ios::binary);
        for (int i = 0; i < 3000; ++i) longFile << "line " << i << "\n";
    }
    {
        std::ofstream utf8(folder_ / L"utf8.txt", std::ios::binary);
        utf8 << "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82"
                "\xB9\xE3\x83\x88"
                "\r\n\xE4\xBA\x8C\xE8\xA1\x8C\xE7\x9B\xAE\xE3\x81\xA7\xE3\x81\x99";
        char sjis[256];
        const int n =
            WideCharToMultiByte(932, 0, japanese.c_str(), -1, sjis, sizeof sjis, nullptr, nullptr);
        ASSERT_GT(n, 1);
        std::ofstream(folder_ / L"sjis.ini", std::ios::binary).write(sjis, n - 1);
    }
    WriteFile(folder_ / L"after.bmp",
              Bitmap8(8, 8, {RGB(0, 0, 0), kRed}, [](int, int) -> uint8_t { return 1; }));

    // A long text is built in a second box, shown in the first one's place when it is whole:
    // the box is looked up at each use.
    HWND home = GetParent(TextView());
    ASSERT_NE(TextView(), nullptr);
    struct {
        bool inArea = false, visible = false;
        RECT boxRect{}, areaRect{};
        std::wstring text;
    } empty;
    int longLines = 0, longScrollMax = 0, longPage = 0;
    std::wstring utf8Text, sjisText;
    bool inAreaAfterPicture = true, visibleAfterPicture = true, inAreaAtCancel = false;
    Open([&](HWND dlg, HWND pnl) {
        HWND area = GetDlgItem(pnl, 1000);
        HWND box = TextView();
        if (Preview(dlg, pnl, L"empty.txt")) {
            empty.inArea = GetParent(box) == area;
            empty.visible = IsWindowVisible(box);
            GetWindowRect(box, &empty.boxRect);
            GetWindowRect(area, &empty.areaRect);
            empty.text = EditText(box);
        }
        if (Preview(dlg, pnl, L"long.txt")) {
            box = TextView();
            longLines = static_cast<int>(SendMessageW(box, EM_GETLINECOUNT, 0, 0));
            SCROLLINFO si{};
            si.cbSize = sizeof si;
            si.fMask = SIF_RANGE | SIF_PAGE;
            GetScrollInfo(box, SB_VERT, &si);
            longScrollMax = si.nMax;
            longPage = static_cast<int>(si.nPage);
        }
        if (Preview(dlg, pnl, L"utf8.txt")) utf8Text = EditText(box);
        if (Preview(dlg, pnl, L"after.bmp")) {
            inAreaAfterPicture = GetParent(box) == area;
            visibleAfterPicture = IsWindowVisible(box);
        }
        if (Preview(dlg, pnl, L"sjis.ini")) {
            sjisText = EditText(box);
            inAreaAtCancel = GetParent(box) == area;
        }
    });
    EXPECT_TRUE(empty.inArea);
    EXPECT_TRUE(empty.visible);
    EXPECT_TRUE(EqualRect(&empty.boxRect, &empty.areaRect)) << "the box covers the area exactly";
    EXPECT_EQ(empty.text, L"");
    EXPECT_GE(longLines, 3000);
    EXPECT_GT(longScrollMax, longPage) << "a long text scrolls";
    EXPECT_EQ(utf8Text, japanese);
    EXPECT_FALSE(inAreaAfterPicture);
    EXPECT_FALSE(visibleAfterPicture);
    EXPECT_EQ(sjisText, japanese);
    EXPECT_TRUE(inAreaAtCancel);
    // Cancelled while a text showed: the box survives the dialog and is the control's again.
    ASSERT_TRUE(IsWindow(TextView()));
    EXPECT_EQ(GetParent(TextView()), home);
    EXPECT_FALSE(IsWindowVisible(TextView()));
}

TEST_F(PreviewTest, TheNextSlideIsLoadedFittedToTheArea) {
    const std::vector<COLORREF> palette = {RGB(0, 0, 0), kRed, kBlue};
    WriteFile(folder_ / L"slide.bmp",
              Bitmap8(640, 480, palette, [](int, int y) -> uint8_t { return y < 240 ? 1 : 2; }));
    Canvas& canvas = Object().Dialogs().PreviewCanvas();
    bool loaded = false;
    int width = 0, height = 0;
    COLORREF top = 0, middle = 0, bottom = 0;
    // The slide is loaded on the dialog's thread, while the panel is up.
    OnDialogThread probe([&](HWND dlg, HWND) {
        loaded = LoadPictureFit(canvas, Folder() + u"\\slide.bmp");
        const Surface& strip = canvas.IconStrip();
        width = strip.Width();
        height = strip.Height();
        top = GetPixel(strip.Dc(), width / 2, 2);
        middle = GetPixel(strip.Dc(), width / 2, height / 4 + 4);
        bottom = GetPixel(strip.Dc(), width / 2, height * 3 / 4 - 4);
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_HRESULT_SUCCEEDED(control_->ShowOpen());
    ASSERT_TRUE(probe.Ran());
    EXPECT_TRUE(loaded);
    EXPECT_GT(width, 80);
    EXPECT_GT(height, 80);
    // Wide: spans the width, blank above and below, the top half red and the bottom blue.
    EXPECT_EQ(top, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(middle, kRed);
    EXPECT_EQ(bottom, kBlue);
}

TEST_F(PreviewTest, ATypeChangeWhileATextLoadsLeavesThePanelEmpty) {
    Object().MutableProps().Filter = u"All|*.*|Text|*.txt";
    std::ofstream(folder_ / L"notes.txt") << "some text";
    PreviewDispatcher& preview = Object().Dialogs().Preview();
    HWND box = TextView();
    bool inArea = true;
    std::wstring title = L"?";
    OnDialogThread probe([&](HWND dlg, HWND pnl) {
        // The change waits in the queue; the text load lets it run before placing the box.
        HWND types = GetDlgItem(dlg, 1136);
        SendMessageW(types, CB_SETCURSEL, 1, 0);
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(1136, CBN_SELENDOK),
                     reinterpret_cast<LPARAM>(types));
        preview.StopPreviewMedia(true);
        preview.PreviewFile(Folder() + u"\\notes.txt", u"notes.txt");
        inArea = GetParent(box) == GetDlgItem(pnl, 1000);
        title = WindowText(GetDlgItem(pnl, 1001));
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_HRESULT_SUCCEEDED(control_->ShowOpen());
    ASSERT_TRUE(probe.Ran());
    EXPECT_EQ(title, L"") << "the type change emptied the panel";
    EXPECT_FALSE(inArea) << "the stale text must not be placed over the emptied panel";
}

TEST_F(PreviewTest, ALongTextShowsItsFirstMebibyte) {
    const std::string line(98, 'a');
    {
        std::ofstream big(folder_ / L"big.log.txt", std::ios::binary);
        for (int i = 0; i < 30000; ++i) big << line << "\r\n";  // 3 MB
    }
    int length = 0;
    Open([&](HWND dlg, HWND pnl) {
        if (Preview(dlg, pnl, L"big.log.txt")) length = GetWindowTextLengthW(TextView());
    });
    EXPECT_EQ(length, 1 << 20);
}

struct TipSearch {
    HWND owner;
    HWND tip = nullptr;
};

BOOL CALLBACK FindOwnedTip(HWND window, LPARAM search) {
    auto* f = reinterpret_cast<TipSearch*>(search);
    wchar_t cls[32] = {};
    GetClassNameW(window, cls, 32);
    if (lstrcmpiW(cls, TOOLTIPS_CLASSW) == 0 && GetWindow(window, GW_OWNER) == f->owner) f->tip = window;
    return TRUE;
}

// The title label keeps the whole name as its text (and tooltip when shortened), and draws a
// name too long for it on one line without losing either end of it to the label's edges.
// The title notifies its clicks (for its tooltip): such a click is no press, and the picture
// still comes back when the area is painted again.
TEST_F(PreviewTest, AClickOnTheTitleLeavesThePicture) {
    WriteFile(folder_ / L"red.bmp", Bitmap8(64, 64, {RGB(0, 0, 0), kRed},
                                             [](int, int) -> uint8_t { return 1; }));
    COLORREF shown = 0, repainted = 0;
    Open([&](HWND dlg, HWND pnl) {
        if (!Preview(dlg, pnl, L"red.bmp")) return;
        const Area area = PreviewArea(pnl);
        shown = PixelAt(area.window, area.width / 2, area.height / 2);
        HWND title = GetDlgItem(pnl, 1001);
        SendMessageW(title, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageW(title, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        RedrawWindow(area.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        ScreenSettled(area.window);
        repainted = PixelAt(area.window, area.width / 2, area.height / 2);
    });
    EXPECT_EQ(shown, kRed);
    EXPECT_EQ(repainted, kRed);
}

TEST_F(PreviewTest, ALongTitleIsShortenedToFitItsLabel) {
    const std::wstring longName = L"a-very-long-title-with-hyphens-and-more.txt";
    std::ofstream(folder_ / longName) << "text";
    std::ofstream(folder_ / L"x.txt") << "text";
    const COLORREF blank = GetSysColor(COLOR_BTNFACE);
    struct Seen {
        std::wstring text, tip;
        int first = -1, last = -1, width = 0;
    };
    std::map<std::wstring, Seen> seen;
    Open([&](HWND dlg, HWND pnl) {
        HWND label = GetDlgItem(pnl, 1001);
        for (const std::wstring& name : {longName, std::wstring(L"x.txt")}) {
            if (!Preview(dlg, pnl, name.c_str())) continue;
            Seen& s = seen[name];
            s.text = WindowText(label);
            // The tooltip made for the panel (owned by its top-level window), asked for the
            // label's text.
            TipSearch find{GetAncestor(pnl, GA_ROOT)};
            EnumThreadWindows(GetWindowThreadProcessId(pnl, nullptr), FindOwnedTip,
                              reinterpret_cast<LPARAM>(&find));
            if (find.tip) {
                wchar_t tip[256] = {};
                TOOLINFOW tool{};
                tool.cbSize = TTTOOLINFOW_V2_SIZE;
                tool.hwnd = pnl;
                tool.uId = reinterpret_cast<UINT_PTR>(label);
                tool.lpszText = tip;
                SendMessageW(find.tip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
                s.tip = tip;
            }
            RECT r{};
            GetClientRect(label, &r);
            s.width = r.right;
            for (int x = 0; x < r.right; ++x) {
                bool ink = false;
                for (int y = 0; y < r.bottom && !ink; ++y) ink = PixelAt(label, x, y) != blank;
                if (!ink) continue;
                if (s.first < 0) s.first = x;
                s.last = x;
            }
        }
    });
    for (const std::wstring& name : {longName, std::wstring(L"x.txt")}) {
        const Seen& s = seen[name];
        EXPECT_EQ(s.text, name);
        ASSERT_GE(s.first, 0) << "nothing drawn";
        // Neither end cut by an edge: the text stands inside the label, centred.
        EXPECT_GT(s.first, 0);
        EXPECT_LT(s.last, s.width - 1);
        EXPECT_LE(std::abs(s.first - (s.width - 1 - s.last)), 3);
    }
    // Only the shortened one has the whole name as its tooltip: a tip over a name shown
    // whole would cover the picture.
    EXPECT_EQ(seen[longName].tip, longName);
    EXPECT_EQ(seen[L"x.txt"].tip, L"");
    // The long one takes most of the label's width, the short one little of it.
    EXPECT_GT(seen[longName].last - seen[longName].first, seen[L"x.txt"].width * 2 / 3);
    EXPECT_LT(seen[L"x.txt"].last - seen[L"x.txt"].first, seen[L"x.txt"].width / 3);
}

}  // namespace
}  // namespace qcd::test
