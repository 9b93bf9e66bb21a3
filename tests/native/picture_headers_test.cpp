#include "readers/picture_headers.h"

#include <gtest/gtest.h>

#include "test_bytes.h"

namespace qcd {
namespace {

using test::Bytes;
using test::Put16;
using test::Put32;

Bytes BitmapHeader(int32_t width, int32_t height, uint16_t bits) {
    Bytes b(kBitmapHeaderSize, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<uint32_t>(width));
    Put32(b, 22, static_cast<uint32_t>(height));
    Put16(b, 26, 1);
    Put16(b, 28, bits);
    return b;
}

Bytes GifHeader(uint16_t width, uint16_t height, uint8_t packed) {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, packed, 0, 0};
    Put16(b, 6, width);
    Put16(b, 8, height);
    return b;
}

// SOI, a JFIF APP0 segment, then `rest`.
Bytes Jpeg(std::initializer_list<uint8_t> rest) {
    Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F',
               0,    1,    1,    0,    0,    1,    0,   1,   0,   0};
    b.insert(b.end(), rest);
    return b;
}

void ExpectMeasured(const PictureInfo& info, int32_t w, int32_t h, int16_t bits) {
    EXPECT_EQ(info.result, PictureInfoResult::Measured);
    EXPECT_EQ(info.width, w);
    EXPECT_EQ(info.height, h);
    EXPECT_EQ(info.bits, bits);
}

TEST(PictureHeaders, KindIsTheLastThreeCharactersLowerCased) {
    EXPECT_EQ(HeaderKindForPath(u"C:\\pics\\A.BMP"), PictureHeaderKind::Bitmap);
    EXPECT_EQ(HeaderKindForPath(u"x.Dib"), PictureHeaderKind::Bitmap);
    EXPECT_EQ(HeaderKindForPath(u"anim.GIF"), PictureHeaderKind::Gif);
    EXPECT_EQ(HeaderKindForPath(u"写真.jpg"), PictureHeaderKind::Jpeg);
    // What the icon readers hand over when a file turns out to be a bitmap.
    EXPECT_EQ(HeaderKindForPath(u"pointer.cur"), PictureHeaderKind::Other);
    EXPECT_EQ(HeaderKindForPath(u"a.peg"), PictureHeaderKind::Other);
    EXPECT_EQ(HeaderKindForPath(u"mp"), PictureHeaderKind::Other);
    EXPECT_EQ(HeaderKindForPath(u"x.ｂmp"), PictureHeaderKind::Other);
}

TEST(PictureHeaders, BitmapInfoHeader) {
    ExpectMeasured(ReadBitmapInfo(BitmapHeader(640, 480, 8)), 640, 480, 8);
    ExpectMeasured(ReadBitmapInfo(BitmapHeader(1, 1, 24)), 1, 1, 24);
    // Top-down rows.
    ExpectMeasured(ReadBitmapInfo(BitmapHeader(32, -20, 4)), 32, 20, 4);
    EXPECT_EQ(ReadBitmapInfo(BitmapHeader(32, INT32_MIN, 4)).result, PictureInfoResult::Failed);

    Bytes notBm = BitmapHeader(640, 480, 8);
    notBm[1] = 'A';
    EXPECT_EQ(ReadBitmapInfo(notBm).result, PictureInfoResult::Failed);
    Bytes lower = BitmapHeader(640, 480, 8);
    lower[0] = 'b';
    EXPECT_EQ(ReadBitmapInfo(lower).result, PictureInfoResult::Failed);

    Bytes shortHeader = BitmapHeader(640, 480, 8);
    shortHeader.resize(kBitmapHeaderSize - 1);
    EXPECT_EQ(ReadBitmapInfo(shortHeader).result, PictureInfoResult::Failed);
    EXPECT_EQ(ReadBitmapInfo(Bytes{'B', 'M'}).result, PictureInfoResult::Failed);
    EXPECT_EQ(ReadBitmapInfo(Bytes{}).result, PictureInfoResult::Failed);

    // A file longer than the header reads the same.
    Bytes whole = BitmapHeader(2, 3, 1);
    whole.resize(200, 0xEE);
    ExpectMeasured(ReadBitmapInfo(whole), 2, 3, 1);
}

