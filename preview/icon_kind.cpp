// Icon and cursor files (.ico .cur): each image rendered once into the strip through the
// platform's picture loader, stepped through with the buttons.
#include "preview/canvas.h"
#include "readers/icon_file.h"
#include "preview/icon_strip.h"
#include "preview/kind.h"
#include "preview/picture_kind.h"

namespace qcd {

namespace {

StripImage ToStrip(const IconImageInfo& image) { return {image.width, image.height, image.bits}; }

// An icon file larger than this is not one a user would keep: what lies beyond is not read,
// and images said to lie there make the file invalid.
constexpr size_t kIconReadLimit = 4 << 20;

class IconKind final : public Kind {
  public:
    explicit IconKind(Canvas& canvas) : canvas_(canvas), strip_(canvas) {}

    StartResult Start(const std::u16string& path) override {
        file_ = FileBytes::Read(path, kIconReadLimit);
        if (!file_) return StartResult::Shown;
        info_ = ReadIconFile(file_->Bytes());
        if (info_.count == kIconNotThisFormat) {
            ShowPicture(canvas_, *file_, PictureHeaderKind::Bitmap);
            return StartResult::Shown;
        }
        if (info_.count < 1) return StartResult::Shown;
        std::vector<StripImage> images;
        for (const IconImageInfo& image : info_.images) images.push_back(ToStrip(image));
        const bool ready = strip_.Prepare(std::move(images), [this](int32_t n, HDC dc, int x) {
            if (file_) DrawIconImage(file_->Bytes(), info_, n, dc, x);
        });
        if (ready) strip_.ShowImageSet();
        return StartResult::Shown;
    }

    // The file is let go: the next preview is another's, and the file may be deleted.
    void Stop() override { file_.reset(); }

    void Refit() override {
        if (!strip_.DrawAgain()) canvas_.DrawWorkFit();
    }

    void Press(PanelButton button) override {
        PressIconSet({canvas_, strip_, canvas_.State(), {}}, button);
    }

  private:
    Canvas& canvas_;
    IconStrip strip_;
    // The file shown, kept for the images drawn as they are stepped to.
    std::optional<FileBytes> file_;
    IconFileInfo info_;
};

}  // namespace

std::unique_ptr<Kind> MakeIconKind(Canvas& canvas) { return std::make_unique<IconKind>(canvas); }

}  // namespace qcd
