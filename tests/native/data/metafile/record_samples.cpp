// Records the sample metafiles of metafile_check_test.cpp with the platform's own recorder.
// Not part of the build; made once with mingw-w64 and run under Wine 8.0 (with a display, for
// the screen DC) from this folder:
//
//   i686-w64-mingw32-g++ -O2 -static record_samples.cpp -o record_samples.exe -lgdi32 -lmsimg32
//   QCD_WINEPREFIX=$PWD/../../../../build/wineprefix-mf \
//       ../../../../scripts/testbed.sh run wine record_samples.exe
//
// Each file draws one group of records: shapes (lines, polygons, pens and brushes), text
// (fonts, TextOut, ExtTextOut), bitmaps (StretchDIBits, BitBlt from a memory DC, pattern
// brushes), and the records only one of the two formats keeps.
#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

void Shapes(HDC dc) {
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(200, 0, 0));
    HPEN dash = CreatePen(PS_DASH, 1, RGB(0, 0, 200));
    HBRUSH solid = CreateSolidBrush(RGB(0, 160, 0));
    HBRUSH hatch = CreateHatchBrush(HS_DIAGCROSS, RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, solid);
    MoveToEx(dc, 10, 10, nullptr);
    LineTo(dc, 300, 40);
    const POINT tri[] = {{20, 60}, {120, 60}, {70, 150}};
    Polygon(dc, tri, 3);
    SelectObject(dc, dash);
    const POINT zig[] = {{150, 60}, {170, 100}, {190, 60}, {210, 100}, {230, 60}};
    Polyline(dc, zig, 5);
    SelectObject(dc, hatch);
    const POINT two[] = {{20, 170}, {100, 170}, {100, 250}, {20, 250},
                         {40, 190}, {80, 190}, {60, 230}};
    const INT counts[] = {4, 3};
    PolyPolygon(dc, two, counts, 2);
    Rectangle(dc, 130, 170, 200, 240);
    Ellipse(dc, 210, 170, 290, 240);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, 10, 260, 120, 300, 12, 12);
    SetPolyFillMode(dc, WINDING);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(dash);
    DeleteObject(solid);
    DeleteObject(hatch);
    HRGN region = CreateRectRgn(300, 100, 380, 160);
    HBRUSH fill = CreateSolidBrush(RGB(90, 90, 200));
    FillRgn(dc, region, fill);
    SelectClipRgn(dc, region);
    Ellipse(dc, 290, 90, 390, 170);
    SelectClipRgn(dc, nullptr);
    DeleteObject(fill);
    DeleteObject(region);
}

void Text(HDC dc) {
    HFONT font = CreateFontW(-24, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, L"Arial");
    HFONT slant = CreateFontW(18, 0, 300, 300, FW_NORMAL, TRUE, TRUE, FALSE, ANSI_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH, L"Times New Roman");
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, RGB(0, 0, 128));
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 10, 10, L"Preview", 7);
    TextOutW(dc, 10, 40, L"odd", 3);
    SelectObject(dc, slant);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(255, 255, 0));
    const RECT box = {10, 80, 200, 110};
    ExtTextOutW(dc, 12, 82, ETO_OPAQUE | ETO_CLIPPED, &box, L"clipped text", 12, nullptr);
    const INT dx[] = {14, 14, 14, 14, 14};
    ExtTextOutW(dc, 10, 130, 0, nullptr, L"wide!", 5, dx);
    SetTextAlign(dc, TA_CENTER | TA_BASELINE);
    ExtTextOutW(dc, 150, 180, 0, nullptr, L"", 0, nullptr);
    ExtTextOutW(dc, 150, 200, 0, nullptr, L"centred", 7, nullptr);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteObject(slant);
}

