// The outside MP3/WAVE library VBMP3.dll (its interface: vbmp3/vbmp3.h), loaded when first
// needed from the folder of the control's own binary by its full path: the Open dialog
// changes the current directory as the user browses, so loading through it would let any
// folder plant a library.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "platform/handles.h"
#include "vbmp3/vbmp3.h"

namespace qcd {

class Vbmp3 {
public:
    // Without the library every call does nothing and Open reports failure, so a sound
    // previews as one the library rejected and the Open dialog keeps working.
    bool Loaded();

    void Init();
    void Free();
    // Through the library's wide open when it has one; a library without it is given a name
    // in the ANSI code page, and a file that has none is not playable.
    bool Open(const std::u16string& path, Vbmp3Info& info);
    void Play();
    void Stop();
    void Pause();
    void Restart();
    void Seek(int32_t seconds);
    void SetVolume(int32_t left, int32_t right);
    // 0 stopped (also at the end), 2 paused; -1 when the library is missing.
    int32_t GetState(int32_t& positionSeconds);
    void GetSpectrum(std::array<int32_t, 256>& left, std::array<int32_t, 256>& right);

private:
    void Load();
    // Runs one library call unless another is under way on this thread: the platform's wave
    // functions the library calls wait in a way that handles messages other threads send,
    // and a selection handled there would call the library again while it holds its lock
    // for the outer call, which never returns. False when `call` was not run. A stop asked
    // for meanwhile is made when the outer call returns.
    template <typename Call>
    bool Outermost(Call&& call);
    bool inCall_ = false;
    bool stopPending_ = false;
    bool tried_ = false;
    win::unique_hmodule module_;
    Vbmp3Entries api_;
};

// The library is process-wide, like the one sound it plays.
Vbmp3& ProcessVbmp3();

}  // namespace qcd
