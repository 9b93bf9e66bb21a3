#include "hostile_corpus.h"
#include "media_files.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <utility>

namespace qcd::test {

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// Bytes

uint32_t Get16(const Bytes& b, size_t at) {
    return at + 2 <= b.size() ? static_cast<uint32_t>(b[at] | b[at + 1] << 8) : 0;
}
uint32_t Get32(const Bytes& b, size_t at) {
    return at + 4 <= b.size() ? Get16(b, at) | Get16(b, at + 2) << 16 : 0;
}
uint32_t GetBE16(const Bytes& b, size_t at) {
    return at + 2 <= b.size() ? static_cast<uint32_t>(b[at] << 8 | b[at + 1]) : 0;
}
uint32_t GetBE32(const Bytes& b, size_t at) {
    return at + 4 <= b.size() ? GetBE16(b, at) << 16 | GetBE16(b, at + 2) : 0;
}

// Little-endian unless `bigEndian`; bytes past the end are left alone.
void SetField(Bytes& b, size_t at, int width, uint32_t v, bool bigEndian = false) {
    for (int i = 0; i < width; ++i) {
        const size_t p = at + static_cast<size_t>(bigEndian ? width - 1 - i : i);
        if (p < b.size()) b[p] = static_cast<uint8_t>(v >> (8 * i));
    }
}
uint32_t GetField(const Bytes& b, size_t at, int width, bool bigEndian = false) {
    if (width == 1) return at < b.size() ? b[at] : 0;
    if (width == 2) return bigEndian ? GetBE16(b, at) : Get16(b, at);
    return bigEndian ? GetBE32(b, at) : Get32(b, at);
}

void PutBE32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}

void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

Bytes Slice(const Bytes& b, size_t from, size_t to) {
    to = std::min(to, b.size());
    from = std::min(from, to);
    return Bytes(b.begin() + static_cast<ptrdiff_t>(from), b.begin() + static_cast<ptrdiff_t>(to));
}

std::string Hex(uint64_t v) {
    char s[24];
    std::snprintf(s, sizeof s, "%llx", static_cast<unsigned long long>(v));
    return s;
}
std::string Dec(uint64_t v) { return std::to_string(v); }

// A value as it goes into a file name: -1 of a 32-bit field is "m1".
std::string ValueName(uint32_t v, int width) {
    if (width == 4 && v == 0xFFFFFFFF) return "m1";
    return Hex(v);
}

// The hostile values for a field of `width` bytes.
const std::vector<uint32_t>& Hostile(int width) {
    static const std::vector<uint32_t> v32 = {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0xFFFF, 0x8000};
    static const std::vector<uint32_t> v16 = {0, 1, 0xFFFF, 0x8000, 0x7FFF};
    static const std::vector<uint32_t> v8 = {0, 1, 0xFF, 0x80};
    return width == 4 ? v32 : width == 2 ? v16 : v8;
}

struct Field {
    std::string name;  // as it goes into the file name: no spaces
    size_t at;
    int width;
    std::vector<uint32_t> values = {};  // empty: the hostile values of the width
    bool bigEndian = false;
};

struct Cut {
    size_t at;
    std::string where;
};

// ---------------------------------------------------------------------------------------------
// The corpus being made

class Corpus {
  public:
    explicit Corpus(uint32_t seed = 0x51CD5EEDu) : rng_(seed) {}
    std::vector<HostileFile> files;

    void Add(const std::string& kind, const std::string& cls, const std::string& what,
             Bytes bytes, std::string detail, uint64_t extendTo = 0) {
        char number[8];
        std::snprintf(number, sizeof number, "%03d", ++counts_[kind]);
        const std::string name = kind + "-" + cls + "-" + what + "-" + number + "." + kind;
        HostileFile f;
        f.name.assign(name.begin(), name.end());
        f.kind = kind;
        f.mutation = cls;
        f.detail = std::move(detail);
        f.bytes = std::move(bytes);
        f.extendTo = extendTo;
        files.push_back(std::move(f));
    }

    void Seed(const std::string& kind, const std::string& seed, const Bytes& bytes,
              const std::string& about) {
        Add(kind, "seed", seed, bytes, seed + ": " + about + ", " + Dec(bytes.size()) + " bytes");
    }

    // Each field set to each of its values (a value the seed already has is skipped).
    void Fields(const std::string& kind, const std::string& seed, const Bytes& bytes,
                const std::vector<Field>& fields, const std::string& cls = "field") {
        for (const Field& f : fields) {
            if (f.at + static_cast<size_t>(f.width) > bytes.size()) continue;
            const uint32_t was = GetField(bytes, f.at, f.width, f.bigEndian);
            for (uint32_t v : f.values.empty() ? Hostile(f.width) : f.values) {
                if (v == was) continue;
                Bytes b = bytes;
                SetField(b, f.at, f.width, v, f.bigEndian);
                Add(kind, cls, seed + "-" + f.name + "-" + ValueName(v, f.width), std::move(b),
                    seed + ": " + f.name + " @0x" + Hex(f.at) + " (" + Dec(f.width) + " bytes" +
                        (f.bigEndian ? ", big-endian" : "") + ") 0x" + Hex(was) + " -> 0x" +
                        Hex(v));
            }
        }
    }

    void Truncations(const std::string& kind, const std::string& seed, const Bytes& bytes,
                     std::vector<Cut> cuts) {
        std::set<size_t> done;
        for (const Cut& c : cuts) {
            if (c.at >= bytes.size() || !done.insert(c.at).second) continue;
            Add(kind, "trunc", seed + "-at" + Dec(c.at), Slice(bytes, 0, c.at),
                seed + ": cut to " + Dec(c.at) + " of " + Dec(bytes.size()) + " bytes (" +
                    c.where + ")");
        }
    }

    // `n` files, each with `bits` random bits flipped in [from, to).
    void Flips(const std::string& kind, const std::string& seed, const Bytes& bytes, int n,
               int bits, size_t from, size_t to) {
        to = std::min(to, bytes.size());
        if (from >= to) return;
        for (int i = 0; i < n; ++i) {
            Bytes b = bytes;
            std::string where;
            for (int k = 0; k < bits; ++k) {
                const size_t at = from + Next() % (to - from);
                const int bit = static_cast<int>(Next() % 8);
                b[at] = static_cast<uint8_t>(b[at] ^ (1 << bit));
                where += (k ? ", 0x" : "0x") + Hex(at) + "." + Dec(static_cast<uint64_t>(bit));
            }
            Add(kind, "flip", seed + "-" + Dec(static_cast<uint64_t>(bits)) + "bit", std::move(b),
                seed + ": bit flipped at " + where);
        }
    }

    uint32_t Next() { return static_cast<uint32_t>(rng_()); }

  private:
    std::map<std::string, int> counts_;
    std::mt19937 rng_;
};

// ---------------------------------------------------------------------------------------------
// Seeds made here

const std::vector<COLORREF> kPalette = {RGB(0, 0, 0), RGB(255, 0, 0), RGB(0, 0, 255),
                                        RGB(0, 255, 0), RGB(255, 255, 0), RGB(255, 255, 255)};

Bytes InfoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                 uint32_t sizeImage, uint32_t colours) {
    Bytes b;
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(width));
    Put32(b, static_cast<uint32_t>(height));
    Put16(b, 1);
    Put16(b, bits);
    Put32(b, compression);
    Put32(b, sizeImage);
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, colours);
    Put32(b, 0);
    return b;
}

void PutPalette(Bytes& b, size_t entries) {
    for (size_t i = 0; i < entries; ++i) {
        const COLORREF c = kPalette[i % kPalette.size()];
        b.insert(b.end(), {GetBValue(c), GetGValue(c), GetRValue(c), 0});
    }
}

// "BM", then the header (with its palette or masks), then the bits.
Bytes BmpFile(const Bytes& header, const Bytes& bits) {
    Bytes b = {'B', 'M'};
    Put32(b, static_cast<uint32_t>(14 + header.size() + bits.size()));
    Put32(b, 0);
    Put32(b, static_cast<uint32_t>(14 + header.size()));
    Append(b, header);
    Append(b, bits);
    return b;
}

// Rows of `bits` per pixel, each pixel's value from `value`, padded to 4 bytes.
Bytes Rows(int width, int height, int bits, const std::function<uint32_t(int, int)>& value) {
    const size_t stride = ((static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32) * 4;
    Bytes out;
    for (int y = 0; y < height; ++y) {
        Bytes row(stride, 0);
        for (int x = 0; x < width; ++x) {
            const uint32_t v = value(x, y);
            const size_t bit = static_cast<size_t>(x) * static_cast<size_t>(bits);
            if (bits >= 8) {
                for (int k = 0; k < bits / 8; ++k)
                    row[bit / 8 + static_cast<size_t>(k)] = static_cast<uint8_t>(v >> (8 * k));
            } else {
                const int shift = 8 - bits - static_cast<int>(bit % 8);
                row[bit / 8] = static_cast<uint8_t>(row[bit / 8] | (v << shift));
            }
        }
        Append(out, row);
    }
    return out;
}

// 32 x 16, 8 bits, run-length coded: two runs a row, then end of line; end of bitmap.
Bytes Rle8Bits() {
    Bytes d;
    for (int y = 0; y < 16; ++y) d.insert(d.end(), {16, 1, 16, 2, 0, 0});
    d.insert(d.end(), {0, 1});
    return d;
}

// 32 x 16, 4 bits, run-length coded.
Bytes Rle4Bits() {
    Bytes d;
    for (int y = 0; y < 16; ++y) d.insert(d.end(), {16, 0x12, 16, 0x34, 0, 0});
    d.insert(d.end(), {0, 1});
    return d;
}

uint32_t Crc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFF;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

void PngChunk(Bytes& b, const char* type, const Bytes& data) {
    PutBE32(b, static_cast<uint32_t>(data.size()));
    const size_t start = b.size();
    b.insert(b.end(), type, type + 4);
    Append(b, data);
    PutBE32(b, Crc32(b.data() + start, b.size() - start));
}

// A 32 x 32 RGBA PNG in stored (uncompressed) deflate blocks.
Bytes Png32() {
    const int n = 32;
    Bytes raw;
    for (int y = 0; y < n; ++y) {
        raw.push_back(0);
        for (int x = 0; x < n; ++x) raw.insert(raw.end(), {0, 200, 0, 255});
    }
    Bytes z = {0x78, 0x01};
    for (size_t at = 0; at < raw.size(); at += 65535) {
        const size_t len = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + len == raw.size() ? 1 : 0);
        Put16(z, static_cast<uint32_t>(len));
        Put16(z, static_cast<uint32_t>(~len & 0xFFFF));
        z.insert(z.end(), raw.begin() + static_cast<ptrdiff_t>(at),
                 raw.begin() + static_cast<ptrdiff_t>(at + len));
    }
    uint32_t a = 1, s = 0;
    for (uint8_t c : raw) {
        a = (a + c) % 65521;
        s = (s + a) % 65521;
    }
    PutBE32(z, s << 16 | a);
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    PutBE32(ihdr, n);
    PutBE32(ihdr, n);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    PngChunk(b, "IHDR", ihdr);
    PngChunk(b, "IDAT", z);
    PngChunk(b, "IEND", {});
    return b;
}

// An icon file from image bodies as they are (BMP-style or PNG).
struct IconBody {
    uint8_t width, height;
    uint16_t bits;
    Bytes body;
};
Bytes IconFromBodies(const std::vector<IconBody>& images, uint16_t type = 1) {
    Bytes b;
    Put16(b, 0);
    Put16(b, type);
    Put16(b, static_cast<uint32_t>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const IconBody& i : images) {
        b.insert(b.end(), {i.width, i.height, 0, 0});
        Put16(b, type == 1 ? 1 : 0);
        Put16(b, type == 1 ? i.bits : 0);
        Put32(b, static_cast<uint32_t>(i.body.size()));
        Put32(b, offset);
        offset += static_cast<uint32_t>(i.body.size());
    }
    for (const IconBody& i : images) Append(b, i.body);
    return b;
}

// A 16 x 16 icon image of 8 bits with a 256-colour table.
IconBody Pal8Icon() {
    Bytes body = InfoHeader(16, 32, 8, 0, 0, 256);
    PutPalette(body, 256);
    Append(body, Rows(16, 16, 8, [](int x, int) { return static_cast<uint32_t>(x % 6); }));
    Append(body, Rows(16, 16, 1, [](int, int) { return 0u; }));
    return {16, 16, 8, body};
}

// An animated cursor with optional "rate" and "seq " chunks and an INFO list; the frames are
// one-image cursor files of `frameSize` pixels.
struct AniPlan {
    int frames = 4;
    uint32_t steps = 8;
    uint32_t rate = 10;
    std::vector<uint32_t> rates;
    std::vector<uint32_t> sequence;
    bool info = false;
    int frameSize = 32;
};
Bytes AniFrom(const AniPlan& plan) {
    Bytes chunks;
    if (plan.info) {
        Bytes list;
        PutId(list, "INFO");
        PutId(list, "INAM");
        Put32(list, 8);
        list.insert(list.end(), {'h', 'o', 's', 't', 'i', 'l', 'e', 0});
        PutId(chunks, "LIST");
        Put32(chunks, static_cast<uint32_t>(list.size()));
        Append(chunks, list);
    }
    PutId(chunks, "anih");
    Put32(chunks, 36);
    const uint32_t flags = 1 | (plan.sequence.empty() ? 0 : 2);
    for (uint32_t v : {36u, static_cast<uint32_t>(plan.frames), plan.steps, 0u, 0u, 0u, 0u,
                       plan.rate, flags})
        Put32(chunks, v);
    if (!plan.rates.empty()) {
        PutId(chunks, "rate");
        Put32(chunks, static_cast<uint32_t>(4 * plan.rates.size()));
        for (uint32_t v : plan.rates) Put32(chunks, v);
    }
    if (!plan.sequence.empty()) {
        PutId(chunks, "seq ");
        Put32(chunks, static_cast<uint32_t>(4 * plan.sequence.size()));
        for (uint32_t v : plan.sequence) Put32(chunks, v);
    }
    Bytes list;
    PutId(list, "fram");
    for (int i = 0; i < plan.frames; ++i) {
        const Bytes icon = IconFile({{plan.frameSize, kPalette[static_cast<size_t>(i) % 5 + 1]}}, 2);
        PutId(list, "icon");
        Put32(list, static_cast<uint32_t>(icon.size()));
        Append(list, icon);
    }
    PutId(chunks, "LIST");
    Put32(chunks, static_cast<uint32_t>(list.size()));
    Append(chunks, list);
    Bytes b;
    PutId(b, "RIFF");
    Put32(b, static_cast<uint32_t>(4 + chunks.size()));
    PutId(b, "ACON");
    Append(b, chunks);
    return b;
}

// A packed 8 x 8 DIB of 8 bits: a pattern brush's bits.
Bytes PackedDib8() {
    Bytes b = InfoHeader(8, 8, 8, 0, 0, 6);
    PutPalette(b, 6);
    Append(b, Rows(8, 8, 8, [](int x, int y) { return static_cast<uint32_t>((x + y) % 6); }));
    return b;
}

// The drawing both metafile recorders are given: every kind of object and record the players
// parse with counts, sizes or indices of their own.
void DrawScene(HDC dc) {
    HPEN dashed = CreatePen(PS_DASH, 1, RGB(200, 0, 0));
    HPEN thick = CreatePen(PS_SOLID, 5, RGB(0, 0, 200));
    HBRUSH solid = CreateSolidBrush(RGB(0, 160, 0));
    HBRUSH hatch = CreateHatchBrush(HS_DIAGCROSS, RGB(120, 0, 120));
    const Bytes dib = PackedDib8();
    HBRUSH pattern = CreateDIBPatternBrushPt(dib.data(), DIB_RGB_COLORS);
    HFONT font = CreateFontW(-20, 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, L"Tahoma");
    HGDIOBJ oldPen = SelectObject(dc, dashed);
    HGDIOBJ oldBrush = SelectObject(dc, solid);
    HGDIOBJ oldFont = SelectObject(dc, font);
    Rectangle(dc, 10, 10, 190, 90);
    Ellipse(dc, 20, 20, 80, 70);
    const POINT star[] = {{100, 10}, {120, 80}, {60, 35}, {140, 35}, {80, 80}};
    Polygon(dc, star, 5);
    SelectObject(dc, thick);
    const POINT many[] = {{10, 100}, {60, 100}, {60, 150}, {10, 150},  // square
                          {80, 100}, {130, 150}, {80, 150},            // triangle
                          {150, 100}, {190, 110}, {185, 150}, {160, 160}, {145, 130}};
    const INT counts[] = {4, 3, 5};
    PolyPolygon(dc, many, counts, 3);
    const POINT line[] = {{0, 0}, {50, 190}, {100, 0}, {150, 190}};
    Polyline(dc, line, 4);
    SelectObject(dc, hatch);
    RoundRect(dc, 100, 150, 190, 190, 15, 15);
    SelectObject(dc, pattern);
    Pie(dc, 0, 150, 60, 200, 60, 175, 0, 175);
    SetTextColor(dc, RGB(0, 0, 128));
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 20, 60, L"Hostile", 7);
    const RECT clip = {10, 120, 190, 140};
    const INT dx[] = {12, 12, 12, 12, 12};
    ExtTextOutW(dc, 15, 120, ETO_CLIPPED | ETO_OPAQUE, &clip, L"files", 5, dx);
    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof bih;
    bih.biWidth = 8;
    bih.biHeight = 8;
    bih.biPlanes = 1;
    bih.biBitCount = 8;
    bih.biClrUsed = 6;
    const BITMAPINFO* bmi = reinterpret_cast<const BITMAPINFO*>(dib.data());
    StretchDIBits(dc, 150, 10, 40, 40, 0, 0, 8, 8, dib.data() + 40 + 6 * 4, bmi, DIB_RGB_COLORS,
                  SRCCOPY);
    HRGN region = CreateRectRgn(30, 160, 70, 190);
    HRGN other = CreateEllipticRgn(50, 150, 95, 195);
    CombineRgn(region, region, other, RGN_XOR);
    FillRgn(dc, region, solid);
    DeleteObject(other);
    DeleteObject(region);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldFont);
    for (HGDIOBJ o : {static_cast<HGDIOBJ>(dashed), static_cast<HGDIOBJ>(thick),
                      static_cast<HGDIOBJ>(solid), static_cast<HGDIOBJ>(hatch),
                      static_cast<HGDIOBJ>(pattern), static_cast<HGDIOBJ>(font)})
        DeleteObject(o);
}

Bytes RecordWmfBytes(const std::function<void(HDC)>& draw) {
    HDC dc = CreateMetaFileW(nullptr);
    if (!dc) return {};
    draw(dc);
    HMETAFILE mf = CloseMetaFile(dc);
    if (!mf) return {};
    Bytes b(GetMetaFileBitsEx(mf, 0, nullptr));
    GetMetaFileBitsEx(mf, static_cast<UINT>(b.size()), b.data());
    DeleteMetaFile(mf);
    return b;
}

