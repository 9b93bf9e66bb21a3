#include "demo/container.h"

#include "control/ids.h"
#include "platform/com_object.h"

namespace demo {

using qcd::win::com_ptr;

// --- Site -------------------------------------------------------------------------------

HRESULT Site::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    void* itf = nullptr;
    if (riid == IID_IUnknown || riid == IID_IOleClientSite)
        itf = static_cast<IOleClientSite*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite)
        itf = static_cast<IOleInPlaceSite*>(this);
    else if (riid == IID_IOleInPlaceUIWindow || riid == IID_IOleInPlaceFrame)
        itf = static_cast<IOleInPlaceFrame*>(this);
    else if (riid == IID_IDispatch)
        itf = static_cast<IDispatch*>(this);
    else if (riid == IID_IPropertyNotifySink)
        itf = static_cast<IPropertyNotifySink*>(this);
    else if (riid == IID_IAdviseSink)
        itf = static_cast<IAdviseSink*>(this);
    *ppv = itf;
    if (!itf) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG Site::Release() {
    const ULONG r = --refs_;
    if (r == 0) delete this;
    return r;
}

HRESULT Site::SaveObject() { return S_OK; }
HRESULT Site::GetMoniker(DWORD, DWORD, IMoniker** mk) {
    if (mk) *mk = nullptr;
    return E_NOTIMPL;
}
HRESULT Site::GetContainer(IOleContainer** container) {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}
HRESULT Site::ShowObject() { return S_OK; }
HRESULT Site::OnShowWindow(BOOL) { return S_OK; }
HRESULT Site::RequestNewObjectLayout() { return E_NOTIMPL; }

HRESULT Site::GetWindow(HWND* hwnd) {
    if (!hwnd) return E_POINTER;
    *hwnd = form_;
    return S_OK;
}
HRESULT Site::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT Site::CanInPlaceActivate() { return S_OK; }
HRESULT Site::OnInPlaceActivate() {
    inPlaceActive_ = true;
    return S_OK;
}
HRESULT Site::OnUIActivate() { return S_OK; }

HRESULT Site::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                               LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (!frame || !doc || !pos || !clip || !info) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    // The form is its own document window.
    *doc = nullptr;
    *pos = pos_;
    GetClientRect(form_, clip);
    info->fMDIApp = FALSE;
    info->hwndFrame = frame_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT Site::Scroll(SIZE) { return E_NOTIMPL; }
HRESULT Site::OnUIDeactivate(BOOL) { return S_OK; }
HRESULT Site::OnInPlaceDeactivate() {
    inPlaceActive_ = false;
    return S_OK;
}
HRESULT Site::DiscardUndoState() { return E_NOTIMPL; }
HRESULT Site::DeactivateAndUndo() { return E_NOTIMPL; }

// The control wants another rectangle: the form agrees and hands it back through
// SetObjectRects, which is what makes the new size official.
HRESULT Site::OnPosRectChange(LPCRECT pos) {
    if (!pos) return E_POINTER;
    pos_ = *pos;
    ++posRectChanges_;
    if (inPlaceObject_) {
        RECT clip;
        GetClientRect(form_, &clip);
        inPlaceObject_->SetObjectRects(&pos_, &clip);
    }
    if (events_) qcd::win::GuardedVoid("demo site", [&] { events_->OnPosRectChanged(pos_); });
    return S_OK;
}

HRESULT Site::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }
HRESULT Site::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
HRESULT Site::SetBorderSpace(LPCBORDERWIDTHS widths) { return widths ? INPLACE_E_NOTOOLSPACE : S_OK; }
HRESULT Site::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }
HRESULT Site::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }
HRESULT Site::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
HRESULT Site::RemoveMenus(HMENU) { return E_NOTIMPL; }
HRESULT Site::SetStatusText(LPCOLESTR text) {
    if (events_ && text) qcd::win::GuardedVoid("demo site", [&] { events_->OnStatusText(text); });
    return S_OK;
}
HRESULT Site::EnableModeless(BOOL) { return S_OK; }
HRESULT Site::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

