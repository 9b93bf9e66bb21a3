#include "readers/jpeg_dc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>

namespace qcd {
namespace {

using Bytes = std::vector<uint8_t>;

// A JPEG writer for the tests: blocks whose DC terms each test chooses and whose AC terms are
// pseudo-random, coded with small fixed tables in the layouts the decoder has to follow.

class BitWriter {
  public:
    void Put(uint32_t bits, int n) {
        for (int i = n - 1; i >= 0; --i) {
            acc_ = acc_ << 1 | (bits >> i & 1);
            if (++count_ < 8) continue;
            bytes.push_back(static_cast<uint8_t>(acc_));
            if (acc_ == 0xFF) bytes.push_back(0);
            acc_ = count_ = 0;
        }
    }
    void Flush() {  // pads the last byte with ones
        while (count_ != 0) Put(1, 1);
    }
    Bytes bytes;

  private:
    uint32_t acc_ = 0;
    int count_ = 0;
};

// Counts of codes by length (1 to 16), then the values.
const Bytes kDcTable = {0, 0, 0, 13, 0, 0, 0, 0, 0, 0, 0,  0,  0, 0, 0, 0,  // 4-bit codes
                        0, 1, 2, 3,  4, 5, 6, 7, 8, 9, 10, 11, 12};         // 12: not for 8-bit
// End of block and a few run/size pairs, with a 12-bit and a 16-bit code for the slow path.
const Bytes kAcTable = {0, 2, 2, 2,    2,    0,    0,    0,    0,    0,    0,    1,    0,
                        0, 0, 1, 0x00, 0x01, 0x02, 0x11, 0xF0, 0x0A, 0x21, 0x3A, 0x05, 0x13};

// The canonical code of each value.
std::map<int, std::pair<uint32_t, int>> Codes(const Bytes& table) {
    std::map<int, std::pair<uint32_t, int>> codes;
    uint32_t code = 0;
    size_t k = 16;
    for (int len = 1; len <= 16; ++len, code <<= 1)
        for (int i = 0; i < table[len - 1]; ++i) codes[table[k++]] = {code++, len};
    return codes;
}

struct Part {
    uint8_t id;
    int h = 1, v = 1, quant = 0;
};

// The quantized DC term of a part's block.
using DcTerms = std::function<int(int part, int bx, int by)>;

struct Layout {
    int width = 16, height = 16;
    std::vector<Part> parts = {{1}};
    int restart = 0;
    bool jfif = true;
    int adobe = -1;  // the Adobe segment's transform, or none
    bool progressive = false;
    int dcLow = 0;  // progressive: the DC first scan's Al
    bool refine = true;
    bool interleaved = true;
    std::array<int, 4> quant = {8, 8, 8, 8};
    bool overrun = false;  // the filled blocks run one position past the end
};

int Max(const Layout& l, int Part::*factor) {
    int m = 1;
    for (const Part& p : l.parts) m = std::max(m, p.*factor);
    return m;
}

void PutSegment(Bytes& f, uint8_t marker, const Bytes& payload) {
    const size_t n = payload.size() + 2;
    f.insert(f.end(), {0xFF, marker, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    f.insert(f.end(), payload.begin(), payload.end());
}

// AC symbols from a seed: a few ending in an end of block, or, in every fifth block, ZRLs and
// single coefficients that fill the block to position 63 with no end of block.
void PutAc(BitWriter& w, int seed, bool overrun) {
    static const auto codes = Codes(kAcTable);
    const auto put = [&](uint8_t symbol) {
        w.Put(codes.at(symbol).first, codes.at(symbol).second);
        w.Put(static_cast<uint32_t>(seed * 7 + 3) & ((1u << (symbol & 15)) - 1), symbol & 15);
    };
    if (seed % 5 == 0) {
        for (int i = 0; i < 3; ++i) put(0xF0);
        for (int i = 0; i < 14; ++i) put(0x01);
        return put(overrun ? 0x11 : 0x01);
    }
    static const uint8_t kSymbols[] = {0x01, 0x02, 0x11, 0x0A, 0x21, 0x3A, 0x05, 0x13, 0xF0};
    for (int n = 0, k = 1; n < seed % 9; ++n) {
        const uint8_t s = kSymbols[(seed + n * 5) % 9];
        k += s == 0xF0 ? 16 : (s >> 4) + 1;
        if (k > 64) break;
        put(s);
    }
    put(0x00);
}

// One scan of `parts` (indexes into l.parts) in MCU order, with restart markers.
void PutScan(Bytes& f, const Layout& l, const DcTerms& dc, const std::vector<int>& parts, int se,
             int ah, int al) {
    Bytes header = {static_cast<uint8_t>(parts.size())};
    for (int i : parts) header.insert(header.end(), {l.parts[i].id, uint8_t(i == 0 ? 0 : 0x11)});
    header.insert(header.end(), {0, static_cast<uint8_t>(se), static_cast<uint8_t>(ah << 4 | al)});
    PutSegment(f, 0xDA, header);

    static const auto dcCodes = Codes(kDcTable);
    BitWriter w;
    std::array<int, 4> pred{};
    const auto block = [&](int i, int bx, int by) {
        const int value = dc(i, bx, by) >> al;
        if (ah != 0) return w.Put(value & 1, 1);
        const int diff = value - pred[i];
        pred[i] = value;
        int size = 0;
        while (std::abs(diff) >> size) ++size;
        w.Put(dcCodes.at(size).first, dcCodes.at(size).second);
        w.Put(static_cast<uint32_t>(diff >= 0 ? diff : diff + (1 << size) - 1), size);
        if (se == 63) PutAc(w, bx * 31 + by * 17 + i, l.overrun);
    };
    const int hMax = Max(l, &Part::h), vMax = Max(l, &Part::v);
    // One part alone is coded over its own extent, block by block.
    const bool single = parts.size() == 1, alone = l.parts.size() == 1;
    const Part& p = l.parts[parts[0]];
    const auto blocks = [](int extent, int f, int max) {
        return ((extent * f + max - 1) / max + 7) / 8;
    };
    const int wide =
        single ? blocks(l.width, alone ? hMax : p.h, hMax) : (l.width + 8 * hMax - 1) / (8 * hMax);
    const int high = single ? blocks(l.height, alone ? vMax : p.v, vMax)
                            : (l.height + 8 * vMax - 1) / (8 * vMax);
    for (int mcu = 0; mcu < wide * high; ++mcu) {
        const int x = mcu % wide, y = mcu / wide;
        if (l.restart != 0 && mcu != 0 && mcu % l.restart == 0) {
            w.Flush();
            w.bytes.insert(w.bytes.end(), {0xFF, uint8_t(0xD0 + (mcu / l.restart - 1) % 8)});
            pred = {};
        }
        if (single) {
            block(parts[0], x, y);
            continue;
        }
        for (int i : parts)
            for (int v = 0; v < l.parts[i].v; ++v)
                for (int h = 0; h < l.parts[i].h; ++h)
                    block(i, x * l.parts[i].h + h, y * l.parts[i].v + v);
    }
    w.Flush();
    f.insert(f.end(), w.bytes.begin(), w.bytes.end());
}

Bytes Encode(const Layout& l, const DcTerms& dc) {
    Bytes f = {0xFF, 0xD8};
    if (l.jfif) PutSegment(f, 0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    if (l.adobe >= 0)
        PutSegment(f, 0xEE, {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, uint8_t(l.adobe)});
    for (uint8_t t = 0; t < 4; ++t) {
        Bytes q(65, 1);
        q[0] = t;
        q[1] = static_cast<uint8_t>(l.quant[t]);
        PutSegment(f, 0xDB, q);
    }
    Bytes sof = {8,
                 static_cast<uint8_t>(l.height >> 8),
                 static_cast<uint8_t>(l.height),
                 static_cast<uint8_t>(l.width >> 8),
                 static_cast<uint8_t>(l.width),
                 static_cast<uint8_t>(l.parts.size())};
    for (const Part& p : l.parts)
        sof.insert(sof.end(), {p.id, uint8_t(p.h << 4 | p.v), uint8_t(p.quant)});
    PutSegment(f, l.progressive ? 0xC2 : 0xC0, sof);
    // The first part codes with tables 0, the others with tables 1.
    for (uint8_t slot = 0; slot < 2; ++slot) {
        for (const Bytes* table : {&kDcTable, &kAcTable}) {
            Bytes t = {uint8_t((table == &kAcTable) << 4 | slot)};
            t.insert(t.end(), table->begin(), table->end());
            PutSegment(f, 0xC4, t);
        }
    }
    if (l.restart != 0) PutSegment(f, 0xDD, {uint8_t(l.restart >> 8), uint8_t(l.restart)});
    std::vector<std::vector<int>> scans(l.interleaved ? 1 : l.parts.size());
    for (int i = 0; i < static_cast<int>(l.parts.size()); ++i)
        scans[l.interleaved ? 0 : i].push_back(i);
    // A progressive AC scan: bytes to pass over, with a stuffed 0xFF and restart markers.
    const auto acScan = [&] {
        PutSegment(f, 0xDA, {1, l.parts[0].id, 0x00, 1, 63, 0});
        f.insert(f.end(), {0x12, 0xFF, 0x00, 0x34, 0xFF, 0xD0, 0x56, 0xFF, 0xFF, 0xD1, 0x78});
    };
    if (!l.progressive) {
        for (const auto& s : scans) PutScan(f, l, dc, s, 63, 0, 0);
    } else {
        for (const auto& s : scans) PutScan(f, l, dc, s, 0, 0, l.dcLow);
        acScan();
        for (int al = l.dcLow - 1; l.refine && al >= 0; --al)
            for (const auto& s : scans) PutScan(f, l, dc, s, 0, al + 1, al);
        acScan();
    }
    f.insert(f.end(), {0xFF, 0xD9});
    return f;
}

// JFIF's equations, in floating point.
std::array<int, 3> Rgb(double y, double cb, double cr) {
    const auto c = [](double v) { return static_cast<int>(std::clamp(std::lround(v), 0L, 255L)); };
    cb -= 128;
    cr -= 128;
    return {c(y + 1.402 * cr), c(y - 0.344136 * cb - 0.714136 * cr), c(y + 1.772 * cb)};
}

// Decodes l's file and checks every pixel: each part's block covering it, scaled, converted as
// the layout says.
void ExpectDecodes(const Layout& l, const DcTerms& dc) {
    const auto image = DecodeJpegDc(Encode(l, dc));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->naturalWidth, l.width);
    EXPECT_EQ(image->naturalHeight, l.height);
    EXPECT_EQ(image->components, static_cast<int>(l.parts.size()));
    ASSERT_EQ(image->width, (l.width + 7) / 8);
    ASSERT_EQ(image->height, (l.height + 7) / 8);
    ASSERT_EQ(image->pixels.size(), static_cast<size_t>(image->width * image->height * 4));
    const int hMax = Max(l, &Part::h), vMax = Max(l, &Part::v);
    const int low = l.progressive && !l.refine ? l.dcLow : 0;
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            std::array<int, 3> s{};
            for (size_t i = 0; i < l.parts.size(); ++i) {
                const Part& p = l.parts[i];
                const int coef = (dc(static_cast<int>(i), x * p.h / hMax, y * p.v / vMax) >> low)
                                 << low;
                s[i] = std::clamp(((coef * l.quant[p.quant] + 4) >> 3) + 128, 0, 255);
            }
            // Fixed point against floating point: 1 apart at most.
            const bool ycc = l.parts.size() == 3 && l.adobe != 0;
            const std::array<int, 3> rgb = l.parts.size() == 1 ? std::array{s[0], s[0], s[0]}
                                           : ycc               ? Rgb(s[0], s[1], s[2])
                                                               : s;
            const uint8_t* px = &image->pixels[static_cast<size_t>(y * image->width + x) * 4];
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(px[2 - c], rgb[c], ycc ? 1 : 0) << x << "," << y << " channel " << c;
            EXPECT_EQ(px[3], 0xFF);
        }
    }
}

int Pattern(int part, int bx, int by) {
    return (bx * 7 + by * 13 + part * 5) % 41 - 20;
}

// Where the first FF `marker` in f lies, from `from` on.
size_t Find(const Bytes& f, uint8_t marker, size_t from = 0) {
    const uint8_t m[] = {0xFF, marker};
    const auto at = std::search(f.begin() + static_cast<ptrdiff_t>(from), f.end(), m, m + 2);
    EXPECT_NE(at, f.end()) << int{marker};
    return static_cast<size_t>(at - f.begin());
}

// f with the first occurrence of `find` overwritten by `put`.
Bytes Replace(Bytes f, std::initializer_list<uint8_t> find, std::initializer_list<uint8_t> put) {
    const auto at = std::search(f.begin(), f.end(), find.begin(), find.end());
    EXPECT_NE(at, f.end());
    if (f.end() - at >= static_cast<ptrdiff_t>(put.size())) std::copy(put.begin(), put.end(), at);
    return f;
}

TEST(JpegDc, GreyBlocksAreTheirDcTerms) {
    // Sizes round up to whole blocks; one component's factors change nothing.
    for (auto [w, h] : {std::pair{40, 24}, {1, 1}, {9, 17}, {63, 65}})
        ExpectDecodes({.width = w, .height = h}, Pattern);
    ExpectDecodes({.parts = {{1, 2, 3}}}, Pattern);
}

TEST(JpegDc, DcTermsAreScaledRoundedAndClamped) {
    // DC 3 at step 5 is 15 / 8 = 1.875, so 130; the last two reach past either end.
    const int dcs[6] = {3, -3, 1, -1, 300, -300};
    const auto image = DecodeJpegDc(Encode({.width = 48, .height = 8, .quant = {5, 8, 8, 8}},
                                           [&](int, int bx, int) { return dcs[bx]; }));
    ASSERT_TRUE(image);
    const int expected[6] = {130, 126, 129, 127, 255, 0};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(image->pixels[x * 4], expected[x]) << x;
}

TEST(JpegDc, ColourIsYCbCrUnlessAdobeSaysRgb) {
    const std::array<int, 3> ycc[8] = {{0, 0, 0},  {40, 0, 0},  {0, 60, 0},    {0, -60, 0},
                                       {0, 0, 60}, {0, 0, -60}, {-90, 50, 50}, {90, -50, -50}};
    const DcTerms terms = [&](int part, int bx, int) { return ycc[bx][part]; };
    Layout l = {.width = 64, .height = 8, .parts = {{1}, {2, 1, 1, 1}, {3, 1, 1, 1}}};
    for (int adobe : {-1, 0, 1}) {
        l.adobe = adobe;
        ExpectDecodes(l, terms);
    }
    // Components named R, G and B, with neither JFIF nor Adobe to say what they are.
    l.parts = {{'R'}, {'G', 1, 1, 1}, {'B', 1, 1, 1}};
    l.adobe = -1;
    ExpectDecodes(l, terms);
    l.jfif = false;
    EXPECT_FALSE(DecodeJpegDc(Encode(l, terms)));
    l.adobe = 0;
    ExpectDecodes(l, terms);
}

TEST(JpegDc, SubsampledComponentsCoverTheirBlocks) {
    const std::vector<std::vector<Part>> samplings = {
        {{1, 2, 2}, {2}, {3}},                       // 4:2:0
        {{1, 2, 1}, {2}, {3}},                       // 4:2:2
        {{1, 1, 2}, {2}, {3}},                       // 4:4:0
        {{1, 4, 2}, {2}, {3}},                       // ten blocks an MCU, the most allowed
        {{1}, {2, 2, 2}, {3}},                       // chroma finer than luma
        {{1, 3, 1}, {2, 2, 1}, {3, 1, 1}},           // factors that do not divide each other
        {{1, 2, 2, 1}, {2, 1, 1, 2}, {3, 1, 1, 3}},  // and their own tables
    };
    for (const auto& parts : samplings) {
        for (auto [w, h] : {std::pair{64, 32}, {37, 23}, {8, 8}, {1, 1}, {129, 70}}) {
            for (bool interleaved : {true, false}) {
                SCOPED_TRACE(testing::Message() << parts[0].h << "x" << parts[0].v << " " << w
                                                << "x" << h << " " << interleaved);
                ExpectDecodes({.width = w, .height = h, .parts = parts, .interleaved = interleaved},
                              Pattern);
            }
        }
    }
}

TEST(JpegDc, RestartIntervals) {
    for (int restart : {1, 2, 7, 9, 1000}) {
        for (bool interleaved : {true, false}) {
            for (bool progressive : {false, true}) {
                SCOPED_TRACE(testing::Message() << restart << interleaved << progressive);
                ExpectDecodes({.width = 77,
                               .height = 45,
                               .parts = {{1, 2, 2}, {2}, {3}},
                               .restart = restart,
                               .progressive = progressive,
                               .dcLow = 1,
                               .interleaved = interleaved},
                              Pattern);
            }
        }
    }
    // Markers out of turn, or intervals that do not match the markers.
    const Layout l = {.width = 64, .restart = 2};
    Bytes f = Encode(l, Pattern);
    ASSERT_TRUE(DecodeJpegDc(f));
    const size_t rst = Find(f, 0xD0, Find(f, 0xDA));
    // A restart out of turn; the picture's end where a restart should be is a file cut there.
    f[rst + 1] = 0xD1;
    EXPECT_FALSE(DecodeJpegDc(f));
    f[rst + 1] = 0xD9;
    EXPECT_TRUE(DecodeJpegDc(f));
    for (uint8_t restart : {1, 3}) {
        Bytes other = Encode(l, Pattern);
        other[Find(other, 0xDD) + 5] = restart;
        EXPECT_FALSE(DecodeJpegDc(other)) << int{restart};
    }
}

TEST(JpegDc, ProgressiveUsesTheDcScansOnly) {
    for (int low : {0, 1, 3}) {
        for (bool interleaved : {true, false}) {
            // Without the refinement scans the low bits stay 0.
            for (bool refine : {true, false}) {
                SCOPED_TRACE(testing::Message() << low << interleaved << refine);
                Layout l = {.width = 50,
                            .height = 30,
                            .parts = {{1, 2, 2}, {2}, {3}},
                            .progressive = true,
                            .dcLow = low,
                            .refine = refine,
                            .interleaved = interleaved};
                ExpectDecodes(l, Pattern);
                l.parts = {{1}};
                ExpectDecodes(l, Pattern);
            }
        }
    }
}

TEST(JpegDc, ProgressiveDcScansComeInOrder) {
    const Bytes f = Encode({.progressive = true, .dcLow = 1}, Pattern);
    ASSERT_TRUE(DecodeJpegDc(f));
    // The refinement from bit 1 to bit 0 made one from bit 2, from bit 1 to none, or a second
    // first scan.
    const std::initializer_list<uint8_t> refine = {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 0, 0x10};
    for (uint8_t ahAl : {0x21, 0x1F, 0x00})
        EXPECT_FALSE(DecodeJpegDc(Replace(f, refine, {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 0, ahAl})))
            << int{ahAl};
    // A DC scan that goes on past position 0.
    EXPECT_FALSE(DecodeJpegDc(
        Replace(f, {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 0, 0x01}, {0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 5})));
}

TEST(JpegDc, ProgressiveFileIsReadOnlyUntilItsDcTermsAreComplete) {
    Layout l = {.width = 40, .height = 40, .progressive = true, .dcLow = 1};
    Bytes f = Encode(l, Pattern);
    const auto whole = DecodeJpegDc(f);
    ASSERT_TRUE(whole);
    // Cut inside the last AC scan, after the refinement: nothing further is needed.
    f.resize(f.size() - 6);
    const auto cut = DecodeJpegDc(f);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->pixels, whole->pixels);
    // Without refinement, the end of the file says there is none, with or without its EOI.
    l.refine = false;
    f = Encode(l, Pattern);
    const auto unrefined = DecodeJpegDc(f);
    ASSERT_TRUE(unrefined);
    f.resize(f.size() - 2);
    const auto noEnd = DecodeJpegDc(f);
    ASSERT_TRUE(noEnd);
    EXPECT_EQ(noEnd->pixels, unrefined->pixels);
}

TEST(JpegDc, AFileCutShortShowsTheBlocksItReachedAndGreyBelow) {
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive);
        const Layout l = {.width = 64, .height = 64, .progressive = progressive};
        const Bytes f = Encode(l, Pattern);
        const auto whole = DecodeJpegDc(f);
        ASSERT_TRUE(whole);
        // Cut in the middle of the first scan's data.
        const size_t sos = Find(f, 0xDA);
        const size_t dataStart = sos + 2 + (f[sos + 2] << 8 | f[sos + 3]);
        const size_t dataEnd = progressive ? Find(f, 0xDA, dataStart) : f.size() - 2;
        const Bytes cut(f.begin(), f.begin() + static_cast<std::ptrdiff_t>((dataStart + dataEnd) / 2));
        const auto part = DecodeJpegDc(cut);
        ASSERT_TRUE(part);
        ASSERT_EQ(part->pixels.size(), whole->pixels.size());
        // The first row as the whole file has it; the last row the level-shifted zero.
        EXPECT_TRUE(std::equal(part->pixels.begin(), part->pixels.begin() + 8 * 4, whole->pixels.begin()));
        const uint8_t* last = &part->pixels[part->pixels.size() - 4];
        EXPECT_EQ(last[0], 128);
        EXPECT_EQ(last[1], 128);
        EXPECT_EQ(last[2], 128);
        // A marker in the data does the same.
        Bytes marked = f;
        marked[(dataStart + dataEnd) / 2] = 0xFF;
        marked[(dataStart + dataEnd) / 2 + 1] = 0xD9;
        EXPECT_TRUE(DecodeJpegDc(marked));
    }
}

