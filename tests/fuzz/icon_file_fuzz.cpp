// Feeds arbitrary bytes to the icon and cursor reader and the one-image copies: they must never
// read past the data, and every image of a valid file must come out as a valid file of its own.
#include <cstddef>
#include <cstdint>
#include <span>

#include "readers/icon_file.h"
#include "fuzz_check.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const qcd::IconFileInfo info = qcd::ReadIconFile(bytes);
    Check(info.count >= qcd::kIconInvalid);
    Check(info.images.size() == (info.count > 0 ? static_cast<size_t>(info.count) : 0));
    if (info.count == qcd::kIconNotThisFormat) Check(size >= 2 && data[0] == 'B');

    Check(!qcd::SingleImageIcon(bytes, 0));
    Check(!qcd::SingleImageIcon(bytes, info.count + 1));
    for (int32_t n = 1; n <= info.count; ++n) {
        const auto single = qcd::SingleImageIcon(bytes, n);
        Check(single.has_value());
        const qcd::IconFileInfo alone = qcd::ReadIconFile(*single);
        Check(alone.count == 1 && alone.images[0] == info.images[static_cast<size_t>(n - 1)]);
    }
    return 0;
}
