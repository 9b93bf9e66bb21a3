// Feeds arbitrary bytes to the property-stream reader: it must refuse or accept, never read
// past the data, and whatever it accepts must load into a property set.
#include <cstddef>
#include <cstdint>
#include <span>

#include "control/property_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    const int64_t payload = qcd::PropertyStreamReader::PayloadSize(bytes);
    if (payload >= 0 && static_cast<uint64_t>(payload) <= size - qcd::kStreamHeaderSize) {
        qcd::PropertyStreamReader reader;
        if (reader.Parse(bytes.subspan(qcd::kStreamHeaderSize, static_cast<size_t>(payload)))) {
            qcd::Properties props;
            qcd::ReadProperties(props, reader);
        }
    }
    return 0;
}
