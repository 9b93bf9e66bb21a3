// The preview panel's four buttons and the animated cursor's step timer: what a press or a
// tick decides, over the preview state, driving the panel through PanelActions. Portable code.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "preview/preview_kind.h"

namespace qcd {

// Values are the panel's control ids.
enum class PanelButton : int { Play = 1005, Forward = 1006, Back = 1007, Pause = 1008 };
enum class PanelLabel : int { Size = 1002, Index = 1003, Status = 1004 };
// Play shows "＞", Stop shows "□" on the play button.
enum class PlayCaption : uint8_t { Play, Stop };
// Timer1 .. Timer8 of the control.
enum class PanelTimer : int {
    AniStep = 1,
    VideoPosition,
    PictureSlides,
    FolderSlides,
    Mp3Progress,
    Mp3Seek,
    Spectrum,
    MciProgress,
};

// Size and depth of one image of the icon strip, as its bitmap header gave them.
struct StripImage {
    int32_t width = 0, height = 0;
    int16_t bits = 0;
};

// What the panel can be told to do; the Win32 side implements it over the panel window,
// the control's timers and its off-screen copy of the preview area.
class PanelActions {
  public:
    virtual ~PanelActions() = default;

    // Timer1 .. Timer8 disabled, in that order.
    virtual void StopAllTimers() = 0;
    // Tells running slideshow loops to leave (AbortEffects := -1).
    virtual void AbortEffects() = 0;
    // The off-screen copy blank and sized to the preview area.
    virtual void ClearCopy() = 0;
    // The off-screen copy onto the preview area.
    virtual void Repaint() = 0;
    // Draws image `image` (1-based, within the strip) centred into the off-screen copy.
    virtual StripImage DrawImage(int32_t image) = 0;
    virtual void SetText(PanelLabel label, std::u16string_view text) = 0;
    virtual void Enable(PanelButton button, bool enabled) = 0;
    virtual void SetPlayCaption(PlayCaption caption) = 0;
    // `milliseconds` is 1..32767; a running timer restarts its period.
    virtual void SetInterval(PanelTimer timer, int32_t milliseconds) = 0;
    virtual void StartTimer(PanelTimer timer) = 0;
    virtual void FocusFileList() = 0;
};

// An animated cursor's steps: element s - 1 belongs to step s. A step past a table's end
// (an empty table: the file had no such chunk) takes `displayRate` and the plain sequence
// 0, 1, ..., images - 1, 0, ...
struct AnimationSteps {
    std::span<const int32_t> rates;   // display time in the file's unit (10 ms each)
    std::span<const int32_t> images;  // 0-based image shown
    int32_t displayRate = 0;
};

// What a press or a tick reads and moves. Built by the caller for each call, so the spans
// always see the tables of the preview now shown.
struct PanelContext {
    PanelActions& panel;
    PreviewState& state;
    AnimationSteps animation;
};

// WM_COMMAND of the panel. Only the low word of `wParam` (the control id) counts; the
// result is the hook's, always -1.
int32_t OnPanelCommand(const PanelContext& context, uintptr_t wParam);

// One tick of Timer1: shows the animated cursor's next step and times the one after.
// Does nothing unless the animation is running.
void Timer1_Timer(const PanelContext& context);

}  // namespace qcd
