// The type library as hosts read it: names (Japanese ones intact under code page 932),
// member order, dispatch ids, types and help strings.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "control/ids.h"
#include "picture_files.h"
#include "platform/com_ptr.h"

namespace qcd::test {
namespace {

using win::com_ptr;

class TypeLibTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        ASSERT_HRESULT_SUCCEEDED(LoadTypeLibEx(path, REGKIND_NONE, lib_.put()));
    }
    com_ptr<ITypeInfo> Info(const GUID& guid) {
        com_ptr<ITypeInfo> info;
        EXPECT_HRESULT_SUCCEEDED(lib_->GetTypeInfoOfGuid(guid, info.put()));
        return info;
    }
    com_ptr<ITypeInfo> Named(const wchar_t* name) {
        for (UINT i = 0; i < lib_->GetTypeInfoCount(); ++i) {
            BSTR n = nullptr;
            lib_->GetDocumentation(static_cast<INT>(i), &n, nullptr, nullptr, nullptr);
            const bool match = n && std::wstring(n) == name;
            SysFreeString(n);
            if (match) {
                com_ptr<ITypeInfo> info;
                lib_->GetTypeInfo(i, info.put());
                return info;
            }
        }
        return {};
    }
    // The vtable side of the dual interface: what Invoke calls and what early-binding hosts
    // compile against.
    com_ptr<ITypeInfo> Vtable(UINT& funcs, WORD& flags) {
        auto dispatch = Info(IID__QuorComDlg);
        HREFTYPE ref = 0;
        com_ptr<ITypeInfo> vtbl;
        funcs = 0;
        flags = 0;
        if (!dispatch || FAILED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) ||
            FAILED(dispatch->GetRefTypeInfo(ref, vtbl.put())))
            return {};
        TYPEATTR* attr = nullptr;
        if (SUCCEEDED(vtbl->GetTypeAttr(&attr))) {
            funcs = attr->cFuncs;
            flags = attr->wTypeFlags;
            vtbl->ReleaseTypeAttr(attr);
        }
        return vtbl;
    }
    com_ptr<ITypeLib> lib_;
};

std::wstring Take(BSTR b) {
    std::wstring s(b ? b : L"");
    SysFreeString(b);
    return s;
}

TEST_F(TypeLibTest, LibraryAndEnumsKeepTheirNames) {
    EXPECT_EQ(Take([&] {
                  BSTR n = nullptr;
                  lib_->GetDocumentation(-1, &n, nullptr, nullptr, nullptr);
                  return n;
              }()),
              L"QuorCommonDialogControl");
    // The library embedded in each build is laid out for that build's pointers.
    TLIBATTR* lib = nullptr;
    ASSERT_HRESULT_SUCCEEDED(lib_->GetLibAttr(&lib));
    EXPECT_EQ(lib->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    lib_->ReleaseTLibAttr(lib);
    const struct {
        const wchar_t* name;
        std::vector<std::pair<std::wstring, LONG>> members;
    } enums[] = {
        {L"PositionType", {{L"手動", 0}, {L"中央", 1}}},
        {L"BGSType", {{L"なし", 0}, {L"既定値", 1}, {L"設定", 2}}},
    };
    for (const auto& e : enums) {
        auto info = Named(e.name);
        ASSERT_TRUE(info) << "missing enum";
        TYPEATTR* attr = nullptr;
        info->GetTypeAttr(&attr);
        ASSERT_EQ(attr->typekind, TKIND_ENUM);
        ASSERT_EQ(attr->cVars, e.members.size());
        info->ReleaseTypeAttr(attr);
        for (UINT i = 0; i < e.members.size(); ++i) {
            VARDESC* vd = nullptr;
            info->GetVarDesc(i, &vd);
            BSTR name = nullptr;
            UINT count = 0;
            info->GetNames(vd->memid, &name, 1, &count);
            EXPECT_EQ(Take(name), e.members[i].first);
            EXPECT_EQ(V_I4(vd->lpvarValue), e.members[i].second);
            info->ReleaseVarDesc(vd);
        }
    }
}

TEST_F(TypeLibTest, DualInterfaceMembersInOrderWithHelpStrings) {
    UINT funcs = 0;
    WORD flags = 0;
    const auto vtbl = Vtable(funcs, flags);
    ASSERT_TRUE(vtbl);
    EXPECT_TRUE(flags & TYPEFLAG_FDUAL);

    const std::vector<std::wstring> order = {
        L"Show_AboutBox", L"DefaultExt",  L"FileName",  L"InitDir",    L"MaxFileSize", L"DialogTitle",
        L"FilterIndex",   L"Filter",      L"ShowOpen",  L"ShowSave",   L"CancelError", L"SlideFolder",
        L"FileTitle",     L"DialogLeft",  L"DialogTop", L"Position",   L"BackGroundSlide"};
    std::vector<std::wstring> seen;
    for (UINT i = 0; i < funcs; ++i) {
        FUNCDESC* fd = nullptr;
        vtbl->GetFuncDesc(i, &fd);
        BSTR name = nullptr, help = nullptr;
        vtbl->GetDocumentation(fd->memid, &name, &help, nullptr, nullptr);
        std::wstring n = Take(name), h = Take(help);
        if (seen.empty() || seen.back() != n) seen.push_back(n);
        // Byte offsets in the vtable follow IDispatch's seven slots, in member order.
        EXPECT_EQ(fd->oVft, static_cast<SHORT>((7 + i) * sizeof(void*))) << i;
        if (n == L"Show_AboutBox") {
            EXPECT_EQ(fd->memid, DISPID_ABOUTBOX);
        }
        if (n == L"MaxFileSize" && fd->invkind == INVOKE_PROPERTYPUT) {
            EXPECT_EQ(fd->lprgelemdescParam[0].tdesc.vt, VT_I2);
        }
        if (n == L"CancelError" && fd->invkind == INVOKE_PROPERTYPUT) {
            EXPECT_EQ(fd->lprgelemdescParam[0].tdesc.vt, VT_BOOL);
        }
        if (n == L"Position" && fd->invkind == INVOKE_PROPERTYPUT) {
            EXPECT_EQ(fd->lprgelemdescParam[0].tdesc.vt, VT_USERDEFINED);
            com_ptr<ITypeInfo> e;
            vtbl->GetRefTypeInfo(fd->lprgelemdescParam[0].tdesc.hreftype, e.put());
            BSTR en = nullptr;
            e->GetDocumentation(MEMBERID_NIL, &en, nullptr, nullptr, nullptr);
            EXPECT_EQ(Take(en), L"PositionType");
        }
        if (n == L"Filter") {
            EXPECT_EQ(h, L"ﾀﾞｲｱﾛｸﾞ ﾎﾞｯｸｽの [ﾌｧｲﾙの種類] ﾘｽﾄ ﾎﾞｯｸｽに表示されるﾌｨﾙﾀを設定します。値の取得も可能です。");
        }
        if (n == L"ShowOpen") {
            EXPECT_EQ(h, L"");
        }
        vtbl->ReleaseFuncDesc(fd);
    }
    EXPECT_EQ(seen, order);
}

// docs/reference.md's member table, a line per member: "name|kind|type|id|help".
std::vector<std::wstring> ReferenceMembers() {
    std::ifstream in(OnDriveZ(QCD_REFERENCE_FILE), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                        text.data(), static_cast<int>(text.size()))));
    std::vector<std::wstring> rows;
    std::wistringstream lines(text.substr(std::min(text.find(L"\n## Members"), text.size())));
    std::wstring line;
    while (std::getline(lines, line)) {
        if (!line.starts_with(L"| `")) {
            if (!rows.empty()) break;  // the table's end
            continue;
        }
        std::vector<std::wstring> cells;
        std::wistringstream split(line.substr(1));
        for (std::wstring cell; std::getline(split, cell, L'|');) {
            const size_t first = cell.find_first_not_of(L" `"), last = cell.find_last_not_of(L" `\r");
            cells.push_back(first == std::wstring::npos ? L"" : cell.substr(first, last - first + 1));
        }
        cells.resize(5);
        for (size_t at; (at = cells[4].find(L"<br>")) != std::wstring::npos;) cells[4].replace(at, 4, L"\r\n");
        rows.push_back(cells[0] + L"|" + cells[1] + L"|" + cells[2] + L"|" + cells[3] + L"|" + cells[4]);
    }
    return rows;
}

