// Text at the platform boundary: the control's UTF-16 strings, BSTRs and the ANSI code page.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <string_view>

namespace qcd::win {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16");

inline const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline std::u16string_view View(const wchar_t* s, size_t n) { return {reinterpret_cast<const char16_t*>(s), n}; }

inline std::u16string FromBstr(BSTR b) {
    return b ? std::u16string(View(b, SysStringLen(b))) : std::u16string();
}
// Null on allocation failure.
inline BSTR ToBstr(std::u16string_view s) {
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.data()), static_cast<UINT>(s.size()));
}

// Converts through the system ANSI code page; embedded NULs are kept.
std::string ToAnsi(std::u16string_view s);
std::u16string FromAnsi(std::string_view s);

}  // namespace qcd::win
