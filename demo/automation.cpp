#include "demo/automation.h"

#include <olectl.h>

#include "control/ids.h"
#include "platform/com_ptr.h"

namespace demo {

using qcd::win::com_ptr;

namespace {

// VARIANT and EXCEPINFO clean themselves up.
struct Variant {
    VARIANT v;
    Variant() { VariantInit(&v); }
    ~Variant() { VariantClear(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

struct ExcepInfo {
    EXCEPINFO e{};
    ~ExcepInfo() {
        SysFreeString(e.bstrSource);
        SysFreeString(e.bstrDescription);
        SysFreeString(e.bstrHelpFile);
    }
};

std::wstring SystemMessage(HRESULT hr) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0,
                                   nullptr);
    std::wstring s = n && text ? std::wstring(text, n) : std::wstring();
    LocalFree(text);
    while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ' || s.back() == L'.'))
        s.pop_back();
    return s;
}

// The runtime's own texts for the conversions the type library makes; the control sets
// error info for the errors it raises itself.
std::wstring RuntimeText(int number) {
    switch (number) {
        case 6: return L"オーバーフローしました。";
        case 9: return L"インデックスが有効範囲にありません。";
        case 13: return L"型が一致しません。";
        case 438: return L"オブジェクトは、このプロパティまたはメソッドをサポートしていません。";
        default: return {};
    }
}

void Describe(IDispatch* object, HRESULT hr, ExcepInfo& excep, Failure* failure) {
    if (!failure) return;
    failure->hr = hr;
    failure->description.clear();
    if (hr == DISP_E_EXCEPTION) {
        if (excep.e.pfnDeferredFillIn) excep.e.pfnDeferredFillIn(&excep.e);
        failure->hr = excep.e.scode ? excep.e.scode : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, excep.e.wCode);
        if (excep.e.bstrDescription) failure->description = excep.e.bstrDescription;
    } else {
        // A dual interface's Invoke hands back the method's own HRESULT; its text is in the
        // thread's error object if the object says it keeps one.
        auto support = com_ptr<IDispatch>(object).query<ISupportErrorInfo>(IID_ISupportErrorInfo);
        com_ptr<IErrorInfo> info;
        if (support && support->InterfaceSupportsErrorInfo(qcd::IID__QuorComDlg) == S_OK &&
            GetErrorInfo(0, info.put()) == S_OK && info) {
            BSTR text = nullptr;
            if (SUCCEEDED(info->GetDescription(&text)) && text) failure->description = text;
            SysFreeString(text);
        }
    }
    failure->number = RuntimeErrorNumber(failure->hr);
    if (failure->description.empty()) failure->description = RuntimeText(failure->number);
    if (failure->description.empty()) failure->description = SystemMessage(failure->hr);
}

HRESULT InvokeChecked(IDispatch* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                      Failure* failure) {
    ExcepInfo excep;
    UINT argErr = 0;
    SetErrorInfo(0, nullptr);
    HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params, result, &excep.e, &argErr);
    if (FAILED(hr)) Describe(object, hr, excep, failure);
    return hr;
}

// The element type a property holds, pointers stripped, looked up in its getter or setter.
bool PropertyType(ITypeInfo* info, DISPID id, TYPEDESC& out) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return false;
    const WORD funcs = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < funcs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(info->GetFuncDesc(i, &f))) continue;
        bool found = false;
        if (f->memid == id) {
            const TYPEDESC* t = nullptr;
            if (f->invkind == INVOKE_PROPERTYGET && f->elemdescFunc.tdesc.vt != VT_HRESULT)
                t = &f->elemdescFunc.tdesc;
            else if (f->cParams > 0 && f->invkind == INVOKE_PROPERTYGET)
                t = &f->lprgelemdescParam[f->cParams - 1].tdesc;  // the [retval] of a vtable getter
            else if (f->cParams > 0 && f->invkind == INVOKE_PROPERTYPUT)
                t = &f->lprgelemdescParam[0].tdesc;
            while (t && t->vt == VT_PTR) t = t->lptdesc;
            if (t) {
                out = *t;
                found = true;
            }
        }
        info->ReleaseFuncDesc(f);
        if (found) return true;
    }
    return false;
}

}  // namespace

std::wstring Failure::Text() const {
    wchar_t code[16];
    wsprintfW(code, L"0x%08X", static_cast<unsigned>(hr));
    std::wstring s;
    if (number) s = L"エラー " + std::to_wstring(number) + L": ";
    s += description.empty() ? std::wstring(L"失敗") : description;
    return s + L" (" + code + L")";
}

