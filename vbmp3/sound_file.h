// What the library needs to know about a WAVE or MP3 file before it plays it: the format, where
// the sound's bytes lie, and its length. Portable code; every read is bounded by the real size
// of the file, which the byte source reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vbmp3 {

// Random access to the file's bytes.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads up to out.size() bytes at `offset`; returns how many it read (less at the end).
    virtual size_t ReadAt(uint64_t offset, std::span<uint8_t> out) = 0;
};

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override;

  private:
    std::span<const uint8_t> bytes_;
};

// One MPEG audio Layer III frame header.
struct Mp3Header {
    int version = 0;  // 1 MPEG-1, 2 MPEG-2, 25 MPEG-2.5
    bool crc = false;
    int bitrateKbps = 0;
    int rate = 0;
    int channels = 0;
    bool padding = false;
    int samplesPerFrame = 0;  // per channel
    int frameBytes = 0;
    // The same stream: what every frame of one file shares.
    bool SameStream(const Mp3Header& o) const {
        return version == o.version && rate == o.rate && channels == o.channels;
    }
};
// The header at the start of `b` (4 bytes); none for anything that is not a Layer III
// header with a known bit rate (free format is not taken) and sampling rate.
std::optional<Mp3Header> ParseMp3Header(std::span<const uint8_t> b);

enum class SoundFormat : uint8_t {
    Pcm,         // WAVE of 8- or 16-bit integer samples
    Compressed,  // WAVE of another format, for the platform's converters
    Mp3,         // MPEG audio Layer III
};

struct SoundInfo {
    SoundFormat format = SoundFormat::Pcm;
    uint16_t formatTag = 0;  // WAVE's format tag; 0x55 for MP3
    uint32_t rate = 0;
    uint16_t channels = 0;
    uint16_t bitsPerSample = 0;
    uint16_t blockAlign = 0;
    uint32_t avgBytesPerSec = 0;
    // The WAVE file's format record as it stands (WAVEFORMATEX and its extra bytes).
    std::vector<uint8_t> formatRecord;
    // The sound's bytes: WAVE's data, or MP3 from the first audio frame to the tags.
    uint64_t dataOffset = 0;
    uint64_t dataSize = 0;
    // Sample frames (per channel) and the length in whole seconds: floor(samples / rate).
    uint64_t samples = 0;
    int32_t lengthSeconds = 0;
    // MP3: the first audio frame's header (bit rate and frame size for the decoder).
    Mp3Header mp3;
    bool vbr = false;
};

// Reads a WAVE ("RIFF"/"WAVE") or MP3 file; none when it is neither or is broken.
std::optional<SoundInfo> ReadSoundInfo(ByteSource& source);
std::optional<SoundInfo> ReadWaveInfo(ByteSource& source);
std::optional<SoundInfo> ReadMp3Info(ByteSource& source);

// Where playing from sample frame `sample` of an MP3 starts: the offset of the frame that
// holds it, and that frame's first sample. Scans frame headers from the first audio frame.
struct Mp3Place {
    uint64_t offset = 0;
    uint64_t firstSample = 0;
};
Mp3Place FindMp3Frame(ByteSource& source, const SoundInfo& info, uint64_t sample);

// Seconds of `samples` at `rate`, floor, saturated to int32.
int32_t WholeSeconds(uint64_t samples, uint32_t rate);

}  // namespace vbmp3
