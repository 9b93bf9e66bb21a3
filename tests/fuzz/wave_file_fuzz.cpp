// Feeds arbitrary bytes to the WAVE reader: what it accepts lies inside the file, has a rate,
// channels and block size, and PCM is whole sample frames of 8 or 16 bits.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz_check.h"
#include "vbmp3/sound_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vbmp3::MemorySource source(std::span<const uint8_t>(data, size));
    const auto info = vbmp3::ReadSoundInfo(source);
    if (!info || info->format == vbmp3::SoundFormat::Mp3) return 0;
    Check(info->dataOffset <= size && info->dataSize <= size - info->dataOffset);
    Check(info->rate > 0 && info->channels > 0 && info->blockAlign > 0 && info->samples > 0);
    Check(info->formatRecord.size() >= 16 && info->formatRecord.size() <= size);
    Check(info->lengthSeconds == vbmp3::WholeSeconds(info->samples, info->rate));
    if (info->format == vbmp3::SoundFormat::Pcm) {
        Check(info->channels <= 2 && (info->bitsPerSample == 8 || info->bitsPerSample == 16));
        Check(info->samples * info->blockAlign <= info->dataSize);
    }
    return 0;
}
