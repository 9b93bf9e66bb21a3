#include "dialoghost/dialog_host.h"

#include <commdlg.h>

#include "dialoghost/common_dialog.h"
#include "dialoghost/dialog_record.h"
#include "media/mci_platform.h"
#include "media/vbmp3.h"
#include "platform/com_object.h"
#include "platform/module.h"
#include "platform/text.h"

namespace qcd {

namespace {

DialogHost* g_controlInstance = nullptr;

// Sets ControlInstance for the life of the dialog.
class ControlInstanceScope {
public:
    explicit ControlInstanceScope(DialogHost* host) { g_controlInstance = host; }
    ~ControlInstanceScope() { g_controlInstance = nullptr; }
    ControlInstanceScope(const ControlInstanceScope&) = delete;
    ControlInstanceScope& operator=(const ControlInstanceScope&) = delete;
};

bool IsNonNTPlatform() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;  // 148
    static_assert(sizeof(OSVERSIONINFOA) == 148);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&info);
#pragma GCC diagnostic pop
    return info.dwPlatformId != VER_PLATFORM_WIN32_NT;
}

}  // namespace

OPENFILENAMEA MakeRecord(const Properties& props, HWND owner, RecordStrings& s, bool open) {
    const int32_t n = FileBufferLength(props.MaxFileSize);
    const char16_t pad = BufferPadChar(IsNonNTPlatform());
    s.filter = win::ToAnsi(ConvertFilter(props.Filter));
    s.file = win::ToAnsi(open ? OpenFileBuffer(n, pad) : SaveFileBuffer(props.FileName, n, pad));
    s.fileTitle = win::ToAnsi(FileTitleBuffer(pad));
    s.initialDir = win::ToAnsi(props.InitDir);
    s.title = win::ToAnsi(props.DialogTitle);
    s.defaultExt = win::ToAnsi(props.DefaultExt);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = kOpenFileNameSize;
    ofn.hwndOwner = owner;
    ofn.hInstance = ThisModule();
    ofn.lpstrFilter = s.filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(props.FilterIndex);
    ofn.lpstrFile = s.file.data();
    ofn.nMaxFile = static_cast<DWORD>(n);
    ofn.lpstrFileTitle = s.fileTitle.data();
    ofn.nMaxFileTitle = kFileTitleBufferLength;
    ofn.lpstrInitialDir = s.initialDir.c_str();
    // An empty title would give an empty caption; none gives the system's own.
    ofn.lpstrTitle = props.DialogTitle.empty() ? nullptr : s.title.c_str();
    ofn.Flags = open ? kOpenFlags : kSaveFlags;
    if (open) {
        ofn.lpfnHook = DialogHost::dlg_proc;
        ofn.lpTemplateName = "QRCOMDLG";
    } else {
        ofn.lpfnHook = DialogHost::callback;
        ofn.lpstrDefExt = s.defaultExt.c_str();
    }
    return ofn;
}

DialogHost* ControlInstance() { return g_controlInstance; }

DialogHost::DialogHost(Properties& props, ControlTimers& timers, int16_t& abortEffects, HWND controlWindow)
    : props_(props), preview_(props, timers, abortEffects, controlWindow, ProcessMci(), ProcessVbmp3()) {}

bool DialogHost::RefuseSecondDialog() {
    // A second dialog while one is open would take the hooks away from the first.
    if (!g_controlInstance) return false;
    ClearDialogResults(props_);
    return true;
}

bool DialogHost::ShowOpen(HWND owner) {
    if (RefuseSecondDialog()) return false;
    RecordStrings strings;
    OPENFILENAMEA ofn = MakeRecord(props_, owner, strings, true);
    preview_.BeginDialog();
    MciLayer& mci = ProcessMci();
    mci.WaveVolume(true);
    mci.MciClose(MciSoundAlias);
    Vbmp3& vbmp3 = ProcessVbmp3();
    vbmp3.Init();
    BOOL chosen;
    {
        ControlInstanceScope scope(this);
        chosen = GetOpenFileNameA(&ofn);
    }
    preview_.EndDialog();
    vbmp3.Free();
    mci.WaveVolume(false);
    if (!chosen) ClearDialogResults(props_);
    return chosen != FALSE;
}

bool DialogHost::ShowSave(HWND owner) {
    if (RefuseSecondDialog()) return false;
    RecordStrings strings;
    OPENFILENAMEA ofn = MakeRecord(props_, owner, strings, false);
    BOOL chosen;
    {
        ControlInstanceScope scope(this);
        chosen = GetSaveFileNameA(&ofn);
    }
    if (chosen)
        AppendDefaultExt(props_);
    else
        ClearDialogResults(props_);
    return chosen != FALSE;
}

INT_PTR DialogHost::SaveHookNotify(HWND hookWindow, const NMHDR& header) {
    if (header.code == CDN_FILEOK) {
        props_.FileName = GetDlgFilePath(header.hwndFrom);
        props_.FileTitle = GetDlgSpec(header.hwndFrom);
        props_.InitDir = GetDlgFolderPath(header.hwndFrom);
    } else if (header.code == CDN_INITDONE) {
        if (!PlaceDialog(hookWindow, props_)) return 0;
    }
    return -1;
}

UINT_PTR CALLBACK DialogHost::dlg_proc(HWND hdlg, UINT msg, WPARAM wp, LPARAM lp) {
    DialogHost* host = g_controlInstance;
    if (!host) return 0;
    INT_PTR result = 0;
    // A failure ends the handler; the hook returns what was set so far.
    win::GuardedVoid([&] {
        PreviewEngine& preview = host->preview_;
        switch (msg) {
            case WM_PAINT: result = preview.PaintPanel(hdlg); break;
            case WM_NOTIFY: result = preview.Notify(hdlg, *reinterpret_cast<const NMHDR*>(lp)); break;
            case WM_INITDIALOG: result = preview.InitPanel(hdlg); break;
            case WM_COMMAND: result = preview.Command(hdlg, wp); break;
            case WM_DESTROY: preview.PanelDestroyed(); break;
        }
    });
    return static_cast<UINT_PTR>(result);
}

UINT_PTR CALLBACK DialogHost::callback(HWND hdlg, UINT msg, WPARAM, LPARAM lp) {
    if (msg != WM_NOTIFY) return 0;
    DialogHost* host = g_controlInstance;
    if (!host) return 0;
    INT_PTR result = 0;
    win::GuardedVoid([&] { result = host->SaveHookNotify(hdlg, *reinterpret_cast<const NMHDR*>(lp)); });
    return static_cast<UINT_PTR>(result);
}

}  // namespace qcd
