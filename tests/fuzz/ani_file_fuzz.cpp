// Feeds arbitrary bytes to the animated-cursor reader: it must never read past the data, and
// every step of a valid file must show one of its images for a rate the timer can take, and
// every frame must be found where the reader says it is.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "readers/ani_file.h"
#include "fuzz_check.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qcd::AniFileInfo info = qcd::ReadAniFile(std::span<const uint8_t>(data, size));
    Check(info.count >= qcd::kIconInvalid);
    if (info.count < 1) return 0;

    Check(info.images.size() == static_cast<size_t>(info.count));
    Check(info.frames.size() == info.images.size());
    // Each frame's place holds the icon file its image was read from.
    for (size_t f = 0; f < info.frames.size(); ++f) {
        const qcd::IconImagePlace& frame = info.frames[f];
        Check(frame.offset <= size && frame.size <= size - frame.offset);
        const qcd::IconFileInfo icon = qcd::ReadIconFile({data + frame.offset, frame.size});
        Check(icon.count >= 1 && icon.images.front() == info.images[f]);
    }
    Check(info.stepCount >= 1 && info.displayRate >= 1);
    Check(info.rates.empty() || info.rates.size() == static_cast<size_t>(info.stepCount));
    Check(info.sequence.empty() || info.sequence.size() == static_cast<size_t>(info.stepCount));
    // The step count is not backed by the file without a "rate" or "seq " chunk.
    const int32_t steps = std::min(info.stepCount, qcd::kAniMaxChunkSteps + 1);
    for (int32_t s = 1; s <= steps; ++s) {
        const int32_t image = info.StepImage(s);
        Check(image >= 1 && image <= info.count);
        if (s <= 64) Check(info.FirstStepShowing(image) >= 1 && info.FirstStepShowing(image) <= s);
        const int32_t ms = qcd::AniStepIntervalMs(info.StepRate(s));
        Check(ms >= 10 && ms <= qcd::kAniMaxIntervalMs);
    }
    Check(info.StepImage(0) == 0 && info.FirstStepShowing(0) == 0 &&
          info.FirstStepShowing(info.count + 1) == 0);
    return 0;
}
