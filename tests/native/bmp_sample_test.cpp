#include "readers/bmp_sample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>

#include "test_bytes.h"

namespace qcd {
namespace {

using test::Bytes;
using test::Put16;
using test::Put32;

// A bitmap written byte by byte; `pixel` gives the stored value at (x, y), y from the top.
struct Bmp {
    uint32_t headerSize = 40;
    int32_t width = 4, height = 4;  // negative height: top-down
    uint16_t bits = 8;
    uint16_t planes = 1;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::array<uint32_t, 3> masks{};
    uint32_t offBits = 0;  // 0: right after the palette
    std::function<uint32_t(int, int)> pixel = [](int, int) { return 0u; };
};

uint32_t Stride(int32_t width, int bits) {
    return static_cast<uint32_t>((width * bits + 31) / 32 * 4);
}

Bytes Write(const Bmp& m) {
    const bool core = m.headerSize == 12;
    Bytes b(14 + m.headerSize, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 14, m.headerSize);
    if (core) {
        Put16(b, 18, static_cast<uint16_t>(m.width));
        Put16(b, 20, static_cast<uint16_t>(m.height));
        Put16(b, 22, m.planes);
        Put16(b, 24, m.bits);
    } else {
        Put32(b, 18, static_cast<uint32_t>(m.width));
        Put32(b, 22, static_cast<uint32_t>(m.height));
        Put16(b, 26, m.planes);
        Put16(b, 28, m.bits);
        Put32(b, 30, m.compression);
        Put32(b, 46, m.clrUsed);
    }
    if (m.compression == 3) {
        if (m.headerSize == 40) b.resize(b.size() + 12);
        for (size_t i = 0; i < 3; ++i) Put32(b, 54 + 4 * i, m.masks[i]);
    }
    for (const uint32_t c : m.palette) {
        b.push_back(static_cast<uint8_t>(c));
        b.push_back(static_cast<uint8_t>(c >> 8));
        b.push_back(static_cast<uint8_t>(c >> 16));
        if (!core) b.push_back(0);
    }
    if (m.offBits != 0) b.resize(m.offBits, 0xCC);
    Put32(b, 10, m.offBits);

    const int32_t h = m.height < 0 ? -m.height : m.height;
    const uint32_t stride = Stride(m.width, m.bits);
    for (int32_t r = 0; r < h; ++r) {
        const int32_t y = m.height < 0 ? r : h - 1 - r;
        Bytes row(stride, 0);
        for (int32_t x = 0; x < m.width; ++x) {
            const uint32_t v = m.pixel(x, y);
            const auto ux = static_cast<size_t>(x);
            if (m.bits < 8) {
                const size_t bit = ux * m.bits;
                row[bit / 8] |= static_cast<uint8_t>(v << (8 - m.bits - bit % 8));
            } else {
                for (size_t k = 0; k < m.bits / 8u; ++k)
                    row[ux * m.bits / 8 + k] = static_cast<uint8_t>(v >> (8 * k));
            }
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

// The preview as the Win32 caller makes it: the head, then one read per needed row.
std::optional<BmpSample> Sample(const Bytes& file, int32_t tw, int32_t th) {
    const auto head = std::span(file).first(std::min(file.size(), kBmpHeadSize));
    const auto layout = ReadBmpLayout(head, file.size());
    if (!layout) return std::nullopt;
    auto sampler = BmpSampler::Make(*layout, tw, th);
    if (!sampler) return std::nullopt;
    for (size_t i = 0; i < sampler->Reads().size(); ++i) {
        const BmpRowRead& r = sampler->Reads()[i];
        EXPECT_LE(r.offset + r.size, file.size());
        EXPECT_TRUE(sampler->Put(i, std::span(file).subspan(r.offset, r.size)));
    }
    return sampler->Take();
}

uint32_t At(const BmpSample& s, int32_t x, int32_t y) {
    const size_t i = (static_cast<size_t>(y) * s.width + x) * 4;
    EXPECT_EQ(s.pixels[i + 3], 0xFF);
    return static_cast<uint32_t>(s.pixels[i] | s.pixels[i + 1] << 8 | s.pixels[i + 2] << 16);
}

std::optional<BmpLayout> Layout(const Bytes& file) {
    return ReadBmpLayout(file, file.size());
}

// A palette whose entries all differ: 0x00RRGGBB from the index.
std::vector<uint32_t> Palette(size_t n) {
    std::vector<uint32_t> p;
    for (uint32_t i = 0; i < n; ++i)
        p.push_back(0x010000 * (255 - i) + 0x000100 * i + (i * 7 & 0xFF));
    return p;
}

// Per depth: the value stored for colour k (0..3 for the quadrants, more for gradients), and
// the colour shown.
struct Depth {
    uint16_t bits;
    std::function<uint32_t(uint32_t)> stored;
    std::function<uint32_t(uint32_t)> shown;
};

std::vector<Depth> Depths(bool core) {
    std::vector<Depth> d;
    for (const uint16_t bits : {1, 4, 8}) {
        const uint32_t n = 1u << bits;
        d.push_back({bits, [n](uint32_t k) { return (k * 37 + 1) % n; },
                     [n](uint32_t k) { return Palette(n)[(k * 37 + 1) % n]; }});
    }
    if (!core) {
        // 5-5-5: five-bit values k, k + 9, k + 17 widen to 8 bits rounding.
        d.push_back(
            {16, [](uint32_t k) { return (k % 32) << 10 | ((k + 9) % 32) << 5 | (k + 17) % 32; },
             [](uint32_t k) {
                 auto w = [](uint32_t v) { return (v * 255 + 15) / 31; };
                 return w(k % 32) << 16 | w((k + 9) % 32) << 8 | w((k + 17) % 32);
             }});
    }
    const auto rgb = [](uint32_t k) { return (k * 0x2F1B07 + 0x103050) & 0xFFFFFF; };
    d.push_back({24, rgb, rgb});
    // The top byte of an uncompressed 32-bit pixel is not shown.
    if (!core) d.push_back({32, [rgb](uint32_t k) { return rgb(k) | 0xAB000000; }, rgb});
    return d;
}

// Each header with each of its depths, bottom-up and (past the core header) top-down: a
// bitmap of that kind whose pixel (x, y) is the depth's colour number k(x, y).
void ForEachKind(const std::function<void(const Depth&, const Bmp&)>& test) {
    for (const uint32_t header : {12u, 40u, 108u, 124u}) {
        for (const Depth& depth : Depths(header == 12)) {
            for (const bool topDown : {false, true}) {
                if (topDown && header == 12) continue;
                SCOPED_TRACE("header " + std::to_string(header) + ", " +
                             std::to_string(depth.bits) + " bits" + (topDown ? ", top-down" : ""));
                Bmp m{.headerSize = header, .height = topDown ? -10 : 10, .bits = depth.bits};
                if (depth.bits <= 8) m.palette = Palette(1u << depth.bits);
                test(depth, m);
            }
        }
    }
}

TEST(BmpSample, EveryHeaderAndDepthShowsItsPixels) {
    ForEachKind([](const Depth& depth, Bmp m) {
        // Odd widths pad their rows differently at each depth.
        for (const int32_t width : {1, 5, 14}) {
            m.width = width;
            m.pixel = [&](int x, int y) { return depth.stored(x * 3 + y * 5); };
            const Bytes file = Write(m);
            const auto layout = Layout(file);
            ASSERT_TRUE(layout) << width;
            EXPECT_EQ(layout->width, width);
            EXPECT_EQ(layout->height, 10);
            EXPECT_EQ(layout->topDown, m.height < 0);
            EXPECT_EQ(layout->bits, depth.bits);
            EXPECT_EQ(layout->stride, Stride(width, depth.bits));
            EXPECT_TRUE(layout->rowsInFile);
            // At its own size, every pixel as stored.
            const auto same = Sample(file, width, 10);
            ASSERT_TRUE(same) << width;
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < width; ++x)
                    ASSERT_EQ(At(*same, x, y), depth.shown(x * 3 + y * 5)) << x << "," << y;
        }
    });
}

TEST(BmpSample, QuadrantsLandInTheirQuadrants) {
    ForEachKind([](const Depth& depth, Bmp m) {
        // 0 top left, 1 top right, 2 bottom left, 3 bottom right.
        const auto quadrant = [](int x, int y) { return (x >= 7 ? 1u : 0u) + (y >= 5 ? 2u : 0u); };
        m.width = 14;
        m.pixel = [&](int x, int y) { return depth.stored(quadrant(x, y)); };
        const auto small = Sample(Write(m), 2, 2);
        ASSERT_TRUE(small);
        for (int q = 0; q < 4; ++q) EXPECT_EQ(At(*small, q % 2, q / 2), depth.shown(q)) << q;
        // Larger than the source: each source pixel covers a block.
        const auto large = Sample(Write(m), 28, 30);
        ASSERT_TRUE(large);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 28; ++x)
                ASSERT_EQ(At(*large, x, y), depth.shown(quadrant(x / 2, y / 3))) << x << "," << y;
    });
}

TEST(BmpSample, Bitfields) {
    const auto colours = [](Bmp m, std::vector<uint32_t> stored) {
        m.width = static_cast<int32_t>(stored.size());
        m.height = 1;
        m.pixel = [stored](int x, int) { return stored[static_cast<size_t>(x)]; };
        const auto s = Sample(Write(m), m.width, 1);
        std::vector<uint32_t> shown;
        if (s)
            for (int x = 0; x < m.width; ++x) shown.push_back(At(*s, x, 0));
        return shown;
    };
    // 5-6-5, masks after a 40-byte header.
    Bmp b565{.bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}};
    EXPECT_EQ(colours(b565, {0xF800, 0x07E0, 0x001F, 0x8410, 0x0000, 0xFFFF}),
              (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0x848284, 0, 0xFFFFFF}));
    // 5-5-5 spelt out in a V4 header: the top bit is not a colour.
    Bmp b555{.headerSize = 108, .bits = 16, .compression = 3, .masks = {0x7C00, 0x03E0, 0x001F}};
    EXPECT_EQ(colours(b555, {0x8000, 0xFC00, 0x4210}),
              (std::vector<uint32_t>{0, 0xFF0000, 0x848484}));
    // 8-8-8-8 in a V5 header, channels in an unusual order.
    Bmp b8888{.headerSize = 124,
              .bits = 32,
              .compression = 3,
              .masks = {0x000000FF, 0xFF000000, 0x00FF0000}};
    EXPECT_EQ(colours(b8888, {0x11223344, 0x000000FF}),
              (std::vector<uint32_t>{0x441122, 0xFF0000}));
    // A 10-bit field keeps its top eight bits' worth, rounded.
    Bmp b10{.bits = 32, .compression = 3, .masks = {0x3FF00000, 0x000FFC00, 0x000003FF}};
    EXPECT_EQ(colours(b10, {0x3FF00000, 0x00000200}), (std::vector<uint32_t>{0xFF0000, 0x000080}));
    // Uncompressed, a V5 header's mask fields are not used.
    Bmp plain{.headerSize = 124, .bits = 32, .masks = {0xFF, 0xFF00, 0xFF0000}};
    EXPECT_EQ(colours(plain, {0x00123456}), (std::vector<uint32_t>{0x123456}));
    // An empty mask shows its channel black.
    Bmp noBlue{.bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0}};
    EXPECT_EQ(colours(noBlue, {0xFFFF}), (std::vector<uint32_t>{0xFFFF00}));
}