Bytes RecordEmfBytes(const std::function<void(HDC)>& draw) {
    const RECT frame = {0, 0, 5080, 5080};
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, &frame, L"hostile\0scene\0");
    if (!dc) return {};
    draw(dc);
    HENHMETAFILE mf = CloseEnhMetaFile(dc);
    if (!mf) return {};
    Bytes b(GetEnhMetaFileBits(mf, 0, nullptr));
    GetEnhMetaFileBits(mf, static_cast<UINT>(b.size()), b.data());
    DeleteEnhMetaFile(mf);
    return b;
}

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// Bitmaps (.bmp, and a few as .dib)

void Bitmaps(Corpus& c) {
    auto halves = [](int, int y) -> uint8_t { return y < 24 ? 1 : 2; };
    const Bytes s8 = Bitmap8(64, 48, kPalette, halves);
    Bytes h24 = InfoHeader(40, 30, 24, 0, 0, 0);
    const Bytes s24 = BmpFile(h24, Rows(40, 30, 24, [](int x, int) { return x < 20 ? 0xFF0000u : 0x0000FFu; }));
    Bytes h1 = InfoHeader(33, 20, 1, 0, 0, 2);
    PutPalette(h1, 2);
    const Bytes s1 = BmpFile(h1, Rows(33, 20, 1, [](int x, int y) { return static_cast<uint32_t>((x + y) & 1); }));
    Bytes h4 = InfoHeader(17, 9, 4, 0, 0, 16);
    PutPalette(h4, 16);
    const Bytes s4 = BmpFile(h4, Rows(17, 9, 4, [](int x, int) { return static_cast<uint32_t>(x % 6); }));
    Bytes hr8 = InfoHeader(32, 16, 8, BI_RLE8, static_cast<uint32_t>(Rle8Bits().size()), 6);
    PutPalette(hr8, 6);
    const Bytes rle8 = BmpFile(hr8, Rle8Bits());
    Bytes hr4 = InfoHeader(32, 16, 4, BI_RLE4, static_cast<uint32_t>(Rle4Bits().size()), 6);
    PutPalette(hr4, 6);
    const Bytes rle4 = BmpFile(hr4, Rle4Bits());
    Bytes hbf = InfoHeader(16, 16, 32, BI_BITFIELDS, 0, 0);
    for (uint32_t m : {0x00FF0000u, 0x0000FF00u, 0x000000FFu}) Put32(hbf, m);
    const Bytes bf32 = BmpFile(hbf, Rows(16, 16, 32, [](int, int) { return 0x00FF8000u; }));
    Bytes hcore;
    Put32(hcore, 12);
    Put16(hcore, 16);
    Put16(hcore, 16);
    Put16(hcore, 1);
    Put16(hcore, 24);
    const Bytes core = BmpFile(hcore, Rows(16, 16, 24, [](int, int) { return 0x00FF00u; }));
    Bytes htd = InfoHeader(24, -12, 8, 0, 0, 6);
    PutPalette(htd, 6);
    const Bytes topdown = BmpFile(htd, Rows(24, 12, 8, [](int, int y) { return y < 6 ? 1u : 2u; }));

    c.Seed("bmp", "s8", s8, "64x48, 8 bits, 256 colours");
    c.Seed("bmp", "s24", s24, "40x30, 24 bits");
    c.Seed("bmp", "s1", s1, "33x20, 1 bit");
    c.Seed("bmp", "s4", s4, "17x9, 4 bits");
    c.Seed("bmp", "rle8", rle8, "32x16, 8-bit run-length");
    c.Seed("bmp", "rle4", rle4, "32x16, 4-bit run-length");
    c.Seed("bmp", "bf32", bf32, "16x16, 32 bits with masks");
    c.Seed("bmp", "core", core, "16x16, 24 bits, 12-byte core header");
    c.Seed("bmp", "topdown", topdown, "24x12, 8 bits, top-down");

    c.Fields("bmp", "s8", s8,
             {{"bfSize", 2, 4}, {"bfOffBits", 10, 4}, {"biSize", 14, 4, {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0xFFFF, 0x8000, 12, 124}},
              {"biWidth", 18, 4}, {"biHeight", 22, 4, {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0xFFFF, 0x8000, 0x80000000}},
              {"biPlanes", 26, 2}, {"biBitCount", 28, 2, {0, 1, 0xFFFF, 0x8000, 3, 64}},
              {"biCompression", 30, 4, {1, 2, 3, 4, 5, 6, 0xFFFFFFFF, 0x8000}},
              {"biSizeImage", 34, 4}, {"biClrUsed", 46, 4}});
    c.Fields("bmp", "s24", s24, {{"biWidth", 18, 4, {0x7FFFFFFF, 0xFFFFFFFF, 0x8000}},
                                 {"biHeight", 22, 4, {0x7FFFFFFF, 0x80000000, 0x8000}},
                                 {"bfOffBits", 10, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF}}});
    c.Fields("bmp", "s1", s1, {{"biClrUsed", 46, 4, {0xFFFFFFFF, 0x7FFFFFFF, 0xFFFF, 3}}});
    c.Fields("bmp", "s4", s4, {{"biClrUsed", 46, 4, {0xFFFFFFFF, 0x7FFFFFFF, 17}}});
    c.Fields("bmp", "rle8", rle8,
             {{"biWidth", 18, 4}, {"biHeight", 22, 4, {0xFFFFFFF0, 0x7FFFFFFF, 0xFFFF, 0x8000, 0}},
              {"biSizeImage", 34, 4}});
    c.Fields("bmp", "rle4", rle4, {{"biWidth", 18, 4, {0x7FFFFFFF, 0xFFFF}}, {"biSizeImage", 34, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF}}});
    c.Fields("bmp", "bf32", bf32,
             {{"redmask", 54, 4, {0, 0xFFFFFFFF}}, {"greenmask", 58, 4, {0xFFFF0000}},
              {"biBitCount", 28, 2, {24, 8}}, {"biSize", 14, 4, {52, 56, 108}}});
    c.Fields("bmp", "core", core,
             {{"bcWidth", 18, 2, {0, 0xFFFF, 0x8000}}, {"bcHeight", 20, 2, {0, 0xFFFF, 0x8000}},
              {"bcBitCount", 24, 2, {0, 8, 0xFFFF}}});
    c.Fields("bmp", "topdown", topdown, {{"biHeight", 22, 4, {0x80000000, 0xFFFF8000}}});

    // Run-length streams that step outside the bitmap.
    auto rleWith = [&](const Bytes& stream, const std::string& what, const std::string& about) {
        Bytes b = BmpFile(hr8, stream);
        SetField(b, 34, 4, static_cast<uint32_t>(stream.size()));
        c.Add("bmp", "struct", "rle8-" + what, b, "rle8: " + about);
    };
    rleWith({0, 2, 255, 255, 0, 2, 255, 255, 5, 1, 0, 1}, "delta-past-end", "delta escapes 255,255 twice, then a run");
    rleWith({255, 1, 255, 1, 255, 1, 0, 1}, "run-past-row", "runs of 255 pixels in a 32-pixel row");
    rleWith({0, 255, 1, 2, 3}, "absolute-past-end", "absolute run of 255 with 3 bytes left");
    {
        Bytes s;
        for (int i = 0; i < 5000; ++i) s.insert(s.end(), {0, 0});
        rleWith(s, "eol5000", "5000 end-of-line escapes in 16 rows, no end of bitmap");
    }
    rleWith({16, 1, 16, 2}, "no-end", "one row of runs and no end of bitmap");
    {
        Bytes b = rle4;
        const size_t at = 14 + 40 + 6 * 4;
        b.resize(at);
        Append(b, {0, 2, 255, 255, 0, 255, 0x12, 0x34});
        c.Add("bmp", "struct", "rle4-delta-absolute", b, "rle4: delta 255,255 then absolute run of 255 past the end");
    }

    // Sizes claimed that the file does not hold.
    auto claim = [&](int32_t w, int32_t h, uint16_t bits, const std::string& what) {
        Bytes hh = InfoHeader(w, h, bits, 0, 0, bits <= 8 ? 1u << bits : 0);
        PutPalette(hh, bits <= 8 ? 1u << bits : 0);
        Bytes b = BmpFile(hh, Rows(8, 8, bits, [](int, int) { return 1u; }));
        c.Add("bmp", "huge", what, b,
              "header " + Dec(static_cast<uint32_t>(w)) + "x" + Dec(static_cast<uint32_t>(h)) + "x" + Dec(bits) +
                  " over " + Dec(b.size()) + " bytes");
    };
    claim(8000, 8000, 8, "8000x8000x8");
    claim(8000, 8000, 24, "8000x8000x24");
    claim(0x7FFFFFFF, 1, 1, "7fffffffx1x1");
    claim(1, 0x7FFFFFFF, 32, "1x7fffffffx32");
    claim(65536, 65536, 32, "65536x65536x32");
    claim(30000, -30000, 24, "30000x-30000x24");

    const auto n8 = s8.size();
    c.Truncations("bmp", "s8", s8,
                  {{0, "empty"}, {1, "inside the signature"}, {2, "after the signature"}, {6, "inside the file header"},
                   {10, "before bfOffBits"}, {14, "end of the file header"}, {18, "after biSize"},
                   {26, "after the size"}, {30, "after the bit count"}, {40, "inside the info header"},
                   {53, "one short of the info header"}, {54, "end of the info header"},
                   {600, "inside the palette"}, {1077, "one short of the palette"}, {1078, "end of the palette"},
                   {1078 + 64, "after one row"}, {n8 / 2 + 37, "middle of the bits"}, {n8 - 1, "last byte"}});
    c.Truncations("bmp", "rle8", rle8, {{54 + 24, "end of the palette"}, {54 + 24 + 3, "inside the first row"},
                                       {rle8.size() - 2, "before the end of bitmap"}, {rle8.size() - 1, "inside the end escape"}});
    c.Truncations("bmp", "core", core, {{20, "inside the core header"}, {26, "end of the core header"}, {40, "inside the bits"}});
    c.Truncations("bmp", "bf32", bf32, {{58, "inside the masks"}, {66, "end of the masks"}});
    c.Truncations("bmp", "s24", s24, {{54, "end of the header"}, {s24.size() / 2, "middle of the bits"}});
    c.Flips("bmp", "s8", s8, 12, 1, 0, 54);
    c.Flips("bmp", "s8", s8, 6, 4, 0, s8.size());
    c.Flips("bmp", "rle8", rle8, 8, 2, 54 + 24, rle8.size());
    c.Flips("bmp", "rle4", rle4, 4, 2, 54 + 24, rle4.size());

    // Large files, sparse: a valid 64 MB bitmap of zeros, and a bigger claim in 64 MB.
    {
        Bytes b = BmpFile(InfoHeader(4096, 4096, 32, 0, 0, 0), {});
        c.Add("bmp", "sparse", "4096x4096x32-64mb", b, "valid header, 64 MB of zero pixels (sparse)",
              b.size() + 4096ull * 4096 * 4);
        Bytes h = BmpFile(InfoHeader(8000, 8000, 24, 0, 0, 0), {});
        c.Add("bmp", "sparse", "8000x8000x24-in-64mb", h, "8000x8000x24 header, file of 64 MB (sparse)", 64ull << 20);
    }

    // The same reader under the other name.
    c.Seed("dib", "s8", s8, "64x48, 8 bits");
    c.Seed("dib", "rle8", rle8, "32x16, 8-bit run-length");
    c.Fields("dib", "s8", s8, {{"biWidth", 18, 4, {0x7FFFFFFF}}, {"biHeight", 22, 4, {0x80000000}},
                               {"bfOffBits", 10, 4, {0xFFFFFFFF}}, {"biSize", 14, 4, {0}},
                               {"biBitCount", 28, 2, {0}}, {"biClrUsed", 46, 4, {0x7FFFFFFF}}});
    c.Fields("dib", "rle8", rle8, {{"biHeight", 22, 4, {0xFFFFFFF0}}, {"biWidth", 18, 4, {0x7FFFFFFF}}});
    c.Truncations("dib", "s8", s8, {{54, "end of the info header"}, {1078, "end of the palette"}});
    c.Flips("dib", "s8", s8, 2, 4, 0, s8.size());
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// GIFs

void Gifs(Corpus& c) {
    const Bytes g7 = Gif(50, 40, 0xF7, kPalette, [](int x, int) -> uint8_t { return x < 25 ? 1 : 2; });
    const Bytes g1 = Gif(50, 40, 0x91, kPalette, [](int, int y) -> uint8_t { return y < 20 ? 1 : 3; });
    const size_t d7 = 13 + 3 * 256;  // the image descriptor
    const size_t d1 = 13 + 3 * 4;
    // Two frames, a control extension before each, a comment and a looping extension.
    Bytes anim = Slice(g1, 0, d1);
    const Bytes loop = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0};
    Append(anim, loop);
    const size_t loopAt = d1;
    const Bytes control = {0x21, 0xF9, 4, 0x04, 10, 0, 0, 0};
    const Bytes image = Slice(g1, d1, g1.size() - 1);
    const size_t gce1 = anim.size();
    Append(anim, control);
    Append(anim, image);
    const Bytes comment = {0x21, 0xFE, 5, 'h', 'e', 'l', 'l', 'o', 0};
    Append(anim, comment);
    const size_t gce2 = anim.size();
    Append(anim, control);
    const size_t frame2 = anim.size();
    Append(anim, image);
    anim.push_back(0x3B);

    c.Seed("gif", "g7", g7, "50x40, 256-colour table");
    c.Seed("gif", "g1", g1, "50x40, 4-colour table");
    c.Seed("gif", "anim", anim, "50x40, two frames, loop and comment extensions");

    c.Fields("gif", "g7", g7,
             {{"screenW", 6, 2}, {"screenH", 8, 2}, {"packed", 10, 1, {0, 0xFF, 0x80, 0x07}},
              {"imgLeft", d7 + 1, 2, {0xFFFF, 0x8000}}, {"imgTop", d7 + 3, 2, {0xFFFF, 0x8000}},
              {"imgW", d7 + 5, 2}, {"imgH", d7 + 7, 2}, {"imgPacked", d7 + 9, 1, {0x87, 0x40, 0xFF}},
              {"lzwMin", d7 + 10, 1, {0, 1, 12, 0xFF}}, {"block", d7 + 11, 1, {0, 1, 0xFF}}});
    c.Fields("gif", "g1", g1, {{"packed", 10, 1, {0x97, 0x87}}, {"lzwMin", d1 + 10, 1, {0, 11}}});
    c.Fields("gif", "anim", anim,
             {{"loopSize", loopAt + 2, 1, {0, 0xFF}}, {"loopSub", loopAt + 14, 1, {0, 0xFF}},
              {"gceSize", gce1 + 2, 1, {0, 0xFF}}, {"gceDelay", gce1 + 4, 2, {0xFFFF}},
              {"gceTransparent", gce1 + 6, 1, {0xFF}}, {"gce2Flags", gce2 + 3, 1, {0xFF}},
              {"frame2W", frame2 + 5, 2, {0xFFFF, 0x8000}}, {"frame2Left", frame2 + 1, 2, {0xFFFF}},
              {"frame2Packed", frame2 + 9, 1, {0x87}}});

    // Sizes claimed that the file does not hold.
    auto sized = [&](const std::string& what, uint32_t sw, uint32_t sh, uint32_t iw, uint32_t ih) {
        Bytes b = g1;
        SetField(b, 6, 2, sw);
        SetField(b, 8, 2, sh);
        SetField(b, d1 + 5, 2, iw);
        SetField(b, d1 + 7, 2, ih);
        c.Add("gif", "huge", what, b,
              "g1: screen " + Dec(sw) + "x" + Dec(sh) + ", image " + Dec(iw) + "x" + Dec(ih) +
                  " over " + Dec(b.size()) + " bytes");
    };
    sized("screen32768", 32768, 32768, 50, 40);
    sized("both32768", 32768, 32768, 32768, 32768);
    sized("both65535", 65535, 65535, 65535, 65535);
    sized("image32768-screen1", 1, 1, 32768, 32768);
    {
        Bytes b = g1;
        SetField(b, d1 + 1, 2, 32768);
        SetField(b, d1 + 3, 2, 32768);
        c.Add("gif", "huge", "offset32768", b, "g1: image placed at 32768,32768 on a 50x40 screen");
    }

    // Broken structure.
    {
        Bytes b = Slice(g1, 0, d1);
        for (int i = 0; i < 2000; ++i) Append(b, image);
        b.push_back(0x3B);
        c.Add("gif", "struct", "frames2000", b, "g1's image repeated as 2000 frames");
    }
    {
        Bytes b = Slice(g7, 0, d7 + 11);
        for (int i = 0; i < 400; ++i) {
            b.push_back(255);
            for (int k = 0; k < 255; ++k) b.push_back(static_cast<uint8_t>(c.Next()));
        }
        b.push_back(0);
        b.push_back(0x3B);
        c.Add("gif", "struct", "lzw-garbage100k", b, "g7 with 400 sub-blocks of random LZW data");
    }
    {
        Bytes b = g7;
        b.pop_back();
        c.Add("gif", "struct", "no-trailer", b, "g7 without the trailer");
        Bytes e = Slice(g7, 0, d7);
        e.push_back(0x3B);
        c.Add("gif", "struct", "no-image", e, "g7 header and colour table, then the trailer");
        Bytes u = Slice(g7, 0, d7);
        u.push_back(0x99);
        Append(u, Slice(g7, d7, g7.size()));
        c.Add("gif", "struct", "unknown-block", u, "g7 with a 0x99 block byte before the image");
        Bytes x = Slice(g1, 0, d1);
        x.insert(x.end(), {0x21, 0xFE});
        for (int i = 0; i < 200; ++i) {
            x.push_back(255);
            x.resize(x.size() + 255, 'x');
        }
        c.Add("gif", "struct", "endless-comment", x, "g1 then a comment whose sub-blocks run to the end of file");
        Bytes l = g1;
        for (size_t at = d1 + 12; at + 1 < l.size() - 2; ++at) l[at] = 0xFF;
        c.Add("gif", "struct", "lzw-all-ones", l, "g1 with its LZW data all 0xFF bytes");
    }

    c.Truncations("gif", "g7", g7,
                  {{3, "inside the signature"}, {6, "end of the signature"}, {10, "before the flags"},
                   {13, "end of the screen descriptor"}, {13 + 384, "middle of the colour table"},
                   {d7, "end of the colour table"}, {d7 + 5, "inside the image descriptor"},
                   {d7 + 10, "end of the image descriptor"}, {d7 + 11, "after the LZW code size"},
                   {d7 + 12, "after the first block size"}, {d7 + 200, "inside the image data"},
                   {g7.size() - 2, "before the block terminator"}, {g7.size() - 1, "before the trailer"}});
    c.Truncations("gif", "anim", anim,
                  {{loopAt + 5, "inside the loop extension"}, {gce1 + 4, "inside the control extension"},
                   {gce2, "after the comment"}, {frame2 + 3, "inside the second descriptor"},
                   {frame2 + 40, "inside the second image"}});
    c.Flips("gif", "g7", g7, 8, 1, 0, d7 + 12);
    c.Flips("gif", "g7", g7, 6, 4, 0, g7.size());
    c.Flips("gif", "anim", anim, 6, 2, 0, anim.size());
    {
        Bytes b = g1;
        c.Add("gif", "sparse", "g1-64mb", b, "g1 followed by zeros to 64 MB (sparse)", 64ull << 20);
    }
}

