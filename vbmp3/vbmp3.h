// VBMP3.dll: plays one WAVE or MP3 file at a time through the platform's wave output, and
// reports its state, position and spectrum to a caller that polls it. All entry points use
// the standard calling convention and are exported under these undecorated names. The one
// statement of the interface: the library defines it, the control's loader (media/vbmp3.*)
// and the tests bind it by name.
//
// States: 0 stopped (after open, stop, at the end of the sound, and with nothing open),
// 1 playing, 2 paused.
//   - vbmp3_open closes what was open (stopping it), then opens `path` (ANSI) with read,
//     write and delete sharing, reads its format and length and fills `info`; 0 on any
//     error, with nothing open then. It never writes beyond the 272 bytes of the record.
//   - vbmp3_stop ends the playing and keeps the file open; vbmp3_play always starts from 0.
//   - vbmp3_pause acts only while playing; vbmp3_restart only while paused, and continues
//     from where the pause held or from a position sought meanwhile.
//   - vbmp3_seek(seconds), clamped to 0..length: while paused it stores the position exactly
//     (vbmp3_getState returns it unchanged until the restart); while playing it plays on
//     from there; stopped, it does nothing.
//   - vbmp3_getState returns the state and writes the position in whole seconds: the samples
//     the device has played (not decoded) since playing started, plus the place it started
//     from; 0 when stopped.
//   - vbmp3_setVolume(left, right), 0..100 each, 100 = unity: applied to the library's own
//     samples, never to a device's volume.
//   - vbmp3_getSpectrum fills two arrays of 256 int32: a Hann-windowed 512-point FFT of the
//     samples being heard now, bin k at k * rate / 512 Hz, in decibels so that silence stays
//     below 40 and a full-scale tone reaches about 110 (0..120); a mono sound gives the same
//     bins twice; zeros when not playing.
//   - vbmp3_init and vbmp3_free may be called any number of times; init after free works.
//     free stops and closes everything. The other calls work without init.
//   - No wave output: play leaves the state 0. The library shows no user interface and never
//     runs the caller's messages.
//   - Results: 1 done, 0 refused (open's result is 16-bit in the caller's view).
//
// Decoding: WAVE PCM of 8 or 16 bits directly (tag 1, or WAVE_FORMAT_EXTENSIBLE with the
// PCM sub-format); MS ADPCM, IMA ADPCM, A-law, mu-law, MP3 frames in WAVE, and MP3 files
// (MPEG-1, 2 and 2.5 Layer III) through the platform's audio compression manager. Mono or
// stereo, 1..384000 Hz.
// A WAVE format record reaches the converters only when it keeps its tag's rules (vbmp3/
// sound_file.cpp, CheckWaveFormat): the extra bytes inside the chunk, MS ADPCM's standard
// coefficients and samples per block, IMA ADPCM's whole words and samples per block, MPEG's
// record and byte rate, A-law's and mu-law's byte a sample. Every other tag is refused at open:
// IEEE float (Wine's PCM converter reads none), GSM 6.10, ..., which a converter may play.
// Samples are fed to the device by a worker thread of the library's own; stop and free tell
// it to leave and wait for it, then reset and close the device, before anything it uses is
// freed. The lock the thread shares with the entry points is never held across a converter or
// device call, and a file cut inside a frame ends at its last whole frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// The entry points' calling convention. The library and its callers are 32-bit Windows
// programs; the portable build reads only the record and the types.
#ifdef _WIN32
#define VBMP3_CALL __stdcall
#else
#define VBMP3_CALL
#endif

// The record vbmp3_open fills: the format named in `format` ("MPEG-1 Layer III", "WAVE PCM",
// ...), `text` empty; then the sampling rate, the channels, the bit rate in kbit/s and the
// length in whole seconds: floor(samples / rate).
struct Vbmp3Info {
    char format[128];
    char text[128];
    int32_t rate;
    int32_t channels;
    int32_t kbps;
    int32_t lengthSeconds;
};
static_assert(sizeof(Vbmp3Info) == 272);
static_assert(offsetof(Vbmp3Info, format) == 0 && offsetof(Vbmp3Info, text) == 128);
static_assert(offsetof(Vbmp3Info, rate) == 256 && offsetof(Vbmp3Info, channels) == 260);
static_assert(offsetof(Vbmp3Info, kbps) == 264 && offsetof(Vbmp3Info, lengthSeconds) == 268);

