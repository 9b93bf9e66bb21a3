// The WAVE/MP3 preview on a canvas of its own, with the real VBMP3.dll beside the test and the
// platform's decoder and wave output: its labels, buttons and timers, and the spectrum in the wave
// surface. The timers are ticked by the test; the device plays faster than real time, so the tests
// wait for progress, never for durations.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "base/timer_owner.h"
#include "dialoghost/panel_commands.h"
#include "media/mci_platform.h"
#include "media/media_session.h"
#include "media/vbmp3.h"
#include "hidden_panel.h"
#include "picture_files.h"
#include "platform/handles.h"
#include "preview/canvas.h"
#include "preview/dispatcher.h"
#include "preview/analyser_display.h"
#include "set_pixel_analyser.h"
#include "resources/resource_ids.h"

namespace qcd::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path SoundFolder() { return OnDriveZ(QCD_SOUND_DIR); }

class SoundKindTest : public HiddenPanelTest {
  protected:
    void SetUp() override {
        MakePanel();
        ASSERT_TRUE(ProcessVbmp3().Loaded());
    }

    void Select(const fs::path& path) { SelectPath(path); }
    void SelectSound(const char* name) { Select(SoundFolder() / name); }
    int32_t LibraryState(int32_t* position = nullptr) {
        int32_t p = 0;
        const int32_t s = ProcessVbmp3().GetState(p);
        if (position) *position = p;
        return s;
    }
    // Ticks Timer5 as the window timer would until `done`; false after a while.
    bool TickUntil(const std::function<bool()>& done, TimerId timer = TimerId::Mp3Progress) {
        const auto end = std::chrono::steady_clock::now() + 15s;
        while (std::chrono::steady_clock::now() < end) {
            timers_.Tick(static_cast<int>(timer));
            if (done()) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    PreviewKind Kind() const { return canvas_.State().kind; }

};

TEST_F(SoundKindTest, AnOpenedSoundShowsItsLengthAndOnlyPlay) {
    SelectSound("tone1k_44k_stereo_cbr.mp3");
    EXPECT_EQ(Kind(), PreviewKind::Mp3Sound);
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"00:00/00:06");
    EXPECT_EQ(Label(IDC_SIZE_LABEL), L"");
    EXPECT_EQ(Label(IDC_STATUS_LABEL), L"");
    EXPECT_TRUE(Enabled(IDC_PLAY_BUTTON));
    for (int id : {IDC_FORWARD_BUTTON, IDC_BACK_BUTTON, IDC_PAUSE_BUTTON}) EXPECT_FALSE(Enabled(id));
    EXPECT_EQ(canvas_.AreaSource(), &canvas_.Wave());  // the spectrum's picture, blank

    SelectSound("random.mp3");  // refused: title, buttons shown and disabled
    EXPECT_EQ(Kind(), PreviewKind::None);
    EXPECT_EQ(Label(IDC_TITLE_LABEL), L"random.mp3");
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"");
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(panel_, IDC_PLAY_BUTTON), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(Enabled(IDC_PLAY_BUTTON));
}

