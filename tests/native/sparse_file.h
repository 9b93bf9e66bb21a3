// A file of given bytes followed by zeros up to any size, as a sparse file on disk reads, that
// counts the reads a checker makes.
#pragma once

#include <algorithm>
#include <cstring>
#include <utility>

#include "readers/file_reader.h"
#include "test_bytes.h"

namespace qcd::test {

class SparseFile final : public FileReader {
  public:
    SparseFile(Bytes bytes, uint64_t size) : head(std::move(bytes)), size_(size) {}
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override {
        ++reads;
        if (offset >= size_) return 0;
        const size_t n = std::min<uint64_t>(out.size(), size_ - offset);
        std::fill_n(out.begin(), n, uint8_t{0});
        if (offset < head.size())
            std::memcpy(out.data(), head.data() + offset,
                        std::min<uint64_t>(n, head.size() - offset));
        return n;
    }
    Bytes head;
    int reads = 0;

  private:
    uint64_t size_;
};

}  // namespace qcd::test
