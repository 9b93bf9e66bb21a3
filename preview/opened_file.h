// A file the user selected, opened for reading in parts by the checkers of what the platform's
// players may be given.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/handles.h"
#include "readers/file_reader.h"

namespace qcd {

class OpenedFile final : public FileReader {
  public:
    // Nothing when the file cannot be opened.
    static std::optional<OpenedFile> Open(const std::u16string& path);

    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) override;

  private:
    OpenedFile(win::unique_file file, uint64_t size) : file_(std::move(file)), size_(size) {}
    win::unique_file file_;
    uint64_t size_ = 0;
};

}  // namespace qcd
