#include "platform/surface.h"

namespace qcd {

void Surface::Release() {
    selection_.reset();  // the bitmap leaves the DC before either is deleted
    bitmap_.reset();
    dc_.reset();
    pixels_ = nullptr;
    width_ = height_ = 0;
}

bool Surface::Resize(int width, int height) {
    if (width == width_ && height == height_ && dc_) return true;
    Release();
    if (width <= 0 || height <= 0) return false;
    win::window_dc screen(nullptr);
    dc_.reset(CreateCompatibleDC(screen.get()));
    if (dib_) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_.reset(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        pixels_ = bitmap_ ? static_cast<uint32_t*>(bits) : nullptr;
    } else {
        bitmap_.reset(CreateCompatibleBitmap(screen.get(), width, height));
    }
    if (!dc_ || !bitmap_) {
        Release();
        return false;
    }
    selection_.emplace(dc_.get(), bitmap_.get());
    width_ = width;
    height_ = height;
    Clear();
    return true;
}

void Surface::Clear() {
    if (!dc_) return;
    win::unique_hbrush brush(CreateSolidBrush(back_));
    RECT all{0, 0, width_, height_};
    FillRect(dc_.get(), &all, brush.get());
}

void Surface::CopyToWindow(HWND target, int width, int height) const {
    if (!dc_ || !target) return;
    win::window_dc dc(target, DCX_CACHE | DCX_CLIPCHILDREN);
    if (dc) BitBlt(dc.get(), 0, 0, width, height, dc_.get(), 0, 0, SRCCOPY);
}

}  // namespace qcd
