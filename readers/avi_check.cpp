#include "readers/avi_check.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <vector>

#include "readers/little_endian.h"

namespace qcd {

namespace {

using le::U16;
using le::U32;

constexpr uint32_t Id(const char (&s)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

constexpr uint32_t kRiff = Id("RIFF"), kList = Id("LIST"), kJunk = Id("JUNK");

bool Printable(uint32_t id) {
    for (int i = 0; i < 4; ++i) {
        const uint8_t c = static_cast<uint8_t>(id >> (8 * i));
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

uint32_t Lower(uint32_t id) {
    uint32_t r = 0;
    for (int i = 0; i < 4; ++i) {
        uint8_t c = static_cast<uint8_t>(id >> (8 * i));
        if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c - 'A' + 'a');
        r |= static_cast<uint32_t>(c) << (8 * i);
    }
    return r;
}

std::optional<uint32_t> HexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return std::nullopt;
}

// The stream a data chunk belongs to, read as the player reads it: two hex digits.
std::optional<uint32_t> StreamOf(uint32_t id) {
    const auto hi = HexDigit(static_cast<uint8_t>(id)),
               lo = HexDigit(static_cast<uint8_t>(id >> 8));
    if (!hi || !lo) return std::nullopt;
    return *hi << 4 | *lo;
}

uint16_t TwoCc(const char (&s)[3]) {
    return static_cast<uint16_t>(static_cast<uint8_t>(s[0]) | static_cast<uint8_t>(s[1]) << 8);
}

// A few blocks of the file, the least recently used replaced: a walk over small chunks reads
// each block once, and the index check moves between the index and the movie it names.
class BlockCache {
  public:
    explicit BlockCache(FileReader& file) : file_(file), size_(file.Size()) {}

    uint64_t Size() const { return size_; }

    // False when the bytes are not all there.
    bool Read(uint64_t offset, std::span<uint8_t> out) {
        if (offset > size_ || out.size() > size_ - offset) return false;
        size_t done = 0;
        while (done < out.size()) {
            const uint64_t at = offset + done;
            const Block& block = Load(at / kBlockSize);
            const size_t within = static_cast<size_t>(at % kBlockSize);
            if (within >= block.bytes) return false;
            const size_t n = std::min(out.size() - done, block.bytes - within);
            std::copy_n(block.data.begin() + static_cast<long>(within), n,
                        out.begin() + static_cast<long>(done));
            done += n;
        }
        return true;
    }

  private:
    static constexpr size_t kBlockSize = 64u << 10;

    struct Block {
        uint64_t index = std::numeric_limits<uint64_t>::max();
        size_t bytes = 0;
        uint64_t used = 0;
        std::vector<uint8_t> data;
    };

    const Block& Load(uint64_t index) {
        if (last_ && last_->index == index) return *last_;
        ++clock_;
        Block* oldest = &blocks_[0];
        for (Block& b : blocks_) {
            if (b.index == index) {
                b.used = clock_;
                last_ = &b;
                return b;
            }
            if (b.used < oldest->used) oldest = &b;
        }
        oldest->data.resize(kBlockSize);
        oldest->index = index;
        oldest->used = clock_;
        oldest->bytes = file_.ReadAt(index * kBlockSize, oldest->data);
        last_ = oldest;
        return *oldest;
    }

    FileReader& file_;
    const uint64_t size_;
    std::array<Block, 4> blocks_;
    Block* last_ = nullptr;
    uint64_t clock_ = 0;
};

struct Chunk {
    uint64_t at = 0;  // the header
    uint32_t id = 0;
    uint32_t size = 0;
    uint32_t type = 0;  // a list's
    uint64_t Data() const { return at + 8; }
    uint64_t End() const { return at + 8 + size; }
    bool IsList(const char (&t)[5]) const { return id == kList && type == Id(t); }
};

// Where the chunk after `c` starts in a list ending at `end`: behind its pad byte, if present.
uint64_t After(const Chunk& c, uint64_t end) {
    return std::min(end, c.End() + (c.size & 1));
}

enum class StreamKind : uint8_t { Video, Audio, Other };

struct Stream {
    StreamKind kind = StreamKind::Other;
    // Video: the largest frame, or for uncompressed pictures the only size besides empty.
    uint64_t frameLimit = 0;
    bool exactFrames = false;
    // The player also takes chunks named after the compression or the handler as frames.
    uint16_t codecTwoCc = 0;
    uint16_t handlerTwoCc = 0;
};

// A chunk of the movie as the index should name it.
struct Placed {
    uint32_t at;  // from the movie's type field
    uint32_t id;
    uint32_t size;
};

// The pictures the player can draw: the platform's own bitmaps, and the three codecs it ships.
enum class Decoding : uint8_t { None, Uncompressed, Compressed };

Decoding DecodingOf(uint32_t compression, uint16_t bits) {
    constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;
    switch (compression) {
        case kBiRgb:
            return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32
                       ? Decoding::Uncompressed
                       : Decoding::None;
        case kBiBitfields:
            return bits == 16 || bits == 32 ? Decoding::Uncompressed : Decoding::None;
        case kBiRle8:
            return bits == 8 ? Decoding::Compressed : Decoding::None;
        case kBiRle4:
            return bits == 4 ? Decoding::Compressed : Decoding::None;
        default:
            break;
    }
    const uint32_t fourcc = Lower(compression);
    bool ok = false;
    if (fourcc == Id("cram") || fourcc == Id("msvc"))  // Video 1
        ok = bits == 8 || bits == 16;
    else if (fourcc == Id("cvid"))  // Cinepak
        ok = bits == 8 || bits == 24;
    else if (fourcc == Id("mrle") || fourcc == Id("rle "))  // run lengths
        ok = bits == 4 || bits == 8;
    return ok ? Decoding::Compressed : Decoding::None;
}

uint64_t Stride(int64_t width, uint32_t bits) {
    return (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
}

#define QCD_RETURN_IF_FAULT(expr)                                                    \
    do {                                                                             \
        if (const AviFault fault_ = (expr); fault_ != AviFault::None) return fault_; \
    } while (0)

class AviChecker {
  public:
    explicit AviChecker(FileReader& file)
        : cache_(file), headerOnly_(file.Size() > kAviFullCheckSize) {}

    AviFault Run() {
        std::array<uint8_t, 12> head;
        if (!cache_.Read(0, head) || U32(head, 0) != kRiff || U32(head, 8) != Id("AVI "))
            return AviFault::Riff;
        const uint64_t end = 8 + uint64_t{U32(head, 4)};
        if (end > cache_.Size()) return AviFault::Truncated;
        if (end < 12) return AviFault::Riff;
        bool header = false, movie = false, index = false;
        for (uint64_t at = 12; end - at >= 8;) {
            Chunk c;
            QCD_RETURN_IF_FAULT(ReadChunk(at, end, c));
            if (c.IsList("hdrl") && !header) {
                QCD_RETURN_IF_FAULT(HeaderList(c));
                header = true;
            } else if (c.IsList("movi") && !movie) {
                // The player looks for the movie behind the header only.
                if (!header) return AviFault::Riff;
                QCD_RETURN_IF_FAULT(Movie(c));
                movie = true;
            } else if (c.id == Id("idx1") && movie && !index) {
                if (!headerOnly_) QCD_RETURN_IF_FAULT(IndexChunk(c));
                index = true;
            }
            at = After(c, end);
        }
        return header && movie ? AviFault::None : AviFault::Riff;
    }

  private:
    // The chunk at `at` in a list that ends at `end`.
    AviFault ReadChunk(uint64_t at, uint64_t end, Chunk& c) {
        if (++chunks_ > kMaxAviChunks) return AviFault::Budget;
        std::array<uint8_t, 8> head;
        if (!cache_.Read(at, head)) return AviFault::Truncated;
        c.at = at;
        c.id = U32(head, 0);
        c.size = U32(head, 4);
        if (!Printable(c.id)) return AviFault::ChunkId;
        // Sizes are added in 64 bits: one that wraps in 32 bits lands past the list.
        if (c.End() > end) return AviFault::ChunkSize;
        if (c.id == kList) {
            std::array<uint8_t, 4> type;
            if (c.size < 4) return AviFault::ChunkSize;
            if (!cache_.Read(c.Data(), type)) return AviFault::Truncated;
            c.type = U32(type, 0);
            if (!Printable(c.type)) return AviFault::ChunkId;
        }
        return AviFault::None;
    }

    // The children of a list; `visit` returns a fault to stop. Fewer than eight bytes left
    // at the end of a list are padding.
    template <typename Visit>
    AviFault Children(const Chunk& list, Visit visit) {
        const uint64_t end = list.End();
        for (uint64_t at = list.Data() + 4; end - at >= 8;) {
            Chunk c;
            QCD_RETURN_IF_FAULT(ReadChunk(at, end, c));
            QCD_RETURN_IF_FAULT(visit(c));
            at = After(c, end);
        }
        return AviFault::None;
    }

    AviFault HeaderList(const Chunk& hdrl) {
        bool main = false;
        uint32_t declared = 0;
        QCD_RETURN_IF_FAULT(Children(hdrl, [&](const Chunk& c) {
            if (c.id == Id("avih") && !main) {
                main = true;
                return MainHeader(c, declared);
            }
            if (c.IsList("strl")) {
                // The player finds the streams behind the main header, as many as it declares.
                if (!main) return AviFault::MainHeader;
                if (streams_.size() < declared) return StreamList(c);
            }
            return AviFault::None;
        }));
        if (!main) return AviFault::MainHeader;
        if (streams_.empty()) return AviFault::Streams;
        const auto video = std::find_if(streams_.begin(), streams_.end(), [](const Stream& s) {
            return s.kind == StreamKind::Video;
        });
        if (video == streams_.end()) return AviFault::NoVideo;
        video_ = static_cast<uint32_t>(video - streams_.begin());
        return AviFault::None;
    }

    AviFault MainHeader(const Chunk& avih, uint32_t& declared) {
        // The player reads 56 bytes whatever the chunk's size.
        std::array<uint8_t, 56> h;
        if (avih.size < h.size()) return AviFault::MainHeader;
        if (!cache_.Read(avih.Data(), h)) return AviFault::Truncated;
        totalFrames_ = U32(h, 16);
        declared = U32(h, 24);
        if (declared == 0) return AviFault::Streams;
        // It keeps the frames in a table of this many entries, and draws the last one it
        // filled: none is a read before the table. Every frame takes eight bytes at least.
        if (totalFrames_ == 0 || totalFrames_ > cache_.Size() / 8) return AviFault::MainHeader;
        return AviFault::None;
    }

    AviFault StreamList(const Chunk& strl) {
        std::optional<Chunk> strh, strf;
        QCD_RETURN_IF_FAULT(Children(strl, [&](const Chunk& c) {
            if (c.id == Id("strh") && !strh) strh = c;
            // The player looks for the format behind the stream header.
            if (c.id == Id("strf") && !strf) {
                if (!strh) return AviFault::Streams;
                strf = c;
            }
            return AviFault::None;
        }));
        std::array<uint8_t, 56> h;
        if (!strh || !strf || strh->size < h.size()) return AviFault::Streams;
        if (!cache_.Read(strh->Data(), h)) return AviFault::Truncated;
        Stream s;
        const uint32_t type = U32(h, 0);
        if (type == Id("vids")) {
            s.kind = StreamKind::Video;
            s.handlerTwoCc = U16(h, 4);
            // The frame time is scale / rate: a rate of zero is a wait without end.
            if (U32(h, 20) == 0 || U32(h, 24) == 0) return AviFault::StreamHeader;
            // The player allocates the frame buffer the header suggests; a 64-bit process gets
            // 4 GB when asked. No frame is larger than the file.
            if (U32(h, 36) > cache_.Size()) return AviFault::StreamHeader;
            QCD_RETURN_IF_FAULT(VideoFormat(*strf, s));
        } else if (type == Id("auds")) {
            s.kind = StreamKind::Audio;
            if (U32(h, 36) > kMaxAviBufferSize) return AviFault::StreamHeader;
            QCD_RETURN_IF_FAULT(AudioFormat(*strf));
        }
        streams_.push_back(s);
        return AviFault::None;
    }

    // A BITMAPINFOHEADER, its masks and palette, which the player and codecs read from the
    // chunk as loaded.
    AviFault VideoFormat(const Chunk& strf, Stream& s) {
        std::array<uint8_t, 40> h;
        if (strf.size < h.size()) return AviFault::VideoFormat;
        if (!cache_.Read(strf.Data(), h)) return AviFault::Truncated;
        const uint32_t headerSize = U32(h, 0);
        const int64_t width = static_cast<int32_t>(U32(h, 4));
        const int64_t height = static_cast<int32_t>(U32(h, 8));
        const uint16_t bits = U16(h, 14);
        const uint32_t compression = U32(h, 16);
        const uint32_t used = U32(h, 32);
        if (headerSize < h.size() || headerSize > strf.size) return AviFault::VideoFormat;
        if (width < 1 || width > kMaxAviSide || height == 0 || height < -kMaxAviSide ||
            height > kMaxAviSide)
            return AviFault::VideoFormat;
        const Decoding decoding = DecodingOf(compression, bits);
        if (decoding == Decoding::None) return AviFault::VideoFormat;
        // Top-down pictures are plain bitmaps only; the codecs take the sign as they please.
        if (height < 0 && decoding != Decoding::Uncompressed) return AviFault::VideoFormat;
        uint64_t colours = used;
        if (bits <= 8) {
            if (used > (1u << bits)) return AviFault::VideoFormat;
            if (used == 0) colours = 1u << bits;
        } else if (used > 256) {
            return AviFault::VideoFormat;
        }
        const uint64_t masks = compression == 3 && headerSize == 40 ? 12 : 0;
        if (headerSize + masks + colours * 4 > strf.size) return AviFault::VideoFormat;
        const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
        const uint64_t stride = Stride(width, bits);
        if (stride > UINT32_MAX || stride * rows > UINT32_MAX) return AviFault::VideoFormat;
        s.exactFrames = decoding == Decoding::Uncompressed;
        s.frameLimit = s.exactFrames ? stride * rows
                                     : 2 * Stride(width, std::max<uint32_t>(bits, 8)) * rows +
                                           kAviCompressedSlack;
        s.codecTwoCc = static_cast<uint16_t>(compression >> 16);
        return AviFault::None;
    }

    // A WAVEFORMATEX, which the sound mapper and its decoders trust.
    AviFault AudioFormat(const Chunk& strf) {
        constexpr uint16_t kPcm = 0x0001, kMsAdpcm = 0x0002, kImaAdpcm = 0x0011;
        std::array<uint8_t, 22> f{};
        if (strf.size < 16) return AviFault::AudioFormat;
        if (!cache_.Read(strf.Data(), std::span(f).first(std::min<size_t>(strf.size, f.size()))))
            return AviFault::Truncated;
        const uint16_t tag = U16(f, 0), channels = U16(f, 2), align = U16(f, 12), bits = U16(f, 14);
        const uint32_t rate = U32(f, 4);
        // A rate of zero hangs the player once the sound plays.
        if (channels == 0 || rate == 0 || align == 0) return AviFault::AudioFormat;
        const uint32_t extra = strf.size >= 18 ? U16(f, 16) : 0;
        if (tag != kPcm && (strf.size < 18 || 18 + extra > strf.size)) return AviFault::AudioFormat;
        const uint32_t perBlock = strf.size >= 20 ? U16(f, 18) : 0;
        bool ok = true;
        switch (tag) {
            case kPcm:
                ok = (bits == 8 || bits == 16 || bits == 24 || bits == 32) &&
                     align == uint32_t{channels} * bits / 8;
                break;
            case kMsAdpcm: {
                // Samples a block, then the coefficient table: seven pairs at least.
                const uint32_t coefficients = strf.size >= 22 ? U16(f, 20) : 0;
                ok = bits == 4 && extra >= 4 && align >= 7u * channels &&
                     perBlock == (align - 7u * channels) * 2 / channels + 2 && coefficients >= 7 &&
                     4 + 4 * coefficients <= extra;
                break;
            }
            case kImaAdpcm:
                ok = bits == 4 && extra >= 2 && align > 4u * channels &&
                     perBlock == (align - 4u * channels) * 2 / channels + 1;
                break;
            default:
                break;
        }
        return ok ? AviFault::None : AviFault::AudioFormat;
    }

    AviFault Movie(const Chunk& movi) {
        movieBase_ = movi.Data();
        const uint64_t end = movi.End();
        uint32_t walked = 0;
        for (uint64_t at = movi.Data() + 4; end - at >= 8;) {
            if (headerOnly_ && walked >= kAviHeaderOnlyChunks) break;
            Chunk c;
            QCD_RETURN_IF_FAULT(ReadChunk(at, end, c));
            ++walked;
            Place(c);
            if (c.id != kList) {
                QCD_RETURN_IF_FAULT(MovieChunk(c));
            } else {
                // Records hold chunks, never lists.
                if (c.type != Id("rec ")) return AviFault::Nesting;
                QCD_RETURN_IF_FAULT(Children(c, [&](const Chunk& inner) {
                    ++walked;
                    Place(inner);
                    return inner.id == kList ? AviFault::Nesting : MovieChunk(inner);
                }));
            }
            at = After(c, end);
        }
        return framesWithBits_ ? AviFault::None : AviFault::NoFrames;
    }

    AviFault MovieChunk(const Chunk& c) {
        if (c.id == kJunk) return AviFault::None;
        const auto n = StreamOf(c.id);
        if (!n) return AviFault::None;  // OpenDML's ix## and the like, which the player skips
        if (*n >= streams_.size()) return AviFault::StreamNumber;
        const Stream& s = streams_[*n];
        const uint16_t twoCc = static_cast<uint16_t>(c.id >> 16);
        const bool frame = s.kind == StreamKind::Video &&
                           (twoCc == TwoCc("db") || twoCc == TwoCc("dc") || twoCc == TwoCc("pc") ||
                            twoCc == s.codecTwoCc || twoCc == s.handlerTwoCc);
        if (!frame) return c.size > kMaxAviBufferSize ? AviFault::FrameSize : AviFault::None;
        // The player draws an uncompressed picture straight from the bits it read: a shorter
        // frame leaves it reading past them.
        if (s.exactFrames ? c.size != 0 && c.size != s.frameLimit : c.size > s.frameLimit)
            return AviFault::FrameSize;
        if (*n == video_) {
            if (videoChunks_ < totalFrames_ && c.size != 0) ++framesWithBits_;
            ++videoChunks_;
        }
        return AviFault::None;
    }

    void Place(const Chunk& c) {
        if (placed_.size() >= kMaxAviIndexEntries) {
            placedAll_ = false;
            return;
        }
        placed_.push_back({static_cast<uint32_t>(c.at - movieBase_), c.id, c.size});
    }

    // Entries are offsets from the movie's type field or, in some writers' files, from the
    // start of the file; the first entry tells which.
    AviFault IndexChunk(const Chunk& idx1) {
        if (idx1.size % 16 != 0) return AviFault::Index;
        const uint32_t entries = std::min(idx1.size / 16, kMaxAviIndexEntries);
        std::optional<uint64_t> base;
        for (uint32_t i = 0; i < entries; ++i) {
            std::array<uint8_t, 16> e;
            if (!cache_.Read(idx1.Data() + uint64_t{i} * 16, e)) return AviFault::Truncated;
            const uint32_t id = U32(e, 0), offset = U32(e, 8), size = U32(e, 12);
            if (const auto n = StreamOf(id); n && *n >= streams_.size())
                return AviFault::StreamNumber;
            if (!base) {
                if (Named(movieBase_ + offset, id, size))
                    base = movieBase_;
                else if (Named(offset, id, size))
                    base = 0;
                else
                    return AviFault::Index;
                continue;
            }
            const uint64_t at = *base + offset;
            if (Named(at, id, size)) continue;
            // Entries past the chunks kept are not compared.
            if (!placedAll_ && at > movieBase_ + placed_.back().at) break;
            return AviFault::Index;
        }
        return AviFault::None;
    }

    // Whether a chunk of the movie starts at `at` with this id and size.
    bool Named(uint64_t at, uint32_t id, uint32_t size) const {
        if (at < movieBase_ || at - movieBase_ > UINT32_MAX) return false;
        const auto rel = static_cast<uint32_t>(at - movieBase_);
        const auto it = std::lower_bound(placed_.begin(), placed_.end(), rel,
                                         [](const Placed& p, uint32_t v) { return p.at < v; });
        if (it == placed_.end() || it->at != rel || it->size != size) return false;
        return it->id == id || (it->id == kList && (id == Id("rec ") || id == kList));
    }

    BlockCache cache_;
    const bool headerOnly_;
    uint32_t chunks_ = 0;
    uint32_t totalFrames_ = 0;
    std::vector<Stream> streams_;
    uint32_t video_ = 0;
    uint64_t movieBase_ = 0;
    uint64_t videoChunks_ = 0;
    uint64_t framesWithBits_ = 0;
    std::vector<Placed> placed_;
    bool placedAll_ = true;
};

#undef QCD_RETURN_IF_FAULT

}  // namespace

AviFault CheckAvi(FileReader& file) {
    return AviChecker(file).Run();
}

AviFault CheckAvi(std::span<const uint8_t> file) {
    SpanReader reader(file);
    return CheckAvi(reader);
}

}  // namespace qcd
