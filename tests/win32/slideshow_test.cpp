// The pictures behind a MIDI sound in the real Open dialog: the folder's slides with their
// transitions and the built-in pictures, read from the screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <string>
#include <vector>

#include "host_counts.h"
#include "media_files.h"
#include "preview/canvas.h"
#include "preview/slideshow.h"
#include "preview_fixture.h"

namespace qcd::test {
namespace {

constexpr COLORREF kSlideRed = RGB(200, 40, 40), kSlideBlue = RGB(40, 40, 200),
                   kSlideGreen = RGB(0x20, 0xA0, 0x20), kYellow = RGB(230, 230, 0);

// The average colour of a grid of points over the area.
COLORREF AreaColour(const Area& a) {
    int r = 0, g = 0, b = 0, n = 0;
    for (int y = a.height / 8; y < a.height; y += a.height / 4)
        for (int x = a.width / 8; x < a.width; x += a.width / 4, ++n) {
            const COLORREF c = PixelAt(a.window, x, y);
            r += GetRValue(c);
            g += GetGValue(c);
            b += GetBValue(c);
        }
    return RGB(r / n, g / n, b / n);
}

// Every sampled point of the area in one colour. (Under Wine a small window of the dialog's
// own lies over the area's top-left corner, 9 x 20 pixels.)
bool AreaAll(const Area& a, COLORREF colour) {
    for (int y = a.height / 8; y < a.height; y += a.height / 6)
        for (int x = a.width / 8; x < a.width; x += a.width / 6)
            if (!Near(PixelAt(a.window, x, y), colour, 24)) return false;
    return true;
}

std::wstring Label(HWND pnl, int id) { return WindowText(GetDlgItem(pnl, id)); }

// Which of the seven built-in pictures a colour is: the nearest of their hues.
int BuiltinOf(COLORREF c) {
    const double r = GetRValue(c) / 255.0, g = GetGValue(c) / 255.0, b = GetBValue(c) / 255.0;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    if (mx - mn < 0.1) return -1;
    double h = mx == r ? std::fmod((g - b) / (mx - mn), 6.0) : mx == g ? (b - r) / (mx - mn) + 2
                                                                         : (r - g) / (mx - mn) + 4;
    h = std::fmod(h * 60 + 360, 360);
    const double hues[] = {0, 30, 55, 120, 180, 220, 280};
    int best = -1;
    double distance = 1e9;
    for (int i = 0; i < 7; ++i) {
        const double d = std::min(std::fabs(h - hues[i]), 360 - std::fabs(h - hues[i]));
        if (d < distance) distance = d, best = i;
    }
    return distance < 12 ? best : -1;
}

class SlideshowTest : public PreviewTest {
  protected:
    void SetUp() override {
        PreviewTest::SetUp();
        WriteFile(folder_ / L"tune.mid", MidiFile(61400));
        WriteFile(folder_ / L"shown.bmp",
                  Bitmap8(64, 48, {kYellow}, [](int, int) { return uint8_t{0}; }));
        // Names outside the code page: the folder and its slides are found by their UTF-16 names.
        pictures_ = folder_ / L"pics Ελλάδα 😀 #";
        fs::create_directories(pictures_);
        WriteFile(pictures_ / L"a-rouge é.BMP",
                  Bitmap8(240, 240, {kSlideRed}, [](int, int) { return uint8_t{0}; }));
        fs::copy_file(Fixture("green.jpg"), pictures_ / L"b-πράσινο.jpg");
        WriteFile(pictures_ / L"c-파랑 😀.gif",
                  Gif(240, 240, 0x80, {kSlideBlue, kSlideBlue}, [](int, int) { return uint8_t{0}; }));
        // Not slides: neither name matches the pattern.
        fs::copy_file(Fixture("alpha.png"), pictures_ / L"a0.png");
        fs::copy_file(Fixture("quad-large.jpg"), pictures_ / L"b0.jpeg");
    }
    Properties& Props() { return Object().MutableProps(); }
    TimerOwner& Timers() { return Object().Dialogs().PreviewCanvas().Timers(); }
    std::u16string Pictures() const {
        return std::u16string(reinterpret_cast<const char16_t*>(pictures_.c_str()));
    }
    // Plays the MIDI file with the background the properties ask for.
    static bool Play(HWND dlg, HWND pnl) {
        if (!Preview(dlg, pnl, L"tune.mid")) return false;
        Click(pnl, 1005);
        return WaitFor([&] { return Label(pnl, 1005) == L"□"; });
    }

