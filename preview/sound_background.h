// What plays behind a sound in the preview area (a spectrum, built-in pictures or a folder's
// slides, as BackGroundSlide says): started when a sound starts, frozen when it pauses, going
// on when it resumes. The sound rows call it; the timers behind it are its own.
#pragma once

namespace qcd {

enum class SoundSource { Vbmp3, Mci };

class SoundBackground {
  public:
    virtual ~SoundBackground() = default;
    virtual void Start(SoundSource source) = 0;
    virtual void Snapshot(SoundSource source) = 0;
    virtual void Resume(SoundSource source) = 0;
    // The sound was stopped: nothing of it may come back with the next repaint.
    virtual void Clear() = 0;
    // The area has a new size: what shows is drawn again at it.
    virtual void Refit(SoundSource) {}
};

}  // namespace qcd
