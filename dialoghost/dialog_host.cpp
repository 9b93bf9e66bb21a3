#include "dialoghost/dialog_host.h"

#include "dialoghost/panel_commands.h"
#include "dialoghost/common_dialog.h"
#include "dialoghost/dialog_record.h"
#include "media/mci_platform.h"
#include "media/vbmp3.h"
#include "platform/com_object.h"
#include "platform/module.h"
#include "platform/text.h"
#include "resources/resource_ids.h"

namespace qcd {

namespace {

// Posted to the panel by its WM_SIZE: the column follows the dialog's new size.
constexpr UINT kFollowDialogSize = WM_APP + 0x52;

// One dialog per process: the platform's dialogs are modal to the host's thread, and a second
// one would run inside the first one's loop.
bool g_dialogOpen = false;

class DialogOpenScope {
  public:
    DialogOpenScope() { g_dialogOpen = true; }
    ~DialogOpenScope() { g_dialogOpen = false; }
    DialogOpenScope(const DialogOpenScope&) = delete;
    DialogOpenScope& operator=(const DialogOpenScope&) = delete;
};

// The hook window's property naming its DialogHost, set at WM_INITDIALOG from lCustData.
constexpr wchar_t kHostProperty[] = L"QuorComDlg.DialogHost";

DialogHost* HostOf(HWND hookWindow, UINT msg, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        // Explorer-style hooks get the record as WM_INITDIALOG's parameter.
        const auto* record = reinterpret_cast<const OPENFILENAMEW*>(lp);
        auto* host = record ? reinterpret_cast<DialogHost*>(record->lCustData) : nullptr;
        if (host) SetPropW(hookWindow, kHostProperty, host);
        return host;
    }
    return static_cast<DialogHost*>(GetPropW(hookWindow, kHostProperty));
}

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

// True (results cleared, as for a cancel) when a dialog is already open in the process.
bool RefuseSecondDialog(Properties& props) {
    if (!g_dialogOpen) return false;
    ClearDialogResults(props);
    return true;
}

}  // namespace

bool DialogIsOpen() { return g_dialogOpen; }

OPENFILENAMEW MakeRecord(const Properties& props, HWND owner, RecordStrings& s, bool open,
                         DialogHost* host) {
    const int32_t n = FileBufferLength(props.MaxFileSize);
    const char16_t pad = BufferPadChar(IsNonNTPlatform());
    s.filter = ConvertFilter(props.Filter);
    s.file = open ? OpenFileBuffer(n, pad) : SaveFileBuffer(props.FileName, n, pad);
    s.fileTitle = FileTitleBuffer(pad);
    s.initialDir = props.InitDir;
    s.title = props.DialogTitle;
    s.defaultExt = props.DefaultExt;

    OPENFILENAMEW ofn{};
    // The record without the three members that later systems added: 76 bytes in a 32-bit
    // process, 136 in a 64-bit one (a wrong size fails the call before any dialog shows).
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    ofn.hwndOwner = owner;
    ofn.hInstance = ThisModule();
    ofn.lpstrFilter = win::Wide(s.filter);
    ofn.nFilterIndex = static_cast<DWORD>(props.FilterIndex);
    ofn.lpstrFile = win::Buffer(s.file);
    ofn.nMaxFile = static_cast<DWORD>(n);
    ofn.lpstrFileTitle = win::Buffer(s.fileTitle);
    ofn.nMaxFileTitle = kFileTitleBufferLength;
    ofn.lpstrInitialDir = win::Wide(s.initialDir);
    // An empty title would give an empty caption; none gives the system's own.
    ofn.lpstrTitle = props.DialogTitle.empty() ? nullptr : win::Wide(s.title);
    ofn.Flags = open ? kOpenFlags : kSaveFlags;
    ofn.lCustData = reinterpret_cast<LPARAM>(host);
    if (open) {
        ofn.lpfnHook = DialogHost::OpenHookProc;
        ofn.lpTemplateName = L"QRCOMDLG";
    } else {
        ofn.lpfnHook = DialogHost::SaveHookProc;
        ofn.lpstrDefExt = win::Wide(s.defaultExt);
    }
    return ofn;
}

DialogHost::DialogHost(Properties& props, TimerOwner& timers, HWND controlWindow)
    : props_(props),
      media_(ProcessMci(), ProcessVbmp3()),
      canvas_(props, timers, controlWindow),
      preview_(canvas_, media_),
      slideshow_(canvas_, props) {}

bool DialogHost::ShowOpen(HWND owner) {
    if (RefuseSecondDialog(props_)) return false;
    RecordStrings strings;
    OPENFILENAMEW ofn = MakeRecord(props_, owner, strings, true, this);
    preview_.BeginDialog();
    slideshow_.BeginDialog();
    BOOL chosen;
    {
        DialogOpenScope open;
        chosen = GetOpenFileNameW(&ofn);
    }
    preview_.EndDialog();
    if (!chosen) ClearDialogResults(props_);
    return chosen != FALSE;
}

bool DialogHost::ShowSave(HWND owner) {
    if (RefuseSecondDialog(props_)) return false;
    RecordStrings strings;
    OPENFILENAMEW ofn = MakeRecord(props_, owner, strings, false, this);
    BOOL chosen;
    {
        DialogOpenScope open;
        chosen = GetSaveFileNameW(&ofn);
    }
    if (chosen)
        AppendDefaultExt(props_);
    else
        ClearDialogResults(props_);
    return chosen != FALSE;
}

