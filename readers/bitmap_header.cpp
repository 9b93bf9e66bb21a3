#include "readers/bitmap_header.h"

#include <algorithm>

#include "readers/little_endian.h"

namespace qcd {

std::optional<BitmapHeader> ReadBitmapHeader(std::span<const uint8_t> bytes,
                                             std::span<const uint32_t> accepted) {
    if (bytes.size() < 4) return std::nullopt;
    BitmapHeader h;
    h.size = le::U32(bytes, 0);
    if (std::find(accepted.begin(), accepted.end(), h.size) == accepted.end() ||
        h.size < kBitmapCoreHeaderSize || bytes.size() < h.size)
        return std::nullopt;
    if (h.IsCore()) {
        h.width = le::U16(bytes, 4);
        h.height = le::U16(bytes, 6);
        h.planes = le::U16(bytes, 8);
        h.bits = le::U16(bytes, 10);
        return h;
    }
    if (h.size < kBitmapInfoHeaderSize) return std::nullopt;
    h.width = static_cast<int32_t>(le::U32(bytes, 4));
    h.height = static_cast<int32_t>(le::U32(bytes, 8));
    h.planes = le::U16(bytes, 12);
    h.bits = le::U16(bytes, 14);
    h.compression = le::U32(bytes, 16);
    h.coloursUsed = le::U32(bytes, 32);
    return h;
}

}  // namespace qcd
