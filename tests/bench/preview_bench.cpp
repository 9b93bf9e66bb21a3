// Times the Open dialog's preview in process, from a selection to the finished preview on a
// real panel, next to the platform operations each kind of file wraps, on the same files in the
// same run.
//   qcd_preview_bench FOLDER [--reps N] [--only TEXT] [--thumbnailer FILE] [--sounds DIR]
// --only times just the files whose names contain TEXT. FILE holds "name<TAB>median<TAB>min<TAB>max" lines in milliseconds, timed outside (a Linux
// thumbnailer), shown beside the preview of the same file. DIR (--sounds) holds the sounds of
// tests/win32/make_sounds.py: the spectrum's tick and VBMP3.dll are timed on them.
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>
#include <shellapi.h>
#include <wincodec.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "dialoghost/panel_commands.h"
#include "control/QuorComDlg.h"
#include "media/vbmp3.h"
#include "platform/surface.h"
#include "preview/canvas.h"
#include "resources/resource_ids.h"
#include "tests/win32/set_pixel_analyser.h"
#include "preview/fit_geometry.h"
#include "preview/panel.h"
#include "platform/com_ptr.h"
#include "platform/handles.h"
#include "readers/ani_file.h"
#include "readers/icon_file.h"
#include "preview/jpeg_decode.h"
#include "preview/dispatcher.h"
#include "readers/text_decode.h"

namespace {

namespace fs = std::filesystem;
using qcd::win::com_ptr;

// --- What is timed -------------------------------------------------------------------------

enum class Kind { None, Picture, Jpeg, Wic, Metafile, Text, IconFile, AnimatedCursor, Program };

// One line per file; the kind says which platform operations are timed beside the preview.
// A file is in the bench folder unless given with its own absolute path.
struct Row {
    const char* label;
    const wchar_t* file;
    Kind kind;
};

const Row kRows[] = {
    {"JPEG 640x480", L"photo-640x480.jpg", Kind::Jpeg},
    {"JPEG 4000x3000", L"photo-4000x3000.jpg", Kind::Jpeg},
    {"JPEG 8000x6000", L"photo-8000x6000.jpg", Kind::Jpeg},
    {"JPEG 4000x3000, Exif orientation 6", L"photo-4000x3000-turned.jpg", Kind::Jpeg},
    {"JPEG 4000x3000, Exif thumbnail", L"photo-4000x3000-camera.jpg", Kind::Jpeg},
    {"JPEG 8000x6000, Exif thumbnail", L"photo-8000x6000-camera.jpg", Kind::Jpeg},
    {"PNG 640x480", L"photo-640x480.png", Kind::Wic},
    {"PNG 4000x3000", L"photo-4000x3000.png", Kind::Wic},
    {"TIFF 640x480 (LZW)", L"photo-640x480.tif", Kind::Wic},
    {"TIFF 4000x3000 (LZW)", L"photo-4000x3000.tif", Kind::Wic},
    {"BMP 1024x768x24", L"picture.bmp", Kind::Picture},
    {"GIF 640x480x256", L"drawing.gif", Kind::Picture},
    {"WMF (plain)", L"drawing.wmf", Kind::Metafile},
    {"EMF", L"drawing.emf", Kind::Metafile},
    {"text 10 KB", L"text-10k.txt", Kind::Text},
    {"text 1 MB", L"text-1m.txt", Kind::Text},
    {"text 100 MB", L"text-100m.txt", Kind::Text},
    {"text 1 MB, lines of 32 K characters", L"text-1m-wide.txt", Kind::Text},
    {"text 93 KB of control characters", L"text-controls.txt", Kind::Text},
    {"text 1 MB of one-letter lines", L"text-short-lines.txt", Kind::Text},
    {"text 1 MB UTF-16, odd length", L"text-utf16-odd.txt", Kind::Text},
    {"text 94 KB mixed direction", L"text-bidi.txt", Kind::Text},
    {"text 1 MB in one line", L"text-one-line.txt", Kind::Text},
    {"ICO 16/24/32/48/256 px", L"icons.ico", Kind::IconFile},
    {"ANI 8 frames 16 steps", L"cursor.ani", Kind::AnimatedCursor},
    {"DLL, many icons", L"C:\\windows\\system32\\shell32.dll", Kind::Program},
    {"DLL, no icons", L"noicons.dll", Kind::Program},
    {"no preview (.bin): the fixed work", L"data.bin", Kind::None},
};

// The name the file is shown and previewed under.
std::string Name(const Row& row) {
    return fs::path(row.file).filename().string();
}

// --- Clock and statistics --------------------------------------------------------------------

double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perMs;
}

struct Stats {
    double median = 0, min = 0, max = 0;
};

Stats Summarise(std::vector<double> v) {
    if (v.empty()) return {};
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {median, v.front(), v.back()};
}

// Runs every message waiting, paints included, so the next timing starts on a quiet queue.
void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// --- Platform operations, called directly --------------------------------------------------

// A file's first `limit` bytes in movable global memory, as a picture stream wants them.
struct Global {
    qcd::win::unique_hglobal memory;
    size_t size = 0;
};

Global ReadFileBytes(const fs::path& path, size_t limit = SIZE_MAX) {
    Global g;
    qcd::win::unique_file file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return g;
    LARGE_INTEGER size{};
    GetFileSizeEx(file.get(), &size);
    // Unsigned: SIZE_MAX as a signed 64-bit number is -1.
    const size_t want = static_cast<size_t>(
        std::min<unsigned long long>(static_cast<unsigned long long>(size.QuadPart), limit));
    g.memory.reset(GlobalAlloc(GMEM_MOVEABLE, want ? want : 1));
    if (!g.memory) return g;
    auto* data = static_cast<uint8_t*>(GlobalLock(g.memory.get()));
    while (g.size < want) {
        DWORD n = 0;
        if (!ReadFile(file.get(), data + g.size, static_cast<DWORD>(want - g.size), &n, nullptr) ||
            n == 0)
            break;
        g.size += n;
    }
    GlobalUnlock(g.memory.get());
    return g;
}

com_ptr<IPicture> OleLoad(const Global& bytes) {
    com_ptr<IStream> stream;
    com_ptr<IPicture> picture;
    // The stream must not free the memory: `bytes` owns it.
    if (FAILED(CreateStreamOnHGlobal(bytes.memory.get(), FALSE, stream.put()))) return picture;
    OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size), FALSE, IID_IPicture,
                   picture.put_void());
    return picture;
}

