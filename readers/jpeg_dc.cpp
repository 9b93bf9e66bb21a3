#include "readers/jpeg_dc.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <memory>

namespace qcd {

namespace {

constexpr int kMaxComponents = 3;
constexpr int kFastBits = 9;
// AC coefficients are skipped several at a time, by what the next kSkipBits bits hold whole.
constexpr int kSkipBits = 12;

uint32_t Be16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] << 8 | p[1]);
}

// A skip entry: bits dropped, whether they end with an end of block, and how many
// coefficient positions the symbols before it cover.
constexpr uint32_t kSkipDropMask = 0x0F;
constexpr uint32_t kSkipEob = 0x10;
constexpr int kSkipAdvanceShift = 5;

struct HuffTable {
    bool defined = false;
    // By the next kFastBits bits, a code no longer than that: length << 8 | symbol; 0 for a
    // longer code or none.
    std::array<uint16_t, 1 << kFastBits> fast{};
    // Codes up to length n, left-aligned in 16 bits, are below limit[n]; a code of length n
    // stands for values[code + offset[n]].
    std::array<uint32_t, 17> limit{};
    std::array<int32_t, 17> offset{};
    std::array<uint8_t, 256> values{};
    // AC tables of sequential scans: by the next kSkipBits bits, the run of whole AC symbols
    // they hold (see kSkipEob); 0 when they hold none, or a symbol not valid there, which the
    // one-symbol path then decodes or rejects. Made when a scan first needs it.
    bool skipReady = false;
    std::array<uint16_t, 1 << kSkipBits> skip{};
};

// The symbol whose code starts the left-aligned 16 bits `top`, if its code is at most
// `available` bits long; -1 otherwise.
int SymbolAt(const HuffTable& t, uint32_t top, int available, int& length) {
    const uint32_t fast = t.fast[top >> (16 - kFastBits)];
    if (fast != 0) {
        length = static_cast<int>(fast >> 8);
        return length <= available ? static_cast<int>(fast & 0xFF) : -1;
    }
    for (int len = kFastBits + 1; len <= available; ++len) {
        if (top < t.limit[len]) {
            length = len;
            return t.values[static_cast<size_t>(static_cast<int32_t>(top >> (16 - len)) +
                                                t.offset[len])];
        }
    }
    return -1;
}

void BuildSkip(HuffTable& t) {
    t.skipReady = true;
    for (uint32_t bits = 0; bits < t.skip.size(); ++bits) {
        int used = 0, advance = 0;
        uint32_t eob = 0;
        while (advance < 64) {
            const uint32_t top = (bits << used & ((1u << kSkipBits) - 1)) << (16 - kSkipBits);
            int length = 0;
            const int symbol = SymbolAt(t, top, kSkipBits - used, length);
            if (symbol < 0) break;
            const int run = symbol >> 4, size = symbol & 15;
            if (symbol == 0) {
                used += length;
                eob = kSkipEob;
                break;
            }
            if ((size == 0 && run != 15) || size > 10 || used + length + size > kSkipBits) break;
            used += length + size;
            advance += size == 0 ? 16 : run + 1;
        }
        t.skip[bits] = static_cast<uint16_t>(static_cast<uint32_t>(used) | eob |
                                             static_cast<uint32_t>(advance) << kSkipAdvanceShift);
    }
}

// Counts of codes of lengths 1 to 16, then their values. False when the counts overflow the
// code space.
bool BuildTable(HuffTable& t, const uint8_t* counts, const uint8_t* values, int total) {
    t = HuffTable{};
    std::copy(values, values + total, t.values.begin());
    uint32_t code = 0;
    int index = 0;
    for (int len = 1; len <= 16; ++len) {
        const int n = counts[len - 1];
        t.offset[len] = index - static_cast<int32_t>(code);
        for (int i = 0; i < n; ++i, ++code, ++index) {
            if (code >= (1u << len)) return false;
            if (len > kFastBits) continue;
            const uint32_t first = code << (kFastBits - len);
            for (uint32_t j = 0; j < 1u << (kFastBits - len); ++j)
                t.fast[first + j] = static_cast<uint16_t>(len << 8 | values[index]);
        }
        t.limit[len] = code << (16 - len);
        code <<= 1;
    }
    t.defined = true;
    return true;
}

