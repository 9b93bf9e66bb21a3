#include "readers/text_decode.h"

#include <algorithm>

namespace qcd {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

struct Utf8Step {
    char32_t codePoint;
    size_t length;  // of the sequence, or of the maximal invalid part
    bool valid;
};

// The sequence at `at`, by the well-formed byte ranges of UTF-8.
Utf8Step NextUtf8(std::span<const uint8_t> b, size_t at) {
    const uint8_t first = b[at];
    if (first < 0x80) return {first, 1, true};
    size_t length;
    char32_t cp;
    uint8_t low = 0x80, high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        cp = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        cp = first & 0x0F;
        if (first == 0xE0) low = 0xA0;   // overlong
        if (first == 0xED) high = 0x9F;  // surrogates
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        cp = first & 0x07;
        if (first == 0xF0) low = 0x90;   // overlong
        if (first == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        return {kReplacement, 1, false};
    }
    for (size_t i = 1; i < length; ++i) {
        if (at + i >= b.size() || b[at + i] < low || b[at + i] > high)
            return {kReplacement, i, false};
        cp = cp << 6 | (b[at + i] & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return {cp, length, true};
}

size_t Utf8LeadLength(uint8_t b) {
    if (b >= 0xC2 && b <= 0xDF) return 2;
    if (b >= 0xE0 && b <= 0xEF) return 3;
    if (b >= 0xF0 && b <= 0xF4) return 4;
    return 1;
}

bool IsContinuation(uint8_t b) {
    return (b & 0xC0) == 0x80;
}

char16_t Unit(std::span<const uint8_t> b, size_t at, bool bigEndian) {
    return bigEndian ? static_cast<char16_t>(b[at] << 8 | b[at + 1])
                     : static_cast<char16_t>(b[at] | b[at + 1] << 8);
}

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 | cp >> 10));
        out.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
    }
}

bool StartsWith(std::span<const uint8_t> b, std::initializer_list<uint8_t> prefix) {
    if (b.size() < prefix.size()) return false;
    size_t i = 0;
    for (uint8_t p : prefix)
        if (b[i++] != p) return false;
    return true;
}

}  // namespace

bool IsCp932LeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

TextLayout DetectTextEncoding(std::span<const uint8_t> bytes, size_t limit) {
    if (StartsWith(bytes, {0xEF, 0xBB, 0xBF})) return {TextEncoding::Utf8, 3};
    if (StartsWith(bytes, {0xFF, 0xFE})) return {TextEncoding::Utf16Le, 2};
    if (StartsWith(bytes, {0xFE, 0xFF})) return {TextEncoding::Utf16Be, 2};
    if (IsMultibyteUtf8(bytes.first(CutUtf8(bytes, limit)))) return {TextEncoding::Utf8, 0};
    return {TextEncoding::Ansi, 0};
}

size_t CutUtf8(std::span<const uint8_t> bytes, size_t limit) {
    if (bytes.size() <= limit) return bytes.size();
    // Back over at most three continuation bytes to the lead of the sequence the limit falls in.
    size_t i = limit;
    while (i > 0 && limit - i < 3 && IsContinuation(bytes[i])) --i;
    return i + Utf8LeadLength(bytes[i]) > limit ? i : limit;
}

size_t CutUtf16(std::span<const uint8_t> bytes, size_t limit, bool bigEndian) {
    if (bytes.size() <= limit) return bytes.size();
    size_t cut = limit & ~size_t{1};
    if (cut >= 2 && IsHighSurrogate(Unit(bytes, cut - 2, bigEndian))) cut -= 2;
    return cut;
}

size_t CutDbcs(std::span<const uint8_t> bytes, size_t limit,
               const std::function<bool(uint8_t)>& isLeadByte) {
    if (bytes.size() <= limit) return bytes.size();
    // A trail byte can look like a lead byte, so the boundaries are found from the start.
    size_t i = 0;
    while (i < limit) i += isLeadByte(bytes[i]) ? 2 : 1;
    return i > limit ? i - 2 : i;
}

bool IsMultibyteUtf8(std::span<const uint8_t> bytes) {
    bool multibyte = false;
    for (size_t at = 0; at < bytes.size();) {
        const Utf8Step step = NextUtf8(bytes, at);
        if (!step.valid) return false;
        multibyte = multibyte || step.length > 1;
        at += step.length;
    }
    return multibyte;
}