// A memory DC of the preview area's size to draw into.
struct Canvas {
    qcd::win::unique_mem_dc dc;
    qcd::win::unique_hbitmap bitmap;
    HGDIOBJ old = nullptr;
    int width = 0, height = 0;
    Canvas(int w, int h) : width(w), height(h) {
        qcd::win::window_dc screen(nullptr);
        dc.reset(CreateCompatibleDC(screen.get()));
        bitmap.reset(CreateCompatibleBitmap(screen.get(), w, h));
        old = SelectObject(dc.get(), bitmap.get());
    }
    ~Canvas() { SelectObject(dc.get(), old); }
};

// The picture drawn into the area as the preview places it (a metafile over all of it).
void Render(IPicture& picture, const Canvas& canvas, bool stretch) {
    OLE_XSIZE_HIMETRIC hw = 0;
    OLE_YSIZE_HIMETRIC hh = 0;
    picture.get_Width(&hw);
    picture.get_Height(&hh);
    RECT all{0, 0, canvas.width, canvas.height};
    FillRect(canvas.dc.get(), &all, GetSysColorBrush(COLOR_BTNFACE));
    int x = 0, y = 0, cx = canvas.width, cy = canvas.height;
    if (!stretch) {
        qcd::win::window_dc screen(nullptr);
        const int w = MulDiv(hw, GetDeviceCaps(screen.get(), LOGPIXELSX), 2540);
        const int h = MulDiv(hh, GetDeviceCaps(screen.get(), LOGPIXELSY), 2540);
        const auto place = qcd::FitIntoBox(w, h, canvas.width, canvas.height);
        if (!place) return;
        x = place->x, y = place->y, cx = place->width, cy = place->height;
    }
    picture.Render(canvas.dc.get(), x, y, cx, cy, 0, hh, hw, -hh, nullptr);
}

// Icons go into a strip of 32-pixel cells, one image each, as the preview draws them.
constexpr int kCell = 32;

// Drawing confined to cell n (1-based): a bigger image must not spill into its neighbour.
class Cell {
  public:
    Cell(HDC dc, int n) : dc_(dc), saved_(SaveDC(dc)), x_((n - 1) * kCell) {
        IntersectClipRect(dc, x_, 0, x_ + kCell, kCell);
    }
    ~Cell() { RestoreDC(dc_, saved_); }
    Cell(const Cell&) = delete;
    Cell& operator=(const Cell&) = delete;
    int X() const { return x_; }

  private:
    HDC dc_;
    int saved_;
    int x_;
};

// An icon file's images, each as the one-image file the preview gives the picture loader.
std::vector<Global> SingleImages(const fs::path& path) {
    std::vector<Global> out;
    const Global file = ReadFileBytes(path);
    if (!file.memory) return out;
    const auto* data = static_cast<const uint8_t*>(GlobalLock(file.memory.get()));
    const std::span<const uint8_t> bytes(data, file.size);
    const int32_t count = qcd::ReadIconFile(bytes).count;
    for (int32_t n = 1; n <= count; ++n) {
        const auto one = qcd::SingleImageIcon(bytes, n);
        if (!one) continue;
        Global g;
        g.size = one->size();
        g.memory.reset(GlobalAlloc(GMEM_MOVEABLE, g.size));
        if (!g.memory) continue;
        std::copy(one->begin(), one->end(), static_cast<uint8_t*>(GlobalLock(g.memory.get())));
        GlobalUnlock(g.memory.get());
        out.push_back(std::move(g));
    }
    GlobalUnlock(file.memory.get());
    return out;
}

// A picture at its own size with its top left at (x, 0).
void RenderOwnSize(IPicture& picture, HDC dc, int x) {
    OLE_XSIZE_HIMETRIC hw = 0;
    OLE_YSIZE_HIMETRIC hh = 0;
    picture.get_Width(&hw);
    picture.get_Height(&hh);
    const int w = MulDiv(hw, GetDeviceCaps(dc, LOGPIXELSX), 2540);
    const int h = MulDiv(hh, GetDeviceCaps(dc, LOGPIXELSY), 2540);
    picture.Render(dc, x, 0, w, h, 0, hh, hw, -hh, nullptr);
}

struct Icons {
    std::vector<HICON> handles;
    Icons() = default;
    Icons(const Icons&) = delete;
    Icons& operator=(const Icons&) = delete;
    ~Icons() {
        for (HICON h : handles)
            if (h) DestroyIcon(h);
    }
};

// A program file's icons as the preview takes them: the count, then all in one call. The
// icons are destroyed unless `keep` takes them.
int ExtractAllIcons(const std::wstring& file, Icons* keep) {
    const auto count = static_cast<int>(ExtractIconExW(file.c_str(), -1, nullptr, nullptr, 0));
    if (count < 1) return count;
    Icons icons;
    icons.handles.assign(static_cast<size_t>(count), nullptr);
    ExtractIconExW(file.c_str(), 0, icons.handles.data(), nullptr, static_cast<UINT>(count));
    if (keep) std::swap(keep->handles, icons.handles);
    return count;
}

// The other way, for comparison: the count, then one call per icon, each opening the file.
int ExtractIconsOneByOne(const std::string& file) {
    const HINSTANCE self = GetModuleHandleW(nullptr);
    const auto count =
        static_cast<int>(reinterpret_cast<UINT_PTR>(ExtractIconA(self, file.c_str(), UINT_MAX)));
    for (int i = 0; i < count; ++i)
        if (HICON icon = ExtractIconA(self, file.c_str(), static_cast<UINT>(i))) DestroyIcon(icon);
    return count;
}

// IWICBitmapSourceTransform, which mingw-w64's wincodec.h leaves out.
MIDL_INTERFACE("3B16811B-6A43-4ec9-B713-3D5A0C13B940")
ISourceTransform : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect*, UINT, UINT, WICPixelFormatGUID*,
                                                 WICBitmapTransformOptions, UINT, UINT, BYTE*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT*, UINT*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID*) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions, BOOL*) = 0;
};
const IID IID_ISourceTransform = {
    0x3B16811B, 0x6A43, 0x4ec9, {0xB7, 0x13, 0x3D, 0x5A, 0x0C, 0x13, 0xB9, 0x40}};

