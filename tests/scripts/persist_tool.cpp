// Stores the control's properties as a host does, for the test that moves them between the
// 32-bit and the 64-bit control (cross_persistence_test.py).
//   qcd_persist_tool OCX save DIR        every property set to a sample value, saved to
//                                        DIR\bag.txt (a form file's bag) and DIR\stream.bin
//   qcd_persist_tool OCX copy FROM DIR   FROM's bag and stream loaded into two fresh controls
//                                        and saved again to DIR
// Each prints the properties it saved, one "bag|stream Name=Value" line each, non-ASCII
// characters as \uXXXX. The control is loaded from OCX itself: no registration needed.
#include <windows.h>

#include <ole2.h>
#include <olectl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/automation.h"
#include "control/ids.h"
#include "demo/text_bag.h"
#include "platform/com_ptr.h"
#include "platform/handles.h"

namespace {

using qcd::win::com_ptr;
namespace automation = qcd::automation;

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

struct Sample {
    const wchar_t* name;
    VARIANT value;
};

VARIANT Text(const wchar_t* s) {
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(s);
    return v;
}

VARIANT Number(VARTYPE type, LONG n) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = n;
    VariantChangeType(&v, &v, 0, type);
    return v;
}

// Values unlike the defaults, with text outside any ANSI code page and extremes of the
// integer types, so that a width or byte-order difference between the builds shows.
std::vector<Sample> Samples() {
    return {
        {L"DefaultExt", Text(L"jpg")},
        {L"FileName", Text(L"C:\\写真\\Ελλάδα \U0001F600.png")},
        {L"InitDir", Text(L"C:\\写真")},
        {L"MaxFileSize", Number(VT_I2, 32767)},
        {L"DialogTitle", Text(L"画像を開く €")},
        {L"FilterIndex", Number(VT_I4, 2147483647)},
        {L"Filter", Text(L"画像(*.jpg)|*.jpg|すべて|*.*")},
        {L"CancelError", Number(VT_BOOL, -1)},
        {L"SlideFolder", Text(L"D:\\スライド")},
        {L"DialogLeft", Number(VT_I4, -2147483647 - 1)},
        {L"DialogTop", Number(VT_I4, -300)},
        {L"Position", Number(VT_I4, 1)},
        {L"BackGroundSlide", Number(VT_I4, 2)},
    };
}

DISPID DispidOfName(IDispatch* dispatch, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

bool Put(IDispatch* dispatch, const wchar_t* name, VARIANT* value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{value, &named, 1, 1};
    return SUCCEEDED(dispatch->Invoke(DispidOfName(dispatch, name), IID_NULL, LOCALE_USER_DEFAULT,
                                      DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr));
}

std::wstring Get(IDispatch* dispatch, const wchar_t* name) {
    DISPPARAMS none{};
    VARIANT v;
    VariantInit(&v);
    if (FAILED(dispatch->Invoke(DispidOfName(dispatch, name), IID_NULL, LOCALE_USER_DEFAULT,
                                DISPATCH_PROPERTYGET, &none, &v, nullptr, nullptr)))
        return L"<error>";
    std::wstring type = std::to_wstring(V_VT(&v));
    // Fixed locale: the text of a number or boolean must not depend on the user's settings.
    if (FAILED(VariantChangeTypeEx(&v, &v, MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT),
                                   VARIANT_ALPHABOOL, VT_BSTR)))
        return L"<unconvertible>";
    std::wstring text = type + L":" + std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
    VariantClear(&v);
    return text;
}

void PrintProperties(const char* from, IDispatch* dispatch) {
    for (const automation::Member& m : automation::kMembers) {
        if (!m.isProperty) continue;
        const std::wstring name(reinterpret_cast<const wchar_t*>(m.name));
        std::printf("%s %ls=", from, name.c_str());
        for (wchar_t c : Get(dispatch, name.c_str())) {
            if (c >= 0x20 && c < 0x7F)
                std::putchar(static_cast<char>(c));
            else
                std::printf("\\u%04X", static_cast<unsigned>(c));
        }
        std::putchar('\n');
    }
}

class Control {
public:
    explicit Control(IClassFactory* factory) {
        factory->CreateInstance(nullptr, IID_IDispatch, dispatch_.put_void());
    }
    IDispatch* Dispatch() const { return dispatch_.get(); }
    template <typename T>
    com_ptr<T> As(REFIID iid) const { return dispatch_.query<T>(iid); }

private:
    com_ptr<IDispatch> dispatch_;
};

