#include "designtime/about_box.h"

#include <shellapi.h>

#include <string>

#include "platform/com_object.h"
#include "platform/handles.h"
#include "platform/module.h"
#include "platform/text.h"
#include "resources/resource_ids.h"

namespace qcd::designtime {

namespace {

struct AboutState {
    win::unique_hbitmap face;
};

// The box is closed with OK only: the close command goes, with the separator before it.
// Found by command, not by position: Wine's standard menu has an item after Close.
void RemoveCloseCommand(HWND box) {
    HMENU menu = GetSystemMenu(box, FALSE);
    if (!menu) return;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (GetMenuItemID(menu, i) != SC_CLOSE) continue;
        RemoveMenu(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (i > 0 && (GetMenuState(menu, static_cast<UINT>(i - 1), MF_BYPOSITION) & MF_SEPARATOR))
            RemoveMenu(menu, static_cast<UINT>(i - 1), MF_BYPOSITION);
        return;
    }
}

// Starts a mail to the address the label shows; a machine without a mail client says nothing.
void StartMail(HWND box) {
    wchar_t address[256] = {};
    GetDlgItemTextW(box, IDC_ABOUT_LINK, address, 256);
    const std::wstring target = std::wstring(L"mailto:") + address;
    ShellExecuteW(box, L"open", target.c_str(), nullptr, L"", SW_SHOW);
}

INT_PTR CALLBACK AboutProc(HWND box, UINT msg, WPARAM wp, LPARAM lp) {
    INT_PTR result = FALSE;
    win::GuardedVoid("About box", [&] {
        switch (msg) {
            case WM_INITDIALOG: {
                auto* state = reinterpret_cast<AboutState*>(lp);
                RemoveCloseCommand(box);
                state->face.reset(static_cast<HBITMAP>(
                    LoadImageW(ThisModule(), MAKEINTRESOURCEW(IDB_FACE), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
                SendDlgItemMessageW(box, IDC_ABOUT_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                                    reinterpret_cast<LPARAM>(state->face.get()));
                result = TRUE;
                break;
            }
            case WM_COMMAND:
                // Cancel too: Esc, and test drivers that close whatever dialog is left.
                if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
                    EndDialog(box, LOWORD(wp));
                    result = TRUE;
                } else if (LOWORD(wp) == IDC_ABOUT_LINK && HIWORD(wp) == STN_CLICKED) {
                    StartMail(box);
                    result = TRUE;
                }
                break;
            case WM_SETCURSOR:
                if (reinterpret_cast<HWND>(wp) == GetDlgItem(box, IDC_ABOUT_LINK)) {
                    SetCursor(LoadCursorW(nullptr, IDC_HAND));
                    SetWindowLongPtrW(box, DWLP_MSGRESULT, TRUE);
                    result = TRUE;
                }
                break;
            case WM_CTLCOLORSTATIC:
                // The address reads as a link.
                if (reinterpret_cast<HWND>(lp) == GetDlgItem(box, IDC_ABOUT_LINK)) {
                    HDC dc = reinterpret_cast<HDC>(wp);
                    SetTextColor(dc, RGB(0, 0, 255));
                    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                    result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
                }
                break;
        }
    });
    return result;
}

}  // namespace

HRESULT ShowAboutBox(HWND owner) noexcept {
    return win::Guarded("About box", [&]() -> HRESULT {
        AboutState state;
        // A new box each time; DialogBoxParam disables the owner while the box is up.
        const INT_PTR r = DialogBoxParamW(ThisModule(), L"ABOUTBOX", owner, AboutProc,
                                          reinterpret_cast<LPARAM>(&state));
        if (r != -1) return S_OK;
        const DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    });
}

}  // namespace qcd::designtime
