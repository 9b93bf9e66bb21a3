#include "dialoghost/common_dialog.h"

#include <commdlg.h>

#include <array>

#include "dialoghost/dialog_record.h"
#include "platform/text.h"
#include "preview/preview_kind.h"

namespace qcd {

// The portable code spells the platform's flags and notification codes as numbers.
static_assert(kOpenFlags == (OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE |
                             OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER));
static_assert(kSaveFlags == (OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLEHOOK |
                             OFN_PATHMUSTEXIST | OFN_EXPLORER));
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

// 261 zeroed bytes of which the dialog may fill 260, so the last is always a NUL.
std::u16string QueryText(HWND dialog, UINT message) {
    std::array<char, 261> buffer{};
    LRESULT r = SendMessageA(dialog, message, 260, reinterpret_cast<LPARAM>(buffer.data()));
    if (r <= 0) return {};
    return win::FromAnsi(std::string_view(buffer.data()));
}

}  // namespace

std::u16string GetDlgSpec(HWND dialog) { return QueryText(dialog, CDM_GETSPEC); }
std::u16string GetDlgFilePath(HWND dialog) { return QueryText(dialog, CDM_GETFILEPATH); }
std::u16string GetDlgFolderPath(HWND dialog) { return QueryText(dialog, CDM_GETFOLDERPATH); }

LRESULT SetDlgControlText(HWND dialog, int32_t controlId, const std::u16string& text) {
    const std::string ansi = win::ToAnsi(text);  // lives until the message has returned
    return SendMessageA(dialog, CDM_SETCONTROLTEXT, static_cast<WPARAM>(controlId),
                        reinterpret_cast<LPARAM>(ansi.c_str()));
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

}  // namespace qcd
