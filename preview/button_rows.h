// The panel's four buttons as a preview kind sees them: what it can tell the panel to do, and
// its rows of the button table, (state, button) -> steps, next state. Portable code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/timer_owner.h"
#include "preview/preview_kind.h"
#include "resources/resource_ids.h"

namespace qcd {

enum class PanelButton : int {
    Play = IDC_PLAY_BUTTON,
    Forward = IDC_FORWARD_BUTTON,
    Back = IDC_BACK_BUTTON,
    Pause = IDC_PAUSE_BUTTON,
};
enum class PanelLabel : int {
    Title = IDC_TITLE_LABEL,
    Size = IDC_SIZE_LABEL,
    Index = IDC_INDEX_LABEL,
    Status = IDC_STATUS_LABEL,
};
// Play shows "＞", Stop shows "□" on the play button.
enum class PlayCaption : uint8_t { Play, Stop };

// The button a panel control id names, if any.
constexpr std::optional<PanelButton> ButtonOf(int controlId) {
    for (PanelButton b : {PanelButton::Play, PanelButton::Forward, PanelButton::Back,
                          PanelButton::Pause})
        if (static_cast<int>(b) == controlId) return b;
    return std::nullopt;
}

// What a press of `button` does in `kind`, in words for its tooltip and accessible name
// ("Play", "Stop", "Pause", "Resume", "Next image", "Fast forward", ...). A button with nothing
// to do in this state is named by what it does when it can. Static text, NUL-terminated.
std::u16string_view ButtonAction(PreviewKind kind, PanelButton button);

// What the panel can be told to do; the Win32 side implements it over the panel window, the
// control's timers and its off-screen copy of the preview area.
class PanelActions {
  public:
    virtual ~PanelActions() = default;

    // Timer1 .. Timer8 disabled in that order, and running slideshow loops told to leave.
    virtual void StopTimersAndAbort() = 0;
    // The off-screen copy blank and sized to the preview area.
    virtual void ClearCopy() = 0;
    // The off-screen copy onto the preview area.
    virtual void Repaint() = 0;
    virtual void SetText(PanelLabel label, std::u16string_view text) = 0;
    virtual void Enable(PanelButton button, bool enabled) = 0;
    virtual void SetPlayCaption(PlayCaption caption) = 0;
    // `milliseconds` is 1..32767; a running timer restarts its period.
    virtual void SetInterval(TimerId timer, int32_t milliseconds) = 0;
    virtual void StartTimer(TimerId timer) = 0;
    virtual void FocusFileList() = 0;
};

// What a press reaches after the common steps: the kind whose preview is shown.
class ButtonTarget {
  public:
    virtual ~ButtonTarget() = default;
    virtual void Press(PanelButton button) = 0;
};

// In `state`, a press on `button` runs `steps` and then moves the kind to `next`.
template <typename Context>
struct PressRow {
    PreviewKind state;
    PanelButton button;
    bool (*steps)(const Context&);  // false: the press ended early and the kind stays
    std::optional<PreviewKind> next;  // none: the kind stays
};

// Runs the row of (`kind`, `button`), if there is one; a pair without a row does nothing.
template <typename Context>
void RunPressRow(std::span<const PressRow<Context>> rows, const Context& context,
                 PreviewKind& kind, PanelButton button) {
    for (const PressRow<Context>& row : rows) {
        if (row.state != kind || row.button != button) continue;
        if (row.steps(context) && row.next) kind = *row.next;
        return;
    }
}

}  // namespace qcd
