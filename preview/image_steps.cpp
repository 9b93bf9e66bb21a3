#include "preview/image_steps.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "readers/ani_file.h"

namespace qcd {

namespace {

using Kind = PreviewKind;
using enum PanelButton;

// 1-based index one on from `index` within 1..count; anything outside the range (a wrap
// or a stale index) starts again at 1.
int32_t NextIndex(int32_t index, int32_t count) {
    const int64_t next = int64_t{index} + 1;
    return next > count || next < 1 ? 1 : static_cast<int32_t>(next);
}

// One back from `index`; outside 1..count it goes to the last.
int32_t PreviousIndex(int32_t index, int32_t count) {
    const int64_t previous = int64_t{index} - 1;
    return previous < 1 || previous > count ? count : static_cast<int32_t>(previous);
}

// The step counter may have run one past the end while the animation ran.
void WrapFrame(PreviewState& s) {
    if (s.frameIndex > s.frameCount) s.frameIndex = 1;
    if (s.frameIndex < 1) s.frameIndex = s.frameCount;
}

bool HasStep(std::span<const int32_t> table, int32_t step) {
    return step >= 1 && static_cast<size_t>(step) <= table.size();
}

int32_t RateOfStep(const AnimationSteps& animation, int32_t step) {
    return HasStep(animation.rates, step) ? animation.rates[static_cast<size_t>(step - 1)]
                                          : animation.displayRate;
}

// 1-based image of a step, always one the strip has: an entry naming an image the file
// lacks goes round the strip.
int32_t ImageOfStep(const AnimationSteps& animation, int32_t step, int32_t imageCount) {
    int64_t image = HasStep(animation.images, step)
                        ? animation.images[static_cast<size_t>(step - 1)]
                        : int64_t{step} - 1;
    image %= imageCount;
    if (image < 0) image += imageCount;
    return static_cast<int32_t>(image + 1);
}

// Draws image ImageIndex and writes its size and image line.
void ShowImage(const ImageSetContext& c) {
    PreviewState& s = c.state;
    if (s.imageIndex < 1 || s.imageIndex > s.imageCount) return;
    const StripImage image = c.strip.DrawImage(s.imageIndex);
    s.pictureWidth = image.width;
    s.pictureHeight = image.height;
    s.pictureBits = image.bits;
    c.panel.SetText(PanelLabel::Size, SizeCaption(s.pictureWidth, s.pictureHeight, s.pictureBits));
    c.panel.SetText(PanelLabel::Index, ImageLine(s.imageIndex, s.imageCount));
}

// Shows the image of step FrameIndex with its frame line.
void ShowStep(const ImageSetContext& c) {
    PreviewState& s = c.state;
    if (s.imageCount < 1) return;
    s.imageIndex = ImageOfStep(c.animation, s.frameIndex, s.imageCount);
    ShowImage(c);
    c.panel.SetText(PanelLabel::Status, FrameLine(s.frameIndex, s.frameCount));
}

void EnableStepping(const ImageSetContext& c, bool enabled) {
    c.panel.Enable(Forward, enabled);
    c.panel.Enable(Back, enabled);
}

// --- Steps of the rows: each returns false when the press ends early and the kind stays.

bool StartAnimation(const ImageSetContext& c) {
    c.panel.Repaint();
    c.panel.SetPlayCaption(PlayCaption::Stop);
    EnableStepping(c, false);
    c.panel.Enable(Pause, true);
    c.panel.SetInterval(TimerId::AniStep,
                        AniStepIntervalMs(RateOfStep(c.animation, c.state.frameIndex)));
    c.panel.StartTimer(TimerId::AniStep);
    return true;
}

bool StopAnimation(const ImageSetContext& c) {
    c.panel.Repaint();
    c.state.imageIndex = 1;
    c.state.frameIndex = 1;
    ShowImage(c);
    c.panel.SetText(PanelLabel::Status, FrameLine(c.state.frameIndex, c.state.frameCount));
    c.panel.Repaint();
    c.panel.SetPlayCaption(PlayCaption::Play);
    EnableStepping(c, true);
    c.panel.Enable(Pause, false);
    return true;
}

// The timer keeps the interval of the step it last showed.
bool ResumeAnimation(const ImageSetContext& c) {
    c.panel.Repaint();
    c.panel.SetPlayCaption(PlayCaption::Stop);
    EnableStepping(c, false);
    c.panel.StartTimer(TimerId::AniStep);
    return true;
}

bool PauseAnimation(const ImageSetContext& c) {
    c.panel.Repaint();
    WrapFrame(c.state);
    ShowStep(c);
    c.panel.Repaint();
    c.panel.SetPlayCaption(PlayCaption::Play);
    EnableStepping(c, true);
    return true;
}

// One image (or, paused, one animation step) on or back, drawn after the area's blank.
template <int32_t (*Move)(int32_t index, int32_t count), bool kSteps>
bool StepThrough(const ImageSetContext& c) {
    c.panel.Repaint();
    if constexpr (kSteps) {
        c.state.frameIndex = Move(c.state.frameIndex, c.state.frameCount);
        ShowStep(c);
    } else {
        c.state.imageIndex = Move(c.state.imageIndex, c.state.imageCount);
        ShowImage(c);
    }
    c.panel.Repaint();
    return true;
}

constexpr auto NextImage = StepThrough<NextIndex, false>;
constexpr auto PreviousImage = StepThrough<PreviousIndex, false>;
constexpr auto NextStep = StepThrough<NextIndex, true>;
constexpr auto PreviousStep = StepThrough<PreviousIndex, true>;

using Row = PressRow<ImageSetContext>;
constexpr std::optional<PreviewKind> kSame;

constexpr Row kIconSetRows[] = {
    {Kind::IconSet, Forward, NextImage, kSame},
    {Kind::IconSet, Back, PreviousImage, kSame},
};

constexpr Row kAnimatedCursorRows[] = {
    {Kind::AnimatedCursor, Play, StartAnimation, Kind::AnimatedCursorRunning},
    {Kind::AnimatedCursorRunning, Play, StopAnimation, Kind::AnimatedCursor},
    {Kind::AnimatedCursorPaused, Play, ResumeAnimation, Kind::AnimatedCursorRunning},

    {Kind::AnimatedCursor, Forward, NextImage, kSame},
    {Kind::AnimatedCursorPaused, Forward, NextStep, kSame},

    {Kind::AnimatedCursor, Back, PreviousImage, kSame},
    {Kind::AnimatedCursorPaused, Back, PreviousStep, kSame},

    {Kind::AnimatedCursorRunning, Pause, PauseAnimation, Kind::AnimatedCursorPaused},
    {Kind::AnimatedCursorPaused, Pause, ResumeAnimation, Kind::AnimatedCursorRunning},
};

}  // namespace

void PressIconSet(const ImageSetContext& context, PanelButton button) {
    RunPressRow<ImageSetContext>(kIconSetRows, context, context.state.kind, button);
}

void PressAnimatedCursor(const ImageSetContext& context, PanelButton button) {
    RunPressRow<ImageSetContext>(kAnimatedCursorRows, context, context.state.kind, button);
}

void AniStepTick(const ImageSetContext& context) {
    PreviewState& s = context.state;
    // A tick already queued when the timer was stopped must not draw over the next preview.
    if (s.kind != Kind::AnimatedCursorRunning) return;
    context.panel.ClearCopy();
    WrapFrame(s);
    ShowStep(context);
    context.panel.Repaint();
    context.panel.SetInterval(TimerId::AniStep,
                              AniStepIntervalMs(RateOfStep(context.animation, s.frameIndex)));
    s.frameIndex = s.frameIndex == std::numeric_limits<int32_t>::max() ? 1 : s.frameIndex + 1;
}

}  // namespace qcd