// The first frame of a picture in memory, through the imaging component: its decoder for
// `container`, or the one the bytes call for when that is null. The bytes stay locked while
// the frame lives.
class WicFile {
  public:
    WicFile(const Global& bytes, const GUID* container) : memory_(bytes.memory.get()) {
        auto* data = static_cast<BYTE*>(GlobalLock(memory_));
        com_ptr<IWICStream> stream;
        com_ptr<IWICBitmapDecoder> decoder;
        const bool opened =
            data &&
            SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IWICImagingFactory, factory.put_void())) &&
            SUCCEEDED(factory->CreateStream(stream.put())) &&
            SUCCEEDED(stream->InitializeFromMemory(data, static_cast<DWORD>(bytes.size))) &&
            (container ? SUCCEEDED(factory->CreateDecoder(*container, nullptr, decoder.put())) &&
                             SUCCEEDED(decoder->Initialize(stream.get(),
                                                           WICDecodeMetadataCacheOnDemand))
                       : SUCCEEDED(factory->CreateDecoderFromStream(
                             stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                             decoder.put()))) &&
            SUCCEEDED(decoder->GetFrame(0, frame.put())) && SUCCEEDED(frame->GetSize(&w, &h));
        if (!opened) frame.reset();
    }
    ~WicFile() { GlobalUnlock(memory_); }
    WicFile(const WicFile&) = delete;
    WicFile& operator=(const WicFile&) = delete;

    com_ptr<IWICImagingFactory> factory;
    com_ptr<IWICBitmapFrameDecode> frame;  // null when anything failed
    UINT w = 0, h = 0;

  private:
    HGLOBAL memory_;
};

// All of a w x h source's pixels, 16 rows a call, as a decode that averages while it reads
// would take them.
bool CopyInStrips(IWICBitmapSource& source, UINT w, UINT h, UINT bytesPerPixel) {
    const UINT stride = (w * bytesPerPixel + 3) & ~3u;
    std::vector<BYTE> strip(static_cast<size_t>(stride) * 16);
    for (UINT y = 0; y < h; y += 16) {
        const UINT rows = std::min<UINT>(16, h - y);
        const WICRect rect{0, static_cast<INT>(y), static_cast<INT>(w), static_cast<INT>(rows)};
        if (FAILED(source.CopyPixels(&rect, stride, stride * rows, strip.data()))) return false;
    }
    return true;
}

// The imaging component's JPEG decode at the size the area needs: scaled inside the decoder
// when the frame offers that, else the whole frame. Says which in `how`.
bool WicDecode(const Global& bytes, int boxW, int boxH, std::string* how) {
    WicFile file(bytes, &GUID_ContainerFormatJpeg);
    if (!file.frame) return false;
    IWICBitmapFrameDecode* frame = file.frame.get();
    const UINT w = file.w, h = file.h;
    int n = 8;
    while (n > 1 && (static_cast<int>((w + n - 1) / n) < std::min<int>(w, boxW) ||
                     static_cast<int>((h + n - 1) / n) < std::min<int>(h, boxH)))
        n /= 2;
    // Why the decoder did not scale, for the note.
    std::string whole = "whole frame: 1/1 is enough";
    com_ptr<ISourceTransform> transform;
    if (n > 1 && FAILED(frame->QueryInterface(IID_ISourceTransform, transform.put_void())))
        whole = "whole frame: no IWICBitmapSourceTransform";
    else if (n > 1) {
        UINT sw = (w + n - 1) / n, sh = (h + n - 1) / n;
        WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
        if (FAILED(transform->GetClosestSize(&sw, &sh)) || sw >= w) {
            whole = "whole frame: closest size " + std::to_string(sw) + "x" + std::to_string(sh);
        } else {
            transform->GetClosestPixelFormat(&format);
            const UINT stride = (sw * 4 + 3) & ~3u;
            std::vector<BYTE> pixels(static_cast<size_t>(stride) * sh);
            if (SUCCEEDED(transform->CopyPixels(nullptr, sw, sh, &format, WICBitmapTransformRotate0,
                                                stride, static_cast<UINT>(pixels.size()),
                                                pixels.data()))) {
                if (how) *how = "1/" + std::to_string(n) + " in the decoder";
                return true;
            }
            whole = "whole frame: scaled CopyPixels failed";
        }
    }
    if (how) *how = whole;
    return CopyInStrips(*frame, w, h, 3);
}

// The imaging component's whole decode of any picture it reads, converted to premultiplied
// BGRA strip by strip: what a PNG or TIFF preview cannot do with less.
bool WicDecodeWhole(const Global& bytes) {
    WicFile file(bytes, nullptr);
    com_ptr<IWICBitmapSource> converted;
    if (!file.frame || FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA,
                                                     file.frame.get(), converted.put())))
        return false;
    return CopyInStrips(*converted.get(), file.w, file.h, 4);
}

const qcd::AnsiCodePage& SystemCodePage() {
    static const qcd::AnsiCodePage ansi{
        [](uint8_t b) { return IsDBCSLeadByte(b) != FALSE; },
        [](std::span<const uint8_t> bytes) {
            std::u16string text;
            const auto n = static_cast<int>(bytes.size());
            const auto* in = reinterpret_cast<const char*>(bytes.data());
            const int wide = n ? MultiByteToWideChar(CP_ACP, 0, in, n, nullptr, 0) : 0;
            text.resize(static_cast<size_t>(std::max(wide, 0)));
            if (wide > 0)
                MultiByteToWideChar(CP_ACP, 0, in, n, reinterpret_cast<wchar_t*>(text.data()), wide);
            return text;
        }};
    return ansi;
}

// --- The panel -------------------------------------------------------------------------------

qcd::PreviewDispatcher* g_engine = nullptr;

// The panel's dialog procedure does what the control's hook does in the Open dialog.
INT_PTR CALLBACK PanelProc(HWND panel, UINT msg, WPARAM, LPARAM) {
    if (!g_engine) return FALSE;
    switch (msg) {
        case WM_INITDIALOG: g_engine->InitPanel(panel); return TRUE;
        case WM_PAINT: g_engine->PaintPanel(); return FALSE;
        case WM_DESTROY: g_engine->PanelDestroyed(); break;
    }
    return FALSE;
}

// A visible top-level window holding the control's own "QRCOMDLG" panel.
class Bed {
  public:
    explicit Bed(qcd::PreviewDispatcher& engine) : engine_(engine) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = L"QcdPreviewBench";
        RegisterClassW(&wc);
        top_.reset(CreateWindowExW(0, wc.lpszClassName, L"preview bench",
                                   WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 640, 360, nullptr,
                                   nullptr, wc.hInstance, nullptr));
        g_engine = &engine_;
        engine_.BeginDialog();
        panel_ = CreateDialogParamW(wc.hInstance, L"QRCOMDLG", top_.get(), PanelProc, 0);
        Pump();
    }
    ~Bed() {
        engine_.EndDialog();
        if (panel_) DestroyWindow(panel_);
        Pump();
        g_engine = nullptr;
    }
    HWND Panel() const { return panel_; }
    bool AreaSize(int& w, int& h) const { return qcd::PanelView(panel_).AreaSize(w, h); }
    // A visible window of the area's size beside the panel, for steps timed on their own.
    HWND SpareArea(int w, int h) {
        spare_.reset(CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 460, 20, w, h,
                                     top_.get(), nullptr, nullptr, nullptr));
        return spare_.get();
    }

  private:
    qcd::PreviewDispatcher& engine_;
    qcd::win::unique_hwnd top_;
    qcd::win::unique_hwnd spare_;
    HWND panel_ = nullptr;
};

