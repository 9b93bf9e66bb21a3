#include "media/media_session.h"

#include "media/mci_commands.h"
#include "media/vbmp3.h"

namespace qcd {

void MediaSession::BeginDialog() {
    videoAlias_ = u"msfile";
    mp3Open_ = false;
    mci_.WaveVolume(true);
    mci_.MciClose(MciSoundAlias);
    vbmp3_.Init();
}

void MediaSession::EndDialog() {
    videoAlias_.clear();
    vbmp3_.Free();
    mci_.WaveVolume(false);
}

void MediaSession::StopMp3() {
    vbmp3_.Stop();
    mp3Open_ = false;
}

PumpResult MediaSession::StopDevices(MessagePump& pump) {
    if (mp3Open_) StopMp3();
    mci_.MciStop(MciSoundAlias);
    mci_.MciClose(MciSoundAlias);
    // Last: the close lets messages run, and a selection handled there opens its own devices,
    // which nothing here may close after it.
    if (videoAlias_.empty()) return PumpResult::Continue;
    return mci_.VideoClose(videoAlias_, pump);
}

void MediaSession::RestoreVolume() { mci_.WaveVolume(false); }

}  // namespace qcd
