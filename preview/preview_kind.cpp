#include "preview/preview_kind.h"

#include <array>

#include "base/decimal.h"

namespace qcd {

namespace {

struct RowKeys {
    PreviewRow row;
    bool showsButtons;
    bool media;
    std::array<std::u16string_view, 11> keys;
};

// Searched in this order; the first row with the key decides.
constexpr RowKeys kRows[] = {
    {PreviewRow::RasterPicture, false, false,
     {u".bmp", u".dib", u".gif", u".jpg", u".png", u".jpe", u".tif"}},
    {PreviewRow::Metafile, false, false, {u".wmf", u".emf"}},
    {PreviewRow::IconFile, true, false, {u".ico", u".cur"}},
    {PreviewRow::AnimatedCursor, true, false, {u".ani"}},
    {PreviewRow::Video, true, true, {u".avi", u".mpg"}},
    {PreviewRow::Vbmp3Sound, true, true, {u".wav", u".mp3"}},
    {PreviewRow::MciSound, true, true, {u".mid", u".cda"}},
    {PreviewRow::ProgramIcons, true, false, {u".exe", u".dll", u".cpl", u".scr", u".ocx", u".vbx"}},
    {PreviewRow::Text, false, false,
     {u".txt", u".doc", u".ini", u".vbp", u".csv", u".cnt", u".reg", u".bas", u".frm", u".vbw", u".vbg"}},
};

const RowKeys* FindRowKeys(PreviewRow row) {
    for (const RowKeys& r : kRows)
        if (r.row == row) return &r;
    return nullptr;
}

using K = PreviewKind;
constexpr KindFamily kFamilies[] = {
    {K::None, K::None, false, false, false},
    {K::Picture, K::Picture, false, false, false},
    {K::Icon, K::Icon, false, false, false},
    {K::IconSet, K::IconSet, false, false, false},
    {K::AnimatedCursor, K::AnimatedCursorPaused, false, false, false},
    {K::Mp3Sound, K::Mp3Backward, true, true, false},
    {K::MciSound, K::MciPaused, true, false, false},
    {K::Video, K::VideoBackward, false, false, true},
};

}  // namespace

namespace {

// The longest prefix of `text` (never ending inside a surrogate pair) that `fits` takes with
// `after` appended; fits is monotone in the prefix's length.
std::u16string LongestFitting(std::u16string_view text, std::u16string_view after,
                              const std::function<bool(std::u16string_view)>& fits) {
    const auto with = [&](size_t n) {
        std::u16string candidate(text.substr(0, n));
        candidate += after;
        return candidate;
    };
    size_t low = 0, high = text.size();  // with(low) is the answer unless a longer one fits
    while (low < high) {
        const size_t mid = low + (high - low + 1) / 2;
        if (fits(with(mid)))
            low = mid;
        else
            high = mid - 1;
    }
    if (low > 0 && text[low - 1] >= 0xD800 && text[low - 1] <= 0xDBFF) --low;
    return with(low);
}

}  // namespace

std::u16string FitTitle(std::u16string_view title,
                        const std::function<bool(std::u16string_view)>& fits) {
    if (fits(title)) return std::u16string(title);
    constexpr std::u16string_view kEllipsis = u"\u2026";
    const size_t dot = title.rfind(u'.');
    if (dot != std::u16string_view::npos && dot > 0) {
        const std::u16string tail = std::u16string(kEllipsis) + std::u16string(title.substr(dot));
        if (fits(tail)) return LongestFitting(title.substr(0, dot), tail, fits);
    }
    return LongestFitting(title, kEllipsis, fits);
}

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

PreviewRow RowForTitle(std::u16string_view fileTitle) {
    const PreviewRow row = RowForKey(ExtensionKey(fileTitle));
    if (row != PreviewRow::Unknown || fileTitle.size() < 5) return row;
    // Picture formats whose extensions are longer than the table's keys.
    std::u16string key(fileTitle.substr(fileTitle.size() - 5));
    for (char16_t& c : key)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return key == u".jpeg" || key == u".jfif" || key == u".tiff" ? PreviewRow::RasterPicture
                                                                 : PreviewRow::Unknown;
}

bool RowShowsButtons(PreviewRow row) {
    const RowKeys* r = FindRowKeys(row);
    return r && r->showsButtons;
}

bool RowIsMedia(PreviewRow row) {
    const RowKeys* r = FindRowKeys(row);
    return r && r->media;
}

const KindFamily& FamilyOf(PreviewKind kind) {
    for (const KindFamily& f : kFamilies)
        if (kind >= f.base && kind <= f.last) return f;
    return kFamilies[0];
}

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