HRESULT Site::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}
HRESULT Site::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}
HRESULT Site::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) {
    for (UINT i = 0; ids && i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

// The ambient properties a form offers its controls; UserMode is the one that matters here.
HRESULT Site::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                     UINT*) {
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (!result) return E_POINTER;
    VariantInit(result);
    switch (id) {
        case DISPID_AMBIENT_USERMODE:
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = userMode_ ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case DISPID_AMBIENT_UIDEAD:
        case DISPID_AMBIENT_MESSAGEREFLECT:
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = VARIANT_FALSE;
            return S_OK;
        case DISPID_AMBIENT_SHOWGRABHANDLES:
        case DISPID_AMBIENT_SHOWHATCHING:
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = userMode_ ? VARIANT_FALSE : VARIANT_TRUE;
            return S_OK;
        case DISPID_AMBIENT_DISPLAYNAME:
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(L"QuorComDlg1");
            return V_BSTR(result) ? S_OK : E_OUTOFMEMORY;
        case DISPID_AMBIENT_LOCALEID:
            V_VT(result) = VT_I4;
            V_I4(result) = static_cast<LONG>(GetUserDefaultLCID());
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT Site::OnChanged(DISPID id) {
    if (events_) qcd::win::GuardedVoid("demo site", [&] { events_->OnPropertyChanged(id); });
    return S_OK;
}
HRESULT Site::OnRequestEdit(DISPID) { return S_OK; }

void Site::OnViewChange(DWORD, LONG) {
    if (events_) qcd::win::GuardedVoid("demo site", [&] { events_->OnViewChanged(); });
}

// --- HostedControl ----------------------------------------------------------------------

HRESULT HostedControl::Create(const ControlSource& source, bool* fromLibrary) {
    if (fromLibrary) *fromLibrary = false;
    HRESULT hr = REGDB_E_CLASSNOTREG;
    if (source.registryFirst)
        hr = CoCreateInstance(qcd::CLSID_QuorComDlg, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              object_.put_void());
    if (SUCCEEDED(hr) || source.libraryPath.empty()) return hr;

    // Not registered (or registered somewhere this process does not look): the library's
    // own class factory needs no registry at all.
    library_.reset(LoadLibraryW(source.libraryPath.c_str()));
    if (!library_) return HRESULT_FROM_WIN32(GetLastError());
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(library_.get(), "DllGetClassObject")));
    if (!get) return HRESULT_FROM_WIN32(GetLastError());
    com_ptr<IClassFactory> factory;
    hr = get(qcd::CLSID_QuorComDlg, IID_IClassFactory, factory.put_void());
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, IID_IOleObject, object_.put_void());
    if (SUCCEEDED(hr) && fromLibrary) *fromLibrary = true;
    return hr;
}

HRESULT HostedControl::LibraryClassObject(REFCLSID clsid, IClassFactory** factory) const {
    *factory = nullptr;
    if (!library_) return REGDB_E_CLASSNOTREG;
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(library_.get(), "DllGetClassObject")));
    if (!get) return HRESULT_FROM_WIN32(GetLastError());
    return get(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory));
}

