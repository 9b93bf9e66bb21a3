// Decoding a JPEG for the preview area at a reduced size: a 12-megapixel photo shown in a box
// of about 120 x 140 pixels needs an eighth of its rows and columns, not all of them.
#pragma once

#include <wincodec.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>

#include "platform/handles.h"
#include "readers/exif_orientation.h"

namespace qcd {

struct DecodedPicture {
    win::unique_hbitmap bitmap;  // a top-down 32-bpp DIB section of width x height
    int32_t width = 0, height = 0;
    int32_t naturalWidth = 0, naturalHeight = 0;  // the picture's own size
};

// The reduction (1, 2, 4 or 8) for a w x h picture shrunk to fit a boxWidth x boxHeight box:
// the largest n whose ceil(w / n) x ceil(h / n), the size a JPEG decodes to at 1/n, still
// holds the picture's long side at the box's extent along it and its short side in proportion
// to the box's larger extent (never more than the picture's own size). That covers the
// control's fit, which stretches the short side from the box's side, as well as a proportional
// fit. 1 for sizes that are not positive.
int32_t JpegReductionFor(int32_t w, int32_t h, int32_t boxWidth, int32_t boxHeight);

// The JPEG in `file` decoded at JpegReductionFor(its size, box): the decoder scales in the DCT
// domain when it can (the platform's JPEG decoder on Windows), otherwise the full decode is
// averaged over n x n blocks, which gives nearly the same picture. Turned or mirrored as its
// Exif orientation says, its natural size then the size as shown. Nothing when the bytes are
// not a JPEG the platform decodes, or memory runs out; the caller then loads the picture
// whole. Works whether or not the calling thread has entered COM, in either apartment kind,
// and leaves it as it was.
std::optional<DecodedPicture> DecodeJpegScaled(std::span<const uint8_t> file, int32_t boxWidth,
                                               int32_t boxHeight) noexcept;
// The same, as the pixels are stored, whatever the orientation.
std::optional<DecodedPicture> DecodeStoredJpeg(std::span<const uint8_t> file, int32_t boxWidth,
                                               int32_t boxHeight) noexcept;
// A camera photo from the thumbnail in its Exif segment, read from the file's first bytes
// (`head`, which must hold the segment and the photo's frame header): when the thumbnail has
// the photo's shape and covers the box (ThumbnailServes), it is decoded and turned by the
// photo's orientation, with the photo's size (as shown) as its natural size. A 160 x 120
// thumbnail decodes in a few milliseconds whatever the photo's size. Nothing otherwise.
std::optional<DecodedPicture> DecodeJpegThumbnail(std::span<const uint8_t> head, int32_t boxWidth,
                                                  int32_t boxHeight) noexcept;

// `picture` turned or mirrored as `o` says, its sizes swapped with its sides; nothing when its
// bitmap is not the 32-bpp DIB section it claims or memory runs out.
std::optional<DecodedPicture> OrientDecoded(DecodedPicture picture, Orientation o) noexcept;

enum class WicPictureFormat : uint8_t { Png, Tiff };

// A PNG or TIFF decoded by the platform's imaging component and averaged down by the same
// reduction, its transparent parts laid over `background` (0x00BBGGRR). Nothing when the
// decoder refuses the bytes or memory runs out.
std::optional<DecodedPicture> DecodeWithAlphaScaled(std::span<const uint8_t> file,
                                                    WicPictureFormat format, int32_t boxWidth,
                                                    int32_t boxHeight, uint32_t background) noexcept;

namespace win {

// The platform's IWICBitmapSourceTransform, which mingw-w64's wincodec.h does not declare.
MIDL_INTERFACE("3B16811B-6A43-4ec9-B713-3D5A0C13B940")
WicSourceTransform : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CopyPixels(
        const WICRect* rect, UINT width, UINT height, WICPixelFormatGUID* format,
        WICBitmapTransformOptions transform, UINT stride, UINT bufferSize, BYTE* buffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT * width, UINT * height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID * format) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform,
                                                           BOOL * supported) = 0;
};
inline constexpr IID IID_WicSourceTransform = {
    0x3B16811B, 0x6A43, 0x4ec9, {0xB7, 0x13, 0x3D, 0x5A, 0x0C, 0x13, 0xB9, 0x40}};

}  // namespace win

// The step after the file is open, for any decoded frame: scaled by the frame's
// WicSourceTransform when it offers a covering size, otherwise averaged from the full frame.
std::optional<DecodedPicture> DecodeFrameScaled(IWICImagingFactory& factory,
                                                IWICBitmapSource& frame, int32_t boxWidth,
                                                int32_t boxHeight) noexcept;

}  // namespace qcd