// ---------------------------------------------------------------------------------------------
// JPEGs, from the build's own fixtures

struct Segment {
    uint8_t marker;
    size_t at;      // of the FF
    size_t length;  // the length field's value; 0 for markers without one
};

// The segments up to and including the first start of scan, then EOI if found.
std::vector<Segment> JpegSegments(const Bytes& b) {
    std::vector<Segment> s;
    size_t at = 2;
    while (at + 4 <= b.size() && b[at] == 0xFF) {
        const uint8_t m = b[at + 1];
        const size_t len = GetBE16(b, at + 2);
        s.push_back({m, at, len});
        at += 2 + len;
        if (m == 0xDA) {
            // Entropy-coded data: to the next marker that is not a stuffed zero or a restart.
            while (at + 1 < b.size() &&
                   !(b[at] == 0xFF && b[at + 1] != 0 && (b[at + 1] < 0xD0 || b[at + 1] > 0xD7)))
                ++at;
        }
    }
    if (at + 2 <= b.size() && b[at] == 0xFF && b[at + 1] == 0xD9) s.push_back({0xD9, at, 0});
    return s;
}

std::string MarkerName(uint8_t m) {
    switch (m) {
        case 0xC0: return "sof0";
        case 0xC2: return "sof2";
        case 0xC4: return "dht";
        case 0xDB: return "dqt";
        case 0xDA: return "sos";
        case 0xDD: return "dri";
        case 0xD9: return "eoi";
        case 0xFE: return "com";
        default:
            if (m >= 0xE0 && m <= 0xEF) return "app" + Dec(m - 0xE0u);
            return "m" + Hex(m);
    }
}

void Jpegs(Corpus& c, const fs::path& fixtures) {
    struct Named {
        std::string seed;
        Bytes bytes;
    };
    const Named seeds[] = {{"baseline", ReadAll(fixtures / "baseline.jpg")},
                           {"progressive", ReadAll(fixtures / "progressive.jpg")},
                           {"gray", ReadAll(fixtures / "gray.jpg")}};
    for (const Named& n : seeds) {
        if (n.bytes.size() < 100) continue;
        const Bytes& b = n.bytes;
        const bool full = n.seed == "baseline";
        const std::vector<Segment> segs = JpegSegments(b);
        c.Seed("jpg", n.seed, b, "640x480 from the build's fixtures");
        std::map<std::string, int> seen;
        std::vector<Cut> cuts = {{2, "after SOI"}};
        size_t dataStart = 0, dataEnd = b.size();
        bool scanned = false;  // past the first scan: only cut there
        for (const Segment& s : segs) {
            std::string name = MarkerName(s.marker);
            if (seen[name]++) name += Dec(static_cast<uint64_t>(seen[name] - 1));
            cuts.push_back({s.at, "before " + name});
            if (s.length) cuts.push_back({s.at + 3, "inside the length of " + name});
            if (s.marker == 0xD9) {
                dataEnd = s.at;
                continue;
            }
            if (scanned) continue;
            // Every segment's length, on the baseline; start of frame and scan on all.
            const bool frameOrScan = s.marker == 0xC0 || s.marker == 0xC2 || s.marker == 0xDA;
            if (full || frameOrScan)
                c.Fields("jpg", n.seed, b,
                         {{name + "-len", s.at + 2, 2,
                           full ? std::vector<uint32_t>{0, 1, 2, 0xFFFF, 0x8000}
                                : std::vector<uint32_t>{0, 0xFFFF}, true}});
            if (s.marker == 0xC0 || s.marker == 0xC2) {
                c.Fields("jpg", n.seed, b,
                         {{name + "-height", s.at + 5, 2, {0, 1, 0xFFFF, 0x8000}, true},
                          {name + "-width", s.at + 7, 2, {0, 1, 0xFFFF, 0x8000}, true},
                          {name + "-ncomp", s.at + 9, 1, {0, 4, 0xFF}},
                          {name + "-precision", s.at + 4, 1, {0, 12, 16}},
                          {name + "-sampling", s.at + 11, 1, {0x00, 0xFF, 0x44}},
                          {name + "-qtable", s.at + 12, 1, {3, 0xFF}}});
            }
            if (s.marker == 0xDA) {
                scanned = true;
                dataStart = s.at + 2 + s.length;
                c.Fields("jpg", n.seed, b,
                         {{name + "-ncomp", s.at + 4, 1, {0, 4, 0xFF}},
                          {name + "-compsel", s.at + 5, 1, {9, 0xFF}},
                          {name + "-tables", s.at + 6, 1, {0x44, 0xFF}},
                          {name + "-se", s.at + 2 + s.length - 2, 1, {0xFF, 0}},
                          {name + "-ahal", s.at + 2 + s.length - 1, 1, {0xFF, 0x0F}}});
            }
            if (full && s.marker == 0xC4)
                c.Fields("jpg", n.seed, b,
                         {{name + "-class", s.at + 4, 1, {0xFF, 0x14}}, {name + "-count1", s.at + 5, 1, {0xFF}},
                          {name + "-count16", s.at + 20, 1, {0xFF}}});
            if (full && s.marker == 0xDB)
                c.Fields("jpg", n.seed, b, {{name + "-id", s.at + 4, 1, {0x1F, 0xFF, 0x04}}});
        }
        if (dataStart && dataEnd > dataStart) {
            const size_t len = dataEnd - dataStart;
            cuts.push_back({dataStart + len / 4, "a quarter into the scan data"});
            cuts.push_back({dataStart + len / 2, "half into the scan data"});
            cuts.push_back({dataStart + len * 9 / 10, "nine tenths into the scan data"});
            c.Flips("jpg", n.seed, b, full ? 10 : 6, 1 + static_cast<int>(c.Next() % 4), dataStart, dataEnd);
        }
        cuts.push_back({b.size() - 1, "inside EOI"});
        c.Truncations("jpg", n.seed, b, cuts);
        c.Flips("jpg", n.seed, b, full ? 6 : 3, 1, 2, dataStart ? dataStart : b.size());

        if (!full) continue;
        // Broken structure, on the baseline.
        auto without = [&](uint8_t marker, const std::string& what) {
            Bytes out = Slice(b, 0, 2);
            bool removed = false;
            for (size_t i = 0; i < segs.size(); ++i) {
                const size_t end = i + 1 < segs.size() ? segs[i + 1].at : b.size();
                if (segs[i].marker == marker && !removed) {
                    removed = true;
                    continue;
                }
                Append(out, Slice(b, segs[i].at, end));
            }
            if (removed) c.Add("jpg", "struct", n.seed + "-" + what, out, n.seed + ": first " + MarkerName(marker) + " segment removed");
        };
        without(0xC0, "no-sof");
        without(0xC4, "no-dht");
        without(0xDB, "no-dqt");
        without(0xD9, "no-eoi");
        for (const Segment& s : segs) {
            if (s.marker != 0xC0) continue;
            Bytes out = Slice(b, 0, s.at);
            Bytes sof = Slice(b, s.at, s.at + 2 + s.length);
            Append(out, sof);
            SetField(sof, 5, 2, 0xFFFF, true);
            Append(out, sof);
            Append(out, Slice(b, s.at + 2 + s.length, b.size()));
            c.Add("jpg", "struct", n.seed + "-two-sof", out, n.seed + ": SOF0 followed by a second SOF0 of height 65535");
        }
        if (dataStart) {
            Bytes out = Slice(b, 0, dataStart);
            for (int i = 0; i < 5000; ++i) out.insert(out.end(), {0xFF, static_cast<uint8_t>(0xD0 + i % 8)});
            Append(out, Slice(b, dataStart, b.size()));
            c.Add("jpg", "struct", n.seed + "-rst5000", out, n.seed + ": 5000 restart markers before the scan data");
            Bytes ff = b;
            for (size_t i = dataStart; i < dataEnd; ++i) ff[i] = 0xFF;
            c.Add("jpg", "struct", n.seed + "-data-ff", ff, n.seed + ": scan data all 0xFF bytes");
            Bytes app = Slice(b, 0, 2);
            for (int i = 0; i < 200; ++i) {
                app.insert(app.end(), {0xFF, 0xE1, 0x03, 0xEA});
                app.resize(app.size() + 1000, 0);
            }
            Append(app, Slice(b, 2, b.size()));
            c.Add("jpg", "struct", n.seed + "-app200", app, n.seed + ": 200 APP1 segments of 1000 bytes first");
            Bytes two = Slice(b, 0, dataEnd);
            Append(two, Slice(b, 2, dataEnd));
            two.insert(two.end(), {0xFF, 0xD9});
            c.Add("jpg", "struct", n.seed + "-twice", two, n.seed + ": its segments and scan again after the first scan");
        }
        c.Add("jpg", "sparse", n.seed + "-64mb", b, n.seed + " followed by zeros to 64 MB (sparse)", 64ull << 20);
    }
}

