// What containers and property browsers read from the registration before (or instead of)
// creating the control: they must find the same facts the object itself reports.
#include <windows.h>

#include <objsafe.h>
#include <ole2.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "control/ids.h"
#include "platform/com_ptr.h"
#include "platform/handles.h"

namespace {

using qcd::win::com_ptr;

std::wstring GuidText(const GUID& g) {
    wchar_t buf[40];
    StringFromGUID2(g, buf, 40);
    return buf;
}

// The default value of HKCR\CLSID\{control}\<subkey>, or nothing.
std::wstring ClassValue(const wchar_t* subkey) {
    const std::wstring path = L"CLSID\\" + GuidText(qcd::CLSID_QuorComDlg) + L"\\" + subkey;
    wchar_t buf[MAX_PATH * 2];
    DWORD size = sizeof buf;
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return {};
    return buf;
}

com_ptr<IUnknown> CreateControl() {
    com_ptr<IUnknown> unk;
    CoCreateInstance(qcd::CLSID_QuorComDlg, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unk.put_void());
    return unk;
}

// Containers honour OLEMISC_SETCLIENTSITEFIRST and hide run-time-invisible controls from
// the registry value alone, before the object exists.
TEST(RegisteredClass, MiscStatusInTheRegistryMatchesTheObject) {
    DWORD registered = 0;
    ASSERT_EQ(OleRegGetMiscStatus(qcd::CLSID_QuorComDlg, DVASPECT_CONTENT, &registered), S_OK);
    auto object = CreateControl().query<IOleObject>(IID_IOleObject);
    ASSERT_TRUE(object);
    DWORD reported = 0;
    ASSERT_EQ(object->GetMiscStatus(DVASPECT_CONTENT, &reported), S_OK);
    EXPECT_EQ(registered, reported);
    EXPECT_TRUE(registered & OLEMISC_INVISIBLEATRUNTIME);
    EXPECT_TRUE(registered & OLEMISC_SETCLIENTSITEFIRST);
}

// "path, id": a form designer's toolbox loads this bitmap, 16 x 15 pixels in 16 colours.
TEST(RegisteredClass, ToolboxBitmapLoadsFromTheRegisteredPath) {
    const std::wstring value = ClassValue(L"ToolboxBitmap32");
    const size_t comma = value.rfind(L',');
    ASSERT_NE(comma, std::wstring::npos) << "no \"path, id\" value";
    const std::wstring path = value.substr(0, comma);
    const int id = _wtoi(value.c_str() + comma + 1);
    ASSERT_GT(id, 0);

    qcd::win::unique_hmodule module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module) << "cannot load the registered path";
    qcd::win::unique_hbitmap bitmap(static_cast<HBITMAP>(
        LoadImageW(module.get(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    ASSERT_TRUE(bitmap) << "no bitmap resource " << id;
    DIBSECTION dib{};
    ASSERT_EQ(GetObjectW(bitmap.get(), sizeof dib, &dib), static_cast<int>(sizeof dib));
    EXPECT_EQ(dib.dsBm.bmWidth, 16);
    EXPECT_EQ(dib.dsBm.bmHeight, 15);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 4);
}

// A property browser goes from the class's TypeLib and Version keys to the registered type
// library, and from there to the coclass and its default interfaces.
TEST(RegisteredClass, TypeLibraryIsReachableFromTheClassKey) {
    GUID libid{};
    ASSERT_EQ(CLSIDFromString(ClassValue(L"TypeLib").c_str(), &libid), S_OK);
    EXPECT_EQ(libid, qcd::LIBID_QuorCommonDialogControl);
    unsigned major = 0, minor = 0;
    ASSERT_EQ(swscanf(ClassValue(L"Version").c_str(), L"%u.%u", &major, &minor), 2);

    com_ptr<ITypeLib> lib;
    ASSERT_EQ(LoadRegTypeLib(libid, static_cast<WORD>(major), static_cast<WORD>(minor), 0, lib.put()), S_OK)
        << "the Version key names no registered type library";
    com_ptr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(qcd::CLSID_QuorComDlg, coclass.put()), S_OK);

    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    const TYPEKIND kind = attr->typekind;
    const WORD count = attr->cImplTypes;
    coclass->ReleaseTypeAttr(attr);
    ASSERT_EQ(kind, TKIND_COCLASS);

    GUID defaultInterface{}, defaultSource{};
    for (UINT i = 0; i < count; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        com_ptr<ITypeInfo> impl;
        ASSERT_EQ(coclass->GetImplTypeFlags(i, &flags), S_OK);
        ASSERT_EQ(coclass->GetRefTypeOfImplType(i, &ref), S_OK);
        ASSERT_EQ(coclass->GetRefTypeInfo(ref, impl.put()), S_OK);
        TYPEATTR* a = nullptr;
        ASSERT_EQ(impl->GetTypeAttr(&a), S_OK);
        if (flags & IMPLTYPEFLAG_FDEFAULT) (flags & IMPLTYPEFLAG_FSOURCE ? defaultSource : defaultInterface) = a->guid;
        impl->ReleaseTypeAttr(a);
    }
    EXPECT_EQ(defaultInterface, qcd::IID__QuorComDlg);
    EXPECT_EQ(defaultSource, qcd::DIID___QuorComDlg);
}

// Not safe for scripting or initialisation: neither by the component categories in the
// registry (checked by the registration test) nor by IObjectSafety.
TEST(RegisteredClass, DoesNotClaimSafetyThroughIObjectSafety) {
    auto unk = CreateControl();
    ASSERT_TRUE(unk);
    EXPECT_FALSE(unk.query<IObjectSafety>(IID_IObjectSafety));
}

}  // namespace