TEST(JpegDc, FrameHeader) {
    const auto frame = ReadJpegDcFrame(
        Encode({.width = 300, .height = 200, .parts = {{1, 2, 2}, {2}, {3}}}, Pattern));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->naturalWidth, 300);
    EXPECT_EQ(frame->naturalHeight, 200);
    EXPECT_EQ(frame->components, 3);
    const auto grey = ReadJpegDcFrame(Encode({.progressive = true}, Pattern));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->components, 1);
    // A scan, or the end, before any frame header.
    EXPECT_FALSE(ReadJpegDcFrame(Bytes{0xFF, 0xD8, 0xFF, 0xDA, 0, 2, 0xFF, 0xD9}));
    EXPECT_FALSE(ReadJpegDcFrame(Bytes{0xFF, 0xD8, 0xFF, 0xD9}));
}

TEST(JpegDc, OtherKindsAreLeftToThePlatform) {
    const Bytes f = Encode({.parts = {{1, 1, 1}, {2}, {3}}}, Pattern);
    ASSERT_TRUE(DecodeJpegDc(f));
    // FF C0, length 17, precision 8, height 16, width 16, 3 components.
    const std::initializer_list<uint8_t> sof = {0xFF, 0xC0, 0, 17, 8, 0, 16, 0, 16, 3};
    for (uint8_t kind : {0xC3, 0xC5, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF}) {
        EXPECT_FALSE(DecodeJpegDc(Replace(f, sof, {0xFF, kind}))) << int{kind};
        EXPECT_FALSE(ReadJpegDcFrame(Replace(f, sof, {0xFF, kind}))) << int{kind};
    }
    EXPECT_FALSE(DecodeJpegDc(Replace(f, sof, {0xFF, 0xC0, 0, 17, 12})));       // 12-bit
    EXPECT_FALSE(DecodeJpegDc(Replace(f, sof, {0xFF, 0xC0, 0, 17, 8, 0, 0})));  // height by DNL
    EXPECT_FALSE(DecodeJpegDc(Replace(f, sof, {0xFF, 0xC0, 0, 17, 8, 0, 16, 0, 0})));  // no width
    // Four components (CMYK) and two; sampling factors of 5 and 0.
    EXPECT_FALSE(DecodeJpegDc(Encode({.parts = {{1}, {2}, {3}, {4}}}, Pattern)));
    EXPECT_FALSE(DecodeJpegDc(Encode({.parts = {{1}, {2}}}, Pattern)));
    EXPECT_FALSE(DecodeJpegDc(Replace(f, {1, 0x11, 0, 2}, {1, 0x51})));
    EXPECT_FALSE(DecodeJpegDc(Replace(f, {1, 0x11, 0, 2}, {1, 0x10})));
}

