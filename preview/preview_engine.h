// The Open dialog's preview: the panel's set-up, the reaction to the dialog's notifications,
// the teardown between previews and the painting of the preview area.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <optional>
#include <string>
#include <vector>

#include "commands/panel_commands.h"
#include "control/properties.h"
#include "dialoghost/panel.h"
#include "dialoghost/surface.h"
#include "platform/timers.h"
#include "preview/picture_headers.h"
#include "preview/picture_loader.h"
#include "preview/preview_kind.h"

namespace qcd {

class MciLayer;
class Vbmp3;

class PreviewEngine {
  public:
    // `controlWindow` is the control's own window: the text box lives on it between previews.
    PreviewEngine(Properties& props, ControlTimers& timers, int16_t& abortEffects,
                  HWND controlWindow, MciLayer& mci, Vbmp3& vbmp3);
    PreviewEngine(const PreviewEngine&) = delete;
    PreviewEngine& operator=(const PreviewEngine&) = delete;

    // Before the Open dialog: remembers the text box's parent and resets the media fields.
    void BeginDialog();
    // After the Open dialog: everything stopped and closed, the text box back home.
    void EndDialog();

    // Hook handlers; each returns the hook's result.
    INT_PTR InitPanel(HWND panel);
    INT_PTR Notify(HWND panel, const NMHDR& header);
    INT_PTR PaintPanel(HWND panel);
    // A button (or other control) of the panel was used.
    INT_PTR Command(HWND panel, WPARAM wParam);
    // Timer1: the next step of an animated cursor.
    void Timer1Tick();
    // The panel's windows are going: the text box must leave before it is destroyed with them.
    void PanelDestroyed();

    // Stops whatever a preview may have started; with `withVolume` also puts the wave-out
    // volume back.
    void StopPreviewMedia(bool withVolume);

    // The preview of a newly selected file: the panel cleared, the file's kind chosen by the
    // name's extension and loaded. Stop the previous preview first.
    void PreviewFile(HWND panel, std::u16string path, std::u16string title);

    // Loads a picture file fitted into picIcon at the preview area's size (the next slide).
    bool LoadPictureFit(const std::u16string& path);

    const PreviewState& State() const { return state_; }
    HWND TextView() const { return textView_.get(); }
    // The icon strip, and the next slide that LoadPictureFit prepares.
    const Surface& IconStrip() const { return picIcon_; }
    HWND PanelWindow() const { return panelWindow_; }
    bool TextViewMoved() const { return textViewMoved_; }

  private:
    // What the preview area shows: picCopy, picWave behind a sound, nothing for a video.
    const Surface* AreaSource() const;
    static LRESULT CALLBACK AreaProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                     DWORD_PTR data);
    void DisableTimersAndAbort();
    // Timers off, effects aborted, video, sound and the MCI sound device closed.
    void StopTimersAndDevices();
    // The area measured, picCopy sized to it and blank, and copied onto it.
    bool BlankArea(const PanelView& panel, int& width, int& height);
    void StopMp3();
    void GiveTextViewBack();
    // Hides the buttons, empties the labels, blanks the area and resets the shown state.
    bool ClearPreviewPanel(const PanelView& panel, int& width, int& height);
    void PreviewSelection(const PanelView& panel, HWND sender);
    // Each returns false when a selection made while it let messages run took over the panel.
    bool ShowRasterPicture(int panelW, int panelH);
    // Loads the picture into picWork, sized for a boxW x boxH box, and takes its size and depth
    // from its header read as `kind`; false when either fails.
    bool LoadPictureInfo(const FileBytes& file, PictureHeaderKind kind, int boxW, int boxH);
    // Loads a metafile into picWork and stretches it over picCopy; false (picCopy blank) when
    // the platform cannot load it.
    bool LoadMetafile(const FileBytes& file);
    // A picture whose header is read as `kind`, fitted into picCopy with its size caption.
    bool ShowPicture(const FileBytes& file, PictureHeaderKind kind, int panelW, int panelH);
    bool ShowIconFile(const PanelView& panel, int panelW, int panelH);
    // `keepStatus`: the frame line stays in the status line.
    bool ShowAnimatedCursor(const PanelView& panel, int panelW, int panelH, bool& keepStatus);
    void ShowProgramIcons(const PanelView& panel);
    // Image 1 of `count` shown as `kind`, with its size caption and image line.
    void ShowFirstImage(const PanelView& panel, int32_t count, PreviewKind kind);
    // An icon or program file's images: several can be stepped through.
    void ShowImageSet(const PanelView& panel, int32_t count);
    // Each gives the image count, 0 for a bitmap under the name, or -1.
    int32_t LoadIconFile(const FileBytes& file);
    int32_t LoadAnimatedCursor(const FileBytes& file);
    int32_t LoadProgramIcons();
    // picIcon as a blank strip of `count` 32-pixel cells.
    bool PrepareStrip(int32_t count);
    // Image n's cell centred into picCopy; the shown size and depth become image n's.
    StripImage DrawIconFrame(int32_t n);
    class Panel;
    PanelContext Context(PanelActions& panel);
    bool ShowMetafile(const PanelView& panel, int panelW, int panelH);
    bool ShowTextFile(HWND area, int panelW, int panelH);
    // The picture in picWork fitted into picCopy.
    void DrawWorkFit();
    std::optional<LoadedPicture> LoadPicture(const FileBytes& file, PictureHeaderKind kind,
                                             int boxW, int boxH) const;
    // Lets pending messages run; false when a newer selection ran meanwhile.
    bool LetMessagesRunKeepingSelection();
    void ResetPanel(const PanelView& panel);
    void StoreResult(HWND sender);

    Properties& props_;
    ControlTimers& timers_;
    int16_t& abortEffects_;
    MciLayer& mci_;
    Vbmp3& vbmp3_;

    PreviewState state_;
    int16_t mp3Open_ = 0;
    std::u16string videoAlias_;
    int16_t defaultImageIndex_ = 0;
    int16_t defaultImageForward_ = kVbTrue;
    HWND panelWindow_ = nullptr;

    win::unique_hwnd textView_;
    HWND textViewParent_ = nullptr;
    bool textViewMoved_ = false;

    // Counts previews started or stopped, so a load that let messages run can tell it was
    // overtaken.
    uint32_t selection_ = 0;

    // The strip's images, and the animated cursor's steps.
    std::vector<StripImage> images_;
    std::vector<int32_t> stepRates_, stepImages_;
    int32_t displayRate_ = 0;

    Surface picCopy_;
    std::optional<LoadedPicture> picWork_;
    Surface picIcon_;
    Surface picWave_;
};

}  // namespace qcd
