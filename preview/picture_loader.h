// Loading a user's picture file for the preview: the file is read once into global memory,
// the headers are read from those bytes and the platform picture loader reads the same bytes
// as a stream. Nothing is written to disk.
#pragma once

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/com_ptr.h"
#include "platform/handles.h"

namespace qcd {

// A file's bytes in movable global memory, locked for reading while this object lives.
class FileBytes {
  public:
    // At most `limit` bytes from the start; nothing when the file cannot be opened or read.
    // `fileSize`, when given, receives the whole file's size.
    static std::optional<FileBytes> Read(const std::u16string& path, size_t limit = SIZE_MAX,
                                         uint64_t* fileSize = nullptr);
    // The whole file when it is no larger than `maxSize`; nothing, and nothing read, otherwise.
    static std::optional<FileBytes> ReadWhole(const std::u16string& path, size_t maxSize);
    static std::optional<FileBytes> Copy(std::span<const uint8_t> bytes);

    FileBytes(FileBytes&& other) noexcept;
    FileBytes& operator=(FileBytes&& other) noexcept;
    ~FileBytes();

    std::span<const uint8_t> Bytes() const { return {data_, size_}; }
    // A stream over the bytes; the memory stays owned here.
    win::com_ptr<IStream> Stream() const;

  private:
    FileBytes(win::unique_hglobal memory, size_t size);
    static std::optional<FileBytes> ReadBytes(const std::u16string& path, size_t limit,
                                              uint64_t* fileSize, bool wholeOnly);
    win::unique_hglobal memory_;
    size_t size_ = 0;
    uint8_t* data_ = nullptr;
};

// A top-down 32-bpp DIB section and its pixels, rows of B, G, R, unused.
struct TopDownDib {
    win::unique_hbitmap bitmap;
    uint8_t* bits = nullptr;
};
// Nothing for an empty size, one beyond what a 32-bit process could map, or no memory.
std::optional<TopDownDib> CreateTopDownDib(int32_t width, int32_t height);

// A loaded picture: the platform's picture object, or a bitmap decoded at a reduced size.
class LoadedPicture {
  public:
    static std::optional<LoadedPicture> FromBytes(const FileBytes& bytes);
    // `bitmap` holds the picture scaled down from naturalWidth x naturalHeight.
    static LoadedPicture FromBitmap(win::unique_hbitmap bitmap, int32_t naturalWidth,
                                    int32_t naturalHeight);

    // The picture's own size in pixels (a metafile's from its frame, rounded).
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    short Type() const;
    // The whole picture into (x, y, cx, cy) of `dc`, 1:1 or stretched.
    void Draw(HDC dc, int x, int y, int cx, int cy) const;

  private:
    LoadedPicture() = default;
    win::com_ptr<IPicture> picture_;
    win::unique_hbitmap bitmap_;
    int32_t bitmapWidth_ = 0, bitmapHeight_ = 0;
    int32_t width_ = 0, height_ = 0;
    OLE_XSIZE_HIMETRIC himetricWidth_ = 0;
    OLE_YSIZE_HIMETRIC himetricHeight_ = 0;
};

// Bits per pixel of a bitmap (0 when it cannot be read).
int16_t BitmapBits(HBITMAP bitmap);

}  // namespace qcd