    fs::path pictures_;
};

COLORREF ColourOfSlide(const std::wstring& name) {
    return name == L"a-rouge é.BMP" ? kSlideRed : name == L"b-πράσινο.jpg" ? kSlideGreen : kSlideBlue;
}

TEST_F(SlideshowTest, FolderSlidesFollowInNameOrderAndPauseFreezesThem) {
    Props().BackGroundSlide = 2;
    Props().SlideFolder = Pictures();
    Timers().SetInterval(TimerId::FolderSlides, 300);
    std::vector<std::wstring> names;
    std::vector<bool> coloured;
    std::wstring pausedName, pausedLater, resumedName;
    bool pausedColour = false, pausedColourLater = false;
    Open([&](HWND dlg, HWND pnl) {
        if (!Play(dlg, pnl)) return;
        const Area a = PreviewArea(pnl);
        // The first slide is on before the first tick; each later one once its effect ended.
        for (int i = 0; i < 4; ++i) {
            const std::wstring last = names.empty() ? L"" : names.back();
            if (!WaitFor([&] { return Label(pnl, 1002) != last; }, 4000)) return;
            names.push_back(Label(pnl, 1002));
            // The screen follows the drawing a moment later.
            coloured.push_back(WaitFor([&] { return AreaAll(a, ColourOfSlide(names.back())); }, 1000));
        }
        Click(pnl, 1008);
        if (!WaitFor([&] { return Label(pnl, 1005) == L"＞"; })) return;
        // Whatever the press cut short ends on the slide the pause shows.
        Sleep(100);
        pausedName = Label(pnl, 1002);
        pausedColour = WaitFor([&] { return AreaAll(a, ColourOfSlide(pausedName)); }, 1000);
        Sleep(1500);
        RedrawWindow(a.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        pausedLater = Label(pnl, 1002);
        pausedColourLater = AreaAll(a, ColourOfSlide(pausedName));
        Click(pnl, 1008);
        WaitFor([&] { return Label(pnl, 1002) != pausedName; }, 4000);
        resumedName = Label(pnl, 1002);
    });
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a-rouge é.BMP", L"b-πράσινο.jpg", L"c-파랑 😀.gif",
                                                L"a-rouge é.BMP"}));
    EXPECT_EQ(coloured, std::vector<bool>(4, true));
    EXPECT_FALSE(pausedName.empty());
    EXPECT_TRUE(pausedColour);
    EXPECT_EQ(pausedLater, pausedName);
    EXPECT_TRUE(pausedColourLater);
    EXPECT_NE(resumedName, pausedName);
    EXPECT_FALSE(resumedName.empty());
    EXPECT_EQ(Props().SlideFolder, Pictures() + u"\\");
}

