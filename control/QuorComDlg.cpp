// The control object: identity, automation properties, errors and connection points.
#include "control/QuorComDlg.h"

#include <string>

#include "designtime/about_box.h"
#include "platform/pump.h"
#include "platform/text.h"

namespace qcd {

using win::com_ptr;

namespace {

// The dual interface's type information, loaded from the library's own TYPELIB resource.
HRESULT LoadTypeInfos(com_ptr<ITypeInfo>& dispatchInfo, com_ptr<ITypeInfo>& interfaceInfo,
                      com_ptr<ITypeInfo>& classInfo) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return HRESULT_FROM_WIN32(GetLastError());
    com_ptr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    hr = lib->GetTypeInfoOfGuid(CLSID_QuorComDlg, classInfo.put());
    if (FAILED(hr)) return hr;
    hr = lib->GetTypeInfoOfGuid(IID__QuorComDlg, dispatchInfo.put());
    if (FAILED(hr)) return hr;
    // A dual interface is listed as its dispatch side; Invoke needs the vtable side.
    TYPEATTR* attr = nullptr;
    hr = dispatchInfo->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    const TYPEKIND kind = attr->typekind;
    dispatchInfo->ReleaseTypeAttr(attr);
    if (kind != TKIND_DISPATCH) {
        interfaceInfo = dispatchInfo;
        return S_OK;
    }
    HREFTYPE ref = 0;
    hr = dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
    if (FAILED(hr)) return hr;
    return dispatchInfo->GetRefTypeInfo(ref, interfaceInfo.put());
}

template <typename T>
HRESULT CopyOut(T* out, T value) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}

HRESULT CopyOut(BSTR* out, const std::u16string& value) {
    if (!out) return E_POINTER;
    *out = win::ToBstr(value);
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

HRESULT CreateQuorComDlg(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return win::Guarded("class factory", [&] {
        com_ptr<QuorComDlg> obj = com_ptr<QuorComDlg>::attach(new QuorComDlg());
        HRESULT hr = obj->Initialize();
        if (FAILED(hr)) return hr;
        return obj->QueryInterface(riid, ppv);
    });
}

QuorComDlg::QuorComDlg()
    : propNotify_(this, IID_IPropertyNotifySink), events_(this, DIID___QuorComDlg) {}

QuorComDlg::~QuorComDlg() {
    OnDestroying();
    propNotify_.UnadviseAll();
    events_.UnadviseAll();
    dialogs_.reset();
    // The window must not call back into a half-destroyed object.
    if (hwnd_) SetWindowLongPtrW(hwnd_.get(), GWLP_USERDATA, 0);
    hwnd_.reset();
}

HRESULT QuorComDlg::Initialize() {
    HRESULT hr = LoadTypeInfos(dispatchInfo_, interfaceInfo_, classInfo_);
    if (FAILED(hr)) return hr;
    hr = CreateOleAdviseHolder(adviseHolder_.put());
    if (FAILED(hr)) return hr;
    hr = CreateControlWindow();
    if (FAILED(hr)) return hr;
    dialogs_ = std::make_unique<DialogHost>(props_, timers_, hwnd_.get());
    OnCreated();
    return S_OK;
}

// --- IUnknown ---------------------------------------------------------------------------

HRESULT QuorComDlg::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    void* itf = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID__QuorComDlg)
        itf = static_cast<_QuorComDlg*>(this);
    else if (riid == IID_IOleObject)
        itf = static_cast<IOleObject*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
        itf = static_cast<IOleInPlaceObject*>(this);
    else if (riid == IID_IOleInPlaceActiveObject)
        itf = static_cast<IOleInPlaceActiveObject*>(this);
    else if (riid == IID_IOleControl)
        itf = static_cast<IOleControl*>(this);
    else if (riid == IID_IViewObject || riid == IID_IViewObject2)
        itf = static_cast<IViewObject2*>(this);
    else if (riid == IID_IPersist || riid == IID_IPersistStreamInit)
        itf = static_cast<IPersistStreamInit*>(this);
    else if (riid == IID_IPersistPropertyBag)
        itf = static_cast<IPersistPropertyBag*>(this);
    else if (riid == IID_IPersistStorage)
        itf = static_cast<IPersistStorage*>(this);
    else if (riid == IID_IConnectionPointContainer)
        itf = static_cast<IConnectionPointContainer*>(this);
    else if (riid == IID_IProvideClassInfo || riid == IID_IProvideClassInfo2)
        itf = static_cast<IProvideClassInfo2*>(this);
    else if (riid == IID_ISpecifyPropertyPages)
        itf = static_cast<ISpecifyPropertyPages*>(this);
    else if (riid == IID_ISupportErrorInfo)
        itf = static_cast<ISupportErrorInfo*>(this);
    *ppv = itf;
    if (!itf) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG QuorComDlg::AddRef() { return ++refs_; }

ULONG QuorComDlg::Release() {
    ULONG r = --refs_;
    if (r == 0) delete this;
    return r;
}

