// Self-registration: the class, its ProgIDs and the type library, for the machine or
// for the current user only (regsvr32 /n /i:user), and exactly that removed again.
#include "control/registration.h"

#include <string>
#include <vector>

#include "control/QuorComDlg.h"
#include "control/class_table.h"
#include "platform/handles.h"
#include "resources/resource_ids.h"

// In oleaut32 since Vista, but not declared by the mingw-w64 headers.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* lib, OLECHAR* path, OLECHAR* helpDir);
extern "C" HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libid, WORD major, WORD minor, LCID lcid,
                                                   SYSKIND syskind);

namespace qcd {

namespace {

using win::com_ptr;

// CATID_Control: "Controls" in the component categories.
constexpr wchar_t kControlCategory[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";

std::wstring GuidText(const GUID& g) {
    wchar_t buf[40];
    StringFromGUID2(g, buf, 40);
    return buf;
}

std::wstring ModulePath() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
    return n && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}

HKEY ClassesRoot(RegistrationScope scope, win::unique_hkey& holder) {
    if (scope == RegistrationScope::Machine) return HKEY_CLASSES_ROOT;
    HKEY k = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &k, nullptr) != ERROR_SUCCESS)
        return nullptr;
    holder.reset(k);
    return k;
}

LSTATUS SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k = nullptr;
    LSTATUS s = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr);
    if (s != ERROR_SUCCESS) return s;
    win::unique_hkey owner(k);
    return RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

HRESULT FromStatus(LSTATUS s) { return s == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(s); }

struct RegistryValue {
    std::wstring key;
    const wchar_t* name;
    std::wstring value;
};

// The keys of one class: its CLSID with the server, and its ProgIDs when it has them; a
// control also names its toolbox picture, type library and category.
HRESULT RegisterOneClass(HKEY root, const ClassRow& row, const std::wstring& path) {
    const std::wstring clsid = L"CLSID\\" + GuidText(row.clsid);
    std::vector<RegistryValue> values = {
        {clsid, nullptr, row.userTypeName},
        {clsid + L"\\InprocServer32", nullptr, path},
        {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
    };
    if (row.progId) {
        values.insert(values.end(), {
            {clsid + L"\\ProgID", nullptr, row.versionedProgId},
            {clsid + L"\\VersionIndependentProgID", nullptr, row.progId},
        });
    }
    if (row.control) {
        values.insert(values.end(), {
            {clsid + L"\\Control", nullptr, L""},
            {clsid + L"\\MiscStatus", nullptr, L"0"},
            {clsid + L"\\MiscStatus\\1", nullptr, std::to_wstring(kMiscStatus)},
            {clsid + L"\\ToolboxBitmap32", nullptr, path + L", " + std::to_wstring(IDB_TOOLBOX)},
            {clsid + L"\\TypeLib", nullptr, GuidText(LIBID_QuorCommonDialogControl)},
            {clsid + L"\\Version", nullptr, std::to_wstring(kLibMajor) + L"." + std::to_wstring(kLibMinor)},
            {clsid + L"\\Implemented Categories\\" + kControlCategory, nullptr, L""},
        });
    }
    if (row.progId) {
        values.insert(values.end(), {
            {row.progId, nullptr, row.userTypeName},
            {std::wstring(row.progId) + L"\\CLSID", nullptr, GuidText(row.clsid)},
            {std::wstring(row.progId) + L"\\CurVer", nullptr, row.versionedProgId},
            {row.versionedProgId, nullptr, row.userTypeName},
            {std::wstring(row.versionedProgId) + L"\\CLSID", nullptr, GuidText(row.clsid)},
        });
    }
    for (const RegistryValue& v : values) {
        HRESULT hr = FromStatus(SetValue(root, v.key, v.name, v.value));
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// Whether the other build (32-bit for this 64-bit one, and the other way round) has `clsid`
// registered in the same scope. Asked after this build's CLSIDs are gone: without WoW64 there
// is one view, and the answer is then no.
bool RegisteredInOtherView(RegistrationScope scope, const GUID& clsid) {
    const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    const HKEY base = scope == RegistrationScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const std::wstring key = L"Software\\Classes\\CLSID\\" + GuidText(clsid) + L"\\InprocServer32";
    HKEY k = nullptr;
    if (RegOpenKeyExW(base, key.c_str(), 0, KEY_READ | otherView, &k) != ERROR_SUCCESS) return false;
    win::unique_hkey owner(k);
    return true;
}

}  // namespace

HRESULT RegisterServer(RegistrationScope scope) {
    const std::wstring path = ModulePath();
    if (path.empty()) return E_FAIL;
    win::unique_hkey holder;
    HKEY root = ClassesRoot(scope, holder);
    if (!root) return E_ACCESSDENIED;

    for (const ClassRow& row : ClassTable()) {
        HRESULT hr = RegisterOneClass(root, row, path);
        if (FAILED(hr)) return hr;
    }

    com_ptr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    std::wstring mutablePath = path;
    return scope == RegistrationScope::Machine
               ? RegisterTypeLib(lib.get(), mutablePath.data(), nullptr)
               : RegisterTypeLibForUser(lib.get(), mutablePath.data(), nullptr);
}

// The platform entry of the type library this build registers ("win32" or "win64" under the
// version's locale key): the other build's entry is left alone.
constexpr SYSKIND kOwnSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;

HRESULT UnregisterServer(RegistrationScope scope) {
    win::unique_hkey holder;
    HKEY root = ClassesRoot(scope, holder);
    if (!root) return E_ACCESSDENIED;
    HRESULT result = S_OK;
    auto deleteTree = [&](const std::wstring& key) {
        LSTATUS s = RegDeleteTreeW(root, key.c_str());
        if (s != ERROR_SUCCESS && s != ERROR_FILE_NOT_FOUND) result = HRESULT_FROM_WIN32(s);
    };
    for (const ClassRow& row : ClassTable()) deleteTree(L"CLSID\\" + GuidText(row.clsid));
    // ProgIDs are shared by the 32-bit and the 64-bit registry views; CLSIDs are not. While the
    // other build's class is still registered, its ProgIDs (the same names and class) stay.
    for (const ClassRow& row : ClassTable()) {
        if (!row.progId || RegisteredInOtherView(scope, row.clsid)) continue;
        deleteTree(row.versionedProgId);
        deleteTree(row.progId);
    }
    // Only a registered library is unregistered: Wine answers E_INVALIDARG otherwise.
    BSTR registeredPath = nullptr;
    if (QueryPathOfRegTypeLib(LIBID_QuorCommonDialogControl, kLibMajor, kLibMinor, 0, &registeredPath) == S_OK) {
        SysFreeString(registeredPath);
        HRESULT hr = scope == RegistrationScope::Machine
                         ? UnRegisterTypeLib(LIBID_QuorCommonDialogControl, kLibMajor, kLibMinor, 0, kOwnSysKind)
                         : UnRegisterTypeLibForUser(LIBID_QuorCommonDialogControl, kLibMajor, kLibMinor, 0,
                                                    kOwnSysKind);
        if (FAILED(hr)) result = hr;
    }
    return result;
}

}  // namespace qcd