TEST_F(SoundKindTest, PlayPauseSeekResumeAndStopThroughTheButtons) {
    SelectSound("tone1k_44k_stereo_cbr.mp3");
    Press(IDC_PLAY_BUTTON);
    EXPECT_EQ(Kind(), PreviewKind::Mp3Playing);
    EXPECT_EQ(Label(IDC_PLAY_BUTTON), L"□");
    EXPECT_TRUE(Enabled(IDC_PAUSE_BUTTON));
    EXPECT_FALSE(Enabled(IDC_FORWARD_BUTTON));
    EXPECT_TRUE(media_.Mp3Open());
    EXPECT_TRUE(timers_.Enabled(TimerId::Mp3Progress));
    EXPECT_TRUE(timers_.Enabled(TimerId::Spectrum));
    EXPECT_EQ(LibraryState(), 1);
    // The time follows the sound.
    ASSERT_TRUE(TickUntil([&] { return Label(IDC_INDEX_LABEL) >= L"00:02/00:06"; })) << Label(IDC_INDEX_LABEL);

    Press(IDC_PAUSE_BUTTON);
    EXPECT_EQ(Kind(), PreviewKind::Mp3Paused);
    EXPECT_EQ(Label(IDC_PLAY_BUTTON), L"＞");
    EXPECT_TRUE(Enabled(IDC_FORWARD_BUTTON) && Enabled(IDC_BACK_BUTTON) && Enabled(IDC_PAUSE_BUTTON));
    EXPECT_FALSE(timers_.Enabled(TimerId::Mp3Progress));
    int32_t held = 0, later = 0;
    EXPECT_EQ(LibraryState(&held), 2);
    std::this_thread::sleep_for(300ms);
    LibraryState(&later);
    EXPECT_EQ(later, held);

    // Back 10 s a tick: at 0 the seek ends and the library holds exactly 0.
    Press(IDC_BACK_BUTTON);
    EXPECT_EQ(Kind(), PreviewKind::Mp3Backward);
    EXPECT_TRUE(timers_.Enabled(TimerId::Mp3Seek));
    timers_.Tick(static_cast<int>(TimerId::Mp3Seek));
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"00:00/00:06");
    EXPECT_FALSE(timers_.Enabled(TimerId::Mp3Seek));
    EXPECT_EQ(LibraryState(&later), 2);
    EXPECT_EQ(later, 0);
    Press(IDC_PAUSE_BUTTON);
    EXPECT_EQ(Kind(), PreviewKind::Mp3Paused);

    // Forward: 10 s is past the length, so the seek stops at 6.
    Press(IDC_FORWARD_BUTTON);
    EXPECT_EQ(Kind(), PreviewKind::Mp3Forward);
    timers_.Tick(static_cast<int>(TimerId::Mp3Seek));
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"00:06/00:06");
    Press(IDC_PAUSE_BUTTON);
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"00:06/00:06");  // the library returns what was sought

    Press(IDC_BACK_BUTTON);
    timers_.Tick(static_cast<int>(TimerId::Mp3Seek));  // 0
    Press(IDC_PLAY_BUTTON);                          // resumes from there
    EXPECT_EQ(Kind(), PreviewKind::Mp3Playing);
    EXPECT_EQ(LibraryState(), 1);
    ASSERT_TRUE(TickUntil([&] { return Label(IDC_INDEX_LABEL) >= L"00:01/00:06"; }));

    Press(IDC_PLAY_BUTTON);
    EXPECT_EQ(Kind(), PreviewKind::Mp3Sound);
    EXPECT_EQ(Label(IDC_PLAY_BUTTON), L"＞");
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"00:00/00:06");
    EXPECT_FALSE(Enabled(IDC_PAUSE_BUTTON));
    EXPECT_FALSE(media_.Mp3Open());
    EXPECT_EQ(LibraryState(), 0);
}

// At its end the sound stops; Timer5's next tick plays it again from the start.
TEST_F(SoundKindTest, TheSoundRepeatsAtItsEnd) {
    SelectSound("tone_11k_mono_8.wav");
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"00:00/00:03");
    Press(IDC_PLAY_BUTTON);
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (LibraryState() != 0 && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
    ASSERT_EQ(LibraryState(), 0);
    timers_.Tick(static_cast<int>(TimerId::Mp3Progress));
    EXPECT_EQ(LibraryState(), 1);
    EXPECT_EQ(Kind(), PreviewKind::Mp3Playing);
    ASSERT_TRUE(TickUntil([&] { return Label(IDC_INDEX_LABEL) >= L"00:01/00:03"; }));
}

TEST_F(SoundKindTest, ANewSelectionStopsTheSound) {
    SelectSound("tone1k_44k_stereo_cbr.mp3");
    Press(IDC_PLAY_BUTTON);
    ASSERT_EQ(LibraryState(), 1);
    SelectSound("tone_44k_stereo_16.wav");
    EXPECT_EQ(LibraryState(), 0);
    EXPECT_FALSE(media_.Mp3Open());
    EXPECT_FALSE(timers_.Enabled(TimerId::Mp3Progress));
    EXPECT_FALSE(timers_.Enabled(TimerId::Spectrum));
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"00:00/00:04");
}

int LitRows(const Surface& wave, int column) {
    int n = 0;
    for (int y = 0; y < wave.Height(); ++y)
        if (wave.Pixels()[static_cast<size_t>(y * wave.Width() + column)] != 0) ++n;
    return n;
}

