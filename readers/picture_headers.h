// What the picture preview reads from a file's own bytes: the size and colour depth in the
// BMP, GIF and JPEG headers, and the placeable header put in front of a plain metafile.
// Portable code; every reader works on the bytes actually read and checks them all.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace qcd {

// Chosen by the last three characters of the path, lower-cased, or for the longer names of
// the newer formats (.jpeg, .jfif, .tiff) by the whole extension.
enum class PictureHeaderKind : uint8_t { Bitmap, Gif, Jpeg, Png, Tiff, Other };
PictureHeaderKind HeaderKindForPath(std::u16string_view path);

enum class PictureInfoResult : uint8_t {
    Failed,     // the header is short or not of its format: nothing is shown
    Measured,   // width, height and bits are set
    Unchanged,  // any other kind: the caller's values stay as they were
};

struct PictureInfo {
    PictureInfoResult result = PictureInfoResult::Failed;
    int32_t width = 0;
    int32_t height = 0;
    int16_t bits = 0;
};

// Bytes that a reader of each kind looks at; a JPEG is scanned to its end.
inline constexpr size_t kBitmapHeaderSize = 54;
inline constexpr size_t kGifHeaderSize = 13;

// "BM", then the size and depth of the info header (or of an old 12-byte core header).
// A top-down bitmap's negative height is reported as its magnitude.
PictureInfo ReadBitmapInfo(std::span<const uint8_t> file);
// "GIF", then the 16-bit screen size and the depth from the colour resolution r:
// 1 bit for r = 1, 4 for r = 2 or 3, else 8.
PictureInfo ReadGifInfo(std::span<const uint8_t> file);
// The IHDR chunk's size, and its bit depth times its channels (a palette's entries count as
// one channel).
PictureInfo ReadPngInfo(std::span<const uint8_t> file);
// The first image directory's width, length, and bits per sample times samples per pixel
// (one sample of one bit when the tags are absent), in either byte order.
PictureInfo ReadTiffInfo(std::span<const uint8_t> file);
// The size in the frame header of a JPEG, found by walking its segments from the start (so not
// a thumbnail's inside an Exif segment); nothing when a segment runs past the bytes, the scan
// comes first, or the size is 0.
struct JpegFrameSize {
    int32_t width, height;
};
std::optional<JpegFrameSize> ReadJpegFrameSize(std::span<const uint8_t> file);
// From offset 10, the first FF C0 whose FF is not the second byte of an earlier FF pair;
// 8 bits when its component count is 1, otherwise (and without the marker) 24.
int16_t JpegBits(std::span<const uint8_t> file);

// The whole header step of loading a picture. `loadedWidth` and `loadedHeight` are the size
// the platform loader gave the picture: a JPEG's size is taken from there, and a .gif's
// when the file is not a GIF at all.
PictureInfo ReadPictureInfo(PictureHeaderKind kind, std::span<const uint8_t> file,
                            int32_t loadedWidth, int32_t loadedHeight);

// What the platform's picture loader may be given: it reads the whole file and keeps every
// pixel a header claims, whatever the preview area needs. A GIF's screen and its first image
// stay within kMaxGifPixels; an uncompressed bitmap's rows lie inside the file and its pixels
// within kMaxBitmapPixels; a JPEG frame's blocks are no more than the bits after it (Huffman
// coding; arithmetic-coded frames within kMaxBitmapPixels) and its pixels within
// kMaxJpegPixels; a PNG's or TIFF's pixels within kMaxBitmapPixels, and a PNG's raw bytes no
// more than deflate can make of the file's; no file is larger than its kind's limit. `head` is the file's
// first bytes (at least kPictureHeadSize of them when the file has that many).
inline constexpr size_t kPictureHeadSize = 64 << 10;
inline constexpr int64_t kMaxGifPixels = 16 << 20;
inline constexpr int64_t kMaxBitmapPixels = 64 << 20;
inline constexpr int64_t kMaxJpegPixels = int64_t{256} << 20;
inline constexpr uint64_t kMaxGifFileSize = 16 << 20;
inline constexpr uint64_t kMaxPictureFileSize = 32 << 20;
bool LoaderMayTake(PictureHeaderKind kind, std::span<const uint8_t> head, uint64_t fileSize);

// The end of a GIF's first image (after its data's terminating block), for a copy that holds
// only what the preview shows: the loader would decode every frame of an animation. Nothing
// when the file is not a GIF or its first image is not whole.
std::optional<size_t> GifFirstImageEnd(std::span<const uint8_t> file);

// Placeable metafiles start with this key; plain ones get a header first.
inline constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
inline constexpr size_t kPlaceableHeaderSize = 22;
// False for a file shorter than the key.
bool IsPlaceableMetafile(std::span<const uint8_t> file);
// Bounding box (0, 0)-(right, bottom) at 576 units per inch, with its checksum. Nothing when
// right or bottom does not fit the 16-bit field.
std::optional<std::array<uint8_t, kPlaceableHeaderSize>> PlaceableHeader(int32_t right,
                                                                         int32_t bottom);
// The header followed by the whole metafile: what the platform loader is given.
std::optional<std::vector<uint8_t>> MakePlaceableCopy(std::span<const uint8_t> metafile,
                                                      int32_t right, int32_t bottom);

}  // namespace qcd
