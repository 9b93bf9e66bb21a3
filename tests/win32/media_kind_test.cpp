// The video and MIDI/CD previews against Wine's real MCI devices, on a panel of their own
// without the Open dialog: the video window read back from the window tree, the captions
// and buttons from the panel, the timers ticked by the test.
#include <windows.h>

#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "base/timer_owner.h"
#include "dialoghost/panel_commands.h"
#include "hidden_panel.h"
#include "host_counts.h"
#include "media/mci_platform.h"
#include "media/media_session.h"
#include "media/vbmp3.h"
#include "media_files.h"
#include "platform/handles.h"
#include "platform/pump.h"
#include "preview/canvas.h"
#include "preview/dispatcher.h"
#include "resources/resource_ids.h"

namespace qcd::test {
namespace {

namespace fs = std::filesystem;

int OpenDevices() {
    char reply[64] = {};
    mciSendStringA("sysinfo all quantity open", reply, sizeof reply, nullptr);
    return atoi(reply);
}

class MediaKindTest : public HiddenPanelTest {
  protected:
    void SetUp() override {
        HiddenPanelTest::SetUp();
        if (HasFatalFailure()) return;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = fs::path(temp) / (L"qcd-media-" + std::to_wstring(GetCurrentProcessId()));
        fs::create_directories(folder_);
        for (const char* name : {"clip.avi", "tall.avi", "small.avi", "clip.mpg"})
            fs::copy_file(VideoFixture(name), folder_ / name, fs::copy_options::overwrite_existing);
        fs::copy_file(VideoFixture("clip.avi"), folder_ / L"a clip with spaces.avi",
                      fs::copy_options::overwrite_existing);
        WriteFile(folder_ / L"tune.mid", MidiFile(61400));
        WriteFile(folder_ / L"Track01.cda", Bytes(44, 0));
        WriteFile(folder_ / L"red.bmp",
                  Bitmap8(8, 8, {0, RGB(255, 0, 0)}, [](int, int) -> uint8_t { return 1; }));
        WriteFile(folder_ / L"notes.txt", {'a'});
    }
    void TearDown() override {
        HiddenPanelTest::TearDown();
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    void Select(const wchar_t* name) { SelectPath(folder_ / name); }
    HWND Area() const { return GetDlgItem(panel_, IDC_PREVIEW_AREA); }
    // The video's window: the one child of the preview area.
    HWND VideoWindow() const { return GetWindow(Area(), GW_CHILD); }
    RECT InArea(HWND window) const {
        RECT r{};
        GetWindowRect(window, &r);
        MapWindowPoints(nullptr, Area(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    // Lets the device's messages run and ticks `timer` until `done` holds or `ms` pass.
    bool RunUntil(TimerId timer, const std::function<bool()>& done, int ms = 5000) {
        for (int waited = 0; waited < ms; waited += 20) {
            win::LetPendingMessagesRun();
            timers_.Tick(static_cast<int>(timer));
            if (done()) return true;
            Sleep(20);
        }
        return done();
    }
    int Frame() const { return canvas_.State().frameIndex; }

    fs::path folder_;
};

TEST_F(MediaKindTest, AVideoIsAChildOfTheAreaAtItsFittedRectangle) {
    const int w = canvas_.AreaWidth(), h = canvas_.AreaHeight();
    for (const auto& [name, width, height] :
         {std::tuple{L"clip.avi", 160, 120}, std::tuple{L"tall.avi", 100, 200},
          std::tuple{L"small.avi", 64, 48}, std::tuple{L"a clip with spaces.avi", 160, 120}}) {
        Select(name);
        EXPECT_EQ(canvas_.State().kind, PreviewKind::Video) << name;
        HWND video = VideoWindow();
        ASSERT_NE(video, nullptr) << name;
        const VideoWindowRect fit = PlaceVideoWindow(width, height, w, h);
        const RECT r = InArea(video);
        EXPECT_EQ(r.left, fit.x) << name;
        EXPECT_EQ(r.top, fit.y) << name;
        EXPECT_EQ(r.right - r.left, fit.width) << name;
        EXPECT_EQ(r.bottom - r.top, fit.height) << name;
        EXPECT_TRUE(GetWindowLongW(video, GWL_STYLE) & WS_VISIBLE) << name;
        EXPECT_EQ(Label(IDC_SIZE_LABEL).substr(0, std::to_wstring(width).size() + 1),
                  std::to_wstring(width) + L"x")
            << name;
        EXPECT_EQ(Label(IDC_STATUS_LABEL), L"") << name;
    }
    EXPECT_EQ(Label(IDC_TITLE_LABEL), L"a clip with spaces.avi");
    EXPECT_EQ(Label(IDC_SIZE_LABEL).substr(0, 8), L"160x120x");
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"1/250  Frame");
    EXPECT_TRUE(Enabled(IDC_PLAY_BUTTON) && Enabled(IDC_FORWARD_BUTTON) && Enabled(IDC_BACK_BUTTON));
    EXPECT_FALSE(Enabled(IDC_PAUSE_BUTTON));
}

TEST_F(MediaKindTest, TheButtonsPlayPauseStepScanAndStopAVideo) {
    Select(L"clip.avi");
    ASSERT_EQ(canvas_.State().kind, PreviewKind::Video);

    Press(IDC_FORWARD_BUTTON);
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"2/250  Frame");
    Press(IDC_BACK_BUTTON);
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"1/250  Frame");
    EXPECT_FALSE(Enabled(IDC_BACK_BUTTON));

    Press(IDC_PLAY_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::VideoPlaying);
    EXPECT_EQ(Text(GetDlgItem(panel_, IDC_PLAY_BUTTON)), L"□");
    EXPECT_TRUE(timers_.Enabled(TimerId::VideoPosition));
    ASSERT_TRUE(RunUntil(TimerId::VideoPosition, [&] { return Frame() > 10; }));

    Press(IDC_PAUSE_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::VideoPaused);
    const int held = Frame();
    EXPECT_EQ(Label(IDC_INDEX_LABEL), std::to_wstring(held) + L"/250  Frame");
    RunUntil(TimerId::VideoPosition, [] { return false; }, 300);
    EXPECT_EQ(Frame(), held);
    EXPECT_EQ(ProcessMci().VideoFrame(u"msfile"), held);
    Press(IDC_FORWARD_BUTTON);
    EXPECT_EQ(Frame(), held + 1);

    // Fast forward from the playing state: 100 frames a tick, paused at each landing.
    Press(IDC_PAUSE_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::VideoPlaying);
    Press(IDC_PAUSE_BUTTON);
    const int from = Frame();
    Press(IDC_PAUSE_BUTTON);
    Press(IDC_FORWARD_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::VideoForward);
    timers_.Tick(2);
    EXPECT_GE(Frame(), from + 100);
    EXPECT_LE(Frame(), from + 110);
    ASSERT_TRUE(RunUntil(TimerId::VideoPosition, [&] { return !timers_.Enabled(TimerId::VideoPosition); }));
    // The frame the device reports at its end (Wine: one short of the length).
    const int32_t end = ProcessMci().VideoFrame(u"msfile");
    EXPECT_GE(end, 249);
    EXPECT_EQ(Label(IDC_INDEX_LABEL), std::to_wstring(end) + L"/250  Frame");
    EXPECT_EQ(canvas_.State().kind, PreviewKind::VideoPlaying);

    // Stop rewinds to the first frame.
    Press(IDC_PLAY_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::Video);
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"1/250  Frame");
    EXPECT_EQ(ProcessMci().VideoFrame(u"msfile"), 0);
    EXPECT_EQ(Text(GetDlgItem(panel_, IDC_PLAY_BUTTON)), L"＞");

