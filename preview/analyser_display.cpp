#include "preview/analyser_display.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qcd {

namespace {

// Jumps up to `v`, else falls by `fall` but not below 0 or `v`.
int32_t Decay(int32_t current, int32_t v, int32_t fall) {
    if (current < v) return v;
    current = current >= fall ? current - fall : 0;  // current >= 0: no overflow
    return std::max(current, v);
}

// num / den (den > 0) rounded to the nearest integer, halves to even: the same as the
// rounding of the quotient in double (a quotient that is no half lies at least 1 / (2 den)
// from one), without the floating-point rounding call that is slow on this platform.
int64_t RoundDiv(int64_t num, int64_t den) {
    int64_t q = num / den, r = num % den;
    if (r < 0) --q, r += den;  // floor
    if (2 * r > den || (2 * r == den && (q & 1))) ++q;
    return q;
}

}  // namespace

int64_t RoundEven(double x) {
    // Beyond 2^53 every double is whole; nearbyint rounds halves to even in the default mode.
    constexpr double kLimit = 9.0e18;
    return static_cast<int64_t>(std::nearbyint(std::clamp(x, -kLimit, kLimit)));
}

uint32_t BarPixel(int64_t y, int32_t sh) {
    const int64_t g = std::clamp<int64_t>(2 * RoundDiv(255 * y, sh) - 255, 0, 255);
    return static_cast<uint32_t>(g) << 8 | 0xFF;
}

void SpectrumDisplay::Update(const SpectrumBins& a, const SpectrumBins& b, int32_t sh) {
    if (sh <= 0) return;
    for (size_t x = 0; x < level_.size(); ++x) {
        const int32_t s = std::max(a[x], b[x]);
        // In double and saturated: a wild bin must neither overflow nor wrap.
        const double scaled = static_cast<double>(sh) / 70.0 * (static_cast<double>(s) - 40.0);
        const int32_t v = static_cast<int32_t>(std::clamp<int64_t>(
            RoundEven(scaled), std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
        level_[x] = Decay(level_[x], v, 100);
        peak_[x] = Decay(peak_[x], level_[x], 30);
    }
}

void SpectrumDisplay::Draw(PixelView out, int32_t sh) const {
    if (sh <= 0 || !out.pixels || out.width <= 0 || out.height <= 0) return;
    const int columns = std::min(out.width, kSpectrumBins);
    auto put = [&](int x, int64_t row, uint32_t colour) {
        if (row >= 0 && row < out.height)
            out.pixels[static_cast<size_t>(row) * static_cast<size_t>(out.stride) + static_cast<size_t>(x)] = colour;
    };
    for (int x = 0; x < columns; ++x) {
        const size_t i = static_cast<size_t>(x);
        // Whole numbers of twips already: nothing to round.
        const int64_t yTop = static_cast<int64_t>(sh) - level_[i] - 10;
        const int64_t yPeak = static_cast<int64_t>(sh) - peak_[i] - 10;
        // Rows round(y / 15) below 0 are off the picture: y >= -7.5 is the last visible step.
        const int64_t yEnd = std::max<int64_t>(yTop, -7);
        for (int64_t y = static_cast<int64_t>(sh) - 10; y >= yEnd; y -= 15)
            put(x, RoundDiv(y, 15), BarPixel(y, sh));
        put(x, RoundDiv(yPeak, 15), kPeakPixel);
    }
}

}  // namespace qcd
