// Treats arbitrary bytes as a bitmap file and makes its preview the way the dialog does: the
// layout from the head, then each row the sampler asks for served on its own, in a buffer of
// exactly the size asked. Nothing may be read outside a row or the head, the rows asked for
// lie in the file and number at most one per target row, and every target pixel is written.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "fuzz_check.h"
#include "readers/bmp_sample.h"
#include "preview/fit_geometry.h"

namespace {

// What a row of bytes all `fill` shows; 0xFF sets every index bit and every mask bit.
uint32_t ShownForOnes(const qcd::BmpLayout& l) {
    if (l.bits <= 8) return l.palette.size() == (size_t{1} << l.bits) ? l.palette.back() : 0;
    if (l.bits == 24) return 0xFFFFFF;
    return (l.redMask ? 0xFF0000u : 0) | (l.greenMask ? 0x00FF00u : 0) |
           (l.blueMask ? 0x0000FFu : 0);
}

void SampleAt(std::span<const uint8_t> file, const qcd::BmpLayout& layout, int32_t tw, int32_t th) {
    auto sampler = qcd::BmpSampler::Make(layout, tw, th);
    Check(sampler.has_value());
    auto ones = qcd::BmpSampler::Make(layout, tw, th);
    const auto& reads = sampler->Reads();
    Check(!reads.empty() && reads.size() <= static_cast<size_t>(th) &&
          reads.size() <= static_cast<size_t>(layout.height));

    const uint64_t rowBytes = (static_cast<uint64_t>(layout.width) * layout.bits + 7) / 8;
    for (size_t i = 0; i < reads.size(); ++i) {
        const qcd::BmpRowRead& r = reads[i];
        Check(r.size == rowBytes && r.offset <= file.size() && r.size <= file.size() - r.offset);
        Check(r.fileRow >= 0 && r.fileRow < layout.height);
        Check(r.offset == layout.pixelOffset + static_cast<uint64_t>(r.fileRow) * layout.stride);
        if (i > 0) Check(r.fileRow > reads[i - 1].fileRow);
        Check(!sampler->Take());
        const std::vector<uint8_t> row(file.begin() + static_cast<ptrdiff_t>(r.offset),
                                       file.begin() + static_cast<ptrdiff_t>(r.offset + r.size));
        Check(sampler->Put(i, row));
    }
    const auto sample = sampler->Take();
    Check(sample.has_value() && sample->width == tw && sample->height == th);
    Check(sample->pixels.size() == static_cast<size_t>(tw) * static_cast<size_t>(th) * 4);

    // Rows of all ones, put last first: every target pixel shows their colour.
    for (size_t i = reads.size(); i-- > 0;)
        Check(ones->Put(i, std::vector<uint8_t>(reads[i].size, 0xFF)));
    const auto filled = ones->Take();
    Check(filled.has_value() && filled->pixels.size() == sample->pixels.size());
    const uint32_t shown = ShownForOnes(layout);
    const size_t rowSize = static_cast<size_t>(tw) * 4;
    std::vector<uint8_t> row(rowSize);
    for (size_t x = 0; x < rowSize; x += 4) {
        row[x] = static_cast<uint8_t>(shown);
        row[x + 1] = static_cast<uint8_t>(shown >> 8);
        row[x + 2] = static_cast<uint8_t>(shown >> 16);
        row[x + 3] = 0xFF;
    }
    // Compared a row at a time: a check per pixel would cost more than the sampling.
    for (size_t y = 0; y < static_cast<size_t>(th); ++y)
        Check(std::memcmp(filled->pixels.data() + y * rowSize, row.data(), rowSize) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    // The head in a buffer of its own, as the dialog reads it.
    const std::vector<uint8_t> head(data, data + std::min(size, qcd::kBmpHeadSize));
    const auto layout = qcd::ReadBmpLayout(head, size);
    if (!layout) return 0;
    const qcd::BmpLayout& l = *layout;
    Check(l.width >= 1 && l.width <= qcd::kBmpMaxSide && l.height >= 1 &&
          l.height <= qcd::kBmpMaxSide);
    Check(l.bits == 1 || l.bits == 4 || l.bits == 8 || l.bits == 16 || l.bits == 24 ||
          l.bits == 32);
    Check(l.palette.size() <= (l.bits <= 8 ? size_t{1} << l.bits : 0));
    Check(l.stride % 4 == 0 && l.stride * 8 >= static_cast<uint64_t>(l.width) * l.bits &&
          l.stride * 8 < static_cast<uint64_t>(l.width) * l.bits + 32);
    Check(l.pixelOffset >= 14 + 12);
    Check(l.rowsInFile == (l.pixelOffset + l.stride * static_cast<uint64_t>(l.height) <= size));
    if (!l.rowsInFile) {
        Check(!qcd::BmpSampler::Make(l, 1, 1));
        return 0;
    }

    // The dialog's preview area (a very long picture's short side scales to nothing there),
    // then a target of another shape.
    const auto fit = qcd::FitIntoBox(l.width, l.height, 119, 138);
    Check(fit.has_value());
    SampleAt(file, l, std::max(fit->width, 1), std::max(fit->height, 1));
    SampleAt(file, l, 1 + static_cast<int32_t>(size % 61), 1 + static_cast<int32_t>(size % 173));
    return 0;
}
