// The control on a container's form: its window, size, face, in-place activation, the view
// the container draws, and the lifecycle events that stop the timers.
#include "control/QuorComDlg.h"
#include "control/registration.h"
#include "resources/resource_ids.h"

namespace qcd {

using win::com_ptr;

namespace {

constexpr wchar_t kWindowClass[] = L"QuorComDlgControl";

LRESULT CALLBACK ControlWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<QuorComDlg*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = 0;
    bool handled = false;
    win::GuardedVoid("control window", [&] {
        result = self->HandleMessage(hwnd, msg, wp, lp);
        handled = true;
    });
    return handled ? result : 0;
}

ATOM RegisterControlClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = ControlWndProc;
        wc.hInstance = ThisModule();
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kWindowClass;
        ATOM a = RegisterClassExW(&wc);
        return a ? a : static_cast<ATOM>(GetClassInfoExW(ThisModule(), kWindowClass, &wc));
    }();
    return atom;
}

}  // namespace

void UnregisterControlWindowClass() { UnregisterClassW(kWindowClass, ThisModule()); }

namespace {

int ScreenLogPixels() {
    win::window_dc screen(nullptr);
    return screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 96;
}

}  // namespace

HRESULT QuorComDlg::CreateControlWindow() {
    if (!RegisterControlClass()) return HRESULT_FROM_WIN32(GetLastError());
    // Hidden until a container activates the control in place: without a container the
    // window still carries the timers and owns the dialogs.
    HWND hwnd = CreateWindowExW(0, kWindowClass, L"", WS_POPUP | WS_CLIPSIBLINGS, 0, 0,
                                kSizePixels, kSizePixels, nullptr, nullptr, ThisModule(), this);
    if (!hwnd) return HRESULT_FROM_WIN32(GetLastError());
    hwnd_.reset(hwnd);
    clock_.Attach(hwnd);
    face_.reset(static_cast<HBITMAP>(
        LoadImageW(ThisModule(), MAKEINTRESOURCEW(IDB_FACE), IMAGE_BITMAP, 0, 0, 0)));
    return S_OK;
}

LRESULT QuorComDlg::HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            win::paint_dc dc(hwnd);
            RECT rc;
            GetClientRect(hwnd, &rc);
            DrawFace(dc.get(), rc);
            return 0;
        }
        case WM_ERASEBKGND: return 1;
        case WM_TIMER:
            win::GuardedVoid("control timer", [&] { timers_.Tick(static_cast<int>(wp)); });
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            break;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void QuorComDlg::DrawFace(HDC dc, const RECT& bounds) const {
    if (!face_) return;
    win::unique_mem_dc mem(CreateCompatibleDC(dc));
    if (!mem) return;
    win::select_object select(mem.get(), face_.get());
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
               mem.get(), 0, 0, kSizePixels, kSizePixels, SRCCOPY);
}

SIZEL QuorComDlg::ExtentHimetric() const {
    const LONG himetric = MulDiv(kSizePixels, 2540, ScreenLogPixels());
    return {himetric, himetric};
}

// --- Lifecycle --------------------------------------------------------------------------

void QuorComDlg::OnCreated() { timers_.StopAll(); }
void QuorComDlg::OnHidden() { timers_.StopAll(); }
void QuorComDlg::OnDestroying() { timers_.StopAll(); }

void QuorComDlg::SetDefaultProperties() {
    props_ = Properties{};
    dirty_ = false;
}

// Whatever size the container asks for, the control stays 32 x 32 pixels; the container is
// told, which may call back into SetObjectRects, hence the guard.
void QuorComDlg::OnResize(const RECT& requested) {
    if (inResize_) return;
    inResize_ = true;
    RECT fixed{requested.left, requested.top, requested.left + kSizePixels, requested.top + kSizePixels};
    posRect_ = fixed;
    SetWindowPos(hwnd_.get(), nullptr, fixed.left, fixed.top, kSizePixels, kSizePixels,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (inPlaceSite_ && !EqualRect(&fixed, &requested)) inPlaceSite_->OnPosRectChange(&fixed);
    inResize_ = false;
}

// --- IOleObject -------------------------------------------------------------------------

HRESULT QuorComDlg::SetClientSite(IOleClientSite* site) {
    if (!site) InPlaceDeactivate();
    clientSite_ = com_ptr<IOleClientSite>(site);
    return S_OK;
}

HRESULT QuorComDlg::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = com_ptr<IOleClientSite>(clientSite_).detach();
    return S_OK;
}

HRESULT QuorComDlg::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT QuorComDlg::Close(DWORD saveOption) {
    InPlaceDeactivate();
    if (saveOption == OLECLOSE_SAVEIFDIRTY && dirty_ && clientSite_) clientSite_->SaveObject();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

HRESULT QuorComDlg::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }
HRESULT QuorComDlg::GetMoniker(DWORD, DWORD, IMoniker** mk) {
    if (mk) *mk = nullptr;
    return E_NOTIMPL;
}
HRESULT QuorComDlg::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }
HRESULT QuorComDlg::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

