#include "readers/ani_file.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "readers/little_endian.h"

namespace qcd {

namespace {

using le::IdAt;
using le::U32;

constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kHeaderValuesSize = 32;

// Where the eight header values start, or nothing.
std::optional<size_t> FindHeaderValues(std::span<const uint8_t> file) {
    if (file.size() >= 20 && IdAt(file, 12, "LIST")) {
        // An information list before the header: taken to be followed directly by it.
        const uint64_t at = uint64_t{U32(file, 16)} + 32;
        if (at > file.size()) return std::nullopt;
        return static_cast<size_t>(at);
    }
    // The header chunk's size 36 followed by the first byte of its own size field, 36.
    static constexpr uint8_t kPattern[] = {0x24, 0, 0, 0, 0x24};
    const auto from = file.begin() + std::min<std::ptrdiff_t>(12, std::ssize(file));
    const auto hit = std::search(from, file.end(), std::begin(kPattern), std::end(kPattern));
    if (hit == file.end()) return std::nullopt;
    return static_cast<size_t>(hit - file.begin()) + 8;
}

// A "rate" or "seq " chunk's values; nothing when its size is not 4 bytes a step or its data
// is not all there.
std::optional<std::vector<int32_t>> ReadStepValues(std::span<const uint8_t> data, uint32_t size,
                                                   int32_t steps) {
    if (steps > kAniMaxChunkSteps || size != static_cast<uint32_t>(steps) * 4) return std::nullopt;
    if (data.size() < size) return std::nullopt;
    std::vector<int32_t> values(static_cast<size_t>(steps));
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int32_t>(U32(data, i * 4));
    return values;
}

// Chunks are padded to an even size; the padding of the file's last chunk may be missing.
size_t NextChunk(size_t dataAt, size_t size, size_t end) {
    return std::min(end, dataAt + size + (size & 1));
}

struct Frames {
    std::vector<IconImageInfo> images;
    std::vector<IconImagePlace> places;
};

// `frames` "icon" chunks from the start of `list` (the "fram" list's data after its type),
// which lies at `listAt` in the file.
std::optional<Frames> ReadFrames(std::span<const uint8_t> list, size_t listAt, int32_t frames) {
    Frames read;
    size_t at = 0;
    for (int32_t f = 0; f < frames; ++f) {
        if (list.size() - at < kChunkHeaderSize || !IdAt(list, at, "icon")) return std::nullopt;
        const size_t size = U32(list, at + 4);
        const size_t dataAt = at + kChunkHeaderSize;
        if (size > list.size() - dataAt) return std::nullopt;
        const IconFileInfo icon = ReadIconFile(list.subspan(dataAt, size));
        if (icon.count < 1) return std::nullopt;
        read.images.push_back(icon.images.front());
        read.places.push_back({listAt + dataAt, size});
        at = NextChunk(dataAt, size, list.size());
    }
    return read;
}

}  // namespace

AniFileInfo ReadAniFile(std::span<const uint8_t> file) {
    if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') {
        AniFileInfo bitmap;
        bitmap.count = kIconNotThisFormat;
        return bitmap;
    }
    if (file.size() < 12 || !IdAt(file, 0, "RIFF") || !IdAt(file, 8, "ACON")) return {};
    const auto values = FindHeaderValues(file);
    if (!values || *values > file.size() || file.size() - *values < kHeaderValuesSize) return {};

    const auto frameCount = static_cast<int32_t>(U32(file, *values));
    const auto stepCount = static_cast<int32_t>(U32(file, *values + 4));
    const auto displayRate = static_cast<int32_t>(U32(file, *values + 24));
    if (frameCount < 1 || stepCount < 1 || displayRate < 1) return {};

    AniFileInfo info;
    info.stepCount = stepCount;
    info.displayRate = displayRate;
    bool haveFrames = false;
    size_t at = *values + kHeaderValuesSize;
    while (file.size() - at >= kChunkHeaderSize) {
        const size_t size = U32(file, at + 4);
        const size_t dataAt = at + kChunkHeaderSize;
        const auto data = file.subspan(dataAt);
        if (IdAt(file, at, "rate") || IdAt(file, at, "seq ")) {
            auto steps = ReadStepValues(data, static_cast<uint32_t>(size), stepCount);
            if (!steps) return {};
            (IdAt(file, at, "rate") ? info.rates : info.sequence) = std::move(*steps);
        } else if (IdAt(file, at, "LIST") && std::min(size, data.size()) >= 4 &&
                   IdAt(data, 0, "fram") && !haveFrames) {
            // A list cut short by the end of the file still gives the frames that are there.
            auto frames =
                ReadFrames(data.subspan(4, std::min(size, data.size()) - 4), dataAt + 4, frameCount);
            if (!frames) return {};
            info.images = std::move(frames->images);
            info.frames = std::move(frames->places);
            haveFrames = true;
        }
        // Other chunks and lists (an information list after the header, say) are stepped over.
        if (size > data.size()) break;
        at = NextChunk(dataAt, size, file.size());
    }
    if (!haveFrames) return {};

    info.count = static_cast<int32_t>(info.images.size());
    for (const int32_t image : info.sequence)
        if (image < 0 || image >= info.count) return {};
    return info;
}

int32_t AniFileInfo::StepRate(int32_t step) const {
    if (step < 1 || step > stepCount) return 0;
    return rates.empty() ? displayRate : rates[static_cast<size_t>(step - 1)];
}

int32_t AniFileInfo::StepImage(int32_t step) const {
    if (step < 1 || step > stepCount || count < 1) return 0;
    if (sequence.empty()) return (step - 1) % count + 1;
    return sequence[static_cast<size_t>(step - 1)] + 1;
}

int32_t AniFileInfo::FirstStepShowing(int32_t image) const {
    if (image < 1 || image > count) return 0;
    if (sequence.empty()) return image <= stepCount ? image : 0;
    const auto hit = std::find(sequence.begin(), sequence.end(), image - 1);
    return hit == sequence.end() ? 0 : static_cast<int32_t>(hit - sequence.begin()) + 1;
}

int32_t AniStepIntervalMs(int32_t rate) {
    const int64_t ms = static_cast<int64_t>(std::max(rate, 1)) * 10;
    return static_cast<int32_t>(std::min<int64_t>(ms, kAniMaxIntervalMs));
}

}  // namespace qcd
