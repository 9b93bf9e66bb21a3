#include "preview/preview_engine.h"

#include <commctrl.h>

#include "dialoghost/common_dialog.h"
#include "dialoghost/fit_geometry.h"
#include "media/mci_commands.h"
#include "media/vbmp3.h"
#include "platform/text.h"
#include "preview/jpeg_decode.h"
#include "preview/text_decode.h"

namespace qcd {

namespace {

// Makes a system cursor the pointer; gives the one it replaces.
HCURSOR SetStockCursor(const wchar_t* id) {
    return SetCursor(LoadCursorW(nullptr, id));
}

// The wait cursor for the length of a load; the previous pointer comes back on scope exit.
class WaitCursor {
  public:
    WaitCursor() : previous_(SetStockCursor(IDC_WAIT)) {}
    ~WaitCursor() { SetCursor(previous_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    HCURSOR previous_;
};

// The system code page as the text decoder needs it.
const AnsiCodePage& SystemAnsiCodePage() {
    static const AnsiCodePage ansi{
        [](uint8_t b) { return IsDBCSLeadByte(b) != FALSE; },
        [](std::span<const uint8_t> bytes) {
            std::u16string text;
            if (bytes.empty()) return text;
            const auto n = static_cast<int>(bytes.size());
            const auto* in = reinterpret_cast<const char*>(bytes.data());
            const int wide = MultiByteToWideChar(CP_ACP, 0, in, n, nullptr, 0);
            if (wide <= 0) return text;
            text.resize(static_cast<size_t>(wide));
            MultiByteToWideChar(CP_ACP, 0, in, n, reinterpret_cast<wchar_t*>(text.data()), wide);
            return text;
        }};
    return ansi;
}

}  // namespace

PreviewEngine::PreviewEngine(Properties& props, ControlTimers& timers, int16_t& abortEffects,
                             HWND controlWindow, MciLayer& mci, Vbmp3& vbmp3)
    : props_(props), timers_(timers), abortEffects_(abortEffects), mci_(mci), vbmp3_(vbmp3) {
    textView_.reset(CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                    WS_CHILD | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                        ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
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
    // Whatever a load that lets messages run was doing is over too: a selection, a folder or
    // type change and OK all stop the previous preview here.
    ++selection_;
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
    if (HWND area = view.Item(kPreviewArea)) {
        // The text box and the video live inside the area: painting the area leaves them be.
        SetWindowLongPtrW(area, GWL_STYLE, GetWindowLongPtrW(area, GWL_STYLE) | WS_CLIPCHILDREN);
        SetWindowSubclass(area, AreaProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    view.ClearLabels();
    view.SetText(kPlayButton, kPlayCaption);
    view.SetText(kForwardButton, L">>");
    view.SetText(kBackButton, L"<<");
    view.SetText(kPauseButton, L"||");
    for (int id : {kPlayButton, kForwardButton, kBackButton, kPauseButton}) view.Enable(id, false);

    int w = 0, h = 0;
    if (!BlankArea(view, w, h)) return 0;
    picWork_.reset();
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
    PreviewFile(panel.Window(), GetDlgFilePath(sender), GetDlgSpec(sender));
}

void PreviewEngine::PreviewFile(HWND panelWindow, std::u16string path, std::u16string title) {
    const PanelView panel(panelWindow);
    panelWindow_ = panelWindow;
    ++selection_;
    int panelW = 0, panelH = 0;
    if (!ClearPreviewPanel(panel, panelW, panelH)) return;
    props_.FileName = std::move(path);
    props_.FileTitle = std::move(title);
    panel.SetText(kTitleLabel, props_.FileTitle);

    const PreviewRow row = RowForKey(ExtensionKey(props_.FileTitle));
    if (row == PreviewRow::Unknown) return;
    if (RowShowsButtons(row)) panel.ShowButtons();
    WaitCursor wait;
    panel.SetText(kStatusLabel, kLoadingText);
    UpdateWindow(panel.Item(kStatusLabel));

    bool current = true;
    bool keepStatus = false;
    switch (row) {
        case PreviewRow::RasterPicture:
            current = ShowRasterPicture(panelW, panelH);
            break;
        case PreviewRow::Metafile:
            current = ShowMetafile(panel, panelW, panelH);
            break;
        case PreviewRow::IconFile:
            current = ShowIconFile(panel, panelW, panelH);
            break;
        case PreviewRow::AnimatedCursor:
            current = ShowAnimatedCursor(panel, panelW, panelH, keepStatus);
            break;
        case PreviewRow::ProgramIcons:
            ShowProgramIcons(panel);
            break;
        case PreviewRow::Text:
            current = ShowTextFile(panel.Item(kPreviewArea), panelW, panelH);
            break;
        default:
            break;
    }
    if (!current) return;  // a newer selection took the panel while messages ran
    picCopy_.CopyToWindow(panel.Item(kPreviewArea), panelW, panelH);
    if (!keepStatus) panel.SetText(kStatusLabel, L"");
}

bool PreviewEngine::LetMessagesRunKeepingSelection() {
    const uint32_t selection = selection_;
    LetPendingMessagesRun();
    return selection == selection_ && panelWindow_;
}

std::optional<LoadedPicture> PreviewEngine::LoadPicture(const FileBytes& file,
                                                        PictureHeaderKind kind, int boxW,
                                                        int boxH) const {
    // A photo is decoded only as large as the area needs; the platform's loader would decode
    // (and keep) every pixel.
    if (kind == PictureHeaderKind::Jpeg) {
        if (auto decoded = DecodeJpegScaled(file.Bytes(), boxW, boxH))
            return LoadedPicture::FromBitmap(std::move(decoded->bitmap), decoded->naturalWidth,
                                             decoded->naturalHeight);
    }
    return LoadedPicture::FromBytes(file);
}

void PreviewEngine::DrawWorkFit() {
    if (!picWork_) return;
    const auto place =
        FitIntoBox(state_.pictureWidth, state_.pictureHeight, picCopy_.Width(), picCopy_.Height());
    if (place) picWork_->Draw(picCopy_.Dc(), place->x, place->y, place->width, place->height);
}

bool PreviewEngine::ShowRasterPicture(int panelW, int panelH) {
    const auto file = FileBytes::Read(props_.FileName);
    return !file || ShowPicture(*file, HeaderKindForPath(props_.FileName), panelW, panelH);
}

bool PreviewEngine::LoadPictureInfo(const FileBytes& file, PictureHeaderKind kind, int boxW,
                                    int boxH) {
    auto picture = LoadPicture(file, kind, boxW, boxH);
    if (!picture) return false;
    const PictureInfo info =
        ReadPictureInfo(kind, file.Bytes(), picture->Width(), picture->Height());
    if (info.result == PictureInfoResult::Failed) return false;
    if (info.result == PictureInfoResult::Measured) {
        state_.pictureWidth = info.width;
        state_.pictureHeight = info.height;
        state_.pictureBits = info.bits;
    }
    picWork_ = std::move(picture);
    return true;
}

bool PreviewEngine::ShowPicture(const FileBytes& file, PictureHeaderKind kind, int panelW,
                                int panelH) {
    if (!LoadPictureInfo(file, kind, panelW, panelH)) return true;
    state_.kind = PreviewKind::Picture;
    state_.imageCount = state_.imageIndex = 1;
    DrawWorkFit();
    PanelView(panelWindow_)
        .SetText(kSizeLabel,
                 SizeCaption(state_.pictureWidth, state_.pictureHeight, state_.pictureBits));
    return true;
}

bool PreviewEngine::LoadMetafile(const FileBytes& file) {
    auto picture = LoadedPicture::FromBytes(file);
    if (!picture) {
        picCopy_.Cls();
        return false;
    }
    // Stretched over the whole area: a metafile has no pixels to keep in proportion.
    picture->Draw(picCopy_.Dc(), 0, 0, picCopy_.Width(), picCopy_.Height());
    state_.pictureWidth = picture->Width();
    state_.pictureHeight = picture->Height();
    // The depth of the surface it was drawn on: a metafile has none of its own.
    state_.pictureBits = BitmapBits(picCopy_.Bitmap());
    picWork_ = std::move(picture);
    return true;
}

bool PreviewEngine::ShowMetafile(const PanelView& panel, int panelW, int panelH) {
    const auto file = FileBytes::Read(props_.FileName);
    if (!file) return true;
    bool hasOwnSize = true;
    std::optional<FileBytes> placeable;
    if (ExtensionKey(props_.FileName) == u".wmf" && !IsPlaceableMetafile(file->Bytes())) {
        // A plain metafile has no size: it gets one of the area's, in memory.
        const auto copy = MakePlaceableCopy(file->Bytes(), panelW, panelH);
        if (!copy) return true;
        placeable = FileBytes::Copy(*copy);
        if (!placeable) return true;
        hasOwnSize = false;
        if (!LetMessagesRunKeepingSelection()) return false;
    }
    if (!LoadMetafile(placeable ? *placeable : *file)) return true;
    if (!hasOwnSize) state_.pictureWidth = state_.pictureHeight = 0;
    state_.kind = PreviewKind::Picture;
    state_.imageCount = state_.imageIndex = 1;
    panel.SetText(kSizeLabel,
                  state_.pictureWidth != 0 && state_.pictureHeight != 0
                      ? SizeCaption(state_.pictureWidth, state_.pictureHeight, state_.pictureBits)
                      : UnknownSizeCaption(state_.pictureBits));
    return true;
}

bool PreviewEngine::ShowTextFile(HWND area, int panelW, int panelH) {
    HWND box = textView_.get();
    const auto file = FileBytes::Read(props_.FileName, kTextReadSize);
    if (!file) return true;
    const std::u16string text = DecodeTextPreview(file->Bytes(), SystemAnsiCodePage());
    // A new font lays the whole text out again: change it while the box is empty.
    const auto font = SendMessageW(GetParent(area), WM_GETFONT, 0, 0);
    if (SendMessageW(box, WM_GETFONT, 0, 0) != font) {
        SetWindowTextW(box, L"");
        SendMessageW(box, WM_SETFONT, font, FALSE);
    }
    // Set once: filling a multi-line edit piece by piece is many times slower.
    SetWindowTextW(box, win::Wide(text));
    if (!LetMessagesRunKeepingSelection()) return false;
    SetParent(box, area);
    textViewMoved_ = true;
    SetWindowPos(box, HWND_TOP, 0, 0, panelW, panelH, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    return true;
}

bool PreviewEngine::LoadPictureFit(const std::u16string& path) {
    if (!panelWindow_) return false;
    int w = 0, h = 0;
    if (!PanelView(panelWindow_).AreaSize(w, h)) return false;
    picIcon_.Resize(w, h);
    picIcon_.Cls();
    const auto file = FileBytes::Read(path);
    if (!file) return false;
    const PictureHeaderKind kind = HeaderKindForPath(path);
    const auto picture = LoadPicture(*file, kind, w, h);
    if (!picture) return false;
    const auto place = FitIntoBox(picture->Width(), picture->Height(), w, h);
    if (place) picture->Draw(picIcon_.Dc(), place->x, place->y, place->width, place->height);
    return true;
}

// The panel as the button commands see it.
class PreviewEngine::Panel final : public PanelActions {
  public:
    Panel(PreviewEngine& engine, HWND panel) : engine_(engine), view_(panel) {}

    void StopAllTimers() override { engine_.timers_.DisableAll(); }
    void AbortEffects() override { engine_.abortEffects_ = kVbTrue; }
    void ClearCopy() override {
        int w = 0, h = 0;
        if (!view_.AreaSize(w, h)) return;
        engine_.picCopy_.Resize(w, h);
        engine_.picCopy_.Cls();
    }
    void Repaint() override {
        engine_.picCopy_.CopyToWindow(view_.Item(kPreviewArea), engine_.picCopy_.Width(),
                                      engine_.picCopy_.Height());
    }
    StripImage DrawImage(int32_t image) override { return engine_.DrawIconFrame(image); }
    void SetText(PanelLabel label, std::u16string_view text) override {
        view_.SetText(static_cast<int>(label), text);
    }
    void Enable(PanelButton button, bool enabled) override {
        view_.Enable(static_cast<int>(button), enabled);
    }
    void SetPlayCaption(PlayCaption caption) override {
        view_.SetText(kPlayButton, caption == PlayCaption::Play ? kPlayCaption : kStopCaption);
    }
    void SetInterval(PanelTimer timer, int32_t milliseconds) override {
        engine_.timers_.SetInterval(static_cast<int>(timer), static_cast<UINT>(milliseconds));
    }
    void StartTimer(PanelTimer timer) override {
        engine_.timers_.SetEnabled(static_cast<int>(timer), true);
    }
    void FocusFileList() override { view_.FocusFileList(); }

  private:
    PreviewEngine& engine_;
    PanelView view_;
};

PanelContext PreviewEngine::Context(PanelActions& panel) {
    return {panel, state_, {stepRates_, stepImages_, displayRate_}};
}

INT_PTR PreviewEngine::Command(HWND panel, WPARAM wParam) {
    panelWindow_ = panel;
    Panel actions(*this, panel);
    return OnPanelCommand(Context(actions), wParam);
}

void PreviewEngine::Timer1Tick() {
    if (!panelWindow_) {
        timers_.SetEnabled(1, false);
        return;
    }
    Panel actions(*this, panelWindow_);
    Timer1_Timer(Context(actions));
}

const Surface* PreviewEngine::AreaSource() const {
    const auto kind = static_cast<int16_t>(state_.kind);
    if (kind >= static_cast<int16_t>(PreviewKind::Video)) return nullptr;  // the video draws itself
    const bool spectrum = kind >= 50 && kind <= 59 && props_.BackGroundSlide == 1;
    return spectrum ? &picWave_ : &picCopy_;
}

INT_PTR PreviewEngine::PaintPanel(HWND panel) {
    const Surface* source = AreaSource();
    if (!source) return 0;
    const PanelView view(panel);
    int w = 0, h = 0;
    if (!view.AreaSize(w, h)) return 0;
    source->CopyToWindow(view.Item(kPreviewArea), w, h);
    return 0;
}

LRESULT CALLBACK PreviewEngine::AreaProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                         DWORD_PTR data) {
    auto* engine = reinterpret_cast<PreviewEngine*>(data);
    switch (msg) {
        case WM_ERASEBKGND:
            if (engine->AreaSource()) return 1;
            break;
        case WM_PAINT: {
            const Surface* source = engine->AreaSource();
            if (!source) break;
            // The static would paint its own blank face over the preview where the area was
            // covered: the area is always what the surface holds.
            win::paint_dc dc(hwnd);
            RECT r{};
            GetClientRect(hwnd, &r);
            BitBlt(dc.get(), 0, 0, r.right, r.bottom, source->Dc(), 0, 0, SRCCOPY);
            return 0;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, AreaProc, 0);
            break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace qcd
