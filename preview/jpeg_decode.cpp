#include "preview/jpeg_decode.h"

#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/com_ptr.h"
#include "readers/exif_orientation.h"
#include "readers/jpeg_dc.h"
#include "readers/picture_headers.h"
#include "preview/fit_geometry.h"
#include "preview/picture_loader.h"

namespace qcd {

namespace {

// COM for the length of a decode. A thread already in the multithreaded apartment says
// RPC_E_CHANGED_MODE: it can use the imaging component as it is, and must not be left.
class ComApartment {
  public:
    ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }

  private:
    HRESULT hr_;
};

int64_t CeilDiv(int64_t a, int64_t b) {
    return (a + b - 1) / b;
}

DecodedPicture Finish(TopDownDib dib, int32_t width, int32_t height, UINT naturalWidth,
                      UINT naturalHeight) {
    return DecodedPicture{std::move(dib.bitmap), width, height, static_cast<int32_t>(naturalWidth),
                          static_cast<int32_t>(naturalHeight)};
}

bool IsBgr32(const WICPixelFormatGUID& format) {
    return format == GUID_WICPixelFormat32bppBGR || format == GUID_WICPixelFormat32bppBGRA;
}

// Any source into width x height 32-bpp BGR pixels at `bits`.
bool CopyAsBgr32(IWICImagingFactory& factory, IWICBitmapSource& source, UINT width, UINT height,
                 uint8_t* bits) {
    win::com_ptr<IWICFormatConverter> converter;
    if (FAILED(factory.CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(&source, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                     nullptr, 0, WICBitmapPaletteTypeCustom)))
        return false;
    return SUCCEEDED(converter->CopyPixels(nullptr, width * 4, width * 4 * height, bits));
}

// The decoder's own scaling (the JPEG decoder on Windows scales by 1/2, 1/4 and 1/8 in the
// DCT domain): the smallest of its sizes, tried from 1/reduction up, that still holds the
// picture at 1/reduction. Nothing when it has none, or the copy fails.
std::optional<DecodedPicture> ScaleInDecoder(IWICImagingFactory& factory,
                                             win::WicSourceTransform& transform, UINT width,
                                             UINT height, int32_t reduction) {
    const auto needWidth = static_cast<UINT>(CeilDiv(width, reduction));
    const auto needHeight = static_cast<UINT>(CeilDiv(height, reduction));
    for (int32_t n = reduction; n >= 2; n /= 2) {
        UINT w = static_cast<UINT>(CeilDiv(width, n));
        UINT h = static_cast<UINT>(CeilDiv(height, n));
        if (FAILED(transform.GetClosestSize(&w, &h))) return std::nullopt;
        // "Closest" may round either way: only a smaller size that still covers will do.
        if (w < needWidth || h < needHeight || w > width || h > height ||
            (w == width && h == height))
            continue;
        auto dib = CreateTopDownDib(static_cast<int32_t>(w), static_cast<int32_t>(h));
        if (!dib) return std::nullopt;
        WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
        if (FAILED(transform.GetClosestPixelFormat(&format))) return std::nullopt;
        if (IsBgr32(format)) {
            if (FAILED(transform.CopyPixels(nullptr, w, h, &format, WICBitmapTransformRotate0,
                                            w * 4, w * 4 * h, dib->bits)) ||
                !IsBgr32(format))
                return std::nullopt;
            return Finish(std::move(*dib), static_cast<int32_t>(w), static_cast<int32_t>(h), width,
                          height);
        }
        // Grey, CMYK or 24-bpp: decoded into a bitmap of that format, then converted.
        win::com_ptr<IWICBitmap> scaled;
        if (FAILED(factory.CreateBitmap(w, h, format, WICBitmapCacheOnLoad, scaled.put())))
            return std::nullopt;
        {
            const WICRect all{0, 0, static_cast<INT>(w), static_cast<INT>(h)};
            win::com_ptr<IWICBitmapLock> lock;
            UINT stride = 0, size = 0;
            BYTE* data = nullptr;
            const WICPixelFormatGUID asked = format;
            if (FAILED(scaled->Lock(&all, WICBitmapLockWrite, lock.put())) ||
                FAILED(lock->GetStride(&stride)) || FAILED(lock->GetDataPointer(&size, &data)) ||
                FAILED(transform.CopyPixels(nullptr, w, h, &format, WICBitmapTransformRotate0,
                                            stride, size, data)) ||
                format != asked)
                return std::nullopt;
        }
        if (!CopyAsBgr32(factory, *scaled.get(), w, h, dib->bits)) return std::nullopt;
        return Finish(std::move(*dib), static_cast<int32_t>(w), static_cast<int32_t>(h), width,
                      height);
    }
    return std::nullopt;
}

// Adds one row of `width` pixels (Bytes per pixel: 1 grey, 3 BGR, 4 BGRX) into the running
// sums of its n-pixel blocks, three per block. Kept apart from the COM calls: on x86, a loop
// inside a function that also calls through interfaces spills its pointer and runs four times
// slower (measured under Wine).
template <int Bytes>
__attribute__((noinline)) void AddRow(const uint8_t* p, UINT width, UINT n, uint32_t* sums) {
    for (UINT x0 = 0; x0 < width; x0 += n, sums += 3) {
        const UINT cols = std::min(n, width - x0);
        uint32_t b = 0, g = 0, r = 0;
        for (UINT k = 0; k < cols; ++k, p += Bytes) {
            b += p[0];
            if constexpr (Bytes >= 3) {
                g += p[1];
                r += p[2];
            }
        }
        sums[0] += b;
        sums[1] += g;
        sums[2] += r;
    }
}

// Averages n x n blocks of `source` into the ceil(width / n) x ceil(height / n) 32-bpp pixels
// at `out`; edge blocks average what they hold. This is what a JPEG decoder's 1/n scaling
// computes: an 8 x 8 block's DC term is its mean.
// Premultiplied BGRA pixels over an opaque background colour (B, G, R), in place.
__attribute__((noinline)) void OverBackground(uint8_t* p, UINT width, const uint8_t* under) {
    for (UINT x = 0; x < width; ++x, p += 4) {
        const uint32_t clear = 255u - p[3];
        for (int c = 0; c < 3; ++c)
            p[c] = static_cast<uint8_t>(std::min(255u, p[c] + (under[c] * clear + 127) / 255));
        p[3] = 0xFF;
    }
}

// With `under` (premultiplied 32-bpp BGRA rows only), each row is first laid over it.
template <int Bytes>
bool AverageBlocks(IWICBitmapSource& source, UINT width, UINT height, UINT n, uint8_t* out,
                   const uint8_t* under = nullptr) {
    const UINT outWidth = static_cast<UINT>(CeilDiv(width, n));
    const UINT stride = width * Bytes;
    // Each read costs the decoder a fixed part (a TIFF strip decoded again, a conversion set
    // up): several blocks' rows are read at once, up to 64 rows or 4 MiB.
    constexpr size_t kMostBytesARead = 4 << 20;
    const UINT blocksARead = static_cast<UINT>(std::clamp<size_t>(
        std::min<size_t>(64 / n, kMostBytesARead / (static_cast<size_t>(stride) * n)), 1, 64));
    const UINT rowsARead = n * blocksARead;
    std::vector<uint8_t> strip(static_cast<size_t>(stride) * rowsARead);
    std::vector<uint32_t> sums(static_cast<size_t>(outWidth) * 3);
    UINT readFrom = 0, readRows = 0;
    for (UINT y0 = 0; y0 < height; y0 += n) {
        const UINT rows = std::min(n, height - y0);
        if (y0 >= readFrom + readRows) {
            readFrom = y0;
            readRows = std::min(rowsARead, height - y0);
            const WICRect rect{0, static_cast<INT>(readFrom), static_cast<INT>(width),
                               static_cast<INT>(readRows)};
            if (FAILED(source.CopyPixels(&rect, stride, stride * readRows, strip.data())))
                return false;
        }
        std::fill(sums.begin(), sums.end(), 0);
        for (UINT r = 0; r < rows; ++r) {
            uint8_t* row = strip.data() + static_cast<size_t>(y0 - readFrom + r) * stride;
            if constexpr (Bytes == 4)
                if (under) OverBackground(row, width, under);
            AddRow<Bytes>(row, width, n, sums.data());
        }
        uint8_t* d = out + static_cast<size_t>(y0 / n) * outWidth * 4;
        const uint32_t* s = sums.data();
        for (UINT x0 = 0; x0 < width; x0 += n, s += 3, d += 4) {
            const uint32_t count = rows * std::min(n, width - x0);
            const auto mean = [count](uint32_t sum) {
                return static_cast<uint8_t>((sum + count / 2) / count);
            };
            if constexpr (Bytes == 1) {
                d[0] = d[1] = d[2] = mean(s[0]);
            } else {
                d[0] = mean(s[0]);
                d[1] = mean(s[1]);
                d[2] = mean(s[2]);
            }
            d[3] = 0xFF;
        }
    }
    return true;
}

}  // namespace

