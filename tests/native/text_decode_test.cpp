#include "readers/text_decode.h"

#include <gtest/gtest.h>

namespace qcd {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(std::initializer_list<int> v) {
    Bytes b;
    for (int x : v) b.push_back(static_cast<uint8_t>(x));
    return b;
}

// Code page 932's lead bytes; a pair decodes to one unit holding both bytes, so the tests can
// see what the conversion was given.
struct FakeAnsi {
    std::vector<size_t> calls;
    AnsiCodePage Page() {
        return {IsCp932LeadByte, [this](std::span<const uint8_t> b) {
                    calls.push_back(b.size());
                    std::u16string out;
                    for (size_t i = 0; i < b.size(); ++i) {
                        if (IsCp932LeadByte(b[i]) && i + 1 < b.size()) {
                            out.push_back(static_cast<char16_t>(b[i] << 8 | b[i + 1]));
                            ++i;
                        } else {
                            out.push_back(b[i]);
                        }
                    }
                    return out;
                }};
    }
};

TextEncoding Detect(const Bytes& b, size_t limit = kTextPreviewLimit) {
    return DetectTextEncoding(b, limit).encoding;
}

TEST(TextDecode, ByteOrderMarksChooseTheEncoding) {
    EXPECT_EQ(DetectTextEncoding(B({0xEF, 0xBB, 0xBF, 'a'}), kTextPreviewLimit).bomSize, 3u);
    // Even when what follows is not UTF-8.
    EXPECT_EQ(Detect(B({0xEF, 0xBB, 0xBF, 0x82, 0xA0})), TextEncoding::Utf8);
    EXPECT_EQ(Detect(B({0xFF, 0xFE, 'a', 0})), TextEncoding::Utf16Le);
    EXPECT_EQ(Detect(B({0xFE, 0xFF, 0, 'a'})), TextEncoding::Utf16Be);
    EXPECT_EQ(DetectTextEncoding(B({0xFE, 0xFF}), kTextPreviewLimit).bomSize, 2u);
    EXPECT_EQ(Detect(B({0xEF, 0xBB})), TextEncoding::Ansi);
}

TEST(TextDecode, ValidMultibyteUtf8IsUtf8AndEverythingElseAnsi) {
    EXPECT_EQ(Detect(B({'a', 0xE3, 0x81, 0x82, '\n'})), TextEncoding::Utf8);
    EXPECT_EQ(Detect(B({0xF0, 0x9F, 0x98, 0x80})), TextEncoding::Utf8);
    EXPECT_EQ(Detect(B({})), TextEncoding::Ansi);
    EXPECT_EQ(Detect(B({'p', 'l', 'a', 'i', 'n'})), TextEncoding::Ansi);
    // Shift-JIS "あい".
    EXPECT_EQ(Detect(B({0x82, 0xA0, 0x82, 0xA2})), TextEncoding::Ansi);
    EXPECT_EQ(Detect(B({'a', 0xE3, 0x81, 0x82, 0x80})), TextEncoding::Ansi);
    EXPECT_EQ(Detect(B({0xC0, 0xAF})), TextEncoding::Ansi);              // overlong
    EXPECT_EQ(Detect(B({0xE0, 0x9F, 0xBF})), TextEncoding::Ansi);        // overlong
    EXPECT_EQ(Detect(B({0xED, 0xA0, 0x80})), TextEncoding::Ansi);        // surrogate
    EXPECT_EQ(Detect(B({0xF4, 0x90, 0x80, 0x80})), TextEncoding::Ansi);  // past U+10FFFF
    EXPECT_EQ(Detect(B({0xF5, 0x80, 0x80, 0x80})), TextEncoding::Ansi);
    // A file that ends inside a sequence is broken, not cut.
    EXPECT_EQ(Detect(B({0xC3, 0xA9, 0xE3, 0x81}), 4), TextEncoding::Ansi);
    // The same bytes with more to come: the split sequence is left out of the test.
    EXPECT_EQ(Detect(B({0xC3, 0xA9, 0xE3, 0x81, 0x82}), 4), TextEncoding::Utf8);
}

TEST(TextDecode, Utf8CutLandsOnASequenceStart) {
    const Bytes b = B({'a', 0xC3, 0xA9, 0xE3, 0x81, 0x82, 0xF0, 0x9F, 0x98, 0x80, 'z'});
    const size_t expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10};
    for (size_t limit = 0; limit < b.size(); ++limit)
        EXPECT_EQ(CutUtf8(b, limit), expected[limit]) << limit;
    EXPECT_EQ(CutUtf8(b, b.size()), b.size());
    EXPECT_EQ(CutUtf8(b, 100), b.size());
    // A run of stray continuation bytes is not searched past three.
    EXPECT_EQ(CutUtf8(B({'a', 0x80, 0x80, 0x80, 0x80, 0x80}), 5), 5u);
    // Continuation bytes after an ASCII byte do not move the cut before it.
    EXPECT_EQ(CutUtf8(B({'a', 'b', 0x80, 0x80}), 3), 3u);
}

