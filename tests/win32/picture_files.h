// Picture and text files for the preview tests, written by the tests themselves: bitmaps and
// GIFs byte by byte, metafiles through GDI's own recorders.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace qcd::test {

using Bytes = std::vector<uint8_t>;
// Gives the palette index of each pixel, (0, 0) at the top left.
using PixelIndex = std::function<uint8_t(int x, int y)>;

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A Unix path of the build (a fixture folder, a file) as Wine's Z: drive shows it.
inline std::filesystem::path OnDriveZ(const char* unixPath) {
    std::string path = unixPath;
    for (auto& c : path)
        if (c == '/') c = '\\';
    return std::filesystem::path("Z:" + path);
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// An 8-bit bottom-up bitmap with a 256-entry palette.
inline Bytes Bitmap8(int width, int height, const std::vector<COLORREF>& palette,
                     const PixelIndex& pixel) {
    const uint32_t stride = (static_cast<uint32_t>(width) + 3) & ~3u;
    const uint32_t offset = 14 + 40 + 256 * 4;
    Bytes b;
    b.push_back('B');
    b.push_back('M');
    Put32(b, offset + stride * static_cast<uint32_t>(height));
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(width));
    Put32(b, static_cast<uint32_t>(height));
    Put16(b, 1);
    Put16(b, 8);
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    for (size_t i = 0; i < 256; ++i) {
        const COLORREF c = i < palette.size() ? palette[i] : 0;
        b.insert(b.end(), {GetBValue(c), GetGValue(c), GetRValue(c), 0});
    }
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) b.push_back(pixel(x, y));
        b.resize(b.size() + (stride - static_cast<uint32_t>(width)));
    }
    return b;
}

// A GIF whose header carries `packed` as it is; the colour table has 2^(size + 1) entries
// (size = packed & 7). The image is LZW-coded with a clear code often enough that the code
// width never grows.
inline Bytes Gif(int width, int height, uint8_t packed, const std::vector<COLORREF>& palette,
                 const PixelIndex& pixel) {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(b, static_cast<uint32_t>(width));
    Put16(b, static_cast<uint32_t>(height));
    b.push_back(packed);
    b.push_back(0);
    b.push_back(0);
    const int entries = 1 << ((packed & 7) + 1);
    for (int i = 0; i < entries; ++i) {
        const COLORREF c =
            static_cast<size_t>(i) < palette.size() ? palette[static_cast<size_t>(i)] : 0;
        b.insert(b.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
    }
    b.push_back(0x2C);
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, static_cast<uint32_t>(width));
    Put16(b, static_cast<uint32_t>(height));
    b.push_back(0);
    const int minCodeSize = std::max(2, (packed & 7) + 1);
    const uint32_t clear = 1u << minCodeSize, end = clear + 1;
    const int codeWidth = minCodeSize + 1;
    const int runBeforeClear = static_cast<int>(clear) - 2;
    Bytes data;
    uint32_t bitBuffer = 0;
    int bitCount = 0;
    auto emit = [&](uint32_t code) {
        bitBuffer |= code << bitCount;
        bitCount += codeWidth;
        while (bitCount >= 8) {
            data.push_back(static_cast<uint8_t>(bitBuffer));
            bitBuffer >>= 8;
            bitCount -= 8;
        }
    };
    int run = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (run == 0) emit(clear);
            emit(pixel(x, y));
            if (++run == runBeforeClear) run = 0;
        }
    emit(end);
    if (bitCount > 0) data.push_back(static_cast<uint8_t>(bitBuffer));
    b.push_back(static_cast<uint8_t>(minCodeSize));
    for (size_t at = 0; at < data.size(); at += 255) {
        const size_t n = std::min<size_t>(255, data.size() - at);
        b.push_back(static_cast<uint8_t>(n));
        b.insert(b.end(), data.begin() + static_cast<ptrdiff_t>(at),
                 data.begin() + static_cast<ptrdiff_t>(at + n));
    }
    b.push_back(0);
    b.push_back(0x3B);
    return b;
}

