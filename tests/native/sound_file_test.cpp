#include "vbmp3/sound_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <string_view>
#include <vector>

#include "vbmp3/frequency_bands.h"

namespace vbmp3 {
namespace {

using Bytes = std::vector<uint8_t>;

void AppendBytes(Bytes& b, std::string_view s) { b.insert(b.end(), s.begin(), s.end()); }
void Le32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Le16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Be32At(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// MPEG-1 Layer III, no CRC: 128 kbit/s at 44.1 kHz is 417 bytes a frame (418 padded).
constexpr uint8_t kStereo128[4] = {0xFF, 0xFB, 0x90, 0x00};
constexpr uint8_t kMono128[4] = {0xFF, 0xFB, 0x90, 0xC0};
// MPEG-2 Layer III, 64 kbit/s at 22.05 kHz: 72 * 64000 / 22050 = 208 bytes, 576 samples.
constexpr uint8_t kMpeg2[4] = {0xFF, 0xF3, 0x80, 0x00};

Bytes Frame(const uint8_t (&header)[4]) {
    const auto h = ParseMp3Header(header);
    Bytes b(static_cast<size_t>(h->frameBytes), 0);
    std::copy(header, header + 4, b.begin());
    return b;
}

Bytes Frames(const uint8_t (&header)[4], int count) {
    Bytes b;
    for (int i = 0; i < count; ++i) {
        const Bytes f = Frame(header);
        b.insert(b.end(), f.begin(), f.end());
    }
    return b;
}

std::optional<SoundInfo> Read(const Bytes& b) {
    MemorySource source(b);
    return ReadSoundInfo(source);
}

// 44100 / 1152 frames make a second: 383 frames are 10.005 s.
TEST(Mp3Reader, CbrLengthIsCountedFromTheFrameHeaders) {
    const auto info = Read(Frames(kStereo128, 383));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->format, SoundFormat::Mp3);
    EXPECT_EQ(info->samples, 383u * 1152);
    EXPECT_EQ(info->lengthSeconds, 10);
    EXPECT_EQ(info->rate, 44100u);
    EXPECT_EQ(info->channels, 2);
    EXPECT_FALSE(info->vbr);
    EXPECT_EQ(Read(Frames(kMono128, 382))->lengthSeconds, 9);  // 9.98 s
    EXPECT_EQ(Read(Frames(kMono128, 382))->channels, 1);
    // MPEG-2: 576 samples at 22.05 kHz.
    EXPECT_EQ(Read(Frames(kMpeg2, 383))->lengthSeconds, 10);
}

TEST(Mp3Reader, HeaderFieldsAndRejectedHeaders) {
    const auto h = ParseMp3Header(kStereo128);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->version, 1);
    EXPECT_EQ(h->bitrateKbps, 128);
    EXPECT_EQ(h->frameBytes, 417);
    const uint8_t padded[4] = {0xFF, 0xFB, 0x92, 0x00};
    EXPECT_EQ(ParseMp3Header(padded)->frameBytes, 418);
    const uint8_t mpeg25[4] = {0xFF, 0xE3, 0x80, 0x00};
    EXPECT_EQ(ParseMp3Header(mpeg25)->rate, 11025);
    for (const auto& bad : {std::array<uint8_t, 4>{0xFF, 0xFD, 0x90, 0x00},   // layer II
                            std::array<uint8_t, 4>{0xFF, 0xEB, 0x90, 0x00},   // reserved version
                            std::array<uint8_t, 4>{0xFF, 0xFB, 0x00, 0x00},   // free format
                            std::array<uint8_t, 4>{0xFF, 0xFB, 0xF0, 0x00},   // bad bit rate
                            std::array<uint8_t, 4>{0xFF, 0xFB, 0x9C, 0x00},   // reserved rate
                            std::array<uint8_t, 4>{0xFE, 0xFB, 0x90, 0x00}})  // no sync
        EXPECT_FALSE(ParseMp3Header(bad));
}

// A Xing header in the first frame gives the count without a scan; the frame itself is not
// part of the sound.
TEST(Mp3Reader, XingAndInfoHeadersGiveTheFrameCount) {
    for (const char* id : {"Xing", "Info"}) {
        Bytes b = Frames(kStereo128, 10);
        std::copy(id, id + 4, b.begin() + 36);  // after 4 header and 32 side-info bytes
        Be32At(b, 40, 1);                        // flags: frames
        Be32At(b, 44, 11500);                    // 300.4 s
        const auto info = Read(b);
        ASSERT_TRUE(info) << id;
        EXPECT_EQ(info->lengthSeconds, 300) << id;
        EXPECT_EQ(info->dataOffset, 417u);
        EXPECT_TRUE(info->vbr);
    }
    // Mono: the side information is 17 bytes.
    Bytes mono = Frames(kMono128, 4);
    std::copy_n("Xing", 4, mono.begin() + 21);
    Be32At(mono, 25, 1);
    Be32At(mono, 29, 383);
    EXPECT_EQ(Read(mono)->lengthSeconds, 10);
}

TEST(Mp3Reader, AXingCountOfAFileCutShortIsScaledToWhatIsLeft) {
    Bytes b = Frames(kStereo128, 101);
    std::copy_n("Xing", 4, b.begin() + 36);
    Be32At(b, 40, 3);           // frames and bytes
    Be32At(b, 44, 1000);        // frames said
    Be32At(b, 48, 1000 * 417);  // bytes said; 100 frames are there
    const auto info = Read(b);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->samples, 100u * 1152);
}

