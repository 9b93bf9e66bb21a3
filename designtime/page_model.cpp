#include "designtime/page_model.h"

#include <algorithm>
#include <array>

#include "base/decimal.h"
#include "resources/resource_ids.h"

namespace qcd::designtime {

namespace {

// The page's controls in twips; inside a frame relative to the frame.
constexpr PageControl kControls[] = {
    {IDC_FILE_NAME_LABEL, {120, 150, 1335, 240}, 0},
    {IDC_FILE_NAME_EDIT, {1440, 90, 6195, 270}, 0},
    {IDC_INIT_DIR_LABEL, {120, 450, 1335, 240}, 0},
    {IDC_INIT_DIR_EDIT, {1440, 390, 5820, 270}, 0},
    {IDC_INIT_DIR_BROWSE, {7320, 420, 315, 255}, 0},
    {IDC_DIALOG_TITLE_LABEL, {120, 750, 1335, 240}, 0},
    {IDC_DIALOG_TITLE_EDIT, {1440, 690, 3750, 270}, 0},
    {IDC_DEFAULT_EXT_LABEL, {120, 1050, 1500, 240}, 0},
    {IDC_DEFAULT_EXT_EDIT, {1440, 990, 750, 270}, 0},
    {IDC_MAX_FILE_SIZE_LABEL, {2820, 1050, 1560, 240}, 0},
    {IDC_MAX_FILE_SIZE_EDIT, {4440, 990, 750, 270}, 0},
    {IDC_CANCEL_ERROR_CHECK, {5820, 1020, 1860, 285}, 0},
    {IDC_FILTER_LABEL, {120, 1350, 1335, 240}, 0},
    {IDC_FILTER_EDIT, {1440, 1290, 3750, 270}, 0},
    {IDC_FILTER_INDEX_LABEL, {5445, 1350, 1455, 240}, 0},
    {IDC_FILTER_INDEX_EDIT, {6885, 1290, 750, 270}, 0},
    {IDC_SLIDE_GROUP, {120, 1620, 7560, 675}, 0},
    {IDC_SLIDE_NONE, {180, 300, 855, 255}, IDC_SLIDE_GROUP},
    {IDC_SLIDE_BUILTIN, {1020, 300, 915, 255}, IDC_SLIDE_GROUP},
    {IDC_SLIDE_FOLDER, {2040, 300, 735, 255}, IDC_SLIDE_GROUP},
    {IDC_SLIDE_FOLDER_LABEL, {2940, 300, 855, 195}, IDC_SLIDE_GROUP},
    {IDC_SLIDE_FOLDER_EDIT, {3780, 240, 2955, 270}, IDC_SLIDE_GROUP},
    {IDC_SLIDE_FOLDER_BROWSE, {6900, 240, 315, 255}, IDC_SLIDE_GROUP},
    {IDC_POSITION_GROUP, {120, 2340, 7575, 675}, 0},
    {IDC_POSITION_CENTRE, {1020, 300, 735, 255}, IDC_POSITION_GROUP},
    {IDC_POSITION_MANUAL, {3180, 300, 735, 255}, IDC_POSITION_GROUP},
    {IDC_LEFT_LABEL, {4560, 300, 555, 255}, IDC_POSITION_GROUP},
    {IDC_LEFT_EDIT, {5160, 260, 555, 270}, IDC_POSITION_GROUP},
    {IDC_TOP_LABEL, {6120, 300, 555, 255}, IDC_POSITION_GROUP},
    {IDC_TOP_EDIT, {6780, 260, 555, 270}, IDC_POSITION_GROUP},
};

constexpr int kMarginTwips = 120;

const PageControl* Find(int id) {
    for (const PageControl& c : kControls)
        if (c.id == id) return &c;
    return nullptr;
}

constexpr std::array<std::u16string_view, kPagePropertyCount> kNames = {
    u"DialogTop", u"DialogLeft",  u"SlideFolder", u"CancelError", u"FilterIndex",
    u"DialogTitle", u"MaxFileSize", u"InitDir",   u"FileName",    u"DefaultExt",
    u"Filter",    u"Position",    u"BackGroundSlide",
};

std::u16string Text(const Value& v) {
    if (auto s = std::get_if<std::u16string>(&v)) return *s;
    if (auto n = std::get_if<int32_t>(&v)) return Decimal(*n);
    return std::get<bool>(v) ? u"True" : u"False";
}

int32_t Number(const Value& v) {
    if (auto n = std::get_if<int32_t>(&v)) return *n;
    if (auto b = std::get_if<bool>(&v)) return *b ? -1 : 0;
    return 0;
}

bool Truth(const Value& v) {
    if (auto b = std::get_if<bool>(&v)) return *b;
    if (auto n = std::get_if<int32_t>(&v)) return *n != 0;
    return false;
}

}  // namespace

std::span<const PageControl> PageControls() { return kControls; }

int TwipsToPixels(int twips, int dpi) {
    const int64_t num = static_cast<int64_t>(twips) * dpi;
    int64_t q = num / 1440, r = num % 1440;
    if (r < 0) {
        r += 1440;
        --q;
    }
    if (2 * r > 1440 || (2 * r == 1440 && (q & 1))) ++q;
    return static_cast<int>(q);
}

std::optional<Rect> PlaceInPixels(int id, int dpi) {
    const PageControl* c = Find(id);
    if (!c) return std::nullopt;
    Rect px{TwipsToPixels(c->twips.left, dpi), TwipsToPixels(c->twips.top, dpi),
            TwipsToPixels(c->twips.width, dpi), TwipsToPixels(c->twips.height, dpi)};
    if (c->frameId) {
        const std::optional<Rect> frame = PlaceInPixels(c->frameId, dpi);
        if (!frame) return std::nullopt;
        px.left += frame->left;
        px.top += frame->top;
    }
    return px;
}

Rect PageSizeInPixels(int dpi) {
    int right = 0, bottom = 0;
    for (const PageControl& c : kControls) {
        if (c.frameId) continue;  // inside its frame
        right = std::max(right, c.twips.left + c.twips.width);
        bottom = std::max(bottom, c.twips.top + c.twips.height);
    }
    return {0, 0, TwipsToPixels(right + kMarginTwips, dpi), TwipsToPixels(bottom + kMarginTwips, dpi)};
}

Greying GreyingFor(int32_t backGroundSlide, int32_t position) {
    const bool folder = backGroundSlide == 2;
    return {folder, folder, position == 0};
}

std::optional<int> OptionFor(int32_t value, int count) {
    if (value < 0 || value >= count) return std::nullopt;
    return static_cast<int>(value);
}

std::u16string_view NameOf(PageProperty p) { return kNames[static_cast<size_t>(p)]; }

Status ReadFields(PropertyTarget& first, PageFields& f) {
    for (int i = 0; i < kPagePropertyCount; ++i) {
        const auto p = static_cast<PageProperty>(i);
        Value v;
        const Status s = first.Get(p, v);
        if (s < 0) return s;
        switch (p) {
            case PageProperty::DialogTop: f.dialogTop = Text(v); break;
            case PageProperty::DialogLeft: f.dialogLeft = Text(v); break;
            case PageProperty::SlideFolder: f.slideFolder = Text(v); break;
            case PageProperty::CancelError: f.cancelError = Truth(v); break;
            case PageProperty::FilterIndex: f.filterIndex = Text(v); break;
            case PageProperty::DialogTitle: f.dialogTitle = Text(v); break;
            case PageProperty::MaxFileSize: f.maxFileSize = Text(v); break;
            case PageProperty::InitDir: f.initDir = Text(v); break;
            case PageProperty::FileName: f.fileName = Text(v); break;
            case PageProperty::DefaultExt: f.defaultExt = Text(v); break;
            case PageProperty::Filter: f.filter = Text(v); break;
            case PageProperty::Position: f.position = Number(v); break;
            case PageProperty::BackGroundSlide: f.backGroundSlide = Number(v); break;
        }
    }
    return 0;
}

std::optional<ApplyFailure> ApplyFields(const PageFields& f, std::span<PropertyTarget* const> targets) {
    const Value values[kPagePropertyCount] = {
        f.dialogTop, f.dialogLeft, f.slideFolder, f.cancelError, f.filterIndex, f.dialogTitle,
        f.maxFileSize, f.initDir, f.fileName, f.defaultExt, f.filter, f.position, f.backGroundSlide,
    };
    for (size_t t = 0; t < targets.size(); ++t) {
        for (int i = 0; i < kPagePropertyCount; ++i) {
            const auto p = static_cast<PageProperty>(i);
            const Status s = targets[t]->Put(p, values[i]);
            if (s < 0) return ApplyFailure{s, t, p};
        }
    }
    return std::nullopt;
}

}  // namespace qcd::designtime
