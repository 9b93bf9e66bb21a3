#include "vbmp3/sound_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace vbmp3 {

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }
uint32_t Be32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}
bool Id(const uint8_t* p, const char (&id)[5]) { return std::memcmp(p, id, 4) == 0; }

// A window of the file, refilled when a read falls outside it: frame scans read headers only,
// a block at a time instead of a call per frame.
class BlockReader {
  public:
    explicit BlockReader(ByteSource& source) : source_(source), size_(source.Size()) {}
    uint64_t Size() const { return size_; }
    // `n` bytes at `offset` (n <= the block size), or null when the file ends before them.
    const uint8_t* At(uint64_t offset, size_t n) {
        if (offset > size_ || n > size_ - offset) return nullptr;
        if (offset < start_ || offset + n > start_ + filled_) {
            start_ = offset;
            filled_ = source_.ReadAt(offset, block_);
            if (filled_ < n) return nullptr;
        }
        return block_.data() + (offset - start_);
    }

  private:
    ByteSource& source_;
    uint64_t size_;
    uint64_t start_ = 0;
    size_t filled_ = 0;
    std::array<uint8_t, 64 * 1024> block_{};
};

// Bounds that keep a hostile file from making any scan long.
constexpr uint64_t kMaxLeadingGarbage = 1 << 20;  // before the first frame
constexpr uint64_t kMaxResync = 64 * 1024;        // between two frames
constexpr int kMaxWaveChunks = 4096;
constexpr uint32_t kMaxFormatRecord = 4096;
constexpr uint32_t kMaxWaveRate = 384000;

// Layer III bit rates (kbit/s) by index, for MPEG-1 and for MPEG-2/2.5.
constexpr int kBitrates[2][16] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};
constexpr int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

// WAVE format tags the library plays; any other is refused.
constexpr uint16_t kTagPcm = 1, kTagMsAdpcm = 2, kTagALaw = 6, kTagMuLaw = 7,
                   kTagImaAdpcm = 0x11, kTagMpegLayer3 = 0x55, kTagExtensible = 0xFFFE;
constexpr size_t kFormatHead = 18;  // WAVEFORMATEX up to and with cbSize

// The extra bytes a record's cbSize declares, when there are at least `least` and the chunk
// holds them all: a converter reads every one it is told of.
std::optional<std::span<const uint8_t>> ExtraBytes(std::span<const uint8_t> record, size_t least) {
    if (record.size() < kFormatHead) return std::nullopt;
    const size_t declared = Le16(record.data() + 16);
    if (declared < least || declared > record.size() - kFormatHead) return std::nullopt;
    return record.subspan(kFormatHead, declared);
}