// A camera photo: the baseline fixture with an Exif segment whose second directory points at
// a 160 x 120 thumbnail, which the preview shows instead of the photo; its pointers and the
// thumbnail's own frame and data damaged.
void CameraJpegs(Corpus& c, const fs::path& fixtures) {
    const Bytes photo = ReadAll(fixtures / "baseline.jpg"), thumbnail = ReadAll(fixtures / "thumb.jpg");
    if (photo.size() < 4 || thumbnail.empty()) return;
    Bytes tiff = {'I', 'I', 42, 0};
    const auto put16 = [&](uint32_t v) { tiff.insert(tiff.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    const auto put32 = [&](uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
    put32(8);
    put16(1), put16(0x0112), put16(3), put32(1), put16(1), put16(0), put32(26);  // the first directory
    put16(3);                                                                    // the second, at 26
    put16(0x0103), put16(3), put32(1), put16(6), put16(0);
    put16(0x0201), put16(4), put32(1), put32(68);
    put16(0x0202), put16(4), put32(1), put32(static_cast<uint32_t>(thumbnail.size()));
    put32(0);
    Append(tiff, thumbnail);
    const size_t length = 2 + 6 + tiff.size();
    Bytes b = Slice(photo, 0, 2);
    Append(b, {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length), 'E', 'x', 'i', 'f', 0, 0});
    Append(b, tiff);
    Append(b, Slice(photo, 2, photo.size()));
    // The TIFF structure starts at 12 in the file.
    constexpr size_t kTiff = 12, kThumbnail = kTiff + 68;
    c.Seed("jpg", "camera", b, "the baseline with a 160x120 Exif thumbnail");
    c.Fields("jpg", "camera", b,
             {{"ifd1", kTiff + 22, 4, {0, 8, 0xFFFF, 0xFFFFFFFF}},
              {"thumb-offset", kTiff + 48, 4, {0, 8, 69, 0x7FFFFFFF, 0xFFFFFFFF}},
              {"thumb-length", kTiff + 60, 4, {0, 4, 100, 0xFFFF, 0xFFFFFFFF}}});
    for (const Segment& s : JpegSegments(thumbnail)) {
        if (s.marker != 0xC0) continue;
        c.Fields("jpg", "camera", b,
                 {{"thumb-height", kThumbnail + s.at + 5, 2, {0, 1, 450, 0xFFFF}, true},
                  {"thumb-width", kThumbnail + s.at + 7, 2, {0, 1, 600, 0xFFFF}, true}});
    }
    c.Flips("jpg", "camera", b, 6, 1 + static_cast<int>(c.Next() % 4), kThumbnail, kThumbnail + thumbnail.size());
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// Metafiles: records as the recorders wrote them

struct Record {
    size_t at;
    size_t size;
    uint32_t type;
};

constexpr size_t kWmfHeader = 18;

std::vector<Record> WmfRecords(const Bytes& b, size_t start) {
    std::vector<Record> r;
    size_t at = start + kWmfHeader;
    while (at + 6 <= b.size()) {
        const size_t size = static_cast<size_t>(Get32(b, at)) * 2;
        const uint32_t fn = Get16(b, at + 4);
        if (size < 6 || at + size > b.size()) break;
        r.push_back({at, size, fn});
        at += size;
        if (fn == 0) break;
    }
    return r;
}

std::vector<Record> EmfRecords(const Bytes& b) {
    std::vector<Record> r;
    size_t at = 0;
    while (at + 8 <= b.size()) {
        const uint32_t type = Get32(b, at);
        const size_t size = Get32(b, at + 4);
        if (size < 8 || at + size > b.size()) break;
        r.push_back({at, size, type});
        at += size;
        if (type == 14) break;
    }
    return r;
}

std::string WmfName(uint32_t fn) {
    static const std::map<uint32_t, std::string> names = {
        {0x0000, "eof"},       {0x012D, "selobj"},     {0x01F0, "delobj"},      {0x02FA, "pen"},
        {0x02FC, "brush"},     {0x02FB, "font"},       {0x0142, "dibbrush"},    {0x06FF, "region"},
        {0x0228, "fillrgn"},   {0x0324, "polygon"},    {0x0325, "polyline"},    {0x0538, "polypoly"},
        {0x041B, "rect"},      {0x0418, "ellipse"},    {0x061C, "roundrect"},   {0x081A, "pie"},
        {0x0521, "textout"},   {0x0A32, "exttext"},    {0x0F43, "stretchdib"},  {0x0B41, "dibstretchblt"},
        {0x020B, "winorg"},    {0x020C, "winext"},     {0x0209, "textcolor"},   {0x0102, "bkmode"},
        {0x0201, "bkcolor"},   {0x012E, "textalign"},  {0x0104, "rop2"},        {0x0107, "stretchmode"},
        {0x0106, "polyfill"},  {0x0103, "mapmode"},    {0x0127, "restoredc"},   {0x001E, "savedc"}};
    const auto it = names.find(fn);
    return it != names.end() ? it->second : "fn" + Hex(fn);
}

std::string EmfName(uint32_t type) {
    static const std::map<uint32_t, std::string> names = {
        {1, "header"},       {14, "eof"},          {37, "selobj"},       {40, "delobj"},
        {38, "pen"},         {95, "extpen"},       {39, "brush"},        {94, "dibbrush"},
        {82, "font"},        {86, "polygon16"},    {87, "polyline16"},   {91, "polypoly16"},
        {3, "polygon"},      {4, "polyline"},      {8, "polypoly"},      {43, "rect"},
        {42, "ellipse"},     {44, "roundrect"},    {47, "pie"},          {84, "exttextw"},
        {83, "exttexta"},    {81, "stretchdib"},   {71, "fillrgn"},      {24, "textcolor"},
        {18, "bkmode"},      {9, "winext"},        {10, "winorg"},       {70, "comment"},
        {22, "textalign"},   {21, "stretchmode"},  {19, "polyfill"},     {20, "rop2"},
        {17, "mapmode"},     {25, "bkcolor"},      {33, "savedc"},       {34, "restoredc"},
        {75, "extselclip"},  {80, "bitblt"},       {76, "bitblt"},       {77, "stretchblt"}};
    const auto it = names.find(type);
    return it != names.end() ? it->second : "t" + Dec(type);
}

// The records as a readable list, for a seed's manifest line.
template <class NameOf>
std::string RecordList(const std::vector<Record>& records, NameOf name) {
    std::string s;
    for (size_t i = 0; i < records.size(); ++i)
    {
        if (i) s += ' ';
        s += Dec(i);
        s += ':';
        s += name(records[i].type);
        s += "@0x";
        s += Hex(records[i].at);
    }
    return s;
}

// A WMF of the header and `records`, with the header's size and largest record made to fit.
Bytes WmfOf(const Bytes& header, const std::vector<Bytes>& records) {
    Bytes b = header;
    size_t largest = 0;
    for (const Bytes& r : records) {
        Append(b, r);
        largest = std::max(largest, r.size() / 2);
    }
    SetField(b, 6, 4, static_cast<uint32_t>(b.size() / 2));
    SetField(b, 12, 4, static_cast<uint32_t>(largest));
    return b;
}

// An EMF of `records` (the header first), the header's byte and record counts made to fit.
Bytes EmfOf(const std::vector<Bytes>& records) {
    Bytes b;
    for (const Bytes& r : records) Append(b, r);
    SetField(b, 48, 4, static_cast<uint32_t>(b.size()));
    SetField(b, 52, 4, static_cast<uint32_t>(records.size()));
    return b;
}

std::vector<Bytes> Pieces(const Bytes& b, const std::vector<Record>& records) {
    std::vector<Bytes> out;
    for (const Record& r : records) out.push_back(Slice(b, r.at, r.at + r.size));
    return out;
}

void Wmfs(Corpus& c) {
    const Bytes w = RecordWmfBytes([](HDC dc) {
        SetWindowOrgEx(dc, 0, 0, nullptr);
        SetWindowExtEx(dc, 200, 200, nullptr);
        DrawScene(dc);
    });
    const std::vector<Record> recs = WmfRecords(w, 0);
    if (recs.empty()) return;
    c.Seed("wmf", "scene", w, "plain WMF recorded by GDI; records " + RecordList(recs, WmfName));

    // The first record of each function, by name.
    std::map<std::string, Record> first;
    std::map<std::string, size_t> index;
    for (size_t i = 0; i < recs.size(); ++i) {
        const std::string n = WmfName(recs[i].type);
        if (!first.count(n)) {
            first[n] = recs[i];
            index[n] = i;
        }
    }
    auto fields = [&](const std::string& rec, std::vector<Field> fs) {
        const auto it = first.find(rec);
        if (it == first.end()) return;
        const std::string tag = "r" + Dec(index[rec]) + rec;
        for (Field& f : fs) {
            f.name = tag + "-" + f.name;
            f.at += it->second.at;
        }
        c.Fields("wmf", "scene", w, fs);
    };

    // Header.
    c.Fields("wmf", "scene", w,
             {{"mtType", 0, 2, {0, 2, 0xFFFF}}, {"mtHeaderSize", 2, 2, {0, 1, 0xFFFF, 0x8000}},
              {"mtVersion", 4, 2, {0, 0xFFFF}}, {"mtSize", 6, 4}, {"mtNoObjects", 10, 2, {0, 1, 0xFFFF, 0x8000}},
              {"mtMaxRecord", 12, 4}, {"mtNoParameters", 16, 2, {0xFFFF}}});

    // Record sizes: in words, with the header's 3 words.
    const std::vector<uint32_t> sizes = {0, 1, 2, 3, 0xFFFF, 0x8000, 0x7FFFFFFF, 0xFFFFFFFF};
    for (const char* r : {"selobj", "polygon", "polypoly", "exttext", "stretchdib", "region", "dibbrush", "font", "eof"})
        fields(r, {{"size", 0, 4, sizes}});
    for (const char* r : {"pen", "brush", "delobj", "polyline", "rect", "roundrect", "pie", "fillrgn", "textcolor", "winext"})
        fields(r, {{"size", 0, 4, {0, 3, 0xFFFF, 0xFFFFFFFF}}});
    fields("selobj", {{"fn", 4, 2, {0xFFFF, 0x0324}}});

    // Object indices.
    fields("selobj", {{"index", 6, 2, {0xFFFF, 0x8000, 0x7FFF, 100, 6}}});
    fields("delobj", {{"index", 6, 2, {0xFFFF, 0x8000, 0x7FFF, 100}}});
    fields("fillrgn", {{"region", 6, 2, {0xFFFF, 0x8000, 100}}, {"brush", 8, 2, {0xFFFF, 0x8000, 100}}});

    // Point, polygon and character counts.
    fields("polygon", {{"count", 6, 2}});
    fields("polyline", {{"count", 6, 2, {0, 0xFFFF, 0x8000}}});
    fields("polypoly", {{"npolys", 6, 2}, {"count0", 8, 2, {0, 0xFFFF, 0x8000, 0x7FFF}}});
    fields("exttext", {{"count", 10, 2, {0, 0xFFFF, 0x8000, 0x7FFF}}, {"options", 12, 2, {0, 0xFFFF}}});
    fields("textout", {{"count", 6, 2, {0xFFFF, 0x8000, 0x7FFF}}});

    // Bitmaps inside records: StretchDIB's parameters and header, the pattern brush's header.
    fields("stretchdib", {{"srcH", 12, 2, {0x7FFF, 0x8000}}, {"srcW", 14, 2, {0x7FFF, 0x8000}},
                          {"usage", 10, 2, {2, 0xFFFF}},
                          {"biSize", 28, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF, 12}},
                          {"biWidth", 32, 4, {0x7FFFFFFF, 0xFFFFFFFF, 0x8000}},
                          {"biHeight", 36, 4, {0x7FFFFFFF, 0x80000000, 0x8000}},
                          {"biBitCount", 42, 2, {0, 0xFFFF, 3}},
                          {"biCompression", 44, 4, {1, 0xFFFF}}, {"biClrUsed", 60, 4, {0xFFFFFFFF, 0x7FFFFFFF}}});
    fields("dibbrush", {{"style", 6, 2, {0xFFFF, 3}}, {"usage", 8, 2, {0xFFFF}},
                        {"biSize", 10, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF}}, {"biWidth", 14, 4, {0x7FFFFFFF, 0xFFFFFFFF}},
                        {"biHeight", 18, 4, {0x7FFFFFFF, 0x80000000}}, {"biBitCount", 24, 2, {0, 0xFFFF}},
                        {"biClrUsed", 42, 4, {0xFFFFFFFF, 0x7FFFFFFF}}});

    // Regions: the object's sizes and scan counts.
    fields("region", {{"objectCount", 10, 4, {0xFFFFFFFF, 0x7FFFFFFF}}, {"regionSize", 14, 2, {0, 0xFFFF, 0x8000}},
                      {"scanCount", 16, 2, {0, 0xFFFF, 0x8000, 0x7FFF}}, {"maxScan", 18, 2, {0xFFFF, 0x8000}},
                      {"scan0count", 28, 2, {0xFFFF, 0x8000, 0x7FFF, 1}}});

    // Objects' own fields.
    fields("pen", {{"style", 6, 2, {0xFFFF}}, {"width", 8, 2, {0x7FFF, 0x8000}}});
    fields("brush", {{"style", 6, 2, {0xFFFF, 3, 5}}, {"hatch", 12, 2, {0xFFFF}}});
    fields("font", {{"height", 6, 2, {0x8000}}, {"escapement", 10, 2, {0x8000}}, {"charset", 29, 1, {0xFF}}});
    {
        const auto it = first.find("font");
        if (it != first.end()) {
            Bytes b = w;
            for (size_t i = it->second.at + 6 + 18; i < it->second.at + it->second.size; ++i) b[i] = 'A';
            c.Add("wmf", "field", "r" + Dec(index["font"]) + "font-face-unterminated", b,
                  "scene: font record's face name filled with 'A' to the record's end");
        }
    }

    // Broken structure.
    const Bytes header = Slice(w, 0, kWmfHeader);
    const std::vector<Bytes> pieces = Pieces(w, recs);
    auto withRecords = [&](const std::string& what, std::vector<Bytes> rs, const std::string& about,
                           const std::function<void(Bytes&)>& fix = {}) {
        Bytes b = WmfOf(header, rs);
        if (fix) fix(b);
        c.Add("wmf", "struct", what, b, "scene: " + about);
    };
    {
        Bytes pen = first.count("pen") ? pieces[index["pen"]] : Bytes{};
        if (!pen.empty()) {
            std::vector<Bytes> rs(3000, pen);
            rs.push_back(pieces.back());
            withRecords("pens3000-noobjects2", rs, "3000 CreatePenIndirect records, mtNoObjects 2",
                        [](Bytes& b) { SetField(b, 10, 2, 2); });
            std::vector<Bytes> all = pieces;
            all.insert(all.begin(), 3000, pen);
            withRecords("pens3000-then-scene", all, "3000 CreatePenIndirect records before the scene, mtNoObjects unchanged");
        }
    }
    for (const char* r : {"polygon", "selobj", "exttext", "stretchdib"}) {
        if (!first.count(r)) continue;
        std::vector<Bytes> rs = pieces;
        rs.insert(rs.begin() + static_cast<ptrdiff_t>(index[r]), 4999, pieces[index[r]]);
        withRecords(std::string(r) + "x5000", rs, std::string("record ") + Dec(index[r]) + " (" + r + ") repeated 5000 times");
    }
    for (const char* r : {"pen", "font", "region", "dibbrush", "brush"}) {
        if (!first.count(r)) continue;
        std::vector<Bytes> rs = pieces;
        rs.erase(rs.begin() + static_cast<ptrdiff_t>(index[r]));
        withRecords(std::string("no-") + r, rs, std::string("record ") + Dec(index[r]) + " (" + r + ") removed: later indices shift");
    }
    if (first.count("delobj")) {
        std::vector<Bytes> rs = pieces;
        const Bytes del = pieces[index["delobj"]];
        rs.insert(rs.end() - 1, {del, del, del});
        withRecords("delobj-again", rs, "the first DeleteObject repeated three times before EOF");
        std::vector<Bytes> early = pieces;
        early.insert(early.begin() + static_cast<ptrdiff_t>(index["selobj"]), del);
        withRecords("delete-before-select", early, "the first DeleteObject moved before the first SelectObject");
    }
    {
        std::vector<Bytes> rs = pieces;
        rs.pop_back();
        withRecords("no-eof", rs, "EOF record removed");
        std::vector<Bytes> e = pieces;
        e.insert(e.begin(), pieces.back());
        withRecords("eof-first", e, "an EOF record first, the scene after it");
        std::vector<Bytes> odd = pieces;
        Bytes unknown = {4, 0, 0, 0, 0xFF, 0xFF, 0xAA, 0xBB};
        odd.insert(odd.begin() + 1, unknown);
        withRecords("unknown-fn", odd, "a record of function 0xFFFF after the first");
    }

    // Cut at every record boundary, and inside the larger records.
    std::vector<Cut> cuts = {{0, "empty"}, {6, "inside the header"}, {17, "one short of the header"}, {kWmfHeader, "end of the header"}};
    for (size_t i = 0; i < recs.size(); ++i) {
        cuts.push_back({recs[i].at + recs[i].size, "after record " + Dec(i) + " " + WmfName(recs[i].type)});
        if (recs[i].size > 16)
            cuts.push_back({recs[i].at + recs[i].size / 2, "inside record " + Dec(i) + " " + WmfName(recs[i].type)});
    }
    c.Truncations("wmf", "scene", w, cuts);
    c.Flips("wmf", "scene", w, 10, 1, 0, std::min<size_t>(w.size(), 200));
    c.Flips("wmf", "scene", w, 10, 4, 0, w.size());

    // A placeable copy: the file as it is given to the loader.
    Bytes p;
    const uint16_t words[] = {0xCDD7, 0x9AC6, 0, 0, 0, 1440, 1440, 1440, 0, 0};
    uint16_t sum = 0;
    for (uint16_t v : words) {
        Put16(p, v);
        sum = static_cast<uint16_t>(sum ^ v);
    }
    Put16(p, sum);
    Append(p, w);
    c.Seed("wmf", "placeable", p, "the scene behind a placeable header, one inch square");
    c.Fields("wmf", "placeable", p,
             {{"left", 6, 2, {0x7FFF, 0x8000}}, {"right", 10, 2, {0, 0x8000, 0xFFFF, 0x7FFF}},
              {"bottom", 12, 2, {0, 0x8000, 0xFFFF, 0x7FFF}}, {"inch", 14, 2, {0, 1, 0xFFFF}},
              {"checksum", 20, 2, {0}}, {"mtHeaderSize", 22 + 2, 2, {0, 0xFFFF}},
              {"mtSize", 22 + 6, 4, {0, 0xFFFFFFFF}}});
    c.Truncations("wmf", "placeable", p, {{10, "inside the placeable header"}, {22, "end of the placeable header"}, {30, "inside the WMF header"}});
    c.Add("wmf", "sparse", "scene-64mb", w, "scene followed by zeros to 64 MB (sparse)", 64ull << 20);
}

void Emfs(Corpus& c) {
    const Bytes e = RecordEmfBytes(DrawScene);
    const std::vector<Record> recs = EmfRecords(e);
    if (recs.empty()) return;
    c.Seed("emf", "scene", e, "EMF recorded by GDI; records " + RecordList(recs, EmfName));
    std::map<std::string, Record> first;
    std::map<std::string, size_t> index;
    for (size_t i = 0; i < recs.size(); ++i) {
        const std::string n = EmfName(recs[i].type);
        if (!first.count(n)) {
            first[n] = recs[i];
            index[n] = i;
        }
    }
    auto fields = [&](const std::string& rec, std::vector<Field> fs) {
        const auto it = first.find(rec);
        if (it == first.end()) return;
        const std::string tag = "r" + Dec(index[rec]) + rec;
        for (Field& f : fs) {
            f.name = tag + "-" + f.name;
            f.at += it->second.at;
        }
        c.Fields("emf", "scene", e, fs);
    };

    // Header.
    const size_t headerSize = recs[0].size;
    fields("header", {{"nSize", 4, 4, {0, 1, 8, 0xFFFFFFFF, 0x7FFFFFFF, 0xFFFF, 0x8000, 80, 88}},
                      {"frameRight", 32, 4, {0x7FFFFFFF, 0x80000000}}, {"frameBottom", 36, 4, {0, 0x80000000}},
                      {"boundsRight", 16, 4, {0x80000000}},
                      {"signature", 40, 4, {0}}, {"version", 44, 4, {0, 0xFFFFFFFF}},
                      {"nBytes", 48, 4}, {"nRecords", 52, 4}, {"nHandles", 56, 2, {0, 1, 0xFFFF, 0x8000}},
                      {"nDescription", 60, 4}, {"offDescription", 64, 4},
                      {"nPalEntries", 68, 4, {0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF}},
                      {"deviceW", 72, 4, {0, 0xFFFFFFFF}}, {"millimetersW", 80, 4, {0, 0xFFFFFFFF}}});
    if (headerSize >= 100)
        fields("header", {{"cbPixelFormat", 88, 4, {0xFFFFFFFF, 0x7FFFFFFF}}, {"offPixelFormat", 92, 4, {0xFFFFFFFF, 0x7FFFFFFF, 1}}});

    const std::vector<uint32_t> sizes = {0, 1, 4, 8, 0xFFFF, 0x8000, 0x7FFFFFFF, 0xFFFFFFFF};
    for (const char* r : {"pen", "brush", "dibbrush", "font", "selobj", "delobj", "polygon16", "polypoly16",
                          "exttextw", "stretchdib", "fillrgn", "eof"})
        fields(r, {{"nSize", 4, 4, sizes}});
    for (const char* r : {"polyline16", "rect", "roundrect", "pie", "textcolor", "ellipse"})
        fields(r, {{"nSize", 4, 4, {0, 4, 0xFFFFFFFF}}});
    fields("selobj", {{"type", 0, 4, {0, 0xFFFFFFFF, 86}}});

    // Object indices; stock objects have the top bit.
    const std::vector<uint32_t> handles = {0, 0xFFFFFFFF, 0x7FFFFFFF, 0xFFFF, 0x8000, 200};
    fields("selobj", {{"ih", 8, 4, {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0xFFFF, 0x8000, 200, 0x800000FF, 0x80000000}}});
    fields("delobj", {{"ih", 8, 4, handles}});
    fields("pen", {{"ih", 8, 4, handles}, {"style", 12, 4, {0xFFFFFFFF}}, {"width", 16, 4, {0x7FFFFFFF}}});
    fields("brush", {{"ih", 8, 4, handles}, {"style", 12, 4, {0xFFFFFFFF, 3, 5}}, {"hatch", 20, 4, {0xFFFFFFFF}}});
    fields("font", {{"ih", 8, 4, handles}, {"height", 12, 4, {0x80000000}}});
    fields("dibbrush", {{"ih", 8, 4, {0, 0xFFFFFFFF, 200}}, {"usage", 12, 4, {0xFFFFFFFF, 2}},
                        {"offBmi", 16, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF, 0x8000}}, {"cbBmi", 20, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF, 0x8000}},
                        {"offBits", 24, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF, 0x8000}}, {"cbBits", 28, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF, 0x8000}}});
    {
        const auto it = first.find("font");
        if (it != first.end()) {
            Bytes b = e;
            for (size_t i = it->second.at + 40; i + 1 < it->second.at + it->second.size; i += 2) {
                b[i] = 'A';
                b[i + 1] = 0;
            }
            c.Add("emf", "field", "r" + Dec(index["font"]) + "font-face-unterminated", b,
                  "scene: font record's face name filled with 'A' to the record's end");
        }
    }

    // Point, polygon and character counts.
    fields("polygon16", {{"cpts", 24, 4}});
    fields("polyline16", {{"cpts", 24, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF}}});
    fields("polypoly16", {{"nPolys", 24, 4}, {"cpts", 28, 4}, {"count0", 32, 4}});
    fields("exttextw", {{"nChars", 44, 4}, {"offString", 48, 4}, {"offDx", 72, 4},
                        {"options", 52, 4, {0xFFFFFFFF, 0x2000}}, {"graphicsMode", 24, 4, {0xFFFFFFFF, 0}}});

    // Bitmaps inside records.
    uint32_t bmi = 0;
    if (first.count("stretchdib")) bmi = Get32(e, first["stretchdib"].at + 48);
    fields("stretchdib", {{"offBmiSrc", 48, 4}, {"cbBmiSrc", 52, 4}, {"offBitsSrc", 56, 4}, {"cbBitsSrc", 60, 4},
                          {"cxSrc", 40, 4, {0x7FFFFFFF, 0xFFFFFFFF}}, {"cySrc", 44, 4, {0x7FFFFFFF, 0xFFFFFFFF}},
                          {"usage", 64, 4, {2, 0xFFFFFFFF}}});
    if (bmi && bmi < 0x1000)
        fields("stretchdib", {{"biSize", bmi, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF, 12}},
                              {"biWidth", bmi + 4, 4, {0x7FFFFFFF, 0xFFFFFFFF, 0x8000}},
                              {"biHeight", bmi + 8, 4, {0x7FFFFFFF, 0x80000000, 0x8000}},
                              {"biBitCount", bmi + 14, 2, {0, 0xFFFF, 3}},
                              {"biCompression", bmi + 16, 4, {1, 0xFFFF}},
                              {"biClrUsed", bmi + 32, 4, {0xFFFFFFFF, 0x7FFFFFFF}}});

    // Regions.
    fields("fillrgn", {{"cbRgnData", 24, 4}, {"ihBrush", 28, 4, {0xFFFFFFFF, 200}},
                       {"rdhSize", 32, 4, {0, 0xFFFFFFFF}}, {"nCount", 40, 4},
                       {"nRgnSize", 44, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF, 0x8000}}});
    // The end record's palette.
    if (first.count("eof")) {
        const Record eof = first["eof"];
        fields("eof", {{"nPalEntries", 8, 4, {0xFFFFFFFF, 0x7FFFFFFF, 0xFFFF}},
                       {"offPalEntries", 12, 4, {0xFFFFFFFF, 0x7FFFFFFF, 0}},
                       {"nSizeLast", eof.size - 4, 4, {0, 0xFFFFFFFF}}});
    }

    // Broken structure; the header's counts are kept right unless said.
    const std::vector<Bytes> pieces = Pieces(e, recs);
    auto withRecords = [&](const std::string& what, const std::vector<Bytes>& rs, const std::string& about,
                           bool fixHeader = true) {
        Bytes b;
        if (fixHeader) {
            b = EmfOf(rs);
        } else {
            for (const Bytes& r : rs) Append(b, r);
        }
        c.Add("emf", "struct", what, b, "scene: " + about);
    };
    for (const char* r : {"polygon16", "selobj", "exttextw", "stretchdib", "fillrgn"}) {
        if (!first.count(r)) continue;
        std::vector<Bytes> rs = pieces;
        rs.insert(rs.begin() + static_cast<ptrdiff_t>(index[r]), 4999, pieces[index[r]]);
        withRecords(std::string(r) + "x5000", rs,
                    std::string("record ") + Dec(index[r]) + " (" + r + ") repeated 5000 times, header counts updated");
    }
    if (first.count("polygon16")) {
        std::vector<Bytes> rs = pieces;
        rs.insert(rs.begin() + static_cast<ptrdiff_t>(index["polygon16"]), 4999, pieces[index["polygon16"]]);
        withRecords("polygon16x5000-stale-header", rs, "polygon16 repeated 5000 times, header's nBytes and nRecords as recorded", false);
    }
    if (first.count("pen")) {
        std::vector<Bytes> rs = pieces;
        rs.insert(rs.begin() + 1, 5000, pieces[index["pen"]]);
        withRecords("pen-same-slot-x5000", rs, "the first CreatePen repeated 5000 times into the same handle slot");
    }
    for (const char* r : {"pen", "font", "brush", "dibbrush"}) {
        if (!first.count(r)) continue;
        std::vector<Bytes> rs = pieces;
        rs.erase(rs.begin() + static_cast<ptrdiff_t>(index[r]));
        withRecords(std::string("no-") + r, rs, std::string("record ") + Dec(index[r]) + " (" + r + ") removed: its handle's selects find nothing");
    }
    {
        std::vector<Bytes> rs = pieces;
        rs.pop_back();
        withRecords("no-eof", rs, "EOF record removed");
        withRecords("header-only", {pieces[0]}, "the header alone", true);
        withRecords("header-eof", {pieces[0], pieces.back()}, "the header and EOF");
        std::vector<Bytes> two = pieces;
        two.insert(two.begin() + 1, pieces[0]);
        withRecords("header-twice", two, "the header record repeated as the second record");
        std::vector<Bytes> after = pieces;
        after.insert(after.begin() + 1, pieces.back());
        withRecords("eof-second", after, "EOF as the second record, the scene after it");
        Bytes h1 = EmfOf(pieces);
        SetField(h1, 56, 2, 1);
        c.Add("emf", "struct", "nhandles1", h1, "scene: nHandles 1 with every object created");
        // A comment record with a payload that claims more than it holds.
        Bytes comment;
        Put32(comment, 70);
        Put32(comment, 40);
        Put32(comment, 0xFFFFFFF0);
        Put32(comment, 0x2B464D45);  // "EMF+"
        for (uint32_t v : {0x4001u, 0xFFFFFFFFu, 0x7FFFFFF0u, 0u, 0u, 0u}) Put32(comment, v);
        std::vector<Bytes> withComment = pieces;
        withComment.insert(withComment.begin() + 1, comment);
        withRecords("comment-huge", withComment, "a comment record claiming 0xfffffff0 data bytes, EMF+ header inside");
        SetField(comment, 8, 4, 24);
        withComment[1] = comment;
        withRecords("comment-emfplus-garbage", withComment, "a comment record with an EMF+ record of size 0xffffffff");
    }

    std::vector<Cut> cuts = {{0, "empty"}, {8, "after the header's type and size"}, {40, "before the signature"},
                             {88, "inside the header"}};
    for (size_t i = 0; i < recs.size(); ++i) {
        cuts.push_back({recs[i].at + recs[i].size, "after record " + Dec(i) + " " + EmfName(recs[i].type)});
        if (recs[i].size > 16)
            cuts.push_back({recs[i].at + recs[i].size / 2, "inside record " + Dec(i) + " " + EmfName(recs[i].type)});
    }
    c.Truncations("emf", "scene", e, cuts);
    c.Flips("emf", "scene", e, 10, 1, 0, headerSize);
    c.Flips("emf", "scene", e, 10, 4, headerSize, e.size());
    c.Add("emf", "sparse", "scene-64mb", e, "scene followed by zeros to 64 MB (sparse)", 64ull << 20);
    {
        Bytes b = e;
        SetField(b, 48, 4, 64u << 20);
        c.Add("emf", "sparse", "scene-nbytes-64mb", b, "scene with nBytes 64 MB, file zero-filled to 64 MB (sparse)", 64ull << 20);
    }
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// Icons and cursors

