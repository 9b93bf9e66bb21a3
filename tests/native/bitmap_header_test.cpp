#include "readers/bitmap_header.h"

#include <gtest/gtest.h>

#include "test_bytes.h"

namespace qcd {
namespace {

// A header of `size` bytes (as its first field says) holding width 300, height -200 (or 200 as
// 16 bits in a core header), 1 plane, 8 bits, compression 3 and 7 colours used.
test::Bytes Header(uint32_t size) {
    test::Bytes b(size < 4 ? 4 : size, 0);
    test::Put32(b, 0, size);
    if (size == kBitmapCoreHeaderSize) {
        test::Put16(b, 4, 300);
        test::Put16(b, 6, 200);
        test::Put16(b, 8, 1);
        test::Put16(b, 10, 8);
    } else if (size >= kBitmapInfoHeaderSize) {
        test::Put32(b, 4, 300);
        test::Put32(b, 8, static_cast<uint32_t>(-200));
        test::Put16(b, 12, 1);
        test::Put16(b, 14, 8);
        test::Put32(b, 16, 3);
        test::Put32(b, 32, 7);
    }
    return b;
}

TEST(BitmapHeader, EverySizeOfTheFormatIsReadAndOthersAreNot) {
    const struct {
        uint32_t size;
        bool anyLayout, infoLayout;
    } cases[] = {{12, true, true},   {40, true, true},   {52, true, true},   {56, true, true},
                 {64, true, false},  {108, true, true},  {124, true, true},  {0, false, false},
                 {16, false, false}, {39, false, false}, {125, false, false}};
    for (const auto& c : cases) {
        const test::Bytes bytes = Header(c.size);
        EXPECT_EQ(ReadBitmapHeader(bytes).has_value(), c.anyLayout) << c.size;
        EXPECT_EQ(ReadBitmapHeader(bytes, kInfoLayoutHeaderSizes).has_value(), c.infoLayout)
            << c.size;
        if (c.size >= 12 && c.anyLayout) {
            // One byte short of the header it names.
            EXPECT_FALSE(ReadBitmapHeader(std::span(bytes).first(c.size - 1))) << c.size;
        }
    }
}

TEST(BitmapHeader, CoreFieldsAreSixteenBitsAndInfoFieldsThirtyTwo) {
    const auto core = ReadBitmapHeader(Header(12));
    ASSERT_TRUE(core);
    EXPECT_EQ(core->width, 300);
    EXPECT_EQ(core->height, 200);
    EXPECT_EQ(core->compression, kBiRgb);
    EXPECT_EQ(core->coloursUsed, 0u);
    EXPECT_EQ(core->PaletteEntrySize(), 3u);

    const auto info = ReadBitmapHeader(Header(108));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 300);
    EXPECT_EQ(info->height, -200);
    EXPECT_EQ(info->planes, 1);
    EXPECT_EQ(info->bits, 8);
    EXPECT_EQ(info->compression, kBiBitfields);
    EXPECT_EQ(info->coloursUsed, 7u);
    EXPECT_EQ(info->PaletteEntrySize(), 4u);
}

}  // namespace
}  // namespace qcd