// --- Measuring -------------------------------------------------------------------------------

struct Measure {
    std::string what;
    std::vector<double> ms;
    bool loader = false;  // the platform operation the preview's first ratio is taken against
    bool summed = false;  // one of the platform steps the preview takes, added up for the second
    std::string note;
};

struct Result {
    const Row* row;
    uintmax_t bytes = 0;
    double first = 0;  // the warm-up selection, untimed otherwise: what a cold start costs
    std::vector<Measure> measures;  // [0] is the preview itself
};

// A platform step timed once per repetition, interleaved with the preview so drift in the
// machine's load falls on all of them alike. `prepare` runs untimed before it; a step may say
// how it went (a non-empty note).
struct Step {
    Measure measure;
    std::function<std::string()> run;
    std::function<void()> prepare;
};

// The first bytes of a placeable metafile, for a plain one: what the platform loader needs.
std::vector<uint8_t> PlaceableHeader(int right, int bottom) {
    const uint16_t words[10] = {0xCDD7, 0x9AC6, 0, 0, 0, static_cast<uint16_t>(right),
                                static_cast<uint16_t>(bottom), 576, 0, 0};
    std::vector<uint8_t> h;
    uint16_t sum = 0;
    for (uint16_t w : words) {
        h.push_back(static_cast<uint8_t>(w));
        h.push_back(static_cast<uint8_t>(w >> 8));
        sum ^= w;
    }
    h.push_back(static_cast<uint8_t>(sum));
    h.push_back(static_cast<uint8_t>(sum >> 8));
    return h;
}

// The file's bytes as the platform loader can take them: a plain metafile gets a placeable
// header of the area's size in front, in memory.
Global LoadableBytes(const fs::path& path, int areaW, int areaH) {
    Global g = ReadFileBytes(path);
    if (path.extension() != L".wmf" || g.size < 4) return g;
    auto* data = static_cast<uint8_t*>(GlobalLock(g.memory.get()));
    const bool placeable = data[0] == 0xD7 && data[1] == 0xCD && data[2] == 0xC6 && data[3] == 0x9A;
    GlobalUnlock(g.memory.get());
    if (placeable) return g;
    const auto header = PlaceableHeader(areaW, areaH);
    Global out;
    out.size = header.size() + g.size;
    out.memory.reset(GlobalAlloc(GMEM_MOVEABLE, out.size));
    auto* to = static_cast<uint8_t*>(GlobalLock(out.memory.get()));
    data = static_cast<uint8_t*>(GlobalLock(g.memory.get()));
    std::copy(header.begin(), header.end(), to);
    std::copy(data, data + g.size, to + header.size());
    GlobalUnlock(g.memory.get());
    GlobalUnlock(out.memory.get());
    return out;
}

// When the first text reaches an edit box during a selection: what the reader sees first.
double g_firstTextMs = -1;