void Icons(Corpus& c) {
    const Bytes three = IconFile({{16, RGB(255, 0, 0)}, {32, RGB(0, 255, 0)}, {48, RGB(0, 0, 255)}});
    const size_t img0 = Get32(three, 18), img1 = Get32(three, 34), img2 = Get32(three, 50);
    const Bytes pal8 = IconFromBodies({Pal8Icon()});
    const Bytes png = IconFromBodies({{32, 32, 32, Png32()}});
    c.Seed("ico", "three", three, "16, 32 and 48 pixels, 32 bits");
    c.Seed("ico", "pal8", pal8, "16 pixels, 8 bits with a 256-colour table");
    c.Seed("ico", "png", png, "32 pixels stored as PNG");

    c.Fields("ico", "three", three,
             {{"reserved", 0, 2, {1, 0xFFFF}}, {"type", 2, 2, {0, 3, 0xFFFF}},
              {"count", 4, 2, {0, 1, 0xFFFF, 0x8000, 0x7FFF, 4}},
              {"e0width", 6, 1, {0, 0xFF, 0x80}}, {"e0height", 7, 1, {0, 0xFF}}, {"e0colours", 8, 1, {0xFF}},
              {"e0planes", 10, 2, {0xFFFF}}, {"e0bits", 12, 2, {0, 0xFFFF, 3}},
              {"e0bytes", 14, 4}, {"e0offset", 18, 4, {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0xFFFF, 0x8000, 6,
                                                      static_cast<uint32_t>(three.size() - 1)}},
              {"e2bytes", 46, 4}, {"e2offset", 50, 4},
              {"biSize", img0, 4, {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0xFFFF, 0x8000, 12, 124}},
              {"biWidth", img0 + 4, 4}, {"biHeight", img0 + 8, 4},
              {"biPlanes", img0 + 12, 2, {0, 2, 0x4001, 0xFFFF}},
              {"biBitCount", img0 + 14, 2, {0, 3, 0xFFFF, 0x8000, 64}},
              {"biCompression", img0 + 16, 4, {1, 2, 3, 4, 0xFFFF}},
              {"biSizeImage", img0 + 20, 4, {0xFFFFFFFF, 0x7FFFFFFF}},
              {"i1biHeight", img1 + 8, 4, {0x7FFFFFFF, 0x80000000}}, {"i2biBitCount", img2 + 14, 2, {1, 0xFFFF}}});
    const size_t p0 = 22 + 40;
    c.Fields("ico", "pal8", pal8,
             {{"biClrUsed", p0 - 40 + 32, 4}, {"biBitCount", p0 - 40 + 14, 2, {1, 4, 0xFFFF}},
              {"biHeight", p0 - 40 + 8, 4, {16, 0xFFFFFFFF}}});
    // PNG header fields, with the chunk's CRC made right again so a decoder reads on.
    {
        const size_t ihdr = 22 + 8;  // the IHDR chunk's length field
        struct PngField {
            std::string name;
            size_t at;
            int width;
            std::vector<uint32_t> values;
        };
        for (const PngField& f : {PngField{"width", ihdr + 8, 4, {0, 0x7FFFFFFF, 0xFFFFFFFF, 0x8000}},
                                  PngField{"height", ihdr + 12, 4, {0, 0x7FFFFFFF, 0xFFFFFFFF, 0x8000}},
                                  PngField{"depth", ihdr + 16, 1, {0, 3, 0xFF}},
                                  PngField{"colourType", ihdr + 17, 1, {0xFF, 1}},
                                  PngField{"interlace", ihdr + 20, 1, {1, 0xFF}}}) {
            for (uint32_t v : f.values) {
                Bytes b = png;
                SetField(b, f.at, f.width, v, true);
                const uint32_t crc = Crc32(b.data() + ihdr + 4, 17);
                SetField(b, ihdr + 21, 4, crc, true);
                c.Add("ico", "field", "png-ihdr" + f.name + "-" + ValueName(v, f.width), b,
                      "png: IHDR " + f.name + " @0x" + Hex(f.at) + " -> 0x" + Hex(v) + ", CRC fixed");
            }
        }
        c.Fields("ico", "png", png,
                 {{"ihdrLength", ihdr, 4, {0, 0xFFFFFFFF}, true}, {"idatLength", ihdr + 25, 4, {}, true},
                  {"e0bytes", 14, 4, {8, 0xFFFFFFFF}}});
        c.Truncations("ico", "png", png, {{22 + 8, "after the PNG signature"}, {22 + 33, "after IHDR"},
                                          {22 + 60, "inside IDAT"}, {png.size() - 12, "before IEND"}});
        c.Flips("ico", "png", png, 6, 1, 22, png.size());
    }

    // Claims the file does not hold, and directories that do not add up.
    {
        Bytes big = InfoHeader(4096, 8192, 32, 0, 0, 0);
        big.resize(big.size() + 1024, 0x80);
        c.Add("ico", "huge", "4096x4096x32-in-1k", IconFromBodies({{0, 0, 32, big}}),
              "one image whose header claims 4096x4096x32 over 1 KB of bytes");
        Bytes dir;
        Put16(dir, 0);
        Put16(dir, 1);
        Put16(dir, 1000);
        const Bytes body = Slice(three, img0, img1);
        for (int i = 0; i < 1000; ++i) {
            dir.insert(dir.end(), {16, 16, 0, 0});
            Put16(dir, 1);
            Put16(dir, 32);
            Put32(dir, static_cast<uint32_t>(body.size()));
            Put32(dir, 6 + 16 * 1000);
        }
        Append(dir, body);
        c.Add("ico", "struct", "1000-entries-one-image", dir, "1000 directory entries, all on the same 16-pixel image");
        Bytes over = three;
        SetField(over, 18, 4, 6);
        SetField(over, 14, 4, 48);
        c.Add("ico", "struct", "image-in-directory", over, "three: entry 0's image is the directory itself (offset 6, 48 bytes)");
        Bytes same = three;
        SetField(same, 34, 4, static_cast<uint32_t>(img0));
        SetField(same, 50, 4, static_cast<uint32_t>(img0));
        c.Add("ico", "struct", "entries-share-image", same, "three: all entries at image 0's offset, sizes as before");
        Bytes bm = IconFromBodies({{20, 10, 8, Bitmap8(20, 10, kPalette, [](int, int) -> uint8_t { return 1; })}});
        c.Add("ico", "struct", "bmp-file-inside", bm, "the image is a whole BMP file, 'BM' and all");
        Bytes part;
        Put16(part, 0);
        Put16(part, 1);
        Put16(part, 0x7FFF);
        Append(part, Slice(three, 6, three.size()));
        c.Add("ico", "huge", "count7fff-three-entries", part, "count 32767 with three's 3 entries and images");
    }
    c.Truncations("ico", "three", three,
                  {{0, "empty"}, {2, "after reserved"}, {4, "after type"}, {5, "inside count"}, {6, "end of the header"},
                   {12, "inside entry 0"}, {22, "end of entry 0"}, {38, "end of entry 1"}, {54, "end of the directory"},
                   {img0 + 20, "inside image 0's header"}, {img0 + 40, "end of image 0's header"},
                   {img0 + 600, "inside image 0's pixels"}, {img1, "end of image 0"},
                   {img1 + (img2 - img1) / 2, "middle of image 1"}, {three.size() - 1, "last byte"}});
    c.Flips("ico", "three", three, 10, 1, 0, 100);
    c.Flips("ico", "three", three, 6, 4, 0, three.size());
    {
        Bytes distant;
        Put16(distant, 0);
        Put16(distant, 1);
        Put16(distant, 1);
        distant.insert(distant.end(), {32, 32, 0, 0});
        Put16(distant, 1);
        Put16(distant, 32);
        Put32(distant, 4264);
        Put32(distant, 0x3F00000);
        c.Add("ico", "sparse", "image-at-63mb", distant, "one entry whose image lies at 63 MB in a 64 MB file of zeros (sparse)", 64ull << 20);
        c.Add("ico", "sparse", "three-64mb", three, "three followed by zeros to 64 MB (sparse)", 64ull << 20);
    }

    const Bytes one = IconFile({{32, RGB(255, 255, 0)}}, 2);
    const Bytes two = IconFile({{16, RGB(255, 0, 0)}, {32, RGB(0, 0, 255)}}, 2);
    c.Seed("cur", "one", one, "32 pixels, 32 bits");
    c.Seed("cur", "two", two, "16 and 32 pixels");
    c.Fields("cur", "one", one,
             {{"type", 2, 2, {0, 1, 0xFFFF}}, {"count", 4, 2, {0, 0xFFFF, 0x8000}},
              {"hotX", 10, 2, {0xFFFF, 0x8000}}, {"hotY", 12, 2, {0xFFFF, 0x8000}},
              {"e0bytes", 14, 4}, {"e0offset", 18, 4},
              {"biSize", 22, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF}}, {"biHeight", 30, 4, {0x7FFFFFFF, 0x80000000, 32}},
              {"biBitCount", 36, 2, {0, 0xFFFF}}});
    c.Fields("cur", "two", two, {{"e1offset", 34, 4, {0xFFFFFFFF, 0x7FFFFFFF, 6}}, {"e1bytes", 30, 4, {0xFFFFFFFF, 0}}});
    c.Truncations("cur", "one", one, {{6, "end of the header"}, {22, "end of the directory"}, {40, "inside the image header"},
                                      {62, "end of the image header"}, {one.size() / 2, "middle of the image"}, {one.size() - 1, "last byte"}});
    c.Flips("cur", "one", one, 4, 1, 0, 62);
    c.Flips("cur", "two", two, 2, 4, 0, two.size());
}

// ---------------------------------------------------------------------------------------------
// Animated cursors

struct AniChunks {
    size_t list = 0, anih = 0, rate = 0, seq = 0, info = 0, fram = 0;
    std::vector<size_t> icons;
};

AniChunks FindAniChunks(const Bytes& b) {
    AniChunks r;
    size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::string id(b.begin() + static_cast<ptrdiff_t>(at), b.begin() + static_cast<ptrdiff_t>(at + 4));
        const size_t size = Get32(b, at + 4);
        if (id == "anih") r.anih = at;
        if (id == "rate") r.rate = at;
        if (id == "seq ") r.seq = at;
        if (id == "LIST" && at + 12 <= b.size()) {
            const std::string type(b.begin() + static_cast<ptrdiff_t>(at + 8), b.begin() + static_cast<ptrdiff_t>(at + 12));
            if (type == "INFO") r.info = at;
            if (type == "fram") {
                r.fram = at;
                for (size_t i = at + 12; i + 8 <= std::min(b.size(), at + 8 + size);) {
                    r.icons.push_back(i);
                    const size_t n = Get32(b, i + 4);
                    i += 8 + n + (n & 1);
                }
            }
        }
        at += 8 + size + (size & 1);
    }
    return r;
}

void Anis(Corpus& c) {
    const Bytes four = AniFrom({});
    AniPlan sr;
    sr.frames = 3;
    sr.steps = 6;
    sr.rates = {5, 10, 15, 20, 25, 30};
    sr.sequence = {0, 1, 2, 2, 1, 0};
    const Bytes seqrate = AniFrom(sr);
    AniPlan in;
    in.info = true;
    in.frames = 2;
    in.steps = 2;
    const Bytes info = AniFrom(in);
    AniPlan sg;
    sg.frames = 1;
    sg.steps = 4;
    const Bytes single = AniFrom(sg);
    c.Seed("ani", "four", four, "4 frames of 32 pixels, 8 steps");
    c.Seed("ani", "seqrate", seqrate, "3 frames, 6 steps with rate and seq chunks");
    c.Seed("ani", "info", info, "2 frames behind an INFO list");
    c.Seed("ani", "single", single, "1 frame, 4 steps");

    const AniChunks f = FindAniChunks(four);
    if (!f.anih || f.icons.size() < 4) return;
    const size_t h = f.anih + 8;
    c.Fields("ani", "four", four,
             {{"riffSize", 4, 4}, {"anihSize", f.anih + 4, 4}, {"cbSize", h, 4, {0, 0xFFFFFFFF}},
              {"nFrames", h + 4, 4}, {"nSteps", h + 8, 4}, {"width", h + 12, 4, {0x7FFFFFFF}},
              {"height", h + 16, 4, {0x7FFFFFFF}}, {"bitCount", h + 20, 4, {0xFFFFFFFF}},
              {"planes", h + 24, 4, {0xFFFFFFFF}}, {"rate", h + 28, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF}},
              {"flags", h + 32, 4, {0, 2, 0xFFFFFFFF}}, {"listSize", f.fram + 4, 4},
              {"icon0Size", f.icons[0] + 4, 4}, {"icon3Size", f.icons[3] + 4, 4},
              {"icon0count", f.icons[0] + 8 + 4, 2, {0, 0xFFFF}}, {"icon0bytes", f.icons[0] + 8 + 14, 4},
              {"icon0offset", f.icons[0] + 8 + 18, 4}, {"icon0biSize", f.icons[0] + 8 + 22, 4, {0, 0xFFFFFFFF}},
              {"icon0biHeight", f.icons[0] + 8 + 30, 4, {0x7FFFFFFF}},
              {"icon0biPlanes", f.icons[0] + 8 + 34, 2, {0, 2, 0x4001, 0xFFFF}}});
    const AniChunks s = FindAniChunks(seqrate);
    if (s.rate && s.seq)
        c.Fields("ani", "seqrate", seqrate,
                 {{"rateSize", s.rate + 4, 4}, {"seqSize", s.seq + 4, 4},
                  {"seq0", s.seq + 8, 4, {0xFFFFFFFF, 0x7FFFFFFF, 3, 0x8000}},
                  {"rate0", s.rate + 8, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF}},
                  {"nSteps", s.anih + 16, 4, {5, 7, 0xFFFF}}});
    const AniChunks i = FindAniChunks(info);
    if (i.info) c.Fields("ani", "info", info, {{"infoSize", i.info + 4, 4}, {"inamSize", i.info + 16, 4, {0xFFFFFFFF, 0x7FFFFFF0}}});

    // Claims and structure.
    {
        Bytes b = four;
        SetField(b, h + 4, 4, 5000);
        c.Add("ani", "huge", "frames5000-of-4", b, "four: anih says 5000 frames, 4 present");
        AniPlan longer;
        longer.frames = 2;
        longer.steps = 8191;
        for (uint32_t k = 0; k < 8191; ++k) {
            longer.sequence.push_back(k & 1);
            longer.rates.push_back(1);
        }
        c.Add("ani", "huge", "steps8191", AniFrom(longer), "2 frames, 8191 steps with rate and seq chunks of 8191 entries");
        AniPlan many;
        many.frames = 2000;
        many.steps = 2000;
        many.frameSize = 16;
        c.Add("ani", "huge", "frames2000", AniFrom(many), "2000 frames of 16 pixels, 2000 steps");
    }
    auto chunkOf = [&](const Bytes& b, size_t at) { return Slice(b, at, at + 8 + Get32(b, at + 4)); };
    auto riff = [](const std::vector<Bytes>& chunks) {
        Bytes body;
        for (const Bytes& ch : chunks) Append(body, ch);
        Bytes b;
        PutId(b, "RIFF");
        Put32(b, static_cast<uint32_t>(4 + body.size()));
        PutId(b, "ACON");
        Append(b, body);
        return b;
    };
    const Bytes anih = chunkOf(four, f.anih), fram = chunkOf(four, f.fram);
    c.Add("ani", "struct", "no-anih", riff({fram}), "four without its anih chunk");
    c.Add("ani", "struct", "no-fram", riff({anih}), "four without its frame list");
    c.Add("ani", "struct", "fram-first", riff({fram, anih}), "four with the frame list before anih");
    {
        Bytes second = anih;
        SetField(second, 12, 4, 0xFFFF);
        c.Add("ani", "struct", "anih-twice", riff({anih, second, fram}), "four with a second anih saying 65535 frames");
        Bytes odd;
        PutId(odd, "junk");
        Put32(odd, 3);
        odd.insert(odd.end(), {1, 2, 3});
        c.Add("ani", "struct", "odd-chunk-unpadded", riff({odd, anih, fram}), "an odd-sized chunk without its pad byte first");
        Bytes bmpFrames;
        PutId(bmpFrames, "LIST");
        Bytes list;
        PutId(list, "fram");
        for (int k = 0; k < 4; ++k) {
            const Bytes bm = Bitmap8(32, 32, kPalette, [](int, int) -> uint8_t { return 2; });
            PutId(list, "icon");
            Put32(list, static_cast<uint32_t>(bm.size()));
            Append(list, bm);
        }
        Put32(bmpFrames, static_cast<uint32_t>(list.size()));
        Append(bmpFrames, list);
        c.Add("ani", "struct", "bmp-frames", riff({anih, bmpFrames}), "four's anih with BMP files as its icon chunks");
        Bytes icoFrames = fram;
        for (size_t k = 12; k + 12 < icoFrames.size(); ++k)
            if (icoFrames[k] == 'i' && icoFrames[k + 1] == 'c' && icoFrames[k + 2] == 'o' && icoFrames[k + 3] == 'n')
                SetField(icoFrames, k + 8 + 2, 2, 1);
        c.Add("ani", "struct", "icon-type-frames", riff({anih, icoFrames}), "four with frames of type 1 (icons, not cursors)");
    }
    std::vector<Cut> cuts = {{4, "inside the RIFF header"}, {8, "before ACON"}, {12, "after ACON"},
                             {f.anih + 8, "after anih's header"}, {f.anih + 20, "inside anih"},
                             {f.anih + 44, "end of anih"}, {f.fram + 8, "after the LIST header"},
                             {f.fram + 12, "after fram"}, {four.size() - 1, "last byte"}};
    for (size_t k = 0; k < f.icons.size(); ++k) {
        cuts.push_back({f.icons[k], "before icon chunk " + Dec(k)});
        cuts.push_back({f.icons[k] + 8 + 30, "inside icon chunk " + Dec(k)});
    }
    c.Truncations("ani", "four", four, cuts);
    if (s.seq) c.Truncations("ani", "seqrate", seqrate, {{s.rate + 12, "inside rate"}, {s.seq + 10, "inside seq"}});
    c.Flips("ani", "four", four, 8, 1, 0, f.icons[0] + 80);
    c.Flips("ani", "four", four, 6, 4, 0, four.size());
    c.Add("ani", "sparse", "four-64mb", four, "four followed by zeros to 64 MB (sparse)", 64ull << 20);
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// Programs and libraries: the PE headers, the resource tree and the icons in it