TEST(PictureHeaders, BitmapCoreHeaderHasSixteenBitFields) {
    Bytes b(26 + 6, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 14, 12);
    Put16(b, 18, 300);
    Put16(b, 20, 200);
    Put16(b, 22, 1);
    Put16(b, 24, 1);
    ExpectMeasured(ReadBitmapInfo(b), 300, 200, 1);
    b.resize(25);
    EXPECT_EQ(ReadBitmapInfo(b).result, PictureInfoResult::Failed);
}

TEST(PictureHeaders, GifDepthFromTheColourResolution) {
    ExpectMeasured(ReadGifInfo(GifHeader(50, 40, 0xF7)), 50, 40, 8);
    ExpectMeasured(ReadGifInfo(GifHeader(50, 40, 0x91)), 50, 40, 1);
    const int16_t bitsForR[8] = {8, 1, 4, 4, 8, 8, 8, 8};
    for (uint8_t r = 0; r < 8; ++r) {
        // The other bits of the packed byte play no part.
        EXPECT_EQ(ReadGifInfo(GifHeader(1, 1, static_cast<uint8_t>(r << 4))).bits, bitsForR[r])
            << int{r};
        EXPECT_EQ(ReadGifInfo(GifHeader(1, 1, static_cast<uint8_t>(0x8F | r << 4))).bits,
                  bitsForR[r])
            << int{r};
    }
}

TEST(PictureHeaders, GifSizesAreUnsignedAndTheHeaderComplete) {
    ExpectMeasured(ReadGifInfo(GifHeader(40000, 65535, 0x70)), 40000, 65535, 8);

    Bytes shortHeader = GifHeader(50, 40, 0xF7);
    shortHeader.pop_back();
    EXPECT_EQ(ReadGifInfo(shortHeader).result, PictureInfoResult::Failed);
    Bytes other = GifHeader(50, 40, 0xF7);
    other[0] = 'B';
    EXPECT_EQ(ReadGifInfo(other).result, PictureInfoResult::Failed);
}

TEST(PictureHeaders, JpegBitsFromTheFirstBaselineFrame) {
    // FF C0, length, precision, height, width, component count.
    EXPECT_EQ(JpegBits(Jpeg({0xFF, 0xC0, 0x00, 0x0B, 8, 0x01, 0xE0, 0x02, 0x80, 1, 1, 0x11, 0})),
              8);
    EXPECT_EQ(JpegBits(Jpeg({0xFF, 0xC0, 0x00, 0x11, 8, 0x01, 0xE0, 0x02, 0x80, 3})), 24);
    // The component count is the last byte needed; one short is no frame.
    EXPECT_EQ(JpegBits(Jpeg({0xFF, 0xC0, 0x00, 0x0B, 8, 0x01, 0xE0, 0x02, 0x80})), 24);
    // Progressive: no FF C0.
    EXPECT_EQ(JpegBits(Jpeg({0xFF, 0xC2, 0x00, 0x0B, 8, 0x01, 0xE0, 0x02, 0x80, 1, 1, 0x11, 0})),
              24);
    // The second FF of a pair is taken as the marker byte, so the C0 after it is not seen...
    EXPECT_EQ(JpegBits(Jpeg({0xFF, 0xFF, 0xC0, 0x00, 0x0B, 8, 0, 1, 0, 1, 1, 1, 0x11, 0})), 24);
    // ...but with a third FF the pair after it is a marker.
    EXPECT_EQ(JpegBits(Jpeg({0xFF, 0xFF, 0xFF, 0xC0, 0x00, 0x0B, 8, 0, 1, 0, 1, 1, 1, 0x11, 0})),
              8);
    // The first frame wins.
    EXPECT_EQ(JpegBits(Jpeg(
                  {0xFF, 0xC0, 0, 0x11, 8, 0, 1, 0, 1, 3, 0xFF, 0xC0, 0, 0x0B, 8, 0, 1, 0, 1, 1})),
              24);
    // A marker at the very end, or a lone FF there.
    EXPECT_EQ(JpegBits(Jpeg({0xFF, 0xC0})), 24);
    EXPECT_EQ(JpegBits(Jpeg({0xFF})), 24);
}