// --- IDispatch --------------------------------------------------------------------------

HRESULT QuorComDlg::GetTypeInfoCount(UINT* count) { return CopyOut(count, 1u); }

HRESULT QuorComDlg::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    *info = com_ptr<ITypeInfo>(dispatchInfo_).detach();
    return S_OK;
}

HRESULT QuorComDlg::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return DispGetIDsOfNames(interfaceInfo_.get(), names, count, ids);
}

HRESULT QuorComDlg::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    // The type library converts the arguments: "abc" for a number gives DISP_E_TYPEMISMATCH
    // and 70000 for MaxFileSize DISP_E_OVERFLOW, as automation callers expect.
    SetErrorInfo(0, nullptr);
    return interfaceInfo_->Invoke(static_cast<_QuorComDlg*>(this), id, flags, params, result,
                                  excep, argErr);
}

// --- Errors and notifications -----------------------------------------------------------

HRESULT QuorComDlg::Raise(VbError error) const {
    com_ptr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.put()))) {
        const std::u16string description(VbErrorDescription(error));
        create->SetGUID(IID__QuorComDlg);
        create->SetSource(const_cast<LPOLESTR>(L"QuorCommonDialogControl"));
        create->SetDescription(const_cast<LPOLESTR>(win::Wide(description)));
        if (auto info = create.query<IErrorInfo>(IID_IErrorInfo)) SetErrorInfo(0, info.get());
    }
    return VbErrorHResult(error);
}

bool QuorComDlg::AmbientUserMode() const {
    if (!clientSite_) return true;
    auto ambient = clientSite_.query<IDispatch>(IID_IDispatch);
    if (!ambient) return true;
    VARIANT v;
    VariantInit(&v);
    DISPPARAMS none{};
    HRESULT hr = ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT,
                                 DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr);
    bool userMode = true;
    if (SUCCEEDED(hr) && SUCCEEDED(VariantChangeType(&v, &v, 0, VT_BOOL)))
        userMode = V_BOOL(&v) != VARIANT_FALSE;
    VariantClear(&v);
    return userMode;
}

HRESULT QuorComDlg::NotifyChanged(DISPID id) {
    dirty_ = true;
    // A snapshot: a sink may unadvise while being told.
    std::vector<com_ptr<IPropertyNotifySink>> sinks;
    for (const CONNECTDATA& c : propNotify_.Sinks())
        sinks.emplace_back(static_cast<IPropertyNotifySink*>(c.pUnk));
    for (auto& sink : sinks) {
        HRESULT hr = sink->OnChanged(id);
        if (FAILED(hr)) return hr;
    }
    if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
    return S_OK;
}

HRESULT QuorComDlg::SetString(std::u16string Properties::*field, DISPID id, BSTR value) {
    return win::Guarded("property set", [&] {
        props_.*field = win::FromBstr(value);
        return NotifyChanged(id);
    });
}

template <typename T>
HRESULT QuorComDlg::SetNumber(T Properties::*field, DISPID id, T value) {
    return win::Guarded("property set", [&] {
        props_.*field = value;
        return NotifyChanged(id);
    });
}

// --- _QuorComDlg ------------------------------------------------------------------------

// Modal to the host's top-level window, which stays disabled while the box is up, so no
// second box can be opened from it.
HRESULT QuorComDlg::Show_AboutBox() {
    return win::Guarded("Show_AboutBox", [&] {
        com_ptr<QuorComDlg> alive(this);
        const HRESULT hr = designtime::ShowAboutBox(ModalOwner());
        win::LetPendingMessagesRun();
        return hr;
    });
}

HWND QuorComDlg::ModalOwner() const {
    HWND site = nullptr;
    if (inPlaceSite_) {
        inPlaceSite_->GetWindow(&site);
    } else if (auto window = clientSite_.query<IOleWindow>(IID_IOleWindow)) {
        window->GetWindow(&site);
    }
    if (site) return GetAncestor(site, GA_ROOT);
    return GetActiveWindow();
}

HRESULT QuorComDlg::RunDialog(bool (DialogHost::*show)(HWND owner)) {
    return win::Guarded("ShowOpen/ShowSave", [&] {
        com_ptr<QuorComDlg> alive(this);  // the host may release us from inside the dialog
        if (!((*dialogs_).*show)(hwnd_.get()) && props_.CancelError) return Raise(VbError::Cancel);
        return S_OK;
    });
}

HRESULT QuorComDlg::ShowOpen() { return RunDialog(&DialogHost::ShowOpen); }
HRESULT QuorComDlg::ShowSave() { return RunDialog(&DialogHost::ShowSave); }