// Entropy-coded bytes, most significant bit first, with the stuffed zero after each 0xFF
// dropped. At a marker or the end of the file it supplies zero bits, counted, so that a
// segment that used them is found out (Overran) where an MCU ends. Kept whole in the caller's
// registers: every member function is inlined, and nothing takes its address.
class BitReader {
  public:
    // The native word: on a 32-bit build a 64-bit buffer would take two registers.
    using Word = uintptr_t;
    static constexpr int kWordBits = sizeof(Word) * 8;
    // Refill leaves at least this many bits.
    static constexpr int kFilled = kWordBits - 8;

    BitReader(std::span<const uint8_t> file, size_t pos)
        : data_(file.data()), size_(file.size()), fastEnd_(FastEnd()), pos_(pos) {}

    int Bits() const { return bits_; }
    size_t Position() const { return pos_; }

    // A word's worth of bytes at once where none of them is 0xFF. The buffer below Bits()
    // may then hold the next byte's first bits: the next refill puts the same bits there.
    [[gnu::always_inline]] void Refill() {
        if (pos_ < fastEnd_) {
            Word v;
            std::memcpy(&v, data_ + pos_, sizeof v);
            if constexpr (sizeof(Word) == 8)
                v = __builtin_bswap64(v);
            else
                v = __builtin_bswap32(v);
            if (!HasFF(v)) {
                buf_ |= v >> bits_;
                pos_ += static_cast<size_t>((kWordBits - 1 - bits_) >> 3);
                bits_ |= kFilled;
                return;
            }
        }
        RefillBytes();
    }

    // n in 1..kWordBits - 1, with Bits() >= n.
    uint32_t Peek(int n) const { return static_cast<uint32_t>(buf_ >> (kWordBits - n)); }
    void Drop(int n) {
        buf_ <<= n;
        bits_ -= n;
    }
    uint32_t Take(int n) {
        const uint32_t v = Peek(n);
        Drop(n);
        return v;
    }

    // With Bits() >= 16: the symbol, or -1 for bits that are no code of the table.
    [[gnu::always_inline]] int Decode(const HuffTable& t) {
        const uint32_t fast = t.fast[Peek(kFastBits)];
        if (fast != 0) {
            Drop(static_cast<int>(fast >> 8));
            return static_cast<int>(fast & 0xFF);
        }
        int length = 0;
        const int symbol = SymbolAt(t, Peek(16), 16, length);
        if (symbol >= 0) Drop(length);
        return symbol;
    }

    // True when bits past the segment's end were used.
    bool Overran() const { return bits_ < padding_; }
    // The data stops at the end of the file, or at a marker that is no restart, with fewer
    // real bits left than the longest code: what failed to decode ran into that end.
    bool RanOut() const {
        if (!stopped_ || bits_ - padding_ >= 16) return false;
        size_t at = pos_;
        while (at < size_ && data_[at] == 0xFF) ++at;
        return at >= size_ || data_[at] < 0xD0 || data_[at] > 0xD7;
    }

    // At the end of a restart interval or of the scan: only the last byte's padding may be
    // left, and a marker must follow. Leaves Position() at the marker code (after any fill
    // 0xFF bytes) and the buffer empty.
    bool EndSegment() {
        if (Overran() || bits_ - padding_ >= 8) return false;
        if (!stopped_) {
            Refill();
            if (!stopped_ || bits_ - padding_ >= 8) return false;
        }
        while (pos_ < size_ && data_[pos_] == 0xFF) ++pos_;
        if (pos_ >= size_) return false;
        buf_ = 0;
        bits_ = padding_ = 0;
        stopped_ = false;
        fastEnd_ = FastEnd();
        return true;
    }

    enum class Marker { Restart, Other, Fault };
    // At an interval's end: its restart marker, read; another marker, where the data stops
    // (Other); or anything else.
    Marker Restart(int n) {
        if (!EndSegment()) return RanOut() ? Marker::Other : Marker::Fault;
        const uint8_t code = data_[pos_];
        if (code == 0xD0 + n) {
            ++pos_;
            return Marker::Restart;
        }
        return code >= 0xD0 && code <= 0xD7 ? Marker::Fault : Marker::Other;
    }

