#include "preview/picture_kind.h"

#include "preview/canvas.h"
#include "preview/fit_geometry.h"
#include "preview/jpeg_decode.h"

namespace qcd {

namespace {

std::optional<LoadedPicture> LoadPicture(const FileBytes& file, PictureHeaderKind kind, int boxW,
                                         int boxH) {
    // A photo is decoded only as large as the area needs; the platform's loader would decode
    // (and keep) every pixel.
    if (kind == PictureHeaderKind::Jpeg) {
        if (auto decoded = DecodeJpegScaled(file.Bytes(), boxW, boxH))
            return LoadedPicture::FromBitmap(std::move(decoded->bitmap), decoded->naturalWidth,
                                             decoded->naturalHeight);
    }
    return LoadedPicture::FromBytes(file);
}

// Loads the picture into picWork, sized for the preview area, and takes its size and depth
// from its header read as `kind`; false when either fails.
bool LoadPictureInfo(Canvas& canvas, const FileBytes& file, PictureHeaderKind kind) {
    auto picture = LoadPicture(file, kind, canvas.AreaWidth(), canvas.AreaHeight());
    if (!picture) return false;
    const PictureInfo info =
        ReadPictureInfo(kind, file.Bytes(), picture->Width(), picture->Height());
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

// The whole file when the platform's loader may be given it, judged from its first bytes and
// its size before the rest is read.
std::optional<FileBytes> ReadPictureFile(const std::u16string& path, PictureHeaderKind kind) {
    uint64_t size = 0;
    auto head = FileBytes::Read(path, kPictureHeadSize, &size);
    if (!head || !LoaderMayTake(kind, head->Bytes(), size)) return std::nullopt;
    if (head->Bytes().size() == size) return head;
    return FileBytes::Read(path);
}

class PictureKind final : public Kind {
  public:
    explicit PictureKind(Canvas& canvas) : canvas_(canvas) {}

    StartResult Start(const std::u16string& path) override {
        if (const auto file = ReadPictureFile(path, HeaderKindForPath(path)))
            ShowPicture(canvas_, *file, HeaderKindForPath(path));
        return StartResult::Shown;
    }

  private:
    Canvas& canvas_;
};

}  // namespace

std::unique_ptr<Kind> MakePictureKind(Canvas& canvas) {
    return std::make_unique<PictureKind>(canvas);
}

void ShowPicture(Canvas& canvas, const FileBytes& file, PictureHeaderKind kind) {
    if (!LoaderMayTake(kind, file.Bytes(), file.Bytes().size())) return;
    if (!LoadPictureInfo(canvas, file, kind)) return;
    PreviewState& state = canvas.State();
    state.kind = PreviewKind::Picture;
    state.imageCount = state.imageIndex = 1;
    canvas.DrawWorkFit();
    canvas.SetText(PanelLabel::Size,
                   SizeCaption(state.pictureWidth, state.pictureHeight, state.pictureBits));
}

bool LoadPictureFit(Canvas& canvas, const std::u16string& path) {
    if (!canvas.MeasureArea()) return false;
    const int w = canvas.AreaWidth(), h = canvas.AreaHeight();
    Surface& strip = canvas.IconStrip();
    strip.Resize(w, h);
    strip.Cls();
    const auto file = ReadPictureFile(path, HeaderKindForPath(path));
    if (!file) return false;
    const auto picture = LoadPicture(*file, HeaderKindForPath(path), w, h);
    if (!picture) return false;
    const auto place = FitIntoBox(picture->Width(), picture->Height(), w, h);
    if (place) picture->Draw(strip.Dc(), place->x, place->y, place->width, place->height);
    return true;
}

}  // namespace qcd
