// Build-time tool: writes the control's type library with ICreateTypeLib2.
// widl cannot parse the Japanese enum member names, so the library is written through the
// platform's own writer; it must run under the Japanese ANSI code page (932), which the
// writer uses for names and help strings.
#include <windows.h>

#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <span>

#include "base/automation.h"
#include "platform/com_ptr.h"

using qcd::win::com_ptr;

namespace {

using qcd::automation::EnumMember;
using qcd::automation::Member;
using qcd::automation::MemberType;

GUID ToGuid(const qcd::automation::Guid& g) {
    GUID out{g.data1, g.data2, g.data3, {}};
    std::copy(std::begin(g.data4), std::end(g.data4), out.Data4);
    return out;
}

// The table's UTF-16 texts as the platform's wide strings (both 16-bit here).
wchar_t* W(const char16_t* s) {
    return const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(s));
}

[[noreturn]] void Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "make_typelib: %s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
    std::exit(1);
}

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) Fail(what, hr);
}

wchar_t* W(const wchar_t* s) { return const_cast<wchar_t*>(s); }

com_ptr<ICreateTypeInfo> MakeEnum(ICreateTypeLib2* lib, const wchar_t* name,
                                  std::span<const EnumMember> members) {
    com_ptr<ICreateTypeInfo> ti;
    Check(lib->CreateTypeInfo(W(name), TKIND_ENUM, ti.put()), "CreateTypeInfo(enum)");
    UINT index = 0;
    for (const EnumMember& m : members) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = m.value;
        VARDESC vd{};
        vd.memid = static_cast<MEMBERID>(0x40000000 + index);  // the numbering MIDL gives constants
        vd.lpvarValue = &v;
        vd.elemdescVar.tdesc.vt = VT_I4;
        vd.varkind = VAR_CONST;
        Check(ti->AddVarDesc(index, &vd), "AddVarDesc");
        Check(ti->SetVarName(index, W(m.name)), "SetVarName");
        ++index;
    }
    Check(ti->LayOut(), "LayOut(enum)");
    return ti;
}

