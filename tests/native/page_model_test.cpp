// The property page's portable decisions: its controls' places in pixels, the greying, and
// the order in which it reads and writes the selected controls.
#include "designtime/page_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace qcd::designtime {
namespace {

constexpr Status kTypeMismatch = static_cast<Status>(0x80020005);
constexpr Status kOverflow = static_cast<Status>(0x8002000A);

TEST(PageLayout, ControlsPlacedAt96And144Dpi) {
    // 15 twips a pixel at 96 DPI.
    EXPECT_EQ(PlaceInPixels(IDC_FILE_NAME_EDIT, 96), (Rect{96, 6, 413, 18}));
    EXPECT_EQ(PlaceInPixels(IDC_INIT_DIR_BROWSE, 96), (Rect{488, 28, 21, 17}));
    // Inside a frame: the frame's place plus the control's own offset, each converted.
    EXPECT_EQ(PlaceInPixels(IDC_SLIDE_FOLDER_BROWSE, 96), (Rect{8 + 460, 108 + 16, 21, 17}));
    EXPECT_EQ(PlaceInPixels(IDC_LEFT_EDIT, 96), (Rect{8 + 344, 156 + 17, 37, 18}));
    // 10 twips a pixel at 144 DPI; 619.5 and 55.5 pixels go to the even neighbour.
    EXPECT_EQ(PlaceInPixels(IDC_FILE_NAME_EDIT, 144), (Rect{144, 9, 620, 27}));
    EXPECT_EQ(PlaceInPixels(IDC_LEFT_EDIT, 144), (Rect{12 + 516, 234 + 26, 56, 27}));
    EXPECT_EQ(PlaceInPixels(IDC_POSITION_MANUAL, 144), (Rect{12 + 318, 234 + 30, 74, 26}));
    EXPECT_FALSE(PlaceInPixels(12345, 96));
}

TEST(PageLayout, TwipsRoundHalvesToEven) {
    EXPECT_EQ(TwipsToPixels(165, 144), 16);  // 16.5
    EXPECT_EQ(TwipsToPixels(175, 144), 18);  // 17.5
    EXPECT_EQ(TwipsToPixels(260, 96), 17);   // 17.33
    EXPECT_EQ(TwipsToPixels(260, 120), 22);  // 21.67
}

TEST(PageLayout, EveryControlLiesInsideThePageAndItsFrame) {
    for (int dpi : {96, 120, 144, 192}) {
        const Rect page = PageSizeInPixels(dpi);
        for (const PageControl& c : PageControls()) {
            const auto r = PlaceInPixels(c.id, dpi);
            ASSERT_TRUE(r) << c.id;
            EXPECT_GE(r->left, 0) << c.id << " at " << dpi;
            EXPECT_LE(r->left + r->width, page.width) << c.id << " at " << dpi;
            EXPECT_LE(r->top + r->height, page.height) << c.id << " at " << dpi;
            if (!c.frameId) continue;
            const auto frame = PlaceInPixels(c.frameId, dpi);
            EXPECT_GT(r->top, frame->top) << c.id;
            EXPECT_LE(r->left + r->width, frame->left + frame->width) << c.id << " at " << dpi;
            EXPECT_LE(r->top + r->height, frame->top + frame->height) << c.id << " at " << dpi;
        }
    }
    EXPECT_EQ(PageSizeInPixels(96), (Rect{0, 0, 521, 209}));
}

TEST(PageGreying, FolderOnlyForSlideFolderAndPositionOnlyForManual) {
    struct Row {
        int32_t bgs, position;
        bool folder, position_fields;
    } rows[] = {
        {0, 0, false, true}, {1, 1, false, false}, {2, 0, true, true}, {2, 1, true, false},
        // Values without an option: greyed as they behave (5 and -1 show no folder slideshow;
        // any Position but 0 centres).
        {5, 5, false, false}, {-1, -1, false, false},
    };
    for (const Row& r : rows) {
        const Greying g = GreyingFor(r.bgs, r.position);
        EXPECT_EQ(g.slideFolderEditable, r.folder) << r.bgs;
        EXPECT_EQ(g.browseSlideEnabled, r.folder) << r.bgs;
        EXPECT_EQ(g.positionEditable, r.position_fields) << r.position;
    }
    EXPECT_EQ(OptionFor(2, 3), 2);
    EXPECT_EQ(OptionFor(0, 2), 0);
    EXPECT_FALSE(OptionFor(3, 3));
    EXPECT_FALSE(OptionFor(-1, 3));
    EXPECT_FALSE(OptionFor(2, 2));
}

// Records every call; fails the calls it is told to.
class RecordingTarget final : public PropertyTarget {
public:
    struct Call {
        std::u16string name;
        Value value;
    };
    std::vector<Call> puts;
    std::vector<std::u16string> gets;
    std::vector<std::pair<PageProperty, Value>> stored;
    std::optional<std::pair<PageProperty, Status>> failPut, failGet;

