// What the icon preview reads from an icon or cursor file: the images of its directory with
// the size and depth their own headers give, and each image alone as a one-image file for the
// platform picture loader. Portable code; every count, size and offset is checked against the
// bytes present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qcd {

// What the icon and animated-cursor readers give in place of an image count.
inline constexpr int32_t kIconNotThisFormat = 0;  // starts with "BM": a bitmap under an icon name
inline constexpr int32_t kIconInvalid = -1;       // nothing is shown

inline constexpr size_t kIconHeaderSize = 6;
inline constexpr size_t kIconEntrySize = 16;

struct IconImageInfo {
    int32_t width = 0;
    int32_t height = 0;
    int16_t bits = 0;
    bool operator==(const IconImageInfo&) const = default;
};

// Where an image's bytes lie in its file.
struct IconImagePlace {
    size_t offset = 0;
    size_t size = 0;
};

struct IconFileInfo {
    // The image count, or kIconNotThisFormat or kIconInvalid.
    int32_t count = kIconInvalid;
    // Image n (1-based) at n - 1; `count` entries, none unless count >= 1.
    std::vector<IconImageInfo> images;
    std::vector<IconImagePlace> places;
};

// An icon or cursor image's size and depth from its own header: a bitmap header (at least 40
// bytes) gives the width at +4 for both width and height (its own height counts the mask too)
// and the bits at +14; a PNG image gives the size and depth of its IHDR. Nothing for anything
// else, nor for a bitmap whose planes are not 1, whose depth is not one a bitmap has, or whose
// colour table, colour rows and mask rows do not fit in the image's bytes.
std::optional<IconImageInfo> MeasureIconImage(std::span<const uint8_t> image);

// The header's image count (int16, at least 1), then for each directory entry its image at the
// entry's offset, which must lie wholly inside the file and be measured by MeasureIconImage;
// the images together are no larger than the file, so entries that share bytes cannot make the
// work outgrow the file.
IconFileInfo ReadIconFile(std::span<const uint8_t> file);

// Image n (1-based) of a valid icon or cursor file as a file of its own: the header with a
// count of 1, directory entry n pointing just behind itself, then that image's bytes. Nothing
// when the file is not valid or has no image n.
std::optional<std::vector<uint8_t>> SingleImageIcon(std::span<const uint8_t> file, int32_t n);
// The same from the file's info already read, without reading the whole file again.
std::optional<std::vector<uint8_t>> SingleImageIcon(std::span<const uint8_t> file,
                                                    const IconFileInfo& info, int32_t n);

}  // namespace qcd
