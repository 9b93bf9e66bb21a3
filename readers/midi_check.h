// Whether a standard MIDI file may be handed to the platform's sequencer, which reads every event
// of every track when it opens a file, keeps an event's length in 16 bits (one of 64 KB loops
// for ever) and takes running status from whatever came before. Portable code; the file is read
// whole, once its size is within the bound, and every track walked event by event.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "readers/file_reader.h"

namespace qcd {

// The sequencer spends about 35 ms a megabyte of dense notes reading a file at open, on the
// thread that opens it: a 200 MB track of zeros (66 million running-status notes) takes 7 s.
// Real songs are far smaller; 4 MiB and a million events keep the open within about 150 ms.
inline constexpr uint64_t kMaxMidiSize = 4u << 20;
inline constexpr uint32_t kMaxMidiEvents = 1'000'000;

// The first rule a file breaks.
enum class MidiFault : uint8_t {
    None,
    TooLarge,  // over kMaxMidiSize
    Header,    // no 'MThd' first, shorter than 6 bytes or past the end, or the file unreadable
    Format,    // a format over 2, no tracks, format 0 with other than one track
    Division,  // zero, or SMPTE frames other than 24, 25, 29 or 30, or no sub-frames
    Track,     // fewer 'MTrk' chunks than the header counts, or a chunk past the end
    Events,    // a length of over 4 bytes, running status after no channel message, a status
               // the file format does not allow, data past the track, an event of 64 KB
    Budget,    // over kMaxMidiEvents events
};

MidiFault CheckMidi(FileReader& file);
MidiFault CheckMidi(std::span<const uint8_t> file);

inline bool IsPlayableMidi(FileReader& file) {
    return CheckMidi(file) == MidiFault::None;
}
inline bool IsPlayableMidi(std::span<const uint8_t> file) {
    return CheckMidi(file) == MidiFault::None;
}

}  // namespace qcd
