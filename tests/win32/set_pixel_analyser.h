// The spectrum as the sound preview once drew it, one SetPixel per point: the picture its
// pixel renderer must give (sound_kind_test.cpp) and the cost it saves (the benchmark).
#pragma once

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "preview/analyser_display.h"

namespace qcd::test {

// Follows the display's arithmetic step by step with nothing skipped.
class SetPixelSpectrum {
  public:
    void Tick(HDC dc, const SpectrumBins& a, const SpectrumBins& b, int height) {
        const double sh = height * 15.0;
        for (size_t x = 0; x < 256; ++x) {
            const int32_t s = std::max(a[x], b[x]);
            const double scaled = std::nearbyint(sh / 70 * (s - 40.0));
            const int32_t v = static_cast<int32_t>(std::clamp<double>(
                scaled, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
            if (level_[x] < v) {
                level_[x] = v;
            } else {
                level_[x] = std::max(level_[x] - 100, 0);
                if (level_[x] < v) level_[x] = v;
            }
            if (peak_[x] < level_[x]) {
                peak_[x] = level_[x];
            } else {
                peak_[x] = std::max(peak_[x] - 30, 0);
                if (peak_[x] < level_[x]) peak_[x] = level_[x];
            }
            const double yTop = std::nearbyint(sh - level_[x] - 10);
            const double yPeak = std::nearbyint(sh - peak_[x] - 10);
            for (double y = std::nearbyint(sh - 10); y >= yTop; y -= 15) {
                const double g = std::clamp(2 * std::nearbyint(255 * y / sh) - 255, 0.0, 255.0);
                SetPixel(dc, static_cast<int>(x), static_cast<int>(std::nearbyint(y / 15)),
                         RGB(0, static_cast<int>(g), 255));
            }
            SetPixel(dc, static_cast<int>(x), static_cast<int>(std::nearbyint(yPeak / 15)),
                     RGB(255, 255, 255));
        }
    }

  private:
    int32_t level_[256] = {};
    int32_t peak_[256] = {};
};

}  // namespace qcd::test
