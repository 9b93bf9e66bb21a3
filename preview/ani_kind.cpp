// Animated cursors (.ani): the images rendered once into the strip, played at the file's own
// rates by Timer1, paused and stepped with the buttons.
#include <windows.h>

#include "platform/handles.h"
#include "platform/text.h"
#include "preview/ani_file.h"
#include "preview/canvas.h"
#include "preview/icon_strip.h"
#include "preview/kind.h"
#include "preview/picture_kind.h"

namespace qcd {

namespace {

// A size from the file, for drawing into a 32-pixel cell: nonsense sizes draw at the cell's.
int DrawingSize(int32_t size) { return size >= 1 && size <= 256 ? size : IconStrip::kCell; }

class AniKind final : public Kind {
  public:
    explicit AniKind(Canvas& canvas) : canvas_(canvas), strip_(canvas) {
        canvas.Timers().Register(TimerId::AniStep, [this] {
            if (!canvas_.Panel()) {
                canvas_.Timers().SetEnabled(TimerId::AniStep, false);
                return;
            }
            Timer1_Timer(Context());
        });
    }

    ~AniKind() override { canvas_.Timers().Register(TimerId::AniStep, nullptr); }

    StartResult Start(const std::u16string& path) override {
        const auto file = FileBytes::Read(path);
        if (!file) return StartResult::Shown;
        const int32_t n = Load(path, *file);
        if (n == kIconNotThisFormat) {
            ShowPicture(canvas_, *file, PictureHeaderKind::Bitmap);
            return StartResult::Shown;
        }
        if (n < 1) return StartResult::Shown;
        PreviewState& state = canvas_.State();
        state.frameIndex = 1;
        strip_.ShowFirstImage(n > 1 ? PreviewKind::AnimatedCursor : PreviewKind::Icon);
        canvas_.SetText(PanelLabel::Status, FrameLine(state.frameIndex, state.frameCount));
        if (n > 1)
            for (PanelButton b : {PanelButton::Play, PanelButton::Forward, PanelButton::Back})
                canvas_.Enable(b, true);
        return StartResult::KeepStatus;
    }

    void Press(PanelButton button) override { PressAnimatedCursor(Context(), button); }

  private:
    ImageSetContext Context() {
        return {canvas_, strip_, canvas_.State(), {stepRates_, stepImages_, displayRate_}};
    }

    // The image count, 0 for a bitmap under the name, or -1.
    int32_t Load(const std::u16string& path, const FileBytes& file) {
        const AniFileInfo info = ReadAniFile(file.Bytes());
        if (info.count < 1) return info.count;
        std::vector<StripImage> images;
        for (const IconImageInfo& image : info.images)
            images.push_back({image.width, image.height, image.bits});
        if (!strip_.Prepare(std::move(images))) return kIconInvalid;
        win::unique_hcursor cursor(LoadCursorFromFileW(win::Wide(path)));
        if (!cursor) return kIconInvalid;
        stepRates_ = info.rates;
        stepImages_ = info.sequence;
        displayRate_ = info.displayRate;
        canvas_.State().frameCount = info.stepCount;
        for (int32_t n = 1; n <= info.count; ++n) {
            const IconImageInfo& image = info.images[static_cast<size_t>(n - 1)];
            const auto cell = strip_.CellOf(n);
            // The platform indexes an animated cursor's pictures by step, in sequence order:
            // an image no step shows cannot be drawn and keeps a blank cell.
            const int32_t step = info.FirstStepShowing(n);
            if (step < 1) continue;
            DrawIconEx(cell.Dc(), cell.X(), 0, cursor.get(), DrawingSize(image.width),
                       DrawingSize(image.height), static_cast<UINT>(step - 1), nullptr,
                       DI_NORMAL);
        }
        return info.count;
    }

    Canvas& canvas_;
    IconStrip strip_;
    std::vector<int32_t> stepRates_, stepImages_;
    int32_t displayRate_ = 0;
};

}  // namespace

std::unique_ptr<Kind> MakeAniKind(Canvas& canvas) { return std::make_unique<AniKind>(canvas); }

}  // namespace qcd