HREFTYPE RefTo(ICreateTypeInfo* from, ICreateTypeInfo* to) {
    com_ptr<ITypeInfo> target = com_ptr<ICreateTypeInfo>(to).query<ITypeInfo>(IID_ITypeInfo);
    HREFTYPE ref = 0;
    Check(from->AddRefTypeInfo(target.get(), &ref), "AddRefTypeInfo");
    return ref;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // The 64-bit build asks for SYS_WIN64 (the platform's writer lays out either kind from
    // any process).
    const bool win64 = argc == 3 && wcscmp(argv[2], L"win64") == 0;
    if (argc != 2 && !win64) {
        std::fprintf(stderr, "usage: make_typelib OUTPUT.tlb [win64]\n");
        return 2;
    }
    Check(CoInitialize(nullptr), "CoInitialize");

    com_ptr<ICreateTypeLib2> lib;
    Check(CreateTypeLib2(win64 ? SYS_WIN64 : SYS_WIN32, argv[1], lib.put()), "CreateTypeLib2");
    Check(lib->SetName(W(qcd::automation::kLibraryName)), "SetName");
    Check(lib->SetGuid(ToGuid(qcd::automation::kLibraryId)), "SetGuid");
    Check(lib->SetVersion(qcd::automation::kLibraryMajor, qcd::automation::kLibraryMinor),
          "SetVersion");
    Check(lib->SetLcid(0), "SetLcid");
    Check(lib->SetDocString(W(qcd::automation::kLibraryName)), "SetDocString");

    com_ptr<ITypeLib> stdole;
    Check(LoadTypeLib(L"stdole2.tlb", stdole.put()), "LoadTypeLib(stdole2)");
    com_ptr<ITypeInfo> dispatchInfo;
    Check(stdole->GetTypeInfoOfGuid(IID_IDispatch, dispatchInfo.put()), "GetTypeInfoOfGuid(IDispatch)");

    auto positionType =
        MakeEnum(lib.get(), L"PositionType", qcd::automation::kPositionTypeMembers);
    auto bgsType = MakeEnum(lib.get(), L"BGSType", qcd::automation::kBGSTypeMembers);

    // The dual interface.
    com_ptr<ICreateTypeInfo> iface;
    Check(lib->CreateTypeInfo(W(L"_QuorComDlg"), TKIND_INTERFACE, iface.put()), "CreateTypeInfo(_QuorComDlg)");
    Check(iface->SetGuid(ToGuid(qcd::automation::kInterfaceId)), "SetGuid(_QuorComDlg)");
    Check(iface->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                              TYPEFLAG_FOLEAUTOMATION),
          "SetTypeFlags(_QuorComDlg)");
    HREFTYPE dispatchRef = 0;
    Check(iface->AddRefTypeInfo(dispatchInfo.get(), &dispatchRef), "AddRefTypeInfo(IDispatch)");
    Check(iface->AddImplType(0, dispatchRef), "AddImplType(_QuorComDlg)");
    const HREFTYPE positionRef = RefTo(iface.get(), positionType.get());
    const HREFTYPE bgsRef = RefTo(iface.get(), bgsType.get());

    UINT index = 0;
    auto addFunc = [&](const Member& m, INVOKEKIND kind) {
        TYPEDESC pointee{};
        ELEMDESC param{};
        FUNCDESC fd{};
        fd.memid = m.dispid;
        fd.funckind = FUNC_PUREVIRTUAL;
        fd.invkind = kind;
        fd.callconv = CC_STDCALL;
        fd.elemdescFunc.tdesc.vt = VT_HRESULT;
        TYPEDESC valueType{};
        switch (m.type) {
            case MemberType::None: break;
            case MemberType::Bstr: valueType.vt = VT_BSTR; break;
            case MemberType::I2: valueType.vt = VT_I2; break;
            case MemberType::I4: valueType.vt = VT_I4; break;
            case MemberType::Bool: valueType.vt = VT_BOOL; break;
            case MemberType::PositionType:
                valueType.vt = VT_USERDEFINED;
                valueType.hreftype = positionRef;
                break;
            case MemberType::BGSType:
                valueType.vt = VT_USERDEFINED;
                valueType.hreftype = bgsRef;
                break;
        }
        if (kind == INVOKE_PROPERTYGET) {
            pointee = valueType;
            param.tdesc.vt = VT_PTR;
            param.tdesc.lptdesc = &pointee;
            param.paramdesc.wParamFlags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
        } else if (kind == INVOKE_PROPERTYPUT) {
            param.tdesc = valueType;
            param.paramdesc.wParamFlags = PARAMFLAG_FIN;
        }
        if (kind != INVOKE_FUNC) {
            fd.cParams = 1;
            fd.lprgelemdescParam = &param;
        }
        Check(iface->AddFuncDesc(index, &fd), "AddFuncDesc");
        // A getter names its return value; a setter's value parameter stays unnamed.
        const wchar_t* names[] = {W(m.name), L"pVal"};
        const UINT nameCount = kind == INVOKE_PROPERTYGET ? 2 : 1;
        Check(iface->SetFuncAndParamNames(index, const_cast<LPOLESTR*>(names), nameCount),
              "SetFuncAndParamNames");
        if (m.help) Check(iface->SetFuncDocString(index, W(m.help)), "SetFuncDocString");
        ++index;
    };
    for (const Member& m : qcd::automation::kMembers) {
        if (m.isProperty) {
            addFunc(m, INVOKE_PROPERTYGET);
            addFunc(m, INVOKE_PROPERTYPUT);
        } else {
            addFunc(m, INVOKE_FUNC);
        }
    }
    Check(iface->LayOut(), "LayOut(_QuorComDlg)");

    // The event interface: no events.
    com_ptr<ICreateTypeInfo> events;
    Check(lib->CreateTypeInfo(W(L"__QuorComDlg"), TKIND_DISPATCH, events.put()), "CreateTypeInfo(__QuorComDlg)");
    Check(events->SetGuid(ToGuid(qcd::automation::kEventsId)), "SetGuid(__QuorComDlg)");
    Check(events->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE), "SetTypeFlags(__QuorComDlg)");
    HREFTYPE eventsDispatchRef = 0;
    Check(events->AddRefTypeInfo(dispatchInfo.get(), &eventsDispatchRef), "AddRefTypeInfo(events)");
    Check(events->AddImplType(0, eventsDispatchRef), "AddImplType(__QuorComDlg)");
    Check(events->LayOut(), "LayOut(__QuorComDlg)");

    // The control class.
    com_ptr<ICreateTypeInfo> coclass;
    Check(lib->CreateTypeInfo(W(L"QuorComDlg"), TKIND_COCLASS, coclass.put()), "CreateTypeInfo(QuorComDlg)");
    Check(coclass->SetGuid(ToGuid(qcd::automation::kControlClassId)), "SetGuid(QuorComDlg)");
    Check(coclass->SetTypeFlags(TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL), "SetTypeFlags(QuorComDlg)");
    Check(coclass->AddImplType(0, RefTo(coclass.get(), iface.get())), "AddImplType(default)");
    Check(coclass->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "SetImplTypeFlags(default)");
    Check(coclass->AddImplType(1, RefTo(coclass.get(), events.get())), "AddImplType(source)");
    Check(coclass->SetImplTypeFlags(1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE), "SetImplTypeFlags(source)");
    Check(coclass->LayOut(), "LayOut(QuorComDlg)");

    Check(lib->SaveAllChanges(), "SaveAllChanges");
    return 0;
}
