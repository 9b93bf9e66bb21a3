// MIDI files and CD-audio tracks (.mid, .cda): opened through MCI under "ATYPE", played,
// paused and stopped with the buttons, the play time kept by Timer8, repeating at the end.
#include "media/media_session.h"
#include "preview/canvas.h"
#include "preview/kind.h"
#include "preview/media_steps.h"

namespace qcd {

namespace {

std::u16string NameOf(const std::u16string& path) {
    const size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

class MciSoundKind final : public Kind {
  public:
    explicit MciSoundKind(Canvas& canvas) : canvas_(canvas) {
        canvas.Timers().Register(TimerId::MciProgress, [this] {
            if (!canvas_.Panel() || !canvas_.Media()) {
                canvas_.Timers().SetEnabled(TimerId::MciProgress, false);
                return;
            }
            Timer8_Timer(Context());
        });
    }
    ~MciSoundKind() override { canvas_.Timers().Register(TimerId::MciProgress, nullptr); }

    StartResult Start(const std::u16string& path) override {
        if (!canvas_.Media()) return StartResult::Shown;
        path_ = path;
        title_ = NameOf(path);
        return StartMciSound(Context()) == MediaStart::Overtaken ? StartResult::Overtaken
                                                                 : StartResult::Shown;
    }

    void Press(PanelButton button) override {
        if (canvas_.Media()) PressMciSound(Context(), button);
    }

  private:
    MediaContext Context() {
        MediaSession& media = *canvas_.Media();
        return {canvas_,     canvas_.State(),      canvas_.Timers(),
                media.Mci(), media.VideoAlias(),   path_,
                title_,      canvas_.Background(), [this] { return canvas_.Generation(); }};
    }

    Canvas& canvas_;
    std::u16string path_, title_;
};

}  // namespace

std::unique_ptr<Kind> MakeMciSoundKind(Canvas& canvas) {
    return std::make_unique<MciSoundKind>(canvas);
}

}  // namespace qcd
