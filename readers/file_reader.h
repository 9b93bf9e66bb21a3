// Random access to a file a checker reads in parts: videos run to gigabytes and the control is a
// 32-bit process, so they are never read whole.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace qcd {

class FileReader {
  public:
    virtual ~FileReader() = default;
    virtual uint64_t Size() const = 0;
    // Copies the bytes at `offset` into `out`; returns how many were read, fewer than asked only
    // at the end of the file or on a read error.
    virtual size_t ReadAt(uint64_t offset, std::span<uint8_t> out) = 0;
};

// Bytes already in memory: the tests' and fuzzers' files.
class SpanReader final : public FileReader {
  public:
    explicit SpanReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t Size() const override { return bytes_.size(); }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override {
        if (offset >= bytes_.size()) return 0;
        const size_t n = std::min<uint64_t>(out.size(), bytes_.size() - offset);
        std::memcpy(out.data(), bytes_.data() + offset, n);
        return n;
    }

  private:
    std::span<const uint8_t> bytes_;
};

}  // namespace qcd