std::vector<char> ReadAll(const std::wstring& path) {
    std::vector<char> bytes;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(f);
    }
    return bytes;
}

bool WriteAll(const std::wstring& path, const void* data, size_t size) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

bool SaveBag(const Control& control, const std::wstring& dir) {
    auto bag = com_ptr<demo::TextPropertyBag>::attach(demo::TextPropertyBag::Create());
    auto persist = control.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
    return persist && SUCCEEDED(persist->Save(bag.get(), TRUE, TRUE)) &&
           SUCCEEDED(bag->SaveFile(dir + L"\\bag.txt"));
}

bool SaveStream(const Control& control, const std::wstring& dir) {
    com_ptr<IStream> mem;
    auto persist = control.As<IPersistStreamInit>(IID_IPersistStreamInit);
    if (!persist || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, mem.put())) || FAILED(persist->Save(mem.get(), TRUE)))
        return false;
    HGLOBAL global = nullptr;
    STATSTG stat{};
    if (FAILED(GetHGlobalFromStream(mem.get(), &global)) || FAILED(mem->Stat(&stat, STATFLAG_NONAME))) return false;
    const void* data = GlobalLock(global);
    const bool ok = data && WriteAll(dir + L"\\stream.bin", data, static_cast<size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(global);
    return ok;
}

bool LoadBag(const Control& control, const std::wstring& dir) {
    auto bag = com_ptr<demo::TextPropertyBag>::attach(demo::TextPropertyBag::Create());
    auto persist = control.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
    return persist && SUCCEEDED(bag->LoadFile(dir + L"\\bag.txt")) && SUCCEEDED(persist->Load(bag.get(), nullptr));
}

bool LoadStream(const Control& control, const std::wstring& dir) {
    const std::vector<char> bytes = ReadAll(dir + L"\\stream.bin");
    com_ptr<IStream> mem;
    auto persist = control.As<IPersistStreamInit>(IID_IPersistStreamInit);
    if (bytes.empty() || !persist || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, mem.put()))) return false;
    LARGE_INTEGER start{};
    return SUCCEEDED(mem->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr)) &&
           SUCCEEDED(mem->Seek(start, STREAM_SEEK_SET, nullptr)) && SUCCEEDED(persist->Load(mem.get()));
}

int Fail(const char* what) {
    std::printf("failed: %s\n", what);
    return 1;
}

int Run(int argc, wchar_t** argv) {
    const std::wstring command = argc > 2 ? argv[2] : L"";
    if (!(argc == 4 && command == L"save") && !(argc == 5 && command == L"copy")) return Fail("usage");
    // Declared first: freed after every object of the control is gone.
    const qcd::win::unique_hmodule library(LoadLibraryW(argv[1]));
    auto getClassObject = library ? reinterpret_cast<GetClassObject>(reinterpret_cast<void (*)()>(
                                        GetProcAddress(library.get(), "DllGetClassObject")))
                                  : nullptr;
    com_ptr<IClassFactory> factory;
    if (!getClassObject || FAILED(getClassObject(qcd::CLSID_QuorComDlg, IID_IClassFactory, factory.put_void())))
        return Fail("cannot load the control");
    Control forBag(factory.get()), forStream(factory.get());
    if (!forBag.Dispatch() || !forStream.Dispatch()) return Fail("cannot create the control");

    const std::wstring out = argv[argc - 1];
    if (command == L"save") {
        for (Sample& s : Samples()) {
            const bool stored = Put(forBag.Dispatch(), s.name, &s.value) && Put(forStream.Dispatch(), s.name, &s.value);
            VariantClear(&s.value);
            if (!stored) return Fail("a property refused its sample value");
        }
    } else {
        if (!LoadBag(forBag, argv[3])) return Fail("cannot load the bag");
        if (!LoadStream(forStream, argv[3])) return Fail("cannot load the stream");
    }
    PrintProperties("bag", forBag.Dispatch());
    PrintProperties("stream", forStream.Dispatch());
    if (!SaveBag(forBag, out)) return Fail("cannot save the bag");
    if (!SaveStream(forStream, out)) return Fail("cannot save the stream");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (FAILED(CoInitialize(nullptr))) return Fail("CoInitialize");
    const int status = Run(argc, argv);
    CoUninitialize();
    return status;
}