TEST_F(SlideshowTest, ASelectionDuringATransitionOwnsThePanel) {
    Props().BackGroundSlide = 2;
    Props().SlideFolder = Pictures();
    Timers().SetInterval(TimerId::FolderSlides, 200);
    std::wstring title, size;
    bool midEffect = false, picture = false, blankAround = false;
    Open([&](HWND dlg, HWND pnl) {
        if (!Play(dlg, pnl)) return;
        const Area a = PreviewArea(pnl);
        if (!WaitFor([&] { return Label(pnl, 1002) == L"a-rouge é.BMP"; })) return;
        // The effect has begun once the area is no longer the first slide alone.
        midEffect = WaitFor([&] { return !AreaAll(a, kSlideRed); }, 3000) &&
                    Label(pnl, 1002) == L"a-rouge é.BMP";
        if (!Preview(dlg, pnl, L"shown.bmp")) return;
        Sleep(1500);
        title = Label(pnl, 1001);
        size = Label(pnl, 1002);
        picture = Near(PixelAt(a.window, a.width / 2, a.height / 2), kYellow, 24);
        const COLORREF blank = GetSysColor(COLOR_BTNFACE);
        blankAround = Near(PixelAt(a.window, 2, 2), blank, 8) &&
                      Near(PixelAt(a.window, a.width - 3, a.height - 3), blank, 8);
    });
    EXPECT_TRUE(midEffect);
    EXPECT_EQ(title, L"shown.bmp");
    EXPECT_EQ(size, L"64x48x256");
    EXPECT_TRUE(picture);
    EXPECT_TRUE(blankAround);
}

// The generator is never seeded: a new control's first transition is the cross flip. In its
// middle frames neither rows nor columns reach the bottom-right corner, which the first
// slide covered: the erase must have left the area's colour there.
TEST_F(SlideshowTest, AFoldErasesWhereItsStripsHaveLeft) {
    Props().BackGroundSlide = 2;
    Props().SlideFolder = Pictures();
    Timers().SetInterval(TimerId::FolderSlides, 200);
    auto* show = dynamic_cast<Slideshow*>(Object().Dialogs().PreviewCanvas().Background());
    ASSERT_NE(show, nullptr);
    show->SetFramePeriod(200);  // five seconds for the 25 frames
    const COLORREF blank = GetSysColor(COLOR_BTNFACE);
    bool slideInCorner = false, blankInCorner = false;
    std::wstring during;
    Open([&](HWND dlg, HWND pnl) {
        if (!Play(dlg, pnl)) return;
        const Area a = PreviewArea(pnl);
        auto corner = [&] { return PixelAt(a.window, a.width - 3, a.height - 3); };
        if (!WaitFor([&] { return Label(pnl, 1002) == L"a-rouge é.BMP"; })) return;
        slideInCorner = WaitFor([&] { return Near(corner(), kSlideRed, 24); }, 1000);
        blankInCorner = WaitFor([&] { return Near(corner(), blank, 8); }, 6000);
        during = Label(pnl, 1002);
    });
    EXPECT_TRUE(slideInCorner);
    EXPECT_TRUE(blankInCorner);
    EXPECT_EQ(during, L"a-rouge é.BMP") << "seen before the effect ended";
}

TEST_F(SlideshowTest, NoFolderOrAFolderGoneShowsNothingBehindTheSound) {
    Props().BackGroundSlide = 2;
    std::vector<std::wstring> failures;
    auto playPauseResume = [&](const char* what) {
        Open([&](HWND dlg, HWND pnl) {
            if (!Play(dlg, pnl)) return failures.push_back(L"play"), void();
            const Area a = PreviewArea(pnl);
            const COLORREF blank = GetSysColor(COLOR_BTNFACE);
            Sleep(400);
            Click(pnl, 1008);
            WaitFor([&] { return Label(pnl, 1005) == L"＞"; });
            Sleep(200);
            if (!Label(pnl, 1002).empty() || !AreaAll(a, blank)) failures.push_back(L"paused");
            Click(pnl, 1008);
            WaitFor([&] { return Label(pnl, 1005) == L"□"; });
            Sleep(1000);
            if (!Label(pnl, 1002).empty() || !AreaAll(a, blank)) failures.push_back(L"resumed");
        });
        EXPECT_TRUE(failures.empty()) << what << ": " << testing::PrintToString(failures);
        failures.clear();
    };
    // A slideshow first, so that a later one could only show stale slides.
    Props().SlideFolder = Pictures();
    Timers().SetInterval(TimerId::FolderSlides, 200);
    std::wstring first;
    Open([&](HWND dlg, HWND pnl) {
        if (Play(dlg, pnl)) WaitFor([&] { return !(first = Label(pnl, 1002)).empty(); });
    });
    EXPECT_EQ(first, L"a-rouge é.BMP");
    Props().SlideFolder = u"";
    playPauseResume("no folder");
    Props().SlideFolder = Pictures() + u"\\gone";
    playPauseResume("a missing folder");
    fs::create_directories(pictures_ / L"empty");
    Props().SlideFolder = Pictures() + u"\\empty";
    playPauseResume("an empty folder");
}

