// Feeds arbitrary bytes to the WAVE reader: what it accepts lies inside the file, has a rate,
// channels and block size, and PCM is whole sample frames of 8 or 16 bits. A record for the
// converters is whole, of a tag they are given, and an ADPCM block holds the samples it says.
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
    Check(info->rate > 0 && info->rate <= 384000 && info->channels > 0 && info->channels <= 2);
    Check(info->blockAlign > 0 && info->samples > 0);
    Check(info->formatRecord.size() >= 16 && info->formatRecord.size() <= size);
    Check(info->lengthSeconds == vbmp3::WholeSeconds(info->samples, info->rate));
    if (info->format == vbmp3::SoundFormat::Pcm) {
        Check(info->bitsPerSample == 8 || info->bitsPerSample == 16);
        Check(info->samples * info->blockAlign <= info->dataSize);
        return 0;
    }
    const auto& r = info->formatRecord;
    Check(r.size() >= 18 && r.size() == 18u + (r[16] | r[17] << 8) && info->avgBytesPerSec > 0);
    const uint32_t ch = info->channels, samplesPerBlock = r.size() >= 20 ? (r[18] | r[19] << 8) : 0;
    switch (info->formatTag) {
    case 2:  // a header of 7 bytes a channel with two samples, then a nibble a sample
        Check(samplesPerBlock >= 2 && 7 * ch + (samplesPerBlock - 2) * ch / 2 <= info->blockAlign);
        break;
    case 0x11:  // a header of 4 bytes a channel with one sample, then 8 samples a word
        Check(samplesPerBlock >= 1 && (samplesPerBlock - 1) % 8 == 0 &&
              4 * ch + (samplesPerBlock - 1) * ch / 2 <= info->blockAlign);
        break;
    case 0x55:
        Check(r.size() >= 30);
        break;
    default:
        Check(false);
    }
    return 0;
}
