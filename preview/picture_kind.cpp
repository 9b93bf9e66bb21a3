#include "preview/picture_kind.h"

#include <algorithm>
#include <cstring>

#include "platform/handles.h"
#include "platform/text.h"
#include "readers/bmp_sample.h"
#include "preview/canvas.h"
#include "preview/fit_geometry.h"
#include "preview/jpeg_decode.h"

namespace qcd {

namespace {

// `background` shows through a picture's transparent parts.
std::optional<LoadedPicture> LoadPicture(const FileBytes& file, PictureHeaderKind kind, int boxW,
                                         int boxH, COLORREF background) {
    const auto loaded = [](std::optional<DecodedPicture> decoded) -> std::optional<LoadedPicture> {
        if (!decoded) return std::nullopt;
        return LoadedPicture::FromBitmap(std::move(decoded->bitmap), decoded->naturalWidth,
                                         decoded->naturalHeight);
    };
    switch (kind) {
        // A photo is decoded only as large as the area needs; the platform's loader would
        // decode (and keep) every pixel.
        case PictureHeaderKind::Jpeg: {
            if (auto picture = loaded(DecodeJpegScaled(file.Bytes(), boxW, boxH))) return picture;
            auto whole = LoadedPicture::FromBytes(file);
            if (!whole) return std::nullopt;
            return UprightPicture(std::move(*whole), ReadExifOrientation(file.Bytes()), boxW,
                                  boxH);
        }
        // Formats the platform's loader does not read at all.
        case PictureHeaderKind::Png:
        case PictureHeaderKind::Tiff:
            return loaded(DecodeWithAlphaScaled(
                file.Bytes(),
                kind == PictureHeaderKind::Png ? WicPictureFormat::Png : WicPictureFormat::Tiff,
                boxW, boxH, background));
        default:
            break;
    }
    return LoadedPicture::FromBytes(file);
}

// Makes `picture` the work picture and takes its size and depth from the header in `bytes`
// read as `kind`; false when there is no picture or the header fails.
bool TakePicture(Canvas& canvas, std::optional<LoadedPicture> picture, std::span<const uint8_t> bytes,
                 PictureHeaderKind kind) {
    if (!picture) return false;
    const PictureInfo info = ReadPictureInfo(kind, bytes, picture->Width(), picture->Height());
    if (info.result == PictureInfoResult::Failed) return false;
    PreviewState& state = canvas.State();
    if (info.result == PictureInfoResult::Measured) {
        state.pictureWidth = info.width;
        state.pictureHeight = info.height;
        state.pictureBits = info.bits;
    }
    canvas.Work() = std::move(picture);
    return true;
}

// Loads the picture into the work picture, sized for the preview area, and takes its size and depth
// from its header read as `kind`; false when either fails.
bool LoadPictureInfo(Canvas& canvas, const FileBytes& file, PictureHeaderKind kind) {
    return TakePicture(canvas,
                       LoadPicture(file, kind, canvas.AreaWidth(), canvas.AreaHeight(), canvas.Copy().BackColor()),
                       file.Bytes(), kind);
}

// What a camera photo's Exif segment and frame header take at most: the segment's 64 KB and
// the segments before and after it.
constexpr size_t kExifHeadSize = 128 << 10;

// A camera photo shown from the thumbnail in its Exif segment, found in its first bytes: the
// whole photo is then neither read nor checked. False when no thumbnail serves the area.
bool ShowFromThumbnail(Canvas& canvas, std::span<const uint8_t> head) {
    auto decoded = DecodeJpegThumbnail(head, canvas.AreaWidth(), canvas.AreaHeight());
    if (!decoded) return false;
    auto picture = LoadedPicture::FromBitmap(std::move(decoded->bitmap), decoded->naturalWidth,
                                             decoded->naturalHeight);
    if (!TakePicture(canvas, std::move(picture), head, PictureHeaderKind::Jpeg)) return false;
    ShowWorkPicture(canvas);
    return true;
}

// Bitmaps above this are read a row at a time, only the rows the preview area shows.
constexpr uint64_t kSampleBitmapsAbove = 2 << 20;

// A large uncompressed bitmap sampled down to the area from the rows it shows, into the work
// picture with its header's size and depth; false when the sampler does not take it.
bool LoadSampledBitmap(Canvas& canvas, const std::u16string& path, std::span<const uint8_t> head,
                       uint64_t fileSize) {
    const auto layout = ReadBmpLayout(head.first(std::min(head.size(), kBmpHeadSize)), fileSize);
    const PictureInfo info = ReadBitmapInfo(head);
    if (!layout || info.result != PictureInfoResult::Measured) return false;
    const auto place =
        FitIntoBox(layout->width, layout->height, canvas.AreaWidth(), canvas.AreaHeight());
    if (!place) return false;
    // A very long picture's short side can fit to nothing.
    auto sampler = BmpSampler::Make(*layout, std::max(place->width, 1), std::max(place->height, 1));
    if (!sampler) return false;
    win::unique_file file(CreateFileW(win::Wide(path), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr));
    if (!file) return false;
    std::vector<uint8_t> row;
    const auto& reads = sampler->Reads();
    for (size_t i = 0; i < reads.size(); ++i) {
        row.resize(reads[i].size);
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(reads[i].offset);
        DWORD got = 0;
        if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
            !ReadFile(file.get(), row.data(), reads[i].size, &got, nullptr) ||
            !sampler->Put(i, std::span(row).first(got)))
            return false;
    }
    const auto sample = sampler->Take();
    if (!sample) return false;
    auto dib = CreateTopDownDib(sample->width, sample->height);
    if (!dib) return false;
    std::memcpy(dib->bits, sample->pixels.data(), sample->pixels.size());
    PreviewState& state = canvas.State();
    state.pictureWidth = info.width;
    state.pictureHeight = info.height;
    state.pictureBits = info.bits;
    canvas.Work() = LoadedPicture::FromBitmap(std::move(dib->bitmap), layout->width, layout->height);
    return true;
}

// A GIF cut after its first image, with the trailer: the loader decodes every frame of what it
// is given, and the preview shows the first.
std::optional<FileBytes> FirstFrameOnly(FileBytes file) {
    const auto bytes = file.Bytes();
    const auto end = GifFirstImageEnd(bytes);
    if (!end || *end + 1 >= bytes.size()) return file;
    std::vector<uint8_t> first(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(*end));
    first.push_back(0x3B);
    return FileBytes::Copy(first);
}

// The whole file when the platform's loader may be given it, judged from its first bytes
// (`head`) and its size before the rest is read.
std::optional<FileBytes> ReadPictureFile(const std::u16string& path, PictureHeaderKind kind,
                                         FileBytes head, uint64_t size) {
    if (!LoaderMayTake(kind, head.Bytes(), size)) return std::nullopt;
    auto file = head.Bytes().size() == size ? std::optional<FileBytes>(std::move(head)) : FileBytes::Read(path);
    if (!file) return std::nullopt;
    // A JPEG's frame header may follow more than the first bytes' worth of metadata, a TIFF's
    // directory lie anywhere.
    if ((kind == PictureHeaderKind::Jpeg || kind == PictureHeaderKind::Tiff) &&
        !LoaderMayTake(kind, file->Bytes(), size))
        return std::nullopt;
    if (kind == PictureHeaderKind::Gif) return FirstFrameOnly(std::move(*file));
    return file;
}

std::optional<FileBytes> ReadPictureFile(const std::u16string& path, PictureHeaderKind kind) {
    uint64_t size = 0;
    auto head = FileBytes::Read(path, kPictureHeadSize, &size);
    if (!head) return std::nullopt;
    return ReadPictureFile(path, kind, std::move(*head), size);
}

class PictureKind final : public Kind {
  public:
    explicit PictureKind(Canvas& canvas) : canvas_(canvas) {}

