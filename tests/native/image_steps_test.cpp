#include "preview/image_steps.h"

#include "dialoghost/panel_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace qcd {
namespace {

using Calls = std::vector<std::string>;

std::string Id(auto value) {
    return " " + std::to_string(static_cast<int>(value));
}

// Records every call in order. Image n of the strip is 16 × n pixels square, 4 bits for
// image 1 and 8 bits for the others.
class RecordingPanel : public PanelActions, public ImageStrip {
  public:
    Calls calls;

    void StopTimersAndAbort() override { calls.push_back("timers off and abort"); }
    void ClearCopy() override { calls.push_back("clear"); }
    void Repaint() override { calls.push_back("repaint"); }
    StripImage DrawImage(int32_t image) override {
        calls.push_back("draw" + Id(image));
        return {16 * image, 16 * image, static_cast<int16_t>(image == 1 ? 4 : 8)};
    }
    void SetText(PanelLabel label, std::u16string_view text) override {
        calls.push_back(Id(label).substr(1) + " " + std::string(text.begin(), text.end()));
    }
    void Enable(PanelButton button, bool on) override {
        calls.push_back((on ? "enable" : "disable") + Id(button));
    }
    void SetPlayCaption(PlayCaption caption) override {
        calls.push_back(caption == PlayCaption::Play ? "caption play" : "caption stop");
    }
    void SetInterval(TimerId timer, int32_t ms) override {
        calls.push_back("interval" + Id(timer) + Id(ms));
    }
    void StartTimer(TimerId timer) override { calls.push_back("start" + Id(timer)); }
    void FocusFileList() override { calls.push_back("focus"); }
};

// The shown kind as the icon and animated-cursor previews are: their rows of the table.
class ImageKind : public ButtonTarget {
  public:
    explicit ImageKind(std::function<ImageSetContext()> context) : context_(std::move(context)) {}
    void Press(PanelButton button) override {
        const ImageSetContext c = context_();
        if (c.state.kind == PreviewKind::IconSet)
            PressIconSet(c, button);
        else
            PressAnimatedCursor(c, button);
    }

  private:
    std::function<ImageSetContext()> context_;
};

class PanelCommand : public ::testing::Test {
  protected:
    RecordingPanel panel;
    PreviewState state;
    std::vector<int32_t> rates, images;

    int32_t displayRate = 0;
    ImageKind shown{[this] { return Context(); }};

    ImageSetContext Context() { return {panel, panel, state, {rates, images, displayRate}}; }

    void Show(PreviewKind kind, int32_t imageCount, int32_t imageIndex, int32_t frameCount = 0,
              int32_t frameIndex = 0) {
        state.kind = kind;
        state.imageCount = imageCount;
        state.imageIndex = imageIndex;
        state.frameCount = frameCount;
        state.frameIndex = frameIndex;
    }

    // The calls of a press between its common steps, which every press must make.
    Calls Press(uintptr_t wParam) {
        panel.calls.clear();
        EXPECT_EQ(OnPanelCommand(panel, &shown, wParam), -1);
        const Calls& all = panel.calls;
        const Calls head = {"clear", "timers off and abort"};
        if (all.size() < 3 || !std::equal(head.begin(), head.end(), all.begin()) ||
            all.back() != "focus") {
            ADD_FAILURE() << "common steps missing";
            return all;
        }
        return Calls(all.begin() + 2, all.end() - 1);
    }

