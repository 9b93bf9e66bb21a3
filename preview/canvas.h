// What every preview kind draws on and reads: the panel and its measured preview area, the
// off-screen pictures, the shown state, the text box, the timers, and the generation that
// tells a routine which let messages run whether its preview was overtaken meanwhile.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "base/message_pump.h"
#include "base/properties.h"
#include "base/timer_owner.h"
#include "platform/handles.h"
#include "platform/surface.h"
#include "preview/button_rows.h"
#include "preview/panel.h"
#include "preview/picture_loader.h"
#include "preview/preview_kind.h"

namespace qcd {

class MediaSession;
class SoundBackground;

class Canvas final : public PanelActions, public MessagePump {
  public:
    // The text box lives on `home` (the control's own window) between previews.
    Canvas(const Properties& props, TimerOwner& timers, HWND home);
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // The panel the previews go to from now on; its area is painted from the surfaces.
    void AttachPanel(HWND panel);
    // The panel's windows are going: the text box leaves before it is destroyed with them.
    void DetachPanel();
    HWND Panel() const { return panel_; }
    PanelView View() const { return PanelView(panel_); }
    HWND Area() const { return View().Item(kPreviewArea); }

    // Measures the preview area; false (the size kept) when it cannot be measured.
    bool MeasureArea();
    int AreaWidth() const { return areaWidth_; }
    int AreaHeight() const { return areaHeight_; }
    // The area measured, the copy sized to it and blank, and copied onto it.
    bool BlankArea();
    // The copy onto the preview area.
    void ShowCopy() const;

    Surface& Copy() { return copy_; }
    Surface& IconStrip() { return iconStrip_; }
    const Surface& IconStrip() const { return iconStrip_; }
    Surface& Wave() { return wave_; }
    // A loaded picture at its natural size.
    std::optional<LoadedPicture>& Work() { return work_; }
    // The work picture fitted into the copy, as its shown size says.
    void DrawWorkFit();

    // The devices the media kinds open; set before the kinds are made.
    void AttachMedia(MediaSession& media) { media_ = &media; }
    MediaSession* Media() const { return media_; }
    // What plays behind a sound; none shows nothing there.
    void AttachBackground(SoundBackground* background) { background_ = background; }
    SoundBackground* Background() const { return background_; }

    PreviewState& State() { return state_; }
    const PreviewState& State() const { return state_; }
    TimerOwner& Timers() { return timers_; }
    const Properties& Props() const { return props_; }

    // Raised by every stop of the preview and when the panel goes; a button press leaves it.
    uint32_t Generation() const { return generation_; }
    void Overtake() { ++generation_; }
    // The platform's pump over this panel's dialog and generation.
    PumpResult LetMessagesRun() override;

    HWND TextView() const { return textView_.get(); }
    // A second box, never shown, where a long text is built while the shown box holds its
    // first lines: a hidden box lays text out without drawing or keeping a reader's view.
    HWND FillView() const { return fillView_.get(); }
    // The filled box takes the shown one's place, with the reader's view and selection, and
    // becomes the text box; the other is emptied and kept for the next fill.
    void SwapInFillView();
    bool TextViewMoved() const { return textViewMoved_; }
    // Before a dialog: where the text box goes back to.
    void RememberTextViewHome();
    // The text box over the whole preview area, shown.
    void PlaceTextView();
    // The text box, where it is shown, over the whole area at its present size.
    void FitTextView();
    void GiveTextViewBack();

    // What the preview area shows: the copy, the wave surface behind a sound with the spectrum,
    // nothing for a video, which draws itself.
    const Surface* AreaSource() const;

    // PanelActions
    void StopTimersAndAbort() override { timers_.StopAll(); }
    void ClearCopy() override;
    void Repaint() override { ShowCopy(); }
    void SetText(PanelLabel label, std::u16string_view text) override {
        View().SetText(static_cast<int>(label), text);
    }
    void Enable(PanelButton button, bool enabled) override {
        View().Enable(static_cast<int>(button), enabled);
    }
    void SetPlayCaption(PlayCaption caption) override;
    void SetInterval(TimerId timer, int32_t milliseconds) override {
        timers_.SetInterval(timer, static_cast<uint32_t>(milliseconds));
    }
    void StartTimer(TimerId timer) override { timers_.SetEnabled(timer, true); }
    void FocusFileList() override { View().FocusFileList(); }

  private:
    static LRESULT CALLBACK AreaProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                     DWORD_PTR data);

    const Properties& props_;
    TimerOwner& timers_;
    HWND panel_ = nullptr;
    int areaWidth_ = 0, areaHeight_ = 0;
    uint32_t generation_ = 0;
    PreviewState state_;
    MediaSession* media_ = nullptr;
    SoundBackground* background_ = nullptr;

    win::unique_hwnd textView_;
    win::unique_hwnd fillView_;
    HWND textViewHome_ = nullptr;
    bool textViewMoved_ = false;

    Surface copy_;
    std::optional<LoadedPicture> work_;
    Surface iconStrip_;
    // Black, and drawn pixel by pixel by the spectrum.
    Surface wave_{RGB(0, 0, 0), true};
};

}  // namespace qcd
