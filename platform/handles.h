// Owning wrappers for Win32 handles: control logic never frees a handle by hand.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

namespace qcd::win {

// A handle plus the call that releases it; move-only. `InvalidValue` is the handle's
// "none" value as an integer (INVALID_HANDLE_VALUE is -1, and cannot be a pointer constant).
template <typename T, auto Close, intptr_t InvalidValue = 0>
class unique_handle {
    static T invalid() { return reinterpret_cast<T>(InvalidValue); }

public:
    unique_handle() = default;
    explicit unique_handle(T h) : h_(h) {}
    unique_handle(unique_handle&& o) noexcept : h_(std::exchange(o.h_, invalid())) {}
    unique_handle& operator=(unique_handle&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, invalid()));
        return *this;
    }
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    ~unique_handle() { reset(); }

    T get() const { return h_; }
    explicit operator bool() const { return h_ != invalid(); }
    T release() { return std::exchange(h_, invalid()); }
    void reset(T h = invalid()) {
        if (h_ != invalid()) Close(h_);
        h_ = h;
    }

private:
    T h_ = invalid();
};

namespace detail {
inline void CloseKey(HKEY k) { RegCloseKey(k); }
inline void CloseFile(HANDLE h) { CloseHandle(h); }
inline void DeleteGdi(HGDIOBJ h) { DeleteObject(h); }
inline void DeleteMemDc(HDC h) { DeleteDC(h); }
inline void DestroyIconHandle(HICON h) { DestroyIcon(h); }
inline void DestroyCursorHandle(HCURSOR h) { DestroyCursor(h); }
inline void DestroyWindowHandle(HWND h) { DestroyWindow(h); }
inline void FreeLibraryHandle(HMODULE h) { FreeLibrary(h); }
inline void FreeGlobal(HGLOBAL h) { GlobalFree(h); }
inline void CloseFind(HANDLE h) { FindClose(h); }
}  // namespace detail

using unique_hkey = unique_handle<HKEY, detail::CloseKey>;
using unique_file = unique_handle<HANDLE, detail::CloseFile, -1>;
using unique_hbitmap = unique_handle<HBITMAP, detail::DeleteGdi>;
using unique_hfont = unique_handle<HFONT, detail::DeleteGdi>;
using unique_hbrush = unique_handle<HBRUSH, detail::DeleteGdi>;
using unique_mem_dc = unique_handle<HDC, detail::DeleteMemDc>;
using unique_hicon = unique_handle<HICON, detail::DestroyIconHandle>;
using unique_hcursor = unique_handle<HCURSOR, detail::DestroyCursorHandle>;
using unique_hwnd = unique_handle<HWND, detail::DestroyWindowHandle>;
using unique_hmodule = unique_handle<HMODULE, detail::FreeLibraryHandle>;
using unique_hglobal = unique_handle<HGLOBAL, detail::FreeGlobal>;
// A FindFirstFile search.
using unique_find = unique_handle<HANDLE, detail::CloseFind, -1>;

// A window's DC, released on scope exit.
class window_dc {
public:
    explicit window_dc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    // GetDCEx with DCX_* flags, e.g. DCX_CLIPCHILDREN for a window whose class does not clip.
    window_dc(HWND hwnd, DWORD flags) : hwnd_(hwnd), dc_(GetDCEx(hwnd, nullptr, flags)) {}
    ~window_dc() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    window_dc(const window_dc&) = delete;
    window_dc& operator=(const window_dc&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint/EndPaint as a scope.
class paint_dc {
public:
    explicit paint_dc(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
    ~paint_dc() { EndPaint(hwnd_, &ps_); }
    paint_dc(const paint_dc&) = delete;
    paint_dc& operator=(const paint_dc&) = delete;
    HDC get() const { return dc_; }
    const PAINTSTRUCT& info() const { return ps_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// SelectObject for a scope: the previous object goes back in when the scope ends.
class select_object {
public:
    select_object(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~select_object() {
        if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    }
    select_object(const select_object&) = delete;
    select_object& operator=(const select_object&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace qcd::win