struct PeLayout {
    bool ok = false;
    size_t lfanew = 0, opt = 0, optSize = 0, sections = 0, nsections = 0;
    size_t rsrcSection = 0;  // the section header holding the resources
    size_t root = 0;         // the resource root, in the file
    uint32_t rsrcRva = 0;
    struct Branch {           // one resource type's first resource, level by level
        size_t typeEntry = 0, nameDir = 0, nameEntry = 0, langDir = 0, langEntry = 0, dataEntry = 0;
        size_t data = 0, size = 0;
    } icon, group;
};

size_t RvaToFile(const Bytes& b, const PeLayout& pe, uint32_t rva) {
    for (size_t i = 0; i < pe.nsections; ++i) {
        const size_t s = pe.sections + 40 * i;
        const uint32_t va = Get32(b, s + 12), vsize = std::max(Get32(b, s + 8), Get32(b, s + 16));
        if (rva >= va && rva < va + vsize) return Get32(b, s + 20) + (rva - va);
    }
    return 0;
}

PeLayout ReadPe(const Bytes& b) {
    PeLayout pe;
    if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') return pe;
    pe.lfanew = Get32(b, 0x3C);
    if (pe.lfanew + 24 > b.size() || Get32(b, pe.lfanew) != 0x4550) return pe;
    pe.nsections = Get16(b, pe.lfanew + 6);
    pe.optSize = Get16(b, pe.lfanew + 20);
    pe.opt = pe.lfanew + 24;
    pe.sections = pe.opt + pe.optSize;
    if (Get16(b, pe.opt) != 0x10B || pe.sections + 40 * pe.nsections > b.size()) return pe;
    pe.rsrcRva = Get32(b, pe.opt + 96 + 16);
    for (size_t i = 0; i < pe.nsections; ++i) {
        const size_t s = pe.sections + 40 * i;
        const uint32_t va = Get32(b, s + 12), vsize = std::max(Get32(b, s + 8), Get32(b, s + 16));
        if (pe.rsrcRva >= va && pe.rsrcRva < va + vsize) pe.rsrcSection = s;
    }
    pe.root = RvaToFile(b, pe, pe.rsrcRva);
    if (!pe.rsrcSection || !pe.root || pe.root + 16 > b.size()) return pe;
    // The first entry of a directory, and where its offset leads (relative to the root).
    auto firstEntry = [&](size_t dir) { return dir + 16; };
    auto target = [&](size_t entry) { return pe.root + (Get32(b, entry + 4) & 0x7FFFFFFF); };
    const size_t types = Get16(b, pe.root + 12) + Get16(b, pe.root + 14);
    for (size_t k = 0; k < types; ++k) {
        const size_t e = pe.root + 16 + 8 * k;
        const uint32_t id = Get32(b, e);
        PeLayout::Branch* br = id == 3 ? &pe.icon : id == 14 ? &pe.group : nullptr;
        if (!br || !(Get32(b, e + 4) & 0x80000000)) continue;
        br->typeEntry = e;
        br->nameDir = target(e);
        br->nameEntry = firstEntry(br->nameDir);
        br->langDir = target(br->nameEntry);
        br->langEntry = firstEntry(br->langDir);
        br->dataEntry = target(br->langEntry);
        br->data = RvaToFile(b, pe, Get32(b, br->dataEntry));
        br->size = Get32(b, br->dataEntry + 4);
    }
    pe.ok = true;
    return pe;
}

// Programs go out under each of the names the preview takes them by, in turn.
class ProgramNames {
  public:
    explicit ProgramNames(Corpus& c) : c_(c) {}
    void Fields(const std::string& seed, const Bytes& b, const std::vector<Field>& fields) {
        Corpus one;
        one.Fields("pe", seed, b, fields);
        Take(one);
    }
    void Truncations(const std::string& seed, const Bytes& b, const std::vector<Cut>& cuts) {
        Corpus one;
        one.Truncations("pe", seed, b, cuts);
        Take(one);
    }
    void Flips(const std::string& seed, const Bytes& b, int n, int bits, size_t from, size_t to) {
        Corpus one(c_.Next());
        one.Flips("pe", seed, b, n, bits, from, to);
        Take(one);
    }
    void Add(const std::string& cls, const std::string& what, Bytes b, const std::string& detail,
             uint64_t extendTo = 0) {
        c_.Add(NextExt(), cls, what, std::move(b), detail, extendTo);
    }

  private:
    std::string NextExt() {
        static const char* const exts[] = {"exe", "dll", "cpl", "scr", "ocx"};
        return exts[n_++ % 5];
    }
    void Take(Corpus& one) {
        for (HostileFile& f : one.files) {
            // "pe-<class>-<what>-NNN.pe" back to its parts.
            const std::string n(f.name.begin(), f.name.end());
            const size_t from = 4 + f.mutation.size();
            const std::string what = n.substr(from, n.size() - from - 7);
            c_.Add(NextExt(), f.mutation, what, std::move(f.bytes), std::move(f.detail), f.extendTo);
        }
    }
    Corpus& c_;
    size_t n_ = 0;
};

void PeFields(ProgramNames& p, const std::string& seed, const Bytes& b, const PeLayout& pe) {
    const size_t lf = pe.lfanew, opt = pe.opt, s = pe.rsrcSection, r = pe.root;
    p.Fields(seed, b,
             {{"e_lfanew", 0x3C, 4}, {"signature", lf, 4, {0, 0x454E}}, {"machine", lf + 4, 2, {0, 0xFFFF, 0x8664}},
              {"nsections", lf + 6, 2, {0, 1, 0xFFFF, 0x8000}}, {"optsize", lf + 20, 2, {0, 1, 0xFFFF, 0x8000}},
              {"magic", opt, 2, {0x20B, 0, 0xFFFF}}, {"sectionAlign", opt + 32, 4, {0, 0xFFFFFFFF}},
              {"fileAlign", opt + 36, 4, {0, 0xFFFFFFFF}}, {"sizeOfImage", opt + 56, 4},
              {"sizeOfHeaders", opt + 60, 4}, {"nRvaAndSizes", opt + 92, 4},
              {"rsrcRva", opt + 96 + 16, 4}, {"rsrcSize", opt + 96 + 20, 4},
              {"rsrcVirtualSize", s + 8, 4}, {"rsrcVirtualAddress", s + 12, 4},
              {"rsrcSizeOfRawData", s + 16, 4}, {"rsrcPointerToRawData", s + 20, 4},
              {"rootNamed", r + 12, 2, {0xFFFF, 0x8000}}, {"rootIds", r + 14, 2, {0, 0xFFFF, 0x8000, 0x7FFF}}});
    const uint32_t rootLoop = 0x80000000;
    const std::pair<std::string, PeLayout::Branch> branches[] = {{"group", pe.group}, {"icon", pe.icon}};
    for (const auto& [name, br] : branches) {
        if (!br.typeEntry) continue;
        const bool g = name == "group";
        p.Fields(seed, b,
                 {{name + "TypeOffset", br.typeEntry + 4, 4,
                   g ? std::vector<uint32_t>{rootLoop, 0xFFFFFFFF, 0x7FFFFFFF, 0x8000FFFF, 0}
                     : std::vector<uint32_t>{rootLoop, 0xFFFFFFFF}},
                  {name + "NameIds", br.nameDir + 14, 2, {0xFFFF, 0x8000}},
                  {name + "NameOffset", br.nameEntry + 4, 4,
                   {static_cast<uint32_t>(rootLoop | (br.nameDir - r)), rootLoop, 0xFFFFFFFF}},
                  {name + "LangIds", br.langDir + 14, 2, {0xFFFF}},
                  {name + "LangOffset", br.langEntry + 4, 4, {static_cast<uint32_t>(rootLoop | (br.langDir - r)), 0x7FFFFFFF}},
                  {name + "DataRva", br.dataEntry, 4}, {name + "DataSize", br.dataEntry + 4, 4}});
    }
    if (const size_t gd = pe.group.data; gd && gd + 20 <= b.size())
        p.Fields(seed, b,
                 {{"grpReserved", gd, 2, {1}}, {"grpType", gd + 2, 2, {2, 0}},
                  {"grpCount", gd + 4, 2, {0, 1, 0xFFFF, 0x8000, 0x7FFF}}, {"grp0width", gd + 6, 1, {0}},
                  {"grp0bits", gd + 6 + 6, 2, {0xFFFF}}, {"grp0bytes", gd + 6 + 8, 4},
                  {"grp0id", gd + 6 + 12, 2, {0, 0xFFFF, 0x7FFF, 99}}});
    if (const size_t id = pe.icon.data; id && id + 40 <= b.size())
        p.Fields(seed, b,
                 {{"icoBiSize", id, 4, {0, 0xFFFFFFFF, 0x7FFFFFFF, 12}}, {"icoBiWidth", id + 4, 4, {0x7FFFFFFF, 0xFFFFFFFF, 0}},
                  {"icoBiHeight", id + 8, 4, {0x7FFFFFFF, 0xFFFFFFFF, 0, 1}}, {"icoBiBitCount", id + 14, 2, {0, 0xFFFF, 3}},
                  {"icoBiCompression", id + 16, 4, {1, 0xFFFF}}, {"icoBiClrUsed", id + 32, 4, {0xFFFFFFFF, 0x7FFFFFFF}}});
}

void Programs(Corpus& c, const HostileSources& src) {
    ProgramNames p(c);
    const Bytes three = ReadAll(src.fixtures / "three_icons.dll");
    const PeLayout pe = ReadPe(three);
    if (pe.ok) {
        for (int i = 0; i < 5; ++i) p.Add("seed", "three", three, "three: the test build's library of three icons, " + Dec(three.size()) + " bytes");
        PeFields(p, "three", three, pe);
        const size_t rsrcEnd = pe.root + Get32(three, pe.opt + 96 + 20);
        std::vector<Cut> cuts = {{0x40, "end of the DOS header"}, {pe.lfanew + 4, "after the PE signature"},
                                 {pe.opt, "end of the file header"}, {pe.opt + pe.optSize / 2, "inside the optional header"},
                                 {pe.sections + 40 * pe.nsections, "end of the section table"},
                                 {pe.root, "start of the resources"}, {pe.root + 16, "after the root directory's header"},
                                 {pe.group.nameDir, "at the group's name directory"},
                                 {pe.group.dataEntry + 8, "inside the group's data entry"},
                                 {pe.group.data, "start of the icon group"}, {pe.group.data + 6, "after the group's header"},
                                 {pe.icon.data, "start of the first icon"}, {pe.icon.data + 20, "inside the first icon's header"},
                                 {pe.icon.data + pe.icon.size / 2, "middle of the first icon"},
                                 {rsrcEnd, "end of the resources"}, {three.size() - 1, "last byte"}};
        p.Truncations("three", three, cuts);
        p.Flips("three", three, 10, 1, 0, pe.sections + 40 * pe.nsections);
        p.Flips("three", three, 10, 1, pe.root, rsrcEnd);
        p.Flips("three", three, 6, 8, pe.root, rsrcEnd);
        {
            Bytes b = three;
            const size_t e = pe.group.typeEntry;
            if (e) {
                SetField(b, pe.icon.typeEntry + 4, 4, Get32(b, e + 4));
                p.Add("struct", "three-icons-are-groups", b, "three: the icon type's directory is the group's");
            }
            Bytes z = three;
            std::fill(z.begin() + static_cast<ptrdiff_t>(pe.root), z.begin() + static_cast<ptrdiff_t>(std::min(rsrcEnd, z.size())), 0);
            p.Add("struct", "three-rsrc-zeroed", z, "three: the resource section's bytes all zero");
            Bytes mz = Slice(three, 0, 0x40);
            SetField(mz, 0x3C, 4, 0x1000);
            p.Add("struct", "mz-only", mz, "a DOS header alone whose e_lfanew points past the end");
            Bytes ff = three;
            for (size_t i = pe.root; i < std::min(rsrcEnd, ff.size()); ++i) ff[i] = 0xFF;
            p.Add("struct", "three-rsrc-ff", ff, "three: the resource section's bytes all 0xFF");
        }
        p.Add("sparse", "three-64mb", three, "three followed by zeros to 64 MB (sparse)", 64ull << 20);
        {
            Bytes b = three;
            SetField(b, pe.rsrcSection + 20, 4, 0x3F00000);
            p.Add("sparse", "three-rsrc-at-63mb", b, "three with its resource section at 63 MB of a 64 MB file of zeros (sparse)", 64ull << 20);
        }
    }

    // The larger programs, a few times each.
    const struct {
        std::string seed;
        fs::path path;
    } larger[] = {{"ocx", src.control}, {"exe", src.program}};
    for (const auto& l : larger) {
        const Bytes b = ReadAll(l.path);
        const PeLayout lp = ReadPe(b);
        if (!lp.ok) continue;
        p.Add("seed", l.seed, b, l.seed + ": " + l.path.filename().string() + ", " + Dec(b.size()) + " bytes");
        p.Fields(l.seed, b, {{"e_lfanew", 0x3C, 4, {0x7FFFFFFF}}, {"nsections", lp.lfanew + 6, 2, {0xFFFF}},
                             {"rsrcRva", lp.opt + 96 + 16, 4, {0xFFFFFFFF}}, {"rootIds", lp.root + 14, 2, {0x7FFF}}});
        p.Truncations(l.seed, b, {{lp.root, "start of the resources"}});
        if (l.seed == "ocx") p.Flips(l.seed, b, 2, 8, lp.root, lp.root + Get32(b, lp.opt + 96 + 20));
    }
}

// ---------------------------------------------------------------------------------------------
// Texts

Bytes Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), s.data(), n, nullptr, nullptr);
    return Bytes(s.begin(), s.end());
}

void Texts(Corpus& c) {
    std::wstring text;
    for (int i = 0; i < 50; ++i) text += L"日本語のテキスト " + std::to_wstring(i) + L"\r\n";
    const Bytes utf8 = Utf8(text);
    Bytes utf16 = {0xFF, 0xFE};
    for (wchar_t ch : text) Put16(utf16, ch);
    char sjis[8192];
    const int n = WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), sjis, sizeof sjis, nullptr, nullptr);
    const Bytes cp932(sjis, sjis + std::max(n, 0));
    c.Seed("txt", "utf8", utf8, "Japanese lines in UTF-8");
    c.Seed("txt", "utf16", utf16, "the same in UTF-16 with its BOM");
    c.Seed("txt", "cp932", cp932, "the same in code page 932");

    c.Add("txt", "trunc", "utf8-mid-char", Slice(utf8, 0, 4), "utf8: cut inside the second character");
    c.Add("txt", "trunc", "utf16-odd", Slice(utf16, 0, 101), "utf16: cut to an odd length");
    c.Add("txt", "trunc", "cp932-after-lead", Slice(cp932, 0, 3), "cp932: cut after a lead byte");
    auto garbage = [&](const std::string& what, Bytes b, const std::string& about) { c.Add("txt", "garbage", what, std::move(b), about); };
    {
        Bytes b = {0xFF, 0xFE};
        for (int i = 0; i < 2000; ++i) Put16(b, 0xD800 + static_cast<uint32_t>(i % 0x800));
        garbage("utf16-lone-surrogates", b, "UTF-16 BOM then 2000 lone surrogates");
        Bytes be = {0xFE, 0xFF, 0x30, 0x42, 0x30};
        garbage("utf16be-odd", be, "UTF-16 big-endian BOM, then an odd count of bytes");
        Bytes bad = {0xEF, 0xBB, 0xBF};
        for (int i = 0; i < 500; ++i) bad.insert(bad.end(), {0xC0, 0x80, 0xED, 0xA0, 0x80, 0xF5, 0x80, 0x80, 0x80, 0xFF, 0xFE, 'a'});
        garbage("utf8-bom-invalid", bad, "UTF-8 BOM, then overlong forms, surrogates, bytes past U+10FFFF");
        Bytes leads(4096, 0x81);
        garbage("cp932-leads", leads, "4096 bytes of 0x81");
        Bytes endLead = cp932;
        endLead.push_back(0x81);
        garbage("cp932-lead-at-end", endLead, "cp932 with a lead byte as its last byte");
        garbage("nuls", Bytes(4096, 0), "4096 NUL bytes");
        Bytes rnd(65536);
        for (uint8_t& x : rnd) x = static_cast<uint8_t>(c.Next());
        garbage("random64k", rnd, "64 KB of random bytes");
        Bytes line(1536 * 1024, 'a');
        garbage("one-line-1.5mb", line, "one line of 1.5 MB, no line end");
        Bytes crs(200000, '\r');
        garbage("cr200k", crs, "200000 lone CRs");
        garbage("bom-utf8-only", {0xEF, 0xBB, 0xBF}, "the UTF-8 BOM alone");
        garbage("bom-utf16-only", {0xFF, 0xFE}, "the UTF-16 BOM alone");
        garbage("bom-utf16be-1", {0xFE, 0xFF, 0x00}, "the UTF-16 big-endian BOM and one byte");
        Bytes straddle((1u << 20) - 1, 'b');
        straddle.insert(straddle.end(), {0xE6, 0x97, 0xA5, 'c'});
        garbage("utf8-char-at-1mib", straddle, "a three-byte UTF-8 character across the 1 MiB mark");
        Bytes pair = {0xFF, 0xFE};
        pair.resize((1u << 20), 'd');
        pair.resize(pair.size() & ~size_t{1});
        Put16(pair, 0xD83D);
        Put16(pair, 0xDE00);
        garbage("utf16-pair-at-1mib", pair, "UTF-16 surrogate pair across the 1 MiB mark");
    }
    // The shapes the edit control is slow or careless with.
    {
        Bytes ctl(93 * 1024);
        for (size_t i = 0; i < ctl.size(); ++i) ctl[i] = static_cast<uint8_t>(1 + i % 31);
        garbage("controls-93k", ctl, "93 KB of the control characters 0x01-0x1f in turn");
        Bytes lines;
        while (lines.size() < (1u << 20)) lines.insert(lines.end(), {'a', '\r', '\n'});
        lines.resize(1u << 20);
        c.Add("txt", "huge", "one-letter-lines-1mib", lines, "1 MiB of one-letter lines");
        Bytes wide = {0xFF, 0xFE};
        while (wide.size() < (1u << 20)) for (uint32_t u : {0x3042u, 0x3044u, 0x0Du, 0x0Au}) Put16(wide, u);
        wide.resize((1u << 20) - 1);
        c.Add("txt", "huge", "utf16-2char-lines-odd", wide, "UTF-16 of two-character lines, 1 MiB less one byte");
        const std::wstring words[] = {L"שלום", L"עולם", L"مرحبا", L"بالعالم", L"hello", L"world", L"123", L"(א)", L"«ب»"};
        std::wstring mixed;
        for (size_t i = 0; i < 12000; ++i) mixed += words[(i * 7 + i / 9) % 9] + ((i % 11 == 10) ? L"\r\n" : L" ");
        Bytes bidi = {0xEF, 0xBB, 0xBF};
        Append(bidi, Utf8(mixed));
        bidi.resize(std::min<size_t>(bidi.size(), 94 * 1024));
        c.Add("txt", "huge", "mixed-direction-94k", bidi, "94 KB of Hebrew, Arabic and Latin words mixed, UTF-8 with BOM");
        const std::string phrase = "lorem ipsum dolor sit amet ";
        Bytes one;
        while (one.size() < (1u << 20)) one.insert(one.end(), phrase.begin(), phrase.end());
        one.resize(1u << 20);
        c.Add("txt", "huge", "one-line-words-1mib", one, "1 MiB of words in one line");
    }
    c.Add("txt", "sparse", "zeros-64mb", {}, "64 MB of zeros (sparse)", 64ull << 20);
}