LRESULT CALLBACK NoteFirstText(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && g_firstTextMs < 0 && call->message == WM_SETTEXT && call->lParam &&
        *reinterpret_cast<const wchar_t*>(call->lParam) != L'\0') {
        wchar_t cls[16] = {};
        GetClassNameW(call->hwnd, cls, 16);
        if (lstrcmpiW(cls, L"Edit") == 0) g_firstTextMs = NowMs();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The longest the bench's thread keeps a message sent to it waiting: how long a selection
// blocks the dialog. Another thread sends WM_NULL over and over while it runs.
class BlockWatch {
  public:
    explicit BlockWatch(HWND window) : window_(window) {
        thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
    }
    ~BlockWatch() { Stop(); }
    double Stop() {
        if (thread_) {
            stop_ = true;
            // The last message is answered by the pump after the timing.
            while (WaitForSingleObject(thread_, 5) == WAIT_TIMEOUT) Pump();
            CloseHandle(thread_);
            thread_ = nullptr;
        }
        return longest_;
    }

  private:
    static DWORD WINAPI Watch(void* self) {
        auto* w = static_cast<BlockWatch*>(self);
        while (!w->stop_) {
            const double t0 = NowMs();
            DWORD_PTR r = 0;
            SendMessageTimeoutW(w->window_, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &r);
            w->longest_ = std::max(w->longest_.load(), NowMs() - t0);
            Sleep(1);
        }
        return 0;
    }

    HWND window_;
    HANDLE thread_ = nullptr;
    std::atomic<bool> stop_{false};
    std::atomic<double> longest_{0};
};

class Bench {
  public:
    Bench(qcd::PreviewDispatcher& engine, Bed& bed, fs::path folder, int reps)
        : engine_(engine), bed_(bed), folder_(std::move(folder)), reps_(reps) {
        bed_.AreaSize(areaW_, areaH_);
        home_.reset(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    nullptr, nullptr));
        area_ = bed_.SpareArea(areaW_, areaH_);
    }

    std::optional<Result> Run(const Row& row) {
        const fs::path path = folder_ / row.file;
        std::error_code ec;
        const uintmax_t bytes = fs::file_size(path, ec);
        if (ec) return std::nullopt;
        Result result{&row, bytes, 0, {}};
        std::vector<Step> steps = StepsFor(row.kind, path);
        Measure preview{"selection to preview", {}, false, false, ""};
        Measure stop{"  of which StopPreviewMedia(true)", {}, false, false, ""};
        Measure after{"  then pending messages", {}, false, false, "paint etc.: not in the preview"};
        Measure firstText{"  first text in the box", {}, false, false, "from the selection"};
        Measure block{"  longest block", {}, false, false, "a message sent meanwhile waits this long"};
        const bool text = row.kind == Kind::Text;
        HHOOK hook = text ? SetWindowsHookExW(WH_CALLWNDPROC, NoteFirstText, nullptr,
                                              GetCurrentThreadId())
                          : nullptr;
        const std::u16string wpath = path.u16string(),
                             title = fs::path(row.file).filename().u16string();
        auto select = [&] {
            const double t0 = NowMs();
            engine_.StopPreviewMedia(true);
            const double t1 = NowMs();
            g_firstTextMs = -1;
            std::optional<BlockWatch> watch;
            if (text) watch.emplace(home_.get());
            engine_.PreviewFile(wpath, title);
            const double t2 = NowMs();
            const double blocked = watch ? watch->Stop() : -1;
            Pump();
            return std::array<double, 5>{t2 - t0, t1 - t0, NowMs() - t2,
                                         g_firstTextMs < 0 ? -1 : g_firstTextMs - t0, blocked};
        };
        result.first = select()[0];
        for (auto& s : steps) {  // warm-ups: libraries loaded, caches filled
            if (s.prepare) s.prepare();
            s.run();
            Pump();
        }
        for (int i = 0; i < reps_; ++i) {
            const auto t = select();
            preview.ms.push_back(t[0]);
            stop.ms.push_back(t[1]);
            after.ms.push_back(t[2]);
            if (t[3] >= 0) firstText.ms.push_back(t[3]);
            if (t[4] >= 0) block.ms.push_back(t[4]);
            for (auto& s : steps) {
                if (s.prepare) s.prepare();
                Pump();
                const double t0 = NowMs();
                std::string note = s.run();
                s.measure.ms.push_back(NowMs() - t0);
                if (!note.empty()) s.measure.note = std::move(note);
            }
            Pump();
        }
        if (hook) UnhookWindowsHookEx(hook);
        for (Measure* m : {&preview, &stop, &after}) result.measures.push_back(std::move(*m));
        if (text) {
            result.measures.push_back(std::move(firstText));
            result.measures.push_back(std::move(block));
        }
        for (auto& s : steps) result.measures.push_back(std::move(s.measure));
        return result;
    }

  private:
    std::vector<Step> StepsFor(Kind kind, const fs::path& path) {
        std::vector<Step> steps;
        auto add = [&](std::string what, bool loader, bool summed, std::string note,
                       std::function<void()> f, std::function<void()> prepare = {}) {
            steps.push_back({{std::move(what), {}, loader, summed, std::move(note)},
                             [f] {
                                 f();
                                 return std::string();
                             },
                             std::move(prepare)});
        };
        const int w = areaW_, h = areaH_;
        switch (kind) {
            case Kind::None:
                break;
            case Kind::Picture:
            case Kind::Jpeg:
            case Kind::Metafile: {
                const bool metafile = kind == Kind::Metafile;
                add("read", false, false, "", [path] { ReadFileBytes(path); });
                add("read + OleLoadPicture", true, true,
                    path.extension() == L".wmf" ? "placeable header added in memory" : "",
                    [path, w, h] { OleLoad(LoadableBytes(path, w, h)); });
                // Drawn from a picture loaded beforehand: the drawing alone.
                auto loaded = std::make_shared<com_ptr<IPicture>>(OleLoad(LoadableBytes(path, w, h)));
                auto canvas = std::make_shared<Canvas>(w, h);
                add(metafile ? "IPicture::Render, stretched" : "IPicture::Render, fitted", false,
                    true, *loaded ? "" : "not loaded", [loaded, canvas, metafile] {
                        if (*loaded) Render(*loaded->get(), *canvas, metafile);
                    });
                if (kind == Kind::Jpeg)
                    steps.push_back({{"read + WIC decode", {}, false, false, ""},
                                     [path, w, h] {
                                         std::string how = "failed";
                                         WicDecode(ReadFileBytes(path), w, h, &how);
                                         return how;
                                     },
                                     {}});
                break;
            }
            case Kind::Wic: {
                steps.push_back({{"read + WIC decode, whole", {}, true, true, ""},
                                 [path] {
                                     return WicDecodeWhole(ReadFileBytes(path)) ? std::string()
                                                                                : "failed";
                                 },
                                 {}});
                // The control's own decode alone, on bytes read beforehand.
                auto bytes = std::make_shared<Global>(ReadFileBytes(path));
                const auto format = path.extension() == L".png" ? qcd::WicPictureFormat::Png
                                                                : qcd::WicPictureFormat::Tiff;
                steps.push_back(
                    {{"decode (the control's own code)", {}, false, false, ""},
                     [bytes, format, w, h] {
                         const auto* p = static_cast<const uint8_t*>(GlobalLock(bytes->memory.get()));
                         const bool done = qcd::DecodeWithAlphaScaled({p, bytes->size}, format, w,
                                                                      h, 0xF0F0F0)
                                               .has_value();
                         GlobalUnlock(bytes->memory.get());
                         return done ? std::string() : "failed";
                     },
                     {}});
                break;
            }
            case Kind::IconFile: {
                // Each image goes to the loader alone, as the preview gives it.
                add("read + OleLoadPicture each image", true, true,
                    "one-image files made in memory", [path] {
                        for (const Global& one : SingleImages(path)) OleLoad(one);
                    });
                auto pictures = std::make_shared<std::vector<com_ptr<IPicture>>>();
                for (const Global& one : SingleImages(path)) pictures->push_back(OleLoad(one));
                const int n = static_cast<int>(pictures->size());
                auto strip = std::make_shared<Canvas>(std::max(n, 1) * kCell, kCell);
                add("IPicture::Render each, own size", false, true,
                    std::to_string(n) + " images, each clipped to a 32 px cell",
                    [pictures, strip] {
                        for (size_t i = 0; i < pictures->size(); ++i) {
                            if (!(*pictures)[i]) continue;
                            Cell cell(strip->dc.get(), static_cast<int>(i) + 1);
                            RenderOwnSize(*(*pictures)[i].get(), strip->dc.get(), cell.X());
                        }
                    });
                break;
            }
            case Kind::AnimatedCursor: {
                add("read", false, false, "the preview reads the frames' sizes", [path] {
                    ReadFileBytes(path);
                });
                add("LoadCursorFromFileW", true, true, "", [path] {
                    qcd::win::unique_hcursor cursor(LoadCursorFromFileW(path.c_str()));
                });
                // Each frame drawn at the first step showing it, as the platform indexes them.
                const Global file = ReadFileBytes(path);
                const auto* data = static_cast<const uint8_t*>(GlobalLock(file.memory.get()));
                const qcd::AniFileInfo info = qcd::ReadAniFile({data, file.size});
                GlobalUnlock(file.memory.get());
                struct Frame {
                    int step, width, height;
                };
                std::vector<Frame> frames;
                auto drawn = [](int32_t size) { return size >= 1 && size <= 256 ? size : kCell; };
                for (int32_t i = 1; i <= info.count; ++i) {
                    const auto& image = info.images[static_cast<size_t>(i - 1)];
                    frames.push_back(
                        {info.FirstStepShowing(i), drawn(image.width), drawn(image.height)});
                }
                auto cursor = std::make_shared<qcd::win::unique_hcursor>(
                    LoadCursorFromFileW(path.c_str()));
                auto strip = std::make_shared<Canvas>(
                    std::max<int>(static_cast<int>(frames.size()), 1) * kCell, kCell);
                add("DrawIconEx each frame", false, true,
                    std::to_string(frames.size()) + " frames, " + std::to_string(info.stepCount) +
                        " steps" + (*cursor ? "" : "; not loaded"),
                    [cursor, strip, frames] {
                        if (!*cursor) return;
                        for (size_t i = 0; i < frames.size(); ++i) {
                            if (frames[i].step < 1) continue;
                            Cell cell(strip->dc.get(), static_cast<int>(i) + 1);
                            DrawIconEx(strip->dc.get(), cell.X(), 0, cursor->get(), frames[i].width,
                                       frames[i].height, static_cast<UINT>(frames[i].step - 1),
                                       nullptr, DI_NORMAL);
                        }
                    });
                break;
            }
            case Kind::Program: {
                const std::wstring file = path.wstring();
                steps.push_back({{"ExtractIconExW(-1), then all", {}, true, true, ""},
                                 [file] {
                                     return std::to_string(ExtractAllIcons(file, nullptr)) +
                                            " icons";
                                 },
                                 {}});
                auto icons = std::make_shared<Icons>();
                ExtractAllIcons(file, icons.get());
                if (icons->handles.empty()) break;
                auto strip = std::make_shared<Canvas>(
                    static_cast<int>(icons->handles.size()) * kCell, kCell);
                add("DrawIcon each", false, true, "", [icons, strip] {
                    for (size_t i = 0; i < icons->handles.size(); ++i) {
                        if (!icons->handles[i]) continue;
                        Cell cell(strip->dc.get(), static_cast<int>(i) + 1);
                        DrawIcon(strip->dc.get(), cell.X(), 0, icons->handles[i]);
                    }
                });
                const std::string ansi = path.string();
                add("ExtractIconA(-1), then each", false, false,
                    "one call per icon: not the preview's way", [ansi] {
                        ExtractIconsOneByOne(ansi);
                    });
                break;
            }
            case Kind::Text: {
                add("read 1 MiB + 4", true, true, "what the preview reads",
                    [path] { ReadFileBytes(path, qcd::kTextReadSize); });
                add("read whole file", false, false, "", [path] { ReadFileBytes(path); });
                // The preview's other steps, each on its own, on a box made as the control's is.
                auto bytes = std::make_shared<Global>(ReadFileBytes(path, qcd::kTextReadSize));
                auto text = std::make_shared<std::u16string>();
                add("decode (the control's own code)", false, false, "", [bytes, text] {
                    const auto* p = static_cast<const uint8_t*>(GlobalLock(bytes->memory.get()));
                    *text = qcd::DecodeTextPreview({p, bytes->size}, SystemCodePage());
                    GlobalUnlock(bytes->memory.get());
                });
                HWND edit = CreateWindowExW(
                    WS_EX_CLIENTEDGE, L"EDIT", L"",
                    WS_CHILD | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                        ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                    0, 0, w, h, home_.get(), nullptr, nullptr, nullptr);
                edits_.emplace_back(edit);
                HWND home = home_.get(), area = area_;
                const auto font = SendMessageW(bed_.Panel(), WM_GETFONT, 0, 0);
                add("SetWindowTextW, box hidden", false, true, "", [edit, text] {
                    SetWindowTextW(edit, reinterpret_cast<const wchar_t*>(text->c_str()));
                }, [edit, home] {
                    // Back where the control keeps it between previews.
                    ShowWindow(edit, SW_HIDE);
                    SetParent(edit, home);
                });
                add("SetParent + WM_SETFONT", false, true, "", [edit, area, font] {
                    SetParent(edit, area);
                    SendMessageW(edit, WM_SETFONT, font, FALSE);
                });
                add("SetWindowPos, shown", false, true, "", [edit, w, h] {
                    SetWindowPos(edit, HWND_TOP, 0, 0, w, h, SWP_SHOWWINDOW | SWP_NOACTIVATE);
                });
                break;
            }
        }
        return steps;
    }

    qcd::PreviewDispatcher& engine_;
    Bed& bed_;
    fs::path folder_;
    int reps_;
    int areaW_ = 0, areaH_ = 0;
    qcd::win::unique_hwnd home_;
    HWND area_ = nullptr;
    std::vector<qcd::win::unique_hwnd> edits_;
};

