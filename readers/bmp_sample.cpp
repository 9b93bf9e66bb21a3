#include "readers/bmp_sample.h"

#include <algorithm>
#include <utility>

#include "base/checked.h"
#include "readers/bitmap_header.h"
#include "readers/little_endian.h"

namespace qcd {

namespace {

using le::U16;
using le::U32;

constexpr size_t kFileHeaderSize = 14;
// Bitfields sit at the same place after a 40-byte header and inside the larger ones.
constexpr size_t kMasksAt = kFileHeaderSize + 40;
constexpr size_t kMasksSize = 12;
constexpr int kSamples = 4;

// A channel mask must be one run of bits: anything else is a damaged header.
bool IsRun(uint32_t mask) {
    if (mask == 0) return true;
    const uint32_t low = mask >> __builtin_ctz(mask);
    return (low & (low + 1)) == 0;
}

uint64_t RowBytes(const BmpLayout& l) {
    return (static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.bits) + 7) / 8;
}

bool IsDepth(int32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint64_t max = 0;  // the field's largest value, 0 for an empty mask

    explicit Channel(uint32_t m) : mask(m) {
        if (m == 0) return;
        shift = __builtin_ctz(m);
        max = m >> shift;
    }
    uint32_t To8(uint32_t pixel) const {
        if (max == 0) return 0;
        const uint64_t v = (pixel & mask) >> shift;
        return static_cast<uint32_t>((v * 255 + max / 2) / max);
    }
};

struct PixelReader {
    const BmpLayout& l;
    Channel red, green, blue;

    explicit PixelReader(const BmpLayout& layout)
        : l(layout), red(layout.redMask), green(layout.greenMask), blue(layout.blueMask) {}

    // Pixel x of a row holding at least RowBytes bytes, as 0x00RRGGBB.
    uint32_t At(const uint8_t* row, int32_t x) const {
        const auto ux = static_cast<size_t>(x);
        switch (l.bits) {
            case 1:
            case 4:
            case 8: {
                const size_t bit = ux * static_cast<size_t>(l.bits);
                const int shift = 8 - l.bits - static_cast<int>(bit % 8);
                const uint32_t index = (row[bit / 8] >> shift) & ((1u << l.bits) - 1);
                return index < l.palette.size() ? l.palette[index] : 0;
            }
            case 16:
                return Masked(static_cast<uint32_t>(row[ux * 2] | row[ux * 2 + 1] << 8));
            case 24:
                return static_cast<uint32_t>(row[ux * 3]) |
                       static_cast<uint32_t>(row[ux * 3 + 1]) << 8 |
                       static_cast<uint32_t>(row[ux * 3 + 2]) << 16;
            default:
                return Masked(static_cast<uint32_t>(row[ux * 4]) |
                              static_cast<uint32_t>(row[ux * 4 + 1]) << 8 |
                              static_cast<uint32_t>(row[ux * 4 + 2]) << 16 |
                              static_cast<uint32_t>(row[ux * 4 + 3]) << 24);
        }
    }

    uint32_t Masked(uint32_t p) const { return blue.To8(p) | green.To8(p) << 8 | red.To8(p) << 16; }
};

}  // namespace

