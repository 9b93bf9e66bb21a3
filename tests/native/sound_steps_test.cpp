#include "preview/sound_steps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dialoghost/panel_commands.h"
#include "preview/play_time.h"
#include "preview/analyser_display.h"

namespace qcd {
namespace {

using Calls = std::vector<std::string>;

std::string Id(auto value) { return " " + std::to_string(static_cast<int>(value)); }

class NoClock : public TimerClock {
  public:
    void Arm(int, uint32_t) override {}
    void Disarm(int) override {}
};

// Records the panel's, the library's and the background's calls in one list, in order. The
// library answers with `libraryState` and `libraryPosition`.
class Recorder : public PanelActions, public SoundPlayer, public SoundBackground {
  public:
    Calls calls;
    int32_t libraryState = 0, libraryPosition = 0;

    void StopTimersAndAbort() override { calls.push_back("timers off"); }
    void ClearCopy() override { calls.push_back("clear"); }
    void Repaint() override { calls.push_back("repaint"); }
    void SetText(PanelLabel label, std::u16string_view text) override {
        calls.push_back(Id(label).substr(1) + " " + std::string(text.begin(), text.end()));
    }
    void Enable(PanelButton button, bool on) override { calls.push_back((on ? "enable" : "disable") + Id(button)); }
    void SetPlayCaption(PlayCaption c) override { calls.push_back(c == PlayCaption::Play ? "caption play" : "caption stop"); }
    void SetInterval(TimerId t, int32_t ms) override { calls.push_back("interval" + Id(t) + Id(ms)); }
    void StartTimer(TimerId t) override { calls.push_back("start" + Id(t)); }
    void FocusFileList() override { calls.push_back("focus"); }

    void SetVolume(int32_t l, int32_t r) override { calls.push_back("volume" + Id(l) + Id(r)); }
    void Play() override { calls.push_back("play"); }
    void Stop() override { calls.push_back("stop"); }
    void Pause() override { calls.push_back("pause"); }
    void Restart() override { calls.push_back("restart"); }
    void Seek(int32_t s) override { calls.push_back("seek" + Id(s)); }
    int32_t GetState(int32_t& position) override {
        position = libraryPosition;
        return libraryState;
    }

    void Start(SoundSource) override { calls.push_back("background start"); }
    void Snapshot(SoundSource) override { calls.push_back("background snapshot"); }
    void Resume(SoundSource) override { calls.push_back("background resume"); }
    void Clear() override { calls.push_back("background clear"); }
};

class SoundRows : public ::testing::Test, public ButtonTarget, public MessagePump {
  protected:
    Recorder r;
    NoClock clock;
    TimerOwner timers{clock};
    PreviewState state;
    bool mp3Open = false, seekForward = false;
    int pumps = 0;
    bool overtakeOnPump = false;