// A 4-bit 5 x 3 picture and an 8-bit, a 24-bit and a top-down 32-bit one, stretched.
void Bitmaps(HDC dc) {
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colours[256];
    } bmi{};
    uint8_t bits[64 * 64 * 4];
    for (size_t i = 0; i < sizeof bits; ++i) bits[i] = static_cast<uint8_t>(i * 7);
    for (int c = 0; c < 256; ++c)
        bmi.colours[c] = {static_cast<BYTE>(c), static_cast<BYTE>(255 - c), 128, 0};
    bmi.h.biSize = sizeof bmi.h;
    bmi.h.biPlanes = 1;
    const struct {
        int w, h, bpp;
    } kinds[] = {{5, 3, 4}, {7, 5, 8}, {9, 6, 24}, {8, -4, 32}, {16, 16, 1}};
    int x = 10;
    for (const auto& k : kinds) {
        bmi.h.biWidth = k.w;
        bmi.h.biHeight = k.h;
        bmi.h.biBitCount = static_cast<WORD>(k.bpp);
        bmi.h.biClrUsed = k.bpp <= 8 ? 1u << k.bpp : 0;
        // Wine 8 records a plain metafile's bits by this size: 0 would leave them out.
        bmi.h.biSizeImage = static_cast<DWORD>((k.w * k.bpp + 31) / 32 * 4 * (k.h < 0 ? -k.h : k.h));
        StretchDIBits(dc, x, 10, k.w * 4, (k.h < 0 ? -k.h : k.h) * 4, 0, 0, k.w,
                      k.h < 0 ? -k.h : k.h, bits, reinterpret_cast<BITMAPINFO*>(&bmi),
                      DIB_RGB_COLORS, SRCCOPY);
        x += k.w * 4 + 10;
    }
    // 24 bits: Wine 8 records this call's colour table short and corrupts its heap.
    bmi.h.biWidth = 6;
    bmi.h.biHeight = 4;
    bmi.h.biBitCount = 24;
    bmi.h.biClrUsed = 0;
    bmi.h.biSizeImage = 24 * 4;
    SetDIBitsToDevice(dc, 10, 100, 6, 4, 0, 0, 0, 4, bits, reinterpret_cast<BITMAPINFO*>(&bmi),
                      DIB_RGB_COLORS);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, 24, 16);
    HGDIOBJ oldBitmap = SelectObject(memory, picture);
    RECT all = {0, 0, 24, 16};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Ellipse(memory, 2, 2, 22, 14);
    BitBlt(dc, 100, 100, 24, 16, memory, 0, 0, SRCCOPY);
    StretchBlt(dc, 140, 100, 48, 32, memory, 0, 0, 24, 16, SRCCOPY);
    PatBlt(dc, 200, 100, 20, 20, PATCOPY);

    HBITMAP mono = CreateBitmap(8, 8, 1, 1, "\xAA\x00\x55\x00\xAA\x00\x55\x00\xAA\x00\x55\x00\xAA\x00\x55\x00");
    HBRUSH pattern = CreatePatternBrush(mono);
    HGDIOBJ oldBrush = SelectObject(dc, pattern);
    Rectangle(dc, 10, 150, 80, 200);
    bmi.h.biWidth = 8;
    bmi.h.biHeight = 8;
    bmi.h.biBitCount = 4;
    bmi.h.biClrUsed = 16;
    bmi.h.biSizeImage = 4 * 8;
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colours[16];
        uint8_t pixels[8 * 4];
    } packed{};
    std::memcpy(&packed.h, &bmi.h, sizeof bmi.h);
    std::memcpy(packed.colours, bmi.colours, sizeof packed.colours);
    std::memcpy(packed.pixels, bits, sizeof packed.pixels);
    HBRUSH dibBrush = CreateDIBPatternBrushPt(&packed, DIB_RGB_COLORS);
    SelectObject(dc, dibBrush);
    Rectangle(dc, 90, 150, 160, 200);
    SelectObject(dc, oldBrush);
    DeleteObject(pattern);
    DeleteObject(dibBrush);
    DeleteObject(mono);

    SelectObject(memory, oldBitmap);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// Records only an enhanced metafile keeps: curves, paths, wide pens, transforms, the other
// blits and a comment.
void EnhancedOnly(HDC dc) {
    const POINT curve[] = {{10, 10}, {60, 80}, {110, -20}, {160, 50}};
    PolyBezier(dc, curve, 4);
    MoveToEx(dc, 10, 100, nullptr);
    PolyBezierTo(dc, curve + 1, 3);
    PolylineTo(dc, curve, 4);
    const POINT drawn[] = {{200, 10}, {260, 10}, {260, 60}, {230, 90}, {200, 60}};
    const BYTE types[] = {PT_MOVETO, PT_LINETO, PT_LINETO, PT_BEZIERTO, PT_BEZIERTO | PT_CLOSEFIGURE};
    PolyDraw(dc, drawn, types, 4);
    const POINT distant[] = {{100000, 100000}, {100100, 100000}, {100050, 100100}};
    Polygon(dc, distant, 3);
    const POINT lines[] = {{10, 300}, {60, 300}, {10, 320}, {60, 320}, {80, 320}};
    const DWORD lineCounts[] = {2, 3};
    PolyPolyline(dc, lines, lineCounts, 2);

    LOGBRUSH lb = {BS_SOLID, RGB(0, 100, 200), 0};
    const DWORD styles[] = {8, 4, 2, 4};
    HPEN geometric = ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE | PS_ENDCAP_ROUND, 5, &lb, 4, styles);
    HGDIOBJ oldPen = SelectObject(dc, geometric);
    BeginPath(dc);
    MoveToEx(dc, 300, 10, nullptr);
    LineTo(dc, 380, 60);
    ArcTo(dc, 300, 60, 380, 140, 380, 100, 300, 100);
    CloseFigure(dc);
    EndPath(dc);
    StrokeAndFillPath(dc);
    SelectObject(dc, oldPen);
    DeleteObject(geometric);

    SetGraphicsMode(dc, GM_ADVANCED);
    const XFORM turn = {0.8f, 0.6f, -0.6f, 0.8f, 50.0f, 20.0f};
    SetWorldTransform(dc, &turn);
    Rectangle(dc, 0, 0, 40, 20);
    ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
    SaveDC(dc);
    IntersectClipRect(dc, 0, 0, 200, 200);
    RestoreDC(dc, -1);

    static const char note[] = "made by record_samples";
    GdiComment(dc, sizeof note, reinterpret_cast<const BYTE*>(note));

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, 16, 16);
    HGDIOBJ oldBitmap = SelectObject(memory, picture);
    PatBlt(memory, 0, 0, 16, 16, WHITENESS);
    Ellipse(memory, 0, 0, 16, 16);
    HBITMAP mask = CreateBitmap(16, 16, 1, 1, nullptr);
    MaskBlt(dc, 10, 200, 16, 16, memory, 0, 0, mask, 0, 0, MAKEROP4(SRCCOPY, SRCAND));
    const POINT skew[] = {{40, 200}, {70, 210}, {30, 230}};
    PlgBlt(dc, skew, memory, 0, 0, 16, 16, nullptr, 0, 0);
    const BLENDFUNCTION half = {AC_SRC_OVER, 0, 128, 0};
    AlphaBlend(dc, 100, 200, 32, 32, memory, 0, 0, 16, 16, half);
    TransparentBlt(dc, 150, 200, 32, 32, memory, 0, 0, 16, 16, RGB(255, 255, 255));

    LOGPALETTE* pal = static_cast<LOGPALETTE*>(
        HeapAlloc(GetProcessHeap(), 0, sizeof(LOGPALETTE) + 8 * sizeof(PALETTEENTRY)));
    pal->palVersion = 0x300;
    pal->palNumEntries = 8;
    for (int i = 0; i < 8; ++i)
        pal->palPalEntry[i] = {static_cast<BYTE>(i * 30), 0, static_cast<BYTE>(255 - i * 30), 0};
    HPALETTE palette = CreatePalette(pal);
    HeapFree(GetProcessHeap(), 0, pal);
    HPALETTE oldPalette = SelectPalette(dc, palette, FALSE);
    RealizePalette(dc);
    SelectPalette(dc, oldPalette, FALSE);
    DeleteObject(palette);

    SelectObject(memory, oldBitmap);
    DeleteObject(mask);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// A palette and regions, which only the plain metafile keeps as objects of their own.
