// Icon and cursor files (.ico .cur): each image rendered once into the strip through the
// platform's picture loader, stepped through with the buttons.
#include "preview/canvas.h"
#include "preview/icon_file.h"
#include "preview/icon_strip.h"
#include "preview/kind.h"
#include "preview/picture_kind.h"

namespace qcd {

namespace {

StripImage ToStrip(const IconImageInfo& image) { return {image.width, image.height, image.bits}; }

class IconKind final : public Kind {
  public:
    explicit IconKind(Canvas& canvas) : canvas_(canvas), strip_(canvas) {}

    StartResult Start(const std::u16string& path) override {
        const auto file = FileBytes::Read(path);
        if (!file) return StartResult::Shown;
        const int32_t n = Load(*file);
        if (n == kIconNotThisFormat)
            ShowPicture(canvas_, *file, PictureHeaderKind::Bitmap);
        else if (n >= 1)
            strip_.ShowImageSet();
        return StartResult::Shown;
    }

    void Press(PanelButton button) override {
        PressIconSet({canvas_, strip_, canvas_.State(), {}}, button);
    }

  private:
    // The image count, 0 for a bitmap under the name, or -1.
    int32_t Load(const FileBytes& file) {
        const IconFileInfo info = ReadIconFile(file.Bytes());
        if (info.count < 1) return info.count;
        std::vector<StripImage> images;
        for (const IconImageInfo& image : info.images) images.push_back(ToStrip(image));
        if (!strip_.Prepare(std::move(images))) return kIconInvalid;
        for (int32_t n = 1; n <= info.count; ++n) {
            // The loader draws the first 32-pixel entry of a many-image file whatever is
            // asked, and wants the header's reserved field 0: each image goes to it as a
            // clean file of its own.
            const auto bytes = SingleImageIcon(file.Bytes(), info, n);
            const auto single = bytes ? FileBytes::Copy(*bytes) : std::nullopt;
            if (!single) continue;
            const auto picture = LoadedPicture::FromBytes(*single);
            // An image the platform cannot draw leaves its cell blank; the others still show.
            if (!picture) continue;
            const auto cell = strip_.CellOf(n);
            picture->Draw(cell.Dc(), cell.X(), 0, picture->Width(), picture->Height());
        }
        return info.count;
    }

    Canvas& canvas_;
    IconStrip strip_;
};

}  // namespace

std::unique_ptr<Kind> MakeIconKind(Canvas& canvas) { return std::make_unique<IconKind>(canvas); }

}  // namespace qcd
