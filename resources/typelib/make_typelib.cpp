// Build-time tool: writes the control's type library with ICreateTypeLib2.
// widl cannot parse the Japanese enum member names, so the library is written through the
// platform's own writer; it must run under the Japanese ANSI code page (932), which the
// writer uses for names and help strings.
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <vector>

#include "control/ids.h"
#include "platform/com_ptr.h"

using qcd::win::com_ptr;

namespace {

enum class Type { None, Bstr, I2, I4, Bool, PositionType, BGSType };

struct Member {
    const wchar_t* name;
    qcd::Dispid dispid;
    bool isProperty;
    Type type;
    const wchar_t* help;
};

// Interface order; each property becomes a getter and a setter with one help string.
const Member kMembers[] = {
    {L"Show_AboutBox", qcd::DISPID_Show_AboutBox, false, Type::None, nullptr},
    {L"DefaultExt", qcd::DISPID_DefaultExt, true, Type::Bstr,
     L"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽのﾌｧｲﾙの拡張子の既定値を設定します。値の取得も可能です。"},
    {L"FileName", qcd::DISPID_FileName, true, Type::Bstr,
     L"選択されているﾌｧｲﾙの，ﾊﾟｽ及びﾌｧｲﾙ名を設定します。値の取得も可能です。"},
    {L"InitDir", qcd::DISPID_InitDir, true, Type::Bstr,
     L"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽを表示するとき，最初に表示するﾃﾞｨﾚｸﾄﾘを設定します。値の取得も可能です。"},
    {L"MaxFileSize", qcd::DISPID_MaxFileSize, true, Type::I2,
     L"ｺﾓﾝ ﾀﾞｲｱﾛｸﾞ ｺﾝﾄﾛｰﾙを使って開かれるﾌｧｲﾙの最大ｻｲｽﾞを設定します。値の取得も可能です。"},
    {L"DialogTitle", qcd::DISPID_DialogTitle, true, Type::Bstr,
     L"ﾀﾞｲｱﾛｸﾞのﾀｲﾄﾙ ﾊﾞｰに表示する文字列を設定します。値の取得も可能です。"},
    {L"FilterIndex", qcd::DISPID_FilterIndex, true, Type::I4,
     L"[ﾌｧｲﾙを開く]，[ﾌｧｲﾙ名を付けて保存] の各ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽについて ﾌｨﾙﾀの既定値を設定します。値の取得も可能です。"},
    {L"Filter", qcd::DISPID_Filter, true, Type::Bstr,
     L"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽの [ﾌｧｲﾙの種類] ﾘｽﾄ ﾎﾞｯｸｽに表示されるﾌｨﾙﾀを設定します。値の取得も可能です。"},
    {L"ShowOpen", qcd::DISPID_ShowOpen, false, Type::None, nullptr},
    {L"ShowSave", qcd::DISPID_ShowSave, false, Type::None, nullptr},
    {L"CancelError", qcd::DISPID_CancelError, true, Type::Bool,
     L"ﾕｰｻﾞｰが [ｷｬﾝｾﾙ] ﾎﾞﾀﾝを選択した場合に，ｴﾗｰが生成されるかどうかを示します。"},
    {L"SlideFolder", qcd::DISPID_SlideFolder, true, Type::Bstr,
     L"ﾊﾞｯｸｸﾞﾗｳﾝﾄﾞｽﾗｲﾄﾞを表示する場合，ｽﾗｲﾄﾞ表示する画像の入ったﾌｫﾙﾀﾞを指定します。\r\n"
     L"値の取得も可能です。"},
    {L"FileTitle", qcd::DISPID_FileTitle, true, Type::Bstr,
     L"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽで選択されたﾌｧｲﾙのﾊﾟｽを含まないﾌｧｲﾙ名を返します。"},
    {L"DialogLeft", qcd::DISPID_DialogLeft, true, Type::I4,
     L"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽが最初に表示される位置を指定する値が 0 のとき，画面上の左端からの値を設定します。値の取得も可能です。"},
    {L"DialogTop", qcd::DISPID_DialogTop, true, Type::I4,
     L"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽが最初に表示される位置を指定する値が 0 のとき，画面上の上端からの値を設定します。値の取得も可能です。"},
    {L"Position", qcd::DISPID_Position, true, Type::PositionType,
     L"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽが最初に表示される位置を指定する値を設定します。値の取得も可能です。"},
    {L"BackGroundSlide", qcd::DISPID_BackGroundSlide, true, Type::BGSType,
     L"[ﾌｧｲﾙを開く] ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽで，waveﾌｧｲﾙやmp3ﾌｧｲﾙをﾌﾟﾚﾋﾞｭｰする場合に，ﾊﾞｯｸｸﾞﾗｳﾝﾄﾞに画像ｽﾗｲﾄﾞを表示するかどうかを設定します。値の取得も可能です。"},
};

struct EnumMember {
    const wchar_t* name;
    LONG value;
};

[[noreturn]] void Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "make_typelib: %s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
    std::exit(1);
}

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) Fail(what, hr);
}