  private:
    static bool HasFF(Word v) {
        const Word ones = ~Word{0} / 0xFF;  // 0x0101...
        const Word x = ~v;
        return ((x - ones) & ~x & (ones << 7)) != 0;
    }

    size_t FastEnd() const { return size_ >= sizeof(Word) ? size_ - sizeof(Word) + 1 : 0; }

    // Byte by byte, through stuffed bytes, up to a marker.
    void RefillBytes() {
        while (bits_ < kFilled) {
            Word byte = 0;
            if (!stopped_ && pos_ < size_) {
                byte = data_[pos_];
                if (byte != 0xFF) {
                    ++pos_;
                } else if (pos_ + 1 < size_ && data_[pos_ + 1] == 0) {
                    pos_ += 2;
                } else {
                    byte = 0;
                    Stop();  // a marker: Position() stays at its 0xFF
                }
            } else {
                Stop();
            }
            if (stopped_) padding_ += 8;
            buf_ |= byte << (kWordBits - 8 - bits_);
            bits_ += 8;
        }
    }

    void Stop() {
        stopped_ = true;
        fastEnd_ = 0;
    }

    const uint8_t* data_;
    size_t size_;
    size_t fastEnd_;  // where fewer than a word's bytes are left, or 0 once stopped
    size_t pos_;
    Word buf_ = 0;
    int bits_ = 0;
    int padding_ = 0;
    bool stopped_ = false;
};

// A DC difference: its size category, then that many bits. Wants Bits() >= 16.
[[gnu::always_inline]] inline bool DecodeDcDiff(BitReader& in, const HuffTable& t, int32_t& diff) {
    const int size = in.Decode(t);
    if (size < 0 || size > 11) return false;
    if (size == 0) {
        diff = 0;
        return true;
    }
    if (in.Bits() < size) in.Refill();
    const auto v = static_cast<int32_t>(in.Take(size));
    diff = v < (1 << (size - 1)) ? v - (1 << size) + 1 : v;
    return true;
}

// Reads past a block's 63 AC coefficients without keeping them.
[[gnu::always_inline]] inline bool SkipAc(BitReader& in, const HuffTable& t) {
    // Skip entries one refill has room for: 4 on 64-bit builds, 2 on 32-bit ones.
    constexpr int kSteps = BitReader::kFilled / kSkipBits;
    int k = 1;  // the next coefficient's position
    for (;;) {
        in.Refill();
        for (int i = 0; i < kSteps; ++i) {
            const uint32_t e = t.skip[in.Peek(kSkipBits)];
            const int next = k + static_cast<int>(e >> kSkipAdvanceShift);
            // Symbols that reach the block's end without an end of block may be followed by
            // the next block's bits, which the entry took for more of this one.
            if (e != 0 && next < 64) [[likely]] {
                in.Drop(static_cast<int>(e & kSkipDropMask));
                if (e & kSkipEob) return true;
                k = next;
                continue;
            }
            // One symbol alone: up to 26 bits, after which the buffer is refilled.
            if (in.Bits() < 16) in.Refill();
            const int symbol = in.Decode(t);
            if (symbol < 0) return false;
            const int run = symbol >> 4, size = symbol & 15;
            if (size == 0) {
                if (run == 0) return true;
                if (run != 15) return false;
                k += 16;
            } else {
                if (size > 10) return false;
                if (in.Bits() < size) in.Refill();
                in.Drop(size);
                k += run + 1;
            }
            // A run past the block's end is corrupt.
            if (k >= 64) return k == 64;
            break;
        }
    }
}

struct Component {
    uint8_t id = 0;
    int h = 1, v = 1;
    int quantTable = 0;
    int32_t quantDc = 0;  // latched at the component's first scan
    int blocksWide = 0;   // padded to whole MCUs: the plane's stride
    int blocksHigh = 0;
    int codedWide = 0;  // what a scan of this component alone covers
    int codedHigh = 0;
    int successiveLow = -1;   // progressive: the lowest DC bit known so far; -1 before any
    bool scanned = false;     // sequential: its scan is done
    std::vector<int16_t> dc;  // quantized DC terms, blocksWide x blocksHigh
};