std::optional<BmpLayout> ReadBmpLayout(std::span<const uint8_t> head, uint64_t fileSize) {
    if (head.size() > fileSize) return std::nullopt;
    if (head.size() < kFileHeaderSize + 4 || head[0] != 'B' || head[1] != 'M') return std::nullopt;
    const uint32_t offBits = U32(head, 10);

    const auto header = ReadBitmapHeader(head.subspan(kFileHeaderSize), kInfoLayoutHeaderSizes);
    if (!header) return std::nullopt;
    BmpLayout l;
    int64_t width = header->width, height = header->height;
    const uint32_t planes = header->planes;
    l.bits = header->bits;
    uint32_t entries = 0;
    const size_t entrySize = header->PaletteEntrySize();
    size_t paletteAt = kFileHeaderSize + header->size;
    if (header->IsCore()) {
        if (l.bits != 1 && l.bits != 4 && l.bits != 8 && l.bits != 24) return std::nullopt;
        if (l.bits <= 8) entries = 1u << l.bits;
    } else {
        const uint32_t compression = header->compression;
        const uint32_t clrUsed = header->coloursUsed;
        if (!IsDepth(l.bits) || clrUsed > kBmpMaxColours) return std::nullopt;
        if (l.bits == 16) {
            l.redMask = 0x7C00, l.greenMask = 0x03E0, l.blueMask = 0x001F;
        } else if (l.bits == 32) {
            l.redMask = 0xFF0000, l.greenMask = 0x00FF00, l.blueMask = 0x0000FF;
        }
        if (compression == kBiBitfields) {
            if (l.bits != 16 && l.bits != 32) return std::nullopt;
            if (header->size == kBitmapInfoHeaderSize) {
                paletteAt += kMasksSize;
                if (head.size() < paletteAt) return std::nullopt;
            }
            l.redMask = U32(head, kMasksAt);
            l.greenMask = U32(head, kMasksAt + 4);
            l.blueMask = U32(head, kMasksAt + 8);
            const uint32_t limit = l.bits == 16 ? 0xFFFF : 0xFFFFFFFF;
            for (const uint32_t m : {l.redMask, l.greenMask, l.blueMask})
                if (!IsRun(m) || m > limit) return std::nullopt;
        } else if (compression != kBiRgb) {
            return std::nullopt;
        }
        entries = clrUsed != 0 ? clrUsed : l.bits <= 8 ? 1u << l.bits : 0;
        if (height < 0) {
            l.topDown = true;
            height = -height;
        }
    }
    if (planes != 1 || width < 1 || width > kBmpMaxSide || height < 1 || height > kBmpMaxSide)
        return std::nullopt;
    l.width = static_cast<int32_t>(width);
    l.height = static_cast<int32_t>(height);

    if (l.bits <= 8) {
        // A palette longer than the depth can index takes its room, but only 2^bits are used.
        const size_t colours = std::min<size_t>(entries, size_t{1} << l.bits);
        if (colours > (head.size() - paletteAt) / entrySize) return std::nullopt;
        l.palette.reserve(colours);
        for (size_t i = 0; i < colours; ++i) {
            const size_t at = paletteAt + i * entrySize;
            l.palette.push_back(static_cast<uint32_t>(head[at]) |
                                static_cast<uint32_t>(head[at + 1]) << 8 |
                                static_cast<uint32_t>(head[at + 2]) << 16);
        }
    }
    l.pixelOffset = offBits != 0 ? offBits : paletteAt + size_t{entries} * entrySize;
    if (l.pixelOffset < paletteAt) return std::nullopt;

    l.stride = (static_cast<uint64_t>(l.width) * static_cast<uint64_t>(l.bits) + 31) / 32 * 4;
    const auto pixelBytes = CheckedMul<uint64_t>(l.stride, static_cast<uint64_t>(l.height));
    const auto end = pixelBytes ? CheckedAdd<uint64_t>(l.pixelOffset, *pixelBytes) : std::nullopt;
    l.rowsInFile = end && *end <= fileSize;
    return l;
}

