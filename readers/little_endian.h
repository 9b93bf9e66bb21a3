// Little-endian fields and four-character ids of the file formats the previews read. The
// caller checks that the bytes are present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qcd::le {

inline uint16_t U16(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

inline uint32_t U32(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(U16(b, at)) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}

inline bool IdAt(std::span<const uint8_t> b, size_t at, const char (&id)[5]) {
    return b[at] == static_cast<uint8_t>(id[0]) && b[at + 1] == static_cast<uint8_t>(id[1]) &&
           b[at + 2] == static_cast<uint8_t>(id[2]) && b[at + 3] == static_cast<uint8_t>(id[3]);
}

}  // namespace qcd::le
