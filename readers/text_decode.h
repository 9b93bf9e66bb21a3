// The text preview's reading of a file: which encoding, where to cut a long file, and the
// text the multi-line edit box is given. Portable code; the system code page's conversion is
// supplied by the Win32 side.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace qcd {

// Only the start of a long file is shown.
inline constexpr size_t kTextPreviewLimit = size_t{1} << 20;
// What the caller reads: the bytes past the limit tell the cut that the file goes on, so a
// character split by the limit is dropped rather than taken for a broken one.
inline constexpr size_t kTextReadSize = kTextPreviewLimit + 4;

enum class TextEncoding : uint8_t { Ansi, Utf8, Utf16Le, Utf16Be };

struct TextLayout {
    TextEncoding encoding;
    size_t bomSize;
};

// The system ANSI code page, as the Win32 side has it.
struct AnsiCodePage {
    // Whether a byte starts a two-byte character.
    std::function<bool(uint8_t)> isLeadByte;
    // The conversion; it is only given whole characters, as the lead bytes decide them.
    std::function<std::u16string(std::span<const uint8_t>)> toUtf16;
};

// Code page 932's lead bytes: 0x81-0x9F and 0xE0-0xFC.
bool IsCp932LeadByte(uint8_t b);

// A BOM chooses UTF-8 or UTF-16; otherwise UTF-8 when the bytes up to the cut are valid
// UTF-8 with at least one multi-byte sequence; otherwise the ANSI code page.
TextLayout DetectTextEncoding(std::span<const uint8_t> bytes, size_t limit = kTextPreviewLimit);

// Each cut gives how many of `bytes` to decode: all of them up to `limit`, and when there are
// more than `limit` (the file goes on) the largest count not above it that ends a character.
size_t CutUtf8(std::span<const uint8_t> bytes, size_t limit);
// Counted from the start of `bytes`, whose code units begin at an even offset.
size_t CutUtf16(std::span<const uint8_t> bytes, size_t limit, bool bigEndian);
size_t CutDbcs(std::span<const uint8_t> bytes, size_t limit,
               const std::function<bool(uint8_t)>& isLeadByte);

// Valid UTF-8 (no overlong forms, surrogates or values past U+10FFFF) with a multi-byte
// sequence in it.
bool IsMultibyteUtf8(std::span<const uint8_t> bytes);
// Ill-formed input becomes U+FFFD, one for each maximal invalid part; the output is well-formed.
std::u16string DecodeUtf8(std::span<const uint8_t> bytes);
std::u16string DecodeUtf16(std::span<const uint8_t> bytes, bool bigEndian);

// The edit control lays a text out line by line, at a cost per line (about 20 us under Wine)
// and per character, and draws a shown line whole: the box is given at most this many lines,
// and no line longer than this (a longer one goes on in the next line).
inline constexpr size_t kMostShownLines = 20000;
inline constexpr size_t kLongestShownLine = 2048;

// A multi-line edit control breaks lines only at CR LF and ends its text at a NUL: every
// CR LF, lone CR and lone LF becomes CR LF, every NUL and other control character but the tab
// a space (the platform draws each one through its font fallback, a hundred times the cost
// of a letter), and lines are held to the two bounds above.
std::u16string ForEditControl(std::u16string_view text);

// Where the piece of `text` that starts at `from` and has at most `most` code units ends:
// after the last line break in it when it has one, otherwise never inside a surrogate pair or
// between the CR and LF of a break. Always past `from` while text remains (`most` >= 2).
size_t TextPieceEnd(std::u16string_view text, size_t from, size_t most);

// The end of the first `lines` lines of `text`, within TextPieceEnd(text, 0, most).
size_t FirstLinesEnd(std::u16string_view text, size_t lines, size_t most);

// A text goes into its box in pieces, each timed: the next piece is sized to take about
// kTextPieceMs at the rate the last one went in, grows at most fourfold a step, and stays
// within the bounds. The cost per character differs a hundredfold between texts.
inline constexpr double kTextPieceMs = 30;
inline constexpr size_t kSmallestTextPiece = 256;
inline constexpr size_t kLargestTextPiece = 256 << 10;
size_t NextTextPiece(size_t lastChars, double lastMs);

// The box's text for a file whose first bytes (up to kTextReadSize of them) are `bytes`.
std::u16string DecodeTextPreview(std::span<const uint8_t> bytes, const AnsiCodePage& ansi,
                                 size_t limit = kTextPreviewLimit);

}  // namespace qcd