extern "C" {

// The entry points' types. A caller that loads the library binds each name to a pointer of
// its type (GetProcAddress(module, "vbmp3_open") as Vbmp3OpenFn*).
typedef int32_t VBMP3_CALL Vbmp3InitFn();
typedef int32_t VBMP3_CALL Vbmp3FreeFn();
typedef int32_t VBMP3_CALL Vbmp3OpenFn(const char* path, Vbmp3Info* info);
// vbmp3_openW: vbmp3_open with the path in UTF-16, for names the ANSI code page cannot hold.
// Ours only: a caller binds it when the loaded library has it.
typedef int32_t VBMP3_CALL Vbmp3OpenWideFn(const wchar_t* path, Vbmp3Info* info);
typedef int32_t VBMP3_CALL Vbmp3PlayFn();
typedef int32_t VBMP3_CALL Vbmp3StopFn();
typedef int32_t VBMP3_CALL Vbmp3PauseFn();
typedef int32_t VBMP3_CALL Vbmp3RestartFn();
typedef int32_t VBMP3_CALL Vbmp3SeekFn(int32_t seconds);
typedef int32_t VBMP3_CALL Vbmp3SetVolumeFn(int32_t left, int32_t right);
typedef int32_t VBMP3_CALL Vbmp3GetStateFn(int32_t* positionSeconds);
typedef int32_t VBMP3_CALL Vbmp3GetSpectrumFn(int32_t* left, int32_t* right);

// The exports, declared by their types: the library's definitions must match them.
Vbmp3InitFn vbmp3_init;
Vbmp3FreeFn vbmp3_free;
Vbmp3OpenFn vbmp3_open;
Vbmp3OpenWideFn vbmp3_openW;
Vbmp3PlayFn vbmp3_play;
Vbmp3StopFn vbmp3_stop;
Vbmp3PauseFn vbmp3_pause;
Vbmp3RestartFn vbmp3_restart;
Vbmp3SeekFn vbmp3_seek;
Vbmp3SetVolumeFn vbmp3_setVolume;
Vbmp3GetStateFn vbmp3_getState;
Vbmp3GetSpectrumFn vbmp3_getSpectrum;

}  // extern "C"

// The entry points as a caller that loads the library finds them; a missing one stays null.
struct Vbmp3Entries {
    Vbmp3InitFn* init = nullptr;
    Vbmp3FreeFn* free = nullptr;
    Vbmp3OpenFn* open = nullptr;
    Vbmp3OpenWideFn* openWide = nullptr;
    Vbmp3PlayFn* play = nullptr;
    Vbmp3StopFn* stop = nullptr;
    Vbmp3PauseFn* pause = nullptr;
    Vbmp3RestartFn* restart = nullptr;
    Vbmp3SeekFn* seek = nullptr;
    Vbmp3SetVolumeFn* setVolume = nullptr;
    Vbmp3GetStateFn* getState = nullptr;
    Vbmp3GetSpectrumFn* getSpectrum = nullptr;

    // `find` gives an export's address by its name (GetProcAddress), or null.
    template <typename Find>
    void Bind(Find&& find) {
        const auto bind = [&](const char* name, auto*& entry) {
            entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(find(name));
        };
        bind("vbmp3_init", init);
        bind("vbmp3_free", free);
        bind("vbmp3_open", open);
        bind("vbmp3_openW", openWide);
        bind("vbmp3_play", play);
        bind("vbmp3_stop", stop);
        bind("vbmp3_pause", pause);
        bind("vbmp3_restart", restart);
        bind("vbmp3_seek", seek);
        bind("vbmp3_setVolume", setVolume);
        bind("vbmp3_getState", getState);
        bind("vbmp3_getSpectrum", getSpectrum);
    }
};
