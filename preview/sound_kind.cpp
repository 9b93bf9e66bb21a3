// WAVE and MP3 sounds (.wav, .mp3): opened in VBMP3, played, paused and sought with the
// buttons. Timer5 shows the position and repeats the sound at its end, Timer6 seeks while
// paused, and with BackGroundSlide = 1 Timer7 draws the spectrum analyser on the wave surface.
#include <windows.h>

#include <algorithm>

#include "media/media_session.h"
#include "media/vbmp3.h"
#include "platform/text.h"
#include "preview/canvas.h"
#include "preview/kind.h"
#include "preview/play_time.h"
#include "preview/sound_steps.h"
#include "preview/analyser_display.h"
#include "platform/trace.h"

namespace qcd {

namespace {

class LibraryPlayer final : public SoundPlayer {
  public:
    explicit LibraryPlayer(Vbmp3& library) : library_(library) {}
    void SetVolume(int32_t left, int32_t right) override { library_.SetVolume(left, right); }
    void Play() override { library_.Play(); }
    void Stop() override { library_.Stop(); }
    void Pause() override { library_.Pause(); }
    void Restart() override { library_.Restart(); }
    void Seek(int32_t seconds) override { library_.Seek(seconds); }
    int32_t GetState(int32_t& position) override { return library_.GetState(position); }

  private:
    Vbmp3& library_;
};

// Timer7's work: the levels of the last spectrum drawn onto the wave surface's own pixels.
class SpectrumPainter {
  public:
    // One tick: the wave surface black at the area's size, the spectrum drawn, the area updated.
    void Tick(Canvas& canvas, Vbmp3& library) {
        Surface* wave = BlankWave(canvas);
        if (!wave) return;
        SpectrumBins a{}, b{};
        library.GetSpectrum(a, b);
        // The wave surface's height in twips, 15 to the pixel.
        display_.Update(a, b, wave->Height() * 15);
        DrawLevels(*wave);
        wave->CopyToWindow(canvas.Area(), wave->Width(), wave->Height());
    }

    // The levels as they stand, drawn again at the area's new size (a paused sound keeps its
    // last spectrum on the area).
    void Redraw(Canvas& canvas) const {
        if (Surface* wave = BlankWave(canvas)) DrawLevels(*wave);
    }

  private:
    // The wave surface at the area's size, all black; null when it cannot be had.
    static Surface* BlankWave(Canvas& canvas) {
        if (!canvas.Panel() || !canvas.MeasureArea()) return nullptr;
        const int w = canvas.AreaWidth(), h = canvas.AreaHeight();
        Surface& wave = canvas.Wave();
        if (!wave.Resize(w, h) || !wave.Pixels()) return nullptr;
        GdiFlush();  // nothing GDI drew may still be on its way into the pixels
        std::fill_n(wave.Pixels(), static_cast<size_t>(w) * static_cast<size_t>(h), 0u);
        return &wave;
    }
    void DrawLevels(Surface& wave) const {
        display_.Draw({wave.Pixels(), wave.Width(), wave.Height(), wave.Width()}, wave.Height() * 15);
    }

    // Kept from one sound to the next: the old bars fall away under the new ones.
    SpectrumDisplay display_;
};

bool IsBuiltinBackground(const Canvas& canvas) {
    return canvas.Props().BackGroundSlide == static_cast<int32_t>(BGSType::Builtin);
}

// Behind the sound with BackGroundSlide = 1: the spectrum on the wave surface, drawn by Timer7.
// With 0 nothing is shown; with 2 the canvas's background shows the folder's slides.
class SpectrumBackground final : public SoundBackground {
  public:
    explicit SpectrumBackground(Canvas& canvas) : canvas_(canvas) {}

    void Start(SoundSource source) override {
        if (SoundBackground* other = Other()) return other->Start(source);
        if (!Builtin() || !canvas_.MeasureArea()) return;
        Surface& wave = canvas_.Wave();
        wave.Resize(canvas_.AreaWidth(), canvas_.AreaHeight());
        wave.Clear();
        wave.CopyToWindow(canvas_.Area(), canvas_.AreaWidth(), canvas_.AreaHeight());
        canvas_.StartTimer(TimerId::Spectrum);
    }
    // The last spectrum stays on the area while the sound is paused.
    void Snapshot(SoundSource source) override {
        if (SoundBackground* other = Other()) return other->Snapshot(source);
        if (Builtin()) canvas_.Wave().CopyToWindow(canvas_.Area(), canvas_.AreaWidth(), canvas_.AreaHeight());
    }
    void Resume(SoundSource source) override {
        if (SoundBackground* other = Other()) return other->Resume(source);
        if (Builtin()) canvas_.StartTimer(TimerId::Spectrum);
    }
    // The spectrum itself is the sound kind's to draw again.
    void Refit(SoundSource source) override {
        if (SoundBackground* other = Other()) other->Refit(source);
    }
    void Clear() override {
        if (SoundBackground* other = Other()) return other->Clear();
        if (!Builtin()) return;
        canvas_.Wave().Clear();
        canvas_.Wave().CopyToWindow(canvas_.Area(), canvas_.AreaWidth(), canvas_.AreaHeight());
    }