struct QuantTable {
    bool defined = false;
    int32_t dc = 0;
};

enum class ScanKind { Sequential, DcFirst, DcRefine };

int CeilDiv(int a, int b) {
    return (a + b - 1) / b;
}

uint8_t Clamp255(int32_t v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

class Decoder {
  public:
    explicit Decoder(std::span<const uint8_t> file) : file_(file) {}

    std::optional<JpegDcImage> Run();
    // Reads up to and including the frame header; false for a file DecodeJpegDc rejects there.
    // Allocates nothing.
    bool ReadFrame();

    int width_ = 0, height_ = 0, count_ = 0;

  private:
    struct ScanPart {
        Component* c;
        const HuffTable* dc;
        HuffTable* ac;
        int32_t pred;
    };

    enum class Step { Continue, Done, Fail };
    // Reads the marker at pos_ and what follows it.
    Step Next();
    // The next marker from pos_: its code, with pos_ past it; -1 when the bytes there are
    // not a marker.
    int NextMarker();
    bool Segment(size_t& start, size_t& length);
    bool Frame(int marker, const uint8_t* p, size_t length);
    bool Tables(const uint8_t* p, size_t length);
    bool Quantization(const uint8_t* p, size_t length);
    bool Scan(const uint8_t* p, size_t length);
    template <ScanKind kind>
    bool DecodeScan(ScanPart* parts, int count, int low);
    bool SkipEntropyData();
    // Ends the reading at a cut; true.
    bool CutShort();
    // Whether three components are YCbCr or RGB is said by a JFIF or Adobe segment. Without
    // either, components named R, G and B may be taken for RGB by the platform's decoder:
    // that guess is left to it.
    bool ColourKnown() const {
        return count_ != 3 || jfif_ || adobe_ ||
               !(components_[0].id == 'R' && components_[1].id == 'G' && components_[2].id == 'B');
    }
    // Every component has its DC terms (in progressive files, at least their high bits).
    bool Complete() const;
    // And in progressive files, their low bits too.
    bool DcFinal() const;
    JpegDcImage Image() const;

    std::span<const uint8_t> file_;
    size_t pos_ = 0;
    bool frameRead_ = false;
    bool progressive_ = false;
    // The entropy-coded data ended early: the blocks not reached stay 0, a flat grey, as the
    // platform's decoder shows a file cut short, and nothing after is read.
    bool cutShort_ = false;
    bool scanRead_ = false;  // a scan's coded data began
    bool rgb_ = false;
    bool jfif_ = false;
    bool adobe_ = false;
    int restartInterval_ = 0;
    int hMax_ = 1, vMax_ = 1, mcusWide_ = 0, mcusHigh_ = 0;
    std::array<Component, kMaxComponents> components_{};
    std::array<QuantTable, 4> quant_{};
    std::array<HuffTable, 4> dcTables_{};
    std::array<HuffTable, 4> acTables_{};
};

int Decoder::NextMarker() {
    // Fill bytes (0xFF) may come before a marker's code.
    if (pos_ >= file_.size() || file_[pos_] != 0xFF) return -1;
    while (pos_ < file_.size() && file_[pos_] == 0xFF) ++pos_;
    if (pos_ >= file_.size()) return -1;
    return file_[pos_++];
}

bool Decoder::Segment(size_t& start, size_t& length) {
    if (file_.size() - pos_ < 2) return false;
    const size_t total = Be16(file_.data() + pos_);
    if (total < 2 || total > file_.size() - pos_) return false;
    start = pos_ + 2;
    length = total - 2;
    pos_ += total;
    return true;
}

bool Decoder::ReadFrame() {
    if (file_.size() < 2 || file_[0] != 0xFF || file_[1] != 0xD8) return false;
    pos_ = 2;
    while (!frameRead_)
        if (Next() != Step::Continue) return false;
    return true;
}

Decoder::Step Decoder::Next() {
    const int marker = NextMarker();
    // A file cut between segments, or inside one, after its coded data began.
    const auto cut = [&] { return scanRead_ && CutShort() ? Step::Done : Step::Fail; };
    if (marker < 0) return pos_ >= file_.size() ? cut() : Step::Fail;
    if (marker == 0x01) return Step::Continue;  // TEM has no length
    if (marker == 0xD9) return frameRead_ && Complete() ? Step::Done : Step::Fail;
    // No second picture, and restarts only inside a scan.
    if (marker == 0 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) return Step::Fail;
    size_t start = 0, length = 0;
    if (!Segment(start, length))
        return file_.size() - pos_ < 2 || Be16(file_.data() + pos_) > file_.size() - pos_
                   ? cut()
                   : Step::Fail;
    const uint8_t* p = file_.data() + start;
    bool ok = true;
    switch (marker) {
        case 0xC0:
        case 0xC1:
        case 0xC2:
            ok = !frameRead_ && Frame(marker, p, length);
            break;
        case 0xC4:
            ok = Tables(p, length);
            break;
        case 0xDB:
            ok = Quantization(p, length);
            break;
        case 0xDD:
            ok = length == 2;
            if (ok) restartInterval_ = static_cast<int>(Be16(p));
            break;
        case 0xDA:
            if (!frameRead_ || !Scan(p, length)) return Step::Fail;
            // What is left of a progressive file refines only the AC terms.
            return cutShort_ || (Complete() && DcFinal()) ? Step::Done : Step::Continue;
        case 0xE0:
            if (length >= 5 && std::memcmp(p, "JFIF", 5) == 0) jfif_ = true;
            break;
        case 0xEE:
            // Adobe: version, two flag words, then the colour transform; 0 is RGB.
            if (length >= 12 && std::memcmp(p, "Adobe", 5) == 0) {
                adobe_ = true;
                rgb_ = p[11] == 0;
            }
            break;
        default:
            // Other frame kinds (lossless, hierarchical, arithmetic coding), DNL and the
            // hierarchical markers are refused; APPn, COM and reserved markers carry nothing
            // needed here.
            ok = !(marker >= 0xC0 && marker <= 0xDF);
            break;
    }
    return ok ? Step::Continue : Step::Fail;
}

bool Decoder::Frame(int marker, const uint8_t* p, size_t length) {
    if (length < 6) return false;
    const int precision = p[0];
    height_ = static_cast<int>(Be16(p + 1));
    width_ = static_cast<int>(Be16(p + 3));
    count_ = p[5];
    // A height of 0 is given later by a DNL marker.
    if (precision != 8 || height_ == 0 || width_ == 0 || (count_ != 1 && count_ != 3) ||
        length != 6 + 3 * static_cast<size_t>(count_))
        return false;
    progressive_ = marker == 0xC2;
    for (int i = 0; i < count_; ++i) {
        Component& c = components_[i];
        c.id = p[6 + 3 * i];
        c.h = p[7 + 3 * i] >> 4;
        c.v = p[7 + 3 * i] & 15;
        c.quantTable = p[8 + 3 * i];
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.quantTable > 3) return false;
        for (int j = 0; j < i; ++j)
            if (components_[j].id == c.id) return false;
        hMax_ = std::max(hMax_, c.h);
        vMax_ = std::max(vMax_, c.v);
    }
    mcusWide_ = CeilDiv(width_, 8 * hMax_);
    mcusHigh_ = CeilDiv(height_, 8 * vMax_);
    // Every block costs at least a bit in the scan that brings its DC term, so a frame with
    // more blocks than the rest of the file has bits is a lie: refuse it before allocating.
    int64_t coded = 0;
    for (int i = 0; i < count_; ++i) {
        Component& c = components_[i];
        // One component is coded on its own, in blocks of the picture, whatever its factors.
        const int ch = count_ == 1 ? hMax_ : c.h, cv = count_ == 1 ? vMax_ : c.v;
        c.codedWide = CeilDiv(CeilDiv(width_ * ch, hMax_), 8);
        c.codedHigh = CeilDiv(CeilDiv(height_ * cv, vMax_), 8);
        c.blocksWide = mcusWide_ * c.h;
        c.blocksHigh = mcusHigh_ * c.v;
        coded += int64_t{c.codedWide} * c.codedHigh;
    }
    if (coded > static_cast<int64_t>(file_.size() - pos_) * 8) return false;
    frameRead_ = true;
    return true;
}

