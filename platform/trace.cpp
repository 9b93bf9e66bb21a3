#include "platform/trace.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace qcd::win {

namespace {

bool ReadSwitch() noexcept {
    if (const char* env = std::getenv("QCD_TRACE")) return *env && std::strcmp(env, "0") != 0;
    DWORD value = 0, size = sizeof value;
    return RegGetValueW(HKEY_CURRENT_USER, L"Software\\QuorComDlg", L"Trace", RRF_RT_REG_DWORD,
                        nullptr, &value, &size) == ERROR_SUCCESS &&
           value != 0;
}

void Write(const char* line) noexcept {
    wchar_t wide[512];
    if (MultiByteToWideChar(CP_UTF8, 0, line, -1, wide, static_cast<int>(std::size(wide))) == 0)
        return;
    OutputDebugStringW(wide);
}

}  // namespace

bool TraceOn() noexcept {
    static const bool on = ReadSwitch();
    return on;
}

void Trace(const char* where, const char* what) noexcept {
    if (!TraceOn()) return;
    char line[480];
    std::snprintf(line, sizeof line, "QuorComDlg: %s: %s\n", where, what);
    Write(line);
}

void Trace(const char* where, std::u16string_view what) noexcept {
    if (!TraceOn()) return;
    char utf8[400];
    const int n = WideCharToMultiByte(
        CP_UTF8, 0, reinterpret_cast<const wchar_t*>(what.data()),
        static_cast<int>(std::min<size_t>(what.size(), 120)), utf8, sizeof utf8 - 1, nullptr,
        nullptr);
    utf8[n > 0 ? n : 0] = '\0';
    Trace(where, utf8);
}

void TraceFailure(const char* where, const char* call, unsigned long code) noexcept {
    if (!TraceOn()) return;
    char what[200];
    std::snprintf(what, sizeof what, "%s failed, 0x%08lx", call, code);
    Trace(where, what);
}

}  // namespace qcd::win