std::optional<BmpSampler> BmpSampler::Make(const BmpLayout& layout, int32_t targetWidth,
                                           int32_t targetHeight) {
    if (!layout.rowsInFile || targetWidth < 1 || targetWidth > kBmpMaxTarget || targetHeight < 1 ||
        targetHeight > kBmpMaxTarget)
        return std::nullopt;
    // A layout not made by ReadBmpLayout must still not lead reads past a row.
    if (layout.width < 1 || layout.width > kBmpMaxSide || layout.height < 1 ||
        layout.height > kBmpMaxSide || !IsDepth(layout.bits) || layout.stride < RowBytes(layout))
        return std::nullopt;

    BmpSampler s;
    s.layout_ = layout;
    s.targetWidth_ = targetWidth;
    s.targetHeight_ = targetHeight;
    const auto w = static_cast<uint64_t>(layout.width);
    const auto h = static_cast<uint64_t>(layout.height);
    const auto tw = static_cast<uint64_t>(targetWidth);
    const auto th = static_cast<uint64_t>(targetHeight);

    // In file order: from the bottom target row up when the file stores its rows bottom-up.
    // The source rows then never go back, so target rows sharing one are neighbours.
    const auto rowBytes = static_cast<uint32_t>(RowBytes(layout));
    s.targetRows_.reserve(th);
    for (uint64_t i = 0; i < th; ++i) {
        const uint64_t ty = layout.topDown ? i : th - 1 - i;
        const auto sy = static_cast<int32_t>((2 * ty + 1) * h / (2 * th));
        const int32_t fileRow = layout.topDown ? sy : layout.height - 1 - sy;
        if (s.reads_.empty() || s.reads_.back().fileRow != fileRow) {
            // Inside the file: rowsInFile bounds offset + stride * height.
            const uint64_t offset =
                layout.pixelOffset + static_cast<uint64_t>(fileRow) * layout.stride;
            s.reads_.push_back({fileRow, offset, rowBytes});
            s.firstTargetRow_.push_back(s.targetRows_.size());
        }
        s.targetRows_.push_back(static_cast<int32_t>(ty));
    }
    s.firstTargetRow_.push_back(s.targetRows_.size());
    s.put_.assign(s.reads_.size(), false);

    s.columns_.reserve(tw * kSamples);
    s.sampleCounts_.reserve(tw);
    for (uint64_t tx = 0; tx < tw; ++tx) {
        // The band's first column and width; a target wider than the source gives bands of
        // no width, whose first column is then the one under their centre.
        const uint64_t x0 = tx * w / tw;
        const uint64_t n = std::max<uint64_t>((tx + 1) * w / tw - x0, 1);
        const uint64_t count = std::min<uint64_t>(n, kSamples);
        for (uint64_t k = 0; k < kSamples; ++k) {
            const uint64_t i = std::min(k, count - 1);
            s.columns_.push_back(static_cast<int32_t>(x0 + (2 * i + 1) * n / (2 * count)));
        }
        s.sampleCounts_.push_back(static_cast<uint8_t>(count));
    }

    s.out_.width = targetWidth;
    s.out_.height = targetHeight;
    s.out_.pixels.assign(tw * th * 4, 0);
    return s;
}

bool BmpSampler::Put(size_t index, std::span<const uint8_t> bytes) {
    if (taken_ || index >= reads_.size() || bytes.size() < reads_[index].size) return false;
    const PixelReader reader(layout_);
    const auto tw = static_cast<size_t>(targetWidth_);
    const size_t rowSize = tw * 4;
    uint8_t* first =
        out_.pixels.data() + static_cast<size_t>(targetRows_[firstTargetRow_[index]]) * rowSize;
    for (size_t tx = 0; tx < tw; ++tx) {
        const uint32_t count = sampleCounts_[tx];
        uint32_t r = 0, g = 0, b = 0;
        for (uint32_t k = 0; k < count; ++k) {
            const uint32_t p = reader.At(bytes.data(), columns_[tx * kSamples + k]);
            b += p & 0xFF;
            g += p >> 8 & 0xFF;
            r += p >> 16 & 0xFF;
        }
        first[tx * 4] = static_cast<uint8_t>((b + count / 2) / count);
        first[tx * 4 + 1] = static_cast<uint8_t>((g + count / 2) / count);
        first[tx * 4 + 2] = static_cast<uint8_t>((r + count / 2) / count);
        first[tx * 4 + 3] = 0xFF;
    }
    for (size_t i = firstTargetRow_[index] + 1; i < firstTargetRow_[index + 1]; ++i) {
        std::copy_n(first, rowSize,
                    out_.pixels.data() + static_cast<size_t>(targetRows_[i]) * rowSize);
    }
    if (!put_[index]) {
        put_[index] = true;
        ++putCount_;
    }
    return true;
}

std::optional<BmpSample> BmpSampler::Take() {
    if (taken_ || putCount_ != reads_.size()) return std::nullopt;
    taken_ = true;
    return std::move(out_);
}

}  // namespace qcd