TEST(TextDecode, Utf16CutKeepsUnitsAndPairsWhole) {
    // BOM, 'a', U+1F600 as a pair, 'b'.
    const Bytes le = B({0xFF, 0xFE, 'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 'b', 0});
    EXPECT_EQ(CutUtf16(le, 5, false), 4u);
    EXPECT_EQ(CutUtf16(le, 6, false), 4u);
    EXPECT_EQ(CutUtf16(le, 7, false), 4u);
    EXPECT_EQ(CutUtf16(le, 8, false), 8u);
    EXPECT_EQ(CutUtf16(le, 10, false), 10u);
    const Bytes be = B({0xFE, 0xFF, 0xD8, 0x3D, 0xDE, 0x00});
    EXPECT_EQ(CutUtf16(be, 4, true), 2u);
    EXPECT_EQ(CutUtf16(be, 4, false), 4u);
    // An odd byte at the real end stays for the decoder.
    EXPECT_EQ(CutUtf16(B({0xFF, 0xFE, 'a'}), 4, false), 3u);
}

TEST(TextDecode, DbcsCutFindsCharactersFromTheStart) {
    // 'a', "あ" (82 A0), 'b'.
    const Bytes b = B({'a', 0x82, 0xA0, 'b'});
    EXPECT_EQ(CutDbcs(b, 1, IsCp932LeadByte), 1u);
    EXPECT_EQ(CutDbcs(b, 2, IsCp932LeadByte), 1u);
    EXPECT_EQ(CutDbcs(b, 3, IsCp932LeadByte), 3u);
    // 82 82 is one character: its trail byte looks like a lead byte but is not one.
    EXPECT_EQ(CutDbcs(B({0x82, 0x82, 'a', 'b'}), 2, IsCp932LeadByte), 2u);
    EXPECT_EQ(CutDbcs(B({0xFC, 0xFC, 0xE0, 0x40, 'x'}), 3, IsCp932LeadByte), 2u);
    // A lead byte that ends the file is handed over as it is.
    EXPECT_EQ(CutDbcs(B({'a', 0x82}), 2, IsCp932LeadByte), 2u);
    // Another code page's lead bytes.
    EXPECT_EQ(CutDbcs(B({'a', 'b', 'c'}), 2, [](uint8_t c) { return c == 'b'; }), 1u);
}

TEST(TextDecode, Utf8DecodingReplacesEachMaximalInvalidPart) {
    EXPECT_EQ(DecodeUtf8(B({'a', 0xC3, 0xA9, 0xE3, 0x81, 0x82})), u"aéあ");
    EXPECT_EQ(DecodeUtf8(B({0xF0, 0x9F, 0x98, 0x80})), u"\U0001F600");
    EXPECT_EQ(DecodeUtf8(B({0xF4, 0x8F, 0xBF, 0xBF})), u"\U0010FFFF");
    EXPECT_EQ(DecodeUtf8(B({'a', 0x80, 'b'})), u"a\uFFFDb");
    EXPECT_EQ(DecodeUtf8(B({0xE3, 0x81, 'a'})), u"\uFFFDa");
    EXPECT_EQ(DecodeUtf8(B({0xF0, 0x9F, 0x98})), u"\uFFFD");
    EXPECT_EQ(DecodeUtf8(B({0xC0, 0xAF})), u"\uFFFD\uFFFD");
    EXPECT_EQ(DecodeUtf8(B({0xED, 0xA0, 0x80})), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(DecodeUtf8(B({0xFF})), u"\uFFFD");
}

TEST(TextDecode, Utf16DecodingLeavesNoLoneSurrogate) {
    EXPECT_EQ(DecodeUtf16(B({'a', 0, 0x3D, 0xD8, 0x00, 0xDE}), false), u"a\U0001F600");
    EXPECT_EQ(DecodeUtf16(B({0, 'a', 0xD8, 0x3D, 0xDE, 0x00}), true), u"a\U0001F600");
    EXPECT_EQ(DecodeUtf16(B({0x3D, 0xD8, 'a', 0}), false), u"\uFFFDa");
    EXPECT_EQ(DecodeUtf16(B({0x00, 0xDE, 0x3D, 0xD8}), false), u"\uFFFD\uFFFD");
    EXPECT_EQ(DecodeUtf16(B({'a', 0, 'b'}), false), u"a\uFFFD");
    EXPECT_EQ(DecodeUtf16(B({}), false), u"");
}

TEST(TextDecode, EditControlGetsCrLfAndNoNul) {
    EXPECT_EQ(ForEditControl(u"a\nb\r\nc\rd"), u"a\r\nb\r\nc\r\nd");
    EXPECT_EQ(ForEditControl(u"\r\r\n\n\r"), u"\r\n\r\n\r\n\r\n");
    EXPECT_EQ(ForEditControl(u"\n\r"), u"\r\n\r\n");
    EXPECT_EQ(ForEditControl(std::u16string(u"a\0b", 3)), u"a b");
    EXPECT_EQ(ForEditControl(u"\x01\tb\x1f\x0b\x0c"), u" \tb   ");
    EXPECT_EQ(ForEditControl(u""), u"");
}

TEST(TextDecode, EditControlGetsBoundedLines) {
    // A long line goes on in the next, a surrogate pair kept whole across the bound.
    std::u16string longLine(kLongestShownLine - 1, u'x');
    longLine += u"\xD83D\xDE00yz\r\nw";
    EXPECT_EQ(ForEditControl(longLine), std::u16string(kLongestShownLine - 1, u'x') +
                                             u"\xD83D\xDE00\r\nyz\r\nw");
    const std::u16string exact(kLongestShownLine, u'x');
    EXPECT_EQ(ForEditControl(exact + u"\n"), exact + u"\r\n");
    // Lines past the last shown are left out.
    std::u16string many;
    for (size_t i = 0; i < kMostShownLines + 5; ++i) many += u"a\n";
    const std::u16string shown = ForEditControl(many);
    EXPECT_EQ(shown.size(), kMostShownLines * 3 - 2);
    EXPECT_EQ(shown.substr(shown.size() - 4), u"a\r\na");
}

TEST(TextDecode, PiecesAreSizedByTheTimeTheLastTook) {
    const size_t steady = static_cast<size_t>(kTextPieceMs) * 1000;
    EXPECT_EQ(NextTextPiece(steady, kTextPieceMs), steady);
    EXPECT_EQ(NextTextPiece(2 * steady, 2 * kTextPieceMs), steady);
    EXPECT_EQ(NextTextPiece(steady, kTextPieceMs / 8), 4 * steady);  // grows at most fourfold
    EXPECT_EQ(NextTextPiece(1000, 1000), kSmallestTextPiece);
    EXPECT_EQ(NextTextPiece(kLargestTextPiece, 0), kLargestTextPiece);
}

TEST(TextDecode, PreviewTextByEncoding) {
    FakeAnsi ansi;
    EXPECT_EQ(DecodeTextPreview(B({0xEF, 0xBB, 0xBF, 'a', '\n', 0xE3, 0x81, 0x82}), ansi.Page()),
              u"a\r\nあ");
    EXPECT_EQ(DecodeTextPreview(B({0xFF, 0xFE, 'h', 0, '\n', 0, 'i', 0}), ansi.Page()), u"h\r\ni");
    EXPECT_EQ(DecodeTextPreview(B({0xFE, 0xFF, 0x30, 0x42}), ansi.Page()), u"あ");
    EXPECT_EQ(DecodeTextPreview(B({0xFF, 0xFE}), ansi.Page()), u"");
    EXPECT_EQ(DecodeTextPreview(B({0xC3, 0xA9, '\r'}), ansi.Page()), u"é\r\n");
    EXPECT_TRUE(ansi.calls.empty());

    EXPECT_EQ(DecodeTextPreview(B({0x82, 0xA0, '\n', 0}), ansi.Page()), u"\x82A0\r\n ");
    EXPECT_EQ(DecodeTextPreview(B({}), ansi.Page()), u"");
    EXPECT_EQ(ansi.calls, (std::vector<size_t>{4, 0}));
}

TEST(TextDecode, PreviewTextStopsAtTheLimit) {
    FakeAnsi ansi;
    // These texts are one long line, which the box is given broken: count without the breaks.
    auto unbroken = [](std::u16string s) {
        std::erase_if(s, [](char16_t c) { return c == u'\r' || c == u'\n'; });
        return s;
    };
    // 'a' then "ああ…": the limit's last byte is a lead byte and stays out.
    Bytes sjis(kTextReadSize, 0xA0);
    sjis[0] = 'a';
    for (size_t i = 1; i < sjis.size(); i += 2) sjis[i] = 0x82;
    const std::u16string shown = unbroken(DecodeTextPreview(sjis, ansi.Page()));
    EXPECT_EQ(ansi.calls, (std::vector<size_t>{kTextPreviewLimit - 1}));
    EXPECT_EQ(shown.size(), 1 + (kTextPreviewLimit - 2) / 2);
    EXPECT_EQ(shown.back(), u'\x82A0');

    // "あ" repeated in UTF-8: 2^20 is one byte into a sequence.
    Bytes utf8(kTextReadSize);
    for (size_t i = 0; i < utf8.size(); ++i) utf8[i] = i % 3 == 0 ? 0xE3 : i % 3 == 1 ? 0x81 : 0x82;
    const std::u16string text = unbroken(DecodeTextPreview(utf8, ansi.Page()));
    EXPECT_EQ(text.size(), (kTextPreviewLimit - 1) / 3);
    EXPECT_EQ(text.find_first_not_of(u'あ'), std::u16string::npos);

    // UTF-16 with its BOM: the limit counts the BOM.
    Bytes utf16(kTextReadSize, 0);
    utf16[0] = 0xFF;
    utf16[1] = 0xFE;
    for (size_t i = 2; i < utf16.size(); i += 2) utf16[i] = 'x';
    EXPECT_EQ(unbroken(DecodeTextPreview(utf16, ansi.Page())).size(), kTextPreviewLimit / 2 - 1);
    EXPECT_EQ(ansi.calls.size(), 1u);
}

TEST(TextDecode, PiecesCoverTheTextAndEndAtLineBreaksOrWholeCharacters) {
    const std::u16string lines = u"one\r\ntwo\r\nthree\r\n";
    // Cut after the last break that fits; the rest in one when it fits.
    EXPECT_EQ(TextPieceEnd(lines, 0, 9), 5u);
    EXPECT_EQ(TextPieceEnd(lines, 5, 100), lines.size());
    EXPECT_EQ(TextPieceEnd(lines, lines.size(), 4), lines.size());
    // No break in reach: never between CR and LF, nor inside a surrogate pair.
    EXPECT_EQ(TextPieceEnd(u"abc\r\nd", 0, 4), 3u);
    EXPECT_EQ(TextPieceEnd(u"ab\xD83D\xDE00" u"c", 0, 3), 2u);
    EXPECT_EQ(TextPieceEnd(u"abcdef", 0, 4), 4u);
    EXPECT_EQ(FirstLinesEnd(lines, 2, 100), 10u);
    EXPECT_EQ(FirstLinesEnd(lines, 9, 100), lines.size());
    EXPECT_EQ(FirstLinesEnd(lines, 2, 8), 5u);
    EXPECT_EQ(FirstLinesEnd(u"abcdef", 1, 4), 4u);
    // Pieces put together give the text back, each one advancing.
    std::u16string text;
    for (int i = 0; i < 500; ++i)
        text += i % 7 ? std::u16string(static_cast<size_t>(i % 13), u'x') + u"\r\n"
                      : std::u16string(u"\xD83D\xDE00\r");
    for (size_t most : {2u, 3u, 16u, 1000u}) {
        std::u16string joined;
        for (size_t at = 0; at < text.size();) {
            const size_t end = TextPieceEnd(text, at, most);
            ASSERT_GT(end, at);
            ASSERT_LE(end - at, most);
            const char16_t last = text[end - 1];
            if (end < text.size()) EXPECT_FALSE(last >= 0xD800 && last <= 0xDBFF) << end;
            joined += text.substr(at, end - at);
            at = end;
        }
        EXPECT_EQ(joined, text) << most;
    }
}

}  // namespace
}  // namespace qcd
