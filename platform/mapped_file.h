// A file mapped read-only into memory: a reader walks it and the system reads only the pages
// it touches, so a large program costs what its headers and resources cost.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/handles.h"

namespace qcd::win {

class MappedFile {
  public:
    // Nothing when the file cannot be opened or mapped, is empty, or is larger than
    // `maxSize` (a 32-bit process has little address space to give).
    static std::optional<MappedFile> Open(const std::u16string& path, uint64_t maxSize);

    std::span<const uint8_t> Bytes() const { return {view_.get(), size_}; }

  private:
    static void Unmap(const uint8_t* view) { UnmapViewOfFile(view); }
    MappedFile(unique_handle<const uint8_t*, Unmap> view, size_t size)
        : view_(std::move(view)), size_(size) {}

    unique_handle<const uint8_t*, Unmap> view_;
    size_t size_ = 0;
};

}  // namespace qcd::win