    // Rewind from the middle lands on the start and plays on.
    Press(IDC_PLAY_BUTTON);
    ASSERT_TRUE(RunUntil(TimerId::VideoPosition, [&] { return Frame() > 5; }));
    Press(IDC_BACK_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::VideoBackward);
    ASSERT_TRUE(RunUntil(TimerId::VideoPosition,
                         [&] { return canvas_.State().kind == PreviewKind::VideoPlaying; }));
    ASSERT_TRUE(RunUntil(TimerId::VideoPosition, [&] { return Frame() > 3; }));
}

// Under Wine the last frame of a playing video reads one short of the length: the end is
// still seen, the counter shows the frame the device reports at its end, the timer stops.
TEST_F(MediaKindTest, AVideoPlayedToItsEndStopsTheTimer) {
    Select(L"small.avi");
    Press(IDC_PLAY_BUTTON);
    ASSERT_TRUE(RunUntil(TimerId::VideoPosition,
                         [&] { return !timers_.Enabled(TimerId::VideoPosition); }, 8000));
    const int32_t end = ProcessMci().VideoFrame(u"msfile");
    EXPECT_GE(end, 29);
    EXPECT_EQ(Label(IDC_INDEX_LABEL), std::to_wstring(end) + L"/30  Frame");
    EXPECT_FALSE(Enabled(IDC_FORWARD_BUTTON));
    EXPECT_FALSE(Enabled(IDC_PAUSE_BUTTON));
    EXPECT_TRUE(Enabled(IDC_BACK_BUTTON));
}

TEST_F(MediaKindTest, ANewSelectionClosesTheVideo) {
    const int before = OpenDevices();
    Select(L"clip.avi");
    EXPECT_EQ(OpenDevices(), before + 1);
    Press(IDC_PLAY_BUTTON);
    HWND video = VideoWindow();
    ASSERT_NE(video, nullptr);
    Select(L"red.bmp");
    EXPECT_FALSE(IsWindow(video));
    EXPECT_EQ(VideoWindow(), nullptr);
    EXPECT_FALSE(ProcessMci().MciIsOpen(u"msfile"));
    EXPECT_EQ(OpenDevices(), before);
    EXPECT_FALSE(timers_.Enabled(TimerId::VideoPosition));
}

TEST_F(MediaKindTest, AMidiFileShowsItsLengthAndPlaysPausesAndStops) {
    Select(L"tune.mid");
    ASSERT_EQ(canvas_.State().kind, PreviewKind::MciSound);
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"00:00/01:01");
    EXPECT_EQ(Label(IDC_SIZE_LABEL), L"");
    EXPECT_TRUE(Enabled(IDC_PLAY_BUTTON));
    EXPECT_FALSE(Enabled(IDC_FORWARD_BUTTON) || Enabled(IDC_BACK_BUTTON) || Enabled(IDC_PAUSE_BUTTON));
    EXPECT_TRUE(ProcessMci().MciIsOpen(MciSoundAlias));