HRESULT QuorComDlg::get_DefaultExt(BSTR* v) { return CopyOut(v, props_.DefaultExt); }
HRESULT QuorComDlg::put_DefaultExt(BSTR v) { return SetString(&Properties::DefaultExt, DISPID_DefaultExt, v); }
HRESULT QuorComDlg::get_FileName(BSTR* v) { return CopyOut(v, props_.FileName); }
HRESULT QuorComDlg::put_FileName(BSTR v) { return SetString(&Properties::FileName, DISPID_FileName, v); }
HRESULT QuorComDlg::get_InitDir(BSTR* v) { return CopyOut(v, props_.InitDir); }
HRESULT QuorComDlg::put_InitDir(BSTR v) { return SetString(&Properties::InitDir, DISPID_InitDir, v); }
HRESULT QuorComDlg::get_MaxFileSize(short* v) { return CopyOut<short>(v, props_.MaxFileSize); }
HRESULT QuorComDlg::put_MaxFileSize(short v) { return SetNumber<int16_t>(&Properties::MaxFileSize, DISPID_MaxFileSize, v); }
HRESULT QuorComDlg::get_DialogTitle(BSTR* v) { return CopyOut(v, props_.DialogTitle); }
HRESULT QuorComDlg::put_DialogTitle(BSTR v) { return SetString(&Properties::DialogTitle, DISPID_DialogTitle, v); }
HRESULT QuorComDlg::get_FilterIndex(LONG* v) { return CopyOut<LONG>(v, props_.FilterIndex); }
HRESULT QuorComDlg::put_FilterIndex(LONG v) { return SetNumber<int32_t>(&Properties::FilterIndex, DISPID_FilterIndex, v); }
HRESULT QuorComDlg::get_Filter(BSTR* v) { return CopyOut(v, props_.Filter); }
HRESULT QuorComDlg::put_Filter(BSTR v) { return SetString(&Properties::Filter, DISPID_Filter, v); }
HRESULT QuorComDlg::get_CancelError(VARIANT_BOOL* v) { return CopyOut<VARIANT_BOOL>(v, props_.CancelError); }
HRESULT QuorComDlg::put_CancelError(VARIANT_BOOL v) {
    return SetNumber<int16_t>(&Properties::CancelError, DISPID_CancelError, v);
}
HRESULT QuorComDlg::get_SlideFolder(BSTR* v) { return CopyOut(v, props_.SlideFolder); }
HRESULT QuorComDlg::put_SlideFolder(BSTR v) { return SetString(&Properties::SlideFolder, DISPID_SlideFolder, v); }
HRESULT QuorComDlg::get_FileTitle(BSTR* v) { return CopyOut(v, props_.FileTitle); }
HRESULT QuorComDlg::put_FileTitle(BSTR) {
    return win::Guarded("FileTitle set", [&] { return Raise(FileTitleSetError(AmbientUserMode())); });
}
HRESULT QuorComDlg::get_DialogLeft(LONG* v) { return CopyOut<LONG>(v, props_.DialogLeft); }
HRESULT QuorComDlg::put_DialogLeft(LONG v) { return SetNumber<int32_t>(&Properties::DialogLeft, DISPID_DialogLeft, v); }
HRESULT QuorComDlg::get_DialogTop(LONG* v) { return CopyOut<LONG>(v, props_.DialogTop); }
HRESULT QuorComDlg::put_DialogTop(LONG v) { return SetNumber<int32_t>(&Properties::DialogTop, DISPID_DialogTop, v); }
HRESULT QuorComDlg::get_Position(LONG* v) { return CopyOut<LONG>(v, props_.Position); }
HRESULT QuorComDlg::put_Position(LONG v) { return SetNumber<int32_t>(&Properties::Position, DISPID_Position, v); }
HRESULT QuorComDlg::get_BackGroundSlide(LONG* v) { return CopyOut<LONG>(v, props_.BackGroundSlide); }
HRESULT QuorComDlg::put_BackGroundSlide(LONG v) {
    return SetNumber<int32_t>(&Properties::BackGroundSlide, DISPID_BackGroundSlide, v);
}

// --- Connection points, class info, error info ------------------------------------------

HRESULT QuorComDlg::EnumConnectionPoints(IEnumConnectionPoints** e) {
    return win::CreateConnectionPointEnum(static_cast<IConnectionPointContainer*>(this),
                                          {&propNotify_, &events_}, e);
}

HRESULT QuorComDlg::FindConnectionPoint(REFIID riid, IConnectionPoint** cp) {
    if (!cp) return E_POINTER;
    *cp = nullptr;
    if (riid == IID_IPropertyNotifySink)
        *cp = &propNotify_;
    else if (riid == DIID___QuorComDlg)
        *cp = &events_;
    else
        return CONNECT_E_NOCONNECTION;
    (*cp)->AddRef();
    return S_OK;
}

HRESULT QuorComDlg::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = com_ptr<ITypeInfo>(classInfo_).detach();
    return S_OK;
}

HRESULT QuorComDlg::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = DIID___QuorComDlg;
    return S_OK;
}

HRESULT QuorComDlg::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->pElems[0] = CLSID_OpenSavePage;
    pages->cElems = 1;
    return S_OK;
}

HRESULT QuorComDlg::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID__QuorComDlg ? S_OK : S_FALSE;
}

}  // namespace qcd
