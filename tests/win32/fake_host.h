// Small host objects for testing the control as a container would use it. Every method
// that matters records its call, so a test states the calls it expects, in order.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

namespace qcd::test {

// Static-lifetime COM objects: reference counting is a no-op, the test owns them.
template <typename... Itf>
class StackObject : public Itf... {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// Client site, in-place site, ambient properties and property-change sink in one.
class FakeSite final : public StackObject<IOleClientSite, IOleInPlaceSite, IDispatch, IPropertyNotifySink> {
public:
    explicit FakeSite(HWND parent) : parent_(parent) {}

    std::vector<std::string> calls;
    std::vector<DISPID> changed;
    RECT position{10, 20, 110, 70};
    bool userMode = true;
    bool answersAmbient = true;
    HRESULT onChangedResult = S_OK;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IOleClientSite) *ppv = static_cast<IOleClientSite*>(this);
        else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) *ppv = static_cast<IOleInPlaceSite*>(this);
        else if (riid == IID_IDispatch) *ppv = static_cast<IDispatch*>(this);
        else if (riid == IID_IPropertyNotifySink) *ppv = static_cast<IPropertyNotifySink*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return Record("SaveObject"); }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** mk) override {
        *mk = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** c) override {
        *c = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return Record("ShowObject"); }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return Record("OnShowWindow"); }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        *hwnd = parent_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return Record("CanInPlaceActivate"); }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return Record("OnInPlaceActivate"); }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return Record("OnUIActivate"); }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO) override {
        *frame = nullptr;
        *doc = nullptr;
        *pos = position;
        *clip = position;
        return Record("GetWindowContext");
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return Record("OnUIDeactivate"); }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return Record("OnInPlaceDeactivate"); }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT rect) override {
        posRectChanges.push_back(*rect);
        return Record("OnPosRectChange");
    }
    std::vector<RECT> posRectChanges;

    // IDispatch: the ambient properties.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        calls.push_back("Ambient " + std::to_string(id));
        if (id != DISPID_AMBIENT_USERMODE || !answersAmbient) return DISP_E_MEMBERNOTFOUND;
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = userMode ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

    // IPropertyNotifySink
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
        changed.push_back(id);
        return onChangedResult;
    }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return Record("OnRequestEdit"); }

private:
    HRESULT Record(const char* what) {
        calls.emplace_back(what);
        return S_OK;
    }
    HWND parent_;
};

// A property bag that records the keys it is asked for and given, in order.
class FakeBag final : public StackObject<IPropertyBag> {
public:
    struct Entry {
        std::wstring key;
        VARIANT value;
    };
    std::vector<Entry> stored;
    std::vector<std::wstring> reads;
    std::vector<std::wstring> writes;

    ~FakeBag() {
        for (Entry& e : stored) VariantClear(&e.value);
    }
    const VARIANT* Find(const std::wstring& key) const {
        for (const Entry& e : stored)
            if (e.key == key) return &e.value;
        return nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IPropertyBag) {
            *ppv = static_cast<IPropertyBag*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR key, VARIANT* v, IErrorLog*) override {
        reads.emplace_back(key);
        const VARIANT* found = Find(key);
        if (!found) return E_INVALIDARG;
        VARTYPE wanted = V_VT(v);
        VariantInit(v);
        return wanted == VT_EMPTY ? VariantCopy(v, const_cast<VARIANT*>(found))
                                  : VariantChangeType(v, const_cast<VARIANT*>(found), 0, wanted);
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR key, VARIANT* v) override {
        writes.emplace_back(key);
        Entry e{key, {}};
        VariantInit(&e.value);
        VariantCopy(&e.value, v);
        stored.push_back(e);
        return S_OK;
    }
};

}  // namespace qcd::test
