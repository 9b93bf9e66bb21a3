#include "control/property_stream.h"

#include <gtest/gtest.h>

#include "base/errors.h"

namespace qcd {
namespace {

std::vector<uint8_t> Save(const Properties& p) {
    PropertyStreamWriter w;
    EXPECT_EQ(WriteProperties(p, w), 0);
    return w.Finish();
}

bool Load(const std::vector<uint8_t>& bytes, Properties& p) {
    int64_t size = PropertyStreamReader::PayloadSize(bytes);
    if (size < 0 || bytes.size() - kStreamHeaderSize != static_cast<size_t>(size)) return false;
    PropertyStreamReader r;
    if (!r.Parse(std::span(bytes).subspan(kStreamHeaderSize))) return false;
    return ReadProperties(p, r) == 0;
}

TEST(PropertyStream, DefaultsSaveAsAnEmptyPayloadAndLoadBackAsDefaults) {
    auto bytes = Save(Properties{});
    EXPECT_EQ(bytes.size(), kStreamHeaderSize);
    Properties p;
    p.MaxFileSize = 3;
    p.BackGroundSlide = 0;
    ASSERT_TRUE(Load(bytes, p));
    EXPECT_EQ(p, Properties{});
}

TEST(PropertyStream, RoundTripsEveryProperty) {
    Properties p;
    p.CancelError = kVbTrue;
    p.DefaultExt = u"txt";
    p.Filter = u"画像|*.bmp;*.jpg|";
    p.FilterIndex = -2;
    p.FileName = u"C:\\a\\b.txt";
    p.FileTitle = u"b.txt";
    p.InitDir = u"C:\\a";
    p.MaxFileSize = -32768;
    p.DialogTitle = u"開く";
    p.DialogLeft = INT32_MIN;
    p.DialogTop = INT32_MAX;
    p.SlideFolder = u"D:\\pics";
    p.Position = 5;
    p.BackGroundSlide = 2;
    Properties loaded;
    ASSERT_TRUE(Load(Save(p), loaded));
    EXPECT_EQ(loaded, p);
}

TEST(PropertyStream, RejectsForeignHeadersAndMalformedPayloads) {
    Properties p;
    p.DialogTitle = u"title";
    auto bytes = Save(p);
    auto bad = bytes;
    bad[0] = 'X';
    EXPECT_LT(PropertyStreamReader::PayloadSize(bad), 0);
    bad = bytes;
    bad[6] = 0xFF, bad[7] = 0xFF, bad[8] = 0xFF, bad[9] = 0x7F;  // an absurd payload size
    EXPECT_LT(PropertyStreamReader::PayloadSize(bad), 0);
    EXPECT_LT(PropertyStreamReader::PayloadSize(std::span(bytes).first(5)), 0);

    // Every truncation of the payload is refused, never read past.
    auto payload = std::span(bytes).subspan(kStreamHeaderSize);
    for (size_t n = 1; n < payload.size(); ++n) {
        PropertyStreamReader r;
        EXPECT_FALSE(r.Parse(payload.first(n))) << n;
    }
    // A string length far beyond the data.
    std::vector<uint8_t> huge = {1, 0, 'A', 0, 1, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(PropertyStreamReader{}.Parse(huge));
}

TEST(PropertyStream, UnknownKeysAreSkippedAndWrongKindsAreTypeMismatches) {
    // "Zz" int32 7, then "Position" stored as a string.
    std::vector<uint8_t> payload = {2, 0, 'Z', 0, 'z', 0, 2, 7, 0, 0, 0};
    std::u16string_view name = u"Position";
    payload.push_back(static_cast<uint8_t>(name.size()));
    payload.push_back(0);
    for (char16_t c : name) payload.push_back(static_cast<uint8_t>(c)), payload.push_back(0);
    payload.insert(payload.end(), {1, 1, 0, 0, 0, '1', 0});
    PropertyStreamReader r;
    ASSERT_TRUE(r.Parse(payload));
    Properties p;
    EXPECT_EQ(ReadProperties(p, r), VbErrorHResult(VbError::TypeMismatch));
}

}  // namespace
}  // namespace qcd
