// Feeds arbitrary bytes to the picture header readers (the Exif orientation and thumbnail too) and the placeable-header builder: they
// must never read past the data, and what they report must hold for the bytes given.
#include <cstddef>
#include <cstdint>
#include <span>

#include "readers/exif_orientation.h"
#include "readers/picture_headers.h"
#include "fuzz_check.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    using qcd::PictureInfoResult;

    const qcd::PictureInfo bmp = qcd::ReadBitmapInfo(bytes);
    Check(bmp.result != PictureInfoResult::Unchanged);
    if (bmp.result == PictureInfoResult::Measured)
        Check(size >= 26 && data[0] == 'B' && bmp.height >= 0);

    const qcd::PictureInfo gif = qcd::ReadGifInfo(bytes);
    if (gif.result == PictureInfoResult::Measured)
        Check(size >= qcd::kGifHeaderSize && gif.width >= 0 && gif.height >= 0 &&
              (gif.bits == 1 || gif.bits == 4 || gif.bits == 8));

    for (const qcd::PictureInfo& info : {qcd::ReadPngInfo(bytes), qcd::ReadTiffInfo(bytes)})
        if (info.result == PictureInfoResult::Measured)
            Check(size >= 8 && info.width > 0 && info.height > 0 && info.bits > 0);

    // Whatever the header says, the loader never gets a file beyond its kind's size limit.
    for (auto kind : {qcd::PictureHeaderKind::Bitmap, qcd::PictureHeaderKind::Gif,
                      qcd::PictureHeaderKind::Jpeg, qcd::PictureHeaderKind::Png,
                      qcd::PictureHeaderKind::Tiff}) {
        qcd::LoaderMayTake(kind, bytes, size);
        Check(!qcd::LoaderMayTake(kind, bytes, qcd::kMaxPictureFileSize + 1));
    }
    Check(!qcd::LoaderMayTake(qcd::PictureHeaderKind::Gif, bytes, qcd::kMaxGifFileSize + 1));

    if (const auto end = qcd::GifFirstImageEnd(bytes)) Check(*end <= size && *end > qcd::kGifHeaderSize);

    const qcd::Orientation orientation = qcd::ReadExifOrientation(bytes);
    Check(orientation >= 1 && orientation <= 8);
    if (const auto thumbnail = qcd::ReadExifThumbnail(bytes))
        Check(thumbnail->size <= size && thumbnail->offset <= size - thumbnail->size &&
              data[thumbnail->offset] == 0xFF && data[thumbnail->offset + 1] == 0xD8);

    if (const auto frame = qcd::ReadJpegFrameSize(bytes)) Check(frame->width > 0 && frame->height > 0);

    const int16_t jpegBits = qcd::JpegBits(bytes);
    Check(jpegBits == 8 || jpegBits == 24);

    const bool placeable = qcd::IsPlaceableMetafile(bytes);
    const int32_t right = size >= 2 ? static_cast<int16_t>(data[0] | data[1] << 8) : 0;
    const auto copy = qcd::MakePlaceableCopy(bytes, right, static_cast<int32_t>(size));
    Check(copy.has_value() == (size <= INT16_MAX));
    if (copy) {
        Check(copy->size() == qcd::kPlaceableHeaderSize + size);
        Check(qcd::IsPlaceableMetafile(*copy));
        Check(qcd::IsPlaceableMetafile(std::span(*copy).subspan(qcd::kPlaceableHeaderSize)) ==
              placeable);
    }
    return 0;
}
