// Whether a video may be handed to the platform's AVI player, which trusts every size, count and
// stream number in the file: it crashes on a short header or a frame it cannot place, hangs on a
// chunk whose size wraps onto itself or on audio of no rate, and reads every chunk of the movie
// list at open. Portable code; one walk over the RIFF structure with a budget, through a small
// cache of blocks, never the whole file in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "readers/file_reader.h"

namespace qcd {

// Larger files are checked by their header only: the stream headers and the first chunks of the
// movie. Measured against the player's own open time; may move.
inline constexpr uint64_t kAviFullCheckSize = uint64_t{1} << 30;
inline constexpr uint32_t kAviHeaderOnlyChunks = 256;
// Chunk headers read in one check, and index entries compared with the chunks they name.
inline constexpr uint32_t kMaxAviChunks = 1'000'000;
inline constexpr uint32_t kMaxAviIndexEntries = 250'000;
// Sound and other non-picture chunks, and the sound buffer the stream header asks for: the
// player allocates seven of them in one 32-bit size.
inline constexpr uint32_t kMaxAviBufferSize = 16u << 20;
inline constexpr int32_t kMaxAviSide = 32767;
// What a compressed frame may hold beyond twice its picture at eight bits or more a pixel (run
// lengths of single pixels double a picture; Video 1 and Cinepak stay under it).
inline constexpr uint32_t kAviCompressedSlack = 4096;

// The first rule a file breaks.
enum class AviFault : uint8_t {
    None,
    Riff,          // not RIFF 'AVI ', or no header list before a movie list
    Truncated,     // the RIFF chunk runs past the end of the file
    ChunkSize,     // a chunk past the end of its list, or a list too short for its type
    ChunkId,       // an id that is not four printable characters (zeros in a sparse file)
    Nesting,       // a list in the movie other than 'rec ', or any list inside one
    MainHeader,    // 'avih' missing, after the streams, under 56 bytes, no or too many frames
    Streams,       // no streams, 'strh' or 'strf' missing, short or out of order
    StreamHeader,  // a video stream without a frame rate or asking a buffer larger than the file,
                   // a sound buffer over the bound
    VideoFormat,   // the picture's header, sides, depth and compression, palette
    AudioFormat,   // the sound's format fields
    NoVideo,       // no 'vids' stream
    StreamNumber,  // a chunk or index entry for a stream the header does not list
    FrameSize,     // a frame larger than its picture allows, or a sound chunk over the bound
    NoFrames,      // no frame with bits among those the header counts
    Index,         // 'idx1' entries that do not name the chunks in the movie
    Budget,        // more chunks than kMaxAviChunks
};

// The file behind `file`, read in blocks through the reader.
AviFault CheckAvi(FileReader& file);
AviFault CheckAvi(std::span<const uint8_t> file);

inline bool IsPlayableAvi(FileReader& file) {
    return CheckAvi(file) == AviFault::None;
}
inline bool IsPlayableAvi(std::span<const uint8_t> file) {
    return CheckAvi(file) == AviFault::None;
}

}  // namespace qcd