wchar_t* W(const wchar_t* s) { return const_cast<wchar_t*>(s); }

com_ptr<ICreateTypeInfo> MakeEnum(ICreateTypeLib2* lib, const wchar_t* name,
                                  std::initializer_list<EnumMember> members) {
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
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_typelib OUTPUT.tlb\n");
        return 2;
    }
    Check(CoInitialize(nullptr), "CoInitialize");

    com_ptr<ICreateTypeLib2> lib;
    Check(CreateTypeLib2(SYS_WIN32, argv[1], lib.put()), "CreateTypeLib2");
    Check(lib->SetName(W(L"QuorCommonDialogControl")), "SetName");
    Check(lib->SetGuid(qcd::LIBID_QuorCommonDialogControl), "SetGuid");
    Check(lib->SetVersion(qcd::kLibMajor, qcd::kLibMinor), "SetVersion");
    Check(lib->SetLcid(0), "SetLcid");
    Check(lib->SetDocString(W(L"QuorCommonDialogControl")), "SetDocString");

    com_ptr<ITypeLib> stdole;
    Check(LoadTypeLib(L"stdole2.tlb", stdole.put()), "LoadTypeLib(stdole2)");
    com_ptr<ITypeInfo> dispatchInfo;
    Check(stdole->GetTypeInfoOfGuid(IID_IDispatch, dispatchInfo.put()), "GetTypeInfoOfGuid(IDispatch)");

    auto positionType = MakeEnum(lib.get(), L"PositionType", {{L"手動", 0}, {L"中央", 1}});
    auto bgsType = MakeEnum(lib.get(), L"BGSType", {{L"なし", 0}, {L"既定値", 1}, {L"設定", 2}});

    // The dual interface.
    com_ptr<ICreateTypeInfo> iface;
    Check(lib->CreateTypeInfo(W(L"_QuorComDlg"), TKIND_INTERFACE, iface.put()), "CreateTypeInfo(_QuorComDlg)");
    Check(iface->SetGuid(qcd::IID__QuorComDlg), "SetGuid(_QuorComDlg)");
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
            case Type::None: break;
            case Type::Bstr: valueType.vt = VT_BSTR; break;
            case Type::I2: valueType.vt = VT_I2; break;
            case Type::I4: valueType.vt = VT_I4; break;
            case Type::Bool: valueType.vt = VT_BOOL; break;
            case Type::PositionType:
                valueType.vt = VT_USERDEFINED;
                valueType.hreftype = positionRef;
                break;
            case Type::BGSType:
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
        const wchar_t* names[] = {m.name, L"pVal"};
        const UINT nameCount = kind == INVOKE_PROPERTYGET ? 2 : 1;
        Check(iface->SetFuncAndParamNames(index, const_cast<LPOLESTR*>(names), nameCount),
              "SetFuncAndParamNames");
        if (m.help) Check(iface->SetFuncDocString(index, W(m.help)), "SetFuncDocString");
        ++index;
    };
    for (const Member& m : kMembers) {
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
    Check(events->SetGuid(qcd::DIID___QuorComDlg), "SetGuid(__QuorComDlg)");
    Check(events->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE), "SetTypeFlags(__QuorComDlg)");
    HREFTYPE eventsDispatchRef = 0;
    Check(events->AddRefTypeInfo(dispatchInfo.get(), &eventsDispatchRef), "AddRefTypeInfo(events)");
    Check(events->AddImplType(0, eventsDispatchRef), "AddImplType(__QuorComDlg)");
    Check(events->LayOut(), "LayOut(__QuorComDlg)");

    // The control class.
    com_ptr<ICreateTypeInfo> coclass;
    Check(lib->CreateTypeInfo(W(L"QuorComDlg"), TKIND_COCLASS, coclass.put()), "CreateTypeInfo(QuorComDlg)");
    Check(coclass->SetGuid(qcd::CLSID_QuorComDlg), "SetGuid(QuorComDlg)");
    Check(coclass->SetTypeFlags(TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL), "SetTypeFlags(QuorComDlg)");
    Check(coclass->AddImplType(0, RefTo(coclass.get(), iface.get())), "AddImplType(default)");
    Check(coclass->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "SetImplTypeFlags(default)");
    Check(coclass->AddImplType(1, RefTo(coclass.get(), events.get())), "AddImplType(source)");
    Check(coclass->SetImplTypeFlags(1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE), "SetImplTypeFlags(source)");
    Check(coclass->LayOut(), "LayOut(QuorComDlg)");

    Check(lib->SaveAllChanges(), "SaveAllChanges");
    return 0;
}