TEST(JpegDc, MalformedTablesAndScans) {
    const Bytes f = Encode({.width = 24}, Pattern);
    ASSERT_TRUE(DecodeJpegDc(f));
    // The DC table: 13 codes of 4 bits. 3 of 2 bits and 10 of 4 overfill the code space; 14
    // values are more than the segment holds; then a table kind and a slot out of range.
    const std::initializer_list<uint8_t> dht = {0xFF, 0xC4, 0, 32, 0x00, 0, 0, 0, 13};
    EXPECT_FALSE(DecodeJpegDc(Replace(f, dht, {0xFF, 0xC4, 0, 32, 0x00, 0, 3, 0, 10})));
    EXPECT_FALSE(DecodeJpegDc(Replace(f, dht, {0xFF, 0xC4, 0, 32, 0x00, 0, 0, 0, 14})));
    EXPECT_FALSE(DecodeJpegDc(Replace(f, dht, {0xFF, 0xC4, 0, 32, 0x20})));
    EXPECT_FALSE(DecodeJpegDc(Replace(f, dht, {0xFF, 0xC4, 0, 32, 0x04})));
    // A DC difference of 12 bits, more than 8-bit samples can make.
    EXPECT_TRUE(DecodeJpegDc(Encode({}, [](int, int, int) { return 2047; })));
    EXPECT_FALSE(DecodeJpegDc(Encode({}, [](int, int, int) { return 2048; })));
    // A DC step of 0, and a quantization table cut short.
    EXPECT_FALSE(DecodeJpegDc(Replace(f, {0xFF, 0xDB, 0, 67, 0, 8}, {0xFF, 0xDB, 0, 67, 0, 0})));
    EXPECT_FALSE(DecodeJpegDc(Replace(f, {0xFF, 0xDB, 0, 67, 0}, {0xFF, 0xDB, 0, 66, 0})));
    // A scan naming a component the frame lacks, a table slot never defined, or less than the
    // whole block in a sequential file.
    const std::initializer_list<uint8_t> sos = {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 63, 0};
    EXPECT_FALSE(DecodeJpegDc(Replace(f, sos, {0xFF, 0xDA, 0, 8, 1, 9})));
    EXPECT_FALSE(DecodeJpegDc(Replace(f, sos, {0xFF, 0xDA, 0, 8, 1, 1, 0x22})));
    EXPECT_FALSE(DecodeJpegDc(Replace(f, sos, {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 62})));
    // Bytes between the scan's end and the next marker.
    Bytes extra = f;
    extra.insert(extra.end() - 2, {0x12, 0x34});
    EXPECT_FALSE(DecodeJpegDc(extra));
    // A second frame header.
    const auto sof = f.begin() + static_cast<ptrdiff_t>(Find(f, 0xC0));
    Bytes twice(f.begin(), sof + 13);
    twice.insert(twice.end(), sof, f.end());
    EXPECT_FALSE(DecodeJpegDc(twice));
    // Not a JPEG at all.
    EXPECT_FALSE(DecodeJpegDc(Bytes(f.begin() + 2, f.end())));
    EXPECT_FALSE(DecodeJpegDc({}));
}

