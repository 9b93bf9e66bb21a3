// The Open and Save dialogs: the records handed to the platform, the hook procedures, the
// Open dialog's notifications and the preparation and teardown around a dialog.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <optional>
#include <string>

#include "base/properties.h"
#include "base/timer_owner.h"
#include "media/media_session.h"
#include "preview/canvas.h"
#include "preview/dispatcher.h"
#include "dialoghost/common_dialog.h"
#include "preview/slideshow.h"

namespace qcd {

// The strings a record points at; they must outlive the dialog.
struct RecordStrings {
    std::u16string filter, file, fileTitle, initialDir, title, defaultExt;
};
// The record of the Open (`open`) or Save dialog, filled from the properties; the hooks find
// `host` through it.
OPENFILENAMEW MakeRecord(const Properties& props, HWND owner, RecordStrings& strings, bool open,
                         class DialogHost* host = nullptr);

// A dialog of the control is open in this process: a second one would fail.
bool DialogIsOpen();

class DialogHost {
  public:
    // The text box of the previews lives on `controlWindow` between dialogs.
    DialogHost(Properties& props, TimerOwner& timers, HWND controlWindow);

    // Run a dialog owned by `owner`; true when a file was chosen. A cancel (or a dialog that
    // could not open) has already emptied FileName, InitDir and FileTitle.
    bool ShowOpen(HWND owner);
    bool ShowSave(HWND owner);

    Canvas& PreviewCanvas() { return canvas_; }
    PreviewDispatcher& Preview() { return preview_; }

    // Hook procedures, called by the common dialogs.
    static UINT_PTR CALLBACK OpenHookProc(HWND hdlg, UINT msg, WPARAM wp, LPARAM lp);
    static UINT_PTR CALLBACK SaveHookProc(HWND hdlg, UINT msg, WPARAM wp, LPARAM lp);

  private:
    INT_PTR OpenHookMessage(HWND hdlg, UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR PreviewNotify(HWND panel, const NMHDR& header);
    INT_PTR SaveHookNotify(HWND hookWindow, const NMHDR& header);
    // CDN_FILEOK: FileName, FileTitle and InitDir from the dialog.
    void StoreResult(HWND sender);

    Properties& props_;
    // The file whose preview stands, and the canvas's generation when it was made: the same
    // file notified again with nothing in between is not stopped and loaded again.
    std::u16string previewedPath_;
    std::optional<uint32_t> previewedGeneration_;
    MediaSession media_;
    Canvas canvas_;
    PreviewDispatcher preview_;
    // What plays behind a sound; attached to the canvas.
    Slideshow slideshow_;
    // The preview column following the dialog's size, and whether a relayout is on its way.
    FirstDialogSize firstSize_;
    PreviewColumnSizer sizer_;
    bool followPosted_ = false;
};

}  // namespace qcd