TEST(Mp3Reader, VbriHeaderGivesTheFrameCount) {
    Bytes b = Frames(kStereo128, 10);
    std::copy_n("VBRI", 4, b.begin() + 36);
    Be32At(b, 46, 9 * 417);    // bytes after the header frame
    Be32At(b, 50, 766);        // frames: 20.01 s
    const auto info = Read(b);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->lengthSeconds, 20);
}

TEST(Mp3Reader, TagsAreSkippedAndExcluded) {
    Bytes b = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x02, 0x00};  // 256 bytes of tag
    b.resize(10 + 256, 0xFF);                              // a tag full of sync bytes
    const size_t start = b.size();
    const Bytes frames = Frames(kStereo128, 383);
    b.insert(b.end(), frames.begin(), frames.end());
    const size_t end = b.size();
    Bytes apeFooter(32, 0);
    std::copy_n("APETAGEX", 8, apeFooter.begin());
    apeFooter[12] = 32 + 16;  // items and footer
    b.insert(b.end(), 16, 0xFF);
    b.insert(b.end(), apeFooter.begin(), apeFooter.end());
    Bytes id3v1(128, 0xFF);
    std::copy_n("TAG", 3, id3v1.begin());
    b.insert(b.end(), id3v1.begin(), id3v1.end());
    const auto info = Read(b);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->dataOffset, start);
    EXPECT_EQ(info->dataOffset + info->dataSize, end);
    EXPECT_EQ(info->samples, 383u * 1152);
}

// Garbage before the first frame, holding a lone header whose next frame is not where its
// size says: the real stream is found after it.
TEST(Mp3Reader, GarbageAndAFalseSyncBeforeTheFirstFrame) {
    Bytes b(1000, 0x55);
    std::copy(kMpeg2, kMpeg2 + 4, b.begin() + 100);  // a header in the garbage
    const Bytes frames = Frames(kStereo128, 383);
    b.insert(b.end(), frames.begin(), frames.end());
    const auto info = Read(b);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->dataOffset, 1000u);
    EXPECT_EQ(info->mp3.version, 1);
    EXPECT_EQ(info->lengthSeconds, 10);
}

TEST(Mp3Reader, BrokenFilesAreRejected) {
    EXPECT_FALSE(Read({}));
    EXPECT_FALSE(Read(Bytes(5000, 0)));
    const Bytes one = Frames(kStereo128, 2);
    EXPECT_FALSE(Read(Bytes(one.begin(), one.begin() + 300)));  // cut inside the first frame
    Bytes b = Frames(kStereo128, 10);
    std::copy_n("Xing", 4, b.begin() + 36);
    Be32At(b, 40, 1);
    Be32At(b, 44, 0);  // no frames: the scan counts them
    EXPECT_EQ(Read(b)->samples, 10u * 1152);
    const Bytes id3only = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};  // 256 MiB said
    EXPECT_FALSE(Read(id3only));
}

TEST(Mp3Reader, FindsTheFrameOfASample) {
    Bytes b(50, 0);
    const Bytes frames = Frames(kStereo128, 100);
    b.insert(b.end(), frames.begin(), frames.end());
    MemorySource source(b);
    const auto info = ReadSoundInfo(source);
    ASSERT_TRUE(info);
    Mp3Place p = FindMp3Frame(source, *info, 44100 * 1);  // frame 38 holds second 1
    EXPECT_EQ(p.firstSample, 38u * 1152);
    EXPECT_EQ(p.offset, 50u + 38 * 417);
    p = FindMp3Frame(source, *info, 0);
    EXPECT_EQ(p.offset, 50u);
    p = FindMp3Frame(source, *info, 1u << 30);  // past the end: the last frame
    EXPECT_EQ(p.firstSample, 99u * 1152);
}

