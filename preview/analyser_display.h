// The spectrum analyser behind a playing sound: each bin's bar jumps up at once and falls by
// at most 100 twips a tick, its peak mark by 30; bars shade from cyan at the bottom to blue
// at half height. Drawn straight into the pixels of a 32-bit top-down bitmap. Portable code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qcd {

inline constexpr int kSpectrumBins = 256;
using SpectrumBins = std::array<int32_t, kSpectrumBins>;

// 32-bit pixels 0x00RRGGBB, row 0 at the top, `stride` pixels from one row to the next.
struct PixelView {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0, stride = 0;
};

inline constexpr uint32_t kPeakPixel = 0xFFFFFF;
// The bar's colour at `y` twips from the top of a picture `sh` twips high: red 0, blue 255,
// green 2 * round(255 * y / sh) - 255 clamped to 0..255.
uint32_t BarPixel(int64_t y, int32_t sh);

class SpectrumDisplay {
  public:
    // Levels and peaks of one tick from the larger of each bin's two values, for a picture
    // `sh` twips (15 to the pixel) high. Nothing changes when sh <= 0.
    void Update(const SpectrumBins& a, const SpectrumBins& b, int32_t sh);
    // Draws the bars and peaks of the levels as they stand onto `out` (cleared by the caller),
    // whose height in twips is `sh`; columns past the width are left out. Starts each bar at
    // its first visible row, so a bar reaching far above the top costs no more than a full one.
    void Draw(PixelView out, int32_t sh) const;

    int32_t Level(int bin) const { return level_[static_cast<size_t>(bin)]; }
    int32_t Peak(int bin) const { return peak_[static_cast<size_t>(bin)]; }

  private:
    // In twips; they carry over from one sound to the next and decay.
    std::array<int32_t, kSpectrumBins> level_{};
    std::array<int32_t, kSpectrumBins> peak_{};
};

// Round half to even, as the display's arithmetic rounds.
int64_t RoundEven(double x);

}  // namespace qcd
