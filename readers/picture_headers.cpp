#include "readers/picture_headers.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "readers/bitmap_header.h"
#include "readers/icon_file.h"
#include "readers/jpeg_segments.h"

namespace qcd {

namespace {

uint16_t U16(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

uint32_t U32(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint32_t>(U16(b, at)) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}

void PutU16(uint8_t* out, uint16_t v) {
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
}

PictureInfo Measured(int32_t width, int32_t height, int16_t bits) {
    return {PictureInfoResult::Measured, width, height, bits};
}

constexpr size_t kCoreHeaderEnd = 14 + 12;

}  // namespace

PictureHeaderKind HeaderKindForPath(std::u16string_view path) {
    if (path.size() < 3) return PictureHeaderKind::Other;
    char key[3];
    for (size_t i = 0; i < 3; ++i) {
        char16_t c = path[path.size() - 3 + i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        key[i] = c < 0x80 ? static_cast<char>(c) : '\0';
    }
    const std::string_view k(key, 3);
    if (k == "bmp" || k == "dib") return PictureHeaderKind::Bitmap;
    if (k == "gif") return PictureHeaderKind::Gif;
    if (k == "jpg" || k == "jpe") return PictureHeaderKind::Jpeg;
    if (k == "png") return PictureHeaderKind::Png;
    if (k == "tif") return PictureHeaderKind::Tiff;
    const auto endsWith = [&](std::u16string_view ext) {
        if (path.size() < ext.size()) return false;
        for (size_t i = 0; i < ext.size(); ++i) {
            char16_t c = path[path.size() - ext.size() + i];
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
            if (c != ext[i]) return false;
        }
        return true;
    };
    if (endsWith(u".jpeg") || endsWith(u".jfif")) return PictureHeaderKind::Jpeg;
    if (endsWith(u".tiff")) return PictureHeaderKind::Tiff;
    return PictureHeaderKind::Other;
}

PictureInfo ReadBitmapInfo(std::span<const uint8_t> file) {
    if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') return {};
    // An old core header has 16-bit fields where the info header's int32 width begins;
    // reading it as an info header would join its width and height into one number.
    if (file.size() >= kCoreHeaderEnd && U32(file, 14) == 12) {
        return Measured(U16(file, 18), U16(file, 20), static_cast<int16_t>(U16(file, 24)));
    }
    if (file.size() < kBitmapHeaderSize) return {};
    const auto width = static_cast<int32_t>(U32(file, 18));
    auto height = static_cast<int32_t>(U32(file, 22));
    // Top-down bitmaps store their height negated; the loaded picture is as tall as its magnitude.
    if (height == INT32_MIN) return {};
    if (height < 0) height = -height;
    return Measured(width, height, static_cast<int16_t>(U16(file, 28)));
}

PictureInfo ReadGifInfo(std::span<const uint8_t> file) {
    // The loader accepts a picture by its content, so a .gif may hold another format whose
    // bytes here mean nothing.
    if (file.size() < kGifHeaderSize || file[0] != 'G' || file[1] != 'I' || file[2] != 'F')
        return {};
    // The screen size is unsigned: read signed, a picture 32768 or more wide comes out negative.
    const int32_t width = U16(file, 6);
    const int32_t height = U16(file, 8);
    const int r = (file[10] >> 4) & 7;
    const int16_t bits = r == 1 ? 1 : (r == 2 || r == 3) ? 4 : 8;
    return Measured(width, height, bits);
}

PictureInfo ReadPngInfo(std::span<const uint8_t> file) {
    constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (file.size() < sizeof kSignature ||
        !std::equal(std::begin(kSignature), std::end(kSignature), file.begin()))
        return {};
    const auto image = MeasureIconImage(file);
    if (!image || image->width == 0 || image->height == 0) return {};
    return Measured(image->width, image->height, image->bits);
}

namespace {

// A TIFF's numbers in the byte order its header names.
struct TiffReader {
    std::span<const uint8_t> file;
    bool big;
    uint32_t U16At(size_t at) const {
        return big ? static_cast<uint32_t>(file[at] << 8 | file[at + 1]) : U16(file, at);
    }
    uint32_t U32At(size_t at) const {
        return big ? U16At(at) << 16 | U16At(at + 2) : U32(file, at);
    }
    // An entry's first value when it is a SHORT or LONG; the value lies in the entry when it
    // fits there, else at its offset, which must lie in the file.
    std::optional<uint32_t> Value(size_t entry) const {
        const uint32_t type = U16At(entry + 2), count = U32At(entry + 4);
        if (count == 0 || (type != 3 && type != 4)) return std::nullopt;
        const uint64_t size = uint64_t{count} * (type == 3 ? 2 : 4);
        size_t at = entry + 8;
        if (size > 4) {
            at = U32At(entry + 8);
            if (at > file.size() || file.size() - at < (type == 3 ? 2u : 4u)) return std::nullopt;
        }
        return type == 3 ? U16At(at) : U32At(at);
    }
};

}  // namespace

PictureInfo ReadTiffInfo(std::span<const uint8_t> file) {
    if (file.size() < 8) return {};
    const bool little = file[0] == 'I' && file[1] == 'I' && file[2] == 42 && file[3] == 0;
    const bool big = file[0] == 'M' && file[1] == 'M' && file[2] == 0 && file[3] == 42;
    if (!little && !big) return {};
    const TiffReader tiff{file, big};
    const size_t directory = tiff.U32At(4);
    if (directory > file.size() || file.size() - directory < 2) return {};
    const size_t count = tiff.U16At(directory);
    if ((file.size() - directory - 2) / 12 < count) return {};
    uint32_t width = 0, height = 0, bits = 1, samples = 1;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = directory + 2 + 12 * i;
        uint32_t* field = nullptr;
        switch (tiff.U16At(entry)) {
            case 256: field = &width; break;
            case 257: field = &height; break;
            case 258: field = &bits; break;
            case 277: field = &samples; break;
            default: continue;
        }
        const auto value = tiff.Value(entry);
        if (!value) return {};
        *field = *value;
    }
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX || bits == 0 ||
        bits > 64 || samples == 0 || samples > 16)
        return {};
    return Measured(static_cast<int32_t>(width), static_cast<int32_t>(height),
                    static_cast<int16_t>(bits * samples));
}

namespace {

// Past a chain of sub-blocks starting at `from`: nothing when it runs off the bytes.
std::optional<size_t> SkipSubBlocks(std::span<const uint8_t> file, size_t from) {
    while (from < file.size()) {
        const size_t n = file[from];
        if (n == 0) return from + 1;
        from += n + 1;
    }
    return std::nullopt;
}

// Blocks before the first image: extensions, each a label and a chain of sub-blocks (a length
// byte and its data). Where the first image descriptor starts; nothing when the walk leaves
// the bytes.
std::optional<size_t> GifFirstImageAt(std::span<const uint8_t> file) {
    if (file.size() < kGifHeaderSize) return std::nullopt;
    size_t at = kGifHeaderSize;
    if (file[10] & 0x80) at += size_t{3} << ((file[10] & 7) + 1);
    while (at < file.size()) {
        if (file[at] == 0x2C) return at;
        if (file[at] != 0x21 || file.size() - at < 2) return std::nullopt;
        const auto next = SkipSubBlocks(file, at + 2);
        if (!next) return std::nullopt;
        at = *next;
    }
    return std::nullopt;
}

// The first image's right and bottom edges.
std::optional<std::pair<int64_t, int64_t>> GifFirstImageExtent(std::span<const uint8_t> head) {
    const auto at = GifFirstImageAt(head);
    if (!at || head.size() - *at < 10) return std::nullopt;
    return std::pair<int64_t, int64_t>{int64_t{U16(head, *at + 1)} + U16(head, *at + 5),
                                       int64_t{U16(head, *at + 3)} + U16(head, *at + 7)};
}

bool GifMayBeLoaded(std::span<const uint8_t> head, uint64_t fileSize) {
    if (fileSize > kMaxGifFileSize) return false;
    const PictureInfo screen = ReadGifInfo(head);
    // Not a GIF at all: the loader judges it by its content, within the general limit.
    if (screen.result != PictureInfoResult::Measured) return true;
    if (int64_t{screen.width} * screen.height > kMaxGifPixels) return false;
    const auto image = GifFirstImageExtent(head);
    return !image || image->first * image->second <= kMaxGifPixels;
}

bool BitmapMayBeLoaded(std::span<const uint8_t> head, uint64_t fileSize) {
    const PictureInfo info = ReadBitmapInfo(head);
    if (info.result != PictureInfoResult::Measured) return true;  // the loader refuses it
    // The loader trusts the info header's own size: one of the sizes the format has, lying in
    // the file, and a colour table no longer than the depth can index.
    const auto header = ReadBitmapHeader(head.subspan(14));
    if (!header || 14 + uint64_t{header->size} > fileSize) return false;
    if (!header->IsCore()) {
        const uint32_t colours = header->coloursUsed;
        if (colours > 256 && info.bits <= 8) return false;
        if (colours > (1u << 24)) return false;
    }
    if (info.width <= 0 || info.height <= 0 ||
        int64_t{info.width} * info.height > kMaxBitmapPixels)
        return false;
    // Uncompressed rows must all be there: the loader would read (or make up) the rest.
    const uint32_t compression = header->compression;
    if (compression != 0 && compression != 3) return true;
    const uint64_t stride = (uint64_t{static_cast<uint32_t>(info.width)} *
                                 static_cast<uint16_t>(info.bits) + 31) / 32 * 4;
    const uint64_t offset = head.size() >= 14 ? U32(head, 10) : 0;
    return offset + stride * static_cast<uint64_t>(info.height) <= fileSize;
}

}  // namespace

std::optional<size_t> GifFirstImageEnd(std::span<const uint8_t> file) {
    if (ReadGifInfo(file).result != PictureInfoResult::Measured) return std::nullopt;
    const auto at = GifFirstImageAt(file);
    if (!at || file.size() - *at < 10) return std::nullopt;
    size_t data = *at + 10;
    const uint8_t packed = file[*at + 9];
    if (packed & 0x80) data += size_t{3} << ((packed & 7) + 1);
    // The LZW code size byte, then the image's sub-blocks.
    if (data >= file.size()) return std::nullopt;
    return SkipSubBlocks(file, data + 1);
}

namespace {

uint16_t Be16(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

int64_t CeilDiv(int64_t a, int64_t b) {
    return (a + b - 1) / b;
}

// Every 8 x 8 block of every component costs at least one bit of Huffman-coded data (its DC
// term's code), so a frame that claims more blocks than the bytes after it hold is a lie the
// decoders would fill with grey at full size. Arithmetic coding has no such floor: those frames
// are held to the bitmaps' pixel limit instead. A frame not within `head` yet passes; the
// whole file is judged again once read.
bool JpegMayBeLoaded(std::span<const uint8_t> head, uint64_t fileSize) {
    if (head.size() < 2 || head[0] != 0xFF || head[1] != 0xD8) return true;  // the loader sniffs
    size_t at = 2;
    for (;;) {
        if (at >= head.size() || head[at] != 0xFF) return true;
        while (at < head.size() && head[at] == 0xFF) ++at;  // fill bytes before a marker code
        if (at >= head.size()) return true;
        const uint8_t marker = head[at++];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA || marker == 0) return true;
        if (head.size() - at < 2) return true;
        const size_t length = Be16(head, at);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 &&
                           marker != 0xC8 && marker != 0xCC;
        if (!frame) {
            if (length < 2) return true;
            at += length;
            continue;
        }
        if (length < 8 || head.size() - at < length) return true;
        const int64_t height = Be16(head, at + 3), width = Be16(head, at + 5);
        const int count = head[at + 7];
        if (height == 0) return true;  // given later by a DNL marker, which the decoders refuse
        if (width * height > kMaxJpegPixels) return false;
        const bool arithmetic = marker >= 0xC9;
        if (arithmetic) return width * height <= kMaxBitmapPixels;
        if (count < 1 || length < 8 + 3 * static_cast<size_t>(count)) return true;
        int hMax = 1, vMax = 1;
        for (int i = 0; i < count; ++i) {
            hMax = std::max(hMax, head[at + 9 + 3 * i] >> 4);
            vMax = std::max(vMax, head[at + 9 + 3 * i] & 15);
        }
        int64_t blocks = 0;
        for (int i = 0; i < count; ++i) {
            // A component alone is coded over the picture, whatever its factors.
            const int h = count == 1 ? hMax : std::max(head[at + 9 + 3 * i] >> 4, 1);
            const int v = count == 1 ? vMax : std::max(head[at + 9 + 3 * i] & 15, 1);
            blocks += CeilDiv(CeilDiv(width * h, hMax), 8) * CeilDiv(CeilDiv(height * v, vMax), 8);
        }
        const uint64_t after = fileSize - std::min<uint64_t>(fileSize, at + length);
        return static_cast<uint64_t>(blocks) <= after * 8;
    }
}

}  // namespace

bool LoaderMayTake(PictureHeaderKind kind, std::span<const uint8_t> head, uint64_t fileSize) {
    if (kind == PictureHeaderKind::Gif) return GifMayBeLoaded(head, fileSize);
    if (fileSize > kMaxPictureFileSize) return false;
    switch (kind) {
        case PictureHeaderKind::Bitmap:
            return BitmapMayBeLoaded(head, fileSize);
        case PictureHeaderKind::Jpeg:
            return JpegMayBeLoaded(head, fileSize);
        case PictureHeaderKind::Png: {
            const PictureInfo png = ReadPngInfo(head);
            if (png.result != PictureInfoResult::Measured) return false;
            const int64_t pixels = int64_t{png.width} * png.height;
            // Deflate makes at most 1032 bytes of each one it is given.
            constexpr uint64_t kMostInflated = 1032;
            return pixels <= kMaxBitmapPixels &&
                   static_cast<uint64_t>(pixels) * static_cast<uint64_t>(png.bits) / 8 <=
                       fileSize * kMostInflated;
        }
        case PictureHeaderKind::Tiff: {
            const PictureInfo tiff = ReadTiffInfo(head);
            // Its first directory may lie anywhere: the decoder finds it, within the limits.
            if (tiff.result != PictureInfoResult::Measured) return head.size() < fileSize;
            return int64_t{tiff.width} * tiff.height <= kMaxBitmapPixels;
        }
        default:
            return true;
    }
}

std::optional<JpegFrameSize> ReadJpegFrameSize(std::span<const uint8_t> file) {
    std::optional<JpegFrameSize> size;
    WalkJpegSegments(file, [&](uint8_t marker, size_t, std::span<const uint8_t> body) {
        // SOF0 to SOF15, less DHT (C4), JPG (C8) and DAC (CC).
        if (marker < 0xC0 || marker > 0xCF || marker == 0xC4 || marker == 0xC8 || marker == 0xCC) return false;
        // Precision, then height and width.
        if (body.size() >= 6) {
            const int32_t height = Be16(body, 1), width = Be16(body, 3);
            if (width > 0 && height > 0) size = JpegFrameSize{width, height};
        }
        return true;
    });
    return size;
}

int16_t JpegBits(std::span<const uint8_t> file) {
    size_t at = 10;
    while (at < file.size()) {
        if (file[at++] < 0xFF) continue;
        if (at >= file.size()) break;
        if (file[at++] != 0xC0) continue;
        // Length (2), precision (1), height (2), width (2), component count (1).
        if (file.size() - at < 8) break;
        return file[at + 7] == 1 ? 8 : 24;
    }
    return 24;
}

PictureInfo ReadPictureInfo(PictureHeaderKind kind, std::span<const uint8_t> file,
                            int32_t loadedWidth, int32_t loadedHeight) {
    switch (kind) {
        case PictureHeaderKind::Bitmap:
            return ReadBitmapInfo(file);
        case PictureHeaderKind::Gif: {
            // The loader took the file by its content: a .gif that is really another format
            // shows with the size it loaded at.
            const PictureInfo gif = ReadGifInfo(file);
            return gif.result == PictureInfoResult::Failed ? Measured(loadedWidth, loadedHeight, 24)
                                                           : gif;
        }
        case PictureHeaderKind::Jpeg:
            return Measured(loadedWidth, loadedHeight, JpegBits(file));
        case PictureHeaderKind::Png:
            return ReadPngInfo(file);
        case PictureHeaderKind::Tiff:
            return ReadTiffInfo(file);
        case PictureHeaderKind::Other:
            break;
    }
    return {PictureInfoResult::Unchanged};
}

bool IsPlaceableMetafile(std::span<const uint8_t> file) {
    return file.size() >= 4 && U32(file, 0) == kPlaceableKey;
}

std::optional<std::array<uint8_t, kPlaceableHeaderSize>> PlaceableHeader(int32_t right,
                                                                         int32_t bottom) {
    if (right < INT16_MIN || right > INT16_MAX || bottom < INT16_MIN || bottom > INT16_MAX)
        return std::nullopt;
    const std::array<uint16_t, 10> words = {
        static_cast<uint16_t>(kPlaceableKey & 0xFFFF),
        static_cast<uint16_t>(kPlaceableKey >> 16),
        0,  // handle
        0,  // left
        0,  // top
        static_cast<uint16_t>(right),
        static_cast<uint16_t>(bottom),
        576,  // units per inch
        0,    // reserved, two words
        0,
    };
    std::array<uint8_t, kPlaceableHeaderSize> header{};
    uint16_t checksum = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        PutU16(&header[2 * i], words[i]);
        checksum ^= words[i];
    }
    PutU16(&header[20], checksum);
    return header;
}

std::optional<std::vector<uint8_t>> MakePlaceableCopy(std::span<const uint8_t> metafile,
                                                      int32_t right, int32_t bottom) {
    const auto header = PlaceableHeader(right, bottom);
    if (!header) return std::nullopt;
    std::vector<uint8_t> copy;
    copy.reserve(header->size() + metafile.size());
    copy.insert(copy.end(), header->begin(), header->end());
    copy.insert(copy.end(), metafile.begin(), metafile.end());
    return copy;
}

}  // namespace qcd
