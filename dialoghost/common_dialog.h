// Talking to a running common dialog: the text queries, the control-text setter and the
// placement of the dialog when it is up.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/properties.h"
#include "dialoghost/dialog_record.h"

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

// The platform gives a resizable file dialog the size the process's last one had, after its
// hook has seen CDN_INITDONE and before it shows: each of ours opens at its own first size.
class FirstDialogSize {
  public:
    // At CDN_INITDONE.
    void Remember(HWND dialog);
    // At any later notification: while the dialog is not shown yet, its first size back.
    void Restore(HWND dialog) const;

  private:
    SIZE size_{};
};

// The preview column following the Open dialog's size. The platform lays its own controls out
// again whenever the dialog is resized, widening the file list by all the extra width and moving
// our column right by as much; `Follow`, called after that, takes half of the width back for the
// preview (GrowColumn). Positions are computed from the first layout each time, so any sequence
// of sizes ending at the first size gives back exactly the first layout.
class PreviewColumnSizer {
  public:
    // Takes the first layout: the panel's size, the column's controls, the dialog's controls.
    void Remember(HWND panel);
    bool Remembered() const { return panel_ != nullptr; }
    // Lays the column and the dialog's list side out for the panel's present size; true when
    // the preview area's size changed.
    bool Follow();
    void Forget();

  private:
    struct ColumnControl {
        HWND window;
        ScreenRect first;
        ColumnPart part;
    };
    // How a control of the dialog follows its right edge, as the platform lays it out.
    enum class Follows { Unknown, Nothing, Moves, Widens };
    struct DialogControl {
        HWND window;
        ScreenRect first;  // in the dialog's client coordinates
        Follows follows;
    };

    HWND panel_ = nullptr;
    SIZE firstPanel_{};
    std::vector<ColumnControl> column_;
    // Which of them follow the dialog's right edge is learnt from the first layout the
    // platform makes at another width.
    std::vector<DialogControl> dialogControls_;
};

}  // namespace qcd
