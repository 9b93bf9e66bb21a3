// The smoke test: the container code of the form, without the form. Creates the control
// from its library file (no registry), activates it in place on a hidden window, checks the
// 32 x 32 snap, sets properties by name, and carries them through a bag file and back.
#include <windows.h>

#include <ocidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "control/ids.h"
#include "demo/app.h"
#include "demo/automation.h"
#include "demo/container.h"
#include "demo/text_bag.h"
#include "platform/com_ptr.h"
#include "platform/handles.h"

namespace demo {

namespace {

using qcd::win::com_ptr;

std::string Utf8(const std::wstring& s) {
    if (s.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void Print(HANDLE stream, const std::wstring& line) {
    const std::string text = Utf8(line + L"\n");
    DWORD written = 0;
    WriteFile(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// Records what the site hears; the checks compare it with what should have been said.
class Recorder final : public SiteEvents {
public:
    std::vector<DISPID> changed;
    std::vector<RECT> posChanges;
    int viewChanges = 0;
    void OnPropertyChanged(DISPID id) override { changed.push_back(id); }
    void OnPosRectChanged(const RECT& pos) override { posChanges.push_back(pos); }
    void OnViewChanged() override { ++viewChanges; }
    void OnStatusText(const wchar_t*) override {}
};

class Smoke {
public:
    explicit Smoke(const Options& options) : options_(options) {}
    int Run();

private:
    bool Check(bool ok, const std::wstring& what) {
        if (!ok) {
            ++failures_;
            Print(GetStdHandle(STD_ERROR_HANDLE), L"FAILED: " + what);
        }
        return ok;
    }
    bool CheckHr(HRESULT hr, const std::wstring& what) {
        wchar_t code[16];
        wsprintfW(code, L"0x%08X", static_cast<unsigned>(hr));
        return Check(SUCCEEDED(hr), what + L" (" + code + L")");
    }
    std::wstring Get(HostedControl& control, const wchar_t* name) {
        std::wstring text;
        Failure failure;
        if (FAILED(GetPropertyText(control.Dispatch(), name, text, &failure)))
            Check(false, std::wstring(L"get ") + name + L": " + failure.Text());
        return text;
    }
    void ExpectProperty(HostedControl& control, const wchar_t* name, const std::wstring& expected) {
        const std::wstring got = Get(control, name);
        Check(got == expected, std::wstring(name) + L" is \"" + got + L"\", expected \"" + expected + L"\"");
    }
    // Assigns and expects the given run-time error number (0: success).
    void Assign(HostedControl& control, const wchar_t* name, const std::wstring& text, int expectedError = 0) {
        Failure failure;
        const HRESULT hr = PutPropertyText(control.Dispatch(), name, text, &failure);
        if (expectedError == 0)
            Check(SUCCEEDED(hr), std::wstring(name) + L" = \"" + text + L"\": " + failure.Text());
        else
            Check(FAILED(hr) && failure.number == expectedError,
                  std::wstring(name) + L" = \"" + text + L"\" should raise " + std::to_wstring(expectedError) +
                      L", got " + (FAILED(hr) ? failure.Text() : std::wstring(L"success")));
    }

    void CheckBagLines();
    void CheckBagFile();
    void CheckActivation(HostedControl& control, Recorder& events);
    void CheckProperties(HostedControl& control, Recorder& events);
    void CheckRoundTrip(HostedControl& control);

    HWND form_ = nullptr;
    Options options_;
    int failures_ = 0;
};

ATOM FormClass() {
    static const ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QuorDemoSmokeForm";
        return RegisterClassExW(&wc);
    }();
    return atom;
}

// The line format alone: what a hand-edited or damaged file must not get past.
void Smoke::CheckBagLines() {
    const std::wstring tricky = std::wstring(L"a\\b\r\nc=d:e") + L'\0' + L"ﾌｧｲﾙ";
    const BagEntry entries[] = {{L"S", tricky}, {L"B", true}, {L"N", int16_t{-32768}}, {L"L", int32_t{-2147483647 - 1}}};
    for (const BagEntry& e : entries) {
        const std::wstring line = FormatBagLine(e);
        Check(line.find_first_of(L"\r\n") == std::wstring::npos, L"a bag line stays on one line: " + line);
        auto back = ParseBagLine(line);
        Check(back && back->name == e.name && back->value == e.value, L"bag line round trip: " + line);
    }
    for (const wchar_t* bad : {L"X=I2:32768", L"X=I4:2147483648", L"X=I2:", L"X=I2:1 ", L"X=Bool:yes",
                               L"X=Str:bad\\q", L"X=Str:end\\", L"=Str:x", L"X=Date:1", L"X"})
        Check(!ParseBagLine(bad), std::wstring(L"bag line rejected: ") + bad);
}

// The bag as a reader sees it: typed reads, missing keys, and a damaged file.
void Smoke::CheckBagFile() {
    auto bag = com_ptr<TextPropertyBag>::attach(TextPropertyBag::Create());
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I2;
    V_I2(&v) = 100;
    CheckHr(bag->Write(L"MaxFileSize", &v), L"write an I2");
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(L"abc");
    CheckHr(bag->Write(L"DefaultExt", &v), L"write a string");
    VariantClear(&v);
    Check(bag->Write(L"a=b", &v) == E_INVALIDARG, L"a key with '=' is refused");

    V_VT(&v) = VT_I4;
    Check(bag->Read(L"MaxFileSize", &v, nullptr) == S_OK && V_VT(&v) == VT_I4 && V_I4(&v) == 100,
          L"an I2 reads back as the I4 asked for");
    VariantInit(&v);
    V_VT(&v) = VT_I2;
    Check(bag->Read(L"DefaultExt", &v, nullptr) == DISP_E_TYPEMISMATCH, L"\"abc\" read as I2 is a type mismatch");
    VariantInit(&v);
    Check(bag->Read(L"Filter", &v, nullptr) == E_INVALIDARG, L"a missing key reads as E_INVALIDARG");

    wchar_t folder[MAX_PATH], path[MAX_PATH];
    if (!Check(GetTempPathW(MAX_PATH, folder) && GetTempFileNameW(folder, L"qcd", 0, path), L"a temporary file"))
        return;
    {
        qcd::win::unique_file file(
            CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        const wchar_t text[] = L"\xFEFF; comment\r\nMaxFileSize=I2:7\r\nFilter=I2:many\r\n";
        DWORD written = 0;
        Check(file && WriteFile(file.get(), text, sizeof text - sizeof(wchar_t), &written, nullptr),
              L"write a damaged bag file");
    }
    int badLine = 0;
    Check(bag->LoadFile(path, &badLine) == HRESULT_FROM_WIN32(ERROR_INVALID_DATA) && badLine == 3,
          L"a damaged file names its bad line: " + std::to_wstring(badLine));
    Check(bag->Entries().size() == 2, L"a damaged file leaves the bag as it was");
    DeleteFileW(path);
    Check(bag->LoadFile(path, &badLine) == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L"a missing file says so");
}

void Smoke::CheckActivation(HostedControl& control, Recorder& events) {
    const RECT requested{10, 10, 110, 70};
    if (!CheckHr(control.Attach(form_, form_, &events, requested, true, nullptr), L"attach with InitNew")) return;
    if (!CheckHr(control.Activate(), L"in-place activation")) return;
    const Site* site = control.GetSite();
    Check(site->InPlaceActive(), L"the site heard OnInPlaceActivate");
    Check(!events.posChanges.empty(), L"a 100 x 60 request is answered with OnPosRectChange");
    const RECT& pos = site->PosRect();
    Check(pos.left == 10 && pos.top == 10 && pos.right == 42 && pos.bottom == 42,
          L"the site's rectangle snapped to 32 x 32 at (10, 10)");

    const HWND window = control.Window();
    if (!Check(window != nullptr, L"the active control has a window")) return;
    Check(GetParent(window) == form_, L"the control's window is a child of the form");
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, form_, reinterpret_cast<POINT*>(&r), 2);
    Check(r.left == 10 && r.top == 10 && r.right - r.left == 32 && r.bottom - r.top == 32,
          L"the control's window is 32 x 32 at (10, 10): " + std::to_wstring(r.right - r.left) + L" x " +
              std::to_wstring(r.bottom - r.top));

    // A second, larger request from the form snaps back the same way.
    const size_t before = events.posChanges.size();
    control.RequestRect(RECT{5, 6, 205, 106});
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, form_, reinterpret_cast<POINT*>(&r), 2);
    Check(events.posChanges.size() == before + 1 && r.left == 5 && r.top == 6 && r.right - r.left == 32 &&
              r.bottom - r.top == 32,
          L"SetObjectRects 200 x 100 snaps back to 32 x 32");
}

void Smoke::CheckProperties(HostedControl& control, Recorder& events) {
    // A fresh control.
    ExpectProperty(control, L"Filter", L"すべてのﾌｧｲﾙ(*.*)|*.*");
    ExpectProperty(control, L"MaxFileSize", L"260");
    ExpectProperty(control, L"BackGroundSlide", L"1");
    ExpectProperty(control, L"CancelError", L"False");
    ExpectProperty(control, L"FileTitle", L"");

    const struct {
        const wchar_t* name;
        std::wstring text;
        std::wstring readBack;
    } values[] = {
        {L"CancelError", L"True", L"True"},
        {L"DefaultExt", L"txt", L"txt"},
        {L"Filter", L"テキスト (*.txt)|*.txt|すべて|*.*", L"テキスト (*.txt)|*.txt|すべて|*.*"},
        {L"FilterIndex", L"2", L"2"},
        {L"FileName", L"C:\\data\\a=b.txt", L"C:\\data\\a=b.txt"},
        {L"InitDir", L"C:\\データ", L"C:\\データ"},
        {L"MaxFileSize", L"-5", L"-5"},
        {L"DialogTitle", L"一行目\n二行目", L"一行目\n二行目"},
        {L"DialogLeft", L"-100", L"-100"},
        {L"DialogTop", L"2147483647", L"2147483647"},
        {L"Position", L"5", L"5"},
        {L"BackGroundSlide", L"0", L"0"},
    };
    events.changed.clear();
    for (const auto& v : values) {
        Assign(control, v.name, v.text);
        ExpectProperty(control, v.name, v.readBack);
    }
    Check(events.changed.size() == std::size(values), L"one OnChanged per assignment: " +
                                                          std::to_wstring(events.changed.size()));
    for (size_t i = 0; i < events.changed.size() && i < std::size(values); ++i) {
        DISPID id = DISPID_UNKNOWN;
        DispIdOf(control.Dispatch(), values[i].name, &id);
        Check(events.changed[i] == id, std::wstring(L"OnChanged names ") + values[i].name);
    }

    // The type library's conversions fail as a script sees them, and change nothing.
    events.changed.clear();
    Assign(control, L"MaxFileSize", L"abc", 13);
    Assign(control, L"MaxFileSize", L"70000", 6);
    ExpectProperty(control, L"MaxFileSize", L"-5");

    // FileTitle is never assignable; the ambient mode decides the number.
    Assign(control, L"FileTitle", L"x.txt", 382);
    control.SetUserMode(false);
    Assign(control, L"FileTitle", L"x.txt", 387);
    control.SetUserMode(true);
    Assign(control, L"FileTitle", L"x.txt", 382);
    ExpectProperty(control, L"FileTitle", L"");
    Check(events.changed.empty(), L"failed assignments send no OnChanged");

    // The help strings and enumerations come from the library's own type information.
    DISPID position = DISPID_UNKNOWN;
    DispIdOf(control.Dispatch(), L"Position", &position);
    const std::wstring members = TypeHintOf(control.Dispatch(), position);
    Check(members == L"手動=0 中央=1", L"Position's enumeration reads \"" + members + L"\"");
    Check(!HelpStringOf(control.Dispatch(), position).empty(), L"Position has a help string");
}

void Smoke::CheckRoundTrip(HostedControl& control) {
    auto bag = com_ptr<TextPropertyBag>::attach(TextPropertyBag::Create());
    if (!CheckHr(control.Save(bag.get()), L"IPersistPropertyBag::Save")) return;
    // The twelve changed properties, in bag order; FileTitle and SlideFolder hold defaults.
    const wchar_t* expected[] = {L"CancelError", L"DefaultExt",  L"Filter",    L"FilterIndex",
                                 L"FileName",    L"InitDir",     L"MaxFileSize", L"DialogTitle",
                                 L"DialogLeft",  L"DialogTop",   L"Position",  L"BackGroundSlide"};
    const auto& entries = bag->Entries();
    bool order = entries.size() == std::size(expected);
    for (size_t i = 0; order && i < entries.size(); ++i) order = entries[i].name == expected[i];
    Check(order, L"the bag holds the changed properties in bag order (" + std::to_wstring(entries.size()) + L")");
    for (const BagEntry& e : entries) {
        if (e.name == L"MaxFileSize") Check(std::holds_alternative<int16_t>(e.value), L"MaxFileSize is stored as I2");
        if (e.name == L"CancelError") Check(std::holds_alternative<bool>(e.value), L"CancelError is stored as Bool");
        if (e.name == L"Position") Check(std::holds_alternative<int32_t>(e.value), L"Position is stored as I4");
    }

    wchar_t folder[MAX_PATH], path[MAX_PATH];
    if (!Check(GetTempPathW(MAX_PATH, folder) && GetTempFileNameW(folder, L"qcd", 0, path), L"a temporary file"))
        return;
    CheckHr(bag->SaveFile(path), L"save the bag file");

    auto reread = com_ptr<TextPropertyBag>::attach(TextPropertyBag::Create());
    int badLine = 0;
    CheckHr(reread->LoadFile(path, &badLine), L"read the bag file back, bad line " + std::to_wstring(badLine));
    DeleteFileW(path);

    // A second control loads the file, as the form does when it is opened again.
    Recorder events;
    HostedControl second;
    if (!CheckHr(second.Create(ControlSource{options_.libraryPath, false}), L"create a second control")) return;
    HRESULT loaded = E_FAIL;
    if (!CheckHr(second.Attach(form_, form_, &events, RECT{0, 0, 32, 32}, true, reread.get(), &loaded),
                 L"attach the second control"))
        return;
    CheckHr(loaded, L"IPersistPropertyBag::Load");
    for (const wchar_t* name : {L"CancelError", L"DefaultExt", L"Filter", L"FilterIndex", L"FileName",
                                L"FileTitle", L"InitDir", L"MaxFileSize", L"DialogTitle", L"DialogLeft",
                                L"DialogTop", L"SlideFolder", L"Position", L"BackGroundSlide"})
        ExpectProperty(second, name, Get(control, name));
    Check(events.changed.empty(), L"loading sends no OnChanged");

    // A fresh control writes nothing: every value is its default.
    HostedControl fresh;
    auto empty = com_ptr<TextPropertyBag>::attach(TextPropertyBag::Create());
    if (CheckHr(fresh.Create(ControlSource{options_.libraryPath, false}), L"create a fresh control") &&
        CheckHr(fresh.Attach(form_, form_, &events, RECT{0, 0, 32, 32}, true, nullptr), L"attach it") &&
        CheckHr(fresh.Save(empty.get()), L"save it"))
        Check(empty->Entries().empty(), L"a fresh control writes no keys: " + std::to_wstring(empty->Entries().size()));
}

int Smoke::Run() {
    CheckBagLines();
    CheckBagFile();

    FormClass();
    qcd::win::unique_hwnd form(CreateWindowExW(0, L"QuorDemoSmokeForm", L"QuorDemo smoke", WS_OVERLAPPEDWINDOW, 0,
                                               0, 320, 240, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    form_ = form.get();
    if (!Check(form_ != nullptr, L"a form window")) return 1;

    {
        Recorder events;
        HostedControl control;
        bool fromLibrary = false;
        if (!CheckHr(control.Create(ControlSource{options_.libraryPath, false}, &fromLibrary),
                     L"create the control from " + options_.libraryPath))
            return 1;
        Check(fromLibrary, L"the control came from its library file");
        CheckActivation(control, events);
        CheckProperties(control, events);
        CheckRoundTrip(control);
        control.Close();
        Check(!control.GetSite(), L"the site is let go");
    }

    Print(GetStdHandle(failures_ ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE),
          failures_ ? L"smoke: " + std::to_wstring(failures_) + L" check(s) failed" : std::wstring(L"smoke: ok"));
    return failures_ ? 1 : 0;
}

}  // namespace

int RunSmokeTest(const Options& options) {
    Smoke smoke(options);
    return smoke.Run();
}

}  // namespace demo