// ---------------------------------------------------------------------------------------------
// Media names over garbage: they preview as media rows

void Media(Corpus& c) {
    auto random = [&](size_t n) {
        Bytes b(n);
        for (uint8_t& x : b) x = static_cast<uint8_t>(c.Next());
        return b;
    };
    for (const char* kind : {"avi", "wav", "mp3", "mid"}) c.Add(kind, "garbage", "random4k", random(4096), "4 KB of random bytes");
    {
        Bytes b;
        PutId(b, "RIFF");
        Put32(b, 0xFFFFFFFF);
        PutId(b, "AVI ");
        PutId(b, "LIST");
        Put32(b, 0x7FFFFFFF);
        PutId(b, "hdrl");
        PutId(b, "avih");
        Put32(b, 56);
        for (uint32_t v : {33333u, 0u, 0u, 0x10u, 0x7FFFFFFFu, 0u, 0xFFFFu, 0u, 0x7FFFFFFFu, 0x7FFFFFFFu, 0u, 0u, 0u, 0u}) Put32(b, v);
        c.Add("avi", "field", "riff-huge-streams", b, "RIFF AVI with sizes 0xffffffff, 65535 streams, 0x7fffffff frames and size");
        c.Add("avi", "trunc", "riff-only", Slice(b, 0, 12), "RIFF AVI header alone");
    }
    {
        Bytes b;
        PutId(b, "RIFF");
        Put32(b, 36);
        PutId(b, "WAVE");
        PutId(b, "fmt ");
        Put32(b, 0xFFFFFFFF);
        Put16(b, 1);
        Put16(b, 0);
        Put32(b, 0);
        Put32(b, 0);
        Put16(b, 0);
        Put16(b, 0xFFFF);
        c.Add("wav", "field", "fmt-size-m1", b, "WAVE fmt chunk of size 0xffffffff, no channels, 65535 bits");
        Bytes d;
        PutId(d, "RIFF");
        Put32(d, 0x7FFFFFFF);
        PutId(d, "WAVE");
        PutId(d, "fmt ");
        Put32(d, 16);
        Put16(d, 1);
        Put16(d, 2);
        Put32(d, 44100);
        Put32(d, 176400);
        Put16(d, 4);
        Put16(d, 16);
        PutId(d, "data");
        Put32(d, 0x7FFFFFFF);
        d.resize(d.size() + 1000, 0);
        c.Add("wav", "field", "data-size-7fffffff", d, "valid WAVE header, data chunk says 0x7fffffff bytes, 1000 present");
    }
    {
        Bytes b = {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
        b.resize(2048, 0);
        c.Add("mp3", "field", "id3-size-max", b, "ID3v2 tag claiming 256 MB, 2 KB present");
        Bytes f;
        for (int i = 0; i < 200; ++i) {
            f.insert(f.end(), {0xFF, 0xFB, 0x90, 0x00});
            const Bytes r = random(413);
            Append(f, r);
        }
        c.Add("mp3", "garbage", "frames-random", f, "200 MPEG frame headers over random frame data");
    }
    {
        Bytes b = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0xFF, 0xFF, 0, 0};
        b.insert(b.end(), {'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x90, 0x40, 0x7F});
        c.Add("mid", "field", "tracks-ffff", b, "MThd with 65535 tracks and division 0, one track of length 0xffffffff");
    }
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------------------------
// RIFF chunks, walked generically: a mutation finds its offsets by the chunk's id

struct RiffChunk {
    std::string id;    // "RIFF", "LIST" or the chunk's own
    std::string type;  // a RIFF or LIST chunk's list type, else empty
    size_t at = 0;     // of the id
    size_t sizeAt = 0;
    size_t body = 0;   // a list's type is its body's first 4 bytes
    uint32_t size = 0;
    int depth = 0;
    std::string Name() const { return type.empty() ? id : type; }
};

std::string IdAt(const Bytes& b, size_t at) {
    if (at + 4 > b.size()) return {};
    return std::string(b.begin() + static_cast<ptrdiff_t>(at), b.begin() + static_cast<ptrdiff_t>(at + 4));
}

void WalkRiff(const Bytes& b, size_t from, size_t to, int depth, std::vector<RiffChunk>& out) {
    for (size_t at = from; at + 8 <= to;) {
        RiffChunk ch;
        ch.id = IdAt(b, at);
        if (ch.id == "RIFF" || ch.id == "LIST") ch.type = IdAt(b, at + 8);
        ch.at = at;
        ch.sizeAt = at + 4;
        ch.body = at + 8;
        ch.size = Get32(b, at + 4);
        ch.depth = depth;
        out.push_back(ch);
        const size_t end = std::min<size_t>(to, ch.body + ch.size);
        if (!ch.type.empty() && depth < 16) WalkRiff(b, at + 12, end, depth + 1, out);
        at = ch.body + ch.size + (ch.size & 1);
    }
}

std::vector<RiffChunk> RiffChunks(const Bytes& b) {
    std::vector<RiffChunk> out;
    WalkRiff(b, 0, b.size(), 0, out);
    return out;
}

// The nth chunk or list of that name, or null.
const RiffChunk* FindChunk(const std::vector<RiffChunk>& chunks, const std::string& name, int nth = 0) {
    for (const RiffChunk& ch : chunks)
        if (ch.Name() == name && nth-- == 0) return &ch;
    return nullptr;
}

// `b` with [at, at + removed) replaced by `insert`, the sizes of the lists around it made to fit.
Bytes RiffSplice(const Bytes& b, size_t at, size_t removed, const Bytes& insert) {
    Bytes out = Slice(b, 0, at);
    Append(out, insert);
    Append(out, Slice(b, at + removed, b.size()));
    const uint32_t delta = static_cast<uint32_t>(insert.size() - removed);  // modulo 2^32
    for (const RiffChunk& ch : RiffChunks(b))
        if (!ch.type.empty() && ch.body <= at && at + removed <= ch.body + ch.size)
            SetField(out, ch.sizeAt, 4, ch.size + delta);
    return out;
}

Bytes RiffChunkOf(const char* id, const Bytes& body) {
    Bytes b;
    PutId(b, id);
    Put32(b, static_cast<uint32_t>(body.size()));
    Append(b, body);
    if (body.size() & 1) b.push_back(0);
    return b;
}

Bytes RiffListOf(const char* id, const char* type, const Bytes& body) {
    Bytes inner;
    PutId(inner, type);
    Append(inner, body);
    return RiffChunkOf(id, inner);
}

uint32_t Fourcc(const char* s) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0]) | static_cast<uint8_t>(s[1]) << 8 |
                                 static_cast<uint8_t>(s[2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24);
}

// A chunk's name as it goes into a file name: lower case, no spaces, repeats numbered.
std::string ChunkTag(const RiffChunk& ch, std::map<std::string, int>& seen) {
    std::string n = ch.id == "RIFF" ? "riff" : ch.Name();
    std::erase(n, ' ');
    std::transform(n.begin(), n.end(), n.begin(), [](char x) { return static_cast<char>(std::tolower(static_cast<unsigned char>(x))); });
    const int k = seen[n]++;
    return k ? n + Dec(static_cast<uint64_t>(k)) : n;
}

// ---------------------------------------------------------------------------------------------
// AVI: the build's small video, and two with sound

void Avis(Corpus& c, const fs::path& fixtures) {
    const Bytes small = ReadAll(fixtures / "small.avi");
    const Bytes sound = ReadAll(fixtures / "sound.avi");
    const Bytes adpcm = ReadAll(fixtures / "adpcm.avi");
    const std::vector<RiffChunk> ch = RiffChunks(small);
    const RiffChunk* avih = FindChunk(ch, "avih");
    const RiffChunk* strh = FindChunk(ch, "strh");
    const RiffChunk* strf = FindChunk(ch, "strf");
    const RiffChunk* movi = FindChunk(ch, "movi");
    const RiffChunk* idx1 = FindChunk(ch, "idx1");
    if (!avih || !strh || !strf || !movi || !idx1) return;
    std::vector<RiffChunk> frames;
    for (const RiffChunk& f : ch)
        if (f.depth == movi->depth + 1 && f.at > movi->at && f.at < movi->body + movi->size) frames.push_back(f);
    if (frames.size() < 3) return;
    const RiffChunk& last = frames.back();

    c.Seed("avi", "small", small, "64x48 Microsoft Video 1, 30 frames, from the build's fixtures");
    c.Seed("avi", "sound", sound, "64x48 Microsoft Video 1, 10 frames, 16-bit PCM sound at 8 kHz");
    c.Seed("avi", "adpcm", adpcm, "64x48 Microsoft Video 1, 10 frames, MS ADPCM sound at 8 kHz");

    const size_t h = avih->body, s = strh->body, f = strf->body;
    c.Fields("avi", "small", small,
             {{"usPerFrame", h, 4, {0, 0xFFFFFFFF}}, {"maxBytesPerSec", h + 4, 4, {0xFFFFFFFF}},
              {"padding", h + 8, 4, {0xFFFFFFFF}}, {"flags", h + 12, 4, {0, 0xFFFFFFFF}},
              {"totalFrames", h + 16, 4, {0, 0xFFFFFFFF}}, {"initialFrames", h + 20, 4, {0xFFFFFFFF}},
              {"streams", h + 24, 4, {0xFFFFFFFF}}, {"bufferSize", h + 28, 4, {0xFFFFFFFF}},
              {"width", h + 32, 4, {0, 0xFFFFFFFF}}, {"height", h + 36, 4, {0, 0x7FFFFFFF}},
              {"reserved0", h + 40, 4, {0xFFFFFFFF}}, {"reserved1", h + 44, 4, {0xFFFFFFFF}},
              {"reserved2", h + 48, 4, {0xFFFFFFFF}}, {"reserved3", h + 52, 4, {0xFFFFFFFF}},
              // The video stream's header.
              {"strh-type", s, 4, {0, Fourcc("auds")}}, {"strh-handler", s + 4, 4, {0}},
              {"strh-scale", s + 20, 4, {0}}, {"strh-rate", s + 24, 4, {0, 0xFFFFFFFF}},
              {"strh-length", s + 32, 4, {0xFFFFFFFF}}, {"strh-bufferSize", s + 36, 4, {0xFFFFFFFF}},
              {"strh-right", s + 52, 2, {0x8000}}, {"strh-bottom", s + 54, 2, {0x7FFF}},
              // Its format: the picture's header.
              {"biSize", f, 4, {0, 0xFFFFFFFF}}, {"biWidth", f + 4, 4, {0, 0x7FFFFFFF}},
              {"biHeight", f + 8, 4, {0, 0x80000000, 0x7FFFFFFF}}, {"biPlanes", f + 12, 2, {0}},
              {"biBitCount", f + 14, 2, {0, 0xFFFF}}, {"biCompression", f + 16, 4, {0}},
              {"biSizeImage", f + 20, 4, {0xFFFFFFFF}}, {"biClrUsed", f + 32, 4, {0xFFFFFFFF}}});

    // Every chunk's size; the ones a reader sizes its buffers by get the most values.
    std::map<std::string, int> seen;
    for (const RiffChunk& k : ch) {
        if (k.depth > movi->depth && k.at > movi->at && k.at < movi->body + movi->size && k.at != frames[0].at && k.at != last.at) continue;
        const std::string tag = k.at == frames[0].at ? "frame0" : k.at == last.at ? "framelast" : ChunkTag(k, seen);
        std::vector<uint32_t> values = {0xFFFFFFFF};
        const std::string n = k.Name();
        if (n == "avih" || n == "strh" || n == "strf" || n == "movi")
            values = {0, 1, 0xFFFFFFFF, k.size + 1, k.size - 1};
        if (n == "avih" || n == "strh" || n == "strf") values.push_back(0xFFFFFFF8);  // movi's is a struct case
        if (n == "idx1") values = {0, 0xFFFFFFFF, k.size - 1};
        if (k.id == "RIFF" || n == "hdrl" || n == "strl") values = {0, 0xFFFFFFFF};
        if (k.at == frames[0].at) values = {0xFFFFFFFF, k.size + 1};
        c.Fields("avi", "small", small, {{tag + "-size", k.sizeAt, 4, values}});
    }

    // The index: stream numbers, flags, offsets and sizes of the first entries.
    const size_t e = idx1->body;
    c.Fields("avi", "small", small,
             {{"idx0-id", e, 4, {Fourcc("99dc")}}, {"idx0-flags", e + 4, 4, {0xFFFFFFFF}},
              {"idx0-offset", e + 8, 4, {0xFFFFFFFF, 0x7FFFFFFF}}, {"idx0-size", e + 12, 4, {0xFFFFFFFF}},
              {"idx1-offset", e + 16 + 8, 4, {0xFFFFFFFF}}, {"idx1-size", e + 16 + 12, 4, {0x7FFFFFFF}},
              {"idx2-id", e + 32, 4, {Fourcc("99wb")}}});

    // The sound streams' headers and formats.
    const std::vector<RiffChunk> sc = RiffChunks(sound), ac = RiffChunks(adpcm);
    if (const RiffChunk *ah = FindChunk(sc, "strh", 1), *af = FindChunk(sc, "strf", 1); ah && af) {
        const size_t a = af->body;
        c.Fields("avi", "sound", sound,
                 {{"strh-scale", ah->body + 20, 4, {0}}, {"strh-rate", ah->body + 24, 4, {0}},
                  {"strh-sampleSize", ah->body + 44, 4, {0xFFFFFFFF}},
                  {"strf-size", af->sizeAt, 4, {0, 0xFFFFFFFF, af->size - 1}},
                  {"wFormatTag", a, 2, {0, 0xFFFF}}, {"nChannels", a + 2, 2, {0, 0xFFFF}},
                  {"nSamplesPerSec", a + 4, 4, {0}}, {"nAvgBytesPerSec", a + 8, 4, {0}},
                  {"nBlockAlign", a + 12, 2, {0}}, {"wBitsPerSample", a + 14, 2, {0, 0xFFFF}}});
    }
    if (const RiffChunk* af = FindChunk(ac, "strf", 1)) {
        const size_t a = af->body;
        c.Fields("avi", "adpcm", adpcm,
                 {{"nBlockAlign", a + 12, 2, {0}}, {"cbSize", a + 16, 2, {0, 0xFFFF}},
                  {"wSamplesPerBlock", a + 18, 2, {0}}, {"wNumCoef", a + 20, 2, {0, 0xFFFF}},
                  {"coef0", a + 22, 2, {0x8000}}});
    }

    // Broken structure.
    auto add = [&](const std::string& what, const Bytes& b, const std::string& about) { c.Add("avi", "struct", what, b, "small: " + about); };
    add("avih-empty", RiffSplice(small, avih->at, 8 + avih->size, RiffChunkOf("avih", {})), "the avih chunk emptied, size 0");
    {
        Bytes b = small;
        SetField(b, h + 24, 4, 0);
        add("streams0", b, "avih's dwStreams 0");
        Bytes w = small;
        for (size_t at : {h + 32, f + 4}) SetField(w, at, 4, 1u << 30);
        for (size_t at : {h + 36, f + 8}) SetField(w, at, 4, 4);
        add("width2p30-height4", w, "avih's and the picture's size 2^30 x 4");
        Bytes m = small;
        SetField(m, movi->sizeAt, 4, 0xFFFFFFF8);
        add("movi-size-fffffff8", m, "the movi list's size 0xfffffff8");
    }
    const size_t moviEnd = movi->body + movi->size;
    {
        const Bytes empty = RiffSplice(small, movi->body + 4, moviEnd - movi->body - 4, {});
        add("movi-empty", empty, "a movi list without frames, the index kept");
        const RiffChunk* ix = FindChunk(RiffChunks(empty), "idx1");
        if (ix) add("movi-empty-no-idx1", RiffSplice(empty, ix->at, 8 + ix->size, {}), "a movi list without frames and no index");
    }
    {
        Bytes b = small;
        for (const RiffChunk& k : frames) SetField(b, k.at, 2, Fourcc("99dc") & 0xFFFF);
        for (size_t at = idx1->body; at + 16 <= idx1->body + idx1->size; at += 16) SetField(b, at, 2, Fourcc("99dc") & 0xFFFF);
        add("all-stream99", b, "every frame chunk and index entry renamed to stream 99");
    }
    {
        // Three frames of a megabyte each for a 64x48 picture, indexed.
        Bytes body, index;
        for (int k = 0; k < 3; ++k) {
            Bytes frame(1u << 20);
            for (uint8_t& x : frame) x = static_cast<uint8_t>(c.Next());
            PutId(index, "00dc");
            Put32(index, 0x10);
            Put32(index, static_cast<uint32_t>(4 + body.size()));
            Put32(index, static_cast<uint32_t>(frame.size()));
            Append(body, RiffChunkOf("00dc", frame));
        }
        Bytes b = RiffSplice(small, movi->body + 4, moviEnd - movi->body - 4, body);
        const RiffChunk* ix = FindChunk(RiffChunks(b), "idx1");
        if (ix) b = RiffSplice(b, ix->at, 8 + ix->size, RiffChunkOf("idx1", index));
        add("frames-1mb-x3", b, "three frames of 1 MB of random bytes each, indexed");
    }
    {
        // The frames inside 1,000 nested 'rec ' lists; no index, as the offsets moved.
        Bytes inner = Slice(small, movi->body + 4, moviEnd);
        for (int k = 0; k < 1000; ++k) inner = RiffListOf("LIST", "rec ", inner);
        Bytes b = RiffSplice(small, movi->body + 4, moviEnd - movi->body - 4, inner);
        const RiffChunk* ix = FindChunk(RiffChunks(b), "idx1");
        if (ix) b = RiffSplice(b, ix->at, 8 + ix->size, {});
        add("rec-nested1000", b, "the frames inside 1000 nested 'rec ' lists, no index");
    }

    c.Truncations("avi", "small", small,
                  {{12, "after the RIFF header"}, {h + 20, "inside avih"}, {s + 30, "inside strh"},
                   {f + 20, "inside strf"}, {movi->body + 4, "at the first frame"},
                   {last.at + 4, "inside the last frame's header"}, {last.body + last.size / 2, "inside the last frame"},
                   {idx1->body + 40, "inside the index"}});
    c.Flips("avi", "small", small, 2, 1, 0, movi->at);
    c.Flips("avi", "sound", sound, 1, 4, 0, sound.size());
    {
        // The header, then a movi list of zeros claiming 200 MB.
        Bytes b = Slice(small, 0, movi->at);
        const uint64_t total = 200ull << 20;
        SetField(b, 4, 4, static_cast<uint32_t>(total - 8));
        PutId(b, "LIST");
        Put32(b, static_cast<uint32_t>(total - movi->at - 8));
        PutId(b, "movi");
        c.Add("avi", "sparse", "small-movi-200mb", b, "small's header, then a movi list of 200 MB of zeros (sparse)", total);
    }
}

// ---------------------------------------------------------------------------------------------
// WAVE in each format the platform's converters take, made here

Bytes WaveFile(const Bytes& fmt, const Bytes& data, uint32_t samples) {
    Bytes body;
    PutId(body, "WAVE");
    Append(body, RiffChunkOf("fmt ", fmt));
    if (samples) {
        Bytes fact;
        Put32(fact, samples);
        Append(body, RiffChunkOf("fact", fact));
    }
    Append(body, RiffChunkOf("data", data));
    return RiffChunkOf("RIFF", body);
}

Bytes WaveFormat(uint16_t tag, uint32_t rate, uint32_t avg, uint16_t align, uint16_t bits, const Bytes& extra, bool withCbSize = true) {
    Bytes b;
    Put16(b, tag);
    Put16(b, 1);
    Put32(b, rate);
    Put32(b, avg);
    Put16(b, align);
    Put16(b, bits);
    if (withCbSize) Put16(b, static_cast<uint32_t>(extra.size()));
    Append(b, extra);
    return b;
}

void Waves(Corpus& c) {
    auto random = [&](size_t n) {
        Bytes b(n);
        for (uint8_t& x : b) x = static_cast<uint8_t>(c.Next());
        return b;
    };
    Bytes pcm;
    for (int i = 0; i < 1600; ++i) Put16(pcm, static_cast<uint32_t>(static_cast<int16_t>(8000 * std::sin(i * 0.345))) & 0xFFFF);
    // ADPCM blocks of random codes behind headers a decoder takes: a predictor below 7, a step index below 89.
    Bytes ms = random(1024), ima = random(1024);
    for (size_t at = 0; at < 1024; at += 256) {
        ms[at] = static_cast<uint8_t>(ms[at] % 7);
        ms[at + 1] = 0x10, ms[at + 2] = 0;
        ima[at + 2] = static_cast<uint8_t>(ima[at + 2] % 89);
        ima[at + 3] = 0;
    }
    Bytes msExtra;
    Put16(msExtra, 500);
    Put16(msExtra, 7);
    for (int v : {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232}) Put16(msExtra, static_cast<uint32_t>(v) & 0xFFFF);
    Bytes imaExtra;
    Put16(imaExtra, 505);
    // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, mono: 417-byte frames, headers over zeros.
    Bytes mp3Extra;
    Put16(mp3Extra, 1);  // wID
    Put32(mp3Extra, 2);  // fdwFlags: no padding
    for (uint32_t v : {417u, 1u, 1393u}) Put16(mp3Extra, v);
    Bytes frames;
    for (int i = 0; i < 12; ++i) {
        frames.insert(frames.end(), {0xFF, 0xFB, 0x90, 0xC0});
        frames.resize(frames.size() + 413, 0);
    }

    // fmt's body is at 20, its extra fields from 38; "data-size" is found by the walker.
    struct WaveSeed {
        std::string seed, about;
        Bytes bytes;
        std::vector<Field> fields;
        std::vector<Cut> cuts;
    };
    const std::vector<WaveSeed> seeds = {
        {"pcm", "16-bit PCM, mono, 8 kHz, 0.2 s of a sine", WaveFile(WaveFormat(1, 8000, 16000, 2, 16, {}, false), pcm, 0),
         {{"wFormatTag", 20, 2, {0, 0xFFFF}}, {"nChannels", 22, 2, {0, 0xFFFF}}, {"nSamplesPerSec", 24, 4, {0}},
          {"nAvgBytesPerSec", 28, 4, {0}}, {"nBlockAlign", 32, 2, {0, 0xFFFF}}, {"wBitsPerSample", 34, 2, {0, 0xFFFF}},
          {"fmt-size", 16, 4, {0, 0xFFFFFFFF}}, {"data-size", 0, 4, {0xFFFFFFFF, 3201}}},
         {{30, "inside fmt"}, {44 + 1001, "inside the data, at an odd byte"}}},
        {"msadpcm", "MS ADPCM, mono, 8 kHz, 256-byte blocks of 500 samples",
         WaveFile(WaveFormat(2, 8000, 4096, 256, 4, msExtra), ms, 2000),
         {{"nChannels", 22, 2, {0}}, {"nBlockAlign", 32, 2, {0, 0xFFFF}}, {"cbSize", 36, 2, {0, 0xFFFF}},
          {"wSamplesPerBlock", 38, 2, {0, 0xFFFF}}, {"wNumCoef", 40, 2, {0, 0xFFFF}}, {"coef0", 42, 2, {0x8000}},
          {"fmt-size", 16, 4, {0xFFFFFFFF}}},
         {{20 + 40, "inside the coefficients"}}},
        {"ima", "IMA ADPCM, mono, 8 kHz, 256-byte blocks of 505 samples",
         WaveFile(WaveFormat(0x11, 8000, 4055, 256, 4, imaExtra), ima, 2020),
         {{"nChannels", 22, 2, {0}}, {"nBlockAlign", 32, 2, {0, 0xFFFF}}, {"wBitsPerSample", 34, 2, {0}},
          {"cbSize", 36, 2, {0}}, {"wSamplesPerBlock", 38, 2, {0, 0xFFFF}}},
         {{20 + 19, "inside wSamplesPerBlock"}}},
        {"alaw", "A-law, mono, 8 kHz", WaveFile(WaveFormat(6, 8000, 8000, 1, 8, {}), random(1600), 1600),
         {{"nChannels", 22, 2, {0}}, {"nBlockAlign", 32, 2, {0}}, {"wBitsPerSample", 34, 2, {16}}},
         {{58 + 801, "inside the data"}}},
        {"mulaw", "mu-law, mono, 8 kHz", WaveFile(WaveFormat(7, 8000, 8000, 1, 8, {}), random(1600), 1600),
         {{"nChannels", 22, 2, {0}}, {"nBlockAlign", 32, 2, {0}}, {"wBitsPerSample", 34, 2, {16}}},
         {{58 + 801, "inside the data"}}},
        {"mp3", "MPEG-1 Layer III frames in WAVE, 128 kbit/s, 44.1 kHz, mono",
         WaveFile(WaveFormat(0x55, 44100, 16000, 1, 0, mp3Extra), frames, 12 * 1152),
         {{"nChannels", 22, 2, {0}}, {"nSamplesPerSec", 24, 4, {0}}, {"cbSize", 36, 2, {0, 0xFFFF}},
          {"nBlockSize", 44, 2, {0, 0xFFFF}}, {"nFramesPerBlock", 46, 2, {0}}},
         {{20 + 25, "inside nBlockSize"}}},
    };
    for (const WaveSeed& w : seeds) {
        c.Seed("wav", w.seed, w.bytes, w.about);
        std::vector<Field> fields = w.fields;
        const RiffChunk* data = FindChunk(RiffChunks(w.bytes), "data");
        for (Field& f : fields)
            if (f.name == "data-size") f.at = data ? data->sizeAt : w.bytes.size();
        c.Fields("wav", w.seed, w.bytes, fields);
        c.Truncations("wav", w.seed, w.bytes, w.cuts);
    }
}

// ---------------------------------------------------------------------------------------------
// MIDI

Bytes MidiOf(uint16_t format, const std::vector<Bytes>& tracks, uint16_t division = 500) {
    Bytes b = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
    for (uint32_t v : {static_cast<uint32_t>(format), static_cast<uint32_t>(tracks.size()), static_cast<uint32_t>(division)}) {
        b.push_back(static_cast<uint8_t>(v >> 8));
        b.push_back(static_cast<uint8_t>(v));
    }
    for (const Bytes& t : tracks) {
        PutId(b, "MTrk");
        PutBE32(b, static_cast<uint32_t>(t.size()));
        Append(b, t);
    }
    return b;
}

void Midis(Corpus& c) {
    const Bytes m0 = MidiFile(400);
    const Bytes end = {0x00, 0xFF, 0x2F, 0x00};
    Bytes tempo = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x03, 0x04, 't', 'e', 'm', 'p'};
    Append(tempo, end);
    // A program, then three notes, the note offs by running status.
    Bytes notes = {0x00, 0xC0, 0x00, 0x00, 0x90, 0x3C, 0x64, 0x81, 0x70, 0x3C, 0x00,
                   0x00, 0x40, 0x64, 0x81, 0x70, 0x40, 0x00, 0x00, 0x43, 0x64, 0x81, 0x70, 0x43, 0x00};
    Append(notes, end);
    const Bytes m1 = MidiOf(1, {tempo, notes}, 480);
    c.Seed("mid", "type0", m0, "format 0, one note of 400 ms");
    c.Seed("mid", "type1", m1, "format 1, a tempo track and a track of three notes");
    const uint32_t t0 = GetBE32(m0, 18);
    const size_t track2 = 22 + tempo.size();
    c.Fields("mid", "type0", m0,
             {{"headerLength", 4, 4, {0, 0xFFFFFFFF}, true}, {"format", 8, 2, {2, 0xFFFF}, true},
              {"ntrks", 10, 2, {0, 0xFFFF}, true}, {"division", 12, 2, {0, 0x8000, 0xE728, 0xFFFF}, true},
              {"mtrk-size", 18, 4, {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, t0 + 1, t0 - 1}, true}});
    c.Fields("mid", "type1", m1,
             {{"ntrks", 10, 2, {1, 3}, true}, {"mtrk0-size", 18, 4, {static_cast<uint32_t>(tempo.size() + 1)}, true},
              {"mtrk1-size", track2 + 4, 4, {0xFFFFFFFF}, true}});

    // Events that read past their track, or are larger than a reader expects.
    const struct {
        std::string what, about;
        Bytes track;
    } shapes[] = {
        {"running-status-first", "the track starts with data bytes under running status, no status yet",
         {0x00, 0x3C, 0x64, 0x83, 0x60, 0x3C, 0x00}},
        {"vlq5-delta", "a delta time of 5 bytes", {0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x64, 0x00, 0x80, 0x3C, 0x00}},
        {"vlq5-meta-length", "a text event whose length is 5 bytes long", {0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'}},
        {"meta-past-track", "a text event of 0x0fffffff bytes, 3 present", {0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b', 'c'}},
        {"sysex-past-track", "a system exclusive of 0x0fffffff bytes, 2 present", {0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0x7F, 0x41, 0x10}},
        {"escape-past-track", "an escape (F7) of 1000 bytes, 2 present", {0x00, 0xF7, 0x87, 0x68, 0x01, 0x02}},
    };
    for (const auto& sh : shapes) {
        Bytes t = sh.track;
        Append(t, end);
        c.Add("mid", "struct", sh.what, MidiOf(0, {t}), sh.about);
    }
    {
        Bytes t = {0x00, 0xF0, 0x84, 0x80, 0x00};  // 65536 bytes
        t.resize(t.size() + 65535, 0x01);
        t.push_back(0xF7);
        Append(t, Slice(m0, 22, m0.size()));
        c.Add("mid", "struct", "sysex-64k", MidiOf(0, {t}), "a system exclusive of 64 KB, then type0's note");
    }
    c.Truncations("mid", "type0", m0,
                  {{8, "inside MThd"}, {14, "end of MThd"}, {18, "inside the MTrk header"}, {22, "end of the MTrk header"},
                   {24, "inside the note on"}, {m0.size() - 2, "inside the end of track"}});
    c.Truncations("mid", "type1", m1, {{track2, "at the second track"}, {track2 + 14, "inside the second track"}});
    c.Flips("mid", "type1", m1, 2, 2, 0, m1.size());
    {
        const uint64_t total = 200ull << 20;
        Bytes b = MidiOf(0, {});
        SetField(b, 10, 2, 1, true);
        PutId(b, "MTrk");
        PutBE32(b, static_cast<uint32_t>(total - 22));
        c.Add("mid", "sparse", "track-200mb", b, "one track claiming 200 MB of zeros (sparse)", total);
    }
}

// ---------------------------------------------------------------------------------------------
// MPEG program streams, from the build's fixture

void Mpegs(Corpus& c, const fs::path& fixtures) {
    const Bytes m = ReadAll(fixtures / "clip.mpg");
    if (m.size() < 4096) return;
    // The first start code of each kind: pack, system header, video packet, sequence header.
    std::map<uint8_t, size_t> first;
    for (size_t at = 0; at + 4 <= m.size() && first.size() < 4; ++at)
        if (m[at] == 0 && m[at + 1] == 0 && m[at + 2] == 1 && (m[at + 3] == 0xBA || m[at + 3] == 0xBB || m[at + 3] == 0xE0 || m[at + 3] == 0xB3))
            first.emplace(m[at + 3], at);
    if (first.size() < 4) return;
    const size_t pack = first[0xBA], sys = first[0xBB], pes = first[0xE0], seq = first[0xB3];
    c.Seed("mpg", "clip", m, "MPEG-1 program stream, 160x120, 50 frames, from the build's fixtures");
    c.Fields("mpg", "clip", m,
             {{"pack-muxrate", pack + 9, 2, {0x8000, 0xFFFF}, true}, {"system-length", sys + 4, 2, {0, 0xFFFF}, true},
              {"pes-length", pes + 4, 2, {0, 1, 0xFFFF}, true}, {"seq-size", seq + 4, 2, {0, 0xFFFF}, true}});
    c.Truncations("mpg", "clip", m,
                  {{pack + 8, "inside the pack header"}, {sys + 8, "inside the system header"},
                   {seq + 6, "inside the sequence header"}, {m.size() / 2 + 7, "in the middle"}});
    c.Flips("mpg", "clip", m, 3, 2, 0, m.size());
    c.Add("mpg", "sparse", "zeros-100mb", {}, "100 MB of zeros (sparse)", 100ull << 20);
}

}  // namespace

std::vector<HostileFile> MakeHostileCorpus(const HostileSources& sources) {
    Corpus c;
    Bitmaps(c);
    Gifs(c);
    Jpegs(c, sources.fixtures);
    Wmfs(c);
    Emfs(c);
    Icons(c);
    Anis(c);
    Programs(c, sources);
    Texts(c);
    Media(c);
    Avis(c, sources.fixtures);
    Waves(c);
    Midis(c);
    Mpegs(c, sources.fixtures);
    // Last, so that the random flips of the others stay the ones they were.
    CameraJpegs(c, sources.fixtures);
    return std::move(c.files);
}

bool WriteHostileFile(const fs::path& folder, const HostileFile& file) {
    HANDLE h = CreateFileW((folder / file.name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    size_t at = 0;
    while (ok && at < file.bytes.size()) {
        DWORD wrote = 0;
        const DWORD n = static_cast<DWORD>(std::min<size_t>(file.bytes.size() - at, 1 << 20));
        ok = ::WriteFile(h, file.bytes.data() + at, n, &wrote, nullptr) && wrote == n;
        at += n;
    }
    if (ok && file.extendTo > file.bytes.size()) {
        // Moving the end leaves a hole: the file takes almost no disk.
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(file.extendTo);
        ok = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    }
    CloseHandle(h);
    return ok;
}

std::string HostileManifest(const std::vector<HostileFile>& files) {
    static const char* const classes[] = {"seed", "trunc", "flip", "field", "struct", "huge", "sparse", "garbage"};
    std::map<std::string, std::map<std::string, int>> counts;
    std::map<std::string, int> totals;
    for (const HostileFile& f : files) {
        ++counts[f.kind][f.mutation];
        ++totals[f.mutation];
    }
    auto row = [&](const std::string& kind, std::map<std::string, int>& byClass) {
        char line[160];
        int total = 0;
        std::string s = kind;
        s.resize(8, ' ');
        for (const char* cls : classes) {
            std::snprintf(line, sizeof line, "%8d", byClass[cls]);
            s += line;
            total += byClass[cls];
        }
        std::snprintf(line, sizeof line, "%8d\n", total);
        return s + line;
    };
    std::string out = "kind    ";
    for (const char* cls : classes) {
        char col[16];
        std::snprintf(col, sizeof col, "%8s", cls);
        out += col;
    }
    out += "   total\n";
    for (auto& [kind, byClass] : counts) out += row(kind, byClass);
    out += row("all", totals);
    return out;
}

}  // namespace qcd::test
