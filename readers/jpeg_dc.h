// A JPEG decoded at 1/8 of its size from the DC terms alone: an 8 x 8 block's DC coefficient
// is eight times its mean, so no inverse transform is needed, only the entropy decoding (and
// for a progressive file only its DC scans). For previews far smaller than the photo, where
// the platform's decoder takes many times longer to decode the whole picture.
// Portable code; every read is checked against the bytes given.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qcd {

struct JpegDcImage {
    int32_t width = 0, height = 0;                // ceil(natural / 8)
    int32_t naturalWidth = 0, naturalHeight = 0;  // the picture's own size
    int32_t components = 0;                       // 1 grey, 3 colour
    // Top-down rows of width 32-bit pixels, bytes B, G, R, 0xFF: the layout of a top-down
    // 32-bpp DIB section, so one copy of width * height * 4 bytes fills it.
    std::vector<uint8_t> pixels;
};

// The frame header's facts, read without decoding: enough to decide whether 1/8 of the picture
// still fills the preview before calling DecodeJpegDc.
struct JpegDcFrame {
    int32_t naturalWidth = 0, naturalHeight = 0;
    int32_t components = 0;
};

// The frame header of a file whose frame kind DecodeJpegDc takes (8-bit Huffman sequential or
// progressive, 1 or 3 components, known height); nothing otherwise. DecodeJpegDc may still
// fail on the rest of the file.
std::optional<JpegDcFrame> ReadJpegDcFrame(std::span<const uint8_t> file) noexcept;

// The picture at 1/8 scale: pixel (x, y) is the block at (x, y) of every component, or of a
// subsampled component the block covering it, each clamp(round(DC / 8) + 128), converted from
// YCbCr as JFIF defines (RGB as it stands when an Adobe segment says so). A file whose coded
// data stops early (cut short, or a marker where data should be) gives the blocks it reached
// and grey for the rest, as the full decoders show it. Nothing for a file that is malformed
// before that, claims more blocks than its bytes can hold, or is of a kind not taken
// (arithmetic coding, 12-bit or lossless frames, 2 or 4 components, a height given only after
// the scan): the caller then decodes it the full way. A progressive file stops being read once
// its DC terms are complete.
std::optional<JpegDcImage> DecodeJpegDc(std::span<const uint8_t> file) noexcept;

}  // namespace qcd