bool Decoder::Tables(const uint8_t* p, size_t length) {
    size_t at = 0;
    while (at < length) {
        if (length - at < 17) return false;
        const int kind = p[at] >> 4, slot = p[at] & 15;
        if (kind > 1 || slot > 3) return false;
        int total = 0;
        for (int i = 0; i < 16; ++i) total += p[at + 1 + i];
        if (total > 256 || length - at - 17 < static_cast<size_t>(total)) return false;
        HuffTable& t = kind == 0 ? dcTables_[slot] : acTables_[slot];
        if (!BuildTable(t, p + at + 1, p + at + 17, total)) return false;
        at += 17 + static_cast<size_t>(total);
    }
    return true;
}

bool Decoder::Quantization(const uint8_t* p, size_t length) {
    size_t at = 0;
    while (at < length) {
        const int wide = p[at] >> 4, slot = p[at] & 15;
        if (wide > 1 || slot > 3) return false;
        const size_t size = 1 + 64 * (wide + 1);
        if (length - at < size) return false;
        // Only the first entry, the DC step, is needed.
        const int32_t dc = wide ? static_cast<int32_t>(Be16(p + at + 1)) : p[at + 1];
        if (dc == 0) return false;
        quant_[slot] = {true, dc};
        at += size;
    }
    return true;
}

