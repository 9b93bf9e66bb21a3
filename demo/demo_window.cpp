// The form window: the control on a small design surface, its fourteen properties edited by
// name, the dialog and design-time commands, and the property bag file.
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <commctrl.h>

#include <array>
#include <cwchar>
#include <string>
#include <vector>

#include "control/ids.h"
#include "demo/app.h"
#include "demo/automation.h"
#include "demo/container.h"
#include "demo/text_bag.h"
#include "platform/com_object.h"
#include "platform/com_ptr.h"
#include "platform/handles.h"
#include "resources/resource_ids.h"

namespace demo {

namespace {

using qcd::win::com_ptr;

constexpr wchar_t kTitle[] = L"QuorComDlg デモ";
constexpr wchar_t kMainClass[] = L"QuorDemoMain";
constexpr wchar_t kFormClass[] = L"QuorDemoForm";

// Bag order, so the list reads like the saved file.
constexpr std::array<const wchar_t*, 14> kProperties = {
    L"CancelError", L"DefaultExt",  L"Filter",     L"FilterIndex", L"FileName",
    L"FileTitle",   L"InitDir",     L"MaxFileSize", L"DialogTitle", L"DialogLeft",
    L"DialogTop",   L"SlideFolder", L"Position",   L"BackGroundSlide"};
constexpr int kCount = static_cast<int>(kProperties.size());

enum : int {
    kIdFirstEdit = 100,  // one edit per property, in list order
    kIdDesignMode = 200,
    kIdOpen,
    kIdSave,
    kIdPages,
    kIdAbout,
    kIdBagSave,
    kIdBagLoad,
    kIdRequestSize,
    kIdViewBox,
};

constexpr UINT kMsgReady = WM_APP + 1;
constexpr UINT_PTR kQuitTimer = 1;
constexpr UINT_PTR kPreviewTimer = 2;
constexpr int kPreviewTicks = 100;  // 10 s at 100 ms

BOOL CALLBACK FindVisibleDialog(HWND w, LPARAM found) {
    wchar_t cls[16] = {};
    if (!GetClassNameW(w, cls, 16) || wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(w)) return TRUE;
    *reinterpret_cast<HWND*>(found) = w;
    return FALSE;
}

// The Open dialog this thread shows, if one is up.
HWND OpenDialogOfThisThread() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindVisibleDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The control's preview panel inside the dialog: the child dialog with the preview area.
HWND PreviewPanelOf(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgItem(child, IDC_PREVIEW_AREA)) return child;
    return nullptr;
}

// Selects `name` in the dialog's file list, as a click would.
bool SelectInFileList(HWND dialog, const std::wstring& name) {
    HWND view = FindWindowExW(dialog, nullptr, L"SHELLDLL_DefView", nullptr);
    HWND list = view ? FindWindowExW(view, nullptr, L"SysListView32", nullptr) : nullptr;
    if (!list) return false;
    LVFINDINFOW find{};
    find.flags = LVFI_STRING;
    find.psz = name.c_str();
    const LRESULT index = SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find));
    if (index < 0) return false;
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return true;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t buf[256] = {};
    GetWindowTextW(hwnd, buf, 256);
    return buf;
}

// Client layout, in pixels.
constexpr int kClientWidth = 780;
constexpr int kClientHeight = 516;
constexpr RECT kFormRect{22, 26, 22 + 280, 26 + 166};
// The form asks for more than the control's fixed size, so the snap is visible.
constexpr RECT kRequestedRect{24, 24, 24 + 96, 24 + 64};
constexpr int kRowTop = 30;
constexpr int kRowHeight = 24;

struct PagesOwner {
    CAUUID pages{};
    ~PagesOwner() { CoTaskMemFree(pages.pElems); }
};

int CALLBACK OnFaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// The first installed face with Japanese glyphs: the system's own UI faces on Windows,
// the IPA fonts under Wine (which has neither of the first three).
std::wstring JapaneseFace() {
    static const wchar_t* const faces[] = {L"MS UI Gothic", L"Meiryo UI", L"Yu Gothic UI", L"IPAPGothic",
                                           L"IPAGothic", L"MS PGothic", L"MS Gothic"};
    qcd::win::window_dc screen(nullptr);
    for (const wchar_t* face : faces) {
        LOGFONTW lf{};
        lf.lfCharSet = SHIFTJIS_CHARSET;
        wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
        bool found = false;
        EnumFontFamiliesExW(screen.get(), &lf, OnFaceFound, reinterpret_cast<LPARAM>(&found), 0);
        if (found) return face;
    }
    return {};
}

