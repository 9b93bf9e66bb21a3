#include "preview/preview_engine.h"

#include "dialoghost/common_dialog.h"
#include "media/mci_commands.h"
#include "media/vbmp3.h"

namespace qcd {

namespace {

// The wait cursor for the length of a load; the previous pointer comes back on scope exit.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

}  // namespace

PreviewEngine::PreviewEngine(Properties& props, ControlTimers& timers, int16_t& abortEffects,
                             HWND controlWindow, MciLayer& mci, Vbmp3& vbmp3)
    : props_(props), timers_(timers), abortEffects_(abortEffects), mci_(mci), vbmp3_(vbmp3) {
    textView_.reset(CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                    WS_CHILD | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                                    0, 0, 100, 100, controlWindow, nullptr, nullptr, nullptr));
}

void PreviewEngine::BeginDialog() {
    textViewParent_ = GetParent(textView_.get());
    textViewMoved_ = false;
    videoAlias_ = u"msfile";
    mp3Open_ = 0;
    defaultImageIndex_ = 0;
    defaultImageForward_ = kVbTrue;
}

void PreviewEngine::EndDialog() {
    StopPreviewMedia(false);
    panelWindow_ = nullptr;
    videoAlias_.clear();
}

void PreviewEngine::DisableTimersAndAbort() {
    timers_.DisableAll();
    abortEffects_ = kVbTrue;
}

void PreviewEngine::StopMp3() {
    vbmp3_.Stop();
    mp3Open_ = 0;
}

void PreviewEngine::GiveTextViewBack() {
    if (!textViewMoved_) return;
    ShowWindow(textView_.get(), SW_HIDE);
    SetParent(textView_.get(), textViewParent_);
    textViewMoved_ = false;
}

void PreviewEngine::StopTimersAndDevices() {
    DisableTimersAndAbort();
    if (!videoAlias_.empty() && mci_.MciIsOpen(videoAlias_)) mci_.VideoClose(videoAlias_);
    if (mp3Open_) StopMp3();
    mci_.MciStop(MciSoundAlias);
    mci_.MciClose(MciSoundAlias);
}

void PreviewEngine::StopPreviewMedia(bool withVolume) {
    StopTimersAndDevices();
    if (withVolume) mci_.WaveVolume(false);
    GiveTextViewBack();
}

bool PreviewEngine::BlankArea(const PanelView& panel, int& width, int& height) {
    if (!panel.AreaSize(width, height)) return false;
    picCopy_.Resize(width, height);
    picCopy_.Cls();
    picCopy_.CopyToWindow(panel.Item(kPreviewArea), width, height);
    return true;
}

void PreviewEngine::PanelDestroyed() {
    GiveTextViewBack();
    panelWindow_ = nullptr;
}

INT_PTR PreviewEngine::InitPanel(HWND panel) {
    panelWindow_ = panel;
    StopTimersAndDevices();

    const PanelView view(panel);
    view.ClearLabels();
    view.SetText(kPlayButton, kPlayCaption);
    view.SetText(kForwardButton, L">>");
    view.SetText(kBackButton, L"<<");
    view.SetText(kPauseButton, L"||");
    for (int id : {kPlayButton, kForwardButton, kBackButton, kPauseButton}) view.Enable(id, false);

    int w = 0, h = 0;
    if (!BlankArea(view, w, h)) return 0;
    picWork_.Resize(0, 0);
    picIcon_.Resize(32, 32);
    picIcon_.Cls();
    state_.ResetShown();
    return -1;
}

bool PreviewEngine::ClearPreviewPanel(const PanelView& panel, int& width, int& height) {
    panel.HideButtons();
    panel.ClearLabels();
    if (!BlankArea(panel, width, height)) return false;
    state_.ResetShown();
    return true;
}

INT_PTR PreviewEngine::Notify(HWND panel, const NMHDR& header) {
    panelWindow_ = panel;
    const PanelView view(panel);
    switch (ActionForNotification(static_cast<int32_t>(header.code))) {
        case NotifyAction::PlaceDialog:
            if (!PlaceDialog(panel, props_)) return 0;  // overflow ends the handler
            view.HideButtons();
            break;
        case NotifyAction::SelectionChange:
            StopPreviewMedia(true);
            PreviewSelection(view, header.hwndFrom);
            break;
        case NotifyAction::Reset:
            StopPreviewMedia(false);
            SetDlgControlText(GetParent(panel), kFileNameBox, u"");
            ResetPanel(view);
            break;
        case NotifyAction::FileOk:
            StopPreviewMedia(false);
            StoreResult(header.hwndFrom);
            break;
        case NotifyAction::Ignore:
            break;
    }
    return -1;
}

void PreviewEngine::ResetPanel(const PanelView& panel) {
    int w = 0, h = 0;
    ClearPreviewPanel(panel, w, h);
}

void PreviewEngine::StoreResult(HWND sender) {
    props_.FileName = GetDlgFilePath(sender);
    props_.FileTitle = GetDlgSpec(sender);
    props_.InitDir = GetDlgFolderPath(sender);
}

void PreviewEngine::PreviewSelection(const PanelView& panel, HWND sender) {
    int panelW = 0, panelH = 0;
    if (!ClearPreviewPanel(panel, panelW, panelH)) return;
    props_.FileName = GetDlgFilePath(sender);
    props_.FileTitle = GetDlgSpec(sender);
    panel.SetText(kTitleLabel, props_.FileTitle);

    const PreviewRow row = RowForKey(ExtensionKey(props_.FileTitle));
    if (row == PreviewRow::Unknown) return;
    if (RowShowsButtons(row)) panel.ShowButtons();
    WaitCursor wait;
    panel.SetText(kStatusLabel, kLoadingText);
    // Each kind's loader draws into picCopy here; the area then shows what was drawn.
    picCopy_.CopyToWindow(panel.Item(kPreviewArea), panelW, panelH);
    panel.SetText(kStatusLabel, L"");
}

INT_PTR PreviewEngine::PaintPanel(HWND panel) {
    const int16_t kind = static_cast<int16_t>(state_.kind);
    if (kind >= static_cast<int16_t>(PreviewKind::Video)) return 0;  // the video draws itself
    const PanelView view(panel);
    int w = 0, h = 0;
    if (!view.AreaSize(w, h)) return 0;
    const bool spectrum = kind >= 50 && kind <= 59 && props_.BackGroundSlide == 1;
    (spectrum ? picWave_ : picCopy_).CopyToWindow(view.Item(kPreviewArea), w, h);
    return 0;
}

}  // namespace qcd