    Status Get(PageProperty p, Value& out) override {
        gets.emplace_back(NameOf(p));
        if (failGet && failGet->first == p) return failGet->second;
        for (auto& [prop, v] : stored)
            if (prop == p) out = v;
        return 0;
    }
    Status Put(PageProperty p, const Value& value) override {
        puts.push_back({std::u16string(NameOf(p)), value});
        if (failPut && failPut->first == p) return failPut->second;
        return 0;
    }
    std::vector<std::u16string> PutNames() const {
        std::vector<std::u16string> names;
        for (const Call& c : puts) names.push_back(c.name);
        return names;
    }
};

const std::vector<std::u16string> kOrder = {
    u"DialogTop", u"DialogLeft",  u"SlideFolder", u"CancelError", u"FilterIndex",
    u"DialogTitle", u"MaxFileSize", u"InitDir",   u"FileName",    u"DefaultExt",
    u"Filter",    u"Position",    u"BackGroundSlide",
};

PageFields SampleFields() {
    PageFields f;
    f.dialogTop = u"20";
    f.dialogLeft = u"10";
    f.slideFolder = u"C:\\pics";
    f.cancelError = true;
    f.filterIndex = u"2";
    f.dialogTitle = u"題";
    f.maxFileSize = u"300";
    f.initDir = u"C:\\";
    f.fileName = u"a.txt";
    f.defaultExt = u"txt";
    f.filter = u"A|*.a";
    f.position = 0;
    f.backGroundSlide = 2;
    return f;
}

TEST(PageApply, WritesThirteenPropertiesToEveryTargetInPageOrder) {
    RecordingTarget a, b;
    PropertyTarget* targets[] = {&a, &b};
    EXPECT_FALSE(ApplyFields(SampleFields(), targets));
    EXPECT_EQ(a.PutNames(), kOrder);
    EXPECT_EQ(b.PutNames(), kOrder);
    // Text goes over as text; the check box as a boolean; the options as their values.
    EXPECT_EQ(a.puts[0].value, Value(u"20"));
    EXPECT_EQ(a.puts[3].value, Value(true));
    EXPECT_EQ(a.puts[6].value, Value(u"300"));
    EXPECT_EQ(b.puts[11].value, Value(int32_t{0}));
    EXPECT_EQ(b.puts[12].value, Value(int32_t{2}));
}

TEST(PageApply, AFailureStopsAtThatPropertyOfThatControl) {
    RecordingTarget a, b;
    a.failPut = {PageProperty::FilterIndex, kTypeMismatch};
    PropertyTarget* targets[] = {&a, &b};
    auto failure = ApplyFields(SampleFields(), targets);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->status, kTypeMismatch);
    EXPECT_EQ(failure->target, 0u);
    EXPECT_EQ(failure->failed, PageProperty::FilterIndex);
    EXPECT_EQ(a.PutNames(), std::vector<std::u16string>(kOrder.begin(), kOrder.begin() + 5));
    EXPECT_TRUE(b.puts.empty());

    // On the second control: the first has all its values, the second up to the failure.
    RecordingTarget c, d;
    d.failPut = {PageProperty::MaxFileSize, kOverflow};
    PropertyTarget* second[] = {&c, &d};
    failure = ApplyFields(SampleFields(), second);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->status, kOverflow);
    EXPECT_EQ(failure->target, 1u);
    EXPECT_EQ(c.PutNames(), kOrder);
    EXPECT_EQ(d.PutNames(), std::vector<std::u16string>(kOrder.begin(), kOrder.begin() + 7));
}

TEST(PageRead, ReadsInPageOrderAndShowsNumbersAsText) {
    RecordingTarget t;
    t.stored = {{PageProperty::DialogTop, int32_t{-5}},      {PageProperty::CancelError, true},
                {PageProperty::MaxFileSize, int32_t{260}},    {PageProperty::Filter, u"x|*.x"},
                {PageProperty::BackGroundSlide, int32_t{5}}, {PageProperty::Position, int32_t{1}}};
    PageFields f;
    EXPECT_EQ(ReadFields(t, f), 0);
    EXPECT_EQ(t.gets, kOrder);
    EXPECT_EQ(f.dialogTop, u"-5");
    EXPECT_TRUE(f.cancelError);
    EXPECT_EQ(f.maxFileSize, u"260");
    EXPECT_EQ(f.filter, u"x|*.x");
    // A value without an option is kept as it came, for Apply to write back unchanged.
    EXPECT_EQ(f.backGroundSlide, 5);
    EXPECT_EQ(f.position, 1);

    RecordingTarget failing;
    failing.failGet = {PageProperty::FilterIndex, kTypeMismatch};
    EXPECT_EQ(ReadFields(failing, f), kTypeMismatch);
    EXPECT_EQ(failing.gets.size(), 5u);
}

}  // namespace
}  // namespace qcd::designtime