TEST(BmpSample, PalettesShortLongAndCore) {
    Bmp m{.width = 6,
          .height = 1,
          .bits = 8,
          .clrUsed = 3,
          .palette = {0x112233, 0x445566, 0x778899}};
    m.pixel = [](int x, int) {
        return std::array<uint32_t, 6>{0, 1, 2, 3, 255, 1}[static_cast<size_t>(x)];
    };
    // The pixels follow the three entries; indices past them show black.
    Bytes file = Write(m);
    EXPECT_EQ(Layout(file)->pixelOffset, 54u + 12);
    EXPECT_EQ(Layout(file)->palette.size(), 3u);
    auto s = Sample(file, 6, 1);
    ASSERT_TRUE(s);
    const std::vector<uint32_t> expected = {0x112233, 0x445566, 0x778899, 0, 0, 0x445566};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(At(*s, x, 0), expected[static_cast<size_t>(x)]) << x;

    // More entries than four bits index: all take room, sixteen are used.
    Bmp longer{.width = 2, .height = 1, .bits = 4, .clrUsed = 256, .palette = Palette(256)};
    longer.pixel = [](int x, int) { return x == 0 ? 15u : 3u; };
    file = Write(longer);
    EXPECT_EQ(Layout(file)->pixelOffset, 54u + 1024);
    EXPECT_EQ(Layout(file)->palette.size(), 16u);
    s = Sample(file, 2, 1);
    ASSERT_TRUE(s);
    EXPECT_EQ(At(*s, 0, 0), Palette(16)[15]);
    EXPECT_EQ(At(*s, 1, 0), Palette(16)[3]);

    // A core header's entries are three bytes, always 2^bits of them.
    Bmp core{.headerSize = 12, .width = 3, .height = 2, .bits = 4, .palette = Palette(16)};
    core.pixel = [](int x, int y) { return static_cast<uint32_t>(x + 5 * y); };
    file = Write(core);
    EXPECT_EQ(Layout(file)->pixelOffset, 26u + 48);
    s = Sample(file, 3, 2);
    ASSERT_TRUE(s);
    EXPECT_EQ(At(*s, 2, 1), Palette(16)[7]);

    // A palette that does not fit the bytes given is a damaged file.
    Bmp cut{.width = 1, .height = 1, .bits = 8, .clrUsed = 200, .palette = Palette(200)};
    file = Write(cut);
    EXPECT_TRUE(Layout(file));
    const auto head = std::span(file).first(54 + 199 * 4 + 3);
    EXPECT_FALSE(ReadBmpLayout(head, file.size()));
    // Beyond 2^bits, the entries read stop at 2^bits.
    const Bytes longFile = Write(longer);
    EXPECT_TRUE(ReadBmpLayout(std::span(longFile).first(54 + 64), longFile.size()));
}

