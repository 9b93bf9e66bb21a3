// Icon, cursor, animated-cursor and program-icon previews with their buttons, in the real
// Open dialog, on files the tests write.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "preview_fixture.h"

namespace qcd::test {
namespace {

constexpr COLORREF kGreen = RGB(0, 255, 0), kYellow = RGB(255, 255, 0);

struct Shown {
    std::wstring size, index, status, play;
    bool playOn = false, forwardOn = false, backOn = false, pauseOn = false;
    Span across;
    COLORREF centre = 0;
    bool focusOnList = false;
};

Shown Look(HWND dlg, HWND pnl) {
    Shown s;
    s.focusOnList = FocusOf(dlg) == FileList(dlg);
    s.size = WindowText(GetDlgItem(pnl, 1002));
    s.index = WindowText(GetDlgItem(pnl, 1003));
    s.status = WindowText(GetDlgItem(pnl, 1004));
    s.play = WindowText(GetDlgItem(pnl, 1005));
    s.playOn = IsWindowEnabled(GetDlgItem(pnl, 1005));
    s.forwardOn = IsWindowEnabled(GetDlgItem(pnl, 1006));
    s.backOn = IsWindowEnabled(GetDlgItem(pnl, 1007));
    s.pauseOn = IsWindowEnabled(GetDlgItem(pnl, 1008));
    const Area a = PreviewArea(pnl);
    s.across = ColouredSpan(a, true, a.height / 2, GetSysColor(COLOR_BTNFACE));
    s.centre = PixelAt(a.window, a.width / 2, a.height / 2);
    return s;
}

// Clicks `id` and waits for the index line to change from what it was.
Shown Press(HWND dlg, HWND pnl, int id) {
    const std::wstring before = WindowText(GetDlgItem(pnl, 1003)) +
                                WindowText(GetDlgItem(pnl, 1004)) +
                                WindowText(GetDlgItem(pnl, 1005));
    Click(pnl, id);
    WaitFor(
        [&] {
            return WindowText(GetDlgItem(pnl, 1003)) + WindowText(GetDlgItem(pnl, 1004)) +
                       WindowText(GetDlgItem(pnl, 1005)) !=
                   before;
        },
        2000);
    // The press ends by giving the focus back to the file list.
    WaitFor([&] { return FocusOf(dlg) == FileList(dlg); }, 1000);
    return Look(dlg, pnl);
}

TEST_F(PreviewTest, IconFilesStepThroughTheirImages) {
    WriteFile(folder_ / L"three.ico", IconFile({{16, kRed}, {32, kGreen}, {48, kBlue}}));
    WriteFile(folder_ / L"one.cur", IconFile({{32, kYellow}}, 2));
    // A bitmap under a cursor's name shows as the bitmap it is.
    WriteFile(folder_ / L"bitmap.cur",
              Bitmap8(20, 10, {0, kRed}, [](int, int) -> uint8_t { return 1; }));

    std::vector<Shown> steps;
    Shown one, bitmap;
    int areaWidth = 0;
    Open([&](HWND dlg, HWND pnl) {
        areaWidth = PreviewArea(pnl).width;
        if (Preview(dlg, pnl, L"three.ico")) {
            steps.push_back(Look(dlg, pnl));
            for (int i = 0; i < 3; ++i) steps.push_back(Press(dlg, pnl, 1006));
            steps.push_back(Press(dlg, pnl, 1007));
        }
        if (Preview(dlg, pnl, L"one.cur")) one = Look(dlg, pnl);
        if (Preview(dlg, pnl, L"bitmap.cur")) bitmap = Look(dlg, pnl);
    });
    ASSERT_EQ(steps.size(), 5u);
    const std::pair<const wchar_t*, const wchar_t*> expected[] = {{L"1/3  Image", L"16x16xFull"},
                                                                  {L"2/3  Image", L"32x32xFull"},
                                                                  {L"3/3  Image", L"48x48xFull"},
                                                                  {L"1/3  Image", L"16x16xFull"},
                                                                  {L"3/3  Image", L"48x48xFull"}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(steps[i].index, expected[i].first) << i;
        EXPECT_EQ(steps[i].size, expected[i].second) << i;
        EXPECT_TRUE(steps[i].forwardOn && steps[i].backOn) << i;
        EXPECT_FALSE(steps[i].playOn || steps[i].pauseOn) << i;
        if (i > 0) {
            EXPECT_TRUE(steps[i].focusOnList) << "focus back on the file list after press " << i;
        }
    }
    // The 16-pixel image is drawn 16 wide; the others in a 32-pixel cell.
    EXPECT_EQ(steps[0].across.first, (areaWidth - 16) / 2);
    EXPECT_EQ(steps[0].across.last - steps[0].across.first + 1, 16);
    EXPECT_EQ(steps[1].across.last - steps[1].across.first + 1, 32);
    EXPECT_EQ(steps[2].across.last - steps[2].across.first + 1, 32);
    EXPECT_TRUE(Near(steps[0].centre, kRed));
    EXPECT_TRUE(Near(steps[1].centre, kGreen));
    EXPECT_TRUE(Near(steps[2].centre, kBlue)) << "each image drawn from its own cell";

    EXPECT_EQ(one.index, L"1/1  Image");
    EXPECT_EQ(one.size, L"32x32xFull");
    EXPECT_FALSE(one.forwardOn || one.backOn || one.playOn);

    EXPECT_EQ(bitmap.size, L"20x10x256");
    EXPECT_EQ(bitmap.across.last - bitmap.across.first + 1, 20);
}

TEST_F(PreviewTest, AnimatedCursorsPlayPauseStepAndStop) {
    // 100 ms a step: slow enough to watch every step.
    WriteFile(folder_ / L"four.ani", AniFile({kRed, kGreen, kBlue, kYellow}, 8, 10));
    WriteFile(folder_ / L"single.ani", AniFile({kRed}, 4, 10));

    Shown start, playing, paused, stepped, resumed, stopped, single;
    std::vector<std::pair<std::wstring, std::wstring>> seen;  // (frame line, image line)
    Open([&](HWND dlg, HWND pnl) {
        if (!Preview(dlg, pnl, L"four.ani")) return;
        start = Look(dlg, pnl);
        playing = Press(dlg, pnl, 1005);
        // Watched until eight steps and a wrap were seen; given up after ten seconds.
        const DWORD until = GetTickCount() + 10000;
        int lastSeen = 0, stepsSeen = 0, wrapsSeen = 0;
        while ((stepsSeen < 8 || wrapsSeen < 1) && GetTickCount() < until) {
            // Each read is its own message to the dialog's thread: a step may come between
            // them. Consecutive steps here always change the image, so two equal image reads
            // around the frame read belong to one step.
            const std::wstring image = WindowText(GetDlgItem(pnl, 1003));
            std::pair<std::wstring, std::wstring> now{WindowText(GetDlgItem(pnl, 1004)), image};
            if (WindowText(GetDlgItem(pnl, 1003)) != image) continue;
            if (seen.empty() || seen.back() != now) {
                seen.push_back(now);
                int f = 0, of = 0;
                if (swscanf(now.first.c_str(), L"%d/%d  Frame", &f, &of) == 2 && f != lastSeen) {
                    ++stepsSeen;
                    if (f < lastSeen) ++wrapsSeen;
                    lastSeen = f;
                }
            }
            Sleep(5);
        }
        paused = Press(dlg, pnl, 1008);
        stepped = Press(dlg, pnl, 1006);
        resumed = Press(dlg, pnl, 1005);
        stopped = Press(dlg, pnl, 1005);
        if (Preview(dlg, pnl, L"single.ani")) single = Look(dlg, pnl);
    });
    EXPECT_EQ(start.status, L"1/8  Frame");
    EXPECT_EQ(start.index, L"1/4  Image");
    EXPECT_EQ(start.size, L"32x32xFull");
    EXPECT_TRUE(start.playOn && start.forwardOn && start.backOn);
    EXPECT_FALSE(start.pauseOn);
    EXPECT_TRUE(Near(start.centre, kRed));

    EXPECT_EQ(playing.play, L"□");
    EXPECT_TRUE(playing.pauseOn);
    EXPECT_FALSE(playing.forwardOn || playing.backOn);
    EXPECT_TRUE(playing.focusOnList);

    // Steps 1..8 show images 1, 2, 3, 4, 1, 2, 3, 4, and the animation goes round.
    int lastFrame = 0, wraps = 0, distinct = 0;
    for (const auto& [frame, image] : seen) {
        int f = 0, of = 0, i = 0, ofImages = 0;
        if (swscanf(frame.c_str(), L"%d/%d  Frame", &f, &of) != 2) continue;
        ASSERT_EQ(swscanf(image.c_str(), L"%d/%d  Image", &i, &ofImages), 2) << image;
        EXPECT_EQ(of, 8);
        EXPECT_EQ(i, (f - 1) % 4 + 1) << "frame " << f;
        if (f < lastFrame) ++wraps;
        if (f != lastFrame) ++distinct;
        lastFrame = f;
    }
    EXPECT_GE(distinct, 8);
    EXPECT_GE(wraps, 1);

    EXPECT_EQ(paused.play, L"＞");
    EXPECT_TRUE(paused.forwardOn && paused.backOn);
    int pausedFrame = 0, steppedFrame = 0, of = 0;
    ASSERT_EQ(swscanf(paused.status.c_str(), L"%d/%d", &pausedFrame, &of), 2);
    ASSERT_EQ(swscanf(stepped.status.c_str(), L"%d/%d", &steppedFrame, &of), 2);
    EXPECT_EQ(steppedFrame, pausedFrame % 8 + 1);
    const COLORREF byImage[] = {kRed, kGreen, kBlue, kYellow};
    EXPECT_TRUE(Near(stepped.centre, byImage[(steppedFrame - 1) % 4]))
        << "frame " << steppedFrame << " colour " << std::hex << stepped.centre;
    EXPECT_EQ(resumed.play, L"□");
    EXPECT_EQ(stopped.play, L"＞");
    EXPECT_EQ(stopped.status, L"1/8  Frame");
    EXPECT_EQ(stopped.index, L"1/4  Image");

    EXPECT_EQ(single.index, L"1/1  Image");
    EXPECT_EQ(single.status, L"1/4  Frame");
    EXPECT_FALSE(single.playOn || single.forwardOn || single.backOn || single.pauseOn);
    EXPECT_FALSE(Object().Timers().Enabled(TimerId::AniStep));
}

TEST_F(PreviewTest, ProgramFilesShowTheirIconsOrNoImage) {
    fs::copy_file(Fixture("three_icons.dll"), folder_ / L"three.dll");
    // The control itself holds bitmaps but no icon.
    wchar_t control[MAX_PATH];
    GetModuleFileNameW(nullptr, control, MAX_PATH);
    fs::copy_file(fs::path(control).parent_path() / L"QuorCommonDialogControl.ocx",
                  folder_ / L"noicons.ocx");

    Shown three, next, none;
    Open([&](HWND dlg, HWND pnl) {
        if (Preview(dlg, pnl, L"three.dll")) {
            three = Look(dlg, pnl);
            next = Press(dlg, pnl, 1006);
        }
        if (Preview(dlg, pnl, L"noicons.ocx")) none = Look(dlg, pnl);
    });
    EXPECT_EQ(three.index, L"1/3  Image");
    EXPECT_EQ(three.size, L"32x32x16");
    EXPECT_TRUE(three.forwardOn && three.backOn);
    EXPECT_EQ(three.across.last - three.across.first + 1, 32) << three.across.first;
    EXPECT_TRUE(Near(three.centre, kRed));
    EXPECT_TRUE(Near(next.centre, RGB(0, 255, 0)));
    EXPECT_EQ(next.index, L"2/3  Image");
    EXPECT_TRUE(next.focusOnList);
    EXPECT_EQ(none.index, L"No Image");
    EXPECT_EQ(none.size, L"");
}

}  // namespace
}  // namespace qcd::test
