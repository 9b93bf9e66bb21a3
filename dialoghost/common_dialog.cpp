#include "dialoghost/common_dialog.h"

#include <commdlg.h>

#include <algorithm>
#include <array>
#include <cwchar>
#include <optional>
#include <vector>

#include "dialoghost/dialog_record.h"
#include "platform/text.h"
#include "preview/preview_kind.h"
#include "resources/resource_ids.h"

namespace qcd {

// The portable code spells the platform's flags and notification codes as numbers.
static_assert(kOpenFlags == (OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE |
                             OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER |
                             OFN_ENABLESIZING));
static_assert(kSaveFlags == (OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLEHOOK |
                             OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING));
// A Save As dialog must accept the name of a file that does not exist yet.
static_assert((kSaveFlags & OFN_FILEMUSTEXIST) == 0);

namespace {

constexpr NotifyAction ActionFor(UINT code) {
    return ActionForNotification(static_cast<int32_t>(code));
}
static_assert(ActionFor(CDN_INITDONE) == NotifyAction::PlaceDialog);
static_assert(ActionFor(CDN_SELCHANGE) == NotifyAction::SelectionChange);
static_assert(ActionFor(CDN_FOLDERCHANGE) == NotifyAction::Reset);
static_assert(ActionFor(CDN_SHAREVIOLATION) == NotifyAction::Reset);
static_assert(ActionFor(CDN_TYPECHANGE) == NotifyAction::Reset);
static_assert(ActionFor(CDN_FILEOK) == NotifyAction::FileOk);
static_assert(ActionFor(CDN_HELP) == NotifyAction::Ignore);
static_assert(ActionFor(CDN_INCLUDEITEM) == NotifyAction::Ignore);

// 261 zeroed characters of which the dialog may fill 260, so the last is always a NUL.
std::u16string QueryText(HWND dialog, UINT message) {
    std::array<wchar_t, 261> buffer{};
    LRESULT r = SendMessageW(dialog, message, 260, reinterpret_cast<LPARAM>(buffer.data()));
    if (r <= 0) return {};
    return std::u16string(win::View(buffer.data(), wcsnlen(buffer.data(), buffer.size())));
}

}  // namespace

std::u16string GetDlgSpec(HWND dialog) { return QueryText(dialog, CDM_GETSPEC); }
std::u16string GetDlgFilePath(HWND dialog) { return QueryText(dialog, CDM_GETFILEPATH); }
std::u16string GetDlgFolderPath(HWND dialog) { return QueryText(dialog, CDM_GETFOLDERPATH); }

LRESULT SetDlgControlText(HWND dialog, int32_t controlId, const std::u16string& text) {
    return SendMessageW(dialog, CDM_SETCONTROLTEXT, static_cast<WPARAM>(controlId),
                        reinterpret_cast<LPARAM>(win::Wide(text)));
}

bool PlaceDialog(HWND hookWindow, const Properties& props) {
    HWND dialog = GetParent(hookWindow);
    RECT d{}, s{};
    GetWindowRect(dialog, &d);
    GetWindowRect(GetDesktopWindow(), &s);
    auto at = PlaceDialogAt({d.left, d.top, d.right, d.bottom}, {s.left, s.top, s.right, s.bottom}, props);
    if (!at) return false;
    SetWindowPos(dialog, nullptr, at->x, at->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return true;
}

namespace {

ScreenRect RectIn(HWND window, HWND parent) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

// Moves a panel control right by `move` and its left edge further by `trim`.
void Shift(HWND control, HWND panel, int32_t move, int32_t trim) {
    const ScreenRect r = RectIn(control, panel);
    SetWindowPos(control, nullptr, r.left + move + trim, r.top, r.right - r.left - trim,
                 r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void KeepPreviewColumnClear(HWND panel) {
    HWND dialog = GetParent(panel);
    if (!dialog) return;
    // The dialog is not shown yet: its controls' own visibility is what counts.
    auto shown = [](HWND w) { return (GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) != 0; };
    std::vector<ScreenRect> others;
    for (HWND w = GetWindow(dialog, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w != panel && shown(w)) others.push_back(RectIn(w, panel));
    if (HWND placeholder = GetDlgItem(panel, IDC_DIALOG_CONTROLS)) {
        others.push_back(RectIn(placeholder, panel));
    }
    // The column: the area with the labels above and below it; the buttons ride along.
    constexpr int kSpanning[] = {IDC_PREVIEW_AREA, IDC_TITLE_LABEL, IDC_SIZE_LABEL,
                                 IDC_INDEX_LABEL, IDC_STATUS_LABEL};
    constexpr int kButtons[] = {IDC_PLAY_BUTTON, IDC_FORWARD_BUTTON, IDC_BACK_BUTTON,
                                IDC_PAUSE_BUTTON};
    std::optional<ScreenRect> column;
    for (int id : kSpanning) {
        HWND item = GetDlgItem(panel, id);
        if (!item) continue;
        const ScreenRect r = RectIn(item, panel);
        if (!column) column = r;
        column->left = std::min(column->left, r.left);
        column->top = std::min(column->top, r.top);
        column->right = std::max(column->right, r.right);
        column->bottom = std::max(column->bottom, r.bottom);
    }
    if (!column) return;
    RECT panelRect{};
    GetClientRect(panel, &panelRect);
    const ColumnClearance c = ClearPreviewColumn(*column, others, panelRect.right, 2);
    if (c.move == 0 && c.trim == 0) return;
    for (int id : kSpanning)
        if (HWND item = GetDlgItem(panel, id)) Shift(item, panel, c.move, c.trim);
    for (int id : kButtons)
        if (HWND item = GetDlgItem(panel, id)) Shift(item, panel, c.move + c.trim / 2, 0);
}

namespace {

void MoveTo(HWND window, const ScreenRect& r) {
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE ClientSize(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return {r.right, r.bottom};
}

// The size grip stays in the dialog's corner wherever the platform puts it.
bool IsSizeGrip(HWND window) {
    wchar_t name[16]{};
    GetClassNameW(window, name, 16);
    return _wcsicmp(name, L"ScrollBar") == 0;
}

}  // namespace

void FirstDialogSize::Remember(HWND dialog) {
    RECT r{};
    GetWindowRect(dialog, &r);
    size_ = {r.right - r.left, r.bottom - r.top};
}

void FirstDialogSize::Restore(HWND dialog) const {
    if (!dialog || IsWindowVisible(dialog) || size_.cx <= 0 || size_.cy <= 0) return;
    RECT r{};
    GetWindowRect(dialog, &r);
    if (r.right - r.left != size_.cx || r.bottom - r.top != size_.cy)
        SetWindowPos(dialog, nullptr, 0, 0, size_.cx, size_.cy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PreviewColumnSizer::Remember(HWND panel) {
    Forget();
    HWND dialog = GetParent(panel);
    if (!dialog) return;
    panel_ = panel;
    firstPanel_ = ClientSize(panel);
    const std::pair<int, ColumnPart> parts[] = {
        {IDC_PREVIEW_AREA, ColumnPart::Area},   {IDC_TITLE_LABEL, ColumnPart::Above},
        {IDC_SIZE_LABEL, ColumnPart::Below},    {IDC_INDEX_LABEL, ColumnPart::Below},
        {IDC_STATUS_LABEL, ColumnPart::Below},  {IDC_PLAY_BUTTON, ColumnPart::Button},
        {IDC_FORWARD_BUTTON, ColumnPart::Button}, {IDC_BACK_BUTTON, ColumnPart::Button},
        {IDC_PAUSE_BUTTON, ColumnPart::Button}};
    for (const auto& [id, part] : parts)
        if (HWND item = GetDlgItem(panel, id)) column_.push_back({item, RectIn(item, panel), part});
    for (HWND w = GetWindow(dialog, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w != panel && !IsSizeGrip(w))
            dialogControls_.push_back({w, RectIn(w, dialog), Follows::Unknown});
}

void PreviewColumnSizer::Forget() {
    panel_ = nullptr;
    column_.clear();
    dialogControls_.clear();
}

bool PreviewColumnSizer::Follow() {
    if (!panel_ || !IsWindow(panel_)) return false;
    HWND dialog = GetParent(panel_);
    const SIZE now = ClientSize(panel_);
    const int32_t dw = now.cx - firstPanel_.cx, dh = now.cy - firstPanel_.cy;
    // What the list side keeps of the extra width; it gives the rest to the preview.
    const int32_t keeps = dw - PreviewShare(dw);
    for (DialogControl& c : dialogControls_) {
        if (!IsWindow(c.window)) continue;
        const ScreenRect at = RectIn(c.window, dialog);
        if (c.follows == Follows::Unknown && dw != 0) {
            // Nothing of ours has moved it yet: this is the platform's own layout at width dw.
            const bool followsEdge = at.right - c.first.right == dw;
            c.follows = !followsEdge ? Follows::Nothing
                        : at.left - c.first.left == dw ? Follows::Moves
                                                       : Follows::Widens;
        }
        if (c.follows != Follows::Moves && c.follows != Follows::Widens) continue;
        ScreenRect to = at;
        to.left = c.first.left + (c.follows == Follows::Moves ? keeps : 0);
        to.right = c.first.right + keeps;
        if (to != at) MoveTo(c.window, to);
    }
    HWND area = GetDlgItem(panel_, IDC_PREVIEW_AREA);
    const SIZE areaBefore = ClientSize(area);
    for (const ColumnControl& c : column_) {
        const ScreenRect to = GrowColumn(c.first, c.part, dw, dh);
        if (to != RectIn(c.window, panel_)) MoveTo(c.window, to);
    }
    const SIZE areaAfter = ClientSize(area);
    return areaAfter.cx != areaBefore.cx || areaAfter.cy != areaBefore.cy;
}

}  // namespace qcd
