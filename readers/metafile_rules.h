// What the checks of plain and enhanced metafiles share: field reads, the work budget, and the
// rules of the bitmaps inside records. Portable code.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>

#include "base/checked.h"
#include "readers/little_endian.h"
#include "readers/metafile_check.h"

namespace qcd::metafile {

using le::U16;
using le::U32;
using Bytes = std::span<const uint8_t>;

inline int16_t S16(Bytes b, size_t at) {
    return static_cast<int16_t>(U16(b, at));
}
inline int32_t S32(Bytes b, size_t at) {
    return static_cast<int32_t>(U32(b, at));
}

// Whether `count` items of `unit` bytes from `offset` end within `size` bytes.
inline bool Fits(uint64_t size, uint64_t offset, uint64_t count, uint64_t unit) {
    const auto bytes = CheckedMul(count, unit);
    const auto end = bytes ? CheckedAdd(offset, *bytes) : std::nullopt;
    return end && *end <= size;
}

inline bool Within(int64_t v, int64_t limit) {
    return v >= -limit && v <= limit;
}

// Whether a curve or pen `logical` units across stays within reach of the rasterizer at
// `scale` preview pixels per unit (false for a scale that is not a number).
inline bool CurveFits(double logical, double scale) {
    return logical * scale <= kMaxMetafileCurvePixels;
}

class Budget {
  public:
    bool AddPoints(uint64_t n) {
        points_ += n;
        return points_ <= kMaxMetafilePoints;
    }
    bool AddBitmap(uint64_t bytes) {
        bitmapBytes_ += bytes;
        return bitmapBytes_ <= kMaxMetafileBitmapBytes;
    }
    // False from the first side that is not a number on.
    bool AddDrawn(double pixels) {
        drawn_ += pixels;
        return drawn_ <= kMaxMetafileDrawnPixels;
    }
    // Each saved state is a copy of the whole drawing state in the player.
    bool Save() { return ++depth_ <= kMaxMetafileSaveDepth; }
    void Restore(int32_t level) {
        if (level < 0)
            depth_ -=
                std::min<uint32_t>(depth_, static_cast<uint32_t>(-static_cast<int64_t>(level)));
        else if (level > 0 && static_cast<uint32_t>(level) <= depth_)
            depth_ = static_cast<uint32_t>(level) - 1;
    }

  private:
    uint64_t points_ = 0;
    uint64_t bitmapBytes_ = 0;
    double drawn_ = 0;
    uint32_t depth_ = 0;
};

// The bounding box of a shape's points.
class Span {
  public:
    void Add(double x, double y) {
        minX_ = std::min(minX_, x);
        maxX_ = std::max(maxX_, x);
        minY_ = std::min(minY_, y);
        maxY_ = std::max(maxY_, y);
    }
    double Side() const { return minX_ > maxX_ ? 0 : std::max(maxX_ - minX_, maxY_ - minY_); }

  private:
    double minX_ = HUGE_VAL, maxX_ = -HUGE_VAL, minY_ = HUGE_VAL, maxY_ = -HUGE_VAL;
};

// Bitmaps: a BITMAPINFO (header, masks, colour table) and its bits.

// Colour table entries: RGB quads, 16-bit palette indices, or none (indices into the device's
// palette, or a monochrome brush).
inline constexpr uint32_t kDibRgbColours = 0;
inline constexpr uint32_t kDibNoColours = 2;

struct DibLayout {
    uint64_t infoSize = 0;  // header, masks and colour table
    uint64_t stride = 0;
    uint64_t lines = 0;
    bool runLength = false;
};

std::optional<DibLayout> ReadDibInfo(Bytes info, uint32_t usage);
// `lines` rows of bits are read from `bitsSize` bytes.
MetafileFault CheckDibBits(const DibLayout& dib, uint64_t bitsSize, uint64_t lines,
                           Budget& budget);
// A bitmap packed behind its header, as plain metafiles keep them.
MetafileFault CheckPackedDib(Bytes dib, uint32_t usage, std::optional<uint64_t> lines,
                             Budget& budget);

}  // namespace qcd::metafile
