#include "preview/picture_loader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/text.h"
#include "platform/trace.h"

namespace qcd {

namespace {

// HIMETRIC (1/100 mm) to screen pixels, rounded to nearest.
int32_t HimetricToPixels(long himetric, int pixelsPerInch) {
    return static_cast<int32_t>(
        std::lround(static_cast<double>(himetric) * pixelsPerInch / 2540.0));
}

}  // namespace

FileBytes::FileBytes(win::unique_hglobal memory, size_t size)
    : memory_(std::move(memory)), size_(size) {
    data_ = static_cast<uint8_t*>(GlobalLock(memory_.get()));
}

FileBytes::FileBytes(FileBytes&& other) noexcept
    : memory_(std::move(other.memory_)),
      size_(std::exchange(other.size_, 0)),
      data_(std::exchange(other.data_, nullptr)) {}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
    if (this != &other) {
        if (data_) GlobalUnlock(memory_.get());
        memory_ = std::move(other.memory_);
        size_ = std::exchange(other.size_, 0);
        data_ = std::exchange(other.data_, nullptr);
    }
    return *this;
}

FileBytes::~FileBytes() {
    if (data_) GlobalUnlock(memory_.get());
}

std::optional<FileBytes> FileBytes::ReadWhole(const std::u16string& path, size_t maxSize) {
    return ReadBytes(path, maxSize, nullptr, true);
}

std::optional<FileBytes> FileBytes::Read(const std::u16string& path, size_t limit,
                                         uint64_t* fileSize) {
    return ReadBytes(path, limit, fileSize, false);
}

std::optional<FileBytes> FileBytes::ReadBytes(const std::u16string& path, size_t limit,
                                              uint64_t* fileSize, bool wholeOnly) {
    win::unique_file file(CreateFileW(win::Wide(path), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        win::TraceFailure("preview file", "CreateFileW", GetLastError());
        return std::nullopt;
    }
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(file.get(), &length) || length.QuadPart < 0) return std::nullopt;
    if (fileSize) *fileSize = static_cast<uint64_t>(length.QuadPart);
    if (wholeOnly && static_cast<unsigned long long>(length.QuadPart) > limit) return std::nullopt;
    // One ReadFile takes a DWORD count; a 32-bit process could not hold more anyway.
    const auto wanted =
        std::min<unsigned long long>({static_cast<unsigned long long>(length.QuadPart), limit,
                                      std::numeric_limits<DWORD>::max() / 2});
    const auto size = static_cast<size_t>(wanted);
    win::unique_hglobal memory(GlobalAlloc(GMEM_MOVEABLE, size ? size : 1));
    if (!memory) return std::nullopt;
    FileBytes bytes(std::move(memory), 0);
    if (!bytes.data_) return std::nullopt;
    // The file may shrink while it is read: what was actually read is what counts.
    size_t got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!ReadFile(file.get(), bytes.data_ + got, static_cast<DWORD>(size - got), &n, nullptr))
            return std::nullopt;
        if (n == 0) break;
        got += n;
    }
    if (got < size) {
        // The file shrank while it was read: the block is cut to what was read now, while it
        // is unlocked, so the stream never resizes memory that is in use.
        GlobalUnlock(bytes.memory_.get());
        bytes.data_ = nullptr;
        HGLOBAL cut = GlobalReAlloc(bytes.memory_.get(), got ? got : 1, GMEM_MOVEABLE);
        if (!cut) return std::nullopt;
        bytes.memory_.release();
        bytes.memory_.reset(cut);
        bytes.data_ = static_cast<uint8_t*>(GlobalLock(cut));
        if (!bytes.data_) return std::nullopt;
    }
    bytes.size_ = got;
    return bytes;
}

std::optional<FileBytes> FileBytes::Copy(std::span<const uint8_t> source) {
    win::unique_hglobal memory(GlobalAlloc(GMEM_MOVEABLE, source.empty() ? 1 : source.size()));
    if (!memory) return std::nullopt;
    FileBytes bytes(std::move(memory), source.size());
    if (!bytes.data_) return std::nullopt;
    if (!source.empty()) std::memcpy(bytes.data_, source.data(), source.size());
    return bytes;
}

