// The segments of a JPEG before its scan, walked by their length fields. Portable code; every
// read is checked against the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qcd {

// Calls `visit(marker, offset, body)` for each segment from the start marker up to the scan:
// its marker, where its body (the bytes after the length field) starts in the file, and the
// body. `visit` returns true to stop there. Ends quietly at the scan, the end, bytes that are
// not a marker, or a segment running past the bytes.
template <typename Visit>
void WalkJpegSegments(std::span<const uint8_t> jpeg, Visit&& visit) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return;
    size_t at = 2;
    while (jpeg.size() - at >= 4 && jpeg[at] == 0xFF) {
        const uint8_t marker = jpeg[at + 1];
        if (marker == 0xFF) {  // a fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return;
        const size_t length = static_cast<size_t>(jpeg[at + 2] << 8 | jpeg[at + 3]);
        if (length < 2 || length > jpeg.size() - at - 2) return;
        if (visit(marker, at + 4, jpeg.subspan(at + 4, length - 2))) return;
        at += 2 + length;
    }
}

}  // namespace qcd