Bytes Chunk(std::string_view id, const Bytes& data, size_t saidSize) {
    Bytes b;
    AppendBytes(b, id);
    Le32(b, static_cast<uint32_t>(saidSize));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() % 2) b.push_back(0);
    return b;
}
Bytes Chunk(std::string_view id, const Bytes& data) { return Chunk(id, data, data.size()); }

Bytes Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t align) {
    Bytes f;
    Le16(f, tag);
    Le16(f, channels);
    Le32(f, rate);
    Le32(f, rate * align);
    Le16(f, align);
    Le16(f, bits);
    return f;
}

Bytes Wave(std::initializer_list<Bytes> chunks) {
    Bytes body;
    AppendBytes(body, "WAVE");
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes b;
    AppendBytes(b, "RIFF");
    Le32(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

TEST(WaveReader, PcmLengthAndPlace) {
    const Bytes data(8000 * 2 * 3 + 2, 0);  // 3 s of 8 kHz 16-bit mono and one more sample
    const auto info = Read(Wave({Chunk("fmt ", Format(1, 1, 8000, 16, 2)), Chunk("data", data)}));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->format, SoundFormat::Pcm);
    EXPECT_EQ(info->dataOffset, 12u + 8 + 16 + 8);
    EXPECT_EQ(info->samples, 24001u);
    EXPECT_EQ(info->lengthSeconds, 3);
}

// An odd-sized chunk is followed by a pad byte; the data chunk comes after it.
TEST(WaveReader, OddSizedChunksArePadded) {
    const Bytes data(22050 * 2, 0);  // 1 s of 8-bit stereo
    const auto info = Read(Wave({Chunk("LIST", Bytes(7, 'x')), Chunk("fmt ", Format(1, 2, 22050, 8, 2)),
                                 Chunk("data", data)}));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->dataOffset, 12u + 8 + 8 + 8 + 16 + 8);
    EXPECT_EQ(info->lengthSeconds, 1);
    EXPECT_EQ(info->channels, 2);
    EXPECT_EQ(info->bitsPerSample, 8);
}

TEST(WaveReader, DataLargerThanTheFileIsClampedToIt) {
    const Bytes data(8000 * 2, 0);
    const Bytes b = Wave({Chunk("fmt ", Format(1, 1, 8000, 16, 2)), Chunk("data", data, 0x7FFFFFF0)});
    const auto info = Read(b);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->dataOffset + info->dataSize, b.size());
    EXPECT_EQ(info->samples, 8000u);
    EXPECT_EQ(info->lengthSeconds, 1);
}

TEST(WaveReader, FormatAfterTheDataIsFound) {
    const auto info = Read(Wave({Chunk("data", Bytes(16000, 0)), Chunk("fmt ", Format(1, 1, 8000, 16, 2))}));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->lengthSeconds, 1);
}

TEST(WaveReader, BrokenFilesAreRejected) {
    const Bytes data(16000, 0);
    EXPECT_FALSE(Read(Wave({Chunk("data", data)})));                                  // no fmt
    EXPECT_FALSE(Read(Wave({Chunk("fmt ", Format(1, 1, 8000, 16, 2))})));             // no data
    EXPECT_FALSE(Read(Wave({Chunk("fmt ", Format(1, 1, 8000, 16, 2)), Chunk("data", {})})));
    EXPECT_FALSE(Read(Wave({Chunk("fmt ", Bytes(8, 1)), Chunk("data", data)})));      // short fmt
}

// A format record with its extra bytes (cbSize says how many).
Bytes FormatEx(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t align,
               const Bytes& extra) {
    Bytes f = Format(tag, channels, rate, bits, align);
    Le16(f, static_cast<uint16_t>(extra.size()));
    f.insert(f.end(), extra.begin(), extra.end());
    return f;
}

Bytes MsAdpcm(uint16_t channels, uint32_t rate, uint16_t align, uint16_t samplesPerBlock) {
    Bytes extra;
    Le16(extra, samplesPerBlock);
    Le16(extra, 7);
    for (int c : {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232})
        Le16(extra, static_cast<uint16_t>(c));
    return FormatEx(2, channels, rate, 4, align, extra);
}