int RuntimeErrorNumber(HRESULT hr) {
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) return HRESULT_CODE(hr);
    switch (hr) {
        case DISP_E_OVERFLOW: return 6;
        case DISP_E_BADINDEX: return 9;
        case DISP_E_TYPEMISMATCH: return 13;
        case DISP_E_MEMBERNOTFOUND:
        case DISP_E_UNKNOWNNAME: return 438;
        default: return 0;
    }
}

HRESULT DispIdOf(IDispatch* object, const wchar_t* name, DISPID* id, Failure* failure) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
    if (FAILED(hr)) {
        ExcepInfo none;
        Describe(object, hr, none, failure);
    }
    return hr;
}

HRESULT GetPropertyText(IDispatch* object, const wchar_t* name, std::wstring& text, Failure* failure) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = DispIdOf(object, name, &id, failure);
    if (FAILED(hr)) return hr;
    DISPPARAMS noArgs{};
    Variant value;
    hr = InvokeChecked(object, id, DISPATCH_PROPERTYGET, &noArgs, &value.v, failure);
    if (FAILED(hr)) return hr;
    Variant shown;
    // Booleans as the words a property browser shows, whatever the locale.
    hr = VariantChangeTypeEx(&shown.v, &value.v, MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT),
                             VARIANT_ALPHABOOL, VT_BSTR);
    if (FAILED(hr)) {
        ExcepInfo none;
        Describe(object, hr, none, failure);
        return hr;
    }
    text.assign(V_BSTR(&shown.v), SysStringLen(V_BSTR(&shown.v)));
    return S_OK;
}

HRESULT PutPropertyText(IDispatch* object, const wchar_t* name, const std::wstring& text, Failure* failure) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = DispIdOf(object, name, &id, failure);
    if (FAILED(hr)) return hr;
    Variant arg;
    V_VT(&arg.v) = VT_BSTR;
    V_BSTR(&arg.v) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!V_BSTR(&arg.v)) return E_OUTOFMEMORY;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&arg.v, &named, 1, 1};
    return InvokeChecked(object, id, DISPATCH_PROPERTYPUT, &params, nullptr, failure);
}

HRESULT CallMethod(IDispatch* object, DISPID id, Failure* failure) {
    DISPPARAMS noArgs{};
    Variant result;
    return InvokeChecked(object, id, DISPATCH_METHOD, &noArgs, &result.v, failure);
}

std::wstring HelpStringOf(IDispatch* object, DISPID id) {
    com_ptr<ITypeInfo> info;
    if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) || !info) return {};
    BSTR doc = nullptr;
    if (FAILED(info->GetDocumentation(id, nullptr, &doc, nullptr, nullptr))) return {};
    std::wstring s = doc ? std::wstring(doc, SysStringLen(doc)) : std::wstring();
    SysFreeString(doc);
    return s;
}

std::wstring TypeHintOf(IDispatch* object, DISPID id) {
    com_ptr<ITypeInfo> info;
    if (FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) || !info) return {};
    TYPEDESC type{};
    if (!PropertyType(info.get(), id, type)) return {};
    switch (type.vt) {
        case VT_BSTR: return L"String";
        case VT_I2: return L"Integer";
        case VT_I4: return L"Long";
        case VT_BOOL: return L"Boolean";
        case VT_USERDEFINED: break;
        default: return {};
    }
    com_ptr<ITypeInfo> ref;
    if (FAILED(info->GetRefTypeInfo(type.hreftype, ref.put()))) return {};
    TYPEATTR* attr = nullptr;
    if (FAILED(ref->GetTypeAttr(&attr))) return {};
    const bool isEnum = attr->typekind == TKIND_ENUM;
    const WORD vars = attr->cVars;
    ref->ReleaseTypeAttr(attr);
    if (!isEnum) return {};

    std::wstring members;
    for (UINT i = 0; i < vars; ++i) {
        VARDESC* var = nullptr;
        if (FAILED(ref->GetVarDesc(i, &var))) continue;
        BSTR name = nullptr;
        UINT got = 0;
        ref->GetNames(var->memid, &name, 1, &got);
        Variant value;
        if (var->varkind == VAR_CONST && var->lpvarValue)
            VariantChangeType(&value.v, var->lpvarValue, 0, VT_BSTR);
        if (!members.empty()) members += L' ';
        if (name) members += name;
        if (V_VT(&value.v) == VT_BSTR) members += L'=' + std::wstring(V_BSTR(&value.v));
        SysFreeString(name);
        ref->ReleaseVarDesc(var);
    }
    return members;
}

}  // namespace demo
