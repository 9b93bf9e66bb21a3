// Byte form of the property set for IPersistStreamInit and IPersistStorage: the same keys,
// order and default-skipping as the property bag, so all three persistence paths agree.
//
//   "QCDP"  u16 version (1)  u32 payload size
//   payload: entries of  u16 name length, name (UTF-16LE), u8 kind, value
//   value:   string u32 length + UTF-16LE | int32 LE | int16 LE (also booleans)
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "base/properties.h"

namespace qcd {

inline constexpr size_t kStreamHeaderSize = 10;
// Bounds what a stream may ask us to allocate: far above any real property set.
inline constexpr uint32_t kMaxStreamPayload = 16u << 20;

class PropertyStreamWriter final : public PropertySink {
public:
    int32_t Write(const PropertyInfo& info, const PropertyValue& value) override;
    // Header plus payload.
    std::vector<uint8_t> Finish() const;

private:
    std::vector<uint8_t> payload_;
};

// Parses a payload fully before anything is applied; unknown keys are skipped so that a
// later version's extra properties do not stop an older control from loading.
class PropertyStreamReader final : public PropertySource {
public:
    // Returns the payload size announced by a header, or -1 if the header is not ours.
    static int64_t PayloadSize(std::span<const uint8_t> header);
    // False when the payload is malformed.
    bool Parse(std::span<const uint8_t> payload);
    int32_t Read(const PropertyInfo& info, std::optional<PropertyValue>& value) override;

private:
    std::map<std::u16string, PropertyValue, std::less<>> entries_;
};

}  // namespace qcd