TEST(BmpSample, PixelOffsetFromTheFileHeader) {
    Bmp m{.width = 2, .height = 2, .bits = 24, .offBits = 200};
    m.pixel = [](int x, int y) { return x == 1 && y == 0 ? 0xABCDEFu : 0u; };
    const Bytes file = Write(m);
    EXPECT_EQ(Layout(file)->pixelOffset, 200u);
    const auto s = Sample(file, 2, 2);
    ASSERT_TRUE(s);
    EXPECT_EQ(At(*s, 1, 0), 0xABCDEFu);
    EXPECT_EQ(At(*s, 0, 0), 0u);
    // Pixels inside the header, or inside the masks after it.
    Bytes inside = file;
    Put32(inside, 10, 53);
    EXPECT_FALSE(Layout(inside));
    Bmp masks{
        .width = 1, .height = 1, .bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x1F}};
    Bytes intoMasks = Write(masks);
    EXPECT_EQ(Layout(intoMasks)->pixelOffset, 66u);
    Put32(intoMasks, 10, 62);
    EXPECT_FALSE(Layout(intoMasks));
}

TEST(BmpSample, BandsAreSampledAtTheirCentres) {
    // Sixteen columns into one: columns 2, 6, 10 and 14 are averaged, the others not seen.
    const auto one = [](std::vector<int> white) {
        Bmp m{.width = 16, .height = 1, .bits = 8, .clrUsed = 2, .palette = {0, 0xFFFFFF}};
        m.pixel = [white](int x, int) {
            return std::find(white.begin(), white.end(), x) != white.end() ? 1u : 0u;
        };
        return At(Sample(Write(m), 1, 1).value(), 0, 0);
    };
    EXPECT_EQ(one({14}), 0x404040u);
    EXPECT_EQ(one({2, 6}), 0x808080u);
    EXPECT_EQ(one({2, 6, 10, 14}), 0xFFFFFFu);
    EXPECT_EQ(one({0, 1, 3, 4, 5, 7, 8, 9, 11, 12, 13, 15}), 0u);
    // Bands of four or fewer columns average them all.
    Bmp stripes{.width = 12, .height = 1, .bits = 24};
    stripes.pixel = [](int x, int) { return x % 3 == 0 ? 0x0000FFu : 0x00FF00u; };
    const auto s = Sample(Write(stripes), 4, 1);
    ASSERT_TRUE(s);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(At(*s, x, 0), 0x00AA55u) << x;

    // Ten rows into two: rows 2 and 7 are shown.
    for (const bool topDown : {false, true}) {
        Bmp rows{.width = 1, .height = topDown ? -10 : 10, .bits = 24};
        rows.pixel = [](int, int y) { return static_cast<uint32_t>(y); };
        const auto r = Sample(Write(rows), 1, 2);
        ASSERT_TRUE(r);
        EXPECT_EQ(At(*r, 0, 0), 2u);
        EXPECT_EQ(At(*r, 0, 1), 7u);
    }
}

