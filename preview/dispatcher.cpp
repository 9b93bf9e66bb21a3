#include "preview/dispatcher.h"

#include <commctrl.h>

#include <optional>

#include "media/media_session.h"
#include "platform/accessible.h"
#include "platform/handles.h"
#include "platform/text.h"

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

PreviewDispatcher::PreviewDispatcher(Canvas& canvas, MediaSession& media)
    : canvas_(canvas), media_(media) {
    canvas_.AttachMedia(media);
    for (const KindTableRow& row : KindTable()) kinds_.emplace_back(row.row, row.make(canvas));
}

PreviewDispatcher::~PreviewDispatcher() = default;

Kind* PreviewDispatcher::KindFor(PreviewRow row) const {
    for (const auto& [r, kind] : kinds_)
        if (r == row) return kind.get();
    return nullptr;
}

void PreviewDispatcher::BeginDialog() {
    canvas_.RememberTextViewHome();
    media_.BeginDialog();
}

void PreviewDispatcher::EndDialog() {
    StopPreviewMedia(false);
    canvas_.DetachPanel();
    shown_ = nullptr;
    media_.EndDialog();
}

bool PreviewDispatcher::InitPanel(HWND panel) {
    canvas_.AttachPanel(panel);
    canvas_.StopTimersAndAbort();
    // A video of an earlier dialog: no preview of this one can be overtaken yet.
    static_cast<void>(media_.StopDevices(canvas_));

    const PanelView view = canvas_.View();
    view.ClearLabels();
    view.SetText(kPlayButton, kPlayCaption);
    view.SetText(kForwardButton, L">>");
    view.SetText(kBackButton, L"<<");
    view.SetText(kPauseButton, L"||");
    for (int id : {kPlayButton, kForwardButton, kBackButton, kPauseButton}) view.Enable(id, false);

    // The whole title as the label's tooltip, for when the label shows it shortened; each
    // button's action as its tooltip, asked for when it shows (LPSTR_TEXTCALLBACK).
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, panel, nullptr,
                            nullptr, nullptr);
    const auto addTip = [&](HWND control, wchar_t* text) {
        if (!tips_ || !control) return;
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = panel;
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = text;
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    };
    addTip(view.Item(kTitleLabel), const_cast<wchar_t*>(L""));
    for (int id : {kPlayButton, kForwardButton, kBackButton, kPauseButton}) {
        HWND button = view.Item(id);
        addTip(button, LPSTR_TEXTCALLBACKW);
        // The captions are symbols: screen readers are told the action instead.
        if (button) win::NameForAccessibility(button, [](HWND b) {
            return reinterpret_cast<const wchar_t*>(
                SendMessageW(GetParent(b), kButtonActionQuery, static_cast<WPARAM>(GetDlgCtrlID(b)), 0));
        });
    }

    if (!canvas_.BlankArea()) return false;
    canvas_.Work().reset();
    canvas_.IconStrip().Resize(32, 32);
    canvas_.IconStrip().Clear();
    canvas_.State().ResetShown();
    return true;
}

const wchar_t* PreviewDispatcher::ButtonActionText(int controlId) const {
    const auto button = ButtonOf(controlId);
    if (!button) return nullptr;
    return reinterpret_cast<const wchar_t*>(ButtonAction(canvas_.State().kind, *button).data());
}

bool PreviewDispatcher::FillButtonTip(NMTTDISPINFOW& info) const {
    if (!(info.uFlags & TTF_IDISHWND)) return false;
    const wchar_t* text = ButtonActionText(GetDlgCtrlID(reinterpret_cast<HWND>(info.hdr.idFrom)));
    if (!text) return false;
    info.lpszText = const_cast<wchar_t*>(text);
    return true;
}

void PreviewDispatcher::PanelDestroyed() {
    canvas_.DetachPanel();
    tips_ = nullptr;
}

void PreviewDispatcher::DrawTitle(const DRAWITEMSTRUCT& item) const {
    const PanelView view = canvas_.View();
    const std::u16string title = view.Text(kTitleLabel);
    HDC dc = item.hDC;
    const RECT box = item.rcItem;
    FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
    const auto font = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
    std::optional<win::select_object> withFont;
    if (font) withFont.emplace(dc, font);
    const int width = box.right - box.left;
    const std::u16string shown = FitTitle(title, [&](std::u16string_view text) {
        SIZE size{};
        return GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(text.data()),
                                     static_cast<int>(text.size()), &size) &&
               size.cx <= width;
    });
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT textBox = box;
    DrawTextW(dc, win::Wide(shown), static_cast<int>(shown.size()), &textBox,
              DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    // Only a shortened name has a tooltip: one over a name shown whole would only cover the
    // picture below it.
    if (tips_) {
        const std::u16string tip = shown == title ? std::u16string() : title;
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = canvas_.Panel();
        tool.uId = reinterpret_cast<UINT_PTR>(item.hwndItem);
        tool.lpszText = const_cast<wchar_t*>(win::Wide(tip));
        SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void PreviewDispatcher::PaintPanel() {
    const Surface* source = canvas_.AreaSource();
    if (!source || !canvas_.Panel()) return;
    int w = 0, h = 0;
    if (!canvas_.View().AreaSize(w, h)) return;
    source->CopyToWindow(canvas_.Area(), w, h);
}

bool PreviewDispatcher::StopPreviewMedia(bool withVolume) {
    // Whatever a routine that lets messages run was doing is over too: a selection, a folder
    // or type change and OK all stop the previous preview here.
    canvas_.Overtake();
    const uint32_t generation = canvas_.Generation();
    canvas_.StopTimersAndAbort();
    for (const auto& entry : kinds_) entry.second->Stop();
    // Closing a video lets messages run: a newer selection handled in there owns the panel,
    // the devices and the text box from then on.
    if (media_.StopDevices(canvas_) != PumpResult::Continue ||
        canvas_.Generation() != generation)
        return false;
    if (withVolume) media_.RestoreVolume();
    canvas_.GiveTextViewBack();
    return true;
}

bool PreviewDispatcher::ClearPreviewPanel() {
    if (!canvas_.Panel()) return false;
    shown_ = nullptr;
    const PanelView view = canvas_.View();
    view.HideButtons();
    view.ClearLabels();
    if (!canvas_.BlankArea()) return false;
    canvas_.State().ResetShown();
    return true;
}

void PreviewDispatcher::AreaResized() {
    if (!canvas_.Panel()) return;
    canvas_.ClearCopy();
    if (shown_) shown_->Refit();
    canvas_.FitTextView();
    RedrawWindow(canvas_.Area(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool PreviewDispatcher::PreviewFile(const std::u16string& path, const std::u16string& title) {
    canvas_.Overtake();
    if (!ClearPreviewPanel()) return false;
    const PanelView view = canvas_.View();
    view.SetText(kTitleLabel, title);

    const PreviewRow row = RowForTitle(title);
    if (row == PreviewRow::Unknown) return true;
    if (RowShowsButtons(row)) view.ShowButtons();
    WaitCursor wait;
    view.SetText(kStatusLabel, kLoadingText);
    UpdateWindow(view.Item(kStatusLabel));

    StartResult result = StartResult::Shown;
    if (Kind* kind = KindFor(row)) {
        shown_ = kind;
        result = kind->Start(path);
    }
    if (result == StartResult::Overtaken) return false;
    canvas_.ShowCopy();
    if (result != StartResult::KeepStatus) view.SetText(kStatusLabel, L"");
    return true;
}

}  // namespace qcd
