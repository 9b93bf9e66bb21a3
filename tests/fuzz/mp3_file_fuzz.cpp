// Feeds arbitrary bytes to the MP3 reader: it must never read past the data, and what it
// accepts must lie inside the file, with a length that follows from its samples, and every
// sample must be found in a frame of the sound.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "vbmp3/sound_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vbmp3::MemorySource source(std::span<const uint8_t>(data, size));
    const auto info = vbmp3::ReadMp3Info(source);
    if (!info) return 0;
    Check(info->format == vbmp3::SoundFormat::Mp3);
    Check(info->dataOffset <= size && info->dataSize <= size - info->dataOffset);
    Check(info->dataSize > 0 && info->samples > 0 && info->rate >= 8000);
    Check(info->lengthSeconds == vbmp3::WholeSeconds(info->samples, info->rate));
    Check(info->channels == 1 || info->channels == 2);
    for (const uint64_t sample : {uint64_t{0}, info->samples / 2, info->samples}) {
        const vbmp3::Mp3Place p = vbmp3::FindMp3Frame(source, *info, sample);
        Check(p.offset >= info->dataOffset && p.offset < info->dataOffset + info->dataSize);
        Check(p.firstSample <= sample);
    }
    return 0;
}
