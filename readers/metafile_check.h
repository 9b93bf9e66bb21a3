// Whether a metafile may be handed to the platform's metafile player, which trusts every count
// in the file and crashes or loops on damaged ones. Portable code; one pass over the records,
// every count, size, offset and object index checked against the bytes present. A file that
// fails is not drawn at all, so the rules are strict wherever the player is fragile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qcd {

// Work the player is allowed for one file.
inline constexpr size_t kMaxMetafileSize = 32u << 20;
inline constexpr uint32_t kMaxMetafileRecords = 1'000'000;
// Points of lines, curves and polygons, characters of text and rectangles of regions together.
inline constexpr uint64_t kMaxMetafilePoints = 4'000'000;
// What a record that paints a region (fill, frame, invert, paint) counts besides its
// rectangles: 2,000 of them at most.
inline constexpr uint64_t kMetafileRegionRecordPoints = kMaxMetafilePoints / 2'000;
// And what a record of text counts besides its characters (about 50 us each, however short):
// 3,000 of them at most.
inline constexpr uint64_t kMetafileTextRecordPoints = kMaxMetafilePoints / 3'000;
// Bytes of the bitmaps once decoded (a run-length bitmap can be far larger than its bits).
inline constexpr uint64_t kMaxMetafileBitmapBytes = 256u << 20;
inline constexpr uint32_t kMaxMetafileSaveDepth = 1024;
// Bitmap sides and blit extents; blit positions may lie further out.
inline constexpr int32_t kMaxMetafileExtent = 65535;
inline constexpr int32_t kMaxMetafileCoordinate = 1 << 20;
// The player's curve and wide-pen rasterizer crashes or runs for minutes on shapes some
// 500,000 pixels across. Curves and pens are measured in pixels of a preview at most
// kMaxMetafileViewSide on a side, through the picture's scale, mapping mode and transform.
inline constexpr double kMaxMetafileViewSide = 2048;
inline constexpr double kMaxMetafileCurvePixels = 1 << 17;
// It fills polygons and paths in time along their edges: the sides of every shape's bounding
// box together, in the same pixels.
inline constexpr double kMaxMetafileDrawnPixels = 1 << 27;

// The first rule a file breaks.
enum class MetafileFault : uint8_t {
    None,
    TooLarge,     // over kMaxMetafileSize or kMaxMetafileRecords
    Header,       // the header's own fields, a picture under a pixel
    RecordSize,   // a record too short for its fields, unaligned or past the end
    End,          // the end record missing or not last, the file's length not the header's
    ObjectIndex,  // an object index outside the table, a free slot, or no free slot to create in
    Points,       // point and polygon counts
    Text,         // string and spacing counts and offsets
    Bitmap,       // a bitmap's header, colour table or bits
    Extent,       // blit positions and extents, curves and pens too large once scaled
    Parameters,   // any other count or size inside a record
    Budget,       // more work than the limits above
    Unsupported,  // brushes and pens whose fields the player takes as pointers or handles,
                  // driver escapes, OpenGL and old device-dependent bitmap records
};

// A plain or placeable (22-byte header, key 0x9AC6CDD7) Windows metafile.
MetafileFault CheckWmf(std::span<const uint8_t> file);
// An enhanced metafile.
MetafileFault CheckEmf(std::span<const uint8_t> file);

inline bool IsSafeWmf(std::span<const uint8_t> file) {
    return CheckWmf(file) == MetafileFault::None;
}
inline bool IsSafeEmf(std::span<const uint8_t> file) {
    return CheckEmf(file) == MetafileFault::None;
}

}  // namespace qcd
