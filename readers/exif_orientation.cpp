#include "readers/exif_orientation.h"

#include <cstring>
#include <optional>

namespace qcd {

namespace {

uint32_t Be16(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at] << 8 | b[at + 1]);
}

// The orientation tag of the TIFF structure inside an Exif segment.
Orientation FromTiff(std::span<const uint8_t> tiff) {
    if (tiff.size() < 8) return 1;
    const bool big = tiff[0] == 'M' && tiff[1] == 'M';
    if (!big && !(tiff[0] == 'I' && tiff[1] == 'I')) return 1;
    const auto u16 = [&](size_t at) {
        return big ? Be16(tiff, at) : static_cast<uint32_t>(tiff[at] | tiff[at + 1] << 8);
    };
    const auto u32 = [&](size_t at) {
        return big ? u16(at) << 16 | u16(at + 2) : u16(at) | u16(at + 2) << 16;
    };
    if (u16(2) != 42) return 1;
    const size_t directory = u32(4);
    if (directory > tiff.size() || tiff.size() - directory < 2) return 1;
    const size_t count = u16(directory);
    if ((tiff.size() - directory - 2) / 12 < count) return 1;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = directory + 2 + 12 * i;
        if (u16(entry) != 0x0112) continue;
        // One SHORT, held in the entry itself.
        if (u16(entry + 2) != 3 || u32(entry + 4) != 1) return 1;
        const uint32_t value = u16(entry + 8);
        return value >= 1 && value <= 8 ? static_cast<Orientation>(value) : 1;
    }
    return 1;
}

}  // namespace

Orientation ReadExifOrientation(std::span<const uint8_t> jpeg) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return 1;
    size_t at = 2;
    while (jpeg.size() - at >= 4 && jpeg[at] == 0xFF) {
        const uint8_t marker = jpeg[at + 1];
        if (marker == 0xFF) {  // a fill byte
            ++at;
            continue;
        }
        // The picture's data, or the end: no Exif segment before it.
        if (marker == 0xDA || marker == 0xD9) return 1;
        const size_t length = Be16(jpeg, at + 2);
        if (length < 2 || length > jpeg.size() - at - 2) return 1;
        const auto segment = jpeg.subspan(at + 4, length - 2);
        constexpr uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
        if (marker == 0xE1 && segment.size() >= sizeof kExif &&
            std::memcmp(segment.data(), kExif, sizeof kExif) == 0)
            return FromTiff(segment.subspan(sizeof kExif));
        at += 2 + length;
    }
    return 1;
}

PixelPlace ShownPlace(Orientation o, int32_t x, int32_t y, int32_t width, int32_t height) {
    switch (o) {
        case 2: return {width - 1 - x, y};
        case 3: return {width - 1 - x, height - 1 - y};
        case 4: return {x, height - 1 - y};
        case 5: return {y, x};
        case 6: return {height - 1 - y, x};
        case 7: return {height - 1 - y, width - 1 - x};
        case 8: return {y, width - 1 - x};
        default: return {x, y};
    }
}

void OrientPixels(Orientation o, const uint32_t* stored, int32_t width, int32_t height,
                  uint32_t* shown) {
    const auto shownWidth = static_cast<size_t>(SwapsSides(o) ? height : width);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* row = stored + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int32_t x = 0; x < width; ++x) {
            const PixelPlace p = ShownPlace(o, x, y, width, height);
            shown[static_cast<size_t>(p.y) * shownWidth + static_cast<size_t>(p.x)] = row[x];
        }
    }
}

}  // namespace qcd