TEST_F(SlideshowTest, BuiltinPicturesStepAndPauseShowsTheOneShowing) {
    Props().BackGroundSlide = 1;
    Timers().SetInterval(TimerId::PictureSlides, 800);
    std::vector<int> shown;
    int beforeRepaint = -2, afterRepaint = -3, showing = -4, paused = -5, pausedLater = -6;
    Open([&](HWND dlg, HWND pnl) {
        if (!Play(dlg, pnl)) return;
        const Area a = PreviewArea(pnl);
        // Before the first tick: what the start drew survives a repaint.
        WaitFor([&] { return (beforeRepaint = BuiltinOf(AreaColour(a))) >= 0; }, 1000);
        RedrawWindow(a.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        afterRepaint = BuiltinOf(AreaColour(a));
        shown.push_back(afterRepaint);
        while (shown.size() < 3) {
            if (!WaitFor([&] { return BuiltinOf(AreaColour(a)) != shown.back(); }, 3000)) return;
            shown.push_back(BuiltinOf(AreaColour(a)));
        }
        // Just after a step: the pause lands well before the next.
        showing = shown.back();
        Click(pnl, 1008);
        if (!WaitFor([&] { return Label(pnl, 1005) == L"＞"; })) return;
        Sleep(100);
        paused = BuiltinOf(AreaColour(a));
        Sleep(1200);
        RedrawWindow(a.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        pausedLater = BuiltinOf(AreaColour(a));
    });
    EXPECT_EQ(beforeRepaint, 0);
    EXPECT_EQ(afterRepaint, 0);
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(paused, showing);
    EXPECT_EQ(pausedLater, showing);
}

TEST_F(SlideshowTest, AHundredTransitionsLeaveWinesGdiHandleTableAsItWas) {
    if (!WinesGdiTableFound()) GTEST_SKIP() << kNoGdiTable;
    Props().BackGroundSlide = 2;
    Props().SlideFolder = Pictures();
    Timers().SetInterval(TimerId::FolderSlides, 1);
    // The leak would be in the drawing, not in the pacing.
    auto* show = dynamic_cast<Slideshow*>(Object().Dialogs().PreviewCanvas().Background());
    ASSERT_NE(show, nullptr);
    show->SetFramePeriod(0);
    int before = -1, after = -1;
    uint32_t ran = 0;
    const LongDialogs longer(std::chrono::seconds(120));
    // Counted while the sound is paused: no transition holds a DC then.
    auto pausedCount = [](HWND pnl) {
        Click(pnl, 1008);
        WaitFor([&] { return Label(pnl, 1005) == L"＞"; });
        Sleep(300);
        const int n = CountGdiObjects();
        Click(pnl, 1008);
        WaitFor([&] { return Label(pnl, 1005) == L"□"; });
        return n;
    };
    Open([&](HWND dlg, HWND pnl) {
        if (!Play(dlg, pnl)) return;
        // A few transitions first: every surface has its size and every picture its handle.
        WaitFor([&] { return show->Transitions() >= 5; }, 20000);
        before = pausedCount(pnl);
        show->TakeFrameDrawTime();
        const uint32_t start = show->Transitions();
        WaitFor([&] { return show->Transitions() >= start + 100; }, 90000);
        ran = show->Transitions() - start;
        after = pausedCount(pnl);
    });
    EXPECT_GE(ran, 100u);
    EXPECT_GT(before, 0);
    EXPECT_LE(after, before);
    std::printf("GDI objects: %d before, %d after %u transitions; %.3f ms drawing a frame\n", before,
                after, ran, show->TakeFrameDrawTime());
}

}  // namespace
}  // namespace qcd::test