// --- Report ----------------------------------------------------------------------------------

std::map<std::wstring, Stats> ReadThumbnailer(const fs::path& file) {
    std::map<std::wstring, Stats> out;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        Stats s;
        if (std::getline(fields, name, '\t') && fields >> s.median >> s.min >> s.max)
            out[fs::path(name).wstring()] = s;
    }
    return out;
}

std::string SizeText(uintmax_t bytes) {
    char buf[32];
    if (bytes >= 1024 * 1024)
        snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(bytes) / (1024 * 1024));
    else
        snprintf(buf, sizeof buf, "%.1f KB", static_cast<double>(bytes) / 1024);
    return buf;
}

void PrintLine(const std::string& file, const std::string& what, const Stats& s,
               const std::string& ratio, const std::string& note) {
    printf("%-20s %-34s %9.2f %9.2f %9.2f  %-7s %s\n", file.c_str(), what.c_str(), s.median, s.min,
           s.max, ratio.c_str(), note.c_str());
}

std::string Ratio(double a, double b) {
    if (b <= 0) return "";
    char buf[16];
    snprintf(buf, sizeof buf, "%.2f", a / b);
    return buf;
}

std::string Fixed(double v) {
    char buf[32];
    snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

// One file's line in the closing table, and what it says about the aims.
struct Summary {
    const Row* row;
    double preview;
    double loader;
    std::string loaderName;
    double platform;
    double thumbnailer;  // negative: not timed
    double firstText = -1;  // texts: the selection to the first text in the box
    double block = -1;      // texts: the longest the dialog's thread did not answer
};

// The aims each line is held to, from its kind; `all` gives the untagged photo a turned one
// is compared with.
std::string AimsMissed(const Summary& s, const std::vector<Summary>& all) {
    std::string missed;
    auto miss = [&](const std::string& what) { missed += (missed.empty() ? "" : ", ") + what; };
    const Kind kind = s.row->kind;
    const std::wstring_view file = s.row->file;
    if (kind == Kind::Text) {
        if (s.firstText > 50) miss("first text over 50 ms");
        if (s.block > 50) miss("blocked over 50 ms");
        // Only ordinary text is held to a time for the whole; other shapes may take longer.
        if (s.preview > 1500 && (file == L"text-1m.txt" || file == L"text-100m.txt"))
            miss("whole text over 1.5 s");
        return missed.empty() ? "-" : missed;
    }
    if (kind == Kind::None) return s.preview > 2 ? "over 2 ms" : "-";
    if (s.preview > 100) miss("over 100 ms");
    if (kind == Kind::Wic) {
        if (s.loader > 0 && s.preview > 1.2 * s.loader + 2) miss("over 1.2x WIC + 2 ms");
    } else if (s.platform > 0 && s.preview > 1.2 * s.platform) {
        miss("over 1.2x platform");
    }
    if (s.thumbnailer > 0 && s.preview > 2 * s.thumbnailer) miss("over 2x thumbnailer");
    // A camera's thumbnail stands in for its photo, whatever the photo's size.
    if (file.find(L"-camera") != std::wstring_view::npos && s.preview > 5) miss("over 5 ms");
    if (file.find(L"-turned") != std::wstring_view::npos) {
        std::wstring plain(file);
        plain.erase(plain.find(L"-turned"), 7);
        for (const Summary& other : all)
            if (other.row->file == plain && s.preview > 1.1 * other.preview + 1)
                miss("slower than untagged");
    }
    return missed.empty() ? "-" : missed;
}

void PrintSummary(const std::vector<Summary>& all) {
    printf("\nsummary (medians, ms)\n");
    printf("%-20s %9s  %-32s %9s %6s  %9s %6s  %9s %6s  %s\n", "file", "preview", "loader",
           "", "ratio", "platform", "ratio", "thumbnlr", "ratio", "aims missed");
    for (const Summary& s : all) {
        const std::string missed = AimsMissed(s, all);
        printf("%-20s %9.2f  %-32s %9s %6s  %9s %6s  %9s %6s  %s\n",
               Name(*s.row).c_str(), s.preview, s.loaderName.c_str(),
               s.loader > 0 ? Fixed(s.loader).c_str() : "", Ratio(s.preview, s.loader).c_str(),
               s.platform > 0 ? Fixed(s.platform).c_str() : "", Ratio(s.preview, s.platform).c_str(),
               s.thumbnailer > 0 ? Fixed(s.thumbnailer).c_str() : "",
               s.thumbnailer > 0 ? Ratio(s.preview, s.thumbnailer).c_str() : "",
               missed.c_str());
    }
}

// --- Sound: the spectrum's tick and VBMP3.dll --------------------------------------------------

// The sounds tests/win32/make_sounds.py writes: a 6 s tone, and five minutes with an Info
// frame and without one (its length then comes from a scan of the frame headers).
constexpr const char* kTone = "tone1k_44k_stereo_cbr.mp3";
constexpr const char* kLongSounds[] = {"five_minutes.mp3", "five_minutes_noinfo.mp3"};

struct SoundResults {
    std::vector<double> tick, setPixelTick;  // Timer7 on the area; the same bins with SetPixel
    std::vector<std::pair<std::string, std::vector<double>>> opens;
    double coreShare = -1;  // percent of one core while playing
    int played = 0;         // seconds of sound played meanwhile
};

double Mean(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v) sum += x;
    return v.empty() ? 0 : sum / static_cast<double>(v.size());
}

