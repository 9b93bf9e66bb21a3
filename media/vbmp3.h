// The outside MP3/WAVE library VBMP3.dll, loaded when first needed from the folder of the
// control's own binary by its full path: the Open dialog changes the current directory as
// the user browses, so loading through it would let any folder plant a library.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "platform/handles.h"

namespace qcd {

// The record vbmp3_open fills: two 128-byte texts, four int32; the last is the length in
// whole seconds.
struct Vbmp3FileInfo {
    char text1[128];
    char text2[128];
    int32_t values[4];
    int32_t LengthSeconds() const { return values[3]; }
};
static_assert(sizeof(Vbmp3FileInfo) == 272);

class Vbmp3 {
public:
    // Without the library every call does nothing and Open reports failure, so a sound
    // previews as one the library rejected and the Open dialog keeps working.
    bool Loaded();

    void Init();
    void Free();
    bool Open(const std::string& ansiPath, Vbmp3FileInfo& info);
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
    bool tried_ = false;
    win::unique_hmodule module_;
    struct Api {
        void(WINAPI* init)() = nullptr;
        void(WINAPI* free)() = nullptr;
        int16_t(WINAPI* open)(const char*, Vbmp3FileInfo*) = nullptr;
        int32_t(WINAPI* play)() = nullptr;
        int32_t(WINAPI* stop)() = nullptr;
        int32_t(WINAPI* pause)() = nullptr;
        int32_t(WINAPI* restart)() = nullptr;
        int32_t(WINAPI* seek)(int32_t) = nullptr;
        int32_t(WINAPI* setVolume)(int32_t, int32_t) = nullptr;
        int32_t(WINAPI* getState)(int32_t*) = nullptr;
        int32_t(WINAPI* getSpectrum)(int32_t*, int32_t*) = nullptr;
    } api_;
};

// The library is process-wide, like the one sound it plays.
Vbmp3& ProcessVbmp3();

}  // namespace qcd
