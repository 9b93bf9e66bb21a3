// The Open and Save dialogs: the records handed to the platform, the hook procedures and
// the preparation and teardown around a dialog.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>

#include "control/properties.h"
#include "platform/timers.h"
#include "preview/preview_engine.h"

namespace qcd {

// The ANSI strings a record points at; they must outlive the dialog.
struct RecordStrings {
    std::string filter, file, fileTitle, initialDir, title, defaultExt;
};
// The record of the Open (`open`) or Save dialog, filled from the properties.
OPENFILENAMEA MakeRecord(const Properties& props, HWND owner, RecordStrings& strings, bool open);

class DialogHost {
public:
    DialogHost(Properties& props, ControlTimers& timers, int16_t& abortEffects, HWND controlWindow);

    // Run a dialog owned by `owner`; true when a file was chosen. A cancel (or a dialog that
    // could not open) has already emptied FileName, InitDir and FileTitle.
    bool ShowOpen(HWND owner);
    bool ShowSave(HWND owner);

    PreviewEngine& Preview() { return preview_; }

    // Hook procedures, called by the common dialogs.
    static UINT_PTR CALLBACK dlg_proc(HWND hdlg, UINT msg, WPARAM wp, LPARAM lp);
    static UINT_PTR CALLBACK callback(HWND hdlg, UINT msg, WPARAM wp, LPARAM lp);

private:
    // True (results cleared, as for a cancel) when a dialog is already open in the process.
    bool RefuseSecondDialog();
    INT_PTR SaveHookNotify(HWND hookWindow, const NMHDR& header);

    Properties& props_;
    PreviewEngine preview_;
};

// The control whose dialog is open: the hooks have no other way to reach it. One dialog per
// process at a time.
DialogHost* ControlInstance();

}  // namespace qcd
