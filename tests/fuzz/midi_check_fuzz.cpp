// Feeds arbitrary bytes to the MIDI check: it must never read past the data nor take longer
// than a pass over it (libFuzzer's timeout), and a file it passes must pass with a byte more behind
// the tracks it counts. Each input is also tried with its first track's length set to the
// bytes given, so mutations reach the events.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_check.h"
#include "readers/midi_check.h"

namespace {

void CheckPromises(std::span<const uint8_t> bytes) {
    if (!qcd::IsPlayableMidi(bytes) || bytes.size() >= qcd::kMaxMidiSize) return;
    std::vector<uint8_t> longer(bytes.begin(), bytes.end());
    longer.push_back(0xFF);
    Check(qcd::IsPlayableMidi(longer));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    CheckPromises(bytes);
    // The first track behind a header of six bytes.
    if (size >= 22) {
        std::vector<uint8_t> fitted(data, data + size);
        const auto track = static_cast<uint32_t>(size - 22);
        for (int i = 0; i < 4; ++i) fitted[18 + i] = static_cast<uint8_t>(track >> (24 - 8 * i));
        CheckPromises(fitted);
    }
    return 0;
}