TEST(PictureHeaders, JpegScanStartsAtOffsetTen) {
    Bytes early = {0xFF, 0xC0, 0, 0x0B, 8, 0, 1, 0, 1, 1, 0, 0};
    EXPECT_EQ(JpegBits(early), 24);
    Bytes atTen(10, 0);
    atTen.insert(atTen.end(), {0xFF, 0xC0, 0, 0x0B, 8, 0, 1, 0, 1, 1});
    EXPECT_EQ(JpegBits(atTen), 8);
    EXPECT_EQ(JpegBits(Bytes{}), 24);
    EXPECT_EQ(JpegBits(Bytes(5, 0xFF)), 24);
}

TEST(PictureHeaders, PictureInfoByKind) {
    ExpectMeasured(ReadPictureInfo(PictureHeaderKind::Bitmap, BitmapHeader(640, 480, 8), 1, 1), 640,
                   480, 8);
    ExpectMeasured(ReadPictureInfo(PictureHeaderKind::Gif, GifHeader(50, 40, 0x91), 1, 1), 50, 40,
                   1);
    // A JPEG's size is the loaded picture's.
    ExpectMeasured(ReadPictureInfo(PictureHeaderKind::Jpeg, Jpeg({}), 800, 600), 800, 600, 24);
    EXPECT_EQ(ReadPictureInfo(PictureHeaderKind::Bitmap, GifHeader(1, 1, 0), 1, 1).result,
              PictureInfoResult::Failed);
    // A JPEG named .gif loads; its size is the loaded one.
    ExpectMeasured(ReadPictureInfo(PictureHeaderKind::Gif, Jpeg({}), 64, 48), 64, 48, 24);
    EXPECT_EQ(ReadPictureInfo(PictureHeaderKind::Other, BitmapHeader(1, 1, 1), 1, 1).result,
              PictureInfoResult::Unchanged);
}

TEST(PictureHeaders, PlaceableKey) {
    EXPECT_TRUE(IsPlaceableMetafile(Bytes{0xD7, 0xCD, 0xC6, 0x9A}));
    EXPECT_TRUE(IsPlaceableMetafile(Bytes{0xD7, 0xCD, 0xC6, 0x9A, 0, 0}));
    EXPECT_FALSE(IsPlaceableMetafile(Bytes{0xD7, 0xCD, 0xC6}));
    EXPECT_FALSE(IsPlaceableMetafile(Bytes{0x9A, 0xC6, 0xCD, 0xD7}));
    // A plain metafile's header: type 1, header size 9 words.
    EXPECT_FALSE(IsPlaceableMetafile(Bytes{0x01, 0x00, 0x09, 0x00, 0x00, 0x03}));
}

TEST(PictureHeaders, PlaceableHeaderForThePreviewArea) {
    const auto header = PlaceableHeader(102, 118);
    ASSERT_TRUE(header);
    // 0xCDD7 ^ 0x9AC6 ^ 102 ^ 118 ^ 576 = 0x5541.
    const std::array<uint8_t, 22> expected = {0xD7, 0xCD, 0xC6, 0x9A, 0,    0, 0, 0, 0, 0,    102,
                                              0,    118,  0,    0x40, 0x02, 0, 0, 0, 0, 0x41, 0x55};
    EXPECT_EQ(*header, expected);
    EXPECT_TRUE(IsPlaceableMetafile(*header));

    // The checksum makes the ten words and itself XOR to zero.
    for (auto [r, b] : {std::pair{0, 0}, {32767, 1}, {-1, -32768}, {255, 256}}) {
        const auto h = PlaceableHeader(r, b);
        ASSERT_TRUE(h);
        uint16_t x = 0;
        for (size_t i = 0; i < h->size(); i += 2)
            x ^= static_cast<uint16_t>((*h)[i] | (*h)[i + 1] << 8);
        EXPECT_EQ(x, 0) << r << " " << b;
    }

    EXPECT_FALSE(PlaceableHeader(32768, 100));
    EXPECT_FALSE(PlaceableHeader(100, -32769));
}