TEST(BmpSample, LargeBitmapReadsOneRowPerTargetRow) {
    // 8000 x 8000 x 24: only the header is given; the rows are served as asked.
    Bytes head = Write(Bmp{.width = 8000, .height = 0, .bits = 24});
    Put32(head, 22, 8000);
    const uint64_t fileSize = 54 + 24000ull * 8000;
    const auto layout = ReadBmpLayout(head, fileSize);
    ASSERT_TRUE(layout);
    EXPECT_TRUE(layout->rowsInFile);
    EXPECT_EQ(layout->stride, 24000u);
    EXPECT_FALSE(ReadBmpLayout(head, fileSize - 1)->rowsInFile);

    auto sampler = BmpSampler::Make(*layout, 119, 138);
    ASSERT_TRUE(sampler);
    const auto& reads = sampler->Reads();
    ASSERT_EQ(reads.size(), 138u);
    for (size_t i = 0; i < reads.size(); ++i) {
        EXPECT_EQ(reads[i].size, 24000u);
        EXPECT_EQ(reads[i].offset, 54 + 24000ull * static_cast<uint64_t>(reads[i].fileRow));
        if (i > 0) EXPECT_GT(reads[i].fileRow, reads[i - 1].fileRow);
    }
    // Bottom-up: the first row read is the bottom target row's, the centre of the last band.
    EXPECT_EQ(reads.front().fileRow, 8000 - 1 - (2 * 137 + 1) * 8000 / (2 * 138));
    EXPECT_FALSE(sampler->Take());

    // Each row a grey of its own; put in reverse order.
    Bytes row(24000);
    for (size_t i = reads.size(); i-- > 0;) {
        std::fill(row.begin(), row.end(), static_cast<uint8_t>(reads[i].fileRow));
        EXPECT_TRUE(sampler->Put(i, row));
    }
    EXPECT_FALSE(sampler->Put(reads.size(), row));
    EXPECT_FALSE(sampler->Put(0, std::span(row).first(23999)));
    const auto s = sampler->Take();
    ASSERT_TRUE(s);
    EXPECT_FALSE(sampler->Take());
    ASSERT_EQ(s->pixels.size(), 119u * 138 * 4);
    for (int y = 0; y < 138; ++y) {
        const auto grey = static_cast<uint8_t>(8000 - 1 - (2 * y + 1) * 8000 / (2 * 138));
        EXPECT_EQ(At(*s, 0, y), grey * 0x010101u) << y;
        EXPECT_EQ(At(*s, 118, y), grey * 0x010101u) << y;
    }

    // Taller than the source: each row is read once however many target rows show it.
    const auto up =
        BmpSampler::Make(*Layout(Write(Bmp{.width = 3, .height = 2, .bits = 24})), 6, 9);
    ASSERT_TRUE(up);
    ASSERT_EQ(up->Reads().size(), 2u);
    EXPECT_EQ(up->Reads()[0].fileRow, 0);
    EXPECT_EQ(up->Reads()[1].fileRow, 1);
}

