// Text at the platform boundary: the control's UTF-16 strings, BSTRs and the ANSI code page.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <optional>
#include <string>
#include <string_view>

namespace qcd::win {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16");

inline const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
// A buffer the platform writes into (its size stays the string's).
inline wchar_t* Buffer(std::u16string& s) { return reinterpret_cast<wchar_t*>(s.data()); }
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
// The ANSI form of a text the code page holds whole; none when a character would be lost.
std::optional<std::string> ToAnsiExactly(std::u16string_view s);

// The short (8.3) form of an existing file's path; empty when the system has none for it.
std::u16string ShortPathName(const std::u16string& path);

}  // namespace qcd::win
