#include "preview/preview_kind.h"

#include <array>

#include "control/decimal.h"

namespace qcd {

namespace {

struct RowKeys {
    PreviewRow row;
    std::array<std::u16string_view, 11> keys;
};

constexpr RowKeys kRows[] = {
    {PreviewRow::RasterPicture, {u".bmp", u".dib", u".gif", u".jpg"}},
    {PreviewRow::Metafile, {u".wmf", u".emf"}},
    {PreviewRow::IconFile, {u".ico", u".cur"}},
    {PreviewRow::AnimatedCursor, {u".ani"}},
    {PreviewRow::Video, {u".avi", u".mpg"}},
    {PreviewRow::Vbmp3Sound, {u".wav", u".mp3"}},
    {PreviewRow::MciSound, {u".mid", u".cda"}},
    {PreviewRow::ProgramIcons, {u".exe", u".dll", u".cpl", u".scr", u".ocx", u".vbx"}},
    {PreviewRow::Text,
     {u".txt", u".doc", u".ini", u".vbp", u".csv", u".cnt", u".reg", u".bas", u".frm", u".vbw", u".vbg"}},
};

}  // namespace

std::u16string ExtensionKey(std::u16string_view fileTitle) {
    std::u16string key(fileTitle.substr(fileTitle.size() > 4 ? fileTitle.size() - 4 : 0));
    for (char16_t& c : key)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return key;
}

PreviewRow RowForKey(std::u16string_view key) {
    for (const RowKeys& r : kRows)
        for (std::u16string_view k : r.keys)
            if (!k.empty() && k == key) return r.row;
    return PreviewRow::Unknown;
}

bool RowShowsButtons(PreviewRow row) {
    return row >= PreviewRow::IconFile && row <= PreviewRow::ProgramIcons;
}

bool RowIsMedia(PreviewRow row) { return row >= PreviewRow::Video && row <= PreviewRow::MciSound; }

std::u16string ColorDepthText(int16_t bits) {
    switch (bits) {
        case 1: return u"2";
        case 4: return u"16";
        case 8: return u"256";
        default: return u"Full";
    }
}

std::u16string SizeCaption(int32_t width, int32_t height, int16_t bits) {
    return Decimal(width) + u"x" + Decimal(height) + u"x" + ColorDepthText(bits);
}

std::u16string UnknownSizeCaption(int16_t bits) { return u"?? x ?? x " + ColorDepthText(bits); }

std::u16string ImageLine(int32_t index, int32_t count) {
    return Decimal(index) + u"/" + Decimal(count) + u"  Image";
}

std::u16string FrameLine(int32_t index, int32_t count) {
    return Decimal(index) + u"/" + Decimal(count) + u"  Frame";
}

}  // namespace qcd
