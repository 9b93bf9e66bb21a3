// Feeds arbitrary bytes to the 1/8-scale JPEG decoder: it must never read past the data, and
// what it returns must agree with the frame header and with its own layout.
#include <cstddef>
#include <cstdint>
#include <span>

#include "readers/jpeg_dc.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const auto frame = qcd::ReadJpegDcFrame(bytes);
    const auto image = qcd::DecodeJpegDc(bytes);
    if (!image) return 0;
    // Whatever decodes has a frame header that reads on its own.
    Check(frame.has_value());
    Check(frame->naturalWidth == image->naturalWidth &&
          frame->naturalHeight == image->naturalHeight && frame->components == image->components);
    Check(image->components == 1 || image->components == 3);
    Check(image->naturalWidth > 0 && image->naturalHeight > 0);
    Check(image->width == (image->naturalWidth + 7) / 8 &&
          image->height == (image->naturalHeight + 7) / 8);
    Check(image->pixels.size() == static_cast<size_t>(image->width) * image->height * 4);
    for (size_t i = 0; i < image->pixels.size(); i += 4) {
        Check(image->pixels[i + 3] == 0xFF);
        if (image->components == 1)
            Check(image->pixels[i] == image->pixels[i + 1] &&
                  image->pixels[i] == image->pixels[i + 2]);
    }
    return 0;
}
