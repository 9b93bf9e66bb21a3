#include "readers/midi_check.h"

#include <vector>

namespace qcd {

namespace {

using Bytes = std::span<const uint8_t>;

uint32_t Big16(Bytes b, size_t at) {
    return static_cast<uint32_t>(b[at] << 8 | b[at + 1]);
}

uint32_t Big32(Bytes b, size_t at) {
    return Big16(b, at) << 16 | Big16(b, at + 2);
}

bool IdAt(Bytes b, size_t at, const char (&id)[5]) {
    for (size_t i = 0; i < 4; ++i)
        if (b[at + i] != static_cast<uint8_t>(id[i])) return false;
    return true;
}

// A track read event by event, as the sequencer reads it while it plays.
struct Track {
    size_t pos = 0;
    size_t end = 0;
    uint8_t running = 0;  // the last channel status; none after a meta or system event
    bool done = false;
};

// A variable-length quantity of four bytes at most, inside the track.
bool ReadLength(Bytes f, Track& t, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (t.pos >= t.end) return false;
        const uint8_t b = f[t.pos++];
        value = value << 7 | (b & 0x7F);
        if (!(b & 0x80)) return true;
    }
    return false;
}

MidiFault ReadEvent(Bytes f, Track& t) {
    const size_t start = t.pos;
    uint32_t delta = 0, length = 0;
    if (!ReadLength(f, t, delta) || t.pos >= t.end) return MidiFault::Events;
    const uint8_t status = f[t.pos];
    bool last = false;
    if (status == 0xFF || status == 0xF0 || status == 0xF7) {
        uint8_t type = 0;
        ++t.pos;
        if (status == 0xFF) {
            if (t.pos >= t.end || f[t.pos] & 0x80) return MidiFault::Events;
            type = f[t.pos++];
        }
        if (!ReadLength(f, t, length) || length > t.end - t.pos) return MidiFault::Events;
        // The sequencer reads three bytes of a tempo.
        if (status == 0xFF && type == 0x51 && length < 3) return MidiFault::Events;
        last = status == 0xFF && type == 0x2F;
        t.pos += length;
        t.running = 0;
    } else if (status >= 0xF0) {
        return MidiFault::Events;  // real-time and common messages have no place in a file
    } else {
        uint8_t command = t.running;
        if (status & 0x80) {
            command = status;
            ++t.pos;
        } else if (!command) {
            // The sequencer would take the status of whatever it read before.
            return MidiFault::Events;
        }
        const size_t data = (command & 0xE0) == 0xC0 ? 1 : 2;  // program and pressure: one
        if (t.end - t.pos < data) return MidiFault::Events;
        for (size_t i = 0; i < data; ++i)
            if (f[t.pos + i] & 0x80) return MidiFault::Events;
        t.pos += data;
        t.running = command;
    }
    // The sequencer steps from event to event by a 16-bit length: at 64 KB it stands still.
    if (t.pos - start >= 0x10000) return MidiFault::Events;
    t.done = last || t.pos == t.end;
    return MidiFault::None;
}

MidiFault Check(Bytes f) {
    if (f.size() < 14 || !IdAt(f, 0, "MThd")) return MidiFault::Header;
    const uint32_t headerSize = Big32(f, 4);
    if (headerSize < 6 || headerSize > f.size() - 8) return MidiFault::Header;
    const uint32_t format = Big16(f, 8), count = Big16(f, 10), division = Big16(f, 12);
    if (format > 2 || count == 0 || (format == 0 && count != 1)) return MidiFault::Format;
    if (division == 0) return MidiFault::Division;
    if (division & 0x8000) {
        const int frames = -static_cast<int8_t>(division >> 8);
        if ((frames != 24 && frames != 25 && frames != 29 && frames != 30) ||
            (division & 0xFF) == 0)
            return MidiFault::Division;
    }
    // The tracks, other chunks between them skipped.
    std::vector<Track> tracks;
    for (size_t at = 8 + headerSize; tracks.size() < count;) {
        if (f.size() - at < 8) return MidiFault::Track;
        const uint32_t size = Big32(f, at + 4);
        if (size > f.size() - at - 8) return MidiFault::Track;
        if (IdAt(f, at, "MTrk")) {
            Track t;
            t.pos = at + 8;
            t.end = at + 8 + size;
            tracks.push_back(t);
        }
        at += 8 + size;
    }
    uint32_t events = 0;
    for (Track& t : tracks) {
        if (t.pos == t.end) return MidiFault::Events;  // nothing to play
        while (!t.done) {
            if (++events > kMaxMidiEvents) return MidiFault::Budget;
            if (const MidiFault fault = ReadEvent(f, t); fault != MidiFault::None) return fault;
        }
    }
    return MidiFault::None;
}

}  // namespace

MidiFault CheckMidi(FileReader& file) {
    const uint64_t size = file.Size();
    // Before anything is read: the bound is what keeps a huge file quick to refuse.
    if (size > kMaxMidiSize) return MidiFault::TooLarge;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (file.ReadAt(0, bytes) != bytes.size()) return MidiFault::Header;
    return Check(bytes);
}

MidiFault CheckMidi(std::span<const uint8_t> file) {
    SpanReader reader(file);
    return CheckMidi(reader);
}

}  // namespace qcd
