// The pictures behind a sound: with BackGroundSlide = 1 behind a MIDI or CD sound the seven
// built-in pictures, stepped by Timer3; with 2 behind any sound the pictures of SlideFolder,
// one after another with a transition, stepped by Timer4. (The spectrum of 1 behind a VBMP3
// sound is the sound kind's own.)
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/properties.h"
#include "platform/handles.h"
#include "platform/surface.h"
#include "preview/slides.h"
#include "preview/sound_background.h"
#include "preview/transitions.h"

namespace qcd {

class Canvas;

class Slideshow final : public SoundBackground {
  public:
    // Writes the folder's trailing backslash back to `props`; attaches itself to the canvas.
    Slideshow(Canvas& canvas, Properties& props);
    ~Slideshow() override;
    Slideshow(const Slideshow&) = delete;
    Slideshow& operator=(const Slideshow&) = delete;

    // A dialog starts with the first built-in picture, going upwards.
    void BeginDialog() { cycle_ = {}; }

    void Start(SoundSource source) override;
    void Snapshot(SoundSource source) override;
    void Resume(SoundSource source) override;
    void Clear() override {}
    void Refit(SoundSource source) override;

    // The least time a transition frame stays; the leak check and the benchmark take 0.
    void SetFramePeriod(double milliseconds) { framePeriodMs_ = milliseconds; }
    // The drawing of one transition frame, in milliseconds, averaged over the frames since
    // the last call (for the benchmark); 0 before any.
    double TakeFrameDrawTime();
    // The transitions run so far.
    uint32_t Transitions() const { return transitions_; }

  private:
    class Steps;

    bool Builtin() const;
    bool Folder() const;
    // The built-in picture `index` stretched over the copy at the area's size, and shown.
    void DrawBuiltin(int16_t index);
    void StartFolder();
    // The icon strip (the slide just loaded) into the copy at the area's size.
    void CopyNextSlide();
    void PictureSlidesTick();
    void FolderSlidesTick();

    Canvas& canvas_;
    Properties& props_;
    std::array<win::unique_hbitmap, kBuiltinPictureCount> pictures_;
    BuiltinCycle cycle_;
    // The picture on the area: Timer3 has stepped the index past it already.
    int16_t shown_ = 0;
    std::vector<std::u16string> slideFiles_;
    int16_t slideIndex_ = 0;
    // Counts the starts: a tick whose effect let a new start run leaves the slides to it.
    uint32_t starts_ = 0;
    // Never seeded: the same effects in the same order in every run of the host.
    std::mt19937 random_;
    // The erase of the fold effects: the area's size in the area's colour, set by each tick.
    Surface blank_;
    // Each transition frame stays at least this long, so the effect can be seen at all:
    // drawing one takes a millisecond or two.
    double framePeriodMs_ = 20;
    double drawMs_ = 0;
    uint32_t drawnFrames_ = 0;
    uint32_t transitions_ = 0;
};

// The names in `folder` that the slideshow takes, in its order (a folder lister of ours).
std::vector<std::u16string> ListSlides(const std::u16string& folder);

}  // namespace qcd
