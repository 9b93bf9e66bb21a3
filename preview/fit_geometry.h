// Where a picture goes in the preview area: the fit-into-box rule shared by the picture
// previews and the slideshow, and the centred cell of an icon strip. Portable code.
#pragma once

#include <cstdint>
#include <optional>

namespace qcd {

enum class FitBlit : uint8_t { Unscaled, Stretched };

// The whole source is drawn into (x, y, width, height) of the box.
struct FitPlacement {
    FitBlit blit;
    int32_t x, y, width, height;
    bool operator==(const FitPlacement&) const = default;
};

// A w x h picture in an sw x sh box: centred and unscaled when it fits, otherwise stretched
// over the box along its long side, its short side scaled from the box's extent on that same
// side (so the proportions hold only in a square box). Nothing when the picture or the box
// has no area or 32-bit arithmetic overflows.
std::optional<FitPlacement> FitIntoBox(int32_t w, int32_t h, int32_t sw, int32_t sh);

// Whether a tw x th thumbnail can be shown for a w x h picture (both as shown) in an sw x sh
// box: it has the picture's proportions, its height within one pixel of the picture's scaled
// to its width (or its width of the width scaled to its height), and it is at least as large
// as what FitIntoBox shows of the picture, and smaller than the picture. A stale thumbnail of another shape, or one too
// small for the box, is not.
bool ThumbnailServes(int32_t w, int32_t h, int32_t tw, int32_t th, int32_t sw, int32_t sh);

// A c x c block from (sourceX, 0) of the icon strip, copied to (x, y) of the sw x sh box.
struct IconCellPlacement {
    int32_t sourceX;
    int32_t x, y;
    int32_t size;
    bool operator==(const IconCellPlacement&) const = default;
};

// Image n (1-based) of the strip, one cell every 32 pixels; the cell is 16 pixels for a
// 16-wide image, else 32 (larger images show their 32 x 32 cell). Nothing for n < 1 or on
// overflow.
std::optional<IconCellPlacement> IconCell(int32_t imageNumber, int32_t pictureWidth, int32_t sw,
                                          int32_t sh);

}  // namespace qcd