TEST(BmpSample, DamagedOrUnsupportedHeadersGiveNothing) {
    const Bytes good = Write(Bmp{.width = 3, .height = 3, .bits = 8, .palette = Palette(256)});
    ASSERT_TRUE(Layout(good));
    const auto with = [&](size_t at, uint32_t v, int size = 4) {
        Bytes b = good;
        if (size == 2)
            Put16(b, at, static_cast<uint16_t>(v));
        else
            Put32(b, at, v);
        return Layout(b).has_value();
    };
    EXPECT_FALSE(with(0, 'B' | 'A' << 8, 2));
    for (const uint32_t size : {0u, 16u, 64u, 125u}) EXPECT_FALSE(with(14, size)) << size;
    for (const uint32_t planes : {0u, 2u}) EXPECT_FALSE(with(26, planes, 2)) << planes;
    for (const uint32_t bits : {0u, 2u, 7u, 48u}) EXPECT_FALSE(with(28, bits, 2)) << bits;
    // RLE, JPEG, PNG, alpha bitfields; bitfields at 8 bits.
    for (const uint32_t c : {1u, 2u, 4u, 5u, 6u, 3u}) EXPECT_FALSE(with(30, c)) << c;
    for (const int32_t w : {0, -1, 65536, INT32_MIN, INT32_MAX})
        EXPECT_FALSE(with(18, static_cast<uint32_t>(w))) << w;
    for (const int32_t h : {0, 65536, -65536, INT32_MIN})
        EXPECT_FALSE(with(22, static_cast<uint32_t>(h))) << h;
    EXPECT_TRUE(with(22, static_cast<uint32_t>(-65535)));
    EXPECT_FALSE(with(46, 257));
    EXPECT_TRUE(with(46, 256));
    // The head is the file's beginning: it cannot be longer.
    EXPECT_FALSE(ReadBmpLayout(good, good.size() - 1));

    // Cut anywhere in the headers or the palette.
    for (size_t n = 0; n < 54 + 1024; ++n)
        EXPECT_FALSE(ReadBmpLayout(std::span(good).first(n), good.size())) << n;
    const Bytes v5 = Write(Bmp{.headerSize = 124, .width = 1, .height = 1, .bits = 24});
    EXPECT_FALSE(ReadBmpLayout(std::span(v5).first(14 + 123), v5.size()));
    const Bytes core = Write(Bmp{.headerSize = 12, .width = 1, .height = 1, .bits = 24});
    EXPECT_TRUE(Layout(core));
    EXPECT_FALSE(ReadBmpLayout(std::span(core).first(25), core.size()));
    // A core header knows no 16 or 32 bits.
    for (const uint16_t bits : {16, 32})
        EXPECT_FALSE(Layout(Write(Bmp{.headerSize = 12, .width = 1, .height = 1, .bits = bits})));
    // Bitfields only at 16 or 32 bits; masks cut off after a 40-byte header.
    EXPECT_FALSE(Layout(Write(Bmp{.width = 1, .height = 1, .bits = 24, .compression = 3})));
    const Bytes masked = Write(
        Bmp{.width = 1, .height = 1, .bits = 16, .compression = 3, .masks = {0xF800, 0x7E0, 0x1F}});
    EXPECT_TRUE(Layout(masked));
    EXPECT_FALSE(ReadBmpLayout(std::span(masked).first(65), masked.size()));
    // Masks of more than one run of bits, or past a 16-bit pixel.
    EXPECT_FALSE(Layout(Write(Bmp{
        .width = 1, .height = 1, .bits = 16, .compression = 3, .masks = {0xF00F, 0x7E0, 0x1F}})));
    EXPECT_FALSE(Layout(Write(Bmp{
        .width = 1, .height = 1, .bits = 16, .compression = 3, .masks = {0x1F0000, 0x7E0, 0x1F}})));
    EXPECT_TRUE(Layout(Write(Bmp{.width = 1,
                                 .height = 1,
                                 .bits = 32,
                                 .compression = 3,
                                 .masks = {0xFFC00000, 0x3FF800, 0x7FF}})));
}