std::optional<JpegDcImage> Decoder::Run() {
    if (!ReadFrame()) return std::nullopt;
    for (int i = 0; i < count_; ++i) {
        Component& c = components_[i];
        c.dc.assign(static_cast<size_t>(c.blocksWide) * static_cast<size_t>(c.blocksHigh), 0);
    }
    for (;;) {
        switch (Next()) {
            case Step::Continue:
                break;
            case Step::Done:
                return ColourKnown() ? std::optional(Image()) : std::nullopt;
            case Step::Fail:
                return std::nullopt;
        }
    }
}

bool Decoder::Complete() const {
    for (int i = 0; i < count_; ++i) {
        const Component& c = components_[i];
        if (progressive_ ? c.successiveLow < 0 : !c.scanned) return false;
    }
    return true;
}

bool Decoder::DcFinal() const {
    for (int i = 0; i < count_; ++i)
        if (progressive_ && components_[i].successiveLow != 0) return false;
    return true;
}

bool Decoder::Scan(const uint8_t* p, size_t length) {
    if (length < 1) return false;
    const int n = p[0];
    if (n < 1 || n > count_ || length != 4 + 2 * static_cast<size_t>(n)) return false;
    const int ss = p[1 + 2 * n], se = p[2 + 2 * n];
    const int ah = p[3 + 2 * n] >> 4, al = p[3 + 2 * n] & 15;
    std::array<ScanPart, kMaxComponents> parts{};
    int blocksPerMcu = 0;
    for (int i = 0; i < n; ++i) {
        const int id = p[1 + 2 * i];
        const int dc = p[2 + 2 * i] >> 4, ac = p[2 + 2 * i] & 15;
        Component* c = nullptr;
        for (int j = 0; j < count_; ++j)
            if (components_[j].id == id) c = &components_[j];
        if (c == nullptr || dc > 3 || ac > 3) return false;
        for (int j = 0; j < i; ++j)
            if (parts[j].c == c) return false;
        parts[i] = {c, &dcTables_[dc], &acTables_[ac], 0};
        blocksPerMcu += c->h * c->v;
    }
    if (n > 1 && blocksPerMcu > 10) return false;

    ScanKind kind = ScanKind::Sequential;
    if (!progressive_) {
        if (ss != 0 || se != 63 || ah != 0 || al != 0) return false;
        for (int i = 0; i < n; ++i) {
            if (parts[i].c->scanned || !parts[i].dc->defined || !parts[i].ac->defined) return false;
            if (!parts[i].ac->skipReady) BuildSkip(*parts[i].ac);
            parts[i].c->scanned = true;
        }
    } else if (ss != 0) {
        // AC terms play no part at 1/8: the scan's data is passed over unread.
        if (se < ss || se > 63 || n != 1 || ah > 13 || al > 13 || parts[0].c->successiveLow < 0)
            return false;
        return SkipEntropyData();
    } else {
        if (se != 0 || al > 13) return false;
        kind = ah == 0 ? ScanKind::DcFirst : ScanKind::DcRefine;
        for (int i = 0; i < n; ++i) {
            Component& c = *parts[i].c;
            if (kind == ScanKind::DcFirst) {
                if (c.successiveLow >= 0 || !parts[i].dc->defined) return false;
            } else if (c.successiveLow != ah || al != ah - 1) {
                return false;
            }
            c.successiveLow = al;
        }
    }
    for (int i = 0; i < n; ++i) {
        Component& c = *parts[i].c;
        if (kind == ScanKind::DcRefine) continue;
        if (!quant_[c.quantTable].defined) return false;
        c.quantDc = quant_[c.quantTable].dc;
    }
    scanRead_ = true;
    switch (kind) {
        case ScanKind::Sequential:
            return DecodeScan<ScanKind::Sequential>(parts.data(), n, al);
        case ScanKind::DcFirst:
            return DecodeScan<ScanKind::DcFirst>(parts.data(), n, al);
        case ScanKind::DcRefine:
            return DecodeScan<ScanKind::DcRefine>(parts.data(), n, al);
    }
    return false;
}