HRESULT QuorComDlg::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) {
    if (site && !clientSite_) clientSite_ = com_ptr<IOleClientSite>(site);
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_UIACTIVATE:
            return InPlaceActivate(verb);
        case OLEIVERB_HIDE:
            OnHidden();
            if (hwnd_) ShowWindow(hwnd_.get(), SW_HIDE);
            return S_OK;
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT QuorComDlg::InPlaceActivate(LONG verb) {
    if (!clientSite_) return E_UNEXPECTED;
    if (!inPlaceActive_) {
        auto site = clientSite_.query<IOleInPlaceSite>(IID_IOleInPlaceSite);
        if (!site) return E_NOINTERFACE;
        if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
        HRESULT hr = site->OnInPlaceActivate();
        if (FAILED(hr)) return hr;
        inPlaceSite_ = site;
        inPlaceActive_ = true;

        HWND parent = nullptr;
        site->GetWindow(&parent);
        com_ptr<IOleInPlaceFrame> frame;
        com_ptr<IOleInPlaceUIWindow> doc;
        RECT pos{0, 0, kSizePixels, kSizePixels}, clip = pos;
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        site->GetWindowContext(frame.put(), doc.put(), &pos, &clip, &frameInfo);

        // The window becomes a child of the container's window (style first, then parent).
        SetWindowLongPtrW(hwnd_.get(), GWL_STYLE, WS_CHILD | WS_CLIPSIBLINGS);
        SetParent(hwnd_.get(), parent);
        OnResize(pos);
        ShowWindow(hwnd_.get(), SW_SHOWNA);
    }
    if (verb == OLEIVERB_UIACTIVATE && !uiActive_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
    }
    return S_OK;
}

HRESULT QuorComDlg::EnumVerbs(IEnumOLEVERB** verbs) { return OleRegEnumVerbs(CLSID_QuorComDlg, verbs); }
HRESULT QuorComDlg::Update() { return S_OK; }
HRESULT QuorComDlg::IsUpToDate() { return S_OK; }

HRESULT QuorComDlg::GetUserClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = CLSID_QuorComDlg;
    return S_OK;
}

HRESULT QuorComDlg::GetUserType(DWORD form, LPOLESTR* type) { return OleRegGetUserType(CLSID_QuorComDlg, form, type); }

HRESULT QuorComDlg::SetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    // The size snaps back: GetExtent keeps answering 32 x 32 pixels.
    return S_OK;
}

HRESULT QuorComDlg::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = ExtentHimetric();
    return S_OK;
}

HRESULT QuorComDlg::Advise(IAdviseSink* sink, DWORD* cookie) { return adviseHolder_->Advise(sink, cookie); }
HRESULT QuorComDlg::Unadvise(DWORD cookie) { return adviseHolder_->Unadvise(cookie); }
HRESULT QuorComDlg::EnumAdvise(IEnumSTATDATA** e) { return adviseHolder_->EnumAdvise(e); }

HRESULT QuorComDlg::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) {
        *status = 0;
        return S_OK;
    }
    *status = kMiscStatus;
    return S_OK;
}

HRESULT QuorComDlg::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// --- IOleInPlaceObject, IOleInPlaceActiveObject ----------------------------------------

HRESULT QuorComDlg::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = inPlaceActive_ ? hwnd_.get() : nullptr;
    return inPlaceActive_ ? S_OK : E_FAIL;
}

HRESULT QuorComDlg::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT QuorComDlg::InPlaceDeactivate() {
    if (!inPlaceActive_) return S_OK;
    UIDeactivate();
    OnHidden();
    inPlaceActive_ = false;
    // Back to a hidden window of our own (parent first, then style).
    ShowWindow(hwnd_.get(), SW_HIDE);
    SetParent(hwnd_.get(), nullptr);
    SetWindowLongPtrW(hwnd_.get(), GWL_STYLE, WS_POPUP | WS_CLIPSIBLINGS);
    auto site = std::move(inPlaceSite_);
    site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT QuorComDlg::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT QuorComDlg::SetObjectRects(LPCRECT pos, LPCRECT) {
    if (!pos) return E_POINTER;
    OnResize(*pos);
    return S_OK;
}

HRESULT QuorComDlg::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }
HRESULT QuorComDlg::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT QuorComDlg::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT QuorComDlg::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT QuorComDlg::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT QuorComDlg::EnableModeless(BOOL) { return S_OK; }

// --- IOleControl ------------------------------------------------------------------------

HRESULT QuorComDlg::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT QuorComDlg::OnMnemonic(MSG*) { return E_NOTIMPL; }
// UserMode is read when it is needed, so a change needs no work here.
HRESULT QuorComDlg::OnAmbientPropertyChange(DISPID) { return S_OK; }
HRESULT QuorComDlg::FreezeEvents(BOOL) { return S_OK; }

// --- IViewObject2 -----------------------------------------------------------------------

HRESULT QuorComDlg::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDc,
                         LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!drawDc || !bounds) return E_INVALIDARG;
    DrawFace(drawDc, RECT{bounds->left, bounds->top, bounds->right, bounds->bottom});
    return S_OK;
}

HRESULT QuorComDlg::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (colors) *colors = nullptr;
    return S_FALSE;
}

HRESULT QuorComDlg::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
HRESULT QuorComDlg::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT QuorComDlg::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    viewSink_ = com_ptr<IAdviseSink>(sink);
    viewAspects_ = aspects;
    viewAdviseFlags_ = flags;
    return S_OK;
}

HRESULT QuorComDlg::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewAdviseFlags_;
    if (sink) *sink = com_ptr<IAdviseSink>(viewSink_).detach();
    return S_OK;
}

HRESULT QuorComDlg::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

}  // namespace qcd