std::u16string DecodeUtf8(std::span<const uint8_t> bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) {
        const Utf8Step step = NextUtf8(bytes, at);
        AppendCodePoint(out, step.codePoint);
        at += step.length;
    }
    return out;
}

std::u16string DecodeUtf16(std::span<const uint8_t> bytes, bool bigEndian) {
    std::u16string out;
    out.reserve(bytes.size() / 2 + 1);
    const size_t end = bytes.size() & ~size_t{1};
    for (size_t at = 0; at < end; at += 2) {
        const char16_t u = Unit(bytes, at, bigEndian);
        if (IsHighSurrogate(u) && at + 2 < end && IsLowSurrogate(Unit(bytes, at + 2, bigEndian))) {
            out.push_back(u);
            out.push_back(Unit(bytes, at + 2, bigEndian));
            at += 2;
        } else {
            out.push_back(IsHighSurrogate(u) || IsLowSurrogate(u) ? kReplacement : u);
        }
    }
    if (end != bytes.size()) out.push_back(kReplacement);
    return out;
}

std::u16string ForEditControl(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + text.size() / 16);
    size_t lines = 1, lineStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool lineEnd = c == u'\r' || c == u'\n';
        // A long line is broken where it reaches the bound, never inside a surrogate pair.
        const bool full = !lineEnd && out.size() - lineStart >= kLongestShownLine &&
                          !(c >= 0xDC00 && c <= 0xDFFF);
        if (lineEnd || full) {
            if (lines == kMostShownLines) break;
            ++lines;
            out += u"\r\n";
            lineStart = out.size();
            if (lineEnd) {
                if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
                continue;
            }
        }
        out.push_back(c < u' ' && c != u'\t' ? u' ' : c);
    }
    return out;
}

std::u16string DecodeTextPreview(std::span<const uint8_t> bytes, const AnsiCodePage& ansi,
                                 size_t limit) {
    const TextLayout layout = DetectTextEncoding(bytes, limit);
    size_t cut = 0;
    switch (layout.encoding) {
        case TextEncoding::Utf8:
            cut = CutUtf8(bytes, limit);
            break;
        case TextEncoding::Utf16Le:
            cut = CutUtf16(bytes, limit, false);
            break;
        case TextEncoding::Utf16Be:
            cut = CutUtf16(bytes, limit, true);
            break;
        case TextEncoding::Ansi:
            cut = CutDbcs(bytes, limit, ansi.isLeadByte);
            break;
    }
    const auto payload = cut > layout.bomSize ? bytes.subspan(layout.bomSize, cut - layout.bomSize)
                                              : std::span<const uint8_t>();
    switch (layout.encoding) {
        case TextEncoding::Utf8:
            return ForEditControl(DecodeUtf8(payload));
        case TextEncoding::Utf16Le:
            return ForEditControl(DecodeUtf16(payload, false));
        case TextEncoding::Utf16Be:
            return ForEditControl(DecodeUtf16(payload, true));
        case TextEncoding::Ansi:
            break;
    }
    return ForEditControl(ansi.toUtf16(payload));
}

size_t TextPieceEnd(std::u16string_view text, size_t from, size_t most) {
    if (from >= text.size()) return text.size();
    if (text.size() - from <= most) return text.size();
    size_t end = from + most;
    const size_t lineEnd = text.substr(from, most).rfind(u'\n');
    if (lineEnd != std::u16string_view::npos) return from + lineEnd + 1;
    const char16_t last = text[end - 1];
    if ((last >= 0xD800 && last <= 0xDBFF) || (last == u'\r' && text[end] == u'\n')) --end;
    return end;
}

size_t FirstLinesEnd(std::u16string_view text, size_t lines, size_t most) {
    const size_t limit = TextPieceEnd(text, 0, most);
    size_t end = 0;
    for (size_t n = 0; n < lines && end < limit; ++n) {
        const size_t lineFeed = text.find(u'\n', end);
        end = lineFeed == std::u16string_view::npos ? text.size() : lineFeed + 1;
    }
    return std::min(end, limit);
}

size_t NextTextPiece(size_t lastChars, double lastMs) {
    const double rate = static_cast<double>(lastChars) / std::max(lastMs, 0.5);
    const double next = std::min(rate * kTextPieceMs, 4.0 * static_cast<double>(lastChars));
    return std::clamp(static_cast<size_t>(next), kSmallestTextPiece, kLargestTextPiece);
}

}  // namespace qcd
