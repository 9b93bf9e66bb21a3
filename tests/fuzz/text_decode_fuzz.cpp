// Feeds arbitrary bytes to the text decoder with a small limit taken from the first byte, so
// the cuts are met often. The ANSI conversion must only be given whole code page 932
// characters, and the box's text must be well-formed UTF-16 with CR LF breaks and no NUL.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "readers/text_decode.h"
#include "fuzz_check.h"

namespace {

bool IsHigh(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLow(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t limit = data[0];
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    const bool fileGoesOn = bytes.size() > limit;

    bool ansiUsed = false;
    const qcd::AnsiCodePage ansi{qcd::IsCp932LeadByte, [&](std::span<const uint8_t> b) {
                                     ansiUsed = true;
                                     Check(b.size() <= limit);
                                     size_t i = 0;
                                     while (i < b.size()) i += qcd::IsCp932LeadByte(b[i]) ? 2 : 1;
                                     // A lead byte may end what is given only at the file's end.
                                     Check(i == b.size() || !fileGoesOn);
                                     return std::u16string(b.begin(), b.end());
                                 }};
    const std::u16string text = qcd::DecodeTextPreview(bytes, ansi, limit);
    Check(ansiUsed == (qcd::DetectTextEncoding(bytes, limit).encoding == qcd::TextEncoding::Ansi));

    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        Check(u != 0);
        if (u == u'\r') Check(i + 1 < text.size() && text[i + 1] == u'\n');
        if (u == u'\n') Check(i > 0 && text[i - 1] == u'\r');
        if (!ansiUsed) {
            if (IsHigh(u)) Check(i + 1 < text.size() && IsLow(text[i + 1]));
            if (IsLow(u)) Check(i > 0 && IsHigh(text[i - 1]));
        }
    }
    return 0;
}
