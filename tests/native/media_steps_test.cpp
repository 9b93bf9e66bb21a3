#include "preview/media_steps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "fake_mci.h"
#include "preview/play_time.h"

namespace qcd {
namespace {

using enum PanelButton;
using Kind = PreviewKind;

class QuietClock : public TimerClock {
  public:
    void Arm(int, uint32_t) override {}
    void Disarm(int) override {}
};

// The panel as the media routines leave it: labels, enabled buttons, the play caption, and
// the timers started, through a real timer owner.
class PanelState : public PanelActions {
  public:
    explicit PanelState(TimerOwner& timers) : timers_(timers) {}
    std::map<PanelLabel, std::string> labels;
    std::map<PanelButton, bool> enabled;
    std::string caption = "play";
    int writes = 0;

    void StopTimersAndAbort() override { timers_.StopAll(); }
    void ClearCopy() override {}
    void Repaint() override {}
    void SetText(PanelLabel label, std::u16string_view text) override {
        labels[label] = Utf8(text);
        ++writes;
    }
    void Enable(PanelButton button, bool on) override {
        enabled[button] = on;
        ++writes;
    }
    void SetPlayCaption(PlayCaption c) override {
        caption = c == PlayCaption::Play ? "play" : "stop";
        ++writes;
    }
    void SetInterval(TimerId timer, int32_t ms) override {
        timers_.SetInterval(timer, static_cast<uint32_t>(ms));
    }
    void StartTimer(TimerId timer) override { timers_.SetEnabled(timer, true); }
    void FocusFileList() override {}

  private:
    TimerOwner& timers_;
};

// Records what the sound rows ask of the background.
struct RecordingBackground : SoundBackground {
    Calls calls;
    void Start(SoundSource) override { calls.push_back("start"); }
    void Snapshot(SoundSource) override { calls.push_back("snapshot"); }
    void Resume(SoundSource) override { calls.push_back("resume"); }
    void Clear() override { calls.push_back("clear"); }
};

class MediaSteps : public ::testing::Test {
  protected:
    FakeMci mci;
    MciLayer layer{mci};
    QuietClock clock;
    TimerOwner timers{clock};
    PanelState panel{timers};
    PreviewState state;
    RecordingBackground background;
    uint32_t generation = 7;
    std::u16string fileName = u"C:\\media\\song.mid", fileTitle = u"song.mid";

    MediaContext Context() {
        return {panel,    state,     timers,      layer, u"msfile",
                fileName, fileTitle, &background, [this] { return generation; }, mci};
    }
    std::string Label(PanelLabel l) { return panel.labels[l]; }
    // The calls sent after the first `from` of them.
    Calls After(size_t from) { return Calls(mci.calls.begin() + static_cast<long>(from), mci.calls.end()); }