std::wstring TypeName(ITypeInfo* info, const TYPEDESC& t) {
    switch (t.vt) {
        case VT_BSTR: return L"String";
        case VT_I2: return L"Integer";
        case VT_I4: return L"Long";
        case VT_BOOL: return L"Boolean";
        case VT_USERDEFINED: {
            com_ptr<ITypeInfo> e;
            info->GetRefTypeInfo(t.hreftype, e.put());
            BSTR name = nullptr;
            if (e) e->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            return Take(name);
        }
        default: return L"VT " + std::to_wstring(t.vt);
    }
}

// The reference is written by hand: its table of members must say what the library says.
TEST_F(TypeLibTest, TheReferenceListsEveryMemberAsTheLibraryHasIt) {
    UINT funcs = 0;
    WORD flags = 0;
    const auto vtbl = Vtable(funcs, flags);
    ASSERT_TRUE(vtbl);
    std::vector<std::wstring> library;
    for (UINT i = 0; i < funcs; ++i) {
        FUNCDESC* fd = nullptr;
        vtbl->GetFuncDesc(i, &fd);
        BSTR name = nullptr, help = nullptr;
        vtbl->GetDocumentation(fd->memid, &name, &help, nullptr, nullptr);
        // A property is listed once, by its setter, which names its type.
        if (fd->invkind != INVOKE_PROPERTYGET) {
            const bool method = fd->invkind == INVOKE_FUNC;
            library.push_back(Take(name) + L"|" + (method ? L"method|—" : L"property|" +
                              TypeName(vtbl.get(), fd->lprgelemdescParam[0].tdesc)) +
                              L"|" + std::to_wstring(fd->memid) + L"|" + Take(help));
        } else {
            SysFreeString(name);
            SysFreeString(help);
        }
        vtbl->ReleaseFuncDesc(fd);
    }
    const std::vector<std::wstring> reference = ReferenceMembers();
    ASSERT_EQ(reference.size(), library.size());
    for (size_t i = 0; i < library.size(); ++i) EXPECT_EQ(reference[i], library[i]) << "row " << i;
}

TEST_F(TypeLibTest, CoclassIsAControlWithAnEmptyEventInterface) {
    auto coclass = Info(CLSID_QuorComDlg);
    TYPEATTR* attr = nullptr;
    coclass->GetTypeAttr(&attr);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCONTROL);
    EXPECT_EQ(attr->cImplTypes, 2);
    coclass->ReleaseTypeAttr(attr);
    INT flags = 0;
    coclass->GetImplTypeFlags(1, &flags);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);

    auto events = Info(DIID___QuorComDlg);
    events->GetTypeAttr(&attr);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->cFuncs, 7);  // IDispatch's own members only: no events
    events->ReleaseTypeAttr(attr);
}

}  // namespace
}  // namespace qcd::test
