// The devices a preview may open while the Open dialog is up: the video under its alias, the
// VBMP3 sound and the MCI sound "ATYPE", with the wave-out volume saved around the dialog.
#pragma once

#include <cstdint>
#include <string>

#include "base/message_pump.h"

namespace qcd {

class MciLayer;
class Vbmp3;

class MediaSession {
  public:
    MediaSession(MciLayer& mci, Vbmp3& vbmp3) : mci_(mci), vbmp3_(vbmp3) {}

    // Before the Open dialog: the volume saved, a left-over "ATYPE" closed, VBMP3 started.
    void BeginDialog();
    // After it: VBMP3 freed and the volume put back.
    void EndDialog();

    // Stops the VBMP3 sound, stops and closes "ATYPE", closes the video if one is open; their
    // errors are not reported. The video's close lets messages run through `pump`.
    PumpResult StopDevices(MessagePump& pump);
    // The wave-out volume saved before the dialog, put back.
    void RestoreVolume();

    MciLayer& Mci() { return mci_; }
    Vbmp3& Sound() { return vbmp3_; }
    // "msfile" while the Open dialog is up.
    const std::u16string& VideoAlias() const { return videoAlias_; }
    // A VBMP3 sound is playing or paused.
    bool Mp3Open() const { return mp3Open_; }
    void SetMp3Open(bool open) { mp3Open_ = open; }
    // The flag itself, for the sound's button rows that set and clear it.
    bool& Mp3OpenFlag() { return mp3Open_; }
    void StopMp3();

  private:
    MciLayer& mci_;
    Vbmp3& vbmp3_;
    std::u16string videoAlias_;
    bool mp3Open_ = false;
};

}  // namespace qcd