    SoundContext Context() {
        return {r, r, r, timers, state, mp3Open, seekForward, *this};
    }
    PumpResult LetMessagesRun() override {
        ++pumps;
        return overtakeOnPump ? PumpResult::Overtaken : PumpResult::Continue;
    }
    void Press(PanelButton b) override { PressSound(Context(), b); }
    void Click(int id) {
        r.calls.clear();
        OnPanelCommand(r, this, static_cast<uintptr_t>(id));
    }
    void Show(PreviewKind kind, int32_t position, int32_t length) {
        state.kind = kind;
        state.soundPosition = position;
        state.soundLength = length;
    }
};

TEST(PlayTimeText, MinutesAndSecondsOfWholeSeconds) {
    EXPECT_EQ(PlayTimeText(61, 125), u"01:01/02:05");
    EXPECT_EQ(PlayTimeText(0, 205), u"00:00/03:25");
    EXPECT_EQ(PlayTimeText(75, 3600), u"01:15/60:00");
    EXPECT_EQ(PlayTimeText(59, 6000), u"00:59/100:00");
}

TEST_F(SoundRows, PlayStartsTheSoundTheProgressTimerAndTheBackground) {
    Show(PreviewKind::Mp3Sound, 0, 125);
    Click(1005);
    EXPECT_EQ(r.calls, (Calls{"clear", "timers off", "repaint", "caption stop", "disable 1006", "disable 1007",
                              "enable 1008", "volume 100 100", "play", "start 5", "background start", "focus"}));
    EXPECT_EQ(state.kind, PreviewKind::Mp3Playing);
    EXPECT_TRUE(mp3Open);
}

TEST_F(SoundRows, StopLetsMessagesRunShowsWhereItStoppedAndClearsTheSpectrum) {
    Show(PreviewKind::Mp3Playing, 40, 125);
    mp3Open = true;
    r.libraryPosition = 0;
    Click(1005);
    EXPECT_EQ(pumps, 2);
    EXPECT_EQ(r.calls, (Calls{"clear", "timers off", "repaint", "caption play", "disable 1006", "disable 1007",
                              "disable 1008", "stop", "1003 00:00/02:05", "1002 ", "clear", "repaint",
                              "background clear", "focus"}));
    EXPECT_EQ(state.kind, PreviewKind::Mp3Sound);
    EXPECT_FALSE(mp3Open);
}

// A selection made while the stop let messages run owns the panel: the press leaves it.
TEST_F(SoundRows, AStopOvertakenWhileMessagesRunTouchesNothing) {
    Show(PreviewKind::Mp3Playing, 40, 125);
    mp3Open = true;
    overtakeOnPump = true;
    Click(1005);
    EXPECT_EQ(r.calls, (Calls{"clear", "timers off", "focus"}));
    EXPECT_EQ(pumps, 1);
}

TEST_F(SoundRows, PauseSeekAndResume) {
    Show(PreviewKind::Mp3Playing, 30, 125);
    Click(1008);
    EXPECT_EQ(r.calls, (Calls{"clear", "timers off", "caption play", "enable 1006", "enable 1007", "enable 1008",
                              "pause", "background snapshot", "focus"}));
    EXPECT_EQ(state.kind, PreviewKind::Mp3Paused);

    Click(1006);
    EXPECT_EQ(r.calls, (Calls{"clear", "timers off", "disable 1006", "disable 1007", "start 6", "focus"}));
    EXPECT_EQ(state.kind, PreviewKind::Mp3Forward);
    EXPECT_TRUE(seekForward);

    r.libraryState = 2;
    r.libraryPosition = 50;
    Click(1008);  // the seek ends where the library stands
    EXPECT_EQ(r.calls, (Calls{"clear", "timers off", "enable 1006", "enable 1007", "1003 00:50/02:05", "focus"}));
    EXPECT_EQ(state.kind, PreviewKind::Mp3Paused);

    Click(1007);
    EXPECT_FALSE(seekForward);
    EXPECT_EQ(state.kind, PreviewKind::Mp3Backward);
    Click(1005);
    EXPECT_EQ(r.calls, (Calls{"clear", "timers off", "caption stop", "disable 1006", "disable 1007", "enable 1008",
                              "restart", "start 5", "background resume", "focus"}));
    EXPECT_EQ(state.kind, PreviewKind::Mp3Playing);
}

TEST_F(SoundRows, ButtonsWithoutARowOnlyStopTheTimers) {
    Show(PreviewKind::Mp3Playing, 30, 125);
    Click(1006);
    EXPECT_EQ(r.calls, (Calls{"clear", "timers off", "focus"}));
    Show(PreviewKind::Mp3Sound, 0, 125);
    Click(1008);
    EXPECT_EQ(state.kind, PreviewKind::Mp3Sound);
}

TEST_F(SoundRows, Timer5ShowsThePositionAndRepeatsAtTheEnd) {
    Show(PreviewKind::Mp3Playing, 0, 125);
    r.libraryState = 1;
    r.libraryPosition = 61;
    r.calls.clear();
    Mp3ProgressTick(Context());
    EXPECT_EQ(r.calls, (Calls{"1003 01:01/02:05"}));
    r.libraryState = 0;
    r.libraryPosition = 0;
    r.calls.clear();
    Mp3ProgressTick(Context());
    EXPECT_EQ(r.calls, (Calls{"stop", "play", "1003 00:00/02:05"}));
}

TEST_F(SoundRows, Timer6RewindsToZeroAndStillSeeksThere) {
    Show(PreviewKind::Mp3Backward, 25, 125);
    seekForward = false;
    r.libraryState = 2;
    timers.SetEnabled(TimerId::Mp3Seek, true);
    std::vector<int32_t> seen;
    for (int i = 0; i < 3; ++i) {
        r.libraryPosition = state.soundPosition;  // the library holds what was sought
        r.calls.clear();
        Mp3SeekTick(Context());
        seen.push_back(state.soundPosition);
        EXPECT_EQ(r.calls.front(), "seek" + Id(state.soundPosition));
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{15, 5, 0}));
    EXPECT_FALSE(timers.Enabled(TimerId::Mp3Seek));
    EXPECT_EQ(r.calls.back(), "1003 00:00/02:05");
}

TEST_F(SoundRows, Timer6ForwardStopsAtTheLength) {
    Show(PreviewKind::Mp3Forward, 95, 100);
    seekForward = true;
    r.libraryState = 2;
    r.libraryPosition = 95;
    timers.SetEnabled(TimerId::Mp3Seek, true);
    r.calls.clear();
    Mp3SeekTick(Context());
    EXPECT_EQ(state.soundPosition, 100);
    EXPECT_EQ(r.calls, (Calls{"seek 100", "1003 01:40/01:40"}));
    EXPECT_FALSE(timers.Enabled(TimerId::Mp3Seek));
    // The largest length: 10 more must not wrap.
    Show(PreviewKind::Mp3Forward, 0, INT32_MAX);
    r.libraryPosition = INT32_MAX - 3;
    Mp3SeekTick(Context());
    EXPECT_EQ(state.soundPosition, INT32_MAX);
}

TEST_F(SoundRows, Timer6OnlyDisablesItselfWhenTheSoundIsNotPaused) {
    Show(PreviewKind::Mp3Forward, 40, 100);
    timers.SetEnabled(TimerId::Mp3Seek, true);
    for (int32_t s : {0, 1}) {
        r.libraryState = s;
        r.calls.clear();
        Mp3SeekTick(Context());
        EXPECT_TRUE(r.calls.empty());
        EXPECT_FALSE(timers.Enabled(TimerId::Mp3Seek));
    }
}

// The spectrum's pixel rules, on a 256 x 119 picture (SH = 1785 twips).
class SpectrumPixels : public ::testing::Test {
  protected:
    static constexpr int kW = 256, kH = 119, kSH = kH * 15;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(kW * kH, 0);
    SpectrumDisplay display;

