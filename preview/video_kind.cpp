// Videos (.avi, .mpg): opened through MCI as a child window of the preview area, played,
// paused, stepped and scanned with the buttons, the frame counter kept by Timer2.
#include <windows.h>

#include <algorithm>
#include <array>

#include "readers/avi_check.h"
#include "preview/media_kind.h"
#include "preview/opened_file.h"
#include "preview/preview_kind.h"
#include "platform/trace.h"

namespace qcd {

namespace {

// The first frame is drawn into the icon strip; a huge source size is not worth a huge bitmap.
constexpr int32_t kLargestFirstFrame = 4096;

class SurfacePicture final : public VideoPicture {
  public:
    explicit SurfacePicture(Surface& surface) : surface_(surface) {}
    int32_t PrepareDc(int32_t width, int32_t height) override {
        surface_.Resize(std::clamp(width, 1, kLargestFirstFrame),
                        std::clamp(height, 1, kLargestFirstFrame));
        surface_.Clear();
        return static_cast<int32_t>(reinterpret_cast<intptr_t>(surface_.Dc()));
    }
    int16_t BitsPerPixel() override {
        BITMAP bm{};
        if (!surface_.Bitmap() || !GetObjectW(surface_.Bitmap(), sizeof bm, &bm)) return 0;
        return static_cast<int16_t>(bm.bmBitsPixel);
    }

  private:
    Surface& surface_;
};

class VideoKind final : public MediaKind {
  public:
    explicit VideoKind(Canvas& canvas) : MediaKind(canvas) {
        canvas.Timers().Register(TimerId::VideoPosition, [this] {
            if (!canvas_.Panel() || !canvas_.Media()) {
                canvas_.Timers().SetEnabled(TimerId::VideoPosition, false);
                return;
            }
            VideoPositionTick(Context());
            // A scan lands on a new frame at every tick; playback draws itself.
            const bool playing = canvas_.State().kind == PreviewKind::VideoPlaying &&
                                 canvas_.Timers().Enabled(TimerId::VideoPosition);
            if (!playing) RepaintVideo();
        });
    }
    ~VideoKind() override { canvas_.Timers().Register(TimerId::VideoPosition, nullptr); }

    StartResult Start(const std::u16string& path) override {
        if (!canvas_.Media()) return StartResult::Shown;
        Opening(path);
        // What the player would not survive is not opened: the file shows as one it cannot play.
        if (!MayOpen(path)) {
            win::Trace("video preview", "refused by the file check");
            return StartResult::Shown;
        }
        SurfacePicture picture(canvas_.IconStrip());
        const int32_t area = static_cast<int32_t>(reinterpret_cast<intptr_t>(canvas_.Area()));
        const MediaStart started =
            StartVideo(Context(), area, canvas_.AreaWidth(), canvas_.AreaHeight(), picture);
        if (started == MediaStart::Failed)
            win::Trace("video preview", canvas_.Media()->Mci().LastMciReply);
        return started == MediaStart::Overtaken ? StartResult::Overtaken : StartResult::Shown;
    }

    void Press(PanelButton button) override {
        if (!canvas_.Media()) return;
        PressVideo(Context(), button);
        RepaintVideo();
    }

    void Refit() override {
        if (canvas_.Media() && IsVideo(canvas_.State().kind))
            canvas_.Media()->Mci().VideoFit(canvas_.Media()->VideoAlias(), canvas_.AreaWidth(),
                                            canvas_.AreaHeight());
    }

  private:
    static bool MayOpen(const std::u16string& path) {
        const std::u16string key = ExtensionKey(path);
        if (key != u".avi" && key != u".mpg") return true;
        std::optional<OpenedFile> file = OpenedFile::Open(path);
        if (!file) return false;
        if (key == u".avi") return IsPlayableAvi(*file);
        // Wine hands any other video to its media framework, whose open alone costs a fifth of
        // a second on this thread: what does not start as an MPEG program or video stream
        // (a pack or a sequence header) is not worth it.
        std::array<uint8_t, 4> start{};
        return file->ReadAt(0, start) == start.size() && start[0] == 0 && start[1] == 0 &&
               start[2] == 1 && (start[3] == 0xBA || start[3] == 0xB3);
    }

    // Wine's video player does not repaint its window after a seek, and showing a window that
    // is shown already paints nothing: the frame sought to is drawn by a repaint of our own.
    void RepaintVideo() const {
        if (HWND area = canvas_.Area())
            RedrawWindow(area, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }

};

}  // namespace

std::unique_ptr<Kind> MakeVideoKind(Canvas& canvas) {
    return std::make_unique<VideoKind>(canvas);
}

}  // namespace qcd
