// What the animated-cursor preview reads from a RIFF "ACON" file: one image per frame with
// its size, depth and place, and the steps of the animation with their rates and images.
// Portable code; every count, size and offset is checked against the bytes present.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "readers/icon_file.h"

namespace qcd {

// A "rate" or "seq " chunk's size is checked as a 16-bit product of the step count and 4.
inline constexpr int32_t kAniMaxChunkSteps = 8191;
// The step timer's interval is a signed 16-bit millisecond count.
inline constexpr int32_t kAniMaxIntervalMs = 32767;

struct AniFileInfo {
    // The image count, or kIconNotThisFormat or kIconInvalid.
    int32_t count = kIconInvalid;
    // Image n (1-based) at n - 1: the first image of frame n's embedded icon.
    std::vector<IconImageInfo> images;
    // Frame n's embedded icon or cursor file within the file, at n - 1.
    std::vector<IconImagePlace> frames;
    int32_t stepCount = 0;
    // The header's rate, for every step when there is no "rate" chunk.
    int32_t displayRate = 0;
    // One per step when the file has the chunk, else empty; the sequence holds 0-based images.
    std::vector<int32_t> rates;
    std::vector<int32_t> sequence;

    // Display time of step s (1-based) in the file's rate unit; 0 outside 1..stepCount.
    int32_t StepRate(int32_t step) const;
    // The 1-based image shown at step s (1-based); 0 outside 1..stepCount. Without a
    // sequence the images repeat in order.
    int32_t StepImage(int32_t step) const;
    // The first 1-based step that shows image n, or 0 when no step does.
    int32_t FirstStepShowing(int32_t image) const;
};

// Valid: "RIFF" at 0 and "ACON" at 8; the header located by the size of a leading "LIST",
// else by the first 24 00 00 00 24 from offset 12; frame count, step count and display rate
// at least 1; "rate" and "seq " chunks of exactly 4 bytes a step with at most 8191 steps;
// frame-count "icon" chunks in a "fram" list, each a valid icon or cursor file; every
// sequence entry one of the images.
AniFileInfo ReadAniFile(std::span<const uint8_t> file);

// The step timer's interval for a step of `rate` units, 10 ms each: a rate below 1 counts as
// 1, and an interval beyond the timer's range is kAniMaxIntervalMs.
int32_t AniStepIntervalMs(int32_t rate);

}  // namespace qcd
