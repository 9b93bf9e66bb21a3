#include "preview/opened_file.h"

#include <limits>

#include "platform/text.h"

namespace qcd {

std::optional<OpenedFile> OpenedFile::Open(const std::u16string& path) {
    win::unique_file file(CreateFileW(win::Wide(path), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) return std::nullopt;
    return OpenedFile(std::move(file), static_cast<uint64_t>(size.QuadPart));
}

size_t OpenedFile::ReadAt(uint64_t offset, std::span<uint8_t> out) {
    size_t done = 0;
    while (done < out.size() && offset + done < size_) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        const DWORD want = static_cast<DWORD>(
            std::min<size_t>(out.size() - done, std::numeric_limits<DWORD>::max()));
        DWORD got = 0;
        if (!ReadFile(file_.get(), out.data() + done, want, &got, &at) || got == 0) break;
        done += got;
    }
    return done;
}

}  // namespace qcd