    StartResult Start(const std::u16string& path) override {
        path_ = path;
        const PictureHeaderKind kind = HeaderKindForPath(path);
        if (kind == PictureHeaderKind::Bitmap && ShowLargeBitmap(path)) return StartResult::Shown;
        uint64_t size = 0;
        auto head = FileBytes::Read(path, kind == PictureHeaderKind::Jpeg ? kExifHeadSize : kPictureHeadSize,
                                    &size);
        if (!head) return StartResult::Shown;
        if (kind == PictureHeaderKind::Jpeg && ShowFromThumbnail(canvas_, head->Bytes())) return StartResult::Shown;
        if (const auto file = ReadPictureFile(path, kind, std::move(*head), size)) ShowPicture(canvas_, *file, kind);
        return StartResult::Shown;
    }

    // Loaded again for the new size: a picture decoded for the old one would only be stretched.
    void Refit() override {
        if (canvas_.State().kind == PreviewKind::Picture) Start(path_);
    }

  private:
    // True when the file was a large bitmap the sampler took: shown, or not at all.
    bool ShowLargeBitmap(const std::u16string& path) {
        uint64_t size = 0;
        const auto head = FileBytes::Read(path, kBmpHeadSize, &size);
        if (!head || size <= kSampleBitmapsAbove) return false;
        if (!LoadSampledBitmap(canvas_, path, head->Bytes(), size)) return false;
        ShowWorkPicture(canvas_);
        return true;
    }

