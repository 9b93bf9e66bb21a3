// A preview of an uncompressed bitmap from a few of its rows: the layout is read from the
// first bytes of the file, then only the rows the preview shows are read, one seek and one
// read each, and sampled down to the preview's size. A 200 MB bitmap costs about as much as
// its preview, and a damaged header costs nothing. Portable code; every count, size and
// offset is checked against the bytes given and the file's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qcd {

// Largest width and height taken, and largest preview made.
inline constexpr int32_t kBmpMaxSide = 65535;
inline constexpr int32_t kBmpMaxTarget = 4096;
// clrUsed above this is taken for a damaged header.
inline constexpr uint32_t kBmpMaxColours = 256;
// ReadBmpLayout looks at no byte past this: file header, the largest info header, three
// masks and a full palette. Reading this much (or the whole file if shorter) is enough.
inline constexpr size_t kBmpHeadSize = 14 + 124 + 12 + kBmpMaxColours * 4;

struct BmpLayout {
    int32_t width = 0, height = 0;  // height as a magnitude
    bool topDown = false;           // the first row in the file is the top one
    int32_t bits = 0;               // 1, 4, 8, 16, 24 or 32
    // Colours of the indices (bits <= 8), at most 2^bits, as 0x00RRGGBB. An index past the
    // end shows black.
    std::vector<uint32_t> palette;
    // Channels of a 16- or 32-bit pixel: the bitfields, or 5-5-5 and 8-8-8 by default.
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
    uint64_t pixelOffset = 0;  // of the first row in the file
    uint64_t stride = 0;       // bytes from one row to the next, a multiple of four
    bool rowsInFile = false;   // pixelOffset + stride * height <= the file's size
};

// The layout of a bitmap file whose first bytes are `head` (the first kBmpHeadSize bytes, or
// all when the file is shorter) and whose size is `fileSize`. Taken: "BM", then a 12-byte
// core header (1, 4, 8 or 24 bits; 3-byte palette entries, 2^bits of them) or an info header of
// kInfoLayoutHeaderSizes (4-byte palette entries, clrUsed of them or 2^bits when it is 0),
// uncompressed at 1, 4, 8, 16, 24 or 32 bits, or bitfields at 16 or 32 bits (masks in the
// larger headers, or the 12 bytes after a 40-byte one; each mask one run of bits, within the
// pixel). The pixels start at bfOffBits, or right after the header, masks and palette when it
// is 0. Nothing for any other header, compression or depth, planes other than 1, a width or
// height outside 1..kBmpMaxSide, clrUsed above kBmpMaxColours, a palette not all in `head`,
// pixels starting inside the header, or a head longer than the file.
std::optional<BmpLayout> ReadBmpLayout(std::span<const uint8_t> head, uint64_t fileSize);

// One row to read: `size` bytes at `offset` of the file (the row's pixels, without padding).
struct BmpRowRead {
    int32_t fileRow = 0;  // 0 is the first row in the file
    uint64_t offset = 0;
    uint32_t size = 0;
};

// Top-down rows of width 32-bit pixels, bytes B, G, R, 0xFF: the layout of a top-down 32-bpp
// DIB section, so one copy of width * height * 4 bytes fills it.
struct BmpSample {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

// Samples a bitmap to a target size. Target row y shows the source row at the centre of its
// band of rows; target pixel x averages up to four source pixels spread evenly over its band
// of columns (nearest when the target is the wider). So the work is bounded by the target's
// size, whatever the bitmap's: at most four source pixels decoded per target pixel, and at
// most one row read per target row.
class BmpSampler {
  public:
    // Nothing when the layout's rows are not all in the file or either side of the target is
    // outside 1..kBmpMaxTarget (FitIntoBox scales a very long picture's short side to 0).
    static std::optional<BmpSampler> Make(const BmpLayout& layout, int32_t targetWidth,
                                          int32_t targetHeight);

    // The rows to read, each once, in file order.
    const std::vector<BmpRowRead>& Reads() const { return reads_; }
    // The bytes of Reads()[index] (extra bytes are ignored): the target rows showing it are
    // filled. False for an index out of range, fewer bytes than the read's size, or after Take.
    bool Put(size_t index, std::span<const uint8_t> bytes);
    // The picture once every read was put; nothing before, or when it was taken already.
    std::optional<BmpSample> Take();

  private:
    BmpSampler() = default;

    BmpLayout layout_;
    int32_t targetWidth_ = 0, targetHeight_ = 0;
    std::vector<BmpRowRead> reads_;
    // For each read, the first of its target rows in targetRows_ (one past the end last).
    std::vector<size_t> firstTargetRow_;
    std::vector<int32_t> targetRows_;
    // For each target column, four source columns (the unused ones repeat the last).
    std::vector<int32_t> columns_;
    std::vector<uint8_t> sampleCounts_;
    std::vector<bool> put_;
    size_t putCount_ = 0;
    bool taken_ = false;
    BmpSample out_;
};

}  // namespace qcd