template <ScanKind kind>
bool Decoder::DecodeScan(ScanPart* parts, int count, int low) {
    BitReader in(file_, pos_);
    // A DC term shifted into place must fit the 16-bit plane.
    const int32_t predLow = INT16_MIN >> low, predHigh = INT16_MAX >> low;
    const auto block = [&](ScanPart & part, int16_t & out) __attribute__((always_inline)) {
        if constexpr (kind == ScanKind::DcRefine) {
            if (in.Bits() < 1) in.Refill();
            out = static_cast<int16_t>(out | static_cast<int32_t>(in.Take(1)) << low);
            return true;
        } else {
            in.Refill();
            int32_t diff = 0;
            if (!DecodeDcDiff(in, *part.dc, diff)) return false;
            part.pred += diff;
            if (part.pred < predLow || part.pred > predHigh) return false;
            out = static_cast<int16_t>(part.pred * (1 << low));
            if constexpr (kind == ScanKind::Sequential) return SkipAc(in, *part.ac);
            return true;
        }
    };

    // One component alone is coded block by block over its own extent; several are coded in
    // MCUs of each one's h x v blocks.
    const bool single = count == 1;
    const int wide = single ? parts[0].c->codedWide : mcusWide_;
    const int high = single ? parts[0].c->codedHigh : mcusHigh_;
    int untilRestart = restartInterval_;
    int nextRestart = 0;
    for (int y = 0; y < high; ++y) {
        for (int x = 0; x < wide; ++x) {
            if (restartInterval_ != 0) {
                if (untilRestart == 0) {
                    if (const auto m = in.Restart(nextRestart); m != BitReader::Marker::Restart)
                        return m == BitReader::Marker::Other && CutShort();
                    nextRestart = (nextRestart + 1) & 7;
                    untilRestart = restartInterval_;
                    for (int i = 0; i < count; ++i) parts[i].pred = 0;
                }
                --untilRestart;
            }
            bool ok = true;
            if (single) {
                Component& c = *parts[0].c;
                ok = block(parts[0], c.dc[static_cast<size_t>(y) * c.blocksWide + x]);
            } else {
                for (int i = 0; ok && i < count; ++i) {
                    Component& c = *parts[i].c;
                    for (int v = 0; ok && v < c.v; ++v) {
                        int16_t* row = &c.dc[static_cast<size_t>(y * c.v + v) * c.blocksWide +
                                             static_cast<size_t>(x * c.h)];
                        for (int h = 0; ok && h < c.h; ++h) ok = block(parts[i], row[h]);
                    }
                }
            }
            // Bits that fail to decode, or run out, where the data stops: a file cut short
            // (or a marker where data should be), shown as far as it goes.
            if (!ok || in.Overran()) return in.RanOut() && CutShort();
        }
    }
    if (!in.EndSegment()) return in.Position() >= file_.size() && CutShort();
    // EndSegment leaves the reader at the marker's code; the marker loop wants its 0xFF.
    pos_ = in.Position() - 1;
    return true;
}

