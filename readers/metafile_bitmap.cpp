#include "readers/bitmap_header.h"
#include "readers/metafile_rules.h"

namespace qcd::metafile {

std::optional<DibLayout> ReadDibInfo(Bytes info, uint32_t usage) {
    if (usage > kDibNoColours) return std::nullopt;
    const auto header = ReadBitmapHeader(info, kInfoLayoutHeaderSizes);
    if (!header) return std::nullopt;
    const int64_t width = header->width, height = header->height;
    const uint32_t bits = header->bits, compression = header->compression;
    if (header->planes != 1) return std::nullopt;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return std::nullopt;
    if (width < 1 || width > kMaxMetafileExtent || height == 0 ||
        !Within(height, kMaxMetafileExtent))
        return std::nullopt;
    switch (compression) {
        case kBiRgb:
            break;
        case kBiRle8:
        case kBiRle4:
            // Run-length bitmaps are bottom-up only.
            if (bits != (compression == kBiRle8 ? 8u : 4u) || height < 0) return std::nullopt;
            break;
        case kBiBitfields:
            if (bits != 16 && bits != 32) return std::nullopt;
            break;
        default:  // JPEG and PNG are for printers
            return std::nullopt;
    }
    const uint32_t used = header->coloursUsed;
    uint64_t colours = used;
    if (bits <= 8) {
        if (used > (1u << bits)) return std::nullopt;
        if (used == 0) colours = 1u << bits;
    } else if (used > 256) {
        return std::nullopt;
    }
    const uint64_t entry =
        usage == kDibRgbColours ? header->PaletteEntrySize() : usage == kDibNoColours ? 0 : 2;
    const uint64_t masks =
        compression == kBiBitfields && header->size == kBitmapInfoHeaderSize ? 12 : 0;
    DibLayout dib;
    dib.infoSize = header->size + masks + colours * entry;
    if (dib.infoSize > info.size()) return std::nullopt;
    dib.stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    dib.lines = static_cast<uint64_t>(height < 0 ? -height : height);
    dib.runLength = compression == kBiRle8 || compression == kBiRle4;
    return dib;
}

MetafileFault CheckDibBits(const DibLayout& dib, uint64_t bitsSize, uint64_t lines,
                           Budget& budget) {
    if (dib.runLength ? bitsSize == 0 : !Fits(bitsSize, 0, lines, dib.stride))
        return MetafileFault::Bitmap;
    // Runs and skips decode to any size: what bounds the work is the decoded picture.
    return budget.AddBitmap(dib.stride * dib.lines) ? MetafileFault::None : MetafileFault::Budget;
}

MetafileFault CheckPackedDib(Bytes dib, uint32_t usage, std::optional<uint64_t> lines,
                             Budget& budget) {
    const auto layout = ReadDibInfo(dib, usage);
    if (!layout) return MetafileFault::Bitmap;
    const uint64_t rows = lines.value_or(layout->lines);
    if (rows > layout->lines) return MetafileFault::Bitmap;
    return CheckDibBits(*layout, dib.size() - layout->infoSize, rows, budget);
}

}  // namespace qcd::metafile
