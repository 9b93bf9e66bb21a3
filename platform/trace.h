// A trace of what failed at the module's boundaries, to diagnose a host in the field: the
// exceptions the boundary guards stop and the platform calls after which a preview gives up.
// Off unless the environment variable QCD_TRACE is set to anything but "0" or the registry
// value HKEY_CURRENT_USER\Software\QuorComDlg\Trace (a DWORD) is not 0; read once. Lines go to
// OutputDebugStringW: a debugger shows them, and Wine prints them with WINEDEBUG=warn+seh.
#pragma once

#include <windows.h>

#include <string_view>

namespace qcd::win {

bool TraceOn() noexcept;

// "QuorComDlg: <where>: <what>"
void Trace(const char* where, const char* what) noexcept;
void Trace(const char* where, std::u16string_view what) noexcept;
// "QuorComDlg: <where>: <call> failed, <code in hex>" for an HRESULT, MCI or Win32 error code.
void TraceFailure(const char* where, const char* call, unsigned long code) noexcept;

}  // namespace qcd::win