TEST(PictureHeaders, PlaceableCopyIsTheHeaderThenTheWholeMetafile) {
    const Bytes wmf = {0x01, 0x00, 0x09, 0x00, 0x00, 0x03, 0x11, 0x22, 0x33};
    const auto copy = MakePlaceableCopy(wmf, 102, 118);
    ASSERT_TRUE(copy);
    ASSERT_EQ(copy->size(), kPlaceableHeaderSize + wmf.size());
    const auto header = PlaceableHeader(102, 118);
    EXPECT_TRUE(std::equal(header->begin(), header->end(), copy->begin()));
    EXPECT_TRUE(std::equal(wmf.begin(), wmf.end(), copy->begin() + kPlaceableHeaderSize));

    EXPECT_EQ(MakePlaceableCopy({}, 1, 1)->size(), kPlaceableHeaderSize);
    EXPECT_FALSE(MakePlaceableCopy(wmf, 70000, 118));
}

namespace qcd {
namespace {

// A bitmap of w x h at `bits` whose pixel rows start at 54, with `rows` of them present.
Bytes BitmapWithRows(int32_t w, int32_t h, uint16_t bits, int32_t rows) {
    Bytes b = BitmapHeader(w, h, bits);
    Put32(b, 10, 54);
    const size_t stride = (static_cast<size_t>(w) * bits + 31) / 32 * 4;
    b.resize(54 + stride * static_cast<size_t>(rows), 0);
    return b;
}

TEST(PictureHeaders, BitmapsGoToTheLoaderOnlyWithAllTheirRowsAndWithinThePixelLimit) {
    const Bytes whole = BitmapWithRows(33, 5, 24, 5);
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Bitmap, whole, whole.size()));
    const Bytes cut = BitmapWithRows(33, 5, 24, 4);
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Bitmap, cut, cut.size()));
    // A top-down bitmap counts its rows the same; 1-bit rows are padded to four bytes.
    Bytes topDown = BitmapWithRows(33, 5, 1, 5);
    Put32(topDown, 22, static_cast<uint32_t>(-5));
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Bitmap, topDown, topDown.size()));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Bitmap, topDown, topDown.size() - 1));
    // The header of an 8000 x 8000 picture: the file would have to be 192 MB.
    const Bytes claim = BitmapHeader(8000, 8000, 24);
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Bitmap, claim, 54));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Bitmap, claim, 192'000'054));
    // Compressed rows cannot be counted from the header: the loader decides.
    Bytes rle = BitmapHeader(100, 100, 8);
    Put32(rle, 30, 1);
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Bitmap, rle, rle.size()));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Bitmap, BitmapHeader(0, 10, 8), 100));
}

TEST(PictureHeaders, GifsGoToTheLoaderWithinTheirPixelAndFileLimits) {
    Bytes gif = GifHeader(100, 100, 0);
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Gif, gif, gif.size()));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Gif, gif, kMaxGifFileSize + 1));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Gif, GifHeader(32768, 32768, 0), 13));
    // A small screen whose first image, after a comment, claims far more.
    gif.insert(gif.end(), {0x21, 0xFE, 3, 'a', 'b', 'c', 0});
    const size_t image = gif.size();
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    Put16(gif, image + 5, 40000);
    Put16(gif, image + 7, 40000);
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Gif, gif, gif.size()));
    Put16(gif, image + 5, 2000);
    Put16(gif, image + 7, 2000);
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Gif, gif, gif.size()));
    // Something else under a .gif name is the loader's to judge.
    const Bytes other = Jpeg({0xFF, 0xD9});
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Gif, other, other.size()));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Jpeg, other, kMaxPictureFileSize + 1));
}

}  // namespace
}  // namespace qcd