    void Tick(int32_t value, int32_t sh = kSH) {
        SpectrumBins a{}, b{};
        a.fill(value);
        display.Update(a, b, sh);
        std::fill(pixels.begin(), pixels.end(), 0u);
        display.Draw({pixels.data(), kW, kH, kW}, sh);
    }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * kW + x)]; }
    // The rows of column x that are lit, top first.
    std::vector<int> Lit(int x) const {
        std::vector<int> rows;
        for (int y = 0; y < kH; ++y)
            if (At(x, y)) rows.push_back(y);
        return rows;
    }
};

TEST_F(SpectrumPixels, ABinOf40IsTheFloorPixelWithItsPeak) {
    Tick(40);
    EXPECT_EQ(Lit(0), (std::vector<int>{kH - 1}));
    EXPECT_EQ(At(0, kH - 1), kPeakPixel);  // the peak on the same row
    Tick(0);
    EXPECT_EQ(Lit(5), (std::vector<int>{kH - 1}));
}

TEST_F(SpectrumPixels, ABinOf110IsAFullBarShadedFromCyanToBlue) {
    Tick(110);
    EXPECT_EQ(display.Level(0), kSH);
    EXPECT_EQ(Lit(0).size(), static_cast<size_t>(kH));
    EXPECT_EQ(At(0, kH - 1), 0x00FDFFu);      // nearly cyan at the bottom: y = SH - 10 gives 253
    EXPECT_EQ(At(0, kH / 4), 0x0000FFu);      // blue in the upper half
    EXPECT_EQ(At(0, 0), 0x0000FFu);           // the peak, 10 twips above the top, is clipped
    const uint32_t middle = At(0, kH * 3 / 4);  // shading between
    EXPECT_GT(middle >> 8 & 0xFF, 0u);
    EXPECT_LT(middle >> 8 & 0xFF, 255u);
}

TEST_F(SpectrumPixels, AFullBarFallsInCeilShOver100TicksItsPeakInCeilShOver30) {
    Tick(110);
    int barTicks = 0, peakTicks = 0;
    while (display.Level(0) > 0) Tick(0), ++barTicks;
    while (display.Peak(0) > 0) Tick(0), ++peakTicks;
    EXPECT_EQ(barTicks, (kSH + 99) / 100);
    EXPECT_EQ(barTicks + peakTicks, (kSH + 29) / 30);
}

// Bins the 16-bit arithmetic could not hold: saturated, drawn only where visible.
TEST_F(SpectrumPixels, WildValuesSaturateAndDrawOnlyTheVisibleRows) {
    Tick(INT32_MAX);
    EXPECT_EQ(display.Level(0), INT32_MAX);
    EXPECT_EQ(Lit(0).size(), static_cast<size_t>(kH));
    Tick(INT32_MIN);
    EXPECT_EQ(display.Level(0), INT32_MAX - 100);  // it falls as any bar does
    Tick(10000);
    EXPECT_EQ(Lit(3).size(), static_cast<size_t>(kH));
}

TEST_F(SpectrumPixels, NothingIsDrawnWithoutHeightAndNarrowPicturesShowTheLowBins) {
    Tick(110, 0);
    EXPECT_EQ(display.Level(0), 0);
    EXPECT_TRUE(Lit(0).empty());
    std::vector<uint32_t> narrow(100 * 10, 0);
    display.Draw({narrow.data(), 100, 10, 100}, 150);
    std::vector<uint32_t> wider(101 * 10, 0);
    display.Draw({wider.data(), 101, 10, 101}, 150);
    EXPECT_NE(wider[9 * 101 + 100], 0u);  // bin 100 is column 100 when there is one
}

}  // namespace
}  // namespace qcd