// A one-line box cannot show a line break, so "¶" stands for one: the Japanese fonts have
// it, and no path holds it (a backslash escape would turn "C:\new" into a break).
constexpr wchar_t kLineBreakMark = L'\u00B6';

std::wstring ShowLineBreaks(const std::wstring& s) {
    std::wstring out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'\r' && i + 1 < s.size() && s[i + 1] == L'\n') continue;  // CR LF is one break
        out += s[i] == L'\r' || s[i] == L'\n' ? kLineBreakMark : s[i];
    }
    return out;
}

std::wstring RestoreLineBreaks(const std::wstring& s) {
    std::wstring out;
    for (wchar_t c : s) {
        if (c == kLineBreakMark)
            out += L"\r\n";
        else
            out += c;
    }
    return out;
}

std::wstring Quoted(const std::wstring& s) { return L"\"" + s + L"\""; }

std::wstring HexCode(HRESULT hr) {
    wchar_t buf[16];
    wsprintfW(buf, L"0x%08X", static_cast<unsigned>(hr));
    return buf;
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

class DemoWindow final : public SiteEvents {
public:
    explicit DemoWindow(const Options& options) : options_(options), userMode_(!options.designMode) {}
    int Run();

    // SiteEvents
    void OnPropertyChanged(DISPID id) override;
    void OnPosRectChanged(const RECT& pos) override;
    void OnViewChanged() override;
    void OnStatusText(const wchar_t* text) override { SetStatus(text); }

private:
    static LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleMain(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleForm(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    bool CreateWindows();
    HWND Add(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id = 0,
             DWORD exStyle = 0);
    void StartControl();
    void OnReady();
    // Writes the ready file and starts the quit timer, as asked on the command line.
    void Ready();
    // The Open dialog is up and shows the preview of options_.previewFile.
    bool PreviewShown();
    bool ConfirmClose();

    void OnCommand(int id, int code, HWND from);
    int EditIndex(HWND hwnd) const;
    void ApplyEdit(int index);
    void ShowHelp(int index);
    void RefreshProperties();
    void RefreshGeometry();
    void ShowResults();
    void SetStatus(const std::wstring& text);
    void SetModified(bool modified, const std::wstring& why = {});
    void EnableCommands(bool enable);

    void CallDialog(const wchar_t* method);
    void ShowPropertyPages();
    void ShowAbout();
    void SaveBag();
    void LoadBag();
    void RequestSize();

    void PaintForm(HWND hwnd);
    void DrawViewBox(const DRAWITEMSTRUCT& item);
    std::wstring NameOf(DISPID id) const;

    Options options_;
    bool userMode_;
    bool modified_ = false;
    int previewTicks_ = 0;
    std::wstring faceName_;
    // The screen's DPI: the layout below is given at 96 and scaled to it, as the font is.
    int dpi_ = 96;
    int Px(int length) const { return MulDiv(length, dpi_, 96); }
    qcd::win::unique_hfont font_;
    qcd::win::unique_hfont boldFont_;

    HWND hwnd_ = nullptr;
    HWND form_ = nullptr;
    HWND viewBox_ = nullptr;
    HWND designCheck_ = nullptr;
    HWND modifiedLabel_ = nullptr;
    HWND geometryLabel_ = nullptr;
    HWND snapLabel_ = nullptr;
    HWND statusLine_ = nullptr;
    HWND helpName_ = nullptr;
    HWND helpText_ = nullptr;
    std::array<HWND, 3> results_{};
    std::array<HWND, kCount> edits_{};
    std::array<HWND, kCount> hints_{};
    std::array<DISPID, kCount> dispIds_{};

    HostedControl control_;
    SIZE requested_{kRequestedRect.right - kRequestedRect.left, kRequestedRect.bottom - kRequestedRect.top};
};

// --- Window plumbing --------------------------------------------------------------------

LRESULT CALLBACK DemoWindow::MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<DemoWindow*>(cs->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<DemoWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = 0;
    bool handled = false;
    qcd::win::GuardedVoid("demo main window", [&] {
        result = self->HandleMain(msg, wp, lp);
        handled = true;
    });
    return handled ? result : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK DemoWindow::FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<DemoWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = 0;
    bool handled = false;
    qcd::win::GuardedVoid("demo form", [&] {
        result = self->HandleForm(hwnd, msg, wp, lp);
        handled = true;
    });
    return handled ? result : DefWindowProcW(hwnd, msg, wp, lp);
}

HWND DemoWindow::Add(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id,
                     DWORD exStyle) {
    HWND child = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, Px(x), Px(y), Px(w), Px(h), hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                 nullptr);
    if (child) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return child;
}

bool DemoWindow::CreateWindows() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainClass;
    if (!RegisterClassExW(&wc)) return false;
    wc.lpfnWndProc = FormProc;
    wc.hIcon = nullptr;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpszClassName = kFormClass;
    if (!RegisterClassExW(&wc)) return false;

    faceName_ = JapaneseFace();
    LOGFONTW lf{};
    {
        qcd::win::window_dc screen(nullptr);
        if (screen) dpi_ = GetDeviceCaps(screen.get(), LOGPIXELSY);
        lf.lfHeight = -MulDiv(9, dpi_, 72);
    }
    lf.lfCharSet = faceName_.empty() ? DEFAULT_CHARSET : SHIFTJIS_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    wcsncpy(lf.lfFaceName, faceName_.c_str(), LF_FACESIZE - 1);
    font_.reset(CreateFontIndirectW(&lf));
    lf.lfWeight = FW_BOLD;
    boldFont_.reset(CreateFontIndirectW(&lf));

    // No WS_CLIPCHILDREN: group boxes leave their inside to the parent's background.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, Px(kClientWidth), Px(kClientHeight)};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int w = frame.right - frame.left, h = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    if (!CreateWindowExW(0, kMainClass, kTitle, style, x, y, w, h, nullptr, nullptr, instance, this))
        return false;

    // Left: the form and its commands.
    Add(L"BUTTON", L"Form1", BS_GROUPBOX, 12, 6, 300, 196);
    form_ = CreateWindowExW(WS_EX_CLIENTEDGE, kFormClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                            Px(kFormRect.left), Px(kFormRect.top), Px(kFormRect.right - kFormRect.left),
                            Px(kFormRect.bottom - kFormRect.top), hwnd_, nullptr, instance, this);
    designCheck_ = Add(L"BUTTON", L"デザイン モード (UserMode = False)", BS_AUTOCHECKBOX | WS_TABSTOP, 12, 210,
                       240, 20, kIdDesignMode);
    SendMessageW(designCheck_, BM_SETCHECK, userMode_ ? BST_UNCHECKED : BST_CHECKED, 0);
    modifiedLabel_ = Add(L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS, 12, 234, 244, 18);
    geometryLabel_ = Add(L"STATIC", L"", SS_LEFTNOWORDWRAP, 12, 254, 244, 18);
    snapLabel_ = Add(L"STATIC", L"", SS_LEFTNOWORDWRAP, 12, 274, 244, 18);
    viewBox_ = Add(L"STATIC", L"", SS_OWNERDRAW, 262, 212, 50, 50, kIdViewBox);
    Add(L"STATIC", L"Draw", SS_CENTER, 262, 266, 50, 16);

    const struct {
        int id;
        const wchar_t* text;
    } buttons[] = {{kIdOpen, L"開く..."},           {kIdSave, L"保存..."},          {kIdPages, L"プロパティ..."},
                   {kIdAbout, L"バージョン情報..."}, {kIdBagSave, L"バッグに保存"},   {kIdBagLoad, L"バッグから読込"}};
    for (int i = 0; i < 6; ++i)
        Add(L"BUTTON", buttons[i].text, BS_PUSHBUTTON | WS_TABSTOP, 12 + (i % 3) * 103, 300 + (i / 3) * 32, 94, 26,
            buttons[i].id);
    Add(L"BUTTON", L"96 × 64 に広げてみる", BS_PUSHBUTTON | WS_TABSTOP, 12, 364, 300, 26, kIdRequestSize);

    Add(L"BUTTON", L"ダイアログの結果", BS_GROUPBOX, 12, 398, 300, 78);
    const wchar_t* resultNames[] = {L"FileName", L"FileTitle", L"InitDir"};
    for (int i = 0; i < 3; ++i) {
        Add(L"STATIC", resultNames[i], SS_LEFTNOWORDWRAP, 22, 416 + i * 18, 64, 16);
        results_[i] = Add(L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS, 88, 416 + i * 18, 216, 16);
    }

    // Right: the property list.
    Add(L"BUTTON", L"プロパティ (IDispatch で名前から)", BS_GROUPBOX, 324, 6, 444, 470);
    for (int i = 0; i < kCount; ++i) {
        const int y = kRowTop + i * kRowHeight;
        Add(L"STATIC", kProperties[i], SS_LEFTNOWORDWRAP, 336, y + 3, 104, 18);
        edits_[i] = Add(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, 442, y, 170, 21, kIdFirstEdit + i,
                        WS_EX_CLIENTEDGE);
        hints_[i] = Add(L"STATIC", L"", SS_LEFTNOWORDWRAP, 618, y + 3, 146, 18);
    }
    const int helpTop = kRowTop + kCount * kRowHeight + 6;
    helpName_ = Add(L"STATIC", L"", SS_LEFTNOWORDWRAP, 336, helpTop, 424, 18);
    SendMessageW(helpName_, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_.get()), FALSE);
    helpText_ = Add(L"STATIC", L"", SS_LEFT, 336, helpTop + 20, 424, 470 - helpTop - 22);

    statusLine_ = Add(L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_ENDELLIPSIS, 12, 484, 756, 22, 0,
                      WS_EX_STATICEDGE);
    return true;
}