TEST(BmpSample, RowsOutsideTheFileAndBadTargetsGiveNoSampler) {
    const Bytes file = Write(Bmp{.width = 5, .height = 3, .bits = 24});
    const auto layout = Layout(file);
    ASSERT_TRUE(layout);
    EXPECT_TRUE(BmpSampler::Make(*layout, 1, 1));
    EXPECT_TRUE(BmpSampler::Make(*layout, kBmpMaxTarget, 1));
    EXPECT_TRUE(BmpSampler::Make(*layout, 1, kBmpMaxTarget));
    for (const auto& [w, h] :
         {std::pair{0, 1}, {1, 0}, {-1, 5}, {kBmpMaxTarget + 1, 1}, {1, kBmpMaxTarget + 1}})
        EXPECT_FALSE(BmpSampler::Make(*layout, w, h)) << w << "x" << h;

    // The last row's padding missing is a row outside the file.
    const auto cut = ReadBmpLayout(std::span(file).first(54), file.size() - 1);
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->rowsInFile);
    EXPECT_FALSE(BmpSampler::Make(*cut, 1, 1));
    // The widest and tallest bitmap taken, claimed by a short file.
    Bytes huge(file.begin(), file.begin() + 54);
    Put32(huge, 18, 65535);
    Put32(huge, 22, 65535);
    Put16(huge, 28, 32);
    EXPECT_FALSE(Layout(huge)->rowsInFile);
    EXPECT_TRUE(ReadBmpLayout(huge, 54 + 65535ull * 65535 * 4)->rowsInFile);

    // A layout not read from a file must not lead the sampler past a row.
    BmpLayout made = *layout;
    made.stride = 14;
    EXPECT_FALSE(BmpSampler::Make(made, 1, 1));
    made = *layout;
    made.bits = 12;
    EXPECT_FALSE(BmpSampler::Make(made, 1, 1));
    made = *layout;
    made.width = 0;
    EXPECT_FALSE(BmpSampler::Make(made, 1, 1));
}

}  // namespace
}  // namespace qcd