int32_t JpegReductionFor(int32_t w, int32_t h, int32_t boxWidth, int32_t boxHeight) {
    if (w <= 0 || h <= 0 || boxWidth <= 0 || boxHeight <= 0) return 1;
    const int64_t extent = std::max(boxWidth, boxHeight);
    int64_t needW = 0, needH = 0;
    if (w >= h) {
        needW = std::min(w, boxWidth);
        needH = std::min<int64_t>(h, CeilDiv(extent * h, w));
    } else {
        needH = std::min(h, boxHeight);
        needW = std::min<int64_t>(w, CeilDiv(extent * w, h));
    }
    for (int32_t n = 8; n > 1; n /= 2)
        if (CeilDiv(w, n) >= needW && CeilDiv(h, n) >= needH) return n;
    return 1;
}

std::optional<DecodedPicture> DecodeFrameScaled(IWICImagingFactory& factory,
                                                IWICBitmapSource& frame, int32_t boxWidth,
                                                int32_t boxHeight) noexcept {
    try {
        UINT width = 0, height = 0;
        // A JPEG's sides are 16-bit; the bound keeps every byte count below within 32 bits.
        constexpr UINT kMaxSide = 1 << 20;
        if (FAILED(frame.GetSize(&width, &height)) || width == 0 || height == 0 ||
            width > kMaxSide || height > kMaxSide)
            return std::nullopt;
        const int32_t reduction = JpegReductionFor(
            static_cast<int32_t>(width), static_cast<int32_t>(height), boxWidth, boxHeight);
        if (reduction > 1) {
            win::com_ptr<win::WicSourceTransform> transform;
            if (SUCCEEDED(
                    frame.QueryInterface(win::IID_WicSourceTransform, transform.put_void())) &&
                transform) {
                if (auto scaled =
                        ScaleInDecoder(factory, *transform.get(), width, height, reduction))
                    return scaled;
            }
        }

        // Wine's JPEG decoder (8.0) has no WicSourceTransform and has already decoded the whole
        // picture in Initialize; averaging it costs about 20 ms for 12 megapixels.
        const auto outWidth = static_cast<int32_t>(CeilDiv(width, reduction));
        const auto outHeight = static_cast<int32_t>(CeilDiv(height, reduction));
        auto dib = CreateTopDownDib(outWidth, outHeight);
        if (!dib) return std::nullopt;
        WICPixelFormatGUID format{};
        if (FAILED(frame.GetPixelFormat(&format))) return std::nullopt;
        const auto n = static_cast<UINT>(reduction);
        bool done = false;
        if (reduction == 1)
            done = CopyAsBgr32(factory, frame, width, height, dib->bits);
        else if (format == GUID_WICPixelFormat24bppBGR)
            done = AverageBlocks<3>(frame, width, height, n, dib->bits);
        else if (format == GUID_WICPixelFormat8bppGray)
            done = AverageBlocks<1>(frame, width, height, n, dib->bits);
        else if (IsBgr32(format))
            done = AverageBlocks<4>(frame, width, height, n, dib->bits);
        else {
            // CMYK and the rest: converted strip by strip as the averaging reads them.
            win::com_ptr<IWICFormatConverter> converter;
            done = SUCCEEDED(factory.CreateFormatConverter(converter.put())) &&
                   SUCCEEDED(converter->Initialize(&frame, GUID_WICPixelFormat32bppBGR,
                                                   WICBitmapDitherTypeNone, nullptr, 0,
                                                   WICBitmapPaletteTypeCustom)) &&
                   AverageBlocks<4>(*converter.get(), width, height, n, dib->bits);
        }
        if (!done) return std::nullopt;
        return Finish(std::move(*dib), outWidth, outHeight, width, height);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

namespace {

// A file's first frame through the imaging component. A factory per call: one costs about
// 0.1 ms once the library is loaded (measured under Wine), against 250 ms and more for a
// 12-megapixel decode there; one kept for the process would outlive the apartments it was
// made in. Released in the reverse order of the members.
struct WicFrame {
    win::com_ptr<IWICImagingFactory> factory;
    win::com_ptr<IWICStream> stream;
    win::com_ptr<IWICBitmapDecoder> decoder;
    win::com_ptr<IWICBitmapFrameDecode> frame;

    bool Open(std::span<const uint8_t> file, const GUID& container) {
        return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IWICImagingFactory, factory.put_void())) &&
               SUCCEEDED(factory->CreateStream(stream.put())) &&
               SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(file.data()),
                                                      static_cast<DWORD>(file.size()))) &&
               SUCCEEDED(factory->CreateDecoder(container, nullptr, decoder.put())) &&
               SUCCEEDED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)) &&
               SUCCEEDED(decoder->GetFrame(0, frame.put()));
    }
};