double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& f) {
        return static_cast<double>(static_cast<uint64_t>(f.dwHighDateTime) << 32 |
                                   f.dwLowDateTime) /
               1e4;
    };
    return ms(kernel) + ms(user);
}

// The tone played through the preview with the spectrum behind it, Timer7 ticked by hand,
// beside the same tick drawn with SetPixel; then the long sounds opened, and one played for
// 10 s with the share of a core it took. False when the sounds or the library are missing.
bool TimeSound(qcd::QuorComDlg& control, const fs::path& sounds, int reps, SoundResults& out) {
    qcd::PreviewDispatcher& engine = control.Dialogs().Preview();
    qcd::Canvas& canvas = control.Dialogs().PreviewCanvas();
    qcd::TimerOwner& timers = control.Timers();
    qcd::Vbmp3& library = qcd::ProcessVbmp3();
    const fs::path tone = sounds / kTone;
    engine.StopPreviewMedia(true);
    engine.PreviewFile(tone.u16string(), tone.filename().u16string());
    qcd::OnPanelCommand(canvas, engine.Shown(), IDC_PLAY_BUTTON);
    Pump();
    if (!library.Loaded() || !timers.Enabled(qcd::TimerId::Spectrum)) return false;
    const int w = canvas.AreaWidth(), h = canvas.AreaHeight();
    const int spectrum = static_cast<int>(qcd::TimerId::Spectrum);
    qcd::Surface reference(RGB(0, 0, 0));
    qcd::test::SetPixelSpectrum slow;
    for (int i = 0; i < 220; ++i) {
        double t0 = NowMs();
        timers.Tick(spectrum);
        const double tick = NowMs() - t0;
        t0 = NowMs();
        reference.Resize(w, h);
        reference.Clear();
        qcd::SpectrumBins a{}, b{};
        library.GetSpectrum(a, b);
        slow.Tick(reference.Dc(), a, b, h);
        reference.CopyToWindow(canvas.Area(), w, h);
        if (i < 20) continue;  // warm-up
        out.tick.push_back(tick);
        out.setPixelTick.push_back(NowMs() - t0);
    }
    engine.StopPreviewMedia(true);
    Pump();

    for (const char* name : kLongSounds) {
        const std::u16string path = (sounds / name).u16string();
        Vbmp3Info info{};
        if (!library.Open(path, info)) return false;  // warm-up: the file in the cache
        // The best of at least 15 is held to the aim.
        std::vector<double> ms;
        for (int i = 0; i < std::max(reps, 15); ++i) {
            const double t0 = NowMs();
            library.Open(path, info);
            ms.push_back(NowMs() - t0);
        }
        out.opens.emplace_back(name, std::move(ms));
    }

    Vbmp3Info info{};
    if (!library.Open((sounds / kLongSounds[0]).u16string(), info)) return false;
    const double cpu0 = ProcessCpuMs(), t0 = NowMs();
    library.Play();
    int32_t position = 0;
    while (NowMs() - t0 < 10000 && library.GetState(position) == 1) Sleep(100);
    out.coreShare = 100 * (ProcessCpuMs() - cpu0) / (NowMs() - t0);
    out.played = position;
    library.Stop();
    return true;
}

void PrintSound(const SoundResults& r) {
    printf("\n%s, the spectrum behind it (%zu ticks after 20)\n", kTone, r.tick.size());
    const Stats tick = Summarise(r.tick), slow = Summarise(r.setPixelTick);
    PrintLine(kTone, "Timer7 tick", tick, "", "mean " + Fixed(Mean(r.tick)));
    PrintLine("", "  SetPixel, same bins, shown", slow, Ratio(tick.median, slow.median),
              "mean " + Fixed(Mean(r.setPixelTick)) + "; the old way");
    printf("\nVBMP3.dll, five minutes at 128 kbit/s\n");
    for (const auto& [name, ms] : r.opens) PrintLine(name, "vbmp3_open", Summarise(ms), "", "");
    // The null device takes the sound faster than real time: per second of sound the cost is
    // the share divided by the speed.
    printf("%-20s %-34s %9.1f %% of a core; %d s of sound played in 10 s\n", kLongSounds[0],
           "playing", r.coreShare, r.played);
}

