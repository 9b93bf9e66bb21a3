#include "preview/sound_steps.h"

#include <algorithm>
#include <array>

#include "preview/play_time.h"

namespace qcd {

namespace {

void ShowTime(const SoundContext& c) {
    c.panel.SetText(PanelLabel::Index, PlayTimeText(c.state.soundPosition, c.state.soundLength));
}

// 50 -(1005)-> 51: the sound starts from 0 with its background.
bool PlayFromStart(const SoundContext& c) {
    c.panel.Repaint();
    c.panel.SetPlayCaption(PlayCaption::Stop);
    c.panel.Enable(PanelButton::Forward, false);
    c.panel.Enable(PanelButton::Back, false);
    c.panel.Enable(PanelButton::Pause, true);
    c.mp3Open = true;
    c.player.SetVolume(100, 100);
    c.player.Play();
    c.panel.StartTimer(TimerId::Mp3Progress);
    c.state.kind = PreviewKind::Mp3Playing;
    c.background.Start(SoundSource::Vbmp3);
    return true;
}

// 51 -(1005)-> 50: stopped, the position shown where the library left it.
bool StopPlaying(const SoundContext& c) {
    // Messages run twice before the stop, as ticks and paints may be waiting; a selection
    // made meanwhile has stopped the sound and owns the panel now.
    for (int i = 0; i < 2; ++i)
        if (c.pump.LetMessagesRun() != PumpResult::Continue) return false;
    c.panel.Repaint();
    c.panel.SetPlayCaption(PlayCaption::Play);
    c.panel.Enable(PanelButton::Forward, false);
    c.panel.Enable(PanelButton::Back, false);
    c.panel.Enable(PanelButton::Pause, false);
    c.player.Stop();
    c.mp3Open = false;
    Vbmp3State(c);
    ShowTime(c);
    c.panel.SetText(PanelLabel::Size, u"");
    c.panel.ClearCopy();
    c.panel.Repaint();
    // The last spectrum would come back with the next paint of the area.
    c.background.Clear();
    return true;
}

// 52, 53, 54 -> 51: on from the paused or sought position.
bool Resume(const SoundContext& c) {
    c.panel.SetPlayCaption(PlayCaption::Stop);
    c.panel.Enable(PanelButton::Forward, false);
    c.panel.Enable(PanelButton::Back, false);
    c.panel.Enable(PanelButton::Pause, true);
    c.player.Restart();
    c.panel.StartTimer(TimerId::Mp3Progress);
    c.background.Resume(SoundSource::Vbmp3);
    return true;
}

bool Pause(const SoundContext& c) {
    c.panel.SetPlayCaption(PlayCaption::Play);
    c.panel.Enable(PanelButton::Forward, true);
    c.panel.Enable(PanelButton::Back, true);
    c.panel.Enable(PanelButton::Pause, true);
    c.player.Pause();
    c.background.Snapshot(SoundSource::Vbmp3);
    return true;
}

bool StartSeek(const SoundContext& c, bool forward) {
    c.panel.Enable(PanelButton::Forward, false);
    c.panel.Enable(PanelButton::Back, false);
    c.seekForward = forward;
    c.panel.StartTimer(TimerId::Mp3Seek);
    return true;
}
bool SeekForward(const SoundContext& c) { return StartSeek(c, true); }
bool SeekBack(const SoundContext& c) { return StartSeek(c, false); }

// 53, 54 -(1008)-> 52: the seek ends where it stands.
bool EndSeek(const SoundContext& c) {
    c.panel.Enable(PanelButton::Forward, true);
    c.panel.Enable(PanelButton::Back, true);
    Vbmp3State(c);
    ShowTime(c);
    return true;
}

using Row = PressRow<SoundContext>;
using K = PreviewKind;
using B = PanelButton;
constexpr std::array<Row, 11> kRows = {{
    {K::Mp3Sound, B::Play, PlayFromStart, K::Mp3Playing},
    {K::Mp3Playing, B::Play, StopPlaying, K::Mp3Sound},
    {K::Mp3Paused, B::Play, Resume, K::Mp3Playing},
    {K::Mp3Forward, B::Play, Resume, K::Mp3Playing},
    {K::Mp3Backward, B::Play, Resume, K::Mp3Playing},
    {K::Mp3Paused, B::Forward, SeekForward, K::Mp3Forward},
    {K::Mp3Paused, B::Back, SeekBack, K::Mp3Backward},
    {K::Mp3Playing, B::Pause, Pause, K::Mp3Paused},
    {K::Mp3Paused, B::Pause, Resume, K::Mp3Playing},
    {K::Mp3Forward, B::Pause, EndSeek, K::Mp3Paused},
    {K::Mp3Backward, B::Pause, EndSeek, K::Mp3Paused},
}};

}  // namespace

int32_t Vbmp3State(const SoundContext& c) {
    int32_t position = 0;
    const int32_t state = c.player.GetState(position);
    c.state.soundPosition = position;
    return state;
}

void PressSound(const SoundContext& context, PanelButton button) {
    RunPressRow<SoundContext>(kRows, context, context.state.kind, button);
}

void Mp3ProgressTick(const SoundContext& c) {
    if (Vbmp3State(c) == 0) {
        // The end was reached: the sound repeats for as long as it is meant to play.
        c.player.Stop();
        c.player.Play();
    }
    ShowTime(c);
}

void Mp3SeekTick(const SoundContext& c) {
    if (Vbmp3State(c) != 2) {
        c.timers.SetEnabled(TimerId::Mp3Seek, false);
        return;
    }
    // In 64 bits: a length near the largest position must not wrap.
    int64_t position = c.state.soundPosition;
    if (c.seekForward) {
        position += 10;
        if (position >= c.state.soundLength) {
            position = c.state.soundLength;
            c.timers.SetEnabled(TimerId::Mp3Seek, false);
        }
    } else {
        position -= 10;
        if (position <= 0) {
            position = 0;
            c.timers.SetEnabled(TimerId::Mp3Seek, false);
        }
    }
    c.state.soundPosition = static_cast<int32_t>(position);
    c.player.Seek(c.state.soundPosition);
    ShowTime(c);
}

}  // namespace qcd
