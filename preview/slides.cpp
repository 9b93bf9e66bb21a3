#include "preview/slides.h"

#include <algorithm>

namespace qcd {

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool Matches(std::u16string_view name, std::u16string_view pattern) {
    // Greedy with one backtrack point: enough for '*' and '?'.
    size_t n = 0, p = 0, star = std::u16string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            mark = n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

bool LessWithoutCase(const std::u16string& a, const std::u16string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = Lower(a[i]), y = Lower(b[i]);
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

}  // namespace

void BuiltinCycle::Step() {
    if (forward) {
        if (++index > kBuiltinPictureCount - 1) {
            index = kBuiltinPictureCount - 1;
            forward = false;
        }
    } else if (--index < 0) {
        index = 0;
        forward = true;
    }
}

bool MatchesPattern(std::u16string_view name, std::u16string_view patterns) {
    while (true) {
        const size_t semi = patterns.find(u';');
        const std::u16string_view one = patterns.substr(0, semi);
        if (!one.empty() && Matches(name, one)) return true;
        if (semi == std::u16string_view::npos) return false;
        patterns.remove_prefix(semi + 1);
    }
}

std::vector<std::u16string> SlideNames(std::vector<std::u16string> names,
                                       std::u16string_view patterns) {
    std::erase_if(names, [&](const std::u16string& n) { return !MatchesPattern(n, patterns); });
    std::sort(names.begin(), names.end(), LessWithoutCase);
    if (names.size() > kMaxSlides) names.resize(kMaxSlides);
    return names;
}

std::u16string WithBackslash(std::u16string folder) {
    if (folder.empty() || folder.back() != u'\\') folder += u'\\';
    return folder;
}

int16_t NextSlide(int16_t index, size_t count) {
    const int32_t next = static_cast<int32_t>(index) + 1;
    return next > static_cast<int32_t>(count) - 1 ? 0 : static_cast<int16_t>(next);
}

bool SlideStaysAfterAbort(PreviewKind kind) {
    const auto k = static_cast<int16_t>(kind);
    return (k >= 51 && k <= 54) || kind == PreviewKind::MciPaused;
}

std::u16string_view FileNameOf(std::u16string_view path) {
    const size_t slash = path.rfind(u'\\');
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace qcd