    Calls Tick() {
        panel.calls.clear();
        AniStepTick(Context());
        return panel.calls;
    }
};

TEST_F(PanelCommand, OtherCommandsChangeNothing) {
    Show(PreviewKind::AnimatedCursorRunning, 3, 1, 5, 2);
    // Other controls (the title label's STN_CLICKED among them), and a button's focus
    // notifications.
    for (uintptr_t wParam : {1000u, 1001u, 1119u, (1005u << 16) | 1u, (6u << 16) | 1005u,
                             (7u << 16) | 1006u})
        EXPECT_EQ(OnPanelCommand(panel, &shown, wParam), 0);
    EXPECT_EQ(panel.calls, Calls{});
    EXPECT_EQ(state.kind, PreviewKind::AnimatedCursorRunning);
}

TEST_F(PanelCommand, KindsWithoutButtonsOnlyStopTheTimers) {
    for (PreviewKind kind : {PreviewKind::None, PreviewKind::Picture, PreviewKind::Icon}) {
        Show(kind, 1, 1);
        // A double click is a press as well.
        for (uintptr_t wParam : {1005u, 1006u, 1007u, (5u << 16) | 1008u})
            EXPECT_EQ(Press(wParam), Calls{}) << static_cast<int>(kind);
        EXPECT_EQ(state.kind, kind);
        EXPECT_EQ(state.imageIndex, 1);
    }
}

// A stopped animated cursor steps through its images like an icon set, not its steps.
TEST_F(PanelCommand, IconSetAndStoppedCursorStepImagesWrappingBothWays) {
    for (PreviewKind kind : {PreviewKind::IconSet, PreviewKind::AnimatedCursor}) {
        Show(kind, 3, 2, 5, 1);
        EXPECT_EQ(Press(1006),
                  Calls({"repaint", "draw 3", "1002 48x48x256", "1003 3/3  Image", "repaint"}));
        EXPECT_EQ(Press(1006),
                  Calls({"repaint", "draw 1", "1002 16x16x16", "1003 1/3  Image", "repaint"}));
        EXPECT_EQ(state.pictureBits, 4);
        Press(1007);
        EXPECT_EQ(state.imageIndex, 3);
        EXPECT_EQ(state.pictureHeight, 48);
        EXPECT_EQ(state.frameIndex, 1);
        // Pause is disabled in both; an icon set has no play either.
        EXPECT_EQ(Press(1008), Calls{});
        if (kind == PreviewKind::IconSet) EXPECT_EQ(Press(1005), Calls{});
        EXPECT_EQ(state.kind, kind);
    }
}

TEST_F(PanelCommand, PlayTimesTheFirstStepAndStopGoesBackToImageOne) {
    rates = {0, 7};
    images = {1, 2};
    Show(PreviewKind::AnimatedCursor, 3, 2, 2, 1);
    EXPECT_EQ(Press(1005), Calls({"repaint", "caption stop", "disable 1006", "disable 1007",
                                  "enable 1008", "interval 1 10", "start 1"}));
    EXPECT_EQ(state.kind, PreviewKind::AnimatedCursorRunning);

    state.frameIndex = 2;
    EXPECT_EQ(Press(1005),
              Calls({"repaint", "draw 1", "1002 16x16x16", "1003 1/3  Image", "1004 1/2  Frame",
                     "repaint", "caption play", "enable 1006", "enable 1007", "disable 1008"}));
    EXPECT_EQ(state.kind, PreviewKind::AnimatedCursor);
    EXPECT_EQ(state.frameIndex, 1);
}

TEST_F(PanelCommand, PauseShowsTheDueStepWrapped) {
    images = {2, 0, 1};
    Show(PreviewKind::AnimatedCursorRunning, 3, 1, 3, 4);
    EXPECT_EQ(Press(1008),
              Calls({"repaint", "draw 3", "1002 48x48x256", "1003 3/3  Image", "1004 1/3  Frame",
                     "repaint", "caption play", "enable 1006", "enable 1007"}));
    EXPECT_EQ(state.kind, PreviewKind::AnimatedCursorPaused);

    Show(PreviewKind::AnimatedCursorRunning, 3, 1, 3, 0);
    Press(1008);
    EXPECT_EQ(state.frameIndex, 3);
    EXPECT_EQ(state.imageIndex, 2);
}

TEST_F(PanelCommand, PausedCursorStepsWrapAndBothButtonsResume) {
    images = {2, 0, 1};
    Show(PreviewKind::AnimatedCursorPaused, 3, 2, 3, 3);
    Press(1006);
    EXPECT_EQ(state.frameIndex, 1);
    EXPECT_EQ(state.imageIndex, 3);
    EXPECT_EQ(Press(1007), Calls({"repaint", "draw 2", "1002 32x32x256", "1003 2/3  Image",
                                  "1004 3/3  Frame", "repaint"}));

    const Calls resume = {"repaint", "caption stop", "disable 1006", "disable 1007", "start 1"};
    EXPECT_EQ(Press(1008), resume);
    EXPECT_EQ(state.kind, PreviewKind::AnimatedCursorRunning);
    state.kind = PreviewKind::AnimatedCursorPaused;
    EXPECT_EQ(Press(1005), resume);
    EXPECT_EQ(state.kind, PreviewKind::AnimatedCursorRunning);
    // Stepping stays disabled while the cursor runs.
    EXPECT_EQ(Press(1006), Calls{});
    EXPECT_EQ(Press(1007), Calls{});
    EXPECT_EQ(state.frameIndex, 3);
}

TEST_F(PanelCommand, Timer1ShowsEachStepForItsOwnRate) {
    rates = {1, 2, 3};
    images = {2, 0, 1};
    Show(PreviewKind::AnimatedCursorRunning, 3, 1, 3, 1);
    EXPECT_EQ(Tick(), Calls({"clear", "draw 3", "1002 48x48x256", "1003 3/3  Image",
                             "1004 1/3  Frame", "repaint", "interval 1 10"}));
    EXPECT_EQ(state.frameIndex, 2);
    EXPECT_EQ(Tick()[1], "draw 1");
    EXPECT_EQ(Tick().back(), "interval 1 30");
    EXPECT_EQ(state.frameIndex, 4);
    EXPECT_EQ(Tick()[4], "1004 1/3  Frame");
    EXPECT_EQ(state.frameIndex, 2);

    // A tick left in the queue after the animation stopped draws nothing.
    for (PreviewKind kind : {PreviewKind::AnimatedCursorPaused, PreviewKind::IconSet}) {
        state.kind = kind;
        EXPECT_EQ(Tick(), Calls{});
    }
}

// A file without "rate" and "seq " chunks: every step at the header's rate, images in turn.
TEST_F(PanelCommand, Timer1WithoutRateAndSequenceTables) {
    displayRate = 6;
    Show(PreviewKind::AnimatedCursorRunning, 4, 1, 8, 1);
    for (int step = 1; step <= 8; ++step) {
        const Calls calls = Tick();
        ASSERT_EQ(calls.size(), 7u);
        EXPECT_EQ(calls[1], "draw " + std::to_string((step - 1) % 4 + 1));
        EXPECT_EQ(calls[4], "1004 " + std::to_string(step) + "/8  Frame");
        EXPECT_EQ(calls[6], "interval 1 60");
    }
}

TEST_F(PanelCommand, ShortOrWrongTablesNeverReachPastTheStrip) {
    rates = {5};
    images = {5, -1};  // images the file does not have
    displayRate = 4;
    Show(PreviewKind::AnimatedCursorRunning, 2, 1, 3, 1);
    EXPECT_EQ(Tick()[1], "draw 2");  // 5 goes round a strip of 2
    EXPECT_EQ(Tick(), Calls({"clear", "draw 2", "1002 32x32x256", "1003 2/2  Image",
                             "1004 2/3  Frame", "repaint", "interval 1 40"}));
    EXPECT_EQ(Tick()[1], "draw 1");  // step 3 has no entries: plain sequence

    Show(PreviewKind::IconSet, 3, -7);
    Press(1006);
    EXPECT_EQ(state.imageIndex, 1);
    Show(PreviewKind::AnimatedCursorPaused, 0, 0, 3, 1);
    EXPECT_EQ(Press(1006), Calls({"repaint", "repaint"}));
    Show(PreviewKind::IconSet, 3, std::numeric_limits<int32_t>::max());
    Press(1006);
    EXPECT_EQ(state.imageIndex, 1);
}

}  // namespace
}  // namespace qcd