// A picture from its DC terms, or nothing.
std::optional<DecodedPicture> FromDcImage(const std::optional<JpegDcImage>& image) {
    if (!image) return std::nullopt;
    auto dib = CreateTopDownDib(image->width, image->height);
    if (!dib || image->pixels.size() != static_cast<size_t>(image->width) * image->height * 4)
        return std::nullopt;
    std::memcpy(dib->bits, image->pixels.data(), image->pixels.size());
    return Finish(std::move(*dib), image->width, image->height,
                  static_cast<UINT>(image->naturalWidth), static_cast<UINT>(image->naturalHeight));
}

}  // namespace

std::optional<DecodedPicture> OrientDecoded(DecodedPicture picture, Orientation o) noexcept {
    if (o <= 1 || o > 8) return picture;
    DIBSECTION section{};
    if (GetObjectW(picture.bitmap.get(), sizeof section, &section) != sizeof section ||
        !section.dsBm.bmBits || section.dsBm.bmBitsPixel != 32 ||
        section.dsBm.bmWidth != picture.width || section.dsBm.bmHeight != picture.height)
        return std::nullopt;
    const bool swap = SwapsSides(o);
    auto dib = CreateTopDownDib(swap ? picture.height : picture.width,
                                swap ? picture.width : picture.height);
    if (!dib) return std::nullopt;
    OrientPixels(o, static_cast<const uint32_t*>(section.dsBm.bmBits), picture.width,
                 picture.height, reinterpret_cast<uint32_t*>(dib->bits));
    if (!swap) return DecodedPicture{std::move(dib->bitmap), picture.width, picture.height,
                                     picture.naturalWidth, picture.naturalHeight};
    return DecodedPicture{std::move(dib->bitmap), picture.height, picture.width,
                          picture.naturalHeight, picture.naturalWidth};
}

