#include "platform/text.h"

namespace qcd::win {

std::string ToAnsi(std::u16string_view s) {
    if (s.empty()) return {};
    auto src = reinterpret_cast<const wchar_t*>(s.data());
    int n = WideCharToMultiByte(CP_ACP, 0, src, static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, src, static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::u16string FromAnsi(std::string_view s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()),
                        reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

std::optional<std::string> ToAnsiExactly(std::u16string_view s) {
    std::string ansi = ToAnsi(s);
    if (FromAnsi(ansi) != s) return std::nullopt;
    return ansi;
}

std::u16string ShortPathName(const std::u16string& path) {
    const DWORD needed = GetShortPathNameW(Wide(path), nullptr, 0);
    if (needed == 0) return {};
    std::u16string shortPath(needed, u'\0');
    const DWORD n = GetShortPathNameW(Wide(path), reinterpret_cast<wchar_t*>(shortPath.data()), needed);
    if (n == 0 || n >= needed) return {};
    shortPath.resize(n);
    return shortPath;
}

}  // namespace qcd::win