namespace qcd {
namespace {

TEST(PictureHeaders, BitmapsWithAnInfoHeaderSizeOrColourCountTheFormatLacksStayAway) {
    Bytes b = BitmapWithRows(8, 8, 8, 8);
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Bitmap, b, b.size()));
    for (uint32_t size : {0u, 39u, 41u, 0x7FFFFFFFu}) {
        Put32(b, 14, size);
        EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Bitmap, b, b.size())) << size;
    }
    Put32(b, 14, 40);
    Put32(b, 46, 257);  // colours an 8-bit picture cannot index
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Bitmap, b, b.size()));
    Put32(b, 46, 256);
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Bitmap, b, b.size()));
}

}  // namespace
}  // namespace qcd

namespace qcd {
namespace {

// A 2 x 2 image descriptor with its LZW code size and one data block of `n` bytes.
void AppendImage(Bytes& gif, uint8_t n) {
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, n});
    gif.insert(gif.end(), n, 0x44);
    gif.push_back(0);
}

TEST(PictureHeaders, TheFirstImageOfAGifEndsAfterItsDataBlocks) {
    Bytes gif = GifHeader(2, 2, 0x80);  // a global table of two colours
    gif.insert(gif.end(), 6, 0);
    gif.insert(gif.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});  // a graphic control extension
    AppendImage(gif, 3);
    const size_t first = gif.size();
    AppendImage(gif, 5);
    gif.push_back(0x3B);
    EXPECT_EQ(GifFirstImageEnd(gif), first);
    // A local colour table lies between the descriptor and the data.
    Bytes local = GifHeader(2, 2, 0);
    local.insert(local.end(), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0x80, 1, 2, 3, 4, 5, 6, 2, 1, 9, 0});
    EXPECT_EQ(GifFirstImageEnd(local), local.size());
    // The first image cut short, or no GIF at all.
    EXPECT_EQ(GifFirstImageEnd(std::span(gif).first(first - 1)), std::nullopt);
    EXPECT_EQ(GifFirstImageEnd(Jpeg({0xFF, 0xD9})), std::nullopt);
}

}  // namespace
}  // namespace qcd

// A JFIF file whose frame header `marker` gives w x h; colour frames are 4:2:0.
Bytes JpegFrame(uint8_t marker, uint16_t w, uint16_t h, bool colour) {
    Bytes b = Jpeg({});
    const uint8_t count = colour ? 3 : 1;
    const Bytes frame = {0xFF, marker, 0, static_cast<uint8_t>(8 + 3 * count), 8,
                         static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h),
                         static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w), count};
    b.insert(b.end(), frame.begin(), frame.end());
    const Bytes components = {1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
    b.insert(b.end(), components.begin(), components.begin() + 3 * count);
    return b;
}

TEST(PictureHeaders, JpegFramesClaimingMoreBlocksThanTheFileHoldsAreRefused) {
    // 640 x 480 at 4:2:0: 80 x 60 luma blocks and twice 40 x 30 chroma, a bit each at least.
    const Bytes colour = JpegFrame(0xC0, 640, 480, true);
    const uint64_t blocks = 80 * 60 + 2 * 40 * 30;
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Jpeg, colour, colour.size() + blocks / 8));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Jpeg, colour, colour.size() + blocks / 8 - 1));
    // A grey frame is one component over the picture; progressive frames count alike.
    const Bytes tall = JpegFrame(0xC2, 640, 0x8000, false);
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Jpeg, tall, 4000));
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Jpeg, tall, tall.size() + 80 * 4096 / 8));
    // Past the pixel limit whatever the file's size; arithmetic coding within the bitmaps' one.
    const Bytes huge = JpegFrame(0xC0, 0xFFFF, 0xFFFF, true);
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Jpeg, huge, kMaxPictureFileSize));
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Jpeg, JpegFrame(0xC9, 8192, 8192, true), 1000));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Jpeg, JpegFrame(0xC9, 8192, 8193, true), 1000));
    // Not yet within the bytes read, or not a JPEG at all: judged later, or by the loader.
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Jpeg, Bytes(tall.begin(), tall.end() - 4), 4000));
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Jpeg, GifHeader(1, 1, 0), 13));
}