TEST(JpegDc, CorruptEntropyData) {
    // DC terms that, added up, pass 16 bits: far past any real picture's.
    Layout l = {.width = 8 * 40, .height = 8};
    EXPECT_TRUE(DecodeJpegDc(Encode(l, [](int, int bx, int) { return bx * 800; })));
    EXPECT_FALSE(DecodeJpegDc(Encode(l, [](int, int bx, int) { return bx * 1000; })));
    // A run past position 63, well before the data's end (a fault in the last bytes is
    // taken for the file's cut).
    l = {.width = 8 * 40, .height = 8, .overrun = true};
    EXPECT_FALSE(DecodeJpegDc(Encode(l, Pattern)));
    l.width = 8;
    l.overrun = false;
    const Bytes f = Encode(l, Pattern);
    ASSERT_TRUE(DecodeJpegDc(f));
    const auto data = f.begin() + static_cast<ptrdiff_t>(Find(f, 0xDA) + 10);
    // Bits that are no code of the table: the DC codes are 0000 to 1011.
    Bytes noCode(f.begin(), data);
    noCode.insert(noCode.end(), {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0xD9});
    EXPECT_FALSE(DecodeJpegDc(noCode));
}

TEST(JpegDc, HugeFrameInATinyFileIsRefusedBeforeAllocating) {
    const Bytes f = Encode({.parts = {{1, 2, 2}, {2}, {3}}}, Pattern);
    // 65535 x 65535: some 100 million blocks, which would take 12 MB at a bit each.
    const std::initializer_list<uint8_t> size = {0xFF, 0xC0, 0, 17, 8, 0, 16, 0, 16};
    const Bytes huge = Replace(f, size, {0xFF, 0xC0, 0, 17, 8, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_FALSE(ReadJpegDcFrame(huge));
    EXPECT_FALSE(DecodeJpegDc(huge));
    Bytes padded = huge;
    padded.insert(padded.end() - 2, 13'000'000, 0);
    ASSERT_TRUE(ReadJpegDcFrame(padded));
    EXPECT_EQ(ReadJpegDcFrame(padded)->naturalWidth, 65535);
    // 2000 x 2000 has 62,500 + 2 x 15,625 blocks: 11,719 bytes at the least after the frame
    // header, which the Huffman tables follow.
    Bytes mid = Replace(f, size, {0xFF, 0xC0, 0, 17, 8, 0x07, 0xD0, 0x07, 0xD0});
    mid.insert(mid.end() - 2, 11'719 - (mid.size() - Find(mid, 0xC4)) - 1, 0);
    EXPECT_FALSE(ReadJpegDcFrame(mid));
    mid.insert(mid.end() - 2, 0);
    EXPECT_TRUE(ReadJpegDcFrame(mid));
}

// Files made by ImageMagick, against its own full decode.

Bytes ReadFile(const std::string& name) {
    std::ifstream in(std::string(QCD_TEST_DATA) + "/jpeg_dc/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The decode at 1/8 of `jpeg` against its full decode `full` (a binary PPM or PGM): each
// pixel's luma is the mean over its 8 x 8 block, its chroma the mean over the chroma block
// covering it, chromaWide x chromaHigh of the picture's blocks (the full decode interpolates
// chroma between blocks; the means take that out again). Blocks past the picture's edge hold
// copies of its last column and row, as the encoder filled them. Returns the largest and the
// mean difference.
std::pair<int, double> CompareWithBlockMeans(const std::string& jpeg, const std::string& full,
                                             int chromaWide, int chromaHigh) {
    const auto image = DecodeJpegDc(ReadFile(jpeg));
    const Bytes pnm = ReadFile(full);
    char kind = 0;
    int width = 0, height = 0, maxval = 0, used = 0;
    const bool header =
        pnm.size() > 2 && std::sscanf(reinterpret_cast<const char*>(pnm.data()), "P%c %d %d %d%n",
                                      &kind, &width, &height, &maxval, &used) == 4;
    const int channels = kind == '5' ? 1 : 3;
    if (!image || !header ||
        pnm.size() - static_cast<size_t>(used) - 1 !=
            static_cast<size_t>(width * height * channels)) {
        ADD_FAILURE() << jpeg;
        return {255, 255};
    }
    EXPECT_EQ(image->naturalWidth, width);
    EXPECT_EQ(image->naturalHeight, height);
    EXPECT_EQ(image->components, channels);

    std::array<std::vector<double>, 3> ycc;  // JFIF's RGB to YCbCr
    for (size_t i = static_cast<size_t>(used) + 1; i < pnm.size(); i += channels) {
        const double r = pnm[i], g = pnm[i + (channels - 1) / 2], b = pnm[i + channels - 1];
        ycc[0].push_back(0.299 * r + 0.587 * g + 0.114 * b);
        ycc[1].push_back(-0.168736 * r - 0.331264 * g + 0.5 * b + 128);
        ycc[2].push_back(0.5 * r - 0.418688 * g - 0.081312 * b + 128);
    }
    // Plane c's mean over `wide` x `high` blocks from the one holding pixel block (bx, by).
    const auto mean = [&](int c, int bx, int by, int wide, int high) {
        bx -= bx % wide;
        by -= by % high;
        double sum = 0;
        for (int y = by * 8; y < (by + high) * 8; ++y)
            for (int x = bx * 8; x < (bx + wide) * 8; ++x)
                sum += ycc[c][static_cast<size_t>(std::min(y, height - 1) * width +
                                                  std::min(x, width - 1))];
        return sum / (wide * high * 64);
    };
    int largest = 0, total = 0;
    for (int by = 0; by < image->height; ++by) {
        for (int bx = 0; bx < image->width; ++bx) {
            const auto rgb = Rgb(std::round(mean(0, bx, by, 1, 1)),
                                 std::round(mean(1, bx, by, chromaWide, chromaHigh)),
                                 std::round(mean(2, bx, by, chromaWide, chromaHigh)));
            const uint8_t* px = &image->pixels[static_cast<size_t>(by * image->width + bx) * 4];
            for (int c = 0; c < 3; ++c) {
                largest = std::max(largest, std::abs(px[2 - c] - rgb[c]));
                total += std::abs(px[2 - c] - rgb[c]);
            }
        }
    }
    return {largest, static_cast<double>(total) / (image->width * image->height * 3)};
}

TEST(JpegDc, MatchesTheMeansOfTheFullDecode) {
    const struct {
        const char* jpeg;
        const char* full;
        int chromaWide, chromaHigh;
    } files[] = {
        {"grey.jpg", "grey.pgm", 1, 1},
        {"progressive_grey.jpg", "progressive_grey.pgm", 1, 1},
        {"ycc444.jpg", "ycc444.ppm", 1, 1},
        {"ycc420.jpg", "ycc420.ppm", 2, 2},
        {"ycc422.jpg", "ycc422.ppm", 2, 1},
        {"ycc440.jpg", "ycc440.ppm", 1, 2},
        {"progressive.jpg", "progressive.ppm", 2, 2},
        {"odd.jpg", "odd.ppm", 2, 2},
        {"noisy.jpg", "noisy.ppm", 2, 2},
    };
    for (const auto& f : files) {
        // What is left is rounding: the full decode rounds every pixel and its colours.
        const auto [largest, mean] =
            CompareWithBlockMeans(f.jpeg, f.full, f.chromaWide, f.chromaHigh);
        EXPECT_LE(largest, 3) << f.jpeg;
        EXPECT_LE(mean, 0.5) << f.jpeg;
    }
}

TEST(JpegDc, FilesCutAnywhereInTheirDataShowTheRowsBeforeTheCutAndGreyBelow) {
    const std::map<std::string, Bytes> files = {
        {"ycc420.jpg", ReadFile("ycc420.jpg")},
        {"odd.jpg", ReadFile("odd.jpg")},
        {"restarts",
         Encode({.width = 40, .height = 24, .parts = {{1, 2, 1}, {2}, {3}}, .restart = 2},
                Pattern)},
        {"progressive.jpg", ReadFile("progressive.jpg")},
    };
    for (const auto& [name, f] : files) {
        const auto whole = DecodeJpegDc(f);
        ASSERT_TRUE(whole) << name;
        const size_t rowBytes = static_cast<size_t>(whole->width) * 4;
        const auto row = [&](const JpegDcImage& image, int y) {
            return std::span(image.pixels).subspan(static_cast<size_t>(y) * rowBytes, rowBytes);
        };
        const size_t sos = Find(f, 0xDA);
        const size_t dataStart = sos + 2 + (f[sos + 2] << 8 | f[sos + 3]);
        const bool progressive = name == "progressive.jpg";
        int lastSame = 0;
        for (size_t n = dataStart; n < f.size(); ++n) {
            const auto cut = DecodeJpegDc(std::span(f).first(n));
            ASSERT_TRUE(cut) << name << " cut at " << n;
            ASSERT_EQ(cut->pixels.size(), whole->pixels.size());
            if (progressive) continue;  // its colour comes from later scans
            int same = 0, grey = 0;
            while (same < whole->height && std::ranges::equal(row(*cut, same), row(*whole, same)))
                ++same;
            while (grey < whole->height &&
                   std::ranges::all_of(row(*cut, whole->height - 1 - grey).first(3),
                                       [](uint8_t v) { return v == 128; }))
                ++grey;
            // At most the cut's row of MCUs (two rows of pixels here) is neither.
            EXPECT_GE(same + grey, whole->height - 2) << name << " cut at " << n;
            EXPECT_GE(same, lastSame) << name << " cut at " << n;
            lastSame = same;
        }
        if (!progressive) EXPECT_GE(lastSame, whole->height - 2) << name;
        EXPECT_EQ(DecodeJpegDc(std::span(f).first(dataStart - 1)), std::nullopt) << name;
    }
}

}  // namespace
}  // namespace qcd
