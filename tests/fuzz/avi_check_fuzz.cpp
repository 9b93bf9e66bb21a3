// Feeds arbitrary bytes to the video check: it must never read past the data nor take longer
// than a walk over it (libFuzzer's timeout), and a file it passes must not pass once its RIFF
// chunk is cut short by a byte, yet must pass with a byte more behind it. Each input is also
// tried with the RIFF's size set to the bytes given, so mutations reach the chunks behind it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_check.h"
#include "readers/avi_check.h"
#include "readers/little_endian.h"

namespace {

void CheckPromises(std::span<const uint8_t> bytes) {
    if (!qcd::IsPlayableAvi(bytes)) return;
    const uint64_t riffEnd = 8 + uint64_t{qcd::le::U32(bytes, 4)};
    Check(riffEnd <= bytes.size());
    Check(!qcd::IsPlayableAvi(bytes.first(riffEnd - 1)));
    std::vector<uint8_t> longer(bytes.begin(), bytes.end());
    longer.push_back(0);
    Check(qcd::IsPlayableAvi(longer));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    CheckPromises(bytes);
    if (size >= 12) {
        std::vector<uint8_t> fitted(data, data + size);
        const auto riff = static_cast<uint32_t>(size - 8);
        for (int i = 0; i < 4; ++i) fitted[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
        CheckPromises(fitted);
    }
    return 0;
}