    Press(IDC_PLAY_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::MciPlaying);
    EXPECT_TRUE(timers_.Enabled(TimerId::MciProgress));
    EXPECT_TRUE(Enabled(IDC_PAUSE_BUTTON));
    EXPECT_EQ(Text(GetDlgItem(panel_, IDC_PLAY_BUTTON)), L"□");
    EXPECT_EQ(ProcessMci().MciStatusMode(MciSoundAlias), u"playing");
    timers_.Tick(8);
    // No MIDI output here: the position stays at 0, the length is what the file says.
    EXPECT_EQ(Label(IDC_INDEX_LABEL).substr(5), L"/01:01");
    EXPECT_TRUE(ProcessMci().MciIsOpen(MciSoundAlias));

    Press(IDC_PAUSE_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::MciPaused);
    EXPECT_FALSE(timers_.Enabled(TimerId::MciProgress));
    Press(IDC_PAUSE_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::MciPlaying);
    Press(IDC_PLAY_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::MciSound);
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"00:00/01:01");
    EXPECT_FALSE(Enabled(IDC_PAUSE_BUTTON));
    EXPECT_TRUE(ProcessMci().MciIsOpen(MciSoundAlias));

    Select(L"red.bmp");
    EXPECT_FALSE(ProcessMci().MciIsOpen(MciSoundAlias));
}

// No CD drive on this machine: the title stays, the buttons are there and disabled.
TEST_F(MediaKindTest, ACdTrackWithoutADriveShowsOnlyItsTitle) {
    Select(L"Track01.cda");
    EXPECT_EQ(canvas_.State().kind, PreviewKind::None);
    EXPECT_EQ(Label(IDC_TITLE_LABEL), L"Track01.cda");
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"");
    EXPECT_EQ(Label(IDC_STATUS_LABEL), L"");
    for (int id : {IDC_PLAY_BUTTON, IDC_FORWARD_BUTTON, IDC_BACK_BUTTON, IDC_PAUSE_BUTTON}) {
        EXPECT_TRUE(GetWindowLongW(GetDlgItem(panel_, id), GWL_STYLE) & WS_VISIBLE) << id;
        EXPECT_FALSE(Enabled(id)) << id;
    }
    EXPECT_FALSE(ProcessMci().MciIsOpen(MciSoundAlias));
}