namespace qcd {
namespace {

// What each button's name says a press does, as the rows do it, state by state.
TEST(ButtonAction, NamesWhatAPressDoesNow) {
    using K = PreviewKind;
    using B = PanelButton;
    struct Case {
        K kind;
        B button;
        std::u16string_view name;
    };
    const Case cases[] = {
        {K::IconSet, B::Forward, u"Next image"},       {K::IconSet, B::Back, u"Previous image"},
        {K::AnimatedCursor, B::Play, u"Play"},         {K::AnimatedCursorRunning, B::Play, u"Stop"},
        {K::AnimatedCursorRunning, B::Pause, u"Pause"}, {K::AnimatedCursorPaused, B::Pause, u"Resume"},
        {K::AnimatedCursorPaused, B::Forward, u"Next frame"},
        {K::Video, B::Play, u"Play"},                  {K::Video, B::Back, u"Previous frame"},
        {K::VideoPlaying, B::Play, u"Stop"},           {K::VideoPlaying, B::Forward, u"Fast forward"},
        {K::VideoPlaying, B::Back, u"Rewind"},         {K::VideoPaused, B::Pause, u"Resume"},
        {K::Mp3Sound, B::Play, u"Play"},               {K::Mp3Playing, B::Pause, u"Pause"},
        {K::Mp3Paused, B::Play, u"Resume"},            {K::Mp3Paused, B::Forward, u"Fast forward"},
        {K::MciPaused, B::Play, u"Resume"},            {K::MciPlaying, B::Play, u"Stop"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ButtonAction(c.kind, c.button), c.name)
            << static_cast<int>(c.kind) << " " << static_cast<int>(c.button);
}

}  // namespace
}  // namespace qcd
