// QuorDemo: a small form that hosts the control in place, as a form designer would.
//   QuorDemo [--run] [--bag FILE] [--ocx FILE] [--quit-after MS] [--ready-file FILE]
//            [--preview NAME]  (opens the Open dialog and selects NAME in its folder)
//   QuorDemo --smoke [--ocx FILE]
#include <windows.h>

#include <ole2.h>
#include <shellapi.h>

#include <cwchar>

#include "demo/app.h"

namespace demo {

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n && n < MAX_PATH ? n : 0);
    const size_t slash = s.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : s.substr(0, slash + 1);
}

namespace {

bool ParseOptions(Options& o) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return false;
    bool ok = true;
    for (int i = 1; i < argc && ok; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--smoke")
            o.smoke = true;
        else if (arg == L"--run")
            o.designMode = false;
        else if (arg == L"--bag" && hasValue)
            o.bagPath = argv[++i];
        else if (arg == L"--ocx" && hasValue) {
            o.libraryPath = argv[++i];
            o.libraryOnly = true;
        } else if (arg == L"--ready-file" && hasValue)
            o.readyFile = argv[++i];
        else if (arg == L"--preview" && hasValue)
            o.previewFile = argv[++i];
        else if (arg == L"--quit-after" && hasValue)
            o.quitAfterMs = static_cast<unsigned>(wcstoul(argv[++i], nullptr, 10));
        else
            ok = false;
    }
    LocalFree(argv);
    if (o.libraryPath.empty()) o.libraryPath = ProgramFolder() + L"QuorCommonDialogControl.ocx";
    if (o.bagPath.empty()) o.bagPath = ProgramFolder() + L"QuorDemo.props";
    return ok;
}

// OLE for the whole run: in-place activation and the property frame need it, not just COM.
class OleScope {
public:
    OleScope() : hr_(OleInitialize(nullptr)) {}
    ~OleScope() {
        if (SUCCEEDED(hr_)) OleUninitialize();
    }
    HRESULT Result() const { return hr_; }

private:
    HRESULT hr_;
};

}  // namespace

}  // namespace demo

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    demo::Options options;
    if (!demo::ParseOptions(options)) {
        // No message box: the scripts that start the demo must never wait on one.
        const char usage[] =
            "usage: QuorDemo [--run] [--bag FILE] [--ocx FILE] [--quit-after MS] [--ready-file FILE]\n"
            "                [--preview NAME]\n"
            "       QuorDemo --smoke [--ocx FILE]\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), usage, sizeof usage - 1, &written, nullptr);
        return 2;
    }
    demo::OleScope ole;
    if (FAILED(ole.Result())) return 3;
    return options.smoke ? demo::RunSmokeTest(options) : demo::RunWindow(options);
}
