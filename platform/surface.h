// An off-screen picture of the control: a memory bitmap with a back colour, in pixels.
#pragma once

#include <windows.h>

#include <optional>

#include "platform/handles.h"

namespace qcd {

class Surface {
public:
    explicit Surface(COLORREF back = GetSysColor(COLOR_BTNFACE)) : back_(back) {}
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
    void Cls();
    // The memory DC with the bitmap selected; null before the first Resize.
    HDC Dc() const { return dc_.get(); }
    HBITMAP Bitmap() const { return bitmap_.get(); }
    // Copies the surface to (0, 0) of a window, through a DC released after the copy. A child
    // of the window (the text box, a video) is left as it is.
    void CopyToWindow(HWND target, int width, int height) const;

private:
    void Release();

    COLORREF back_;
    int width_ = 0;
    int height_ = 0;
    win::unique_mem_dc dc_;
    win::unique_hbitmap bitmap_;
    std::optional<win::select_object> selection_;
};

}  // namespace qcd
