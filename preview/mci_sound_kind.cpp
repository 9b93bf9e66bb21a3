// MIDI files and CD-audio tracks (.mid, .cda): opened through MCI under "ATYPE", played,
// paused and stopped with the buttons, the play time kept by Timer8, repeating at the end.
#include "preview/media_kind.h"
#include "readers/midi_check.h"
#include "preview/opened_file.h"
#include "preview/preview_kind.h"
#include "platform/trace.h"

namespace qcd {

namespace {

class MciSoundKind final : public MediaKind {
  public:
    explicit MciSoundKind(Canvas& canvas) : MediaKind(canvas) {
        canvas.Timers().Register(TimerId::MciProgress, [this] {
            if (!canvas_.Panel() || !canvas_.Media()) {
                canvas_.Timers().SetEnabled(TimerId::MciProgress, false);
                return;
            }
            MciProgressTick(Context());
        });
    }
    ~MciSoundKind() override { canvas_.Timers().Register(TimerId::MciProgress, nullptr); }

    StartResult Start(const std::u16string& path) override {
        if (!canvas_.Media()) return StartResult::Shown;
        Opening(path);
        // What the sequencer would not survive is not opened: the file shows as one it cannot
        // play. CD tracks are the drive's.
        if (!MayOpen(path)) {
            win::Trace("MIDI preview", "refused by the file check");
            return StartResult::Shown;
        }
        const MediaStart started = StartMciSound(Context());
        if (started == MediaStart::Failed)
            win::Trace("MIDI preview", canvas_.Media()->Mci().LastMciReply);
        return started == MediaStart::Overtaken ? StartResult::Overtaken : StartResult::Shown;
    }

    void Press(PanelButton button) override {
        if (canvas_.Media()) PressMciSound(Context(), button);
    }

    // Behind a sound that plays or is paused: its pictures.
    void Refit() override {
        const PreviewKind kind = canvas_.State().kind;
        if ((kind == PreviewKind::MciPlaying || kind == PreviewKind::MciPaused) && canvas_.Background())
            canvas_.Background()->Refit(SoundSource::Mci);
    }

  private:
    static bool MayOpen(const std::u16string& path) {
        if (ExtensionKey(path) != u".mid") return true;
        std::optional<OpenedFile> file = OpenedFile::Open(path);
        return file && IsPlayableMidi(*file);
    }
};

}  // namespace

std::unique_ptr<Kind> MakeMciSoundKind(Canvas& canvas) {
    return std::make_unique<MciSoundKind>(canvas);
}

}  // namespace qcd
