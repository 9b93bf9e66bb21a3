// The control object: one C++ object implementing every interface a container uses.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <array>
#include <atomic>
#include <memory>
#include <optional>

#include "base/errors.h"
#include "base/properties.h"
#include "base/timer_owner.h"
#include "control/ids.h"
#include "dialoghost/dialog_host.h"
#include "platform/timers.h"
#include "platform/com_object.h"
#include "platform/com_ptr.h"
#include "platform/connection_point.h"
#include "platform/handles.h"
#include "platform/module.h"

namespace qcd {


// The class of the control's window goes with the library: a later load at another address
// must not find a class whose window procedure points into freed code.
void UnregisterControlWindowClass();

// Creates a control; the caller receives the object's first reference.
HRESULT CreateQuorComDlg(IUnknown* outer, REFIID riid, void** ppv);

class QuorComDlg final : public _QuorComDlg,
                         public IOleObject,
                         public IOleInPlaceObject,
                         public IOleInPlaceActiveObject,
                         public IOleControl,
                         public IViewObject2,
                         public IPersistStreamInit,
                         public IPersistPropertyBag,
                         public IPersistStorage,
                         public IConnectionPointContainer,
                         public IProvideClassInfo2,
                         public ISpecifyPropertyPages,
                         public ISupportErrorInfo {
public:
    QuorComDlg();
    ~QuorComDlg();
    // Creates the control's window and loads its type information.
    HRESULT Initialize();

    // The control's size on the form, fixed.
    static constexpr int kSizePixels = 32;

    // What the tests and the dialog code read directly.
    const Properties& Props() const { return props_; }
    Properties& MutableProps() { return props_; }
    TimerOwner& Timers() { return timers_; }
    bool AbortEffects() const { return timers_.AbortRequested(); }
    HWND Window() const { return hwnd_.get(); }
    DialogHost& Dialogs() { return *dialogs_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch, through the type library
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                     UINT* argErr) override;

    // _QuorComDlg
    HRESULT STDMETHODCALLTYPE Show_AboutBox() override;
    HRESULT STDMETHODCALLTYPE get_DefaultExt(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_DefaultExt(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_FileName(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_FileName(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_InitDir(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_InitDir(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_MaxFileSize(short* value) override;
    HRESULT STDMETHODCALLTYPE put_MaxFileSize(short value) override;
    HRESULT STDMETHODCALLTYPE get_DialogTitle(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_DialogTitle(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_FilterIndex(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_FilterIndex(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_Filter(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_Filter(BSTR value) override;
    HRESULT STDMETHODCALLTYPE ShowOpen() override;
    HRESULT STDMETHODCALLTYPE ShowSave() override;
    HRESULT STDMETHODCALLTYPE get_CancelError(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_CancelError(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_SlideFolder(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_SlideFolder(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_FileTitle(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_FileTitle(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_DialogLeft(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_DialogLeft(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_DialogTop(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_DialogTop(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_Position(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_Position(LONG value) override;
    HRESULT STDMETHODCALLTYPE get_BackGroundSlide(LONG* value) override;
    HRESULT STDMETHODCALLTYPE put_BackGroundSlide(LONG value) override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR obj) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* mk) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** mk) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index,
                                     HWND parent, LPCRECT pos) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** e) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* pal) override;

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* ui, BOOL frame) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* msg) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

    // IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* td,
                                   HDC targetDc, HDC drawDc, LPCRECTL bounds, LPCRECTL wbounds,
                                   BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR contArg) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo,
                                          DVTARGETDEVICE* td, HDC targetDc, LOGPALETTE** colors) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* td, LPSIZEL size) override;

    // IPersist and its three persistence interfaces: one property set
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
    HRESULT STDMETHODCALLTYPE InitNew(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL sameAsLoad) override;
    HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE HandsOffStorage() override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** e) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** cp) override;

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

    // ISpecifyPropertyPages
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    // Window procedure of the control's own window.
    LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

private:
    // Ambient UserMode of the container; no container (or no answer) means run mode.
    bool AmbientUserMode() const;
    // The window a modal box of the control belongs to: the host's top-level window.
    HWND ModalOwner() const;
    // Sets error info and returns the automation failure for a run-time error.
    HRESULT Raise(VbError error) const;

    // Stores a property and tells the host which one changed.
    HRESULT SetString(std::u16string Properties::*field, DISPID id, BSTR value);
    template <typename T>
    HRESULT SetNumber(T Properties::*field, DISPID id, T value);
    HRESULT NotifyChanged(DISPID id);
    // ShowOpen and ShowSave: the dialog, then 2001 for a cancel when CancelError is set.
    HRESULT RunDialog(bool (DialogHost::*show)(HWND owner));

    // Container events.
    void OnCreated();
    void SetDefaultProperties();
    void OnResize(const RECT& requested);
    void OnHidden();
    void OnDestroying();

    HRESULT CreateControlWindow();
    HRESULT InPlaceActivate(LONG verb);
    void DrawFace(HDC dc, const RECT& bounds) const;
    SIZEL ExtentHimetric() const;

    std::atomic<ULONG> refs_{1};
    win::ModuleRef moduleRef_;

    Properties props_;
    bool dirty_ = false;
    bool inResize_ = false;

    win::unique_hwnd hwnd_;
    win::WindowTimers clock_;
    TimerOwner timers_{clock_};
    win::unique_hbitmap face_;
    // After the window: the text box of the previews lives on it.
    std::unique_ptr<DialogHost> dialogs_;

    win::com_ptr<ITypeInfo> dispatchInfo_;   // what GetTypeInfo hands out
    win::com_ptr<ITypeInfo> interfaceInfo_;  // the dual interface's vtable side, for Invoke
    win::com_ptr<ITypeInfo> classInfo_;

    win::com_ptr<IOleClientSite> clientSite_;
    win::com_ptr<IOleInPlaceSite> inPlaceSite_;
    win::com_ptr<IOleAdviseHolder> adviseHolder_;
    win::com_ptr<IAdviseSink> viewSink_;
    DWORD viewAspects_ = 0;
    DWORD viewAdviseFlags_ = 0;
    bool inPlaceActive_ = false;
    bool uiActive_ = false;
    RECT posRect_{};

    win::ConnectionPoint propNotify_;
    win::ConnectionPoint events_;
};

}  // namespace qcd