void PlainOnly(HDC dc) {
    LOGPALETTE* pal = static_cast<LOGPALETTE*>(
        HeapAlloc(GetProcessHeap(), 0, sizeof(LOGPALETTE) + 4 * sizeof(PALETTEENTRY)));
    pal->palVersion = 0x300;
    pal->palNumEntries = 4;
    for (int i = 0; i < 4; ++i)
        pal->palPalEntry[i] = {static_cast<BYTE>(i * 60), 80, 40, 0};
    HPALETTE palette = CreatePalette(pal);
    HeapFree(GetProcessHeap(), 0, pal);
    HPALETTE oldPalette = SelectPalette(dc, palette, FALSE);
    RealizePalette(dc);
    const PALETTEENTRY changed = {1, 2, 3, 0};
    SetPaletteEntries(palette, 1, 1, &changed);
    SelectPalette(dc, oldPalette, FALSE);
    DeleteObject(palette);

    HRGN a = CreateRectRgn(10, 10, 100, 60);
    HRGN b = CreateEllipticRgn(50, 30, 150, 120);
    CombineRgn(a, a, b, RGN_OR);
    HBRUSH brush = CreateSolidBrush(RGB(0, 120, 60));
    FrameRgn(dc, a, brush, 2, 2);
    PaintRgn(dc, b);
    InvertRgn(dc, b);
    DeleteObject(brush);
    DeleteObject(a);
    DeleteObject(b);
    Arc(dc, 10, 150, 110, 250, 110, 200, 10, 200);
    Pie(dc, 120, 150, 220, 250, 220, 200, 120, 200);
    Chord(dc, 230, 150, 330, 250, 330, 200, 230, 200);
    SetPixel(dc, 5, 5, RGB(255, 0, 0));
    SaveDC(dc);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowExtEx(dc, 400, 300, nullptr);
    SetViewportExtEx(dc, 400, 300, nullptr);
    RestoreDC(dc, -1);
}

void RecordWmf(const wchar_t* path, void (*draw)(HDC)) {
    HDC dc = CreateMetaFileW(path);
    draw(dc);
    DeleteMetaFile(CloseMetaFile(dc));
}

void RecordEmf(const wchar_t* path, void (*draw)(HDC)) {
    const RECT frame = {0, 0, 10000, 8000};  // .01 mm
    HDC dc = CreateEnhMetaFileW(nullptr, path, &frame, L"record_samples\0sample\0");
    draw(dc);
    DeleteEnhMetaFile(CloseEnhMetaFile(dc));
}

}  // namespace

int main() {
    RecordWmf(L"shapes.wmf", Shapes);
    RecordWmf(L"text.wmf", Text);
    RecordWmf(L"bitmaps.wmf", Bitmaps);
    RecordWmf(L"palette_regions.wmf", PlainOnly);
    RecordEmf(L"shapes.emf", Shapes);
    RecordEmf(L"text.emf", Text);
    RecordEmf(L"bitmaps.emf", Bitmaps);
    RecordEmf(L"enhanced_only.emf", EnhancedOnly);
    RecordEmf(L"palette_regions.emf", PlainOnly);
    return 0;
}