    Canvas& canvas_;
    std::u16string path_;
};

}  // namespace

std::unique_ptr<Kind> MakePictureKind(Canvas& canvas) {
    return std::make_unique<PictureKind>(canvas);
}

void ShowPicture(Canvas& canvas, const FileBytes& file, PictureHeaderKind kind) {
    if (!LoaderMayTake(kind, file.Bytes(), file.Bytes().size())) return;
    if (!LoadPictureInfo(canvas, file, kind)) return;
    ShowWorkPicture(canvas);
}

void ShowWorkPicture(Canvas& canvas) {
    PreviewState& state = canvas.State();
    state.kind = PreviewKind::Picture;
    state.imageCount = state.imageIndex = 1;
    canvas.DrawWorkFit();
    canvas.SetText(PanelLabel::Size,
                   SizeCaption(state.pictureWidth, state.pictureHeight, state.pictureBits));
}

std::optional<LoadedPicture> UprightPicture(LoadedPicture picture, Orientation o,
                                            int32_t boxWidth, int32_t boxHeight) {
    if (o <= 1 || o > 8) return picture;
    const bool swap = SwapsSides(o);
    const auto place = FitIntoBox(picture.Width(), picture.Height(), swap ? boxHeight : boxWidth,
                                  swap ? boxWidth : boxHeight);
    if (!place) return picture;
    const int32_t w = std::max(place->width, 1), h = std::max(place->height, 1);
    auto dib = CreateTopDownDib(w, h);
    if (!dib) return std::nullopt;
    {
        win::unique_mem_dc memory(CreateCompatibleDC(nullptr));
        if (!memory) return std::nullopt;
        win::select_object selected(memory.get(), dib->bitmap.get());
        picture.Draw(memory.get(), 0, 0, w, h);
    }
    auto turned = OrientDecoded(
        DecodedPicture{std::move(dib->bitmap), w, h, picture.Width(), picture.Height()}, o);
    if (!turned) return std::nullopt;
    return LoadedPicture::FromBitmap(std::move(turned->bitmap), turned->naturalWidth,
                                     turned->naturalHeight);
}

bool LoadPictureFit(Canvas& canvas, const std::u16string& path) {
    if (!canvas.MeasureArea()) return false;
    const int w = canvas.AreaWidth(), h = canvas.AreaHeight();
    Surface& strip = canvas.IconStrip();
    strip.Resize(w, h);
    strip.Clear();
    const auto file = ReadPictureFile(path, HeaderKindForPath(path));
    if (!file) return false;
    const auto picture = LoadPicture(*file, HeaderKindForPath(path), w, h, strip.BackColor());
    if (!picture) return false;
    const auto place = FitIntoBox(picture->Width(), picture->Height(), w, h);
    if (place) picture->Draw(strip.Dc(), place->x, place->y, place->width, place->height);
    return true;
}

}  // namespace qcd