// What the library's own PCM reader takes.
bool PcmRules(const SoundInfo& f) {
    return (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
           f.blockAlign == f.channels * f.bitsPerSample / 8;
}

// KSDATAFORMAT_SUBTYPE_PCM.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Extra bytes: valid bits, channel mask, sub-format. Only PCM, which plays without a converter.
bool ExtensibleRules(const SoundInfo& f, std::span<const uint8_t> extra) {
    return std::memcmp(extra.data() + 6, kPcmSubFormat, sizeof kPcmSubFormat) == 0 &&
           Le16(extra.data()) <= f.bitsPerSample && PcmRules(f);
}

// The table every MS ADPCM record starts with; Wine's decoder ignores the file's table and
// uses these, so a file that counts on others would not sound as made.
constexpr int16_t kMsAdpcmCoefficients[7][2] = {{256, 0},   {512, -256}, {0, 0},     {192, 64},
                                                {240, 0},   {460, -208}, {392, -232}};

// Extra bytes: samples per block, the number of coefficient pairs, the pairs. A decoder reads
// each block's samples by that count and takes the block's predictor from the table.
bool MsAdpcmRules(const SoundInfo& f, std::span<const uint8_t> extra) {
    const uint32_t header = 7u * f.channels;
    if (f.bitsPerSample != 4 || f.blockAlign <= header) return false;
    const uint32_t pairs = Le16(extra.data() + 2);
    if (pairs < 7 || extra.size() < 4 + 4 * pairs) return false;
    for (size_t i = 0; i < 7; ++i) {
        const uint8_t* p = extra.data() + 4 + 4 * i;
        if (static_cast<int16_t>(Le16(p)) != kMsAdpcmCoefficients[i][0] ||
            static_cast<int16_t>(Le16(p + 2)) != kMsAdpcmCoefficients[i][1])
            return false;
    }
    return Le16(extra.data()) == (f.blockAlign - header) * 8 / (4u * f.channels) + 2;
}

// Extra bytes: samples per block. After the block's header each channel's samples come in
// 4-byte words in turn; a stereo decoder reads them 8 samples at a time.
bool ImaAdpcmRules(const SoundInfo& f, std::span<const uint8_t> extra) {
    const uint32_t header = 4u * f.channels;
    if (f.bitsPerSample != 4 || f.blockAlign <= header || (f.blockAlign - header) % header != 0)
        return false;
    return Le16(extra.data()) == (f.blockAlign - header) * 8 / (4u * f.channels) + 1;
}

// A-law and mu-law: a byte a sample, one block a sample frame.
bool G711Rules(const SoundInfo& f, std::span<const uint8_t>) {
    return f.bitsPerSample == 8 && f.blockAlign == f.channels &&
           f.avgBytesPerSec == f.rate * f.channels;
}

// MPEGLAYER3WAVEFORMAT's extra bytes: id, flags, block size, frames per block, codec delay.
// Wine's decoder divides by the bytes 1152 samples take at the byte rate: 8 to 320 kbit/s.
bool MpegLayer3Rules(const SoundInfo& f, std::span<const uint8_t> extra) {
    bool knownRate = false;
    for (const auto& rates : kRates)
        for (int r : rates) knownRate = knownRate || f.rate == static_cast<uint32_t>(r);
    return knownRate && Le16(extra.data()) == 1 && Le16(extra.data() + 6) > 0 &&
           Le16(extra.data() + 8) > 0 && f.avgBytesPerSec >= 8000 / 8 &&
           f.avgBytesPerSec <= 320000 / 8;
}

// Whether the header fields in `f` and the record they came from are one the player may
// have, and how it plays it. Every format the converters get follows its tag's rules, so no
// converter meets counts it would read or divide by without checking.
std::optional<SoundFormat> CheckWaveFormat(const SoundInfo& f, std::span<const uint8_t> record) {
    // The player's output is mono or stereo, and no converter here makes more.
    if (f.channels < 1 || f.channels > 2 || f.rate < 1 || f.rate > kMaxWaveRate || f.blockAlign == 0)
        return std::nullopt;
    if (f.formatTag == kTagPcm) {  // cbSize means nothing to PCM: the record may end before it
        if (PcmRules(f)) return SoundFormat::Pcm;
        return std::nullopt;
    }
    struct Rule {
        uint16_t tag;
        size_t extraBytes;
        bool (*rules)(const SoundInfo&, std::span<const uint8_t>);
        SoundFormat format;
    };
    static constexpr Rule kRules[] = {
        {kTagExtensible, 22, ExtensibleRules, SoundFormat::Pcm},
        {kTagMsAdpcm, 4, MsAdpcmRules, SoundFormat::Compressed},
        {kTagImaAdpcm, 2, ImaAdpcmRules, SoundFormat::Compressed},
        {kTagALaw, 0, G711Rules, SoundFormat::Compressed},
        {kTagMuLaw, 0, G711Rules, SoundFormat::Compressed},
        {kTagMpegLayer3, 12, MpegLayer3Rules, SoundFormat::Compressed},
    };
    for (const Rule& r : kRules) {
        if (r.tag != f.formatTag) continue;
        const auto extra = ExtraBytes(record, r.extraBytes);
        if (!extra || !r.rules(f, *extra)) return std::nullopt;
        // The player seeks and measures a compressed sound by its byte rate.
        if (r.format == SoundFormat::Compressed && f.avgBytesPerSec == 0) return std::nullopt;
        return r.format;
    }
    return std::nullopt;
}

struct AudioSpan {
    uint64_t begin = 0, end = 0;
};

// The bytes between the ID3v2 tags at the start and the ID3v1/APE tags at the end.
AudioSpan FindAudioSpan(BlockReader& in) {
    AudioSpan span{0, in.Size()};
    // Tags may follow each other; each says its own size (28 bits, "syncsafe").
    for (int i = 0; i < 16; ++i) {
        const uint8_t* p = in.At(span.begin, 10);
        if (!p || p[0] != 'I' || p[1] != 'D' || p[2] != '3') break;
        if ((p[6] | p[7] | p[8] | p[9]) & 0x80) break;
        const uint64_t size = static_cast<uint64_t>(p[6]) << 21 | p[7] << 14 | p[8] << 7 | p[9];
        span.begin += 10 + size + ((p[5] & 0x10) ? 10 : 0);
        if (span.begin >= span.end) return {span.end, span.end};
    }
    if (span.end - span.begin >= 128) {
        const uint8_t* p = in.At(span.end - 128, 3);
        if (p && p[0] == 'T' && p[1] == 'A' && p[2] == 'G') span.end -= 128;
    }
    if (span.end - span.begin >= 32) {
        const uint8_t* p = in.At(span.end - 32, 32);
        if (p && std::memcmp(p, "APETAGEX", 8) == 0) {
            uint64_t size = Le32(p + 12);  // items and footer
            if (Le32(p + 20) & 0x80000000u) size += 32;  // and a header
            span.end = size <= span.end - span.begin ? span.end - size : span.begin;
        }
    }
    return span;
}

std::optional<Mp3Header> HeaderAt(BlockReader& in, uint64_t offset) {
    const uint8_t* p = in.At(offset, 4);
    if (!p) return std::nullopt;
    return ParseMp3Header({p, 4});
}

// A frame at `offset` counts when the next one follows where its size says (or the sound
// ends there): two headers in a row are no accident, one may be.
bool ConfirmedFrame(BlockReader& in, uint64_t offset, const Mp3Header& h, uint64_t end) {
    const uint64_t next = offset + static_cast<uint64_t>(h.frameBytes);
    if (next == end) return true;
    if (next + 4 > end) return false;
    const std::optional<Mp3Header> n = HeaderAt(in, next);
    return n && n->SameStream(h);
}

std::optional<uint64_t> FindFirstFrame(BlockReader& in, const AudioSpan& span) {
    const uint64_t last = std::min(span.end, span.begin + kMaxLeadingGarbage);
    for (uint64_t at = span.begin; at + 4 <= last; ++at) {
        const uint8_t* p = in.At(at, 2);
        if (!p || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) continue;
        const std::optional<Mp3Header> h = HeaderAt(in, at);
        if (h && ConfirmedFrame(in, at, *h, span.end)) return at;
    }
    return std::nullopt;
}

// The side information's size: the Xing header follows it in the first frame.
int SideInfoBytes(const Mp3Header& h) {
    if (h.version == 1) return h.channels == 1 ? 17 : 32;
    return h.channels == 1 ? 9 : 17;
}

struct FrameCount {
    uint64_t frames = 0;
    uint64_t bytes = 0;  // 0: not given
};

// The frame count of a Xing/Info or VBRI header in the frame at `offset`.
std::optional<FrameCount> ReadVbrHeader(BlockReader& in, uint64_t offset, const Mp3Header& h) {
    const uint64_t xing = offset + 4 + (h.crc ? 2 : 0) + static_cast<uint64_t>(SideInfoBytes(h));
    if (xing + 16 <= offset + static_cast<uint64_t>(h.frameBytes)) {
        if (const uint8_t* p = in.At(xing, 16); p && (Id(p, "Xing") || Id(p, "Info"))) {
            const uint32_t flags = Be32(p + 4);
            if (!(flags & 1)) return std::nullopt;
            FrameCount c{Be32(p + 8), 0};
            if (flags & 2) c.bytes = Be32(p + 12);
            return c;
        }
    }
    const uint64_t vbri = offset + 4 + 32;
    if (vbri + 18 <= offset + static_cast<uint64_t>(h.frameBytes)) {
        if (const uint8_t* p = in.At(vbri, 18); p && Id(p, "VBRI"))
            return FrameCount{Be32(p + 14), Be32(p + 10)};
    }
    return std::nullopt;
}

// The next frame of the stream from `at` on: there, or after bytes that are none.
std::optional<uint64_t> NextFrame(BlockReader& in, uint64_t at, const Mp3Header& stream,
                                  uint64_t end) {
    const uint64_t last = std::min(end, at + kMaxResync);
    for (; at + 4 <= last; ++at) {
        const std::optional<Mp3Header> h = HeaderAt(in, at);
        if (h && h->SameStream(stream) && ConfirmedFrame(in, at, *h, end)) return at;
    }
    return std::nullopt;
}

}  // namespace