Bytes ImaAdpcm(uint16_t channels, uint32_t rate, uint16_t align, uint16_t samplesPerBlock) {
    Bytes extra;
    Le16(extra, samplesPerBlock);
    return FormatEx(0x11, channels, rate, 4, align, extra);
}

Bytes With(Bytes record, size_t at, uint16_t value) {
    record[at] = static_cast<uint8_t>(value);
    record[at + 1] = static_cast<uint8_t>(value >> 8);
    return record;
}

// 128 kbit/s at 44.1 kHz: 16000 bytes a second, 417-byte frames.
Bytes MpegLayer3() {
    Bytes extra;
    Le16(extra, 1);  // MPEG
    Le32(extra, 2);  // padding off
    for (int v : {417, 1, 1393}) Le16(extra, static_cast<uint16_t>(v));
    return With(FormatEx(0x55, 2, 44100, 0, 1, extra), 8, 16000);
}

Bytes ExtensiblePcm(uint16_t subFormat) {
    Bytes extra;
    Le16(extra, 16);  // valid bits
    Le32(extra, 3);   // front left and right
    Le16(extra, subFormat);
    for (int b : {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71})
        extra.push_back(static_cast<uint8_t>(b));
    return FormatEx(0xFFFE, 2, 44100, 16, 4, extra);
}

// Each format the player takes passes with its rules kept, and each broken rule is refused:
// the record is what the platform's converter would be handed.
TEST(WaveReader, FormatRecordsFollowTheirTagsRules) {
    const Bytes msMono = MsAdpcm(1, 8000, 256, 500);          // (256 - 7) * 2 + 2
    const Bytes imaStereo = ImaAdpcm(2, 44100, 1024, 1017);   // (1024 - 8) + 1
    Bytes imaPadded = ImaAdpcm(1, 8000, 256, 505);            // (256 - 4) * 2 + 1
    imaPadded.insert(imaPadded.end(), 2, 0);                  // bytes the record does not declare
    using F = std::optional<SoundFormat>;
    const F pcm = SoundFormat::Pcm, compressed = SoundFormat::Compressed, refused;
    const struct {
        const char* name;
        Bytes record;
        F plays;
    } cases[] = {
        {"PCM 16-bit stereo", Format(1, 2, 44100, 16, 4), pcm},
        {"PCM 8-bit mono with cbSize", FormatEx(1, 1, 8000, 8, 1, {}), pcm},
        {"extensible PCM", ExtensiblePcm(1), pcm},
        {"MS ADPCM mono", msMono, compressed},
        {"MS ADPCM stereo", MsAdpcm(2, 44100, 1024, 1012), compressed},
        {"IMA ADPCM stereo", imaStereo, compressed},
        {"IMA ADPCM with bytes after its extra bytes", imaPadded, compressed},
        {"MP3 in WAVE", MpegLayer3(), compressed},
        {"A-law mono", FormatEx(6, 1, 8000, 8, 1, {}), compressed},
        {"mu-law stereo", FormatEx(7, 2, 8000, 8, 2, {}), compressed},

        {"channels 0", With(msMono, 2, 0), refused},
        {"three channels", Format(1, 3, 8000, 16, 6), refused},
        {"rate 0", Format(1, 1, 0, 16, 2), refused},
        {"rate past 384 kHz", With(Format(1, 1, 0, 16, 2), 6, 6), refused},  // 393216
        {"block align 0", With(msMono, 12, 0), refused},
        {"PCM of 12 bits", Format(1, 1, 8000, 12, 2), refused},
        {"PCM block align wrong", Format(1, 2, 8000, 16, 2), refused},
        {"extensible float", ExtensiblePcm(3), refused},
        {"IEEE float", Format(3, 1, 8000, 32, 4), refused},
        {"A-law of 16 bits", FormatEx(6, 1, 8000, 16, 2, {}), refused},
        {"MS ADPCM wNumCoef 0", With(msMono, 20, 0), refused},
        {"MS ADPCM coefficients past cbSize", With(msMono, 20, 8), refused},
        {"MS ADPCM coefficient not the standard one", With(msMono, 22, 255), refused},
        {"MS ADPCM samples per block inconsistent", With(msMono, 18, 501), refused},
        {"MS ADPCM block no longer than its header", MsAdpcm(1, 8000, 7, 2), refused},
        {"MS ADPCM cbSize past the chunk", With(msMono, 16, 34), refused},
        {"MS ADPCM without extra bytes", Format(2, 1, 8000, 4, 256), refused},
        {"MS ADPCM byte rate 0", With(With(msMono, 8, 0), 10, 0), refused},
        {"IMA ADPCM samples per block inconsistent", With(imaStereo, 18, 1016), refused},
        {"IMA ADPCM block not whole words", ImaAdpcm(2, 44100, 1028, 1021), refused},
        {"IMA ADPCM of 3 bits", With(imaStereo, 14, 3), refused},
        {"MP3 in WAVE under 8 kbit/s", With(MpegLayer3(), 8, 999), refused},
        {"MP3 in WAVE not MPEG", With(MpegLayer3(), 18, 0), refused},
        {"MP3 in WAVE rate no MPEG has", With(MpegLayer3(), 4, 44000), refused},
    };
    for (const auto& c : cases) {
        const auto info = Read(Wave({Chunk("fmt ", c.record), Chunk("data", Bytes(4096, 0))}));
        ASSERT_EQ(info.has_value(), c.plays.has_value()) << c.name;
        if (!info) continue;
        EXPECT_EQ(info->format, *c.plays) << c.name;
        // A converter gets the header and exactly the extra bytes it declares.
        if (info->format == SoundFormat::Compressed)
            EXPECT_EQ(info->formatRecord.size(), 18u + c.record[16] + 256u * c.record[17]) << c.name;
    }
    // A compressed format names its byte rate; the length follows from it.
    const auto adpcm = Read(Wave({Chunk("fmt ", msMono), Chunk("data", Bytes(8000 * 256 * 2, 0))}));
    ASSERT_TRUE(adpcm);
    EXPECT_EQ(adpcm->lengthSeconds, 2);
}