// The bars of a 1 kHz tone stand in column 12; a pause freezes them; a stop clears them.
TEST_F(SoundKindTest, TheSpectrumMovesWhilePlayingAndHoldsWhilePaused) {
    props_.BackGroundSlide = 1;
    SelectSound("tone1k_44k_stereo_cbr.mp3");
    Press(IDC_PLAY_BUTTON);
    Surface& wave = canvas_.Wave();
    ASSERT_TRUE(TickUntil([&] { return wave.Pixels() && LitRows(wave, 12) > wave.Height() / 2; },
                          TimerId::Spectrum));
    EXPECT_LT(LitRows(wave, 200), LitRows(wave, 12));
    ASSERT_EQ(wave.Width(), canvas_.AreaWidth());

    Press(IDC_PAUSE_BUTTON);
    EXPECT_FALSE(timers_.Enabled(TimerId::Spectrum));
    const std::vector<uint32_t> frozen(wave.Pixels(), wave.Pixels() + wave.Width() * wave.Height());
    std::this_thread::sleep_for(200ms);
    timers_.Tick(static_cast<int>(TimerId::Spectrum));  // a tick queued before the pause
    EXPECT_TRUE(std::equal(frozen.begin(), frozen.end(), wave.Pixels()));

    // A larger area while paused: the same bars, drawn at its size.
    HWND area = GetDlgItem(panel_, IDC_PREVIEW_AREA);
    SetWindowPos(area, nullptr, 0, 0, wave.Width() + 100, wave.Height() + 150,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    preview_.AreaResized();
    EXPECT_EQ(wave.Width(), canvas_.AreaWidth());
    EXPECT_EQ(wave.Height(), canvas_.AreaHeight());
    EXPECT_GT(LitRows(wave, 12), 0);

    Press(IDC_PLAY_BUTTON);  // resume
    EXPECT_TRUE(timers_.Enabled(TimerId::Spectrum));
    Press(IDC_PLAY_BUTTON);  // stop: the old bars would come back with the next paint
    EXPECT_EQ(LitRows(wave, 12), 0);
}

TEST_F(SoundKindTest, NoSpectrumBehindTheSoundWithoutTheBuiltInBackground) {
    props_.BackGroundSlide = 0;
    SelectSound("tone1k_44k_stereo_cbr.mp3");
    Press(IDC_PLAY_BUTTON);
    EXPECT_FALSE(timers_.Enabled(TimerId::Spectrum));
    EXPECT_EQ(canvas_.AreaSource(), &canvas_.Copy());
}

// Spectra recorded from the library playing a tone, then the edges of the scale.
std::vector<std::pair<SpectrumBins, SpectrumBins>> RecordSpectra() {
    std::vector<std::pair<SpectrumBins, SpectrumBins>> spectra;
    Vbmp3& library = ProcessVbmp3();
    Vbmp3Info info;
    if (!library.Open((SoundFolder() / "tone1k_44k_stereo_cbr.mp3").u16string(), info)) return spectra;
    library.Play();
    for (int i = 0; i < 40; ++i) {
        std::this_thread::sleep_for(15ms);
        SpectrumBins a{}, b{};
        library.GetSpectrum(a, b);
        spectra.emplace_back(a, b);
    }
    library.Stop();
    for (int32_t value : {110, 120, 40, 0, 75, 0, 0, 0}) {
        SpectrumBins a{}, b{};
        a.fill(value);
        for (size_t x = 0; x < a.size(); x += 3) b[x] = value / 2 + 40;
        spectra.emplace_back(a, b);
    }
    return spectra;
}

TEST_F(SoundKindTest, ThePixelRendererDrawsWhatSetPixelDraws) {
    const auto spectra = RecordSpectra();
    ASSERT_EQ(spectra.size(), 48u);
    ASSERT_GT(*std::max_element(spectra[20].first.begin(), spectra[20].first.end()), 80);
    for (int height : {canvas_.AreaHeight(), 40, 200}) {
        const int width = 256;
        Surface fast(RGB(0, 0, 0), true), reference(RGB(0, 0, 0), true);
        ASSERT_TRUE(fast.Resize(width, height) && reference.Resize(width, height));
        SpectrumDisplay display;
        SetPixelSpectrum slow;
        for (size_t t = 0; t < spectra.size(); ++t) {
            const auto& [a, b] = spectra[t];
            fast.Clear();
            reference.Clear();
            GdiFlush();
            display.Update(a, b, height * 15);
            display.Draw({fast.Pixels(), width, height, width}, height * 15);
            slow.Tick(reference.Dc(), a, b, height);
            GdiFlush();
            const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
            size_t lit = 0;
            for (size_t i = 0; i < n; ++i) lit += fast.Pixels()[i] != 0;
            EXPECT_GE(lit, 256u);  // at least every floor pixel
            ASSERT_TRUE(std::equal(fast.Pixels(), fast.Pixels() + n, reference.Pixels()))
                << "tick " << t << " at height " << height;
        }
    }
}

// Without VBMP3.dll beside the control a sound is a file the library refused, and the other
// previews go on working; a VBMP3.dll in the current folder (where the user browses) is not
// loaded in its place: it would leave a file beside itself if its DllMain ran. Run by the
// test that copies this program away from the library.
// Run beside a VBMP3.dll that has only the ANSI open (sound.narrow_library).
class NarrowLibrary : public SoundKindTest {
  protected:
    void SetUp() override {
        if (!GetEnvironmentVariableW(L"QCD_EXPECT_NARROW_VBMP3", nullptr, 0))
            GTEST_SKIP() << "run beside a library without the wide open";
        SoundKindTest::SetUp();
    }
};

TEST_F(NarrowLibrary, AnMp3NamedOutsideTheCodePagePlaysThroughItsShortName) {
    ASSERT_EQ(GetProcAddress(GetModuleHandleW(L"VBMP3.dll"), "vbmp3_openW"), nullptr);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const fs::path folder = fs::path(temp) / (L"qcd-narrow-" + std::to_wstring(GetCurrentProcessId()));
    fs::create_directories(folder);
    const fs::path song = folder / L"chanson Ελλάδα 😀.mp3";
    fs::copy_file(SoundFolder() / "tone1k_44k_stereo_cbr.mp3", song, fs::copy_options::overwrite_existing);
    Select(song);
    EXPECT_EQ(Kind(), PreviewKind::Mp3Sound);
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"00:00/00:06");
    Press(IDC_PLAY_BUTTON);
    EXPECT_TRUE(TickUntil([&] { return Label(IDC_INDEX_LABEL) >= L"00:01/00:06"; })) << Label(IDC_INDEX_LABEL);
    Press(IDC_PLAY_BUTTON);  // stops: the file can go
    std::error_code ec;
    fs::remove_all(folder, ec);
}