    // A video of `frames` frames stands at `frame` in `kind`, its device reporting `position`.
    void ShowVideo(Kind kind, int32_t frame, int32_t frames = 250) {
        mci.ListOpen("msfile");
        layer.VideoLength = frames;
        state.kind = kind;
        state.frameIndex = frame;
        state.frameCount = frames;
        // A seek lands where it was sent: the device then reports that frame.
        mci.onSend = [this, frames](const std::string& command) {
            std::string at;
            if (command == "seek msfile to start") at = "0";
            else if (command == "seek msfile to end") at = std::to_string(frames);
            else if (command.starts_with("seek msfile to ")) at = command.substr(15);
            if (!at.empty()) mci.replies["status msfile position"].text = at;
        };
    }
};

// --- video start

struct Picture : VideoPicture {
    int32_t PrepareDc(int32_t, int32_t) override { return 99; }
    int16_t BitsPerPixel() override { return 8; }
};

TEST_F(MediaSteps, AVideoStartsStoppedAtItsFirstFrameWithItsSizeAndFrameLine) {
    fileName = u"C:\\clip.avi";
    mci.shortPaths["C:\\clip.avi"] = "C:\\clip.avi";
    mci.replies["where msfile source max"].text = "0 0 160 -120";
    mci.replies["status msfile length"].text = "250";
    Picture picture;
    ASSERT_EQ(StartVideo(Context(), 5, 102, 119, picture), MediaStart::Shown);
    EXPECT_EQ(Label(PanelLabel::Size), "160x120x256");
    EXPECT_EQ(Label(PanelLabel::Index), "1/250  Frame");
    EXPECT_EQ(Label(PanelLabel::Status), "");
    EXPECT_TRUE(panel.enabled[Play] && panel.enabled[Forward] && panel.enabled[Back]);
    EXPECT_FALSE(panel.enabled[Pause]);
    EXPECT_EQ(state.kind, Kind::Video);
    EXPECT_EQ(state.frameCount, 250);
    EXPECT_FALSE(timers.Enabled(TimerId::VideoPosition));
}

// A selection handled while the open lets messages run owns the panel afterwards.
TEST_F(MediaSteps, AVideoStartOvertakenWhileItsWindowShowsTouchesNothing) {
    mci.shortPaths["C:\\clip.avi"] = "C:\\clip.avi";
    fileName = u"C:\\clip.avi";
    mci.onPump = [this] { ++generation; };
    Picture picture;
    EXPECT_EQ(StartVideo(Context(), 5, 102, 119, picture), MediaStart::Overtaken);
    EXPECT_EQ(panel.writes, 0);
    EXPECT_EQ(state.kind, Kind::None);
}

// --- video rows

TEST_F(MediaSteps, StepsStopAtTheEndsAndDisableTheirButton) {
    ShowVideo(Kind::Video, 249);
    PressVideo(Context(), Forward);
    EXPECT_EQ(state.frameIndex, 250);
    EXPECT_EQ(Label(PanelLabel::Index), "250/250  Frame");
    EXPECT_FALSE(panel.enabled[Forward]);
    EXPECT_TRUE(panel.enabled[Back]);
    EXPECT_EQ(state.kind, Kind::Video);

    ShowVideo(Kind::VideoPaused, 2);
    PressVideo(Context(), Back);
    // Frame 1 is the device's frame 0: a seek to 1 goes to the start.
    EXPECT_TRUE(std::find(mci.calls.begin(), mci.calls.end(), "MciSendBuf seek msfile to start") !=
                mci.calls.end());
    EXPECT_EQ(state.frameIndex, 1);
    EXPECT_EQ(Label(PanelLabel::Index), "1/250  Frame");
    EXPECT_FALSE(panel.enabled[Back]);
    EXPECT_TRUE(panel.enabled[Forward]);
    EXPECT_EQ(state.kind, Kind::VideoPaused);
}

TEST_F(MediaSteps, AVideoButtonDoesNothingWhenTheVideoIsNotOpen) {
    ShowVideo(Kind::VideoPlaying, 10);
    mci.ListOpen("");
    for (PanelButton b : {Play, Forward, Back, Pause}) PressVideo(Context(), b);
    EXPECT_EQ(panel.writes, 0);
    EXPECT_EQ(state.kind, Kind::VideoPlaying);
}

TEST_F(MediaSteps, AStepOvertakenDuringItsSeekSendsNothingMore) {
    ShowVideo(Kind::Video, 10);
    mci.onPump = [this] { ++generation; };
    PressVideo(Context(), Forward);
    EXPECT_EQ(mci.calls.back(), "ShowDeviceWindow msfile show");
    EXPECT_EQ(panel.writes, 0);
    EXPECT_EQ(state.frameIndex, 10);
}

// --- Timer2

TEST_F(MediaSteps, FastForwardPastTheEndStopsInOneTick) {
    ShowVideo(Kind::VideoForward, 180);
    timers.SetEnabled(TimerId::VideoPosition, true);
    VideoPositionTick(Context());
    EXPECT_EQ(Label(PanelLabel::Index), "250/250  Frame");
    EXPECT_EQ(panel.caption, "stop");
    EXPECT_FALSE(panel.enabled[Forward]);
    EXPECT_FALSE(panel.enabled[Pause]);
    EXPECT_FALSE(timers.Enabled(TimerId::VideoPosition));
    EXPECT_EQ(state.kind, Kind::VideoPlaying);
}

// Wine's seek to the end lands on length - 1: the scan still ends there, on what it reports.
TEST_F(MediaSteps, FastForwardEndsWhereADeviceShortOfTheLengthLands) {
    ShowVideo(Kind::VideoForward, 180);
    timers.SetEnabled(TimerId::VideoPosition, true);
    mci.onSend = [this](const std::string& command) {
        if (command == "seek msfile to end") mci.replies["status msfile position"].text = "249";
    };
    VideoPositionTick(Context());
    EXPECT_EQ(Label(PanelLabel::Index), "249/250  Frame");
    EXPECT_FALSE(timers.Enabled(TimerId::VideoPosition));
    EXPECT_EQ(state.kind, Kind::VideoPlaying);

    // A step onto the end is the end too: no step past it is offered.
    ShowVideo(Kind::VideoPaused, 249);
    mci.onSend = [this](const std::string& command) {
        if (command == "seek msfile to end") mci.replies["status msfile position"].text = "249";
    };
    PressVideo(Context(), Forward);
    EXPECT_EQ(state.frameIndex, 250);
    EXPECT_FALSE(panel.enabled[Forward]);
}

TEST_F(MediaSteps, RewindLandsEveryHundredFramesThenPlaysFromTheStart) {
    ShowVideo(Kind::VideoBackward, 150);
    timers.SetEnabled(TimerId::VideoPosition, true);
    VideoPositionTick(Context());
    EXPECT_EQ(Label(PanelLabel::Index), "50/250  Frame");
    EXPECT_EQ(state.kind, Kind::VideoBackward);
    const size_t sent = mci.calls.size();
    VideoPositionTick(Context());
    const Calls second = After(sent);
    EXPECT_NE(std::find(second.begin(), second.end(), "MciSendBuf seek msfile to start"),
              second.end());
    EXPECT_EQ(mci.calls.back(), "MciSendBuf play msfile notify");
    EXPECT_EQ(Label(PanelLabel::Index), "1/250  Frame");
    EXPECT_EQ(panel.caption, "stop");
    EXPECT_TRUE(panel.enabled[Forward] && panel.enabled[Back] && panel.enabled[Pause]);
    EXPECT_EQ(state.kind, Kind::VideoPlaying);
    EXPECT_TRUE(timers.Enabled(TimerId::VideoPosition));  // the counter follows the play
}

TEST_F(MediaSteps, ThePlayingCounterFollowsTheDeviceFromFrameOne) {
    ShowVideo(Kind::VideoPlaying, 1);
    timers.SetEnabled(TimerId::VideoPosition, true);
    mci.replies["status msfile mode"].text = "playing";
    mci.replies["status msfile position"].text = "0";
    VideoPositionTick(Context());
    EXPECT_EQ(Label(PanelLabel::Index), "1/250  Frame");
    mci.replies["status msfile position"].text = "120";
    VideoPositionTick(Context());
    EXPECT_EQ(Label(PanelLabel::Index), "120/250  Frame");
    EXPECT_TRUE(timers.Enabled(TimerId::VideoPosition));
}

// Under Wine the last frame of a playing video reads 249 of 250: the device's mode tells the end.
TEST_F(MediaSteps, AVideoThatStoppedPlayingHasEnded) {
    ShowVideo(Kind::VideoPlaying, 240);
    timers.SetEnabled(TimerId::VideoPosition, true);
    mci.replies["status msfile position"].text = "249";
    mci.replies["status msfile mode"].text = "Stopped";
    VideoPositionTick(Context());
    EXPECT_EQ(Label(PanelLabel::Index), "250/250  Frame");
    EXPECT_FALSE(timers.Enabled(TimerId::VideoPosition));
    EXPECT_FALSE(panel.enabled[Forward]);
    EXPECT_FALSE(panel.enabled[Pause]);
    EXPECT_EQ(state.kind, Kind::VideoPlaying);
}

// A device that counts no frames and seeks only to the start: the video plays, pauses where it
// stands and ends, with no frame line, no step or scan, and no seek but the rewind of a stop.
TEST_F(MediaSteps, AVideoWithoutFramesPlaysPausesAndEndsWithoutSeeking) {
    fileName = u"C:\\clip.mpg";
    mci.shortPaths["C:\\clip.mpg"] = "C:\\clip.mpg";
    mci.replies["where msfile source max"].text = "0 0 160 120";
    mci.replies["status msfile length"].text = "0";
    Picture picture;
    ASSERT_EQ(StartVideo(Context(), 5, 102, 119, picture), MediaStart::Shown);
    EXPECT_EQ(Label(PanelLabel::Index), "");
    EXPECT_TRUE(panel.enabled[Play]);
    EXPECT_FALSE(panel.enabled[Forward]);
    EXPECT_FALSE(panel.enabled[Back]);

    mci.ListOpen("msfile");
    const size_t sent = mci.calls.size();
    for (PanelButton b : {Forward, Back}) PressVideo(Context(), b);
    EXPECT_EQ(state.kind, Kind::Video);
    PressVideo(Context(), Play);
    EXPECT_EQ(state.kind, Kind::VideoPlaying);
    EXPECT_NE(std::find(mci.calls.begin(), mci.calls.end(), "MciSendBuf play msfile notify"),
              mci.calls.end());
    EXPECT_FALSE(panel.enabled[Forward]);
    EXPECT_TRUE(panel.enabled[Pause]);
    PressVideo(Context(), Forward);
    EXPECT_EQ(state.kind, Kind::VideoPlaying);
    PressVideo(Context(), Pause);
    EXPECT_EQ(state.kind, Kind::VideoPaused);
    EXPECT_EQ(mci.calls.back(), "MciSendBuf pause msfile");
    PressVideo(Context(), Pause);
    EXPECT_EQ(state.kind, Kind::VideoPlaying);
    mci.replies["status msfile mode"].text = "stopped";
    VideoPositionTick(Context());
    EXPECT_FALSE(timers.Enabled(TimerId::VideoPosition));
    EXPECT_FALSE(panel.enabled[Pause]);
    EXPECT_EQ(Label(PanelLabel::Index), "");
    for (const std::string& call : After(sent)) EXPECT_FALSE(call.starts_with("MciSendBuf seek")) << call;
}

// A pause pressed while the tick's seek lets messages run: the tick leaves the paused state be.
TEST_F(MediaSteps, APressDuringATickEndsTheTick) {
    ShowVideo(Kind::VideoForward, 10);
    timers.SetEnabled(TimerId::VideoPosition, true);
    mci.onPump = [this] {
        mci.onPump = nullptr;
        timers.StopAll();
        state.kind = Kind::VideoPaused;
    };
    const size_t sent = mci.calls.size();
    VideoPositionTick(Context());
    EXPECT_EQ(mci.calls.back(), "ShowDeviceWindow msfile show");
    EXPECT_EQ(After(sent).size(), 5u);  // the open test, stop, seek, show
    EXPECT_EQ(panel.writes, 0);
    EXPECT_EQ(state.kind, Kind::VideoPaused);
}

// A seek's pump (or the platform's message box) dispatches the timer's next tick: it is
// dropped while this one runs, and none comes once the end disabled the timer.
TEST_F(MediaSteps, OneTickAtATimeAndNoneAfterTheEnd) {
    ShowVideo(Kind::VideoForward, 180);
    int ticks = 0;
    timers.Register(TimerId::VideoPosition, [&] {
        ++ticks;
        VideoPositionTick(Context());
    });
    timers.SetEnabled(TimerId::VideoPosition, true);
    mci.onPump = [&] { timers.Tick(static_cast<int>(TimerId::VideoPosition)); };
    timers.Tick(static_cast<int>(TimerId::VideoPosition));
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(timers.Enabled(TimerId::VideoPosition));
    timers.Tick(static_cast<int>(TimerId::VideoPosition));
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(Label(PanelLabel::Index), "250/250  Frame");
}

// --- MCI sound

TEST_F(MediaSteps, AMidiFileStartsWithItsLength) {
    mci.replies["status ATYPE length"].text = "61400";
    mci.replies["status ATYPE position"].text = "0";
    ASSERT_EQ(StartMciSound(Context()), MediaStart::Shown);
    EXPECT_EQ(Calls(mci.calls.begin(), mci.calls.begin() + 4),
              (Calls{"MciSend stop ATYPE", "MciSend close ATYPE",
                     "MciSend open \"C:\\media\\song.mid\" alias ATYPE",
                     "MciSend set ATYPE time format milliseconds"}));
    EXPECT_EQ(Label(PanelLabel::Index), "00:00/01:01");
    EXPECT_TRUE(panel.enabled[Play]);
    EXPECT_EQ(state.kind, Kind::MciSound);
    EXPECT_EQ(state.cdTrackMode, 0);
}

TEST_F(MediaSteps, ACdTrackIsPositionedOnItsTrack) {
    fileName = u"D:\\Track03.cda";
    fileTitle = u"Track03.cda";
    mci.replies["status ATYPE position track 3"].text = "02:00:00:00";
    mci.replies["status ATYPE current track"].text = "3 ";
    ASSERT_EQ(StartMciSound(Context()), MediaStart::Shown);
    EXPECT_EQ(Calls(mci.calls.begin() + 3, mci.calls.begin() + 8),
              (Calls{"MciSend status ATYPE position track 3", "MciSend play ATYPE from 02:00:00:00",
                     "MciSend stop ATYPE", "MciSend status ATYPE current track",
                     "MciSend set ATYPE time format milliseconds"}));
    EXPECT_EQ(state.cdTrackMode, -1);
    EXPECT_EQ(state.cdTrack, u"3");
    // The play time: position less the track's start, and the track's length.
    mci.replies["status ATYPE position"].text = "180000";
    mci.replies["status ATYPE position track 3"].text = "120000";
    mci.replies["status ATYPE length track 3"].text = "125000";
    EXPECT_EQ(Utf8(MciPlayTimeText(Context())), "01:00/02:05");
}

// No drive: the open fails, the panel keeps its disabled buttons and no message shows.
TEST_F(MediaSteps, ACdTrackWithoutADriveLeavesTheKindNone) {
    fileName = u"D:\\Track01.cda";
    fileTitle = u"Track01.cda";
    mci.replies["open \"D:\\Track01.cda\" alias ATYPE"].code = 296;
    EXPECT_EQ(StartMciSound(Context()), MediaStart::Failed);
    EXPECT_EQ(state.kind, Kind::None);
    EXPECT_FALSE(panel.enabled[Play]);
}

TEST_F(MediaSteps, TheSoundRowsPlayPauseResumeAndStop) {
    state.kind = Kind::MciSound;
    PressMciSound(Context(), Play);
    EXPECT_EQ(mci.calls.back(), "MciSend play ATYPE");
    EXPECT_EQ(state.kind, Kind::MciPlaying);
    EXPECT_TRUE(timers.Enabled(TimerId::MciProgress));
    EXPECT_EQ(panel.caption, "stop");
    timers.StopAll();
    PressMciSound(Context(), Pause);
    EXPECT_EQ(mci.calls.back(), "MciSend pause ATYPE");
    EXPECT_EQ(state.kind, Kind::MciPaused);
    EXPECT_EQ(panel.caption, "play");
    PressMciSound(Context(), Pause);
    EXPECT_EQ(After(mci.calls.size() - 2), (Calls{"MciSend resume ATYPE", "MciSend play ATYPE"}));
    EXPECT_EQ(state.kind, Kind::MciPlaying);
    EXPECT_EQ(background.calls, (Calls{"start", "snapshot", "resume"}));

    timers.StopAll();
    const size_t sent = mci.calls.size();
    PressMciSound(Context(), Play);
    EXPECT_EQ(mci.pumps, 2);
    const Calls stop = After(sent);
    ASSERT_GE(stop.size(), 5u);
    EXPECT_EQ(Calls(stop.begin(), stop.begin() + 5),
              (Calls{"MciSend stop ATYPE", "MciSend close ATYPE",
                     "MciSend open \"C:\\media\\song.mid\" alias ATYPE",
                     "MciSend set ATYPE time format milliseconds",
                     "MciSend status ATYPE time format"}));
    EXPECT_EQ(state.kind, Kind::MciSound);
    EXPECT_FALSE(panel.enabled[Pause]);
}

TEST_F(MediaSteps, AStopThatCannotReopenStaysPlaying) {
    state.kind = Kind::MciPlaying;
    mci.replies["open \"C:\\media\\song.mid\" alias ATYPE"].code = 275;
    PressMciSound(Context(), Play);
    EXPECT_EQ(state.kind, Kind::MciPlaying);
    EXPECT_EQ(panel.caption, "play");
    EXPECT_FALSE(panel.enabled[Pause]);
}

// A new selection handled in the stop's pump: this file must not be reopened under "ATYPE".
TEST_F(MediaSteps, AStopOvertakenInItsPumpSendsNothing) {
    state.kind = Kind::MciPlaying;
    mci.onPump = [this] { ++generation; };
    PressMciSound(Context(), Play);
    EXPECT_TRUE(mci.calls.empty());
    EXPECT_EQ(panel.writes, 0);
    EXPECT_EQ(state.kind, Kind::MciPlaying);
}

// --- Timer8

TEST_F(MediaSteps, AMidiFileStoppedInAnyLetterCaseRestarts) {
    state.kind = Kind::MciPlaying;
    for (const char* mode : {"stopped", "STOPPED", "Stopped"}) {
        mci.calls.clear();
        mci.replies["status ATYPE mode"].text = mode;
        MciProgressTick(Context());
        ASSERT_GE(mci.calls.size(), 5u);
        EXPECT_EQ(Calls(mci.calls.begin(), mci.calls.begin() + 5),
                  (Calls{"MciSend status ATYPE mode", "MciSend stop ATYPE", "MciSend close ATYPE",
                         "MciSend open \"C:\\media\\song.mid\" alias ATYPE", "MciSend play ATYPE"}))
            << mode;
    }
    mci.calls.clear();
    mci.replies["status ATYPE mode"].text = "playing";
    MciProgressTick(Context());
    EXPECT_EQ(mci.calls[1], "MciSend set ATYPE time format milliseconds");
}

TEST_F(MediaSteps, ACdThatPlayedIntoTheNextTrackRepeatsItsOwn) {
    fileName = u"D:\\Track05.cda";
    state.kind = Kind::MciPlaying;
    state.cdTrackMode = -1;
    state.cdTrack = u"5";
    mci.replies["status ATYPE current track"].text = "5";
    MciProgressTick(Context());
    EXPECT_EQ(mci.calls[1], "MciSend set ATYPE time format milliseconds");
    mci.calls.clear();
    mci.replies["status ATYPE current track"].text = "6";
    mci.replies["status ATYPE position track 5"].text = "754000";
    MciProgressTick(Context());
    EXPECT_EQ(Calls(mci.calls.begin(), mci.calls.begin() + 5),
              (Calls{"MciSend status ATYPE current track", "MciSend stop ATYPE",
                     "MciSend status ATYPE position track 5", "MciSend play ATYPE from 754000",
                     "MciSend play ATYPE"}));
}

TEST_F(MediaSteps, TheProgressTextTruncatesMinutesAndRoundsSeconds) {
    state.kind = Kind::MciPlaying;
    mci.replies["status ATYPE mode"].text = "playing";
    const std::pair<const char*, const char*> cases[] = {
        {"59500", "00:00"},  {"61400", "01:01"},  {"119400", "01:59"},
        {"119700", "01:00"}, {"7500000", "125:00"}, {"Error:263", "00:00"},
    };
    for (const auto& [ms, text] : cases) {
        mci.replies["status ATYPE position"].text = ms;
        mci.replies["status ATYPE length"].text = ms;
        MciProgressTick(Context());
        EXPECT_EQ(Label(PanelLabel::Index), std::string(text) + "/" + text) << ms;
    }
}

TEST(PlayTime, HalvesGoToTheEvenSecond) {
    EXPECT_EQ(Utf8(TimeText(0.5)), "00:00");
    EXPECT_EQ(Utf8(TimeText(1.5)), "00:02");
    EXPECT_EQ(Utf8(TimeText(2.5)), "00:02");
    EXPECT_EQ(Utf8(TimeText(60.5)), "01:00");
    EXPECT_EQ(Utf8(TimeText(-1.0)), "-01:-01");
    EXPECT_EQ(Utf8(PlayTimeText(75, 3600)), "01:15/60:00");
}

TEST(CdTrack, IsTheTwoCharactersBeforeTheExtension) {
    EXPECT_EQ(TrackOfFileName(u"D:\\Track05.cda"), 5);
    EXPECT_EQ(TrackOfFileName(u"D:\\Track10.cda"), 10);
    EXPECT_EQ(TrackOfFileName(u"D:\\Trackxy.cda"), 0);
    EXPECT_EQ(TrackOfFileName(u"D:\\Track.cda"), 0);
    EXPECT_EQ(TrackOfFileName(u"5.cda"), 5);
    EXPECT_EQ(TrackOfFileName(u""), 0);
}

}  // namespace
}  // namespace qcd
