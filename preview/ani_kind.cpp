// Animated cursors (.ani): each frame drawn from the icon our reader found for it, played at
// the file's own rates by Timer1, paused and stepped with the buttons.
#include <windows.h>

#include "readers/ani_file.h"
#include "preview/canvas.h"
#include "preview/icon_strip.h"
#include "preview/kind.h"
#include "preview/picture_kind.h"

namespace qcd {

namespace {

// Larger files are not read beyond this: frames said to lie there make the file invalid.
constexpr size_t kAniReadLimit = 4 << 20;

class AniKind final : public Kind {
  public:
    explicit AniKind(Canvas& canvas) : canvas_(canvas), strip_(canvas) {
        canvas.Timers().Register(TimerId::AniStep, [this] {
            if (!canvas_.Panel()) {
                canvas_.Timers().SetEnabled(TimerId::AniStep, false);
                return;
            }
            AniStepTick(Context());
        });
    }
    ~AniKind() override { canvas_.Timers().Register(TimerId::AniStep, nullptr); }

    StartResult Start(const std::u16string& path) override {
        file_ = FileBytes::Read(path, kAniReadLimit);
        if (!file_) return StartResult::Shown;
        info_ = ReadAniFile(file_->Bytes());
        if (info_.count == kIconNotThisFormat) {
            ShowPicture(canvas_, *file_, PictureHeaderKind::Bitmap);
            return StartResult::Shown;
        }
        if (info_.count < 1 || !Prepare()) return StartResult::Shown;
        const int32_t n = info_.count;
        PreviewState& state = canvas_.State();
        state.frameCount = info_.stepCount;
        state.frameIndex = 1;
        strip_.ShowFirstImage(n > 1 ? PreviewKind::AnimatedCursor : PreviewKind::Icon);
        canvas_.SetText(PanelLabel::Status, FrameLine(state.frameIndex, state.frameCount));
        if (n > 1)
            for (PanelButton b : {PanelButton::Play, PanelButton::Forward, PanelButton::Back})
                canvas_.Enable(b, true);
        return StartResult::KeepStatus;
    }

    // The file is let go: the next preview is another's, and the file may be deleted.
    void Stop() override { file_.reset(); }

    void Refit() override {
        if (!strip_.DrawAgain()) canvas_.DrawWorkFit();
    }

    void Press(PanelButton button) override { PressAnimatedCursor(Context(), button); }

  private:
    ImageSetContext Context() {
        return {canvas_, strip_, canvas_.State(), {info_.rates, info_.sequence, info_.displayRate}};
    }

    bool Prepare() {
        std::vector<StripImage> images;
        for (const IconImageInfo& image : info_.images)
            images.push_back({image.width, image.height, image.bits});
        return strip_.Prepare(std::move(images), [this](int32_t n, HDC dc, int x) {
            if (!file_ || n < 1 || static_cast<size_t>(n) > info_.frames.size()) return;
            const IconImagePlace& frame = info_.frames[static_cast<size_t>(n - 1)];
            const auto icon = file_->Bytes().subspan(frame.offset, frame.size);
            DrawIconImage(icon, ReadIconFile(icon), 1, dc, x);
        });
    }

    Canvas& canvas_;
    IconStrip strip_;
    // The file shown and what was read from it, kept for the frames drawn as they come.
    std::optional<FileBytes> file_;
    AniFileInfo info_;
};

}  // namespace

std::unique_ptr<Kind> MakeAniKind(Canvas& canvas) { return std::make_unique<AniKind>(canvas); }

}  // namespace qcd