void DialogHost::StoreResult(HWND sender) {
    props_.FileName = GetDlgFilePath(sender);
    props_.FileTitle = GetDlgSpec(sender);
    props_.InitDir = GetDlgFolderPath(sender);
}

INT_PTR DialogHost::PreviewNotify(HWND panel, const NMHDR& header) {
    const NotifyAction action = ActionForNotification(static_cast<int32_t>(header.code));
    if (action != NotifyAction::PlaceDialog) firstSize_.Restore(GetParent(panel));
    switch (action) {
        case NotifyAction::PlaceDialog:
            KeepPreviewColumnClear(panel);
            firstSize_.Remember(GetParent(panel));
            sizer_.Remember(panel);
            if (!PlaceDialog(panel, props_)) return 0;  // overflow ends the handler
            canvas_.View().HideButtons();
            break;
        case NotifyAction::SelectionChange: {
            // A keyboard move notifies the same selection twice.
            std::u16string path = GetDlgFilePath(header.hwndFrom);
            if (path == previewedPath_ && previewedGeneration_ == canvas_.Generation()) break;
            if (!preview_.StopPreviewMedia(true)) break;
            // The properties follow the selection as it moves.
            props_.FileName = std::move(path);
            props_.FileTitle = GetDlgSpec(header.hwndFrom);
            const std::u16string previewed = props_.FileName;
            // An overtaken preview leaves the record to the selection that overtook it.
            if (preview_.PreviewFile(props_.FileName, props_.FileTitle)) {
                previewedPath_ = previewed;
                previewedGeneration_ = canvas_.Generation();
            }
            break;
        }
        case NotifyAction::Reset:
            if (!preview_.StopPreviewMedia(false)) break;
            SetDlgControlText(GetParent(panel), kFileNameBox, u"");
            preview_.ClearPreviewPanel();
            break;
        case NotifyAction::FileOk:
            preview_.StopPreviewMedia(false);
            StoreResult(header.hwndFrom);
            break;
        case NotifyAction::Ignore:
            break;
    }
    return -1;
}

INT_PTR DialogHost::OpenHookMessage(HWND hdlg, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            return preview_.InitPanel(hdlg) ? -1 : 0;
        case WM_NOTIFY:
            if (reinterpret_cast<const NMHDR*>(lp)->code == TTN_GETDISPINFOW &&
                preview_.FillButtonTip(*reinterpret_cast<NMTTDISPINFOW*>(lp)))
                return 0;
            return PreviewNotify(hdlg, *reinterpret_cast<const NMHDR*>(lp));
        case kButtonActionQuery:
            // A dialog procedure hands a result back through DWLP_MSGRESULT.
            SetWindowLongPtrW(hdlg, DWLP_MSGRESULT,
                              reinterpret_cast<LONG_PTR>(preview_.ButtonActionText(static_cast<int>(wp))));
            return TRUE;
        case WM_SIZE:
            // The dialog resizes the panel before it lays out its own controls: the column
            // follows once it has.
            if (sizer_.Remembered() && !followPosted_)
                followPosted_ = PostMessageW(hdlg, kFollowDialogSize, 0, 0) != FALSE;
            return 0;
        case kFollowDialogSize:
            followPosted_ = false;
            if (sizer_.Follow()) preview_.AreaResized();
            return TRUE;
        case WM_COMMAND:
            return OnPanelCommand(canvas_, preview_.Shown(), wp);
        case WM_PAINT:
            preview_.PaintPanel();
            return 0;
        case WM_DRAWITEM:
            if (wp != IDC_TITLE_LABEL) return 0;
            preview_.DrawTitle(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
            return TRUE;
        case WM_DESTROY:
            sizer_.Forget();
            followPosted_ = false;
            preview_.PanelDestroyed();
            RemovePropW(hdlg, kHostProperty);
            return 0;
    }
    return 0;
}

INT_PTR DialogHost::SaveHookNotify(HWND hookWindow, const NMHDR& header) {
    if (header.code == CDN_INITDONE) {
        firstSize_.Remember(GetParent(hookWindow));
        if (!PlaceDialog(hookWindow, props_)) return 0;
        return -1;
    }
    firstSize_.Restore(GetParent(hookWindow));
    if (header.code == CDN_FILEOK) StoreResult(header.hwndFrom);
    return -1;
}

UINT_PTR CALLBACK DialogHost::OpenHookProc(HWND hdlg, UINT msg, WPARAM wp, LPARAM lp) {
    DialogHost* host = HostOf(hdlg, msg, lp);
    if (!host) return 0;
    INT_PTR result = 0;
    // A failure ends the handler; the hook returns what was set so far.
    win::GuardedVoid("Open dialog hook", [&] { result = host->OpenHookMessage(hdlg, msg, wp, lp); });
    return static_cast<UINT_PTR>(result);
}

UINT_PTR CALLBACK DialogHost::SaveHookProc(HWND hdlg, UINT msg, WPARAM, LPARAM lp) {
    DialogHost* host = HostOf(hdlg, msg, lp);
    if (msg == WM_DESTROY) RemovePropW(hdlg, kHostProperty);
    if (msg != WM_NOTIFY || !host) return 0;
    INT_PTR result = 0;
    win::GuardedVoid("Save dialog hook",
        [&] { result = host->SaveHookNotify(hdlg, *reinterpret_cast<const NMHDR*>(lp)); });
    return static_cast<UINT_PTR>(result);
}

}  // namespace qcd