HRESULT HostedControl::Attach(HWND form, HWND frame, SiteEvents* events, const RECT& requested,
                              bool userMode, IPropertyBag* bag, HRESULT* loadResult) {
    if (!object_) return E_UNEXPECTED;
    site_ = com_ptr<Site>::attach(new Site(form, frame, events));
    site_->SetPosRect(requested);
    site_->SetUserMode(userMode);

    DWORD misc = 0;
    object_->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    auto clientSite = static_cast<IOleClientSite*>(site_.get());
    HRESULT hr = S_OK;
    if (siteFirst && FAILED(hr = object_->SetClientSite(clientSite))) return hr;

    auto persist = object_.query<IPersistPropertyBag>(IID_IPersistPropertyBag);
    if (!persist) return E_NOINTERFACE;
    HRESULT loaded = bag ? persist->Load(bag, nullptr) : S_FALSE;
    if (loadResult) *loadResult = loaded;
    // A bag the control cannot read still leaves the form with a fresh control.
    if (loaded != S_OK && FAILED(hr = persist->InitNew())) return hr;

    if (!siteFirst && FAILED(hr = object_->SetClientSite(clientSite))) return hr;
    object_->SetHostNames(L"QuorDemo", L"QuorComDlg1");

    dispatch_ = object_.query<IDispatch>(IID_IDispatch);
    if (!dispatch_) return E_NOINTERFACE;

    if (auto cpc = object_.query<IConnectionPointContainer>(IID_IConnectionPointContainer)) {
        if (SUCCEEDED(cpc->FindConnectionPoint(IID_IPropertyNotifySink, propNotifyPoint_.put())) &&
            FAILED(propNotifyPoint_->Advise(static_cast<IPropertyNotifySink*>(site_.get()),
                                            &propNotifyCookie_)))
            propNotifyPoint_.reset();
    }
    if (auto view = object_.query<IViewObject>(IID_IViewObject))
        viewAdvised_ = SUCCEEDED(view->SetAdvise(DVASPECT_CONTENT, 0, static_cast<IAdviseSink*>(site_.get())));
    return S_OK;
}

HRESULT HostedControl::Activate() {
    if (!object_ || !site_) return E_UNEXPECTED;
    inPlace_ = object_.query<IOleInPlaceObject>(IID_IOleInPlaceObject);
    site_->SetInPlaceObject(inPlace_.get());
    HWND form = nullptr;
    site_->GetWindow(&form);
    RECT pos = site_->PosRect();
    return object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_.get()), 0,
                           form, &pos);
}

void HostedControl::Close() {
    if (inPlace_) inPlace_->InPlaceDeactivate();
    if (site_) site_->Disconnect();
    if (propNotifyPoint_) propNotifyPoint_->Unadvise(propNotifyCookie_);
    propNotifyPoint_.reset();
    if (viewAdvised_) {
        if (auto view = object_.query<IViewObject>(IID_IViewObject)) view->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
        viewAdvised_ = false;
    }
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
    }
    inPlace_.reset();
    dispatch_.reset();
    object_.reset();
    site_.reset();
    library_.reset();
}

HWND HostedControl::Window() const {
    HWND hwnd = nullptr;
    if (inPlace_ && SUCCEEDED(inPlace_->GetWindow(&hwnd))) return hwnd;
    return nullptr;
}

void HostedControl::SetUserMode(bool userMode) {
    if (!site_) return;
    site_->SetUserMode(userMode);
    if (auto control = object_.query<IOleControl>(IID_IOleControl))
        control->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE);
}

HRESULT HostedControl::RequestRect(const RECT& pos) {
    if (!inPlace_ || !site_) return E_UNEXPECTED;
    site_->SetPosRect(pos);
    RECT clip;
    HWND form = nullptr;
    site_->GetWindow(&form);
    GetClientRect(form, &clip);
    return inPlace_->SetObjectRects(&pos, &clip);
}

HRESULT HostedControl::Save(IPropertyBag* bag) {
    auto persist = object_.query<IPersistPropertyBag>(IID_IPersistPropertyBag);
    if (!persist) return E_NOINTERFACE;
    return persist->Save(bag, TRUE, FALSE);
}

HRESULT HostedControl::Load(IPropertyBag* bag) {
    auto persist = object_.query<IPersistPropertyBag>(IID_IPersistPropertyBag);
    if (!persist) return E_NOINTERFACE;
    return persist->Load(bag, nullptr);
}

bool HostedControl::IsDirty() const {
    auto persist = object_.query<IPersistStreamInit>(IID_IPersistStreamInit);
    return persist && persist->IsDirty() == S_OK;
}

HRESULT HostedControl::Draw(HDC dc, const RECT& bounds) const {
    auto view = object_.query<IViewObject>(IID_IViewObject);
    if (!view) return E_NOINTERFACE;
    RECTL r{bounds.left, bounds.top, bounds.right, bounds.bottom};
    return view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &r, nullptr, nullptr, 0);
}

}  // namespace demo