win::com_ptr<IStream> FileBytes::Stream() const {
    win::com_ptr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory_.get(), FALSE, stream.put()))) return nullptr;
    // The block may be larger than asked for; the stream must end where the file does.
    ULARGE_INTEGER size;
    size.QuadPart = size_;
    if (FAILED(stream->SetSize(size))) return nullptr;
    return stream;
}

std::optional<LoadedPicture> LoadedPicture::FromBytes(const FileBytes& bytes) {
    auto stream = bytes.Stream();
    if (!stream) return std::nullopt;
    LoadedPicture loaded;
    const HRESULT hr = OleLoadPicture(stream.get(), static_cast<LONG>(bytes.Bytes().size()),
                                      FALSE, IID_IPicture, loaded.picture_.put_void());
    if (FAILED(hr) || !loaded.picture_) {
        win::TraceFailure("picture preview", "OleLoadPicture", static_cast<unsigned long>(hr));
        return std::nullopt;
    }
    if (FAILED(loaded.picture_->get_Width(&loaded.himetricWidth_)) ||
        FAILED(loaded.picture_->get_Height(&loaded.himetricHeight_)))
        return std::nullopt;
    win::window_dc screen(nullptr);
    loaded.width_ =
        HimetricToPixels(loaded.himetricWidth_, GetDeviceCaps(screen.get(), LOGPIXELSX));
    loaded.height_ =
        HimetricToPixels(loaded.himetricHeight_, GetDeviceCaps(screen.get(), LOGPIXELSY));
    return loaded;
}

std::optional<TopDownDib> CreateTopDownDib(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || int64_t{width} * height > INT32_MAX / 4) return std::nullopt;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    TopDownDib dib{
        win::unique_hbitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)),
        nullptr};
    if (!dib.bitmap || !bits) return std::nullopt;
    dib.bits = static_cast<uint8_t*>(bits);
    return dib;
}

LoadedPicture LoadedPicture::FromBitmap(win::unique_hbitmap bitmap, int32_t naturalWidth,
                                        int32_t naturalHeight) {
    LoadedPicture loaded;
    BITMAP info{};
    if (GetObjectW(bitmap.get(), sizeof info, &info)) {
        loaded.bitmapWidth_ = info.bmWidth;
        loaded.bitmapHeight_ = std::abs(info.bmHeight);
    }
    loaded.bitmap_ = std::move(bitmap);
    loaded.width_ = naturalWidth;
    loaded.height_ = naturalHeight;
    return loaded;
}

short LoadedPicture::Type() const {
    short type = PICTYPE_BITMAP;
    if (picture_) picture_->get_Type(&type);
    return type;
}

void LoadedPicture::Draw(HDC dc, int x, int y, int cx, int cy) const {
    if (picture_) {
        // Shrinking a photo: averaging keeps it from looking like noise.
        const bool stretched = cx != width_ || cy != height_;
        const int oldMode = stretched ? SetStretchBltMode(dc, HALFTONE) : 0;
        if (stretched) SetBrushOrgEx(dc, 0, 0, nullptr);
        // Source rectangles are HIMETRIC and measured from the bottom edge.
        picture_->Render(dc, x, y, cx, cy, 0, himetricHeight_, himetricWidth_, -himetricHeight_,
                         nullptr);
        if (stretched) SetStretchBltMode(dc, oldMode);
        return;
    }
    if (!bitmap_) return;
    win::unique_mem_dc source(CreateCompatibleDC(dc));
    if (!source) return;
    win::select_object selected(source.get(), bitmap_.get());
    if (cx == bitmapWidth_ && cy == bitmapHeight_) {
        BitBlt(dc, x, y, cx, cy, source.get(), 0, 0, SRCCOPY);
    } else {
        // Shrinking a photo: averaging keeps it from looking like noise.
        const int oldMode = SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, x, y, cx, cy, source.get(), 0, 0, bitmapWidth_, bitmapHeight_, SRCCOPY);
        SetStretchBltMode(dc, oldMode);
    }
}

int16_t BitmapBits(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return 0;
    return static_cast<int16_t>(info.bmBitsPixel);
}

}  // namespace qcd