// A tone of f Hz lands in bin round(f * N / rate), and its level follows its amplitude.
TEST(LibrarySpectrum, APureTonePeaksInItsBin) {
    const double rate = 44100, f = 1000;
    std::vector<int16_t> stereo(kFftSize * 2);
    for (int i = 0; i < kFftSize; ++i) {
        const double s = std::sin(2 * std::numbers::pi * f * i / rate);
        stereo[static_cast<size_t>(2 * i)] = static_cast<int16_t>(std::lround(32767 * s));
        stereo[static_cast<size_t>(2 * i + 1)] = static_cast<int16_t>(std::lround(327.67 * s));
    }
    Bins left{}, right{};
    Spectrum(stereo, 2, left, right);
    const auto peak = std::max_element(left.begin(), left.end()) - left.begin();
    EXPECT_EQ(peak, std::lround(f * kFftSize / rate));  // 11.6 -> 12
    EXPECT_NEAR(left[static_cast<size_t>(peak)], 110, 4);
    EXPECT_NEAR(right[static_cast<size_t>(peak)], 70, 4);  // 40 dB lower
    EXPECT_LT(left[100], 40);
}

TEST(LibrarySpectrum, SilenceIsBelowTheFloorAndMonoIsCopied) {
    std::vector<int16_t> mono(kFftSize, 0);
    Bins left{}, right{};
    left.fill(7);
    Spectrum(mono, 1, left, right);
    for (size_t k = 0; k < left.size(); ++k) {
        EXPECT_EQ(left[k], 0);
        EXPECT_EQ(right[k], 0);
    }
    mono[0] = 1;  // the quietest sound there is
    Spectrum(mono, 1, left, right);
    EXPECT_LT(*std::max_element(left.begin(), left.end()), 40);
    EXPECT_EQ(left, right);
    EXPECT_EQ(BinLevel(1e30), 120);
    EXPECT_EQ(BinLevel(32768.0 * kFftSize / 4), 110);
}

TEST(LibrarySpectrum, FftOfAnImpulseIsFlat) {
    std::vector<std::complex<double>> a(16);
    a[0] = 1;
    Fft(a);
    for (const auto& x : a) EXPECT_NEAR(std::abs(x), 1, 1e-12);
    std::vector<std::complex<double>> b(8);
    for (int i = 0; i < 8; ++i) b[static_cast<size_t>(i)] = std::polar(1.0, 2 * std::numbers::pi * 3 * i / 8);
    Fft(b);
    EXPECT_NEAR(std::abs(b[3]), 8, 1e-9);
    EXPECT_NEAR(std::abs(b[2]), 0, 1e-9);
}

}  // namespace
}  // namespace vbmp3
