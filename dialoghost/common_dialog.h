// Talking to a running common dialog: the text queries, the control-text setter and the
// placement of the dialog when it is up.
#pragma once

#include <windows.h>

#include <string>

#include "base/properties.h"

namespace qcd {

// Each query sends to the common dialog's own window; a failed query gives "".
std::u16string GetDlgSpec(HWND dialog);
std::u16string GetDlgFilePath(HWND dialog);
std::u16string GetDlgFolderPath(HWND dialog);
LRESULT SetDlgControlText(HWND dialog, int32_t controlId, const std::u16string& text);

// Centres the hook window's parent (the dialog) or moves it to DialogLeft/DialogTop.
// False when the arithmetic overflowed: the caller's handler ends there.
bool PlaceDialog(HWND hookWindow, const Properties& props);

// Wine lays the file dialog's own controls out wider than the panel's placeholder for them:
// its toolbar ends over the preview area's top-left corner and the placeholder over the
// area's left edge, and the area's pixels under them never show. The preview column moves
// right, and if the panel has no room for that, narrows, until nothing covers it. Called once
// the dialog has placed its controls.
void KeepPreviewColumnClear(HWND panel);

}  // namespace qcd
