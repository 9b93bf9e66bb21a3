#include "vbmp3/frequency_bands.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace vbmp3 {

namespace {

const std::array<double, kFftSize>& HannWindow() {
    static const std::array<double, kFftSize> window = [] {
        std::array<double, kFftSize> w{};
        for (int i = 0; i < kFftSize; ++i)
            w[static_cast<size_t>(i)] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / kFftSize);
        return w;
    }();
    return window;
}

}  // namespace

void Fft(std::span<std::complex<double>> a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2 * std::numbers::pi / static_cast<double>(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

int32_t BinLevel(double magnitude) {
    // A full-scale sine of amplitude 32768 puts 32768 * N / 4 into its bin through the Hann
    // window (coherent gain one half, half the energy in the mirrored bin).
    constexpr double kFullScale = 32768.0 * kFftSize / 4;
    if (!(magnitude > 0)) return 0;
    const double level = 110 + 20 * std::log10(magnitude / kFullScale);
    return static_cast<int32_t>(std::clamp(std::lround(level), 0L, 120L));
}

void ChannelSpectrum(std::span<const int16_t> interleaved, int channels, int channel,
                     Bins& out) {
    std::array<std::complex<double>, kFftSize> data{};
    const auto& window = HannWindow();
    const size_t frames = channels > 0 ? interleaved.size() / static_cast<size_t>(channels) : 0;
    for (size_t i = 0; i < static_cast<size_t>(kFftSize) && i < frames; ++i)
        data[i] = interleaved[i * static_cast<size_t>(channels) + static_cast<size_t>(channel)] *
                  window[i];
    Fft(data);
    for (size_t k = 0; k < out.size(); ++k) out[k] = BinLevel(std::abs(data[k]));
}

void Spectrum(std::span<const int16_t> interleaved, int channels, Bins& left, Bins& right) {
    ChannelSpectrum(interleaved, channels, 0, left);
    if (channels >= 2)
        ChannelSpectrum(interleaved, channels, 1, right);
    else
        right = left;
}

}  // namespace vbmp3
