// The spectrum the library reports: a Hann-windowed 512-point FFT of the samples being heard,
// 256 bins per channel in decibels above a floor, so that silence stays below 40 and a full
// scale tone reaches about 110. Portable code.
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <span>

namespace vbmp3 {

inline constexpr int kFftSize = 512;
inline constexpr int kBins = kFftSize / 2;
using Bins = std::array<int32_t, kBins>;

// In-place radix-2 FFT; the size is a power of two.
void Fft(std::span<std::complex<double>> data);

// The bins of one channel of `frames` interleaved 16-bit sample frames (kFftSize of them;
// fewer are taken as silence after them). Bin k is k * rate / kFftSize Hz.
void ChannelSpectrum(std::span<const int16_t> interleaved, int channels, int channel,
                     Bins& out);

// Both channels; a mono sound gives the same bins twice.
void Spectrum(std::span<const int16_t> interleaved, int channels, Bins& left, Bins& right);

// A bin's magnitude as reported: 110 for a full-scale sine, 20 dB per decade, 0..120.
int32_t BinLevel(double magnitude);

}  // namespace vbmp3
