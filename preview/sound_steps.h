// The MP3/WAVE sound's button rows (Mp3Sound and its play states), its play-time text, and
// the ticks of Timer5 (position and endless repeat) and Timer6 (seeking while paused).
// Portable code: the library and the background are reached through the interfaces below.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/message_pump.h"
#include "base/timer_owner.h"
#include "preview/button_rows.h"
#include "preview/preview_kind.h"
#include "preview/sound_background.h"

namespace qcd {

// The VBMP3 calls the rows and timers make.
class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    virtual void SetVolume(int32_t left, int32_t right) = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
    virtual void Pause() = 0;
    virtual void Restart() = 0;
    virtual void Seek(int32_t seconds) = 0;
    // 0 stopped (also at the end), 1 playing, 2 paused; writes the position in seconds.
    virtual int32_t GetState(int32_t& positionSeconds) = 0;
};

struct SoundContext {
    PanelActions& panel;
    SoundPlayer& player;
    SoundBackground& background;
    TimerOwner& timers;
    PreviewState& state;
    bool& mp3Open;
    bool& seekForward;  // the direction Timer6 moves
    MessagePump& pump;
};

// The control's one state query: the position is written to `SoundPosition` every time.
int32_t Vbmp3State(const SoundContext& context);

void PressSound(const SoundContext& context, PanelButton button);

// Timer5: the position shown; a sound that reached its end is played again from 0.
void Mp3ProgressTick(const SoundContext& context);
// Timer6: 10 s forward or back per tick while paused, ending at either end of the sound.
void Mp3SeekTick(const SoundContext& context);

}  // namespace qcd