// The sound's lines of the closing table, each with the aims it is held to.
void PrintSoundSummary(const SoundResults& r) {
    printf("\nsummary, sound\n");
    printf("%-26s %-22s %9s %9s  %-28s %s\n", "file", "what", "median", "best", "aim",
           "aims missed");
    const Stats tick = Summarise(r.tick);
    std::string missed;
    if (Mean(r.tick) > 2) missed = "mean over 2 ms";
    if (Mean(r.tick) >= Mean(r.setPixelTick))
        missed += (missed.empty() ? "" : ", ") + std::string("not under SetPixel");
    printf("%-26s %-22s %9.3f %9.3f  %-28s %s\n", kTone, "Timer7 tick, ms", tick.median, tick.min,
           "mean 2 ms, under SetPixel", missed.empty() ? "-" : missed.c_str());
    for (const auto& [name, ms] : r.opens) {
        const Stats s = Summarise(ms);
        printf("%-26s %-22s %9.2f %9.2f  %-28s %s\n", name.c_str(), "vbmp3_open, ms", s.median,
               s.min, "best 20 ms", s.min > 20 ? "best over 20 ms" : "-");
    }
    const char* playing = r.played <= 5 ? "did not play" : r.coreShare >= 25 ? "25 % or more" : "-";
    printf("%-26s %-22s %9.1f %9s  %-28s %s\n", kLongSounds[0], "playing, % of a core", r.coreShare,
           "", "under 25 %", playing);
}

int Usage() {
    fprintf(stderr,
            "usage: qcd_preview_bench FOLDER [--reps N] [--only TEXT] [--thumbnailer FILE] "
            "[--sounds DIR]\n");
    return 2;
}

int Main(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const fs::path folder = argv[1];
    int reps = 7;
    std::map<std::wstring, Stats> thumbnailer;
    std::wstring only;
    fs::path sounds;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--reps" && i + 1 < argc)
            reps = std::max(1, _wtoi(argv[++i]));
        else if (arg == L"--only" && i + 1 < argc)
            only = argv[++i];
        else if (arg == L"--thumbnailer" && i + 1 < argc)
            thumbnailer = ReadThumbnailer(argv[++i]);
        else if (arg == L"--sounds" && i + 1 < argc)
            sounds = argv[++i];
        else
            return Usage();
    }

    com_ptr<_QuorComDlg> control;
    if (FAILED(qcd::CreateQuorComDlg(nullptr, qcd::IID__QuorComDlg, control.put_void()))) {
        fprintf(stderr, "preview bench: the control could not be created\n");
        return 1;
    }
    qcd::QuorComDlg& object = *static_cast<qcd::QuorComDlg*>(control.get());
    qcd::PreviewDispatcher& engine = object.Dialogs().Preview();
    int failures = 0;
    {
        Bed bed(engine);
        int w = 0, h = 0;
        if (!bed.Panel() || !bed.AreaSize(w, h)) {
            fprintf(stderr, "preview bench: the panel could not be created\n");
            return 1;
        }
        printf("preview area %d x %d px; %d repetitions after one warm-up; times in ms;\n"
               "prev/x = the preview's median over this line's median\n\n",
               w, h, reps);
        printf("%-20s %-34s %9s %9s %9s  %-7s %s\n", "file", "what", "median", "min", "max",
               "prev/x", "");
        Bench bench(engine, bed, folder, reps);
        std::vector<Summary> summaries;
        for (const Row& row : kRows) {
            if (std::wstring_view(row.file).find(only) == std::wstring_view::npos) continue;
            auto r = bench.Run(row);
            if (!r) {
                fprintf(stderr, "preview bench: no file %ls\n", (folder / row.file).c_str());
                ++failures;
                continue;
            }
            Summary sum{&row, Summarise(r->measures[0].ms).median, 0, {}, 0, -1};
            printf("\n%s, %s\n", row.label, SizeText(r->bytes).c_str());
            Stats platform;
            for (size_t i = 0; i < r->measures.size(); ++i) {
                const Measure& m = r->measures[i];
                const Stats s = Summarise(m.ms);
                std::string note = m.note;
                if (i == 0) note = "first selection " + Fixed(r->first);
                if (m.what == "  first text in the box") sum.firstText = s.median;
                if (m.what == "  longest block") sum.block = s.max;
                if (m.loader) {
                    note = note.empty() ? "<- the loader" : note + "; <- the loader";
                    sum.loader = s.median;
                    sum.loaderName = m.what;
                }
                if (m.summed) {
                    platform.median += s.median;
                    platform.min += s.min;
                    platform.max += s.max;
                }
                PrintLine(i == 0 ? Name(row) : "",
                          i < 3 ? m.what : (m.summed ? "+ " : "  ") + m.what, s,
                          i < 3 ? "" : Ratio(sum.preview, s.median), note);
            }
            if (platform.median > 0) {
                PrintLine("", "= platform steps (+) added up", platform,
                          Ratio(sum.preview, platform.median), "");
                sum.platform = platform.median;
            }
            const auto t = thumbnailer.find(row.file);
            if (t != thumbnailer.end()) {
                PrintLine("", "gdk-pixbuf-thumbnailer -s 128", t->second,
                          Ratio(sum.preview, t->second.median), "whole process, Linux side");
                sum.thumbnailer = t->second.median;
            }
            summaries.push_back(sum);
        }
        // The sounds when --only leaves any of them in.
        bool timeSound = !sounds.empty();
        if (timeSound && !only.empty()) {
            timeSound = false;
            for (const char* name : {kTone, kLongSounds[0], kLongSounds[1]})
                if (fs::path(name).wstring().find(only) != std::wstring::npos) timeSound = true;
        }
        SoundResults sound;
        if (timeSound) {
            if (TimeSound(object, sounds, reps, sound)) {
                PrintSound(sound);
            } else {
                fprintf(stderr,
                        "preview bench: no sound timed from %ls (a file or VBMP3.dll missing)\n",
                        sounds.c_str());
                ++failures;
                timeSound = false;
            }
        }
        PrintSummary(summaries);
        if (timeSound) PrintSoundSummary(sound);
    }
    return failures ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (FAILED(CoInitialize(nullptr))) return 1;
    const int status = Main(argc, argv);
    CoUninitialize();
    return status;
}
