#include "readers/avi_check.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "sparse_file.h"
#include "test_bytes.h"

namespace qcd {

void PrintTo(AviFault fault, std::ostream* os) {
    *os << "fault " << static_cast<int>(fault);
}

namespace {

using test::Bytes;
using test::Put16;
using test::Put32;
using F = AviFault;

uint32_t Get32(const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}

void PutId(Bytes& b, size_t at, const char* id) {
    std::copy(id, id + 4, b.begin() + static_cast<long>(at));
}

bool IdIs(const Bytes& b, size_t at, const char* id) {
    return std::equal(id, id + 4, b.begin() + static_cast<long>(at));
}

// Where the `nth` chunk named `name` (its id, or a list's type) starts in the list at `list`.
size_t Child(const Bytes& f, size_t list, const char* name, int nth = 0) {
    const size_t end = list + 8 + Get32(f, list + 4);
    for (size_t at = list + 12; at + 8 <= end; at += 8 + ((Get32(f, at + 4) + 1) & ~1u))
        if (IdIs(f, IdIs(f, at, "LIST") ? at + 8 : at, name) && nth-- == 0) return at;
    ADD_FAILURE() << "no " << name;
    return 0;
}

// A real file and its chunks, found by walking it.
struct Avi {
    Bytes f;
    size_t hdrl, avih, movi, idx1;
    explicit Avi(const std::string& name) {
        std::ifstream in(std::string(QCD_TEST_DATA) + "/avi/" + name, std::ios::binary);
        f.assign(std::istreambuf_iterator<char>(in), {});
        hdrl = Child(f, 0, "hdrl");
        avih = Child(f, hdrl, "avih") + 8;
        movi = Child(f, 0, "movi");
        idx1 = Child(f, 0, "idx1");
    }
    size_t Strh(int stream) const { return Child(f, Child(f, hdrl, "strl", stream), "strh"); }
    size_t Strf(int stream) const { return Child(f, Child(f, hdrl, "strl", stream), "strf"); }
    size_t Frame(int n) const { return Child(f, movi, "00dc", n); }
    size_t MovieEnd() const { return movi + 8 + Get32(f, movi + 4); }
    // Bytes put in at `at`, inside the RIFF and, when `inMovie`, the movie.
    void Insert(size_t at, const Bytes& bytes, bool inMovie = true) {
        f.insert(f.begin() + static_cast<long>(at), bytes.begin(), bytes.end());
        Grow(static_cast<int64_t>(bytes.size()), inMovie);
    }
    void Erase(size_t from, size_t to, bool inMovie = true) {
        f.erase(f.begin() + static_cast<long>(from), f.begin() + static_cast<long>(to));
        Grow(-static_cast<int64_t>(to - from), inMovie);
    }
    void Grow(int64_t by, bool inMovie) {
        Put32(f, 4, static_cast<uint32_t>(Get32(f, 4) + by));
        if (inMovie) Put32(f, movi + 4, static_cast<uint32_t>(Get32(f, movi + 4) + by));
    }
    // Every stream number in the movie and the index.
    void RenumberStreams(const char* number, bool movie, bool index) {
        for (size_t at = movi + 12; movie && at < MovieEnd();
             at += 8 + ((Get32(f, at + 4) + 1) & ~1u))
            std::copy(number, number + 2, f.begin() + static_cast<long>(at));
        for (size_t at = idx1 + 8; index && at < f.size(); at += 16)
            std::copy(number, number + 2, f.begin() + static_cast<long>(at));
    }
};

Bytes Chunk(const char* id, Bytes data) {
    Bytes b(8);
    PutId(b, 0, id);
    Put32(b, 4, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes Repeat(const Bytes& b, size_t times) {
    Bytes r(b.size() * times);
    for (size_t at = 0; at < r.size(); at += b.size())
        std::copy(b.begin(), b.end(), r.begin() + static_cast<long>(at));
    return r;
}

const char* const kRealFiles[] = {"cram_pcm.avi", "cram_ima.avi", "raw_msadpcm.avi",
                                  "raw24.avi",    "raw8.avi",     "cvid.avi"};

TEST(AviCheck, RealFilesPass) {
    for (const char* name : kRealFiles) EXPECT_EQ(CheckAvi(Avi(name).f), F::None) << name;
}

// Chunks of a file that fields are changed in, from their headers.
enum class In { Avih, VideoStrh, VideoStrf, AudioStrf, HeaderJunk, Frame, Index };

using Damage = std::function<void(Avi&)>;

Damage Set(In in, size_t offset, uint32_t value, int bytes = 4) {
    return [=](Avi& a) {
        const size_t at = in == In::Avih         ? a.avih - 8
                          : in == In::VideoStrh  ? a.Strh(0)
                          : in == In::VideoStrf  ? a.Strf(0)
                          : in == In::AudioStrf  ? a.Strf(1)
                          : in == In::HeaderJunk ? Child(a.f, a.hdrl, "JUNK")
                          : in == In::Frame      ? a.Frame(0)
                                                 : a.idx1;
        if (bytes == 2)
            Put16(a.f, at + offset, static_cast<uint16_t>(value));
        else
            Put32(a.f, at + offset, value);
    };
}

TEST(AviCheck, DamagedFilesAreRefusedWithTheirFault) {
    const uint32_t txts = 0x73747874, h264 = 0x34363248;
    const struct {
        const char* file;
        const char* what;
        Damage damage;
        F fault;
    } cases[] = {
        {"cram_pcm.avi", "avih of size 0", Set(In::Avih, 4, 0), F::MainHeader},
        {"cram_pcm.avi", "no frames counted", Set(In::Avih, 8 + 16, 0), F::MainHeader},
        {"cram_pcm.avi", "no streams", Set(In::Avih, 8 + 24, 0), F::Streams},
        {"cram_pcm.avi", "no frame rate", Set(In::VideoStrh, 8 + 24, 0), F::StreamHeader},
        {"cram_pcm.avi", "4 GB frame buffer", Set(In::VideoStrh, 8 + 36, 0xFFFFFFFF), F::StreamHeader},
        {"cram_pcm.avi", "no video", Set(In::VideoStrh, 8, txts), F::NoVideo},
        {"cram_pcm.avi", "height INT_MIN", Set(In::VideoStrf, 8 + 8, 0x80000000), F::VideoFormat},
        {"raw24.avi", "2^30 by 4",
         [](Avi& a) {
             Set(In::VideoStrf, 8 + 4, 1u << 30)(a);
             Set(In::VideoStrf, 8 + 8, 4)(a);
         },
         F::VideoFormat},
        {"cram_pcm.avi", "H.264", Set(In::VideoStrf, 8 + 16, h264), F::VideoFormat},
        {"raw8.avi", "palette past the chunk", Set(In::VideoStrf, 8, 44), F::VideoFormat},
        {"cram_pcm.avi", "sound of no rate", Set(In::AudioStrf, 8 + 4, 0), F::AudioFormat},
        {"cram_pcm.avi", "PCM block", Set(In::AudioStrf, 8 + 12, 3, 2), F::AudioFormat},
        {"raw_msadpcm.avi", "six coefficients", Set(In::AudioStrf, 8 + 20, 6, 2), F::AudioFormat},
        {"cram_ima.avi", "IMA block", Set(In::AudioStrf, 8 + 18, 2040, 2), F::AudioFormat},
        {"cram_pcm.avi", "zeros for an id", Set(In::HeaderJunk, 0, 0), F::ChunkId},
        {"cram_pcm.avi", "size wraps onto itself", Set(In::Frame, 4, 0xFFFFFFF8), F::ChunkSize},
        {"cram_pcm.avi", "stream 99", [](Avi& a) { a.RenumberStreams("99", true, true); },
         F::StreamNumber},
        {"cram_pcm.avi", "stream 99 in the index",
         [](Avi& a) { a.RenumberStreams("99", false, true); }, F::StreamNumber},
        {"cram_pcm.avi", "1 MB Video 1 frame",
         [](Avi& a) {
             const size_t frame = a.Frame(0);
             a.Insert(frame + 8, Bytes((1u << 20) - Get32(a.f, frame + 4), 0));
             Put32(a.f, frame + 4, 1u << 20);
         },
         F::FrameSize},
        {"raw24.avi", "short RGB frame",
         [](Avi& a) {
             const size_t frame = a.Frame(0);
             a.Erase(frame + 8, frame + 12);
             Put32(a.f, frame + 4, Get32(a.f, frame + 4) - 4);
         },
         F::FrameSize},
        {"cram_pcm.avi", "frame in 1,000 records",
         [](Avi& a) {
             const size_t frame = a.Frame(0);
             Bytes nest(a.f.begin() + static_cast<long>(frame),
                        a.f.begin() + static_cast<long>(frame + 8 + Get32(a.f, frame + 4)));
             for (int i = 0; i < 1000; ++i) {
                 const Bytes rec = {'r', 'e', 'c', ' '};
                 nest.insert(nest.begin(), rec.begin(), rec.end());
                 nest = Chunk("LIST", nest);
             }
             a.Insert(a.movi + 12, nest);
         },
         F::Nesting},
        {"cram_pcm.avi", "empty movie, index of frames",
         [](Avi& a) { a.Erase(a.movi + 12, a.MovieEnd()); }, F::NoFrames},
        {"cram_pcm.avi", "empty movie, no index",
         [](Avi& a) {
             PutId(a.f, a.idx1, "JUNK");
             a.Erase(a.movi + 12, a.MovieEnd());
         },
         F::NoFrames},
        {"cram_pcm.avi", "cut in the header", [](Avi& a) { a.f.resize(a.avih + 30); },
         F::Truncated},
        {"raw24.avi", "cut in the last frame", [](Avi& a) { a.f.resize(a.Frame(4) + 1000); },
         F::Truncated},
        {"cram_pcm.avi", "index entry moved", Set(In::Index, 8 + 8, 6), F::Index},
    };
    for (const auto& c : cases) {
        Avi a(c.file);
        c.damage(a);
        EXPECT_EQ(CheckAvi(a.f), c.fault) << c.what;
    }
}

TEST(AviCheck, WorkIsBoundedAndReadInBlocks) {
    // A movie of 200 MB of zeros, as a sparse file: refused at its first chunk.
    Avi zeros("cram_pcm.avi");
    zeros.f.resize(zeros.movi + 12);
    test::SparseFile sparse(zeros.f, zeros.f.size() + (200u << 20));
    Put32(sparse.head, 4, static_cast<uint32_t>(sparse.Size() - 8));
    Put32(sparse.head, zeros.movi + 4, 200u << 20);
    EXPECT_EQ(CheckAvi(sparse), F::ChunkId);
    EXPECT_LE(sparse.reads, 2);

    // Ten thousand chunks of padding behind the frames take a few block reads; a budget's
    // worth are refused.
    const Bytes pad = Chunk("JUNK", {});
    Avi padded("cram_pcm.avi");
    padded.Insert(padded.MovieEnd(), Repeat(pad, 10'000));
    test::SparseFile counted(padded.f, padded.f.size());
    EXPECT_EQ(CheckAvi(counted), F::None);
    EXPECT_LE(counted.reads, 4);
    Avi many("cram_pcm.avi");
    many.Insert(many.MovieEnd(), Repeat(pad, kMaxAviChunks));
    EXPECT_EQ(CheckAvi(many.f), F::Budget);

    // Past kAviFullCheckSize the movie is read no further than its first chunks: zeros
    // behind the padding are refused in a small file only.
    Avi head("raw24.avi");
    head.f.resize(head.MovieEnd());
    head.Insert(head.f.size(), Repeat(pad, kAviHeaderOnlyChunks));
    const auto check = [&](uint64_t size) {
        test::SparseFile file(head.f, size);
        Put32(file.head, 4, static_cast<uint32_t>(size - 8));
        Put32(file.head, head.movi + 4, static_cast<uint32_t>(size - head.movi - 8));
        return CheckAvi(file);
    };
    EXPECT_EQ(check(head.f.size() + 64), F::ChunkId);
    EXPECT_EQ(check(kAviFullCheckSize + 64), F::None);
}

}  // namespace
}  // namespace qcd