int DemoWindow::Run() {
    if (!CreateWindows()) return 1;
    StartControl();
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    PostMessageW(hwnd_, kMsgReady, 0, 0);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Enter in a property's box assigns it, as in a property browser.
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && EditIndex(msg.hwnd) >= 0) {
            ApplyEdit(EditIndex(msg.hwnd));
            continue;
        }
        if (IsDialogMessageW(hwnd_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

LRESULT DemoWindow::HandleMain(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
            return 0;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            if (item->CtlID != kIdViewBox) break;
            DrawViewBox(*item);
            return TRUE;
        }
        case WM_CTLCOLORSTATIC: {
            const HWND from = reinterpret_cast<HWND>(lp);
            const HDC dc = reinterpret_cast<HDC>(wp);
            bool dim = false;
            for (HWND hint : hints_) dim = dim || hint == from;
            if (from == modifiedLabel_ && modified_)
                SetTextColor(dc, RGB(192, 0, 0));
            else if (dim)
                SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
            else
                break;
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case kMsgReady:
            OnReady();
            return 0;
        case WM_TIMER:
            if (wp == kQuitTimer) {
                // An Open dialog still up is cancelled first: the control must not go while
                // its dialog runs.
                if (HWND dialog = OpenDialogOfThisThread()) {
                    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                    return 0;
                }
                KillTimer(hwnd_, kQuitTimer);
                PostMessageW(hwnd_, WM_CLOSE, 0, 0);
            } else if (wp == kPreviewTimer && (PreviewShown() || ++previewTicks_ > kPreviewTicks)) {
                // Ready also when the file never shows up: whoever waits on the ready file must
                // not wait forever.
                KillTimer(hwnd_, kPreviewTimer);
                Ready();
            }
            return 0;
        case WM_CLOSE:
            if (!ConfirmClose()) return 0;
            DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            // The control goes before its parent window does.
            control_.Close();
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT DemoWindow::HandleForm(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT:
            PaintForm(hwnd);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// --- The control ------------------------------------------------------------------------

void DemoWindow::StartControl() {
    ControlSource source{options_.libraryPath, !options_.libraryOnly};
    bool fromLibrary = false;
    HRESULT hr = control_.Create(source, &fromLibrary);
    if (FAILED(hr)) {
        SetStatus(L"コントロールを作成できません: " + HexCode(hr) + L" (regsvr32 で登録するか --ocx で指定)");
        EnableCommands(false);
        return;
    }
    std::wstring status = fromLibrary ? L"作成: " + FileNameOf(options_.libraryPath) + L" から直接 (未登録)"
                                      : L"作成: CoCreateInstance";

    // Load the bag if there is one, as a form does when it is opened.
    auto bag = com_ptr<TextPropertyBag>::attach(TextPropertyBag::Create());
    int badLine = 0;
    const HRESULT fileResult = bag->LoadFile(options_.bagPath, &badLine);
    const bool haveBag = SUCCEEDED(fileResult);
    HRESULT loadResult = S_FALSE;
    hr = control_.Attach(form_, hwnd_, this, kRequestedRect, userMode_, haveBag ? bag.get() : nullptr,
                         &loadResult);
    if (FAILED(hr)) {
        SetStatus(status + L" / 接続に失敗: " + HexCode(hr));
        EnableCommands(false);
        return;
    }
    if (haveBag && loadResult == S_OK)
        status += L" / 読込: " + FileNameOf(options_.bagPath) + L" (" + std::to_wstring(bag->Entries().size()) +
                  L" 項目)";
    else if (haveBag)
        status += L" / 読込に失敗 (" + HexCode(loadResult) + L"): InitNew";
    else if (badLine)
        status += L" / " + FileNameOf(options_.bagPath) + L" の " + std::to_wstring(badLine) +
                  L" 行目が読めません: InitNew";
    else
        status += L" / 新規 (InitNew)";

    hr = control_.Activate();
    if (FAILED(hr)) status += L" / インプレース活性化に失敗: " + HexCode(hr);

    IDispatch* dispatch = control_.Dispatch();
    for (int i = 0; i < kCount; ++i) {
        dispIds_[i] = DISPID_UNKNOWN;
        DispIdOf(dispatch, kProperties[i], &dispIds_[i]);
        std::wstring hint = TypeHintOf(dispatch, dispIds_[i]);
        if (dispIds_[i] == qcd::DISPID_FileTitle) hint += L" 読取専用";
        SetWindowTextW(hints_[i], hint.c_str());
    }
    RefreshProperties();
    RefreshGeometry();
    ShowResults();
    SetModified(false);
    ShowHelp(2);
    status += L" / フォント: " + (faceName_.empty() ? std::wstring(L"既定") : faceName_);
    SetStatus(status);
}

void DemoWindow::OnReady() {
    // The picture a screenshot takes is the one a person sees: everything painted first.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (!options_.previewFile.empty()) {
        // Ready once the Open dialog shows the file's preview; the timer ticks inside its loop.
        SetTimer(hwnd_, kPreviewTimer, 100, nullptr);
        PostMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(kIdOpen, BN_CLICKED), 0);
        return;
    }
    Ready();
}

bool DemoWindow::PreviewShown() {
    HWND dialog = OpenDialogOfThisThread();
    HWND panel = dialog ? PreviewPanelOf(dialog) : nullptr;
    if (!panel) return false;
    if (TextOf(GetDlgItem(panel, IDC_TITLE_LABEL)) != options_.previewFile) {
        SelectInFileList(dialog, options_.previewFile);
        return false;
    }
    return TextOf(GetDlgItem(panel, IDC_STATUS_LABEL)) != L"Loading...";
}

void DemoWindow::Ready() {
    if (!options_.readyFile.empty()) {
        qcd::win::unique_file file(CreateFileW(options_.readyFile.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            const char ready[] = "ready\n";
            DWORD written = 0;
            WriteFile(file.get(), ready, sizeof ready - 1, &written, nullptr);
        }
    }
    if (options_.quitAfterMs) SetTimer(hwnd_, kQuitTimer, options_.quitAfterMs, nullptr);
}

bool DemoWindow::ConfirmClose() {
    // Unattended runs never wait on a question.
    if (!modified_ || options_.quitAfterMs || !control_.Exists()) return true;
    const int answer = MessageBoxW(hwnd_, (FileNameOf(options_.bagPath) + L" に変更を保存しますか?").c_str(),
                                   kTitle, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) return false;
    if (answer == IDYES) SaveBag();
    return true;
}

void DemoWindow::OnPropertyChanged(DISPID id) {
    // What a form does on a change notification: mark itself dirty and refresh the browser.
    SetModified(true, L"OnChanged: " + NameOf(id));
    RefreshProperties();
}

void DemoWindow::OnPosRectChanged(const RECT&) {
    RefreshGeometry();
    InvalidateRect(form_, nullptr, TRUE);
}

void DemoWindow::OnViewChanged() {
    if (viewBox_) InvalidateRect(viewBox_, nullptr, TRUE);
}

std::wstring DemoWindow::NameOf(DISPID id) const {
    for (int i = 0; i < kCount; ++i)
        if (dispIds_[i] == id) return kProperties[i];
    return L"DISPID " + std::to_wstring(id);
}

// --- Property list ----------------------------------------------------------------------

int DemoWindow::EditIndex(HWND hwnd) const {
    for (int i = 0; i < kCount; ++i)
        if (edits_[i] == hwnd) return i;
    return -1;
}

void DemoWindow::RefreshProperties() {
    IDispatch* dispatch = control_.Dispatch();
    if (!dispatch) return;
    for (int i = 0; i < kCount; ++i) {
        std::wstring text;
        Failure failure;
        if (FAILED(GetPropertyText(dispatch, kProperties[i], text, &failure))) text = L"<" + failure.Text() + L">";
        text = ShowLineBreaks(text);
        SetWindowTextW(edits_[i], text.c_str());
        SendMessageW(edits_[i], EM_SETMODIFY, FALSE, 0);
    }
}

void DemoWindow::ApplyEdit(int index) {
    IDispatch* dispatch = control_.Dispatch();
    if (!dispatch || index < 0 || index >= kCount) return;
    const int length = GetWindowTextLengthW(edits_[index]);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(edits_[index], text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    text = RestoreLineBreaks(text);
    SendMessageW(edits_[index], EM_SETMODIFY, FALSE, 0);

    Failure failure;
    const HRESULT hr = PutPropertyText(dispatch, kProperties[index], text, &failure);
    if (FAILED(hr)) {
        SetStatus(std::wstring(kProperties[index]) + L" = " + Quoted(text) + L": " + failure.Text());
        MessageBeep(MB_ICONWARNING);
    } else {
        SetStatus(std::wstring(kProperties[index]) + L" = " + Quoted(text) + L" を設定しました");
    }
    // A failed assignment leaves the control's value; the box shows it again.
    RefreshProperties();
}

void DemoWindow::ShowHelp(int index) {
    if (index < 0 || index >= kCount) return;
    IDispatch* dispatch = control_.Dispatch();
    const std::wstring help = dispatch ? HelpStringOf(dispatch, dispIds_[index]) : std::wstring();
    SetWindowTextW(helpName_, kProperties[index]);
    SetWindowTextW(helpText_, help.c_str());
}

void DemoWindow::RefreshGeometry() {
    const HWND window = control_.Window();
    std::wstring text;
    if (window) {
        RECT r;
        GetWindowRect(window, &r);
        MapWindowPoints(nullptr, form_, reinterpret_cast<POINT*>(&r), 2);
        text = L"位置 (" + std::to_wstring(r.left) + L", " + std::to_wstring(r.top) + L")  サイズ " +
               std::to_wstring(r.right - r.left) + L" × " + std::to_wstring(r.bottom - r.top) + L" px";
    } else {
        text = L"インプレース活性化されていません";
    }
    SetWindowTextW(geometryLabel_, text.c_str());
    std::wstring snap;
    if (const Site* site = control_.GetSite())
        snap = L"要求 " + std::to_wstring(requested_.cx) + L" × " + std::to_wstring(requested_.cy) +
               L" → OnPosRectChange " + std::to_wstring(site->PosRectChanges()) + L" 回";
    SetWindowTextW(snapLabel_, snap.c_str());
}

void DemoWindow::ShowResults() {
    IDispatch* dispatch = control_.Dispatch();
    const wchar_t* names[] = {L"FileName", L"FileTitle", L"InitDir"};
    for (int i = 0; i < 3; ++i) {
        std::wstring text;
        Failure failure;
        if (dispatch && FAILED(GetPropertyText(dispatch, names[i], text, &failure))) text = failure.Text();
        SetWindowTextW(results_[i], text.empty() ? L"(空)" : text.c_str());
    }
}

void DemoWindow::SetStatus(const std::wstring& text) { SetWindowTextW(statusLine_, (L" " + text).c_str()); }

void DemoWindow::SetModified(bool modified, const std::wstring& why) {
    modified_ = modified;
    const std::wstring text = modified ? L"フォーム: 変更あり" + (why.empty() ? std::wstring() : L" (" + why + L")")
                                       : L"フォーム: 変更なし";
    SetWindowTextW(modifiedLabel_, text.c_str());
    InvalidateRect(modifiedLabel_, nullptr, TRUE);
}

void DemoWindow::EnableCommands(bool enable) {
    for (int id = kIdDesignMode; id <= kIdRequestSize; ++id) EnableWindow(GetDlgItem(hwnd_, id), enable);
    for (HWND edit : edits_) EnableWindow(edit, enable);
}

// --- Commands ---------------------------------------------------------------------------

void DemoWindow::OnCommand(int id, int code, HWND from) {
    const int edit = EditIndex(from);
    if (edit >= 0) {
        if (code == EN_SETFOCUS) ShowHelp(edit);
        // Leaving a changed box assigns it too.
        if (code == EN_KILLFOCUS && SendMessageW(from, EM_GETMODIFY, 0, 0)) ApplyEdit(edit);
        return;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
        case kIdDesignMode: {
            userMode_ = SendMessageW(designCheck_, BM_GETCHECK, 0, 0) != BST_CHECKED;
            control_.SetUserMode(userMode_);
            InvalidateRect(form_, nullptr, TRUE);
            SetStatus(userMode_ ? L"実行モード: UserMode = True (FileTitle への代入はエラー 382)"
                                : L"デザイン モード: UserMode = False (FileTitle への代入はエラー 387)");
            break;
        }
        case kIdOpen: CallDialog(L"ShowOpen"); break;
        case kIdSave: CallDialog(L"ShowSave"); break;
        case kIdPages: ShowPropertyPages(); break;
        case kIdAbout: ShowAbout(); break;
        case kIdBagSave: SaveBag(); break;
        case kIdBagLoad: LoadBag(); break;
        case kIdRequestSize: RequestSize(); break;
    }
}

void DemoWindow::CallDialog(const wchar_t* method) {
    IDispatch* dispatch = control_.Dispatch();
    DISPID id = DISPID_UNKNOWN;
    Failure failure;
    HRESULT hr = DispIdOf(dispatch, method, &id);
    if (SUCCEEDED(hr)) {
        hr = CallMethod(dispatch, id, &failure);
    } else {
        failure.hr = hr;
        failure.number = RuntimeErrorNumber(hr);
    }
    SetStatus(std::wstring(method) + L": " + (SUCCEEDED(hr) ? std::wstring(L"完了") : failure.Text()));
    RefreshProperties();
    ShowResults();
}

void DemoWindow::ShowPropertyPages() {
    auto specify = com_ptr<IUnknown>(control_.Unknown()).query<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    if (!specify) {
        SetStatus(L"プロパティ ページはありません (ISpecifyPropertyPages なし)");
        return;
    }
    PagesOwner pages;
    HRESULT hr = specify->GetPages(&pages.pages);
    if (FAILED(hr)) {
        SetStatus(L"ISpecifyPropertyPages::GetPages: " + HexCode(hr));
        return;
    }
    if (pages.pages.cElems == 0) {
        SetStatus(L"プロパティ ページはありません (0 ページ)");
        return;
    }
    // A control taken straight from its library file: the frame creates the pages through
    // COM, so their classes are offered from that library while it is up.
    std::vector<DWORD> cookies;
    for (ULONG i = 0; i < pages.pages.cElems; ++i) {
        com_ptr<IClassFactory> factory;
        DWORD cookie = 0;
        if (SUCCEEDED(control_.LibraryClassObject(pages.pages.pElems[i], factory.put())) &&
            SUCCEEDED(CoRegisterClassObject(pages.pages.pElems[i], factory.get(), CLSCTX_INPROC_SERVER,
                                            REGCLS_MULTIPLEUSE, &cookie)))
            cookies.push_back(cookie);
    }
    IUnknown* objects[] = {control_.Unknown()};
    hr = OleCreatePropertyFrame(hwnd_, 40, 40, L"QuorComDlg1", 1, objects, pages.pages.cElems, pages.pages.pElems,
                                GetUserDefaultLCID(), 0, nullptr);
    for (DWORD cookie : cookies) CoRevokeClassObject(cookie);
    SetStatus(L"プロパティ ページ (" + std::to_wstring(pages.pages.cElems) + L" ページ): " +
              (SUCCEEDED(hr) ? std::wstring(L"閉じました") : HexCode(hr)));
    RefreshProperties();
}

void DemoWindow::ShowAbout() {
    Failure failure;
    const HRESULT hr = CallMethod(control_.Dispatch(), DISPID_ABOUTBOX, &failure);
    SetStatus(SUCCEEDED(hr) ? std::wstring(L"Show_AboutBox (DISPID -552): 完了")
                            : L"Show_AboutBox (DISPID -552): " + failure.Text());
}

void DemoWindow::SaveBag() {
    auto bag = com_ptr<TextPropertyBag>::attach(TextPropertyBag::Create());
    HRESULT hr = control_.Save(bag.get());
    if (FAILED(hr)) {
        SetStatus(L"IPersistPropertyBag::Save: " + HexCode(hr));
        return;
    }
    hr = bag->SaveFile(options_.bagPath);
    if (FAILED(hr)) {
        SetStatus(options_.bagPath + L" に書けません: " + HexCode(hr));
        return;
    }
    SetModified(false);
    SetStatus(L"保存: " + options_.bagPath + L" (既定値でない " + std::to_wstring(bag->Entries().size()) +
              L" 項目)");
}

void DemoWindow::LoadBag() {
    auto bag = com_ptr<TextPropertyBag>::attach(TextPropertyBag::Create());
    int badLine = 0;
    HRESULT hr = bag->LoadFile(options_.bagPath, &badLine);
    if (FAILED(hr)) {
        SetStatus(badLine ? options_.bagPath + L" の " + std::to_wstring(badLine) + L" 行目が読めません"
                          : options_.bagPath + L" を開けません: " + HexCode(hr));
        return;
    }
    hr = control_.Load(bag.get());
    RefreshProperties();
    ShowResults();
    if (FAILED(hr)) {
        SetStatus(L"IPersistPropertyBag::Load: " + HexCode(hr));
        return;
    }
    SetModified(false);
    SetStatus(L"読込: " + options_.bagPath + L" (" + std::to_wstring(bag->Entries().size()) + L" 項目)");
}

void DemoWindow::RequestSize() {
    const Site* site = control_.GetSite();
    if (!site || !control_.Window()) return;
    RECT wanted = site->PosRect();
    wanted.right = wanted.left + 96;
    wanted.bottom = wanted.top + 64;
    const int before = site->PosRectChanges();
    requested_ = {wanted.right - wanted.left, wanted.bottom - wanted.top};
    const HRESULT hr = control_.RequestRect(wanted);
    RefreshGeometry();
    InvalidateRect(form_, nullptr, TRUE);
    const RECT& now = site->PosRect();
    SetStatus(L"SetObjectRects 96 × 64 (" + HexCode(hr) + L") → OnPosRectChange " +
              std::to_wstring(site->PosRectChanges() - before) + L" 回, " + std::to_wstring(now.right - now.left) +
              L" × " + std::to_wstring(now.bottom - now.top) + L" px に戻りました");
}

// --- Painting ---------------------------------------------------------------------------

void DemoWindow::PaintForm(HWND hwnd) {
    qcd::win::paint_dc paint(hwnd);
    const HDC dc = paint.get();
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));

    const Site* site = control_.GetSite();
    if (!userMode_) {
        // The designer's grid.
        const COLORREF dot = GetSysColor(COLOR_BTNSHADOW);
        for (int y = 0; y < client.bottom; y += 8)
            for (int x = 0; x < client.right; x += 8) SetPixel(dc, x, y, dot);
    }
    if (!site) return;
    const RECT pos = site->PosRect();
    // Without a window of its own the control is drawn through its view.
    if (!control_.Window()) control_.Draw(dc, pos);
    if (!userMode_) {
        // Grab handles around the selected control, as a form designer shows them.
        const HBRUSH handle = GetSysColorBrush(COLOR_HIGHLIGHT);
        const int xs[] = {pos.left - 5, (pos.left + pos.right) / 2 - 2, pos.right + 1};
        const int ys[] = {pos.top - 5, (pos.top + pos.bottom) / 2 - 2, pos.bottom + 1};
        for (int yi = 0; yi < 3; ++yi)
            for (int xi = 0; xi < 3; ++xi) {
                if (xi == 1 && yi == 1) continue;
                RECT r{xs[xi], ys[yi], xs[xi] + 4, ys[yi] + 4};
                FillRect(dc, &r, handle);
            }
    }
}

void DemoWindow::DrawViewBox(const DRAWITEMSTRUCT& item) {
    RECT box = item.rcItem;
    FillRect(item.hDC, &box, GetSysColorBrush(COLOR_WINDOW));
    FrameRect(item.hDC, &box, GetSysColorBrush(COLOR_BTNSHADOW));
    if (!control_.Exists()) return;
    const int size = 32;
    const int x = (box.left + box.right - size) / 2, y = (box.top + box.bottom - size) / 2;
    control_.Draw(item.hDC, RECT{x, y, x + size, y + size});
}

}  // namespace

int RunWindow(const Options& options) {
    DemoWindow window(options);
    return window.Run();
}

}  // namespace demo
