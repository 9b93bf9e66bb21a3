#include "preview/fit_geometry.h"

#include <algorithm>
#include <cstdlib>

#include "base/checked.h"

namespace qcd {

namespace {

// The short side: the box's extent times the picture's short-to-long ratio, as a real product
// converted to 32 bits and then divided truncating toward zero. A product of whole numbers is
// whole, so the conversion's rounding never applies; only its range check does.
std::optional<int32_t> ScaledSide(int32_t boxSide, int32_t shortSide, int32_t longSide) {
    const int64_t product = static_cast<int64_t>(boxSide) * shortSide;
    if (product < INT32_MIN || product > INT32_MAX || longSide == 0) return std::nullopt;
    return static_cast<int32_t>(product / longSide);
}

}  // namespace

std::optional<FitPlacement> FitIntoBox(int32_t w, int32_t h, int32_t sw, int32_t sh) {
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return std::nullopt;
    if (sw >= w && sh >= h)
        return FitPlacement{FitBlit::Unscaled, (sw - w) / 2, (sh - h) / 2, w, h};
    if (w >= h) {
        const auto d = ScaledSide(sh, h, w);
        if (!d) return std::nullopt;
        return FitPlacement{FitBlit::Stretched, 0, (sh - *d) / 2, sw, *d};
    }
    const auto d = ScaledSide(sw, w, h);
    if (!d) return std::nullopt;
    return FitPlacement{FitBlit::Stretched, (sw - *d) / 2, 0, *d, sh};
}

std::optional<IconCellPlacement> IconCell(int32_t imageNumber, int32_t pictureWidth, int32_t sw,
                                          int32_t sh) {
    if (imageNumber < 1) return std::nullopt;
    const int32_t c = pictureWidth == 16 ? 16 : 32;
    const auto sourceX = CheckedMul<int32_t>(32, imageNumber - 1);
    const auto dx = CheckedSub(sw, c);
    const auto dy = CheckedSub(sh, c);
    if (!sourceX || !dx || !dy) return std::nullopt;
    return IconCellPlacement{*sourceX, *dx / 2, *dy / 2, c};
}

bool ThumbnailServes(int32_t w, int32_t h, int32_t tw, int32_t th, int32_t sw, int32_t sh) {
    // Only a smaller copy saves decoding the picture.
    if (tw <= 0 || th <= 0 || tw >= w || th >= h) return false;
    const auto fit = FitIntoBox(w, h, sw, sh);
    if (!fit || tw < fit->width || th < fit->height) return false;
    // |tw * h / w - th| <= 1 or |th * w / h - tw| <= 1, without dividing.
    const int64_t off = std::abs(int64_t{tw} * h - int64_t{th} * w);
    return off <= std::max(w, h);
}

}  // namespace qcd
