#include "readers/exif_orientation.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <vector>

namespace qcd {
namespace {

using Bytes = std::vector<uint8_t>;

// A TIFF structure written in either byte order, from its header on.
struct TiffWriter {
    explicit TiffWriter(bool big) : big(big) {
        bytes = {static_cast<uint8_t>(big ? 'M' : 'I'), static_cast<uint8_t>(big ? 'M' : 'I')};
        U16(42);
    }
    void U16(uint32_t v) {
        if (big) bytes.insert(bytes.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
        else bytes.insert(bytes.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    }
    void U32(uint32_t v) {
        if (big) U16(v >> 16), U16(v & 0xFFFF);
        else U16(v & 0xFFFF), U16(v >> 16);
    }
    // One directory entry of one value: a SHORT left-aligned in its field, a LONG filling it.
    void Entry(uint32_t tag, uint32_t type, uint32_t count, uint32_t value) {
        U16(tag), U16(type), U32(count);
        if (type == 3) U16(value), U16(0);
        else U32(value);
    }
    bool big;
    Bytes bytes;
};

// SOI, `before` segments, an APP1 Exif segment holding `tiff`, then the scan.
Bytes WithExif(const Bytes& tiff, const Bytes& before = {}) {
    Bytes b = {0xFF, 0xD8};
    b.insert(b.end(), before.begin(), before.end());
    const size_t length = 2 + 6 + tiff.size();
    b.insert(b.end(), {0xFF, 0xE1, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length),
                       'E', 'x', 'i', 'f', 0, 0});
    b.insert(b.end(), tiff.begin(), tiff.end());
    b.insert(b.end(), {0xFF, 0xDA, 0, 2, 0xFF, 0xD9});
    return b;
}

// A JPEG whose Exif directory at `directory` holds `entries` (tag, type, count, value).
Bytes ExifJpeg(bool big, std::vector<std::array<uint32_t, 4>> entries, Bytes before = {},
               uint32_t directory = 8) {
    TiffWriter tiff(big);
    tiff.U32(directory);
    tiff.U16(static_cast<uint32_t>(entries.size()));
    for (const auto& e : entries) tiff.Entry(e[0], e[1], e[2], e[3]);
    tiff.U32(0);
    return WithExif(tiff.bytes, before);
}

TEST(ExifOrientation, TheTagInEitherByteOrderAfterOtherSegments) {
    for (bool big : {false, true}) {
        SCOPED_TRACE(big);
        for (uint32_t o = 1; o <= 8; ++o)
            EXPECT_EQ(ReadExifOrientation(ExifJpeg(big, {{0x010F, 2, 1, 0}, {0x0112, 3, 1, o}})), o);
        // A JFIF segment first.
        const Bytes jfif = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
        EXPECT_EQ(ReadExifOrientation(ExifJpeg(big, {{0x0112, 3, 1, 6}}, jfif)), 6);
        // No tag, a value out of range, a tag of the wrong type.
        EXPECT_EQ(ReadExifOrientation(ExifJpeg(big, {{0x010F, 2, 1, 6}})), 1);
        EXPECT_EQ(ReadExifOrientation(ExifJpeg(big, {{0x0112, 3, 1, 9}})), 1);
        EXPECT_EQ(ReadExifOrientation(ExifJpeg(big, {{0x0112, 4, 1, 6}})), 1);
        // The directory past the segment's end; the segment's length past the file's.
        EXPECT_EQ(ReadExifOrientation(ExifJpeg(big, {{0x0112, 3, 1, 6}}, {}, 4000)), 1);
        Bytes cut = ExifJpeg(big, {{0x0112, 3, 1, 6}});
        cut.resize(20);
        EXPECT_EQ(ReadExifOrientation(cut), 1);
    }
    // After the scan starts, or no JPEG at all.
    const Bytes late = {0xFF, 0xD8, 0xFF, 0xDA, 0, 2, 0xFF, 0xE1, 0, 8, 'E', 'x', 'i', 'f', 0, 0};
    EXPECT_EQ(ReadExifOrientation(late), 1);
    EXPECT_EQ(ReadExifOrientation(Bytes{'G', 'I', 'F'}), 1);
}

// A camera's layout: the first directory with the orientation, a second one pointing at the
// thumbnail's JPEG, which follows inside the segment. `offset` and `length` replace the
// pointer's values when set.
Bytes CameraJpeg(bool big, const Bytes& thumbnail, uint32_t next = 26, std::optional<uint32_t> offset = {},
                 std::optional<uint32_t> length = {}) {
    TiffWriter tiff(big);
    tiff.U32(8);
    tiff.U16(1);  // at 8: the first directory, 18 bytes with its link
    tiff.Entry(0x0112, 3, 1, 6);
    tiff.U32(next);
    tiff.U16(3);  // at 26: the second, 42 bytes; the thumbnail at 68
    tiff.Entry(0x0103, 3, 1, 6);
    tiff.Entry(0x0201, 4, 1, offset.value_or(68));
    tiff.Entry(0x0202, 4, 1, length.value_or(static_cast<uint32_t>(thumbnail.size())));
    tiff.U32(0);
    tiff.bytes.insert(tiff.bytes.end(), thumbnail.begin(), thumbnail.end());
    return WithExif(tiff.bytes);
}

TEST(ExifThumbnail, FoundInsideTheSegmentOrNotAtAll) {
    const Bytes thumbnail = {0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
    for (bool big : {false, true}) {
        SCOPED_TRACE(big);
        const Bytes file = CameraJpeg(big, thumbnail);
        const auto range = ReadExifThumbnail(file);
        ASSERT_TRUE(range);
        EXPECT_EQ(Bytes(file.begin() + static_cast<ptrdiff_t>(range->offset),
                        file.begin() + static_cast<ptrdiff_t>(range->offset + range->size)), thumbnail);
        EXPECT_EQ(ReadExifOrientation(file), 6);
        struct Damage {
            const char* what;
            Bytes file;
        };
        const Damage damaged[] = {
            {"no second directory", CameraJpeg(big, thumbnail, 0)},
            {"second directory past the segment", CameraJpeg(big, thumbnail, 5000)},
            {"offset past the segment", CameraJpeg(big, thumbnail, 26, 5000)},
            {"length past the segment", CameraJpeg(big, thumbnail, 26, 68, 5000)},
            {"length wrapping round", CameraJpeg(big, thumbnail, 26, 68, 0xFFFFFFF0u)},
            {"not a JPEG there", CameraJpeg(big, thumbnail, 26, 69, 5)},
        };
        for (const Damage& d : damaged) EXPECT_FALSE(ReadExifThumbnail(d.file)) << d.what;
    }
    EXPECT_FALSE(ReadExifThumbnail(ExifJpeg(false, {{0x0112, 3, 1, 6}})));
}

// A 3 x 2 picture of distinct pixels in every orientation: each is what turning or mirroring
// the stored one by hand gives.
TEST(ExifOrientation, PixelsLandWhereTheTurnPutsThem) {
    const std::vector<uint32_t> stored = {1, 2, 3,
                                          4, 5, 6};
    const std::vector<std::vector<uint32_t>> shown = {
        {},
        {1, 2, 3, 4, 5, 6},
        {3, 2, 1, 6, 5, 4},
        {6, 5, 4, 3, 2, 1},
        {4, 5, 6, 1, 2, 3},
        {1, 4, 2, 5, 3, 6},  // 2 wide from here on
        {4, 1, 5, 2, 6, 3},
        {6, 3, 5, 2, 4, 1},
        {3, 6, 2, 5, 1, 4},
    };
    for (Orientation o = 1; o <= 8; ++o) {
        std::vector<uint32_t> out(6);
        OrientPixels(o, stored.data(), 3, 2, out.data());
        EXPECT_EQ(out, shown[o]) << int{o};
        EXPECT_EQ(SwapsSides(o), o >= 5);
    }
    // Values out of range leave the picture as stored.
    EXPECT_EQ(ShownPlace(0, 2, 1, 3, 2).x, 2);
    EXPECT_EQ(ShownPlace(9, 2, 1, 3, 2).y, 1);
}

}  // namespace
}  // namespace qcd
