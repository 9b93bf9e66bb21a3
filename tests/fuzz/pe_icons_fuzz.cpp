// Feeds arbitrary bytes to the program icon reader: it must never read past the data, every
// icon it gives must lie in the file and measure as it says, and together they are no larger
// than the file.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "readers/pe_icons.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const qcd::PeIconsInfo info = qcd::ReadPeIcons(bytes);
    Check(info.count >= qcd::kPeNotAProgram);
    Check(info.icons.size() == (info.count > 0 ? static_cast<size_t>(info.count) : 0));
    if (info.count != qcd::kPeNotAProgram) Check(size >= 64 && data[0] == 'M' && data[1] == 'Z');

    size_t total = 0;
    for (const qcd::PeIcon& icon : info.icons) {
        Check(icon.place.offset <= size && icon.place.size <= size - icon.place.offset);
        const auto measured =
            qcd::MeasureIconImage(bytes.subspan(icon.place.offset, icon.place.size));
        Check(measured && *measured == icon.image);
        total += icon.place.size;
        Check(total <= size);
    }
    return 0;
}
