// Feeds arbitrary bytes to the metafile check: it must never read past the data nor take longer
// than a pass over it (libFuzzer's timeout), and a file it passes must not pass once cut short
// by a byte. Each input is also tried with its header's file size set to the bytes given, so
// mutations reach the records behind it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_check.h"
#include "readers/metafile_check.h"
#include "readers/picture_headers.h"

namespace {

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void CheckPromises(std::span<const uint8_t> bytes) {
    const bool wmf = qcd::IsSafeWmf(bytes);
    const bool emf = qcd::IsSafeEmf(bytes);
    Check(!(wmf && emf));
    // The preview makes plain metafiles placeable, in a box of its own size, before loading
    // them: in a box as large as the largest preview they are the same picture.
    if (!qcd::IsPlaceableMetafile(bytes)) {
        const auto placeable = qcd::MakePlaceableCopy(bytes, 2048, 2048);
        Check(placeable && qcd::IsSafeWmf(*placeable) == wmf);
    }
    if (!wmf && !emf) return;
    const auto shorter = bytes.first(bytes.size() - 1);
    Check(!qcd::IsSafeWmf(shorter) && !qcd::IsSafeEmf(shorter));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    CheckPromises(bytes);

    if (size >= 52) {
        std::vector<uint8_t> emf(data, data + size);
        Put32(emf, 48, static_cast<uint32_t>(size));
        CheckPromises(emf);
    }
    const size_t at = qcd::IsPlaceableMetafile(bytes) ? qcd::kPlaceableHeaderSize : 0;
    if (size >= at + 10) {
        std::vector<uint8_t> wmf(data, data + size);
        Put32(wmf, at + 6, static_cast<uint32_t>((size - at) / 2));
        CheckPromises(wmf);
    }
    return 0;
}