// An icon (type 1) or cursor (type 2) file of 32-bit images, each square, one colour,
// opaque.
struct IconImage {
    int size;
    COLORREF colour;
};
inline Bytes IconFile(const std::vector<IconImage>& images, uint16_t type = 1) {
    Bytes b;
    Put16(b, 0);
    Put16(b, type);
    Put16(b, static_cast<uint32_t>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    std::vector<Bytes> bodies;
    for (const IconImage& image : images) {
        const auto n = static_cast<uint32_t>(image.size);
        const uint32_t maskStride = ((n + 31) / 32) * 4;
        Bytes body;
        Put32(body, 40);
        Put32(body, n);
        Put32(body, 2 * n);  // colour and mask
        Put16(body, 1);
        Put16(body, 32);
        for (int i = 0; i < 6; ++i) Put32(body, 0);
        for (uint32_t p = 0; p < n * n; ++p)
            body.insert(body.end(), {GetBValue(image.colour), GetGValue(image.colour), GetRValue(image.colour), 0xFF});
        body.resize(body.size() + maskStride * n);  // all 0: every pixel opaque
        b.push_back(static_cast<uint8_t>(n));
        b.push_back(static_cast<uint8_t>(n));
        b.push_back(0);
        b.push_back(0);
        Put16(b, type == 1 ? 1 : 0);   // planes, or the hot spot's x
        Put16(b, type == 1 ? 32 : 0);  // bits, or the hot spot's y
        Put32(b, static_cast<uint32_t>(body.size()));
        Put32(b, offset);
        offset += static_cast<uint32_t>(body.size());
        bodies.push_back(std::move(body));
    }
    for (const Bytes& body : bodies) b.insert(b.end(), body.begin(), body.end());
    return b;
}

inline void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

// An animated cursor: one 32-pixel cursor per frame, `steps` steps at `rate` (1/100 s as the
// control times it), and the "seq " chunk when `sequence` is given.
inline Bytes AniFile(const std::vector<COLORREF>& frames, uint32_t steps, uint32_t rate,
                     const std::vector<uint32_t>& sequence = {}) {
    Bytes chunks;
    PutId(chunks, "anih");
    Put32(chunks, 36);
    for (uint32_t v : {36u, static_cast<uint32_t>(frames.size()), steps, 32u, 32u, 32u, 1u, rate, 1u})
        Put32(chunks, v);
    if (!sequence.empty()) {
        PutId(chunks, "seq ");
        Put32(chunks, static_cast<uint32_t>(4 * sequence.size()));
        for (uint32_t v : sequence) Put32(chunks, v);
    }
    Bytes list;
    PutId(list, "fram");
    for (COLORREF colour : frames) {
        const Bytes icon = IconFile({{32, colour}}, 2);
        PutId(list, "icon");
        Put32(list, static_cast<uint32_t>(icon.size()));
        list.insert(list.end(), icon.begin(), icon.end());
    }
    PutId(chunks, "LIST");
    Put32(chunks, static_cast<uint32_t>(list.size()));
    chunks.insert(chunks.end(), list.begin(), list.end());
    Bytes b;
    PutId(b, "RIFF");
    Put32(b, static_cast<uint32_t>(4 + chunks.size()));
    PutId(b, "ACON");
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

// A metafile recorded by GDI: a plain (non-placeable) WMF or an EMF. `draw` gets the
// recording DC.
inline bool RecordWmf(const std::filesystem::path& path, const std::function<void(HDC)>& draw) {
    HDC dc = CreateMetaFileW(path.c_str());
    if (!dc) return false;
    draw(dc);
    HMETAFILE mf = CloseMetaFile(dc);
    return mf && DeleteMetaFile(mf);
}

inline bool RecordEmf(const std::filesystem::path& path, const RECT& frameHimetric,
                      const std::function<void(HDC)>& draw) {
    HDC dc = CreateEnhMetaFileW(nullptr, path.c_str(), &frameHimetric, nullptr);
    if (!dc) return false;
    draw(dc);
    HENHMETAFILE mf = CloseEnhMetaFile(dc);
    return mf && DeleteEnhMetaFile(mf);
}

inline void FillRect(HDC dc, RECT r, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    ::FillRect(dc, &r, brush);
    DeleteObject(brush);
}

// The colour on the screen at (x, y) of a window's client area.
inline COLORREF PixelAt(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
}

inline bool Near(COLORREF a, COLORREF b, int tolerance = 48) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

}  // namespace qcd::test
