// The header in front of a bitmap's colour table and bits, as bitmap files and the records of
// metafiles keep it: the old core header or one of the info header's versions. Portable code.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace qcd {

inline constexpr uint32_t kBitmapCoreHeaderSize = 12;
inline constexpr uint32_t kBitmapInfoHeaderSize = 40;

// Every size the format has: the core header (16-bit fields, RGB triples in the colour table),
// the info header, the same with its colour masks (52) and alpha mask (56), the second
// version of the core header (64, whose compression values mean other things past 2), and the
// version 4 and 5 headers (108, 124).
inline constexpr std::array<uint32_t, 7> kBitmapHeaderSizes{12, 40, 52, 56, 64, 108, 124};
// The sizes that may be read as an info header with masks after byte 40 and compression as the
// info header has it: all but the second core header. The platform's bitmap calls (which a
// metafile's records reach) do not take that one, and our row sampler would read its
// compression 3 (Huffman) as bitfields.
inline constexpr std::array<uint32_t, 6> kInfoLayoutHeaderSizes{12, 40, 52, 56, 108, 124};

inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiRle4 = 2;
inline constexpr uint32_t kBiBitfields = 3;

struct BitmapHeader {
    uint32_t size = 0;
    int32_t width = 0;
    int32_t height = 0;  // negative: the first row is the top one (info headers only)
    uint16_t planes = 0;
    uint16_t bits = 0;
    uint32_t compression = kBiRgb;  // always kBiRgb in a core header
    uint32_t coloursUsed = 0;       // 0: as many as the depth indexes (always, in a core header)

    bool IsCore() const { return size == kBitmapCoreHeaderSize; }
    uint32_t PaletteEntrySize() const { return IsCore() ? 3 : 4; }
};

// The header at the start of `bytes` when its size field is one of `accepted` and the whole
// header is there. Only the fields are read; what they may hold is the caller's rule.
std::optional<BitmapHeader> ReadBitmapHeader(
    std::span<const uint8_t> bytes, std::span<const uint32_t> accepted = kBitmapHeaderSizes);

}  // namespace qcd