// Wine plays an MPEG file through a device that counts no frames and seeks only to its start:
// it previews at its size, plays to its end, pauses and stops, with no frame line or steps.
TEST_F(MediaKindTest, AnMpegFilePlaysPausesAndStopsWithoutFrames) {
    Select(L"clip.mpg");
    ASSERT_EQ(canvas_.State().kind, PreviewKind::Video);
    EXPECT_EQ(Label(IDC_SIZE_LABEL).substr(0, 8), L"160x120x");
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"");
    EXPECT_NE(VideoWindow(), nullptr);
    EXPECT_TRUE(Enabled(IDC_PLAY_BUTTON));
    EXPECT_FALSE(Enabled(IDC_FORWARD_BUTTON));
    Press(IDC_PLAY_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::VideoPlaying);
    Press(IDC_PAUSE_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::VideoPaused);
    Press(IDC_PAUSE_BUTTON);
    ASSERT_TRUE(RunUntil(TimerId::VideoPosition, [&] { return !Enabled(IDC_PAUSE_BUTTON); }));
    Press(IDC_PLAY_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::Video);
    Select(L"red.bmp");
    EXPECT_FALSE(ProcessMci().MciIsOpen(u"msfile"));
}

// What the platform's players make of damaged files is theirs; the preview fails quietly.
TEST_F(MediaKindTest, DamagedVideoAndMidiFilesFailQuietly) {
    Bytes random(4096);
    uint32_t seed = 12345;
    for (uint8_t& b : random) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    Bytes huge;
    PutId(huge, "RIFF");
    Put32(huge, 0xFFFFFFFF);
    PutId(huge, "AVI ");
    PutId(huge, "LIST");
    Put32(huge, 0x7FFFFFFF);
    PutId(huge, "hdrl");
    PutId(huge, "avih");
    Put32(huge, 56);
    for (uint32_t v : {33333u, 0u, 0u, 0x10u, 0x7FFFFFFFu, 0u, 0xFFFFu, 0u, 0x7FFFFFFFu, 0x7FFFFFFFu,
                       0u, 0u, 0u, 0u})
        Put32(huge, v);
    WriteFile(folder_ / L"random.avi", random);
    WriteFile(folder_ / L"random.mid", random);
    WriteFile(folder_ / L"huge.avi", huge);
    WriteFile(folder_ / L"riff.avi", Bytes(huge.begin(), huge.begin() + 12));
    const int before = OpenDevices();
    for (const wchar_t* name : {L"random.avi", L"random.mid", L"huge.avi", L"riff.avi"}) {
        Select(name);
        EXPECT_EQ(canvas_.State().kind, PreviewKind::None) << name;
        EXPECT_EQ(Label(IDC_STATUS_LABEL), L"") << name;
        EXPECT_EQ(VideoWindow(), nullptr) << name;
    }
    Select(L"notes.txt");
    EXPECT_EQ(OpenDevices(), before);
}

TEST_F(MediaKindTest, TwoHundredSelectionsLeaveNothingBehindInWinesGdiHandleTable) {
    if (!WinesGdiTableFound()) GTEST_SKIP() << kNoGdiTable;
    const wchar_t* names[] = {L"clip.avi", L"tune.mid", L"red.bmp"};
    auto round = [&](int selections) {
        for (int i = 0; i < selections; ++i) {
            Select(names[i % 3]);
            if (i % 3 != 2) Press(IDC_PLAY_BUTTON);
            win::LetPendingMessagesRun();
        }
        Select(L"notes.txt");
    };
    round(6);  // the devices' and the system's own first-use allocations
    const int devices = OpenDevices(), windows = CountWindows(), gdi = CountGdiObjects();
    round(200);
    EXPECT_EQ(OpenDevices(), devices);
    EXPECT_EQ(CountWindows(), windows);
    EXPECT_LE(CountGdiObjects(), gdi);
    EXPECT_GE(gdi, 0);
}

}  // namespace
}  // namespace qcd::test