// A PNG's signature and IHDR chunk (its CRC not checked by the reader).
Bytes PngHeader(uint32_t w, uint32_t h, uint8_t depth, uint8_t colour) {
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t v : {w, h})
        for (int shift : {24, 16, 8, 0}) b.push_back(static_cast<uint8_t>(v >> shift));
    b.insert(b.end(), {depth, colour, 0, 0, 0, 0, 0, 0, 0});
    return b;
}

TEST(PictureHeaders, PngDepthIsBitDepthTimesChannels) {
    ExpectMeasured(ReadPngInfo(PngHeader(640, 480, 8, 6)), 640, 480, 32);  // RGBA
    ExpectMeasured(ReadPngInfo(PngHeader(3, 2, 16, 2)), 3, 2, 48);        // RGB, 16-bit
    ExpectMeasured(ReadPngInfo(PngHeader(3, 2, 4, 3)), 3, 2, 4);          // palette
    ExpectMeasured(ReadPngInfo(PngHeader(3, 2, 8, 4)), 3, 2, 16);         // grey and alpha
    ExpectMeasured(ReadPngInfo(PngHeader(3, 2, 1, 0)), 3, 2, 1);          // grey
    EXPECT_EQ(ReadPngInfo(PngHeader(3, 2, 8, 5)).result, PictureInfoResult::Failed);
    EXPECT_EQ(ReadPngInfo(PngHeader(0, 2, 8, 2)).result, PictureInfoResult::Failed);
    Bytes cut = PngHeader(3, 2, 8, 2);
    cut.resize(25);
    EXPECT_EQ(ReadPngInfo(cut).result, PictureInfoResult::Failed);
    EXPECT_EQ(HeaderKindForPath(u"a.PNG"), PictureHeaderKind::Png);
    EXPECT_EQ(HeaderKindForPath(u"a.jpeg"), PictureHeaderKind::Jpeg);
    EXPECT_EQ(HeaderKindForPath(u"a.JFIF"), PictureHeaderKind::Jpeg);
    EXPECT_EQ(HeaderKindForPath(u"a.jpe"), PictureHeaderKind::Jpeg);
    EXPECT_EQ(HeaderKindForPath(u"a.tiff"), PictureHeaderKind::Tiff);
    EXPECT_EQ(HeaderKindForPath(u"a.tif"), PictureHeaderKind::Tiff);
    // What the loader is given: the pixels within the limit, the raw bytes within what deflate
    // can make of the file.
    const Bytes rgba = PngHeader(1000, 1000, 8, 6);
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Png, rgba, 4'000'000 / 1032 + 1));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Png, rgba, 4'000'000 / 1032 - 1));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Png, PngHeader(8193, 8192, 1, 0), 10'000'000));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Png, Bytes{'G', 'I', 'F'}, 3));
}

