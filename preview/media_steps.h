// The video and MCI-sound previews as plain logic over the MCI command layer: their start,
// their button rows and their progress timers (Timer2 for the video, Timer8 for MIDI and CD
// audio). Portable code.
//
// Several video sequences let messages run. A selection handled meanwhile owns the panel from
// then on, and a press handled meanwhile has moved the play state: after every such call a
// routine compares the selection generation and the state with what it started from and, when
// either changed, returns without another command or another touch of the panel.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/timer_owner.h"
#include "media/mci_commands.h"
#include "preview/button_rows.h"
#include "preview/preview_kind.h"
#include "preview/sound_background.h"

namespace qcd {

// What the media routines read and move. Built by the caller for each call.
struct MediaContext {
    PanelActions& panel;
    PreviewState& state;
    TimerOwner& timers;
    MciLayer& mci;
    std::u16string_view videoAlias;
    // The previewed file: its full path and its name.
    std::u16string_view fileName;
    std::u16string_view fileTitle;
    // None: nothing is shown behind the sound.
    SoundBackground* background;
    // Raised by every new selection, folder or type change, OK and the panel's end.
    std::function<uint32_t()> generation;
    MessagePump& pump;
};

// The start of a preview: what the kind reports to the dispatcher.
enum class MediaStart { Shown, Failed, Overtaken };

// Opens the video as a child of the preview area (`areaWindow`, measured w × h), shows its
// first frame fitted, its size and frame line, and enables play, forward and back.
MediaStart StartVideo(const MediaContext& c, int32_t areaWindow, int32_t areaWidth,
                      int32_t areaHeight, VideoPicture& picture);
// Opens a MIDI file or CD track under "ATYPE" (a CD track positioned on its start), shows
// its play time and enables play.
MediaStart StartMciSound(const MediaContext& c);

// The rows of the video (Video and its play states) and of the MCI sound.
void PressVideo(const MediaContext& c, PanelButton button);
void PressMciSound(const MediaContext& c, PanelButton button);

// One tick of Timer2: the frame counter follows the video, fast forward and rewind move 100
// frames a tick, and the end of the video stops the timer.
void VideoPositionTick(const MediaContext& c);
// One tick of Timer8: the play time follows the sound, which repeats at its end (a CD track
// when the disc has played on into the next one).
void MciProgressTick(const MediaContext& c);

// The track number a CD track's file names: the two characters before ".cda", read as a
// leading number (Track05.cda: 5; no digits: 0).
int32_t TrackOfFileName(std::u16string_view fileName);
// "mm:ss/mm:ss" of the MCI sound as the device reports it now, each part read on its own.
std::u16string MciPlayTimeText(const MediaContext& c);

}  // namespace qcd
