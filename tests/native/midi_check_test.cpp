#include "readers/midi_check.h"

#include <gtest/gtest.h>

#include <vector>

#include "sparse_file.h"
#include "test_bytes.h"

namespace qcd {

void PrintTo(MidiFault fault, std::ostream* os) {
    *os << "fault " << static_cast<int>(fault);
}

namespace {

using test::Bytes;
using F = MidiFault;

Bytes Big(uint32_t v, int bytes) {
    Bytes b;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        b.push_back(static_cast<uint8_t>(v >> shift));
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
}

Bytes Chunk(const char* id, const Bytes& data) {
    return Cat({Bytes(id, id + 4), Big(static_cast<uint32_t>(data.size()), 4), data});
}

Bytes Midi(uint16_t format, uint16_t division, std::vector<Bytes> tracks) {
    Bytes b = Chunk("MThd", Cat({Big(format, 2), Big(static_cast<uint32_t>(tracks.size()), 2),
                                 Big(division, 2)}));
    for (const Bytes& t : tracks) b = Cat({b, Chunk("MTrk", t)});
    return b;
}

const Bytes kEnd = {0x00, 0xFF, 0x2F, 0x00};
const Bytes kNote = {0x00, 0x90, 60, 100};

// A conductor track that ends 30 quarter notes (15 s) in, and a melody of a note each quarter
// under it, with running status, a program change, a name and a system exclusive message.
Bytes Song() {
    Bytes melody = {0x00, 0xFF, 0x03, 5,    'P',  'i',  'a',  'n',  'o',  0x00,
                    0xC0, 0x05, 0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    for (int i = 0; i < 30; ++i) melody = Cat({melody, {0x00, 0x90, 60, 100, 0x83, 0x60, 60, 0}});
    const Bytes conductor = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1,
                             0x20, 0x87, 0x70, 0xFF, 0x2F, 0x00};  // 120 a minute; 14400 ticks
    return Midi(1, 480, {conductor, Cat({melody, kEnd})});
}

TEST(MidiCheck, WellFormedFilesPass) {
    EXPECT_EQ(CheckMidi(Song()), F::None);
    EXPECT_EQ(CheckMidi(Midi(0, 0xE728, {Cat({kNote, kEnd})})), F::None);  // 25 frames of 40
    EXPECT_EQ(CheckMidi(Midi(2, 96, {Cat({kNote, kEnd}), Cat({kNote, kEnd})})), F::None);
    Bytes between = Midi(1, 96, {Cat({kNote, kEnd})});
    between.insert(between.begin() + 14, {'X', 'F', 'I', 'H', 0, 0, 0, 2, 1, 2});
    EXPECT_EQ(CheckMidi(between), F::None);  // an unknown chunk, skipped
    // One note held for a minute: a long wait is no fault.
    const Bytes held = {0x00, 0x90, 60, 100, 0x83, 0xDF, 0x58, 0x80, 60, 0};
    EXPECT_EQ(CheckMidi(Midi(0, 500, {Cat({held, kEnd})})), F::None);
}

TEST(MidiCheck, DamagedFilesAreRefusedWithTheirFault) {
    const auto one = [](const Bytes& events) { return Midi(0, 96, {Cat({events, kEnd})}); };
    const auto header = [](size_t at, uint8_t v) {
        Bytes b = Song();
        b[at] = v;
        return b;
    };
    struct Case {
        const char* what;
        Bytes file;
        F fault;
    } const cases[] = {
        {"no MThd", header(3, 'x'), F::Header},
        {"header of 5 bytes", header(7, 5), F::Header},
        {"format 3", header(9, 3), F::Format},
        {"no tracks", header(11, 0), F::Format},
        {"format 0 of two tracks", header(9, 0), F::Format},
        {"division 0", Midi(0, 0, {Cat({kNote, kEnd})}), F::Division},
        {"23 frames a second", Midi(0, 0xE928, {Cat({kNote, kEnd})}), F::Division},
        {"three tracks counted", header(11, 3), F::Track},
        {"track past the end", header(18, 0x7F), F::Track},
        {"five-byte length", one({0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 100}), F::Events},
        {"running status first", one({0x00, 60, 100}), F::Events},
        {"running status after a meta", one(Cat({kNote, {0x00, 0xFF, 0x01, 0x00, 0x00, 62, 9}})),
         F::Events},
        {"meta past the track", Midi(0, 96, {{0x00, 0xFF, 0x01, 0x10, 'a'}}), F::Events},
        {"sysex past the track", Midi(0, 96, {{0x00, 0xF0, 0x7F, 0xF7}}), F::Events},
        {"timing clock", one({0x00, 0xF8}), F::Events},
        {"status for data", one({0x00, 0x90, 60, 0x90}), F::Events},
        {"event of 64 KB", one(Cat({{0x00, 0xF0, 0x83, 0xFF, 0x7C}, Bytes(0xFFFC, 0)})), F::Events},
        {"empty track", Midi(0, 96, {{}}), F::Events},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckMidi(c.file), c.fault) << c.what;
}

TEST(MidiCheck, WorkIsBounded) {
    // A 200 MB track of zeros is refused before a byte of it is read.
    test::SparseFile zeros(Midi(0, 96, {{}}), 200u << 20);
    zeros.head[18] = 0x0C;  // the track: 192 MB
    EXPECT_EQ(CheckMidi(zeros), F::TooLarge);
    EXPECT_EQ(zeros.reads, 0);

    const auto notes = [](uint32_t events) {
        Bytes t = kNote;
        t.resize(kNote.size() + 3 * (events - 2), 0);
        for (size_t at = kNote.size(); at < t.size(); at += 3) t[at + 1] = 60;
        return Midi(0, 96, {Cat({t, kEnd})});
    };
    EXPECT_EQ(CheckMidi(notes(kMaxMidiEvents)), F::None);
    EXPECT_EQ(CheckMidi(notes(kMaxMidiEvents + 1)), F::Budget);
}

}  // namespace
}  // namespace qcd