// A TIFF header and one directory of (tag, type, count, value) entries, `big` for "MM".
Bytes Tiff(bool big, std::initializer_list<std::array<uint32_t, 4>> entries, Bytes tail = {}) {
    Bytes b;
    const auto put16 = [&](uint32_t v) {
        if (big) b.insert(b.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
        else b.insert(b.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    };
    const auto put32 = [&](uint32_t v) {
        if (big) { put16(v >> 16); put16(v & 0xFFFF); }
        else { put16(v & 0xFFFF); put16(v >> 16); }
    };
    b.insert(b.end(), {static_cast<uint8_t>(big ? 'M' : 'I'), static_cast<uint8_t>(big ? 'M' : 'I')});
    put16(42);
    put32(8);
    put16(static_cast<uint32_t>(entries.size()));
    for (const auto& e : entries) {
        put16(e[0]);
        put16(e[1]);
        put32(e[2]);
        // A SHORT that fits sits in the field's first two bytes.
        if (e[1] == 3 && e[2] == 1) { put16(e[3]); put16(0); }
        else put32(e[3]);
    }
    put32(0);
    b.insert(b.end(), tail.begin(), tail.end());
    return b;
}

TEST(PictureHeaders, TiffDepthIsBitsPerSampleTimesSamplesInEitherByteOrder) {
    for (bool big : {false, true}) {
        SCOPED_TRACE(big);
        // RGB: three 8-bit samples, their sizes stored past the directory (at 8 + 2 + 4 x 12 + 4).
        const Bytes rgb = Tiff(big, {{256, 3, 1, 640}, {257, 4, 1, 480}, {258, 3, 3, 62}, {277, 3, 1, 3}},
                               big ? Bytes{0, 8, 0, 8, 0, 8} : Bytes{8, 0, 8, 0, 8, 0});
        ExpectMeasured(ReadTiffInfo(rgb), 640, 480, 24);
        // Without depth tags: one bit of one sample.
        ExpectMeasured(ReadTiffInfo(Tiff(big, {{256, 3, 1, 5}, {257, 3, 1, 7}})), 5, 7, 1);
        ExpectMeasured(ReadTiffInfo(Tiff(big, {{256, 3, 1, 5}, {257, 3, 1, 7}, {258, 3, 1, 16}})), 5, 7, 16);
        // Sizes stored past the end, a directory whose entries run off the file, no width.
        EXPECT_EQ(ReadTiffInfo(Tiff(big, {{256, 3, 1, 640}, {257, 4, 1, 480}, {258, 3, 3, 9000}})).result,
                  PictureInfoResult::Failed);
        Bytes cut = Tiff(big, {{256, 3, 1, 5}, {257, 3, 1, 7}});
        cut.resize(cut.size() - 10);
        EXPECT_EQ(ReadTiffInfo(cut).result, PictureInfoResult::Failed);
        EXPECT_EQ(ReadTiffInfo(Tiff(big, {{257, 3, 1, 7}})).result, PictureInfoResult::Failed);
    }
    // A directory not within the first bytes read is judged once the whole file is.
    Bytes far = Tiff(false, {{256, 3, 1, 5}, {257, 3, 1, 7}});
    far[4] = 0xF0;
    far[5] = 0xFF;
    EXPECT_TRUE(LoaderMayTake(PictureHeaderKind::Tiff, far, 1'000'000));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Tiff, far, far.size()));
    EXPECT_FALSE(LoaderMayTake(PictureHeaderKind::Tiff, Tiff(false, {{256, 4, 1, 9000}, {257, 4, 1, 9000}}), 100));
}

}  // namespace
}  // namespace qcd

namespace qcd {
namespace {

// The photo's own frame header, past an Exif segment that holds a thumbnail's.
TEST(PictureHeaders, JpegFrameSizeWalksTheSegments) {
    const std::vector<uint8_t> thumbnailFrame = {0xFF, 0xC0, 0, 11, 8, 0, 120, 0, 160, 1, 1, 0x11, 0};
    std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, static_cast<uint8_t>(2 + thumbnailFrame.size())};
    app1.insert(app1.end(), thumbnailFrame.begin(), thumbnailFrame.end());
    const std::vector<uint8_t> frame = {0xFF, 0xC2, 0, 11, 8, 0x0B, 0xB8, 0x0F, 0xA0, 1, 1, 0x11, 0};
    std::vector<uint8_t> file = {0xFF, 0xD8};
    file.insert(file.end(), app1.begin(), app1.end());
    file.insert(file.end(), frame.begin(), frame.end());
    const auto size = ReadJpegFrameSize(file);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 4000);
    EXPECT_EQ(size->height, 3000);
    // Cut inside the frame header; a segment longer than the bytes; no frame before the scan.
    EXPECT_FALSE(ReadJpegFrameSize(std::span(file).first(file.size() - 6)));
    std::vector<uint8_t> overlong = file;
    overlong[5] = 0xFF;
    EXPECT_FALSE(ReadJpegFrameSize(overlong));
    EXPECT_FALSE(ReadJpegFrameSize(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xDA, 0, 2, 0xFF, 0xC0, 0, 11}));
}

}  // namespace
}  // namespace qcd
