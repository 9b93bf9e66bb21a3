// The container side of one control on a form: the site objects a control talks to, and
// the steps a form takes to create, load, activate, save and close it.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <string>

#include "platform/com_ptr.h"
#include "platform/handles.h"

namespace demo {

// What the form wants to hear from its site.
class SiteEvents {
public:
    virtual ~SiteEvents() = default;
    virtual void OnPropertyChanged(DISPID id) = 0;
    // The control asked for a different rectangle than it was given.
    virtual void OnPosRectChanged(const RECT& pos) = 0;
    virtual void OnViewChanged() = 0;
    virtual void OnStatusText(const wchar_t* text) = 0;
};

// Client site, in-place site, frame (also the document window) and ambient properties in
// one object, as a simple form is all of these to its controls.
class Site final : public IOleClientSite,
                   public IOleInPlaceSite,
                   public IOleInPlaceFrame,
                   public IDispatch,
                   public IPropertyNotifySink,
                   public IAdviseSink {
public:
    Site(HWND form, HWND frame, SiteEvents* events) : form_(form), frame_(frame), events_(events) {}

    // The rectangle the control occupies on the form, in the form's client pixels.
    const RECT& PosRect() const { return pos_; }
    void SetPosRect(const RECT& r) { pos_ = r; }
    bool UserMode() const { return userMode_; }
    void SetUserMode(bool userMode) { userMode_ = userMode; }
    bool InPlaceActive() const { return inPlaceActive_; }
    int PosRectChanges() const { return posRectChanges_; }
    // Not owned: the host sets it while the control is active and clears it before release.
    void SetInPlaceObject(IOleInPlaceObject* object) { inPlaceObject_ = object; }
    // Called by the host as it lets go of the form.
    void Disconnect() {
        events_ = nullptr;
        inPlaceObject_ = nullptr;
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** mk) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;

    // IOleWindow (shared by the in-place site and the frame)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT pos, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT pos) override;

    // IOleInPlaceUIWindow, IOleInPlaceFrame: no menus, no tool space
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT border) override;
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) override;
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU olemenu, HWND activeObject) override;
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) override;
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR text) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg, WORD id) override;

    // IDispatch: the ambient properties
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

    // IPropertyNotifySink
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override;
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID id) override;

    // IAdviseSink: only the view change matters to the form
    void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    void STDMETHODCALLTYPE OnViewChange(DWORD aspect, LONG index) override;
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override {}

private:
    ~Site() = default;

    std::atomic<ULONG> refs_{1};
    HWND form_;
    HWND frame_;
    SiteEvents* events_;
    IOleInPlaceObject* inPlaceObject_ = nullptr;
    RECT pos_{};
    bool userMode_ = true;
    bool inPlaceActive_ = false;
    int posRectChanges_ = 0;
};

// How to get the control: through the registry as a form would, or straight from its
// library file (no registration needed).
struct ControlSource {
    std::wstring libraryPath;   // empty: the registry only
    bool registryFirst = true;  // false: the library file only
};

// One hosted control and the order of calls a form makes on it.
class HostedControl {
public:
    HostedControl() = default;
    ~HostedControl() { Close(); }
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;

    // Creates the control; `fromLibrary` tells which way it came.
    HRESULT Create(const ControlSource& source, bool* fromLibrary = nullptr);
    // Site first (the control asks for it), then the bag or InitNew, then the connections.
    // `loadResult` receives the bag's load result (S_FALSE: no bag, InitNew was used); a
    // failed load falls back to InitNew.
    HRESULT Attach(HWND form, HWND frame, SiteEvents* events, const RECT& requested, bool userMode,
                   IPropertyBag* bag, HRESULT* loadResult = nullptr);
    HRESULT Activate();
    void Close();

    bool Exists() const { return static_cast<bool>(object_); }
    IDispatch* Dispatch() const { return dispatch_.get(); }
    IUnknown* Unknown() const { return object_.get(); }
    Site* GetSite() const { return site_.get(); }
    // The control's own window once it is active in place.
    HWND Window() const;

    void SetUserMode(bool userMode);
    // Asks for a rectangle; the control may answer with OnPosRectChange.
    HRESULT RequestRect(const RECT& pos);
    HRESULT Save(IPropertyBag* bag);
    HRESULT Load(IPropertyBag* bag);
    bool IsDirty() const;
    // Draws the control's view into `bounds` (for when it has no window of its own).
    HRESULT Draw(HDC dc, const RECT& bounds) const;
    // The class object of `clsid` from the library the control came from; fails for a
    // control created through the registry.
    HRESULT LibraryClassObject(REFCLSID clsid, IClassFactory** factory) const;

private:
    qcd::win::unique_hmodule library_;  // declared first: released after the objects
    qcd::win::com_ptr<Site> site_;
    qcd::win::com_ptr<IOleObject> object_;
    qcd::win::com_ptr<IDispatch> dispatch_;
    qcd::win::com_ptr<IOleInPlaceObject> inPlace_;
    DWORD propNotifyCookie_ = 0;
    qcd::win::com_ptr<IConnectionPoint> propNotifyPoint_;
    bool viewAdvised_ = false;
};

}  // namespace demo