size_t MemorySource::ReadAt(uint64_t offset, std::span<uint8_t> out) {
    if (offset >= bytes_.size()) return 0;
    const size_t n = std::min<uint64_t>(out.size(), bytes_.size() - offset);
    std::memcpy(out.data(), bytes_.data() + offset, n);
    return n;
}

int32_t WholeSeconds(uint64_t samples, uint32_t rate) {
    if (rate == 0) return 0;
    const uint64_t s = samples / rate;
    return s > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())
               ? std::numeric_limits<int32_t>::max()
               : static_cast<int32_t>(s);
}

std::optional<Mp3Header> ParseMp3Header(std::span<const uint8_t> b) {
    if (b.size() < 4 || b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return std::nullopt;
    const int versionBits = b[1] >> 3 & 3;
    const int layerBits = b[1] >> 1 & 3;
    if (versionBits == 1 || layerBits != 1) return std::nullopt;  // reserved, not Layer III
    const int bitrateIndex = b[2] >> 4;
    const int rateIndex = b[2] >> 2 & 3;
    if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return std::nullopt;
    if ((b[3] & 3) == 2) return std::nullopt;  // reserved emphasis
    Mp3Header h;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    h.crc = !(b[1] & 1);
    h.bitrateKbps = kBitrates[h.version == 1 ? 0 : 1][bitrateIndex];
    h.rate = kRates[h.version == 1 ? 0 : h.version == 2 ? 1 : 2][rateIndex];
    h.padding = b[2] >> 1 & 1;
    h.channels = (b[3] >> 6) == 3 ? 1 : 2;
    h.samplesPerFrame = h.version == 1 ? 1152 : 576;
    const int coefficient = h.version == 1 ? 144 : 72;
    h.frameBytes = coefficient * h.bitrateKbps * 1000 / h.rate + (h.padding ? 1 : 0);
    return h;
}

std::optional<SoundInfo> ReadMp3Info(ByteSource& source) {
    BlockReader in(source);
    const AudioSpan span = FindAudioSpan(in);
    const std::optional<uint64_t> first = FindFirstFrame(in, span);
    if (!first) return std::nullopt;
    const Mp3Header h = *HeaderAt(in, *first);

    SoundInfo info;
    info.format = SoundFormat::Mp3;
    info.formatTag = 0x55;
    info.rate = static_cast<uint32_t>(h.rate);
    info.channels = static_cast<uint16_t>(h.channels);
    info.mp3 = h;
    info.dataOffset = *first;

    if (const std::optional<FrameCount> vbr = ReadVbrHeader(in, *first, h); vbr && vbr->frames) {
        // The header's frame carries no sound: playing starts after it.
        info.dataOffset = *first + static_cast<uint64_t>(h.frameBytes);
        info.dataSize = span.end > info.dataOffset ? span.end - info.dataOffset : 0;
        if (info.dataSize == 0) return std::nullopt;
        if (std::optional<Mp3Header> a = HeaderAt(in, info.dataOffset); a && a->SameStream(h))
            info.mp3 = *a;
        uint64_t frames = vbr->frames;
        // A file cut short holds fewer frames than its header counts.
        if (vbr->bytes > info.dataSize + static_cast<uint64_t>(h.frameBytes))
            frames = frames * info.dataSize / vbr->bytes;
        info.samples = frames * static_cast<uint64_t>(h.samplesPerFrame);
        info.vbr = true;
    } else {
        uint64_t at = *first, samples = 0;
        bool sameRate = true;
        while (at + 4 <= span.end) {
            const std::optional<Mp3Header> f = HeaderAt(in, at);
            if (!f || !f->SameStream(h)) {
                const std::optional<uint64_t> next = NextFrame(in, at + 1, h, span.end);
                if (!next) break;
                at = *next;
                continue;
            }
            if (at + static_cast<uint64_t>(f->frameBytes) > span.end) break;  // cut short
            sameRate = sameRate && f->bitrateKbps == h.bitrateKbps;
            samples += static_cast<uint64_t>(f->samplesPerFrame);
            at += static_cast<uint64_t>(f->frameBytes);
        }
        info.dataSize = span.end - *first;
        info.samples = samples;
        info.vbr = !sameRate;
    }
    if (info.samples == 0) return std::nullopt;
    info.lengthSeconds = WholeSeconds(info.samples, info.rate);
    return info;
}

std::optional<SoundInfo> ReadWaveInfo(ByteSource& source) {
    const uint64_t size = source.Size();
    std::array<uint8_t, 12> riff{};
    if (source.ReadAt(0, riff) != riff.size() || !Id(riff.data(), "RIFF") ||
        !Id(riff.data() + 8, "WAVE"))
        return std::nullopt;

    SoundInfo info;
    bool haveFormat = false, haveData = false;
    uint64_t factSamples = 0;
    uint64_t at = 12;
    for (int chunk = 0; chunk < kMaxWaveChunks && at + 8 <= size; ++chunk) {
        std::array<uint8_t, 8> head{};
        if (source.ReadAt(at, head) != head.size()) break;
        const uint64_t body = at + 8;
        const uint64_t chunkSize = Le32(head.data() + 4);
        const uint64_t present = std::min(chunkSize, size - body);
        if (Id(head.data(), "fmt ")) {
            if (present < 16 || present > kMaxFormatRecord) return std::nullopt;
            info.formatRecord.resize(static_cast<size_t>(present));
            if (source.ReadAt(body, info.formatRecord) != present) return std::nullopt;
            haveFormat = true;
        } else if (Id(head.data(), "data") && !haveData) {
            info.dataOffset = body;
            info.dataSize = present;  // a size past the end of the file is clamped to it
            haveData = true;
        } else if (Id(head.data(), "fact") && present >= 4) {
            std::array<uint8_t, 4> n{};
            if (source.ReadAt(body, n) == n.size()) factSamples = Le32(n.data());
        }
        if (chunkSize > size - body) break;
        at = body + chunkSize + (chunkSize & 1);  // chunks start on even offsets
    }
    if (!haveFormat || !haveData || info.dataSize == 0) return std::nullopt;

    const uint8_t* f = info.formatRecord.data();
    info.formatTag = Le16(f);
    info.channels = Le16(f + 2);
    info.rate = Le32(f + 4);
    info.avgBytesPerSec = Le32(f + 8);
    info.blockAlign = Le16(f + 12);
    info.bitsPerSample = Le16(f + 14);
    const std::optional<SoundFormat> format = CheckWaveFormat(info, info.formatRecord);
    if (!format) return std::nullopt;
    info.format = *format;
    if (info.format == SoundFormat::Pcm) {
        info.samples = info.dataSize / info.blockAlign;
    } else {
        // What the converters are handed: the header and exactly the extra bytes it declares.
        info.formatRecord.resize(kFormatHead + Le16(f + 16));
        info.samples = factSamples ? factSamples : info.dataSize * info.rate / info.avgBytesPerSec;
    }
    if (info.samples == 0) return std::nullopt;
    info.lengthSeconds = WholeSeconds(info.samples, info.rate);
    return info;
}

std::optional<SoundInfo> ReadSoundInfo(ByteSource& source) {
    std::array<uint8_t, 4> head{};
    if (source.ReadAt(0, head) == head.size() && Id(head.data(), "RIFF"))
        return ReadWaveInfo(source);
    return ReadMp3Info(source);
}

Mp3Place FindMp3Frame(ByteSource& source, const SoundInfo& info, uint64_t sample) {
    BlockReader in(source);
    const uint64_t end = info.dataOffset + info.dataSize;
    Mp3Place place{info.dataOffset, 0};
    uint64_t at = info.dataOffset, first = 0;
    while (at + 4 <= end) {
        const std::optional<Mp3Header> f = HeaderAt(in, at);
        if (!f || !f->SameStream(info.mp3)) {
            const std::optional<uint64_t> next = NextFrame(in, at + 1, info.mp3, end);
            if (!next) break;
            at = *next;
            continue;
        }
        if (first + static_cast<uint64_t>(f->samplesPerFrame) > sample) return {at, first};
        place = {at, first};
        first += static_cast<uint64_t>(f->samplesPerFrame);
        at += static_cast<uint64_t>(f->frameBytes);
    }
    return place;
}

}  // namespace vbmp3
