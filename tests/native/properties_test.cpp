#include "base/properties.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/errors.h"

namespace qcd {
namespace {

using namespace std::string_literals;

TEST(Properties, FreshControlHoldsTheInitialValues) {
    Properties p;
    EXPECT_EQ(p.Filter, u"すべてのﾌｧｲﾙ(*.*)|*.*");
    EXPECT_EQ(p.MaxFileSize, 260);
    EXPECT_EQ(p.BackGroundSlide, 1);
    EXPECT_EQ(p.CancelError, 0);
    EXPECT_EQ(p.FilterIndex, 0);
    EXPECT_EQ(p.Position, 0);
    EXPECT_TRUE(p.FileName.empty() && p.FileTitle.empty() && p.InitDir.empty());
    EXPECT_TRUE(p.DefaultExt.empty() && p.DialogTitle.empty() && p.SlideFolder.empty());
}

TEST(Properties, GetAndSetReachEveryFieldAndRejectTheWrongType) {
    Properties p;
    for (const PropertyInfo& info : kPropertyTable) {
        PropertyValue v;
        switch (info.kind) {
            case ValueKind::String: v = u"x-"s + std::u16string(info.name); break;
            case ValueKind::Int32: v = int32_t{1000 + static_cast<int>(info.id)}; break;
            case ValueKind::Int16:
            case ValueKind::Boolean: v = int16_t{-7}; break;
        }
        ASSERT_TRUE(p.Set(info.id, v)) << std::string(info.name.begin(), info.name.end());
        EXPECT_EQ(p.Get(info.id), v);
        EXPECT_FALSE(p.Set(info.id, info.kind == ValueKind::String ? PropertyValue{int32_t{1}}
                                                                   : PropertyValue{u"1"s}));
    }
    EXPECT_EQ(p.DialogTop, 1000 + static_cast<int>(PropertyId::DialogTop));
    EXPECT_EQ(p.SlideFolder, u"x-SlideFolder");
}

TEST(ConvertFilter, SeparatorsBecomeNulsAndOneNulEndsTheList) {
    EXPECT_EQ(ConvertFilter(u"A|*.a|B|*.b"), u"A\0*.a\0B\0*.b\0"s);
    EXPECT_EQ(ConvertFilter(u""), u"\0"s);
    EXPECT_EQ(ConvertFilter(u"x||y"), u"x\0\0y\0"s);
    EXPECT_EQ(ConvertFilter(u"x|"), u"x\0\0"s);
    EXPECT_EQ(ConvertFilter(kDefaultFilter), u"すべてのﾌｧｲﾙ(*.*)\0*.*\0"s);
}

// Records what the bag sees, so order and skipping are checked as a call sequence.
struct RecordingSink : PropertySink {
    std::vector<std::u16string> keys;
    int32_t failAt = -1;
    int32_t Write(const PropertyInfo& info, const PropertyValue&) override {
        if (static_cast<int32_t>(keys.size()) == failAt) return -5;
        keys.emplace_back(info.name);
        return 0;
    }
};

struct MapSource : PropertySource {
    std::vector<std::pair<std::u16string, PropertyValue>> stored;
    std::vector<std::u16string> asked;
    int32_t Read(const PropertyInfo& info, std::optional<PropertyValue>& value) override {
        asked.emplace_back(info.name);
        if (info.id == PropertyId::SlideFolder && failSlideFolder) return -9;
        for (auto& [k, v] : stored)
            if (k == info.name) value = v;
        return 0;
    }
    bool failSlideFolder = false;
};

TEST(PropertyBag, DefaultsWriteNothingAndChangesWriteInTableOrder) {
    RecordingSink sink;
    EXPECT_EQ(WriteProperties(Properties{}, sink), 0);
    EXPECT_TRUE(sink.keys.empty());

    Properties p;
    p.BackGroundSlide = 0;  // a default of 1 means 0 must be written
    p.CancelError = kVbTrue;
    p.MaxFileSize = 0;
    p.FileTitle = u"a.txt";
    p.Filter = u"";
    EXPECT_EQ(WriteProperties(p, sink), 0);
    EXPECT_EQ(sink.keys, (std::vector<std::u16string>{u"CancelError", u"Filter", u"FileTitle",
                                                       u"MaxFileSize", u"BackGroundSlide"}));
}

TEST(PropertyBag, WriteStopsAtTheFirstFailure) {
    Properties p;
    p.DefaultExt = u"txt";
    p.InitDir = u"C:\\";
    p.Position = 1;
    RecordingSink sink;
    sink.failAt = 1;
    EXPECT_EQ(WriteProperties(p, sink), -5);
    EXPECT_EQ(sink.keys, std::vector<std::u16string>{u"DefaultExt"});
}

TEST(PropertyBag, ReadAsksEveryKeyInOrderAndMissingKeysGiveDefaults) {
    Properties p;
    p.MaxFileSize = 5;
    p.BackGroundSlide = 2;
    p.Filter = u"changed";
    MapSource source;
    source.stored = {{u"InitDir", PropertyValue{u"C:\\data"s}}, {u"Position", int32_t{1}}};
    EXPECT_EQ(ReadProperties(p, source), 0);
    ASSERT_EQ(source.asked.size(), kPropertyCount);
    for (size_t i = 0; i < kPropertyCount; ++i) EXPECT_EQ(source.asked[i], kPropertyTable[i].name);
    EXPECT_EQ(p.MaxFileSize, 260);
    EXPECT_EQ(p.BackGroundSlide, 1);
    EXPECT_EQ(p.Filter, kDefaultFilter);
    EXPECT_EQ(p.InitDir, u"C:\\data");
    EXPECT_EQ(p.Position, 1);
}

TEST(PropertyBag, ReadFailureKeepsWhatWasAlreadyRead) {
    Properties p;
    MapSource source;
    source.failSlideFolder = true;
    source.stored = {{u"DialogTop", int32_t{77}}, {u"Position", int32_t{1}}};
    EXPECT_EQ(ReadProperties(p, source), -9);
    EXPECT_EQ(p.DialogTop, 77);
    EXPECT_EQ(p.Position, 0);
}

TEST(PropertyBag, AValueOfTheWrongTypeIsATypeMismatch) {
    Properties p;
    MapSource source;
    source.stored = {{u"FilterIndex", PropertyValue{u"abc"s}}};
    EXPECT_EQ(ReadProperties(p, source), VbErrorHResult(VbError::TypeMismatch));
}

TEST(VbErrors, HResultsAndFileTitleErrors) {
    EXPECT_EQ(static_cast<uint32_t>(VbErrorHResult(VbError::Cancel)), 0x800A07D1u);
    EXPECT_EQ(static_cast<uint32_t>(VbErrorHResult(VbError::CannotSetAtRunTime)), 0x800A017Eu);
    EXPECT_EQ(FileTitleSetError(false), VbError::SetNotPermitted);
    EXPECT_EQ(FileTitleSetError(true), VbError::CannotSetAtRunTime);
}

}  // namespace
}  // namespace qcd
