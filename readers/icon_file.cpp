#include "readers/icon_file.h"

#include <algorithm>
#include <array>

#include "readers/little_endian.h"

namespace qcd {

namespace {

using le::U16;
using le::U32;

struct Entry {
    size_t offset;
    size_t size;
};

struct Directory {
    int32_t count = kIconInvalid;
    std::vector<Entry> entries;
};

Directory ReadDirectory(std::span<const uint8_t> file) {
    if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') return {kIconNotThisFormat, {}};
    if (file.size() < kIconHeaderSize) return {};
    const auto count = static_cast<int16_t>(U16(file, 4));
    if (count < 1) return {};
    const auto n = static_cast<size_t>(count);
    if ((file.size() - kIconHeaderSize) / kIconEntrySize < n) return {};
    Directory dir{count, {}};
    dir.entries.reserve(n);
    // Each image is rendered from its own bytes: entries that share them would let a small
    // file cost as much work as a huge one.
    size_t total = 0;
    for (size_t i = 0; i < n; ++i) {
        const size_t at = kIconHeaderSize + i * kIconEntrySize;
        const size_t size = U32(file, at + 8);
        const size_t offset = U32(file, at + 12);
        if (offset > file.size() || size > file.size() - offset) return {};
        total += size;
        if (total > file.size()) return {};
        dir.entries.push_back({offset, size});
    }
    return dir;
}

constexpr std::array<uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t kPngIhdrEnd = 26;  // signature, length, "IHDR", width, height, depth, colour
constexpr size_t kBitmapInfoSize = 40;

uint32_t BigEndian32(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
           static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

std::optional<IconImageInfo> MeasurePng(std::span<const uint8_t> image) {
    if (image.size() < kPngIhdrEnd || !le::IdAt(image, 12, "IHDR")) return std::nullopt;
    const uint32_t width = BigEndian32(image, 16);
    const uint32_t height = BigEndian32(image, 20);
    if (width > INT32_MAX || height > INT32_MAX) return std::nullopt;
    int channels = 0;
    switch (image[25]) {
        case 0:  // grey
        case 3:  // palette
            channels = 1;
            break;
        case 4:  // grey and alpha
            channels = 2;
            break;
        case 2:  // RGB
            channels = 3;
            break;
        case 6:  // RGBA
            channels = 4;
            break;
        default:
            return std::nullopt;
    }
    return IconImageInfo{static_cast<int32_t>(width), static_cast<int32_t>(height),
                         static_cast<int16_t>(image[24] * channels)};
}

// Whether a bitmap image holds what its header says: the platform's icon loader reads the
// colour table, the colour rows and the mask rows at the header's width, height and depth
// without asking how many bytes it was given.
bool BitmapRowsFit(std::span<const uint8_t> image) {
    const uint64_t headerSize = U32(image, 0);
    const auto width = static_cast<int32_t>(U32(image, 4));
    const auto height = static_cast<int32_t>(U32(image, 8));  // the colour rows and the mask's
    const uint16_t planes = U16(image, 12);
    const uint16_t bits = U16(image, 14);
    const uint32_t compression = U32(image, 16);
    const uint32_t coloursUsed = U32(image, 32);
    if (headerSize < kBitmapInfoSize || planes != 1 || width <= 0 || height <= 0) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    constexpr uint32_t kBitFields = 3;
    uint64_t colours = std::min<uint32_t>(coloursUsed, 256);
    if (colours == 0 && bits <= 8) colours = uint64_t{1} << bits;
    const uint64_t masks = compression == kBitFields && headerSize == kBitmapInfoSize ? 12 : 0;
    const auto stride = [width](uint64_t depth) {
        return (static_cast<uint64_t>(width) * depth + 31) / 32 * 4;
    };
    const uint64_t rows = static_cast<uint64_t>(height) / 2;
    const uint64_t need = headerSize + masks + colours * 4 + (stride(bits) + stride(1)) * rows;
    return need <= image.size();
}

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    Put16(out, at, static_cast<uint16_t>(v));
    Put16(out, at + 2, static_cast<uint16_t>(v >> 16));
}

}  // namespace

std::optional<IconImageInfo> MeasureIconImage(std::span<const uint8_t> image) {
    // Newer icons store large images as PNG, whose bytes at the bitmap header's offsets are
    // the signature and chunk names.
    if (image.size() >= kPngSignature.size() &&
        std::equal(kPngSignature.begin(), kPngSignature.end(), image.begin()))
        return MeasurePng(image);
    if (image.size() < kBitmapInfoSize) return std::nullopt;
    const auto width = static_cast<int32_t>(U32(image, 4));
    const auto bits = static_cast<int16_t>(U16(image, 14));
    if (!BitmapRowsFit(image)) return std::nullopt;
    return IconImageInfo{width, width, bits};
}

IconFileInfo ReadIconFile(std::span<const uint8_t> file) {
    const Directory dir = ReadDirectory(file);
    if (dir.count < 1) return {dir.count, {}, {}};
    IconFileInfo info{dir.count, {}, {}};
    info.images.reserve(dir.entries.size());
    info.places.reserve(dir.entries.size());
    for (const Entry& e : dir.entries) {
        const auto image = MeasureIconImage(file.subspan(e.offset, e.size));
        if (!image) return {};
        info.images.push_back(*image);
        info.places.push_back({e.offset, e.size});
    }
    return info;
}

std::optional<std::vector<uint8_t>> SingleImageIcon(std::span<const uint8_t> file,
                                                    const IconFileInfo& info, int32_t n) {
    if (n < 1 || n > info.count || static_cast<size_t>(n) > info.places.size()) return std::nullopt;
    const IconImagePlace& place = info.places[static_cast<size_t>(n - 1)];
    const size_t entryAt = kIconHeaderSize + static_cast<size_t>(n - 1) * kIconEntrySize;
    // The info may come from other bytes than these: nothing is read that is not there.
    if (entryAt + kIconEntrySize > file.size() || place.offset > file.size() ||
        place.size > file.size() - place.offset)
        return std::nullopt;

    constexpr size_t kImageAt = kIconHeaderSize + kIconEntrySize;
    std::vector<uint8_t> out(kImageAt + place.size, 0);
    // Reserved stays 0 whatever the file holds: the picture loader refuses anything else.
    Put16(out, 2, U16(file, 2));
    Put16(out, 4, 1);
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(entryAt), 12, out.begin() + 6);
    Put32(out, 18, static_cast<uint32_t>(kImageAt));
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(place.offset), place.size,
                out.begin() + kImageAt);
    return out;
}

std::optional<std::vector<uint8_t>> SingleImageIcon(std::span<const uint8_t> file, int32_t n) {
    return SingleImageIcon(file, ReadIconFile(file), n);
}

}  // namespace qcd
