#include "readers/metafile_check.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string>

#include "readers/picture_headers.h"
#include "test_bytes.h"

namespace qcd {

void PrintTo(MetafileFault fault, std::ostream* os) {
    *os << "fault " << static_cast<int>(fault);
}

namespace {

using test::Bytes;
using test::Put16;
using test::Put32;
using F = MetafileFault;

uint32_t Get32(const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}

Bytes Words(std::initializer_list<uint16_t> words) {
    Bytes b;
    for (const uint16_t w : words) b.insert(b.end(), {uint8_t(w), uint8_t(w >> 8)});
    return b;
}

Bytes Longs(std::initializer_list<uint32_t> longs) {
    Bytes b;
    for (const uint32_t v : longs) {
        const Bytes w = Words({uint16_t(v), uint16_t(v >> 16)});
        b.insert(b.end(), w.begin(), w.end());
    }
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
}

Bytes Text(const char* s, size_t padTo) {
    Bytes b(s, s + std::char_traits<char>::length(s));
    b.resize((b.size() + padTo - 1) / padTo * padTo, 0);
    return b;
}

// A BITMAPINFOHEADER with a grey colour table and the bits.
Bytes Dib(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0,
          Bytes pixels = {}) {
    Bytes b(40, 0);
    Put32(b, 0, 40);
    Put32(b, 4, static_cast<uint32_t>(width));
    Put32(b, 8, static_cast<uint32_t>(height));
    Put16(b, 12, 1);
    Put16(b, 14, bits);
    Put32(b, 16, compression);
    if (bits <= 8) b.resize(40 + (4u << bits), 0x80);
    if (pixels.empty()) pixels.resize((width * bits + 31) / 32 * 4 * std::abs(height), 0x5A);
    return Cat({b, pixels});
}

// Records appended behind a header the last step fills in; each Add gives where its record starts.
struct Wmf {
    Bytes b = Bytes(18, 0);
    size_t Add(uint16_t function, const Bytes& params) {
        const size_t at = b.size();
        b.insert(b.end(), 6 + params.size(), 0);
        Put32(b, at, static_cast<uint32_t>((6 + params.size()) / 2));
        Put16(b, at + 4, function);
        std::copy(params.begin(), params.end(), b.begin() + static_cast<long>(at) + 6);
        return at;
    }
    Bytes Done(uint16_t objects) {
        Add(0, {});
        uint32_t largest = 0;
        for (size_t at = 18; at < b.size(); at += 2 * Get32(b, at))
            largest = std::max(largest, Get32(b, at));
        Put16(b, 0, 1);
        Put16(b, 2, 9);
        Put16(b, 4, 0x300);
        Put32(b, 6, static_cast<uint32_t>(b.size() / 2));
        Put16(b, 10, objects);
        Put32(b, 12, largest);
        return b;
    }
};

struct Emf {
    Bytes b = Bytes(108, 0);
    uint32_t records = 1;
    size_t Add(uint32_t type, Bytes fields) {
        fields.resize((fields.size() + 3) / 4 * 4, 0);
        const size_t at = b.size();
        b.insert(b.end(), 8 + fields.size(), 0);
        Put32(b, at, type);
        Put32(b, at + 4, static_cast<uint32_t>(8 + fields.size()));
        std::copy(fields.begin(), fields.end(), b.begin() + static_cast<long>(at) + 8);
        ++records;
        return at;
    }
    Bytes Done(uint16_t handles) {
        Add(14, Longs({0, 16, 20}));
        const Bytes header = Longs({1,
                                    108,
                                    0,
                                    0,
                                    100,
                                    100,
                                    0,
                                    0,
                                    2000,
                                    2000,
                                    0x464D4520,
                                    0x10000,
                                    uint32_t(b.size()),
                                    records,
                                    handles,
                                    0,
                                    0,
                                    0,
                                    1024,
                                    768,
                                    320,
                                    240,
                                    0,
                                    0,
                                    0,
                                    320000,
                                    240000});
        std::copy(header.begin(), header.end(), b.begin());
        return b;
    }
};

Bytes Bounds() {
    return Longs({0, 0, 100, 100});
}

Bytes Sample(const std::string& name) {
    std::ifstream in(std::string(QCD_TEST_DATA) + "/metafile/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Where each record starts, as the format's size field steps.
std::vector<size_t> RecordStarts(const Bytes& b, bool enhanced) {
    std::vector<size_t> starts;
    for (size_t at = enhanced ? 0 : 18; at < b.size();
         at += enhanced ? Get32(b, at + 4) : 2 * size_t{Get32(b, at)})
        starts.push_back(at);
    return starts;
}

// Where the `n`th record of `type` starts.
size_t FindEmf(const Bytes& b, uint32_t type, int n = 0) {
    for (const size_t at : RecordStarts(b, true))
        if (Get32(b, at) == type && n-- == 0) return at;
    ADD_FAILURE() << "no record " << type;
    return 0;
}

uint16_t Get16(const Bytes& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

// The sample `name` with the field `field` bytes into its first record of `type` set to
// `value` (a word in a plain metafile, a long in an enhanced one).
MetafileFault Broken(const std::string& name, uint32_t type, size_t field, uint32_t value) {
    Bytes b = Sample(name);
    const bool enhanced = name.ends_with(".emf");
    for (const size_t at : RecordStarts(b, enhanced)) {
        if ((enhanced ? Get32(b, at) : Get16(b, at + 4)) != type) continue;
        if (enhanced)
            Put32(b, at + field, value);
        else
            Put16(b, at + field, static_cast<uint16_t>(value));
        return enhanced ? CheckEmf(b) : CheckWmf(b);
    }
    ADD_FAILURE() << name << " has no record " << type;
    return F::None;
}

const char* const kWmfSamples[] = {"shapes.wmf", "text.wmf", "bitmaps.wmf", "palette_regions.wmf"};
const char* const kEmfSamples[] = {"shapes.emf", "text.emf", "bitmaps.emf", "palette_regions.emf",
                                   "enhanced_only.emf"};

TEST(MetafileCheck, RecordedSamplesPassAndNoShorterCopyDoes) {
    for (const char* name : kWmfSamples) {
        const Bytes file = Sample(name);
        EXPECT_EQ(CheckWmf(file), F::None) << name;
        EXPECT_EQ(CheckWmf(*MakePlaceableCopy(file, 400, 300)), F::None) << name;
        for (const size_t at : RecordStarts(file, false))
            EXPECT_FALSE(IsSafeWmf(std::span(file).first(at))) << name << " cut at " << at;
        EXPECT_FALSE(IsSafeWmf(std::span(file).first(file.size() - 1))) << name;
        EXPECT_FALSE(IsSafeEmf(file)) << name;
    }
    for (const char* name : kEmfSamples) {
        const Bytes file = Sample(name);
        EXPECT_EQ(CheckEmf(file), F::None) << name;
        for (const size_t at : RecordStarts(file, true))
            EXPECT_FALSE(IsSafeEmf(std::span(file).first(at))) << name << " cut at " << at;
        EXPECT_FALSE(IsSafeEmf(std::span(file).first(file.size() - 1))) << name;
        EXPECT_FALSE(IsSafeWmf(file)) << name;
    }
}

TEST(MetafileCheck, RecordedSamplesBrokenInOneFieldFail) {
    EXPECT_EQ(Broken("shapes.wmf", 0x012D, 6, 65535), F::ObjectIndex);
    EXPECT_EQ(Broken("shapes.wmf", 0x0324, 6, 0xFFFF), F::Points);
    EXPECT_EQ(Broken("text.wmf", 0x0A32, 10, 200), F::Text);
    EXPECT_EQ(Broken("bitmaps.wmf", 0x0F43, 6 + 22 + 4, 0xFFFF), F::Bitmap);
    EXPECT_EQ(Broken("palette_regions.wmf", 0x06FF, 6 + 10, 86), F::Parameters);  // of 85
    EXPECT_EQ(Broken("shapes.emf", 1, 56, 1), F::ObjectIndex);  // one handle, yet pens made
    EXPECT_EQ(Broken("shapes.emf", 43, 4, 8), F::RecordSize);
    EXPECT_EQ(Broken("shapes.emf", 86, 24, 0xFFFFFFFF), F::Points);
    EXPECT_EQ(Broken("shapes.emf", 91, 24, 1u << 30), F::Points);
    EXPECT_EQ(Broken("text.emf", 84, 44, 0x7FFFFFFF), F::Text);
    EXPECT_EQ(Broken("text.emf", 84, 48, 0x10000), F::Text);
    EXPECT_EQ(Broken("bitmaps.emf", 81, 40, 0x7FFFFFFF), F::Extent);
    EXPECT_EQ(Broken("bitmaps.emf", 81, 60, 1), F::Bitmap);
    EXPECT_EQ(Broken("enhanced_only.emf", 70, 8, 0xFFFF), F::Parameters);
    EXPECT_EQ(Broken("palette_regions.emf", 72, 28, 9), F::ObjectIndex);
}

// One of each record kind the check reads into, as a plain metafile; `at` names some.
struct AllWmf {
    Wmf w;
    size_t polygon, polyPolygon, textOut, extTextOut, stretchDib, setDib, region, escape;
    Bytes file;
    AllWmf() {
        w.Add(0x02FA, Words({0, 1, 0, 0xFF, 0}));              // pen: slot 0
        w.Add(0x02FC, Words({2, 0xFF, 0, 3}));                 // hatched brush: 1
        w.Add(0x02FB, Cat({Bytes(18, 0), Text("Arial", 2)}));  // font: 2
        w.Add(0x00F7, Words({0x300, 2, 1, 2, 3, 4}));          // palette: 3
        region = w.Add(0x06FF, Words({0, 6, 0, 0, 34, 1, 2, 0, 0, 9, 9, 2, 0, 9, 0, 9, 2}));
        w.Add(0x0142, Cat({Words({5, 0}), Dib(8, 8, 1)}));  // pattern brush: 5
        w.Add(0x01F9, Cat({Words({0, 8, 8, 2}), Bytes{1, 1}, Bytes(22, 0), Bytes(16, 0xAA)}));
        for (const uint16_t slot : {0, 1, 2}) w.Add(0x012D, Words({slot}));
        w.Add(0x0234, Words({3}));
        w.Add(0x0035, {});
        w.Add(0x0037, Words({0, 1, 9, 9}));
        w.Add(0x0228, Words({4, 1}));
        w.Add(0x0429, Words({2, 2, 1, 4}));
        w.Add(0x012B, Words({4}));
        polygon = w.Add(0x0324, Words({3, 0, 0, 9, 0, 9, 9}));
        w.Add(0x0325, Words({2, 0, 0, 9, 9}));
        polyPolygon = w.Add(0x0538, Words({2, 3, 3, 0, 0, 9, 0, 9, 9, 1, 1, 5, 1, 5, 5}));
        textOut = w.Add(0x0521, Cat({Words({3}), Text("abc", 2), Words({10, 10})}));
        extTextOut = w.Add(
            0x0A32, Cat({Words({10, 10, 3, 6, 0, 0, 50, 20}), Text("abc", 2), Words({7, 7, 7})}));
        w.Add(0x0A32, Cat({Words({10, 30, 2, 0}), Text("de", 2)}));
        stretchDib =
            w.Add(0x0F43, Cat({Words({0x20, 0xCC, 0, 3, 5, 0, 0, 6, 10, 0, 0}), Dib(5, 3, 4)}));
        w.Add(0x0F43, Cat({Words({0x20, 0xCC, 0, 2, 4, 0, 0, 2, 4, 0, 0}),
                           Dib(4, 2, 8, 1, {4, 1, 0, 0, 4, 2, 0, 1})}));  // run-length
        setDib = w.Add(0x0D33, Cat({Words({0, 2, 0, 0, 0, 2, 2, 0, 0}), Dib(2, 2, 24)}));
        w.Add(0x0940, Cat({Words({0x20, 0xCC, 0, 0, 2, 2, 0, 0}), Dib(2, -2, 32)}));
        w.Add(0x0940, Words({0x21, 0xF0, 0, 0, 0, 2, 2, 0, 0}));  // no bitmap
        w.Add(0x0B41, Cat({Words({0x20, 0xCC, 2, 2, 0, 0, 4, 4, 0, 0}), Dib(2, 2, 16)}));
        w.Add(0x0922, Words({0x21, 0xF0, 0, 0, 0, 2, 2, 0, 0}));
        escape = w.Add(0x0626, Cat({Words({15, 4}), Text("note", 2)}));
        w.Add(0x001E, {});
        w.Add(0x0127, Words({0xFFFF}));
        w.Add(0x01F0, Words({0}));
        w.Add(0x02FA, Words({0, 1, 0, 0, 0}));  // takes slot 0 again
        w.Add(0x012D, Words({0}));
        w.Add(0x7777, Words({1, 2, 3}));  // unknown, kept whole
        file = w.Done(7);
    }
    Bytes With16(size_t at, uint16_t v) const {
        Bytes b = file;
        Put16(b, at, v);
        return b;
    }
};

TEST(MetafileCheck, PlainRecordsOfEveryKindPass) {
    const AllWmf all;
    EXPECT_EQ(CheckWmf(all.file), F::None);
    const Bytes placeable = *MakePlaceableCopy(all.file, 100, 100);
    EXPECT_EQ(CheckWmf(placeable), F::None);
    Bytes noInch = placeable;
    Put16(noInch, 14, 0);
    EXPECT_EQ(CheckWmf(noInch), F::Header);
}

TEST(MetafileCheck, PlainHeaderAndRecordFramesAreExact) {
    const AllWmf all;
    EXPECT_EQ(CheckWmf(all.With16(0, 3)), F::Header);      // type
    EXPECT_EQ(CheckWmf(all.With16(2, 10)), F::Header);     // header size
    EXPECT_EQ(CheckWmf(all.With16(4, 0x200)), F::Header);  // version
    EXPECT_EQ(CheckWmf(all.With16(12, 20)), F::Header);    // a record over the largest size
    EXPECT_EQ(CheckWmf(all.With16(6, Get32(all.file, 6) - 1)), F::End);
    Bytes longer = all.file;
    longer.insert(longer.end(), {0, 0});
    EXPECT_EQ(CheckWmf(longer), F::End);
    EXPECT_EQ(CheckWmf(all.With16(all.polygon, 2)), F::RecordSize);
    EXPECT_EQ(CheckWmf(all.With16(all.polygon, 0xFFF0)), F::RecordSize);
    // The end record before the last, and no end record at all.
    EXPECT_EQ(CheckWmf(all.With16(all.polygon + 4, 0)), F::End);
    EXPECT_EQ(CheckWmf(all.With16(all.file.size() - 2, 0x0035)), F::End);
}

TEST(MetafileCheck, PlainObjectTableIsPlayedThrough) {
    const AllWmf all;
    Wmf over;
    for (int i = 0; i < 3000; ++i) over.Add(0x02FC, Words({0, 0, 0, 0}));
    EXPECT_EQ(CheckWmf(over.Done(2)), F::ObjectIndex);
    EXPECT_EQ(CheckWmf(Wmf{}.Done(0)), F::None);
    for (const uint16_t function : {0x012D, 0x01F0, 0x0234, 0x012B}) {
        Wmf w;
        w.Add(0x02FC, Words({0, 0, 0, 0}));
        w.Add(function, Words({65535}));
        EXPECT_EQ(CheckWmf(w.Done(2)), F::ObjectIndex) << function;
    }
    // Slot 0 is freed before 1, yet the third brush lands in the lowest: 0.
    Wmf reuse;
    for (int i = 0; i < 2; ++i) reuse.Add(0x02FC, Words({0, 0, 0, 0}));
    reuse.Add(0x01F0, Words({0}));
    reuse.Add(0x01F0, Words({1}));
    reuse.Add(0x02FC, Words({0, 0, 0, 0}));
    const size_t select = reuse.Add(0x012D, Words({0}));
    Bytes reused = reuse.Done(2);
    EXPECT_EQ(CheckWmf(reused), F::None);
    Put16(reused, select + 6, 1);
    EXPECT_EQ(CheckWmf(reused), F::ObjectIndex);
}

TEST(MetafileCheck, PlainCountsStayInsideTheirRecord) {
    const AllWmf all;
    EXPECT_EQ(CheckWmf(all.With16(all.polygon + 6, 4)), F::Points);
    EXPECT_EQ(CheckWmf(all.With16(all.polyPolygon + 6, 3)), F::Points);
    EXPECT_EQ(CheckWmf(all.With16(all.polyPolygon + 8, 4)), F::Points);
    EXPECT_EQ(CheckWmf(all.With16(all.textOut + 6, 7)), F::Text);
    EXPECT_EQ(CheckWmf(all.With16(all.textOut + 6, 0x8000)), F::Text);
    EXPECT_EQ(CheckWmf(all.With16(all.extTextOut + 10, 11)), F::Text);
    EXPECT_EQ(CheckWmf(all.With16(all.extTextOut + 10, 4)), F::Text);  // 3 spacing words of 4
    EXPECT_EQ(CheckWmf(all.With16(all.region + 6 + 10, 2)), F::Parameters);
    EXPECT_EQ(CheckWmf(all.With16(all.region + 6 + 22, 3)), F::Parameters);
    EXPECT_EQ(CheckWmf(all.With16(all.escape + 8, 7)), F::Parameters);
    EXPECT_EQ(CheckWmf(all.With16(all.escape + 6, 6789)), F::Unsupported);
}

TEST(MetafileCheck, PlainBitmapsMatchTheirBits) {
    const AllWmf all;
    const size_t dib = all.stretchDib + 6 + 22;
    EXPECT_EQ(CheckWmf(all.With16(dib + 4, 9)), F::Bitmap);              // wider than its bits
    EXPECT_EQ(CheckWmf(all.With16(dib + 6, 0x7FFF)), F::Bitmap);         // width 0x7FFF0005
    EXPECT_EQ(CheckWmf(all.With16(dib + 14, 7)), F::Bitmap);             // bits per pixel
    EXPECT_EQ(CheckWmf(all.With16(dib + 32, 17)), F::Bitmap);            // colours of 4 bits
    EXPECT_EQ(CheckWmf(all.With16(dib, 41)), F::Bitmap);                 // header size
    EXPECT_EQ(CheckWmf(all.With16(all.stretchDib + 10, 3)), F::Bitmap);  // colour use
    EXPECT_EQ(CheckWmf(all.With16(all.setDib + 8, 3)), F::Bitmap);       // scans past the bitmap
    EXPECT_EQ(CheckWmf(all.With16(all.setDib + 8, 1)), F::None);
    Wmf brush;
    brush.Add(0x02FC, Words({6, 0, 0, 0x1234}));
    EXPECT_EQ(CheckWmf(brush.Done(1)), F::Unsupported);
    Wmf saved;
    for (uint32_t i = 0; i <= kMaxMetafileSaveDepth; ++i) saved.Add(0x001E, {});
    EXPECT_EQ(CheckWmf(saved.Done(0)), F::Budget);
}

// One of each record kind the check reads into, as an enhanced metafile.
struct AllEmf {
    Emf e;
    size_t polygon, polyPolygon, text, polyText, stretch, setDib, monoBrush, comment, fill,
        gradient;
    Bytes file;
    AllEmf() {
        e.Add(38, Longs({1, 0, 2, 0, 0xFF}));
        e.Add(39, Longs({2, 2, 0xFF00, 3}));
        e.Add(82, Cat({Longs({3}), Bytes(28, 0), Text("A", 64)}));
        e.Add(49, Cat({Longs({4}), Words({0x300, 2}), Longs({0x10, 0x20})}));
        for (const uint32_t i : {1u, 2u, 3u, 0x80000000u, 0x80000013u}) e.Add(37, Longs({i}));
        e.Add(48, Longs({4}));
        e.Add(87, Cat({Bounds(), Longs({3}), Words({0, 0, 9, 9, 9, 0})}));
        polygon = e.Add(3, Cat({Bounds(), Longs({3, 0, 0, 9, 0, 9, 9})}));
        polyPolygon = e.Add(91, Cat({Bounds(), Longs({2, 7, 4, 3}),
                                     Words({0, 0, 9, 0, 9, 9, 0, 9, 1, 1, 5, 1, 5, 5})}));
        e.Add(8, Cat({Bounds(), Longs({1, 3, 3, 0, 0, 9, 0, 9, 9})}));
        e.Add(92, Cat({Bounds(), Longs({3}), Words({0, 0, 5, 5, 9, 0}), Bytes{6, 2, 3}}));
        const Bytes emrText = Longs({10, 10, 3, 76, 0, 0, 0, 0, 0, 84});
        text =
            e.Add(84, Cat({Bounds(), Longs({1, 0, 0}), emrText, Text("abc", 8), Longs({7, 7, 7})}));
        e.Add(83, Cat({Bounds(), Longs({1, 0, 0}), Longs({10, 30, 2, 76, 4, 0, 0, 9, 9, 80}),
                       Text("de", 4), Longs({6, 6})}));
        polyText =
            e.Add(97, Cat({Bounds(), Longs({1, 0, 0, 2}), Longs({0, 0, 2, 120, 0, 0, 0, 0, 0, 124}),
                           Longs({0, 9, 1, 132, 0, 0, 0, 0, 0, 136}), Text("fg", 4), Longs({5, 5}),
                           Text("h", 4), Longs({5})}));
        e.Add(108, Cat({Longs({0, 0, 2, 0x300, 1, 0, 0}), Text("ij", 4)}));
        const Bytes bitmap = Dib(5, 3, 4);
        stretch = e.Add(
            81,
            Cat({Bounds(), Longs({0, 0, 0, 0, 5, 3, 80, 40 + 64, 80 + 104, 12, 0, 0xCC0020, 10, 6}),
                 bitmap}));
        e.Add(81, Cat({Bounds(),
                       Longs({0, 0, 0, 0, 4, 2, 80, 40 + 1024, 80 + 1064, 8, 0, 0xCC0020, 4, 2}),
                       Dib(4, 2, 8, 1, {4, 1, 0, 0, 4, 2, 0, 1})}));
        setDib = e.Add(80, Cat({Bounds(), Longs({0, 0, 0, 0, 2, 2, 76, 40, 116, 16, 0, 0, 2}),
                                Dib(2, 2, 24)}));
        e.Add(76, Cat({Bounds(), Longs({0, 0, 20, 20, 0xF00021}), Bytes(48, 0), Longs({0, 0})}));
        const Bytes mono = Dib(8, 8, 1);
        monoBrush = e.Add(93, Cat({Longs({5, 2, 32, 40, 72, 32}),
                                   Bytes(mono.begin(), mono.begin() + 40), Bytes(32, 0x55)}));
        e.Add(94, Cat({Longs({6, 0, 32, 48, 80, 32}), Dib(8, 8, 1)}));
        e.Add(95, Longs({7, 0, 0, 0, 0, 0x10207, 3, 0, 0xFF, 0, 2, 4, 2}));
        gradient = e.Add(118, Cat({Bounds(), Longs({2, 1, 0}), Bytes(32, 0), Longs({0, 1})}));
        const Bytes region = Longs({32, 1, 1, 16, 0, 0, 9, 9, 0, 0, 9, 9});
        fill = e.Add(71, Cat({Bounds(), Longs({48, 2}), region}));
        e.Add(75, Cat({Longs({48, 1}), region}));
        e.Add(75, Longs({0, 5}));
        comment = e.Add(70, Cat({Longs({5}), Text("hello", 4)}));
        e.Add(33, {});
        e.Add(34, Longs({0xFFFFFFFF}));
        e.Add(40, Longs({1}));
        e.Add(300, Longs({1, 2}));  // unknown
        file = e.Done(8);
    }
    Bytes With32(size_t at, uint32_t v) const {
        Bytes b = file;
        Put32(b, at, v);
        return b;
    }
};

TEST(MetafileCheck, EnhancedRecordsOfEveryKindPass) {
    EXPECT_EQ(CheckEmf(AllEmf().file), F::None);
}

TEST(MetafileCheck, EnhancedHeaderAndRecordFramesAreExact) {
    const AllEmf all;
    const Bytes& f = all.file;
    EXPECT_EQ(CheckEmf(all.With32(40, 0x464D4521)), F::Header);  // signature
    EXPECT_EQ(CheckEmf(all.With32(56, 0)), F::Header);           // no handles
    EXPECT_EQ(CheckEmf(all.With32(52, all.e.records + 1)), F::Header);
    EXPECT_EQ(CheckEmf(all.With32(32, 0)), F::Header);   // frame without width
    EXPECT_EQ(CheckEmf(all.With32(72, 0)), F::Header);   // device without pixels
    EXPECT_EQ(CheckEmf(all.With32(60, 20)), F::Header);  // description outside
    EXPECT_EQ(CheckEmf(all.With32(4, 84)), F::Header);
    EXPECT_EQ(CheckEmf(all.With32(48, uint32_t(f.size()) - 4)), F::End);
    for (const uint32_t size : {0u, 4u, 8u, 30u, 0x10000000u})
        EXPECT_EQ(CheckEmf(all.With32(all.polygon + 4, size)), F::RecordSize) << size;
    EXPECT_EQ(CheckEmf(all.With32(all.polygon, 14)), F::End);          // an end record too early
    EXPECT_EQ(CheckEmf(all.With32(all.stretch, 1)), F::Header);        // a second header
    EXPECT_EQ(CheckEmf(all.With32(f.size() - 20, 70)), F::End);        // no end record
    EXPECT_EQ(CheckEmf(all.With32(f.size() - 12, 3)), F::Parameters);  // its palette cut
}

TEST(MetafileCheck, EnhancedObjectIndicesStayInTheTable) {
    const AllEmf all;
    const size_t select = FindEmf(all.file, 37);
    EXPECT_EQ(CheckEmf(all.With32(select + 8, 8)), F::ObjectIndex);
    EXPECT_EQ(CheckEmf(all.With32(select + 8, 0)), F::ObjectIndex);  // the metafile itself
    EXPECT_EQ(CheckEmf(all.With32(select + 8, 0x80000014)), F::ObjectIndex);
    EXPECT_EQ(CheckEmf(all.With32(FindEmf(all.file, 40) + 8, 0x80000001)), F::ObjectIndex);
    for (const uint32_t type : {38u, 39u, 49u, 82u, 93u, 94u, 95u})
        EXPECT_EQ(CheckEmf(all.With32(FindEmf(all.file, type) + 8, 8)), F::ObjectIndex) << type;
    EXPECT_EQ(CheckEmf(all.With32(all.fill + 28, 9)), F::ObjectIndex);
    // Brushes whose hatch field is a handle or pointer.
    EXPECT_EQ(CheckEmf(all.With32(FindEmf(all.file, 39) + 12, 6)), F::Unsupported);
    EXPECT_EQ(CheckEmf(all.With32(FindEmf(all.file, 95) + 36, 5)), F::Unsupported);
}

TEST(MetafileCheck, EnhancedCountsStayInsideTheirRecord) {
    const AllEmf all;
    EXPECT_EQ(CheckEmf(all.With32(all.polygon + 24, 0xFFFFFFFF)), F::Points);
    EXPECT_EQ(CheckEmf(all.With32(all.polygon + 24, (1u << 30) + 1)), F::Points);
    EXPECT_EQ(CheckEmf(all.With32(all.polygon + 24, 4)), F::Points);
    EXPECT_EQ(CheckEmf(all.With32(all.polyPolygon + 32, 3)), F::Points);  // counts' sum
    EXPECT_EQ(CheckEmf(all.With32(FindEmf(all.file, 92) + 24, 4)), F::Points);
    EXPECT_EQ(CheckEmf(all.With32(all.gradient + 72, 2)), F::Points);  // vertex 2 of 2
    EXPECT_EQ(CheckEmf(all.With32(all.gradient + 32, 3)), F::Parameters);
    EXPECT_EQ(CheckEmf(all.With32(all.text + 48, uint32_t(all.file.size()))), F::Text);
    EXPECT_EQ(CheckEmf(all.With32(all.text + 72, 88)), F::Text);      // spacing cut
    EXPECT_EQ(CheckEmf(all.With32(all.text + 52, 0x2000)), F::Text);  // x and y spacing
    EXPECT_EQ(CheckEmf(all.With32(all.text + 52, 0x0100)), F::Text);  // no rectangle
    EXPECT_EQ(CheckEmf(all.With32(all.text + 48, 8)), F::Text);       // over its fields
    EXPECT_EQ(CheckEmf(all.With32(all.polyText + 40 + 40 + 8, 3)), F::Text);
    EXPECT_EQ(CheckEmf(all.With32(all.polyText + 36, 3)), F::Text);
    EXPECT_EQ(CheckEmf(all.With32(all.comment + 8, 9)), F::Parameters);
    EXPECT_EQ(CheckEmf(all.With32(all.fill + 32 + 8, 2)), F::Parameters);  // rectangles
    EXPECT_EQ(CheckEmf(all.With32(all.fill + 24, 0xFFFFFFF0)), F::Parameters);
    EXPECT_EQ(CheckEmf(all.With32(FindEmf(all.file, 75, 1) + 12, 1)), F::Parameters);
}

TEST(MetafileCheck, EnhancedBitmapsMatchTheirBitsAndBlitsStayInRange) {
    const AllEmf all;
    const size_t s = all.stretch;
    EXPECT_EQ(CheckEmf(all.With32(s + 72, 0x80000000)), F::Extent);  // cxDest
    EXPECT_EQ(CheckEmf(all.With32(s + 24, 1u << 21)), F::Extent);    // xDest
    EXPECT_EQ(CheckEmf(all.With32(s + 24, 1u << 20)), F::None);
    EXPECT_EQ(CheckEmf(all.With32(s + 48, 0xFFFFFFF0)), F::Bitmap);  // offBmi
    EXPECT_EQ(CheckEmf(all.With32(s + 56, 40)), F::Bitmap);          // bits over the fields
    EXPECT_EQ(CheckEmf(all.With32(s + 52, 40)), F::Bitmap);          // colour table cut
    EXPECT_EQ(CheckEmf(all.With32(s + 80 + 4, 70000)), F::Bitmap);   // width
    EXPECT_EQ(CheckEmf(all.With32(s + 80 + 8, 0)), F::Bitmap);       // height
    EXPECT_EQ(CheckEmf(all.With32(s + 80 + 16, 4)), F::Bitmap);      // JPEG
    EXPECT_EQ(CheckEmf(all.With32(s + 80 + 16, 1)), F::Bitmap);      // RLE8 of 4 bits
    EXPECT_EQ(CheckEmf(all.With32(s + 64, 3)), F::Bitmap);           // colour use
    EXPECT_EQ(CheckEmf(all.With32(s + 48, 0)), F::Bitmap);
    EXPECT_EQ(CheckEmf(all.With32(all.setDib + 72, 3)), F::Bitmap);     // more scans than rows
    EXPECT_EQ(CheckEmf(all.With32(all.monoBrush + 12, 0)), F::Bitmap);  // wants a colour table
}

Bytes Floats(std::initializer_list<float> values) {
    Bytes b;
    for (const float v : values) {
        const Bytes l = Longs({std::bit_cast<uint32_t>(v)});
        b.insert(b.end(), l.begin(), l.end());
    }
    return b;
}

// The built header's frame is 64 reference pixels on a side: stretched over a 2048-pixel
// preview, one unit is 32 pixels and a curve may span 4096 units.
TEST(MetafileCheck, CurvesAndPensStayWithinTheRasterizersReach) {
    const auto check = [](std::initializer_list<std::pair<uint32_t, Bytes>> records) {
        Emf e;
        for (const auto& [type, fields] : records) e.Add(type, fields);
        return CheckEmf(e.Done(2));
    };
    const Bytes ellipse4000 = Longs({0, 0, 4000, 10}), ellipse5000 = Longs({0, 0, 10, 5000});
    EXPECT_EQ(check({{42, ellipse4000}}), F::None);
    EXPECT_EQ(check({{42, ellipse5000}}), F::Extent);
    for (const uint32_t type : {45u, 46u, 47u, 55u})
        EXPECT_EQ(check({{type, Cat({ellipse5000, Longs({0, 0, 1, 1})})}}), F::Extent) << type;
    EXPECT_EQ(check({{44, Longs({0, 0, 10, 10, 5000, 1})}}), F::Extent);  // the corner
    EXPECT_EQ(check({{41, Cat({Longs({0, 0, 2500}), Floats({0, 90})})}}), F::Extent);
    EXPECT_EQ(check({{38, Longs({1, 0, 5000, 0, 0})}}), F::Extent);
    EXPECT_EQ(check({{95, Longs({1, 0, 0, 0, 0, 0x10000, 5000, 0, 0, 0, 0})}}), F::Extent);
    EXPECT_EQ(check({{95, Longs({1, 0, 0, 0, 0, 0, 5000, 0, 0, 0, 0})}}), F::None);  // cosmetic

    // A window ten times the viewport shrinks the units, until the saved state comes back.
    const std::pair<uint32_t, Bytes> free = {17, Longs({8})}, window = {9, Longs({10000, 10000})},
                                     viewport = {11, Longs({1000, 1000})};
    EXPECT_EQ(check({free, window, viewport, {42, Longs({0, 0, 40000, 0})}}), F::None);
    EXPECT_EQ(check({{33, {}},
                     free,
                     window,
                     viewport,
                     {34, Longs({0xFFFFFFFF})},
                     {42, Longs({0, 0, 40000, 0})}}),
              F::Extent);
    EXPECT_EQ(check({free, window, viewport, {31, Longs({100, 1, 100, 1})}, {42, ellipse4000}}),
              F::Extent);
    // HIMETRIC: a unit is a hundredth of a millimetre, 0.032 reference pixels.
    EXPECT_EQ(check({{17, Longs({3})}, {42, Longs({0, 0, 120000, 0})}}), F::None);
    EXPECT_EQ(check({{17, Longs({3})}, free, {42, Longs({0, 0, 120000, 0})}}), F::None);
    EXPECT_EQ(check({{17, Longs({3})}, free, {42, Longs({0, 0, 130000, 0})}}), F::Extent);
    EXPECT_EQ(check({{17, Longs({3})}, {42, Longs({0, 0, 140000, 0})}}), F::Extent);

    const Bytes zoom = Floats({100, 0, 0, 100, 0, 0});
    EXPECT_EQ(check({{35, zoom}, {42, Longs({0, 0, 40, 0})}}), F::None);
    EXPECT_EQ(check({{35, zoom}, {42, Longs({0, 0, 50, 0})}}), F::Extent);
    EXPECT_EQ(check({{35, zoom}, {36, Cat({zoom, Longs({2})})}, {42, Longs({0, 0, 1, 0})}}),
              F::Extent);
    EXPECT_EQ(check({{35, zoom}, {36, Cat({zoom, Longs({1})})}, {42, ellipse4000}}), F::None);
    EXPECT_EQ(check({{35, Floats({1, 0, 0, std::numeric_limits<float>::quiet_NaN(), 0, 0})}}),
              F::Parameters);

    // A picture under a reference pixel would be stretched without end.
    Bytes tiny = Emf{}.Done(1);
    Put32(tiny, 32, 31);  // 0.31 mm
    EXPECT_EQ(CheckEmf(tiny), F::Header);
    EXPECT_EQ(Broken("shapes.emf", 1, 80, 0x40000140), F::Header);  // a kilometre of screen

    // A placeable box of 16 units on a 2048-pixel preview: 128 pixels a unit.
    Wmf plain;
    const size_t wmfEllipse = plain.Add(0x0418, Words({1000, 0, 0, 0}));
    Bytes boxed = *MakePlaceableCopy(plain.Done(0), 16, 16);
    EXPECT_EQ(CheckWmf(boxed), F::None);
    Put16(boxed, 22 + wmfEllipse + 6, 1100);
    EXPECT_EQ(CheckWmf(boxed), F::Extent);
    Put16(boxed, 10, 32);
    Put16(boxed, 12, 32);
    EXPECT_EQ(CheckWmf(boxed), F::None);
    Wmf pen;
    pen.Add(0x02FA, Words({0, 1100, 0, 0, 0}));
    EXPECT_EQ(CheckWmf(*MakePlaceableCopy(pen.Done(1), 16, 16)), F::Extent);

    // A plain metafile's units are preview pixels until it maps them otherwise.
    const auto checkPlain = [](std::vector<std::pair<uint16_t, Bytes>> records) {
        Wmf w;
        for (const auto& [function, params] : records) w.Add(function, params);
        return CheckWmf(w.Done(0));
    };
    const std::pair<uint16_t, Bytes> anisotropic = {0x0103, Words({8})},
                                     unitWindow = {0x020C, Words({1, 1})};
    EXPECT_EQ(checkPlain({{0x0418, Words({0, 32767, 0, 0})}}), F::None);
    EXPECT_EQ(checkPlain({anisotropic, unitWindow, {0x0418, Words({100, 0, 0, 0})}}), F::Extent);
    EXPECT_EQ(checkPlain({{0x001E, {}},
                          free,
                          unitWindow,
                          {0x0127, Words({0xFFFF})},
                          {0x0418, Words({100, 0, 0, 0})}}),
              F::None);
    EXPECT_EQ(
        checkPlain(
            {anisotropic, {0x020E, Words({32767, 32767})}, {0x0418, Words({0, 10000, 0, 0})}}),
        F::Extent);
}

// The same 32 pixels a unit: 2^27 pixels of edges are 2^22 units.
TEST(MetafileCheck, EdgesFarOutsideThePictureAreBudgeted) {
    const auto check = [](std::vector<std::pair<uint32_t, Bytes>> records) {
        Emf e;
        for (const auto& [type, fields] : records) e.Add(type, fields);
        return CheckEmf(e.Done(1));
    };
    const auto thin = [](int32_t far) {
        return std::pair{3u, Cat({Bounds(), Longs({3, 0, 0, 9, uint32_t(far), 9, 9})})};
    };
    EXPECT_EQ(check({thin(1 << 21), thin(1 << 21)}), F::None);
    EXPECT_EQ(check({thin(1 << 21), thin(1 << 21), thin(10)}), F::Budget);
    EXPECT_EQ(check({thin(-0x7FFFFFFF)}), F::Budget);
    // Far apart, the polygons of one record are each small.
    EXPECT_EQ(check({{8, Cat({Bounds(), Longs({2, 6, 3, 3, 0, 0, 9, 0, 9, 9, 1 << 24, 0,
                                               (1 << 24) + 9, 0, 1 << 24, 9})})}}),
              F::None);
    // Lines and "to" records start where the last one ended.
    const std::pair<uint32_t, Bytes> away = {27, Longs({0, 1 << 23})};
    EXPECT_EQ(check({away, {54, Longs({0, 0})}}), F::Budget);
    EXPECT_EQ(check({away, {89, Cat({Bounds(), Longs({1}), Words({0, 0})})}}), F::Budget);
    EXPECT_EQ(check({away, {87, Cat({Bounds(), Longs({1}), Words({0, 0})})}}), F::None);
    EXPECT_EQ(
        check(
            {away, {33, {}}, {27, Longs({0, 0})}, {34, Longs({0xFFFFFFFF})}, {54, Longs({0, 0})}}),
        F::Budget);

    // A plain metafile in a 16-unit box: 128 pixels a unit, 2^20 units.
    Wmf lines;
    for (int i = 0; i < 32; ++i) lines.Add(0x0213, Words({uint16_t(i % 2 ? 0 : 32767), 0}));
    EXPECT_EQ(CheckWmf(*MakePlaceableCopy(lines.Done(0), 16, 16)), F::None);
    lines.b.resize(lines.b.size() - 6);
    lines.Add(0x0324, Words({2, 0, 0, 0, 32767}));
    EXPECT_EQ(CheckWmf(*MakePlaceableCopy(lines.Done(0), 16, 16)), F::Budget);
}

TEST(MetafileCheck, WorkIsBounded) {
    EXPECT_EQ(CheckEmf(Bytes(kMaxMetafileSize + 1, 0)), F::TooLarge);
    EXPECT_EQ(CheckWmf(Bytes(kMaxMetafileSize + 1, 0)), F::TooLarge);
    Emf many;
    const uint32_t points = kMaxMetafilePoints / 2 + 1;
    for (int i = 0; i < 2; ++i)
        many.Add(87, Cat({Bounds(), Longs({points}), Bytes(size_t{points} * 4, 0)}));
    EXPECT_EQ(CheckEmf(many.Done(1)), F::Budget);
    Emf saved;
    for (uint32_t i = 0; i <= kMaxMetafileSaveDepth; ++i) saved.Add(33, {});
    EXPECT_EQ(CheckEmf(saved.Done(1)), F::Budget);
    Emf restored;
    for (uint32_t i = 0; i <= kMaxMetafileSaveDepth; ++i) {
        restored.Add(33, {});
        restored.Add(34, Longs({0xFFFFFFFF}));
    }
    EXPECT_EQ(CheckEmf(restored.Done(1)), F::None);
    // A run-length bitmap of 65535 x 65535 from eight bytes.
    Emf rle;
    rle.Add(81, Cat({Bounds(), Longs({0, 0, 0, 0, 4, 2, 80, 1064, 1144, 8, 0, 0xCC0020, 4, 2}),
                     Dib(65535, 65535, 8, 1, {4, 1, 0, 0, 4, 2, 0, 1})}));
    EXPECT_EQ(CheckEmf(rle.Done(1)), F::Budget);
    // Painting a region costs the player the same however few its rectangles; setting the
    // clip to one costs little.
    const Bytes region = Longs({32, 1, 1, 16, 0, 0, 9, 9, 0, 0, 9, 9});
    const auto regions = [&](uint32_t type, const Bytes& fields, int n) {
        Emf e;
        e.Add(39, Longs({1, 0, 0, 0}));
        for (int i = 0; i < n; ++i) e.Add(type, Cat({fields, region}));
        return CheckEmf(e.Done(2));
    };
    const uint64_t most = kMaxMetafilePoints / (kMetafileRegionRecordPoints + 1);
    const Bytes fill = Cat({Bounds(), Longs({48, 1})});
    EXPECT_EQ(regions(71, fill, static_cast<int>(most)), F::None);
    EXPECT_EQ(regions(71, fill, static_cast<int>(most) + 1), F::Budget);
    EXPECT_EQ(regions(75, Longs({48, 1}), static_cast<int>(most) + 1), F::None);
    // So does a record of text, however short.
    const auto texts = [&](uint64_t n) {
        Emf e;
        for (uint64_t i = 0; i < n; ++i)
            e.Add(84, Cat({Bounds(), Longs({1, 0, 0}), Longs({10, 10, 1, 76, 0, 0, 0, 0, 0, 80}),
                           Text("a", 4), Longs({7})}));
        return CheckEmf(e.Done(1));
    };
    const uint64_t mostTexts = kMaxMetafilePoints / (kMetafileTextRecordPoints + 1);
    EXPECT_EQ(texts(mostTexts), F::None);
    EXPECT_EQ(texts(mostTexts + 1), F::Budget);
}

}  // namespace
}  // namespace qcd