namespace {

// `file` decoded for the box and turned as `o` says: the box is measured against the picture
// as it is shown.
std::optional<DecodedPicture> DecodeShown(std::span<const uint8_t> file, Orientation o, int32_t boxWidth,
                                          int32_t boxHeight) noexcept {
    auto decoded = SwapsSides(o) ? DecodeStoredJpeg(file, boxHeight, boxWidth)
                                 : DecodeStoredJpeg(file, boxWidth, boxHeight);
    if (!decoded) return std::nullopt;
    return OrientDecoded(std::move(*decoded), o);
}

}  // namespace

std::optional<DecodedPicture> DecodeJpegThumbnail(std::span<const uint8_t> head, int32_t boxWidth,
                                                  int32_t boxHeight) noexcept {
    const auto range = ReadExifThumbnail(head);
    if (!range) return std::nullopt;
    const auto thumbnail = head.subspan(range->offset, range->size);
    // The thumbnail goes to the platform's decoder: held to what the loader may be given.
    if (!LoaderMayTake(PictureHeaderKind::Jpeg, thumbnail, thumbnail.size())) return std::nullopt;
    // The photo's frame header only: its coded data lies beyond the head.
    const auto photo = ReadJpegFrameSize(head), small = ReadJpegFrameSize(thumbnail);
    if (!photo || !small) return std::nullopt;
    const Orientation o = ReadExifOrientation(head);
    int32_t w = photo->width, h = photo->height;
    int32_t tw = small->width, th = small->height;
    if (SwapsSides(o)) std::swap(w, h), std::swap(tw, th);
    if (!ThumbnailServes(w, h, tw, th, boxWidth, boxHeight)) return std::nullopt;
    auto shown = DecodeShown(thumbnail, o, boxWidth, boxHeight);
    if (!shown) return std::nullopt;
    shown->naturalWidth = w;
    shown->naturalHeight = h;
    return shown;
}

