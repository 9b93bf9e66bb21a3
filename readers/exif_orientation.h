// How a camera says its photo is to be turned: the orientation tag of a JPEG's Exif segment,
// and the pixel mapping it asks for. Portable code; every read is checked against the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qcd {

// 1 (as stored) to 8, as the tag's values go: 2 mirrored left to right, 3 turned half round,
// 4 mirrored top to bottom, 5 mirrored along the main diagonal, 6 turned a quarter clockwise,
// 7 mirrored along the other diagonal, 8 turned a quarter anticlockwise.
using Orientation = uint8_t;

// The orientation in the first Exif segment before the picture's data: 1 when there is none,
// or the segment, its directory or the tag is damaged or out of range.
Orientation ReadExifOrientation(std::span<const uint8_t> jpeg);

// Where a camera's thumbnail lies in the file: the JPEG that the Exif segment's second image
// directory points at (tags 0x0201 and 0x0202), whole inside the segment and starting with a
// JPEG's start marker. Nothing when there is none, or the directories, the offset or the
// length are damaged.
struct ByteRange {
    size_t offset, size;
};
std::optional<ByteRange> ReadExifThumbnail(std::span<const uint8_t> jpeg);

// Whether width and height trade places when shown (5 to 8).
constexpr bool SwapsSides(Orientation o) { return o >= 5 && o <= 8; }

struct PixelPlace {
    int32_t x, y;
};

// Where the stored pixel (x, y) of a width x height picture is shown, in the shown picture's
// own coordinates (height x width for 5 to 8). Values outside 1..8 are taken as 1.
PixelPlace ShownPlace(Orientation o, int32_t x, int32_t y, int32_t width, int32_t height);

// Copies 32-bit pixels of a top-down width x height picture into `shown`, laid out as the
// orientation shows them (rows of height pixels for 5 to 8). Both hold width * height pixels.
void OrientPixels(Orientation o, const uint32_t* stored, int32_t width, int32_t height,
                  uint32_t* shown);

}  // namespace qcd
