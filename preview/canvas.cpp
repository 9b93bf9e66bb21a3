#include "preview/canvas.h"

#include <commctrl.h>

#include "platform/pump.h"
#include "preview/fit_geometry.h"

namespace qcd {

namespace {

HWND MakeTextBox(HWND home) {
    return CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                           WS_CHILD | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                               ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                           0, 0, 100, 100, home, nullptr, nullptr, nullptr);
}

}  // namespace

Canvas::Canvas(const Properties& props, TimerOwner& timers, HWND home)
    : props_(props), timers_(timers) {
    textView_.reset(MakeTextBox(home));
    fillView_.reset(MakeTextBox(home));
    textViewHome_ = home;
}

void Canvas::AttachPanel(HWND panel) {
    panel_ = panel;
    if (HWND area = Area()) {
        // The text box and the video live inside the area: painting the area leaves them be.
        SetWindowLongPtrW(area, GWL_STYLE, GetWindowLongPtrW(area, GWL_STYLE) | WS_CLIPCHILDREN);
        SetWindowSubclass(area, AreaProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
}

void Canvas::DetachPanel() {
    // Whatever let messages run while the panel went must not touch it afterwards.
    Overtake();
    GiveTextViewBack();
    if (HWND area = Area()) RemoveWindowSubclass(area, AreaProc, 0);
    panel_ = nullptr;
}

bool Canvas::MeasureArea() {
    int w = 0, h = 0;
    if (!panel_ || !View().AreaSize(w, h)) return false;
    areaWidth_ = w;
    areaHeight_ = h;
    return true;
}

bool Canvas::BlankArea() {
    if (!MeasureArea()) return false;
    copy_.Resize(areaWidth_, areaHeight_);
    copy_.Clear();
    ShowCopy();
    return true;
}

void Canvas::ShowCopy() const { copy_.CopyToWindow(Area(), areaWidth_, areaHeight_); }

void Canvas::ClearCopy() {
    if (!MeasureArea()) return;
    copy_.Resize(areaWidth_, areaHeight_);
    copy_.Clear();
}

void Canvas::DrawWorkFit() {
    if (!work_) return;
    const auto place =
        FitIntoBox(state_.pictureWidth, state_.pictureHeight, copy_.Width(), copy_.Height());
    if (place) work_->Draw(copy_.Dc(), place->x, place->y, place->width, place->height);
}

PumpResult Canvas::LetMessagesRun() {
    const PumpResult result = win::LetMessagesRun(panel_, generation_);
    // The panel's end clears panel_ (and raises the generation).
    return result == PumpResult::Continue && !panel_ ? PumpResult::DialogGone : result;
}

void Canvas::RememberTextViewHome() {
    textViewHome_ = GetParent(textView_.get());
    textViewMoved_ = false;
}

void Canvas::PlaceTextView() {
    HWND box = textView_.get();
    SetParent(box, Area());
    textViewMoved_ = true;
    SetWindowPos(box, HWND_TOP, 0, 0, areaWidth_, areaHeight_, SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

void Canvas::FitTextView() {
    if (textViewMoved_)
        SetWindowPos(textView_.get(), nullptr, 0, 0, areaWidth_, areaHeight_,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void Canvas::SwapInFillView() {
    HWND shown = textView_.get(), filled = fillView_.get();
    DWORD selStart = 0, selEnd = 0;
    SendMessageW(shown, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                 reinterpret_cast<LPARAM>(&selEnd));
    const auto top = SendMessageW(shown, EM_GETFIRSTVISIBLELINE, 0, 0);
    const int column = GetScrollPos(shown, SB_HORZ);
    const bool focused = GetFocus() == shown;

    // The fill left the caret and the view at the end: both go where the reader left them.
    SendMessageW(filled, EM_SETSEL, selStart, static_cast<LPARAM>(selEnd));
    const auto filledTop = SendMessageW(filled, EM_GETFIRSTVISIBLELINE, 0, 0);
    SendMessageW(filled, EM_LINESCROLL, 0, top - filledTop);
    SendMessageW(filled, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, column), 0);
    SetParent(filled, GetParent(shown));
    SetWindowPos(filled, HWND_TOP, 0, 0, areaWidth_, areaHeight_, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    if (focused) SetFocus(filled);
    ShowWindow(shown, SW_HIDE);
    SetParent(shown, textViewHome_);
    SetWindowTextW(shown, L"");
    std::swap(textView_, fillView_);
}

void Canvas::GiveTextViewBack() {
    if (!textViewMoved_) return;
    ShowWindow(textView_.get(), SW_HIDE);
    SetParent(textView_.get(), textViewHome_);
    textViewMoved_ = false;
}

void Canvas::SetPlayCaption(PlayCaption caption) {
    View().SetText(kPlayButton, caption == PlayCaption::Play ? kPlayCaption : kStopCaption);
}

const Surface* Canvas::AreaSource() const {
    if (IsVideo(state_.kind)) return nullptr;
    const bool spectrum =
        IsVbmp3Sound(state_.kind) && props_.BackGroundSlide == static_cast<int32_t>(BGSType::Builtin);
    return spectrum ? &wave_ : &copy_;
}

LRESULT CALLBACK Canvas::AreaProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                  DWORD_PTR data) {
    const auto* canvas = reinterpret_cast<const Canvas*>(data);
    switch (msg) {
        case WM_ERASEBKGND:
            if (canvas->AreaSource()) return 1;
            break;
        case WM_PAINT: {
            const Surface* source = canvas->AreaSource();
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
