// The Open dialog resized by its user: the preview column grows with it, the preview shown is
// fitted again, and the first size gives the first layout back.
#include <fstream>
#include <map>

#include "media_files.h"
#include "preview_fixture.h"

namespace qcd::test {
namespace {

RECT RectIn(HWND window, HWND dialog) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Every control of the dialog and of its panel, where it stands in the dialog.
std::map<HWND, RECT> Controls(HWND dlg, HWND pnl) {
    std::map<HWND, RECT> all;
    for (HWND parent : {dlg, pnl})
        for (HWND w = GetWindow(parent, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
            all[w] = RectIn(w, dlg);
    return all;
}

// The dialog made larger (or smaller) by (dw, dh), then the column's relayout waited for.
bool Resize(HWND dlg, HWND pnl, int dw, int dh) {
    const int areaWidth = PreviewArea(pnl).width + dw / 2;
    RECT r{};
    GetWindowRect(dlg, &r);
    SetWindowPos(dlg, nullptr, 0, 0, r.right - r.left + dw, r.bottom - r.top + dh,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (!WaitFor([&] { return PreviewArea(pnl).width == areaWidth; })) return false;
    ScreenSettled(GetDlgItem(pnl, 1000));
    return true;
}

int CentreX(const RECT& r) { return (r.left + r.right) / 2; }

// A point in the upper half of a 4:3 picture fitted across the area.
POINT UpperHalf(const Area& a) { return {a.width / 2, a.height / 2 - a.width * 3 / 16}; }

// The camera photo's Exif thumbnail (all blue, 160 x 120) serves the first area; the larger
// one needs more pixels than it has, and the photo itself (red above, blue below) is decoded.
// The next dialog opens at the first size again.
TEST_F(PreviewTest, ALargerDialogGrowsThePreviewAndTheFirstSizeGivesTheFirstLayoutBack) {
    fs::copy_file(Fixture("camera.jpg"), folder_ / L"camera.jpg");
    std::map<HWND, RECT> first, grown, back;
    std::map<int, HWND> item;  // the panel's controls by id
    HWND area = nullptr, list = nullptr;
    COLORREF before = 0, after = 0;
    std::wstring captionBefore, captionAfter;
    std::vector<std::wstring> over;
    bool resized = false;
    RECT firstSize{};
    Open([&](HWND dlg, HWND pnl) {
        if (!Preview(dlg, pnl, L"camera.jpg")) return;
        for (int id = 1000; id <= 1008; ++id) item[id] = GetDlgItem(pnl, id);
        area = item[1000];
        list = FindWindowExW(dlg, nullptr, L"SHELLDLL_DefView", nullptr);
        first = Controls(dlg, pnl);
        before = PixelAt(area, UpperHalf(PreviewArea(pnl)).x, UpperHalf(PreviewArea(pnl)).y);
        captionBefore = SizeCaption(pnl);
        if (!Resize(dlg, pnl, 200, 150)) return;
        grown = Controls(dlg, pnl);
        over = WindowsOver(dlg, area);
        after = PixelAt(area, UpperHalf(PreviewArea(pnl)).x, UpperHalf(PreviewArea(pnl)).y);
        captionAfter = SizeCaption(pnl);
        resized = Resize(dlg, pnl, -200, -150);
        back = Controls(dlg, pnl);
        GetWindowRect(dlg, &firstSize);
        Resize(dlg, pnl, 120, 60);  // and cancelled large
    });
    RECT nextSize{};
    Open([&](HWND dlg, HWND) { GetWindowRect(dlg, &nextSize); });
    ASSERT_TRUE(resized);
    EXPECT_EQ(nextSize.right - nextSize.left, firstSize.right - firstSize.left) << "not remembered";
    EXPECT_EQ(nextSize.bottom - nextSize.top, firstSize.bottom - firstSize.top);
    ASSERT_NE(list, nullptr);

    const RECT a0 = first[area], a1 = grown[area];
    EXPECT_EQ(a1.right - a1.left, a0.right - a0.left + 100) << "half of the width";
    EXPECT_EQ(a1.bottom - a1.top, a0.bottom - a0.top + 150) << "all of the height";
    EXPECT_EQ(grown[list].right - grown[list].left, first[list].right - first[list].left + 100);
    EXPECT_TRUE(over.empty()) << (over.empty() ? std::wstring() : over.front());
    // The labels below keep their distance to the area and their centre on it; so do the
    // buttons, which stand together centred under it.
    for (int id : {1002, 1003, 1004, 1005})
        EXPECT_EQ(grown[item[id]].top - a1.bottom, first[item[id]].top - a0.bottom) << id;
    const auto offCentre = [&](std::map<HWND, RECT>& layout, const RECT& r) {
        return CentreX(r) - CentreX(layout[area]);
    };
    for (int id : {1001, 1002, 1003, 1004})
        EXPECT_NEAR(offCentre(grown, grown[item[id]]), offCentre(first, first[item[id]]), 1) << id;
    const auto row = [&](std::map<HWND, RECT>& layout) {
        return RECT{layout[item[1007]].left, 0, layout[item[1006]].right, 0};
    };
    EXPECT_NEAR(offCentre(grown, row(grown)), offCentre(first, row(first)), 1);

    EXPECT_TRUE(Near(before, kBlue)) << "from the thumbnail " << std::hex << before;
    EXPECT_TRUE(Near(after, kRed)) << "from the photo, decoded for the larger area " << std::hex << after;
    EXPECT_EQ(captionAfter, captionBefore);

    ASSERT_EQ(back.size(), first.size());
    for (const auto& [window, rect] : first)
        EXPECT_TRUE(EqualRect(&back[window], &rect)) << "control " << GetDlgCtrlID(window);
}

// What each kind shows follows the area: the text box covers it, the video's window is
// centred in it at the clip's own size (it fitted smaller before), the icon stays centred,
// the pictures behind a sound fill it.
TEST_F(PreviewTest, AResizeFitsThePreviewShownAgain) {
    std::ofstream(folder_ / L"notes.txt") << "some text\r\n";
    fs::copy_file(VideoFixture("clip.avi"), folder_ / L"clip.avi");  // 160 x 120
    fs::copy_file(Fixture("icon1.ico"), folder_ / L"red.ico");       // 32 x 32
    struct Seen {
        RECT area{}, shown{};
        COLORREF centre = 0, beside = 0;
    };
    std::map<std::wstring, Seen> seen;
    WriteFile(folder_ / L"tune.mid", MidiFile(30000));
    COLORREF blank = 0, pictureCorner = 0;
    Open([&](HWND dlg, HWND pnl) {
        for (const wchar_t* name : {L"notes.txt", L"clip.avi", L"red.ico"}) {
            if (!Preview(dlg, pnl, name) || !Resize(dlg, pnl, 200, 150)) return;
            const Area a = PreviewArea(pnl);
            Seen& s = seen[name];
            GetClientRect(a.window, &s.area);
            for (HWND w = GetWindow(a.window, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
                if (IsWindowVisible(w)) s.shown = RectIn(w, a.window);
            s.centre = PixelAt(a.window, a.width / 2, a.height / 2);
            s.beside = PixelAt(a.window, a.width / 2 + 20, a.height / 2);
            if (!Resize(dlg, pnl, -200, -150)) return;
        }
        // A playing MIDI file's built-in picture is stretched over the whole area again.
        if (!Preview(dlg, pnl, L"tune.mid")) return;
        const auto corner = [&] {
            const Area a = PreviewArea(pnl);
            return PixelAt(a.window, a.width - 2, a.height - 2);
        };
        blank = corner();
        Click(pnl, 1005);
        if (!WaitFor([&] { return corner() != blank; }) || !Resize(dlg, pnl, 200, 150)) return;
        pictureCorner = corner();
    });
    EXPECT_NE(pictureCorner, blank) << "the built-in picture covers the larger area";
    ASSERT_EQ(seen.size(), 3u);
    const Seen& text = seen[L"notes.txt"];
    EXPECT_TRUE(EqualRect(&text.shown, &text.area)) << "the text box covers the area";
    const Seen& video = seen[L"clip.avi"];
    EXPECT_EQ(video.shown.right - video.shown.left, 160);
    EXPECT_EQ(video.shown.bottom - video.shown.top, 120);
    EXPECT_NEAR(CentreX(video.shown), video.area.right / 2, 1);
    const Seen& icon = seen[L"red.ico"];
    EXPECT_TRUE(Near(icon.centre, kRed)) << std::hex << icon.centre;
    EXPECT_FALSE(Near(icon.beside, kRed)) << "the icon keeps its own size";
}

}  // namespace
}  // namespace qcd::test
