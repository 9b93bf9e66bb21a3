// An MP3 previewed in the real Open dialog of the control, with the real VBMP3.dll: the play
// time, the buttons, the spectrum on the screen, and a new selection ending the sound.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "control/QuorComDlg.h"
#include "media/vbmp3.h"
#include "picture_files.h"
#include "preview_fixture.h"

namespace qcd::test {
namespace {

namespace fs = std::filesystem;

fs::path Sounds() { return OnDriveZ(QCD_SOUND_DIR); }

// The preview area as the screen shows it.
std::vector<COLORREF> Screen(const Area& a) {
    std::vector<COLORREF> pixels;
    for (int y = 0; y < a.height; y += 2)
        for (int x = 0; x < a.width; x += 2) pixels.push_back(PixelAt(a.window, x, y));
    return pixels;
}

int32_t LibraryState() {
    int32_t position = 0;
    return ProcessVbmp3().GetState(position);
}

TEST_F(PreviewTest, AnMp3PlaysAndPausesWithItsSpectrumInTheArea) {
    fs::copy_file(Sounds() / "tone1k_44k_stereo_cbr.mp3", folder_ / L"song.mp3");
    std::ofstream(folder_ / L"notes.txt") << "text";

    std::wstring opened, playing, held, heldLater, captionPaused, afterSelection;
    bool playEnabled = false, pauseEnabled = false, spectrumDrawn = false, frozen = false;
    int32_t stateAfterSelection = -1;
    Open([&](HWND dlg, HWND pnl) {
        if (!Preview(dlg, pnl, L"song.mp3")) return;
        const Area area = PreviewArea(pnl);
        opened = WindowText(GetDlgItem(pnl, 1003));
        playEnabled = IsWindowEnabled(GetDlgItem(pnl, 1005));
        pauseEnabled = IsWindowEnabled(GetDlgItem(pnl, 1008));
        const std::vector<COLORREF> before = Screen(area);

        Click(pnl, 1005);
        WaitFor([&] { return WindowText(GetDlgItem(pnl, 1003)) >= L"00:02/00:06"; }, 15000);
        playing = WindowText(GetDlgItem(pnl, 1003));
        // Bars over black: the area is no longer what it was before the sound.
        spectrumDrawn = WaitFor([&] { return Screen(area) != before; });

        Click(pnl, 1008);
        WaitFor([&] { return WindowText(GetDlgItem(pnl, 1005)) == L"＞"; });
        captionPaused = WindowText(GetDlgItem(pnl, 1005));
        Sleep(200);
        held = WindowText(GetDlgItem(pnl, 1003));
        const std::vector<COLORREF> still = Screen(area);
        Sleep(600);
        heldLater = WindowText(GetDlgItem(pnl, 1003));
        frozen = Screen(area) == still;

        Preview(dlg, pnl, L"notes.txt");
        stateAfterSelection = LibraryState();
        afterSelection = WindowText(GetDlgItem(pnl, 1003));
    });
    EXPECT_EQ(opened, L"00:00/00:06");
    EXPECT_TRUE(playEnabled);
    EXPECT_FALSE(pauseEnabled);
    EXPECT_GE(playing, L"00:02/00:06");
    EXPECT_TRUE(spectrumDrawn);
    EXPECT_EQ(captionPaused, L"＞");
    EXPECT_EQ(held, heldLater);
    EXPECT_TRUE(frozen);
    EXPECT_EQ(stateAfterSelection, 0);
    EXPECT_EQ(afterSelection, L"");
}

// BackGroundSlide = 2 behind an MP3: the folder's slides in place of the spectrum, frozen by
// the pause.
TEST_F(PreviewTest, AnMp3PlaysOverTheFoldersSlides) {
    fs::copy_file(Sounds() / "tone1k_44k_stereo_cbr.mp3", folder_ / L"song.mp3");
    const fs::path pictures = folder_ / L"pics";
    fs::create_directories(pictures);
    const COLORREF red = RGB(200, 40, 40), blue = RGB(40, 40, 200);
    WriteFile(pictures / L"a.bmp", Bitmap8(240, 240, {red}, [](int, int) { return uint8_t{0}; }));
    WriteFile(pictures / L"b.gif", Gif(240, 240, 0x80, {blue, blue}, [](int, int) { return uint8_t{0}; }));
    Object().MutableProps().BackGroundSlide = 2;
    Object().MutableProps().SlideFolder =
        std::u16string(reinterpret_cast<const char16_t*>(pictures.c_str()));
    Object().Dialogs().PreviewCanvas().Timers().SetInterval(TimerId::FolderSlides, 300);
    auto centre = [](const Area& a) { return PixelAt(a.window, a.width / 2, a.height / 2); };
    bool firstRed = false, secondBlue = false, frozen = false;
    std::wstring paused, pausedLater;
    Open([&](HWND dlg, HWND pnl) {
        if (!Preview(dlg, pnl, L"song.mp3")) return;
        const Area area = PreviewArea(pnl);
        Click(pnl, 1005);
        firstRed = WaitFor([&] {
            return WindowText(GetDlgItem(pnl, 1002)) == L"a.bmp" && Near(centre(area), red, 24);
        });
        secondBlue = WaitFor([&] {
            return WindowText(GetDlgItem(pnl, 1002)) == L"b.gif" && Near(centre(area), blue, 24);
        });
        Click(pnl, 1008);
        WaitFor([&] { return WindowText(GetDlgItem(pnl, 1005)) == L"＞"; });
        Sleep(200);
        paused = WindowText(GetDlgItem(pnl, 1002));
        const COLORREF still = centre(area);
        Sleep(1200);
        pausedLater = WindowText(GetDlgItem(pnl, 1002));
        frozen = centre(area) == still && (Near(still, red, 24) || Near(still, blue, 24));
    });
    EXPECT_TRUE(firstRed);
    EXPECT_TRUE(secondBlue);
    EXPECT_FALSE(paused.empty());
    EXPECT_EQ(pausedLater, paused);
    EXPECT_TRUE(frozen);
}

}  // namespace
}  // namespace qcd::test
