#include "readers/exif_orientation.h"

#include <cstring>
#include <optional>

#include "readers/jpeg_segments.h"

namespace qcd {

namespace {

uint32_t Be16(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(b[at] << 8 | b[at + 1]);
}

// The TIFF structure inside an Exif segment, read in its own byte order.
class Tiff {
  public:
    explicit Tiff(std::span<const uint8_t> bytes) : bytes_(bytes) {
        if (bytes.size() < 8) return;
        big_ = bytes[0] == 'M' && bytes[1] == 'M';
        valid_ = (big_ || (bytes[0] == 'I' && bytes[1] == 'I')) && U16(2) == 42;
    }
    bool Valid() const { return valid_; }
    // Callers check that at + 2 (at + 4) lies inside.
    uint32_t U16(size_t at) const {
        return big_ ? Be16(bytes_, at) : static_cast<uint32_t>(bytes_[at] | bytes_[at + 1] << 8);
    }
    uint32_t U32(size_t at) const { return big_ ? U16(at) << 16 | U16(at + 2) : U16(at) | U16(at + 2) << 16; }

    // The 12-byte entries of the directory at `offset`, with the offset of the next one after
    // them; nothing when the directory does not lie whole inside.
    struct Directory {
        size_t entries, count, next;
    };
    std::optional<Directory> DirectoryAt(size_t offset) const {
        if (offset < 8 || offset > bytes_.size() || bytes_.size() - offset < 2) return std::nullopt;
        const size_t count = U16(offset);
        if ((bytes_.size() - offset - 2) / 12 < count) return std::nullopt;
        const size_t end = offset + 2 + 12 * count;
        const size_t next = bytes_.size() - end >= 4 ? U32(end) : 0;
        return Directory{offset + 2, count, next};
    }
    // The value of a one-valued SHORT tag of the directory (or LONG, when `orLong`); nothing
    // without it or in another type.
    std::optional<uint32_t> Value(const Directory& d, uint32_t tag, bool orLong) const {
        for (size_t i = 0; i < d.count; ++i) {
            const size_t entry = d.entries + 12 * i;
            if (U16(entry) != tag) continue;
            if (U32(entry + 4) != 1) return std::nullopt;
            const uint32_t type = U16(entry + 2);
            if (type == 3) return U16(entry + 8);
            if (type == 4 && orLong) return U32(entry + 8);
            return std::nullopt;
        }
        return std::nullopt;
    }
    size_t Size() const { return bytes_.size(); }

  private:
    std::span<const uint8_t> bytes_;
    bool big_ = false, valid_ = false;
};

// The TIFF structure of the first Exif segment before the picture's data, and where it starts
// in the file.
struct ExifTiff {
    size_t offset;
    std::span<const uint8_t> bytes;
};
std::optional<ExifTiff> FindExif(std::span<const uint8_t> jpeg) {
    std::optional<ExifTiff> found;
    WalkJpegSegments(jpeg, [&](uint8_t marker, size_t offset, std::span<const uint8_t> body) {
        constexpr uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
        if (marker != 0xE1 || body.size() < sizeof kExif || std::memcmp(body.data(), kExif, sizeof kExif) != 0)
            return false;
        found = ExifTiff{offset + sizeof kExif, body.subspan(sizeof kExif)};
        return true;
    });
    return found;
}

}  // namespace

Orientation ReadExifOrientation(std::span<const uint8_t> jpeg) {
    const auto exif = FindExif(jpeg);
    if (!exif) return 1;
    const Tiff tiff(exif->bytes);
    if (!tiff.Valid()) return 1;
    const auto first = tiff.DirectoryAt(tiff.U32(4));
    if (!first) return 1;
    const auto value = tiff.Value(*first, 0x0112, false);
    return value && *value >= 1 && *value <= 8 ? static_cast<Orientation>(*value) : 1;
}

std::optional<ByteRange> ReadExifThumbnail(std::span<const uint8_t> jpeg) {
    const auto exif = FindExif(jpeg);
    if (!exif) return std::nullopt;
    const Tiff tiff(exif->bytes);
    if (!tiff.Valid()) return std::nullopt;
    const auto first = tiff.DirectoryAt(tiff.U32(4));
    if (!first || first->next == 0) return std::nullopt;
    const auto second = tiff.DirectoryAt(first->next);
    if (!second) return std::nullopt;
    const auto offset = tiff.Value(*second, 0x0201, true), size = tiff.Value(*second, 0x0202, true);
    if (!offset || !size || *offset > tiff.Size() || *size > tiff.Size() - *offset || *size < 4)
        return std::nullopt;
    const auto thumbnail = exif->bytes.subspan(*offset, *size);
    if (thumbnail[0] != 0xFF || thumbnail[1] != 0xD8) return std::nullopt;
    return ByteRange{exif->offset + *offset, *size};
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
