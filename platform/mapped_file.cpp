#include "platform/mapped_file.h"

#include "platform/text.h"

namespace qcd::win {

std::optional<MappedFile> MappedFile::Open(const std::u16string& path, uint64_t maxSize) {
    unique_file file(CreateFileW(Wide(path), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
        static_cast<uint64_t>(size.QuadPart) > maxSize)
        return std::nullopt;
    // The view keeps the mapping alive; the handles can go.
    unique_handle<HANDLE, detail::CloseFile> mapping(
        CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return std::nullopt;
    auto* view = static_cast<const uint8_t*>(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return std::nullopt;
    return MappedFile(unique_handle<const uint8_t*, Unmap>(view),
                      static_cast<size_t>(size.QuadPart));
}

}  // namespace qcd::win
