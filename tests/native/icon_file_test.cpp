#include "readers/icon_file.h"

#include <gtest/gtest.h>

#include "test_bytes.h"

#include <algorithm>
#include <string>

namespace qcd {
namespace {

using test::Bytes;
using test::Put16;
using test::Put32;

uint32_t Get32(const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}

// A bitmap-header image: the header counts the mask in its height; `fill` marks the pixels
// (and the colour table), which are as many as the header says.
Bytes DibImage(int32_t side, uint16_t bits, uint8_t fill) {
    const auto stride = [side](int depth) { return static_cast<size_t>((side * depth + 31) / 32 * 4); };
    const size_t colours = bits <= 8 ? size_t{1} << bits : 0;
    Bytes b(40 + colours * 4 + (stride(bits) + stride(1)) * static_cast<size_t>(side), fill);
    std::fill(b.begin(), b.begin() + 40, 0);
    Put32(b, 0, 40);
    Put32(b, 4, static_cast<uint32_t>(side));
    Put32(b, 8, static_cast<uint32_t>(side * 2));
    Put16(b, 12, 1);
    Put16(b, 14, bits);
    return b;
}

Bytes PngImage(uint32_t width, uint32_t height, uint8_t depth, uint8_t colour) {
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    b.resize(16 + 13 + 4 + 12, 0);
    b[16] = static_cast<uint8_t>(width >> 24);
    b[17] = static_cast<uint8_t>(width >> 16);
    b[18] = static_cast<uint8_t>(width >> 8);
    b[19] = static_cast<uint8_t>(width);
    b[23] = static_cast<uint8_t>(height);
    b[22] = static_cast<uint8_t>(height >> 8);
    b[24] = depth;
    b[25] = colour;
    return b;
}

// Header, directory, then the images in `order` (directory indices); the offsets follow.
Bytes IconFile(uint16_t type, const std::vector<Bytes>& images, std::vector<size_t> order = {}) {
    if (order.empty())
        for (size_t i = 0; i < images.size(); ++i) order.push_back(i);
    Bytes b(kIconHeaderSize + kIconEntrySize * images.size(), 0);
    Put16(b, 2, type);
    Put16(b, 4, static_cast<uint16_t>(images.size()));
    for (const size_t i : order) {
        const size_t entry = kIconHeaderSize + kIconEntrySize * i;
        b[entry] = static_cast<uint8_t>(Get32(images[i], 4));  // width byte, as a writer sets it
        Put16(b, entry + 4, type == 2 ? 7 : 1);                // hot-spot x or planes
        Put16(b, entry + 6, type == 2 ? 9 : 0);                // hot-spot y or bit count
        Put32(b, entry + 8, static_cast<uint32_t>(images[i].size()));
        Put32(b, entry + 12, static_cast<uint32_t>(b.size()));
        b.insert(b.end(), images[i].begin(), images[i].end());
    }
    return b;
}

Bytes ThreeSizes() {
    return IconFile(1, {DibImage(16, 4, 0x11), DibImage(32, 8, 0x22), DibImage(48, 32, 0x33)});
}

TEST(IconFile, EveryImageMeasuredFromItsOwnHeader) {
    const IconFileInfo info = ReadIconFile(ThreeSizes());
    ASSERT_EQ(info.count, 3);
    ASSERT_EQ(info.images.size(), 3u);
    EXPECT_EQ(info.images[0], (IconImageInfo{16, 16, 4}));
    EXPECT_EQ(info.images[1], (IconImageInfo{32, 32, 8}));
    EXPECT_EQ(info.images[2], (IconImageInfo{48, 48, 32}));

    // A cursor's directory holds its hot spot where an icon's holds planes and bits.
    const IconFileInfo cursor = ReadIconFile(IconFile(2, {DibImage(32, 1, 0)}));
    ASSERT_EQ(cursor.count, 1);
    EXPECT_EQ(cursor.images[0], (IconImageInfo{32, 32, 1}));
}

TEST(IconFile, ImagesAreFoundAtTheirOffsetsWhateverTheirOrder) {
    const IconFileInfo info = ReadIconFile(
        IconFile(1, {DibImage(16, 4, 1), DibImage(32, 8, 2), DibImage(48, 24, 3)}, {2, 0, 1}));
    ASSERT_EQ(info.count, 3);
    EXPECT_EQ(info.images[0].width, 16);
    EXPECT_EQ(info.images[1].width, 32);
    EXPECT_EQ(info.images[2].width, 48);
}

TEST(IconFile, PngImagesAreMeasuredFromTheirImageHeader) {
    const IconFileInfo info = ReadIconFile(
        IconFile(1, {DibImage(32, 32, 0), PngImage(256, 256, 8, 6), PngImage(64, 48, 4, 3)}));
    ASSERT_EQ(info.count, 3);
    EXPECT_EQ(info.images[1], (IconImageInfo{256, 256, 32}));
    EXPECT_EQ(info.images[2], (IconImageInfo{64, 48, 4}));

    EXPECT_EQ(ReadIconFile(IconFile(1, {PngImage(64, 64, 8, 5)})).count, kIconInvalid);
    EXPECT_EQ(ReadIconFile(IconFile(1, {PngImage(0x80000000u, 64, 8, 6)})).count, kIconInvalid);
    Bytes noIhdr = PngImage(64, 64, 8, 6);
    noIhdr[12] = 'X';
    EXPECT_EQ(ReadIconFile(IconFile(1, {noIhdr})).count, kIconInvalid);
}

TEST(IconFile, BitmapImagesThatDoNotHoldWhatTheirHeaderSaysAreInvalid) {
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
        int width;
    };
    for (const Case& c : {Case{"planes 0", 12, 0, 2}, Case{"planes 0x4001", 12, 0x4001, 2},
                          Case{"depth 3", 14, 3, 2}, Case{"depth 64", 14, 64, 2},
                          Case{"height for more rows", 8, 66, 4}, Case{"negative height", 8, 0xFFFFFFE0, 4},
                          Case{"wider", 4, 33, 4}, Case{"header of 12", 0, 12, 4},
                          Case{"a table of 300 colours", 32, 300, 4}}) {
        Bytes image = DibImage(32, 4, 0);
        if (c.width == 2) Put16(image, c.at, static_cast<uint16_t>(c.value));
        else Put32(image, c.at, c.value);
        EXPECT_FALSE(MeasureIconImage(image)) << c.what;
    }
    const Bytes whole = DibImage(32, 8, 0);
    EXPECT_TRUE(MeasureIconImage(whole));
    EXPECT_FALSE(MeasureIconImage(std::span(whole).first(whole.size() - 1))) << "last mask byte";
}

TEST(IconFile, BitmapUnderAnIconNameIsNotThisFormat) {
    Bytes bmp = {'B', 'M', 0x3E, 0, 0, 0, 0, 0, 0, 0, 0x3E, 0, 0, 0};
    const IconFileInfo info = ReadIconFile(bmp);
    EXPECT_EQ(info.count, kIconNotThisFormat);
    EXPECT_TRUE(info.images.empty());
    EXPECT_EQ(ReadIconFile(Bytes{'B', 'M'}).count, kIconNotThisFormat);
    EXPECT_EQ(ReadIconFile(Bytes{'B'}).count, kIconInvalid);
}

TEST(IconFile, CountBelowOneIsInvalid) {
    Bytes none = ThreeSizes();
    Put16(none, 4, 0);
    EXPECT_EQ(ReadIconFile(none).count, kIconInvalid);
    Bytes negative = ThreeSizes();
    Put16(negative, 4, 0x8003);
    EXPECT_EQ(ReadIconFile(negative).count, kIconInvalid);
    EXPECT_EQ(ReadIconFile(Bytes{}).count, kIconInvalid);
    EXPECT_EQ(ReadIconFile(Bytes{0, 0, 1, 0, 1}).count, kIconInvalid);
}

TEST(IconFile, AnythingReachingPastTheFileIsInvalid) {
    const Bytes whole = ThreeSizes();
    // The last image cut by one byte, then the directory itself cut.
    EXPECT_EQ(ReadIconFile(std::span(whole).first(whole.size() - 1)).count, kIconInvalid);
    EXPECT_EQ(ReadIconFile(std::span(whole).first(6 + 16 * 3 - 1)).count, kIconInvalid);
    // A count larger than the directory present.
    Bytes moreEntries = whole;
    Put16(moreEntries, 4, 0x7FFF);
    EXPECT_EQ(ReadIconFile(moreEntries).count, kIconInvalid);
    // Sizes and offsets that would wrap around.
    Bytes hugeSize = whole;
    Put32(hugeSize, 6 + 16 + 8, 0xFFFFFFF0);
    EXPECT_EQ(ReadIconFile(hugeSize).count, kIconInvalid);
    Bytes hugeOffset = whole;
    Put32(hugeOffset, 6 + 12, 0xFFFFFFF0);
    EXPECT_EQ(ReadIconFile(hugeOffset).count, kIconInvalid);
    // An image too short for its bitmap header.
    Bytes shortImage = whole;
    Put32(shortImage, 6 + 8, 39);
    EXPECT_EQ(ReadIconFile(shortImage).count, kIconInvalid);
    // Every entry naming the same image: each would be rendered again from the one set of bytes.
    Bytes shared = IconFile(1, {DibImage(32, 8, 0x22), DibImage(32, 8, 0x22)});
    Put32(shared, 6 + 16 + 8, Get32(shared, 6 + 8));
    Put32(shared, 6 + 16 + 12, Get32(shared, 6 + 12));
    shared.resize(shared.size() - DibImage(32, 8, 0).size());
    EXPECT_EQ(ReadIconFile(shared).count, kIconInvalid);
}

TEST(IconFile, SingleImageIconHoldsOneEntryAndItsBytes) {
    Bytes file = IconFile(2, {DibImage(16, 4, 0x11), DibImage(32, 8, 0x22)}, {1, 0});
    file[0] = 0x5A;  // reserved
    const IconFileInfo info = ReadIconFile(file);
    ASSERT_EQ(info.count, 2);
    for (int32_t n = 1; n <= 2; ++n) {
        SCOPED_TRACE(n);
        const auto single = SingleImageIcon(file, n);
        ASSERT_TRUE(single.has_value());
        const Bytes& s = *single;
        const size_t entry = 6 + 16 * static_cast<size_t>(n - 1);
        ASSERT_EQ(s.size(), 22 + Get32(file, entry + 8));
        EXPECT_EQ(s[0] | s[1] << 8, 0);
        EXPECT_EQ(s[2] | s[3] << 8, 2);
        EXPECT_EQ(s[4] | s[5] << 8, 1);
        // Width, height, colours, hot spot and size as the file has them; the image behind.
        EXPECT_TRUE(std::equal(s.begin() + 6, s.begin() + 18, file.begin() + entry));
        EXPECT_EQ(Get32(s, 18), 22u);
        EXPECT_TRUE(std::equal(s.begin() + 22, s.end(), file.begin() + Get32(file, entry + 12)));
        const IconFileInfo alone = ReadIconFile(s);
        ASSERT_EQ(alone.count, 1);
        EXPECT_EQ(alone.images[0], info.images[static_cast<size_t>(n - 1)]);
    }
    // From the info already read, with the same bytes; never past other, shorter bytes.
    EXPECT_EQ(SingleImageIcon(file, info, 2), SingleImageIcon(file, 2));
    EXPECT_FALSE(SingleImageIcon(std::span(file).first(30), info, 1));
    EXPECT_FALSE(SingleImageIcon(file, 0));
    EXPECT_FALSE(SingleImageIcon(file, 3));
    EXPECT_FALSE(SingleImageIcon(file, -1));
    // One bad image makes the file invalid, so none of its images is given.
    EXPECT_FALSE(SingleImageIcon(std::span(file).first(file.size() - 1), 2));
    EXPECT_FALSE(SingleImageIcon(Bytes{'B', 'M', 0, 0, 0, 0}, 1));
}

}  // namespace
}  // namespace qcd