bool Decoder::CutShort() {
    cutShort_ = true;
    pos_ = file_.size();
    return true;
}

bool Decoder::SkipEntropyData() {
    for (;;) {
        const void* ff = std::memchr(file_.data() + pos_, 0xFF, file_.size() - pos_);
        if (ff == nullptr) return CutShort();
        pos_ = static_cast<size_t>(static_cast<const uint8_t*>(ff) - file_.data());
        if (pos_ + 1 >= file_.size()) return CutShort();
        const uint8_t next = file_[pos_ + 1];
        if (next == 0xFF) {
            ++pos_;  // a fill byte before a marker
        } else if (next == 0 || (next >= 0xD0 && next <= 0xD7)) {
            pos_ += 2;  // stuffed byte or restart marker: still inside the scan
        } else {
            return true;
        }
    }
}

JpegDcImage Decoder::Image() const {
    JpegDcImage image;
    image.naturalWidth = width_;
    image.naturalHeight = height_;
    image.components = count_;
    image.width = CeilDiv(width_, 8);
    image.height = CeilDiv(height_, 8);
    const auto outWide = static_cast<size_t>(image.width);
    image.pixels.resize(outWide * static_cast<size_t>(image.height) * 4);

    // One row of samples per component at a time; a subsampled component's block covers
    // several output pixels.
    std::array<std::vector<uint8_t>, kMaxComponents> samples;
    std::array<std::vector<int>, kMaxComponents> columns;
    for (int i = 0; i < count_; ++i) {
        samples[i].resize(outWide);
        columns[i].resize(outWide);
        for (size_t x = 0; x < outWide; ++x)
            columns[i][x] = static_cast<int>(x) * components_[i].h / hMax_;
    }
    uint8_t* out = image.pixels.data();
    for (int y = 0; y < image.height; ++y) {
        for (int i = 0; i < count_; ++i) {
            const Component& c = components_[i];
            const int16_t* row = &c.dc[static_cast<size_t>(y * c.v / vMax_) * c.blocksWide];
            for (size_t x = 0; x < outWide; ++x) {
                const int32_t dc = row[columns[i][x]] * c.quantDc;
                // The block's mean is DC / 8, rounded, around the level shift of 128.
                samples[i][x] = Clamp255(((dc + 4) >> 3) + 128);
            }
        }
        for (size_t x = 0; x < outWide; ++x, out += 4) {
            if (count_ == 1) {
                out[0] = out[1] = out[2] = samples[0][x];
            } else if (rgb_) {
                out[0] = samples[2][x];
                out[1] = samples[1][x];
                out[2] = samples[0][x];
            } else {
                // JFIF's YCbCr to RGB, in 16.16 fixed point.
                const int32_t luma = samples[0][x] << 16;
                const int32_t cb = samples[1][x] - 128, cr = samples[2][x] - 128;
                constexpr int32_t kHalf = 1 << 15;
                out[0] = Clamp255((luma + 116130 * cb + kHalf) >> 16);
                out[1] = Clamp255((luma - 22554 * cb - 46802 * cr + kHalf) >> 16);
                out[2] = Clamp255((luma + 91881 * cr + kHalf) >> 16);
            }
            out[3] = 0xFF;
        }
    }
    return image;
}

}  // namespace

std::optional<JpegDcFrame> ReadJpegDcFrame(std::span<const uint8_t> file) noexcept {
    try {
        // On the heap: its tables take some 40 KiB.
        const auto d = std::make_unique<Decoder>(file);
        if (!d->ReadFrame()) return std::nullopt;
        return JpegDcFrame{d->width_, d->height_, d->count_};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<JpegDcImage> DecodeJpegDc(std::span<const uint8_t> file) noexcept {
    try {
        return std::make_unique<Decoder>(file)->Run();
    } catch (const std::exception&) {
        // Out of memory for the planes or the image: the caller decodes the full way.
        return std::nullopt;
    }
}

}  // namespace qcd