  private:
    bool Builtin() const { return IsBuiltinBackground(canvas_); }
    // The folder's slides are not this sound's own.
    SoundBackground* Other() const {
        return canvas_.Props().BackGroundSlide == static_cast<int32_t>(BGSType::Folder)
                   ? canvas_.Background()
                   : nullptr;
    }
    Canvas& canvas_;
};

class SoundKind final : public Kind {
  public:
    explicit SoundKind(Canvas& canvas)
        : canvas_(canvas), player_(canvas.Media()->Sound()) {
        TimerOwner& timers = canvas.Timers();
        timers.Register(TimerId::Mp3Progress, [this] { OnTick(TimerId::Mp3Progress, Mp3ProgressTick); });
        timers.Register(TimerId::Mp3Seek, [this] { OnTick(TimerId::Mp3Seek, Mp3SeekTick); });
        timers.Register(TimerId::Spectrum, [this] {
            if (IsVbmp3Sound(canvas_.State().kind)) spectrum_.Tick(canvas_, canvas_.Media()->Sound());
        });
    }
    ~SoundKind() override {
        for (TimerId t : {TimerId::Mp3Progress, TimerId::Mp3Seek, TimerId::Spectrum})
            canvas_.Timers().Register(t, nullptr);
    }

    StartResult Start(const std::u16string& path) override {
        Vbmp3& library = canvas_.Media()->Sound();
        // Stops what plays first; a library that is missing rejects every file.
        library.Stop();
        Vbmp3Info info;
        const uint32_t generation = canvas_.Generation();
        const bool opened = library.Open(path, info);
        // The open may have let in a selection another thread sent: it owns the panel now.
        if (canvas_.Generation() != generation) return StartResult::Overtaken;
        if (!opened) {
            win::Trace("sound preview", "the library did not open the file");
            return StartResult::Shown;
        }
        PreviewState& state = canvas_.State();
        state.soundLength = info.lengthSeconds;
        Vbmp3State(Context());
        canvas_.SetText(PanelLabel::Size, u"");
        canvas_.SetText(PanelLabel::Index, PlayTimeText(state.soundPosition, state.soundLength));
        canvas_.Enable(PanelButton::Play, true);
        if (Builtin()) {
            Surface& wave = canvas_.Wave();
            wave.Resize(canvas_.AreaWidth(), canvas_.AreaHeight());
            wave.Clear();
        }
        state.kind = PreviewKind::Mp3Sound;
        return StartResult::Shown;
    }

    void Press(PanelButton button) override { PressSound(Context(), button); }

    void Refit() override {
        const PreviewKind kind = canvas_.State().kind;
        if (kind == PreviewKind::Mp3Sound || !IsVbmp3Sound(kind)) return;
        if (Builtin())
            spectrum_.Redraw(canvas_);
        else
            background_.Refit(SoundSource::Vbmp3);
    }

  private:
    bool Builtin() const { return IsBuiltinBackground(canvas_); }

    SoundContext Context() {
        return {canvas_,
                player_,
                background_,
                canvas_.Timers(),
                canvas_.State(),
                canvas_.Media()->Mp3OpenFlag(),
                seekForward_,
                canvas_};
    }

    void OnTick(TimerId timer, void (*tick)(const SoundContext&)) {
        if (!canvas_.Panel()) {
            canvas_.Timers().SetEnabled(timer, false);
            return;
        }
        tick(Context());
    }

    Canvas& canvas_;
    LibraryPlayer player_;
    SpectrumPainter spectrum_;
    SpectrumBackground background_{canvas_};
    bool seekForward_ = false;
};

}  // namespace

std::unique_ptr<Kind> MakeSoundKind(Canvas& canvas) { return std::make_unique<SoundKind>(canvas); }

}  // namespace qcd
