#include "preview/panel.h"

#include "base/checked.h"
#include "platform/text.h"

namespace qcd {

void PanelView::SetText(int id, const std::u16string& text) const {
    SetDlgItemTextW(panel_, id, win::Wide(text));
}

std::u16string PanelView::Text(int id) const {
    HWND item = Item(id);
    int n = GetWindowTextLengthW(item);
    std::u16string text(static_cast<size_t>(n) + 1, u'\0');
    n = GetWindowTextW(item, reinterpret_cast<wchar_t*>(text.data()), n + 1);
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

void PanelView::ClearLabels() const {
    for (int id : {kTitleLabel, kSizeLabel, kIndexLabel, kStatusLabel}) SetText(id, L"");
}

void PanelView::PlaceButtons(UINT showOrHide) const {
    // Shown or hidden where they are; a button already so is left alone, as every selection
    // hides them and the icon and media previews show them again.
    const bool show = showOrHide == SWP_SHOWWINDOW;
    for (int id : {kPlayButton, kForwardButton, kBackButton, kPauseButton}) {
        HWND button = Item(id);
        const bool visible = (GetWindowLongPtrW(button, GWL_STYLE) & WS_VISIBLE) != 0;
        if (!button || visible == show) continue;
        SetWindowPos(button, nullptr, 0, 0, 0, 0,
                     showOrHide | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void PanelView::ShowButtons() const {
    PlaceButtons(SWP_SHOWWINDOW);
    SetText(kPlayButton, kPlayCaption);
    for (int id : {kPlayButton, kForwardButton, kBackButton, kPauseButton}) Enable(id, false);
}

void PanelView::HideButtons() const { PlaceButtons(SWP_HIDEWINDOW); }

bool PanelView::AreaSize(int& width, int& height) const {
    RECT r{};
    if (!GetWindowRect(Item(kPreviewArea), &r)) return false;
    auto w = CheckedSub<int32_t>(r.right, r.left);
    auto h = CheckedSub<int32_t>(r.bottom, r.top);
    if (!w || !h) return false;
    width = *w;
    height = *h;
    return true;
}

void PanelView::FocusFileList() const {
    // In Explorer-style dialogs the list view is not a direct child of the dialog: it sits
    // inside the SHELLDLL_DefView child. Focusing "no window" would take the focus away
    // from the dialog altogether, so nothing is done when the list is not found.
    HWND dialog = GetParent(panel_);
    HWND view = FindWindowExW(dialog, nullptr, L"SHELLDLL_DefView", nullptr);
    HWND list = view ? FindWindowExW(view, nullptr, L"SysListView32", nullptr) : nullptr;
    if (list) SetFocus(list);
}

}  // namespace qcd