class WithoutTheLibrary : public SoundKindTest {
  protected:
    void SetUp() override {
        if (!GetEnvironmentVariableW(L"QCD_EXPECT_NO_VBMP3", nullptr, 0))
            GTEST_SKIP() << "run from a folder without the library";
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        planted_ = fs::path(temp) / (L"qcd-planted-" + std::to_wstring(GetCurrentProcessId()));
        fs::create_directories(planted_);
        const fs::path library = SoundFolder() / "planted" / "VBMP3.dll";
        // The trace works: the same library loaded on purpose under another name leaves it.
        fs::copy_file(library, planted_ / L"trace_check.dll", fs::copy_options::overwrite_existing);
        {
            win::unique_hmodule loaded(LoadLibraryW((planted_ / L"trace_check.dll").c_str()));
            ASSERT_TRUE(loaded);
        }
        ASSERT_TRUE(fs::exists(planted_ / L"planted-library-ran"));
        fs::remove(planted_ / L"planted-library-ran");
        fs::copy_file(library, planted_ / L"VBMP3.dll", fs::copy_options::overwrite_existing);
        fs::copy_file(SoundFolder() / "tone_11k_mono_8.wav", planted_ / L"song.wav",
                      fs::copy_options::overwrite_existing);
        // The control looks for its library when the dialog starts: the browsed folder is
        // the current one by then.
        GetCurrentDirectoryW(MAX_PATH, previous_);
        SetCurrentDirectoryW(planted_.c_str());
        MakePanel();
    }
    void TearDown() override {
        if (planted_.empty()) return;
        SoundKindTest::TearDown();
        SetCurrentDirectoryW(previous_);
        std::error_code ec;
        fs::remove_all(planted_, ec);
    }
    fs::path planted_;
    wchar_t previous_[MAX_PATH] = {};
};

TEST_F(WithoutTheLibrary, SoundsFailPicturesStillShowAndTheBrowsedFolderIsNotSearched) {
    ASSERT_FALSE(ProcessVbmp3().Loaded());
    Select(planted_ / L"song.wav");
    EXPECT_EQ(Kind(), PreviewKind::None);
    EXPECT_EQ(Label(IDC_TITLE_LABEL), L"song.wav");
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(panel_, IDC_PLAY_BUTTON), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(Enabled(IDC_PLAY_BUTTON));
    Press(IDC_PLAY_BUTTON);  // disabled, but a press must not reach a library that is not there
    EXPECT_FALSE(fs::exists(planted_ / L"planted-library-ran"));
    EXPECT_EQ(GetModuleHandleW(L"VBMP3.dll"), nullptr);

    WriteFile(planted_ / L"red.bmp", Bitmap8(8, 8, {0, RGB(255, 0, 0)}, [](int, int) -> uint8_t { return 1; }));
    Select(planted_ / L"red.bmp");
    EXPECT_EQ(Kind(), PreviewKind::Picture);
    EXPECT_EQ(Label(IDC_SIZE_LABEL), L"8x8x256");
}

}  // namespace
}  // namespace qcd::test
