// An off-screen picture of the control: a memory bitmap with a back colour, in pixels.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "platform/handles.h"

namespace qcd {

class Surface {
public:
    explicit Surface(COLORREF back = GetSysColor(COLOR_BTNFACE)) : back_(back) {}
    // With `pixels`, the bitmap is a 32-bit top-down DIB section whose pixels (0x00RRGGBB)
    // the caller may write directly (after GdiFlush).
    Surface(COLORREF back, bool pixels) : back_(back), dib_(pixels) {}
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    ~Surface() { Release(); }

    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF BackColor() const { return back_; }
    void SetBackColor(COLORREF back) { back_ = back; }

    // A new size keeps nothing of the old contents; the new area is the back colour.
    bool Resize(int width, int height);
    // Fills the whole surface with the back colour.
    void Clear();
    // The memory DC with the bitmap selected; null before the first Resize.
    HDC Dc() const { return dc_.get(); }
    HBITMAP Bitmap() const { return bitmap_.get(); }
    // The DIB section's pixels, row 0 at the top, Width() to a row; null without them.
    uint32_t* Pixels() const { return pixels_; }
    // Copies the surface to (0, 0) of a window, through a DC released after the copy. A child
    // of the window (the text box, a video) is left as it is.
    void CopyToWindow(HWND target, int width, int height) const;

private:
    void Release();

    COLORREF back_;
    bool dib_ = false;
    uint32_t* pixels_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    win::unique_mem_dc dc_;
    win::unique_hbitmap bitmap_;
    std::optional<win::select_object> selection_;
};

}  // namespace qcd
