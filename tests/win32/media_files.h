// Media files the tests write byte by byte, and the videos the build makes with ffmpeg.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "picture_files.h"

namespace qcd::test {

inline void PutBig32(Bytes& b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
}

// A MIDI variable-length quantity.
inline void PutVarLength(Bytes& b, uint32_t v) {
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<uint8_t>(v & 0x7F);
        v >>= 7;
    } while (v);
    while (n--) b.push_back(static_cast<uint8_t>(groups[n] | (n ? 0x80 : 0)));
}

// A type-0 MIDI file of `milliseconds`: 500 ticks a quarter note at the default tempo of two
// quarters a second, so a tick is a millisecond; one note held to the end.
inline Bytes MidiFile(uint32_t milliseconds) {
    Bytes track;
    PutVarLength(track, 0);
    track.insert(track.end(), {0x90, 60, 100});                        // note on
    PutVarLength(track, milliseconds);
    track.insert(track.end(), {0x80, 60, 0});                          // note off
    PutVarLength(track, 0);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});                     // end of track
    Bytes file = {'M', 'T', 'h', 'd'};
    PutBig32(file, 6);
    file.insert(file.end(), {0, 0, 0, 1, 0x01, 0xF4});  // format 0, one track, 500 ticks
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    PutBig32(file, static_cast<uint32_t>(track.size()));
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

// The videos the build made (Microsoft Video 1: Wine's player draws it, not plain RGB):
// clip.avi 160 x 120 with 250 frames, tall.avi 100 x 200 with 30, small.avi 64 x 48 with 30.
inline std::filesystem::path VideoFixture(const char* name) { return OnDriveZ(QCD_FIXTURE_DIR) / name; }

}  // namespace qcd::test