std::optional<DecodedPicture> DecodeJpegScaled(std::span<const uint8_t> file, int32_t boxWidth,
                                               int32_t boxHeight) noexcept {
    if (file.empty() || file.size() > MAXDWORD) return std::nullopt;
    return DecodeShown(file, ReadExifOrientation(file), boxWidth, boxHeight);
}

std::optional<DecodedPicture> DecodeStoredJpeg(std::span<const uint8_t> file, int32_t boxWidth,
                                               int32_t boxHeight) noexcept {
    // At an eighth each block's pixel is its DC term: decoding only those is many times faster
    // than the full decode the platform's decoder may do first, and gives the same picture.
    if (const auto frame = ReadJpegDcFrame(file);
        frame &&
        JpegReductionFor(frame->naturalWidth, frame->naturalHeight, boxWidth, boxHeight) == 8) {
        if (auto picture = FromDcImage(DecodeJpegDc(file))) return picture;
    }
    const ComApartment com;  // declared first: every interface below is released before it ends
    if (!com.Usable()) return std::nullopt;
    // The JPEG decoder only: other formats are not probed, and fail here.
    WicFrame wic;
    if (!wic.Open(file, GUID_ContainerFormatJpeg)) return std::nullopt;
    return DecodeFrameScaled(*wic.factory.get(), *wic.frame.get(), boxWidth, boxHeight);
}

std::optional<DecodedPicture> DecodeWithAlphaScaled(std::span<const uint8_t> file,
                                                    WicPictureFormat format, int32_t boxWidth,
                                                    int32_t boxHeight, uint32_t background) noexcept {
    if (file.empty() || file.size() > MAXDWORD) return std::nullopt;
    const ComApartment com;
    if (!com.Usable()) return std::nullopt;
    try {
        WicFrame wic;
        if (!wic.Open(file, format == WicPictureFormat::Png ? GUID_ContainerFormatPng
                                                            : GUID_ContainerFormatTiff))
            return std::nullopt;
        UINT width = 0, height = 0;
        constexpr UINT kMaxSide = 1 << 20;
        if (FAILED(wic.frame->GetSize(&width, &height)) || width == 0 || height == 0 ||
            width > kMaxSide || height > kMaxSide)
            return std::nullopt;
        // Neither decoder scales: the whole frame is read a strip at a time and averaged.
        const int32_t reduction = JpegReductionFor(
            static_cast<int32_t>(width), static_cast<int32_t>(height), boxWidth, boxHeight);
        const auto outWidth = static_cast<int32_t>(CeilDiv(width, reduction));
        const auto outHeight = static_cast<int32_t>(CeilDiv(height, reduction));
        auto dib = CreateTopDownDib(outWidth, outHeight);
        if (!dib) return std::nullopt;
        const auto n = static_cast<UINT>(reduction);
        // Opaque pixels are averaged as the decoder gives them (a photo's usual 24-bit BGR):
        // a conversion pass over the whole picture costs more than the averaging.
        WICPixelFormatGUID format{};
        if (FAILED(wic.frame->GetPixelFormat(&format))) return std::nullopt;
        IWICBitmapSource& frame = *wic.frame.get();
        bool done = false;
        if (format == GUID_WICPixelFormat24bppBGR) {
            done = AverageBlocks<3>(frame, width, height, n, dib->bits);
        } else if (format == GUID_WICPixelFormat8bppGray) {
            done = AverageBlocks<1>(frame, width, height, n, dib->bits);
        } else if (format == GUID_WICPixelFormat32bppBGR) {
            done = AverageBlocks<4>(frame, width, height, n, dib->bits);
        } else {
            // Transparency, palettes and deeper samples: premultiplied BGRA laid over the
            // background as it is read.
            win::com_ptr<IWICFormatConverter> converter;
            const uint8_t under[3] = {static_cast<uint8_t>(background >> 16),
                                      static_cast<uint8_t>(background >> 8),
                                      static_cast<uint8_t>(background)};
            done = SUCCEEDED(wic.factory->CreateFormatConverter(converter.put())) &&
                   SUCCEEDED(converter->Initialize(&frame, GUID_WICPixelFormat32bppPBGRA,
                                                   WICBitmapDitherTypeNone, nullptr, 0,
                                                   WICBitmapPaletteTypeCustom)) &&
                   AverageBlocks<4>(*converter.get(), width, height, n, dib->bits, under);
        }
        if (!done) return std::nullopt;
        return Finish(std::move(*dib), outWidth, outHeight, width, height);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

}  // namespace qcd
