#include "platform/accessible.h"

#include <commctrl.h>
#include <oleacc.h>

#include <new>

#include "platform/com_object.h"
#include "platform/com_ptr.h"

namespace qcd::win {

namespace {

// IID_IAccessible, spelled here: mingw-w64's import library hands a statically linked program
// the address of a jump stub for it instead of the GUID.
constexpr IID kIidAccessible = {0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr UINT_PTR kSubclassId = 0x51434441;  // "QCDA"

// The platform's accessible object of a window with the name asked of `nameOf`; every other
// question goes to the platform's object.
class NamedAccessible final : public IAccessible {
  public:
    NamedAccessible(com_ptr<IAccessible> inner, HWND window, AccessibleNameFn nameOf)
        : inner_(std::move(inner)), window_(window), nameOf_(nameOf) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, kIidAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return Guarded("accessible name", [&]() -> HRESULT {
            const wchar_t* own = IsSelf(child) && IsWindow(window_) ? nameOf_(window_) : nullptr;
            if (!own) return inner_->get_accName(child, name);
            if (!name) return E_POINTER;
            *name = SysAllocString(own);
            return *name ? S_OK : E_OUTOFMEMORY;
        });
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return inner_->GetTypeInfoCount(n); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override { return inner_->GetTypeInfo(i, l, t); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override {
        return inner_->GetIDsOfNames(r, n, c, l, d);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v,
                                     EXCEPINFO* e, UINT* a) override {
        return inner_->Invoke(d, r, l, f, p, v, e, a);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override { return inner_->get_accParent(p); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* n) override { return inner_->get_accChildCount(n); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** p) override { return inner_->get_accChild(c, p); }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT c, BSTR* v) override { return inner_->get_accValue(c, v); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT c, BSTR* d) override { return inner_->get_accDescription(c, d); }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT c, VARIANT* r) override { return inner_->get_accRole(c, r); }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT c, VARIANT* s) override { return inner_->get_accState(c, s); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* h) override { return inner_->get_accHelp(c, h); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* f, VARIANT c, long* t) override {
        return inner_->get_accHelpTopic(f, c, t);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* k) override {
        return inner_->get_accKeyboardShortcut(c, k);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* f) override { return inner_->get_accFocus(f); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* s) override { return inner_->get_accSelection(s); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT c, BSTR* a) override {
        return inner_->get_accDefaultAction(c, a);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long f, VARIANT c) override { return inner_->accSelect(f, c); }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT c) override {
        return inner_->accLocation(x, y, w, h, c);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long d, VARIANT s, VARIANT* e) override { return inner_->accNavigate(d, s, e); }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* c) override { return inner_->accHitTest(x, y, c); }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT c) override { return inner_->accDoDefaultAction(c); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR n) override { return inner_->put_accName(c, n); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR v) override { return inner_->put_accValue(c, v); }

  private:
    static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

    LONG refs_ = 1;
    com_ptr<IAccessible> inner_;
    HWND window_;
    AccessibleNameFn nameOf_;
};

LRESULT CALLBACK NamedWindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(window, NamedWindowProc, kSubclassId);
    if (msg != WM_GETOBJECT || static_cast<LONG>(lp) != OBJID_CLIENT) return DefSubclassProc(window, msg, wp, lp);
    LRESULT result = 0;
    GuardedVoid("accessible object", [&] {
        com_ptr<IAccessible> standard;
        if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, kIidAccessible, standard.put_void()))) return;
        auto* named = new (std::nothrow) NamedAccessible(std::move(standard), window,
                                                         reinterpret_cast<AccessibleNameFn>(data));
        if (!named) return;
        result = LresultFromObject(kIidAccessible, wp, named);
        named->Release();  // the platform holds it now
    });
    return result > 0 ? result : DefSubclassProc(window, msg, wp, lp);
}

}  // namespace

void NameForAccessibility(HWND window, AccessibleNameFn nameOf) {
    SetWindowSubclass(window, NamedWindowProc, kSubclassId, reinterpret_cast<DWORD_PTR>(nameOf));
}

}  // namespace qcd::win
