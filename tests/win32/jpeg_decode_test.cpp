// Reduced-size JPEG decoding against the platform's imaging component: files made here at run
// time (by the platform's JPEG encoder, and a DC-only progressive file written byte by byte),
// and fake frames for the decoder-side scaling that only some platforms offer.
#include <windows.h>

#include <wincodec.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "preview/fit_geometry.h"
#include "platform/com_ptr.h"
#include "platform/handles.h"
#include "preview/jpeg_decode.h"
#include "preview/picture_kind.h"

namespace qcd::test {
namespace {

using win::com_ptr;

struct Rgb {
    uint8_t r, g, b;
};

// A 4 x 3 grid of colours over the whole picture, row by row from the top left: a picture
// turned or mirrored, or with red and blue swapped, fails at some cell.
constexpr Rgb kGrid[12] = {
    {200, 30, 30},   {30, 160, 40},  {40, 60, 200},   {230, 220, 40},
    {30, 190, 200},  {190, 40, 180}, {250, 250, 250}, {20, 20, 20},
    {128, 128, 128}, {240, 140, 20}, {100, 60, 20},   {150, 200, 250},
};

Rgb GridColour(int64_t x, int64_t y, int64_t width, int64_t height) {
    return kGrid[(y * 3 / height) * 4 + x * 4 / width];
}

// The centre of grid cell (column, row) in a picture of w x h.
POINT CellCentre(int column, int row, int32_t w, int32_t h) {
    return {static_cast<LONG>((2 * column + 1) * w / 8), static_cast<LONG>((2 * row + 1) * h / 6)};
}

::testing::AssertionResult Near(COLORREF got, Rgb want, int tolerance) {
    const int dr = std::abs(GetRValue(got) - want.r), dg = std::abs(GetGValue(got) - want.g),
              db = std::abs(GetBValue(got) - want.b);
    if (dr <= tolerance && dg <= tolerance && db <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got (" << int{GetRValue(got)} << ", " << int{GetGValue(got)} << ", "
           << int{GetBValue(got)} << ") want (" << int{want.r} << ", " << int{want.g} << ", "
           << int{want.b} << ")";
}

class ComScope {
public:
    explicit ComScope(DWORD model = COINIT_APARTMENTTHREADED)
        : hr_(CoInitializeEx(nullptr, model)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

com_ptr<IWICImagingFactory> Factory() {
    com_ptr<IWICImagingFactory> factory;
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     factory.put_void());
    return factory;
}

// The decoded bitmap as it lands on a screen-compatible bitmap through BitBlt.
class OnScreen {
public:
    explicit OnScreen(const DecodedPicture& picture) : w_(picture.width), h_(picture.height) {
        win::window_dc screen(nullptr);
        target_.reset(CreateCompatibleDC(screen.get()));
        targetBitmap_.reset(CreateCompatibleBitmap(screen.get(), w_, h_));
        selected_.emplace(target_.get(), targetBitmap_.get());
        win::unique_mem_dc source(CreateCompatibleDC(screen.get()));
        win::select_object in(source.get(), picture.bitmap.get());
        blitted_ = BitBlt(target_.get(), 0, 0, w_, h_, source.get(), 0, 0, SRCCOPY) != FALSE;
    }
    bool Blitted() const { return blitted_; }
    COLORREF At(POINT p) const { return GetPixel(target_.get(), p.x, p.y); }
    COLORREF At(int x, int y) const { return GetPixel(target_.get(), x, y); }

private:
    int32_t w_, h_;
    win::unique_mem_dc target_;
    win::unique_hbitmap targetBitmap_;
    std::optional<win::select_object> selected_;
    bool blitted_ = false;
};

// Every cell of the grid at its centre, and the bottom-right pixel (an edge block that holds
// fewer pixels than the others when the size is not a multiple of the reduction).
void ExpectGrid(const DecodedPicture& picture, int tolerance) {
    OnScreen screen(picture);
    ASSERT_TRUE(screen.Blitted());
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            EXPECT_TRUE(Near(screen.At(CellCentre(column, row, picture.width, picture.height)),
                             kGrid[row * 4 + column], tolerance))
                << "cell " << column << ", " << row;
    EXPECT_TRUE(Near(screen.At(picture.width - 1, picture.height - 1), kGrid[11], tolerance))
        << "bottom-right pixel";
}

// w x h pixels of `format` (24bppBGR or 8bppGray) through the platform's JPEG encoder.
std::vector<uint8_t> EncodeJpeg(UINT w, UINT h, const WICPixelFormatGUID& format) {
    auto factory = Factory();
    com_ptr<IStream> stream;
    com_ptr<IWICBitmapEncoder> encoder;
    com_ptr<IWICBitmapFrameEncode> frame;
    com_ptr<IPropertyBag2> options;
    if (!factory || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.put(), options.put())))
        return {};
    PROPBAG2 quality{};
    quality.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = 0.95f;
    options->Write(1, &quality, &value);  // the default quality does as well, only less exactly
    WICPixelFormatGUID actual = format;
    if (FAILED(frame->Initialize(options.get())) || FAILED(frame->SetSize(w, h)) ||
        FAILED(frame->SetPixelFormat(&actual)) || actual != format)
        return {};
    const bool grey = format == GUID_WICPixelFormat8bppGray;
    const UINT bytes = grey ? 1 : 3;
    const UINT stride = (w * bytes + 3) & ~3u;
    std::vector<uint8_t> pixels(static_cast<size_t>(stride) * h);
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x) {
            const Rgb c = GridColour(x, y, w, h);
            uint8_t* p = &pixels[static_cast<size_t>(y) * stride + x * bytes];
            if (grey) {
                p[0] = c.g;
            } else {
                p[0] = c.b;
                p[1] = c.g;
                p[2] = c.r;
            }
        }
    if (FAILED(frame->WritePixels(h, stride, static_cast<UINT>(pixels.size()), pixels.data())) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return {};
    HGLOBAL memory = nullptr;
    STATSTG stat{};
    if (FAILED(GetHGlobalFromStream(stream.get(), &memory)) ||
        FAILED(stream->Stat(&stat, STATFLAG_NONAME)))
        return {};
    const auto* data = static_cast<const uint8_t*>(GlobalLock(memory));
    std::vector<uint8_t> file(data, data + stat.cbSize.QuadPart);
    GlobalUnlock(memory);
    return file;
}

// A progressive JPEG holding only its DC scan: every 8 x 8 block is one flat colour, so any
// reduction down to 1/8 must give the grid's colours exactly (up to the YCbCr rounding).
// The platform's encoder writes no progressive files, so this one is written here.
std::vector<uint8_t> DcOnlyProgressiveJpeg(uint16_t w, uint16_t h) {
    std::vector<uint8_t> out = {0xFF, 0xD8};
    const auto segment = [&out](uint8_t marker, std::initializer_list<uint8_t> body) {
        const size_t length = body.size() + 2;
        out.insert(out.end(),
                   {0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
        out.insert(out.end(), body);
    };
    std::vector<uint8_t> dqt(65, 1);
    dqt[0] = 0;  // table 0, 8-bit; every step 1 so a coefficient is stored as it is
    out.insert(out.end(), {0xFF, 0xDB, 0, 67});
    out.insert(out.end(), dqt.begin(), dqt.end());
    segment(0xC2,
            {8, static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h), static_cast<uint8_t>(w >> 8),
             static_cast<uint8_t>(w), 3, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0});
    // DC table 0: the twelve size categories, each a 4-bit code equal to the category.
    // clang-format off
    segment(0xC4, {0x00,
                   0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // codes of each length
                   0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    // clang-format on
    segment(0xDA, {3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 0, 0});

    uint32_t bits = 0;
    int count = 0;
    const auto put = [&](uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) {
            bits = (bits << 1) | ((value >> i) & 1);
            if (++count == 8) {
                out.push_back(static_cast<uint8_t>(bits));
                if ((bits & 0xFF) == 0xFF) out.push_back(0);  // byte stuffing
                bits = 0;
                count = 0;
            }
        }
    };
    int predictor[3] = {0, 0, 0};
    for (int by = 0; by < (h + 7) / 8; ++by)
        for (int bx = 0; bx < (w + 7) / 8; ++bx) {
            const Rgb c = GridColour(bx * 8, by * 8, w, h);
            const double ycc[3] = {0.299 * c.r + 0.587 * c.g + 0.114 * c.b,
                                   128 - 0.168736 * c.r - 0.331264 * c.g + 0.5 * c.b,
                                   128 + 0.5 * c.r - 0.418688 * c.g - 0.081312 * c.b};
            for (int k = 0; k < 3; ++k) {
                // A flat block's DC coefficient is 8 x (level - 128).
                const int dc = static_cast<int>(std::lround(8 * (std::min(ycc[k], 255.0) - 128)));
                const int diff = dc - predictor[k];
                predictor[k] = dc;
                int size = 0;
                while ((std::abs(diff) >> size) != 0) ++size;
                put(static_cast<uint32_t>(size), 4);
                if (size)
                    put(static_cast<uint32_t>(diff > 0 ? diff : diff + (1 << size) - 1), size);
            }
        }
    if (count) put(0x7F, 8 - count);  // pad with ones
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

TEST(JpegReduction, LargestWhoseDecodedSizeHoldsThePictureFittedIntoTheBox) {
    EXPECT_EQ(JpegReductionFor(4000, 3000, 119, 138), 8);  // 500 x 375 for 119 x 104
    EXPECT_EQ(JpegReductionFor(640, 480, 119, 138), 4);    // 160 x 120 for 119 x 104
    // Landscape in this tall box: the rows bind, 138 x h / w of them, rounded up.
    EXPECT_EQ(JpegReductionFor(1104, 800, 119, 138), 8);  // 100 rows for 100
    EXPECT_EQ(JpegReductionFor(1096, 800, 119, 138), 4);  // 100 rows for 101
    // Portrait: the box's 138 rows bind; the decoder's sizes round up.
    EXPECT_EQ(JpegReductionFor(500, 1097, 119, 138), 8);  // ceil(1097 / 8) = 138
    EXPECT_EQ(JpegReductionFor(500, 1096, 119, 138), 4);  // 137
    EXPECT_EQ(JpegReductionFor(600, 2000, 119, 138), 8);  // 75 x 250 for 42 x 138
    EXPECT_EQ(JpegReductionFor(3000, 100, 119, 138), 8);  // a strip: 375 x 13 for 119 x 5
    // A wide box: the columns bind.
    EXPECT_EQ(JpegReductionFor(1600, 1200, 200, 100), 8);  // 200 x 150
    EXPECT_EQ(JpegReductionFor(1592, 1200, 200, 100), 4);  // 199 columns for 200
    EXPECT_EQ(JpegReductionFor(100, 80, 119, 138), 1);     // smaller than the box: shown as it is
    EXPECT_EQ(JpegReductionFor(0, 80, 119, 138), 1);
    EXPECT_EQ(JpegReductionFor(4000, 3000, 0, 138), 1);
}

TEST(JpegReduction, TheReducedPictureCoversTheControlsFitAndAProportionalOne) {
    for (const auto& [bw, bh] : {std::pair{119, 138}, std::pair{200, 100}, std::pair{64, 64}})
        for (int32_t w = 8; w <= 6000; w += 97)
            for (int32_t h = 8; h <= 6000; h += 89) {
                const int32_t n = JpegReductionFor(w, h, bw, bh);
                const int32_t rw = (w + n - 1) / n, rh = (h + n - 1) / n;
                const auto fit = FitIntoBox(w, h, bw, bh);
                ASSERT_TRUE(fit);
                // The control's fit can stretch a short side past the picture's own size
                // (112 columns for a 105 x 186 picture in a 200 x 100 box): all of them then.
                ASSERT_GE(rw, std::min(fit->width, w))
                    << w << " x " << h << " in " << bw << " x " << bh;
                ASSERT_GE(rh, std::min(fit->height, h))
                    << w << " x " << h << " in " << bw << " x " << bh;
                const double scale = std::min({1.0, double(bw) / w, double(bh) / h});
                ASSERT_GE(rw, std::floor(w * scale)) << w << " x " << h;
                ASSERT_GE(rh, std::floor(h * scale)) << w << " x " << h;
            }
}

TEST(JpegDecode, BaselineColourAtAnEighth) {
    ComScope com;
    const auto file = EncodeJpeg(1605, 1203, GUID_WICPixelFormat24bppBGR);
    ASSERT_FALSE(file.empty());
    const auto picture = DecodeJpegScaled(file, 119, 138);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->naturalWidth, 1605);
    EXPECT_EQ(picture->naturalHeight, 1203);
    EXPECT_EQ(picture->width, 201);
    EXPECT_EQ(picture->height, 151);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectW(picture->bitmap.get(), sizeof section, &section), int{sizeof section});
    EXPECT_EQ(section.dsBmih.biWidth, 201);
    // Wine reports a top-down section's height positive here; the grid shows the row order.
    EXPECT_EQ(std::abs(section.dsBmih.biHeight), 151);
    EXPECT_EQ(section.dsBmih.biBitCount, 32);
    ExpectGrid(*picture, 12);
}

TEST(JpegDecode, StretchedOntoTheScreenLikeTheFittedPreview) {
    ComScope com;
    const auto file = EncodeJpeg(1600, 1200, GUID_WICPixelFormat24bppBGR);
    ASSERT_FALSE(file.empty());
    const auto picture = DecodeJpegScaled(file, 119, 138);
    ASSERT_TRUE(picture);
    win::window_dc screen(nullptr);
    win::unique_mem_dc target(CreateCompatibleDC(screen.get()));
    win::unique_hbitmap targetBitmap(CreateCompatibleBitmap(screen.get(), 119, 103));
    win::select_object into(target.get(), targetBitmap.get());
    win::unique_mem_dc source(CreateCompatibleDC(screen.get()));
    win::select_object from(source.get(), picture->bitmap.get());
    SetStretchBltMode(target.get(), HALFTONE);
    ASSERT_TRUE(StretchBlt(target.get(), 0, 0, 119, 103, source.get(), 0, 0, picture->width,
                           picture->height, SRCCOPY));
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column) {
            const POINT p = CellCentre(column, row, 119, 103);
            EXPECT_TRUE(Near(GetPixel(target.get(), p.x, p.y), kGrid[row * 4 + column], 16))
                << "cell " << column << ", " << row;
        }
}

TEST(JpegDecode, GreyAtAQuarter) {
    ComScope com;
    const auto file = EncodeJpeg(800, 600, GUID_WICPixelFormat8bppGray);
    ASSERT_FALSE(file.empty());
    const auto picture = DecodeJpegScaled(file, 119, 138);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 200);  // 100 x 75 would not hold 119 x 104
    EXPECT_EQ(picture->height, 150);
    OnScreen screen(*picture);
    ASSERT_TRUE(screen.Blitted());
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column) {
            const uint8_t level = kGrid[row * 4 + column].g;
            EXPECT_TRUE(
                Near(screen.At(CellCentre(column, row, 200, 150)), {level, level, level}, 8))
                << "cell " << column << ", " << row;
        }
}

TEST(JpegDecode, ProgressiveAtAnEighthGivesTheBlocksColours) {
    ComScope com;
    const auto file = DcOnlyProgressiveJpeg(1601, 1203);
    const auto picture = DecodeJpegScaled(file, 119, 138);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->naturalWidth, 1601);
    EXPECT_EQ(picture->naturalHeight, 1203);
    EXPECT_EQ(picture->width, 201);
    EXPECT_EQ(picture->height, 151);
    ExpectGrid(*picture, 3);
}

TEST(JpegDecode, APictureSmallerThanTheBoxComesWhole) {
    ComScope com;
    const auto file = DcOnlyProgressiveJpeg(96, 72);
    const auto picture = DecodeJpegScaled(file, 119, 138);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 96);
    EXPECT_EQ(picture->height, 72);
    ExpectGrid(*picture, 3);
}

// `photo` with an Exif segment after its start marker whose second directory points at
// `thumbnail`, stored inside the segment as cameras store it.
std::vector<uint8_t> WithThumbnail(const std::vector<uint8_t>& photo, const std::vector<uint8_t>& thumbnail) {
    std::vector<uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
    const auto put16 = [&](uint32_t v) { tiff.insert(tiff.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    const auto put32 = [&](uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
    put16(0), put32(14);  // the first directory, empty; the second at 14
    put16(2);
    put16(0x0201), put16(4), put32(1), put32(14 + 2 + 24 + 4);
    put16(0x0202), put16(4), put32(1), put32(static_cast<uint32_t>(thumbnail.size()));
    put32(0);
    tiff.insert(tiff.end(), thumbnail.begin(), thumbnail.end());
    const size_t length = 2 + 6 + tiff.size();
    std::vector<uint8_t> file(photo.begin(), photo.begin() + 2);
    file.insert(file.end(), {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length), 'E', 'x', 'i', 'f', 0, 0});
    file.insert(file.end(), tiff.begin(), tiff.end());
    file.insert(file.end(), photo.begin() + 2, photo.end());
    return file;
}

// A grey thumbnail tells which picture was decoded: the photo is in colour. A thumbnail of
// another shape (stale, after an edit) does not stand in for it.
TEST(JpegDecode, AThumbnailOfThePhotosShapeStandsInForItAndAStaleOneDoesNot) {
    ComScope com;
    const auto photo = EncodeJpeg(1600, 1200, GUID_WICPixelFormat24bppBGR);
    const auto fresh = EncodeJpeg(160, 120, GUID_WICPixelFormat8bppGray);
    const auto stale = EncodeJpeg(160, 160, GUID_WICPixelFormat8bppGray);
    ASSERT_FALSE(photo.empty() || fresh.empty() || stale.empty());

    const auto fromThumbnail = DecodeJpegThumbnail(WithThumbnail(photo, fresh), 119, 138);
    ASSERT_TRUE(fromThumbnail);
    EXPECT_EQ(fromThumbnail->naturalWidth, 1600);  // the caption stays the photo's
    EXPECT_EQ(fromThumbnail->naturalHeight, 1200);
    EXPECT_EQ(fromThumbnail->width, 160);
    OnScreen screen(*fromThumbnail);
    const COLORREF red = screen.At(CellCentre(0, 0, 160, 120));
    EXPECT_TRUE(GetRValue(red) == GetGValue(red) && GetGValue(red) == GetBValue(red)) << "not the grey thumbnail";

    EXPECT_FALSE(DecodeJpegThumbnail(WithThumbnail(photo, stale), 119, 138));
    EXPECT_FALSE(DecodeJpegThumbnail(photo, 119, 138));
}

TEST(JpegDecode, NothingForWhatIsNotAJpeg) {
    ComScope com;
    EXPECT_FALSE(DecodeJpegScaled({}, 119, 138));
    const uint8_t bitmapHeader[] = {'B', 'M',  0x3A, 0, 0, 0,    0, 0, 0,
                                    0,   0x36, 0,    0, 0, 0x28, 0, 0, 0};
    EXPECT_FALSE(DecodeJpegScaled(bitmapHeader, 119, 138));
    auto truncated = DcOnlyProgressiveJpeg(64, 64);
    truncated.resize(40);  // inside the quantisation table
    EXPECT_FALSE(DecodeJpegScaled(truncated, 119, 138));
}

// A JPEG only the platform's loader takes is turned after the loader has drawn it: every
// stored cell lands where the orientation shows it, at the shown size.
TEST(JpegDecode, ThePlatformLoadersPictureIsTurnedAsTheCameraSays) {
    ComScope com;
    const auto file = EncodeJpeg(400, 300, GUID_WICPixelFormat24bppBGR);
    ASSERT_FALSE(file.empty());
    for (Orientation o = 1; o <= 8; ++o) {
        const auto bytes = FileBytes::Copy(file);
        ASSERT_TRUE(bytes);
        auto whole = LoadedPicture::FromBytes(*bytes);
        ASSERT_TRUE(whole);
        const auto upright = UprightPicture(std::move(*whole), o, 119, 138);
        ASSERT_TRUE(upright) << int{o};
        const int w = upright->Width(), h = upright->Height();
        EXPECT_EQ(w, SwapsSides(o) ? 300 : 400) << int{o};
        EXPECT_EQ(h, SwapsSides(o) ? 400 : 300) << int{o};
        win::window_dc screen(nullptr);
        win::unique_mem_dc target(CreateCompatibleDC(screen.get()));
        win::unique_hbitmap bitmap(CreateCompatibleBitmap(screen.get(), w, h));
        win::select_object into(target.get(), bitmap.get());
        upright->Draw(target.get(), 0, 0, w, h);
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 4; ++column) {
                const POINT stored = CellCentre(column, row, 400, 300);
                const PixelPlace shown = ShownPlace(o, stored.x, stored.y, 400, 300);
                EXPECT_TRUE(Near(GetPixel(target.get(), shown.x, shown.y), kGrid[row * 4 + column],
                                 16))
                    << "orientation " << int{o} << ", cell " << column << ", " << row;
            }
    }
}

// The caller's thread keeps the COM state it had: entered in either apartment kind, or not.
TEST(JpegDecode, LeavesTheThreadsComStateAsItFoundIt) {
    const auto file = DcOnlyProgressiveJpeg(160, 120);
    const auto run = [&file](std::optional<DWORD> model) {
        HRESULT before = E_FAIL, after = E_FAIL;
        bool decoded = false;
        std::thread([&] {
            if (model) before = CoInitializeEx(nullptr, *model);
            decoded = DecodeJpegScaled(file, 119, 138).has_value();
            // S_FALSE: COM was still entered; S_OK: it had been left (or never entered).
            after = CoInitializeEx(nullptr, model.value_or(COINIT_APARTMENTTHREADED));
            if (SUCCEEDED(after)) CoUninitialize();
            if (model && SUCCEEDED(before)) CoUninitialize();
        }).join();
        return std::tuple{before, decoded, after};
    };
    EXPECT_EQ(run(std::nullopt), std::tuple(E_FAIL, true, S_OK));
    EXPECT_EQ(run(COINIT_APARTMENTTHREADED), std::tuple(S_OK, true, S_FALSE));
    EXPECT_EQ(run(COINIT_MULTITHREADED), std::tuple(S_OK, true, S_FALSE));
}

// A decoded frame of a virtual picture painted with the grid, in one pixel format, that may
// also scale itself the way the platform's JPEG decoder on Windows does.
class FakeFrame final : public IWICBitmapSource, public win::WicSourceTransform {
public:
    enum class Sizes { Eighths, OnlyAnEighth };
    FakeFrame(UINT w, UINT h, const WICPixelFormatGUID& format, bool scales,
              Sizes sizes = Sizes::Eighths,
              const WICPixelFormatGUID& scaledFormat = GUID_WICPixelFormat24bppBGR)
        : w_(w),
          h_(h),
          format_(format),
          scaledFormat_(scaledFormat),
          scales_(scales),
          sizes_(sizes) {}

    ULONG references = 1;
    int fullCopies = 0;
    std::vector<std::pair<UINT, UINT>> scaledCopies;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IWICBitmapSource) {
            *out = static_cast<IWICBitmapSource*>(this);
        } else if (scales_ && iid == win::IID_WicSourceTransform) {
            *out = static_cast<win::WicSourceTransform*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE GetSize(UINT* w, UINT* h) override {
        *w = w_;
        *h = h_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override {
        *format = format_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResolution(double* x, double* y) override {
        *x = *y = 96;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) override {
        return WINCODEC_ERR_PALETTEUNAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT size,
                                         BYTE* buffer) override {
        ++fullCopies;
        const WICRect all{0, 0, static_cast<INT>(w_), static_cast<INT>(h_)};
        return Paint(rect ? *rect : all, format_, stride, size, buffer, 1);
    }

    HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT w, UINT h,
                                         WICPixelFormatGUID* format,
                                         WICBitmapTransformOptions transform, UINT stride,
                                         UINT size, BYTE* buffer) override {
        UINT cw = w, ch = h;
        if (rect || transform != WICBitmapTransformRotate0 || *format != scaledFormat_ ||
            FAILED(GetClosestSize(&cw, &ch)) || cw != w || ch != h)
            return E_INVALIDARG;
        scaledCopies.emplace_back(w, h);
        return Paint({0, 0, static_cast<INT>(w), static_cast<INT>(h)}, scaledFormat_, stride, size,
                     buffer, (w_ + w - 1) / w);
    }
    HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* w, UINT* h) override {
        // The 1/n size nearest the request, or always the eighth.
        UINT best = 8;
        if (sizes_ == Sizes::Eighths)
            for (UINT n : {1u, 2u, 4u, 8u})
                if (std::abs(int((w_ + n - 1) / n) - int(*w)) <
                    std::abs(int((w_ + best - 1) / best) - int(*w)))
                    best = n;
        *w = (w_ + best - 1) / best;
        *h = (h_ + best - 1) / best;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) override {
        *format = scaledFormat_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform,
                                                   BOOL* supported) override {
        *supported = transform == WICBitmapTransformRotate0;
        return S_OK;
    }

private:
    // `rect` of the picture at 1/n, each pixel the grid's colour there.
    HRESULT Paint(const WICRect& rect, const WICPixelFormatGUID& format, UINT stride, UINT size,
                  BYTE* buffer, UINT n) const {
        const bool cmyk = format == GUID_WICPixelFormat32bppCMYK;
        const UINT bytes = format == GUID_WICPixelFormat24bppBGR ? 3 : 4;
        if (format != GUID_WICPixelFormat24bppBGR && format != GUID_WICPixelFormat32bppBGR && !cmyk)
            return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
        const INT width = static_cast<INT>((w_ + n - 1) / n);
        const INT height = static_cast<INT>((h_ + n - 1) / n);
        if (rect.X < 0 || rect.Y < 0 || rect.Width <= 0 || rect.Height <= 0 ||
            rect.X + rect.Width > width || rect.Y + rect.Height > height ||
            stride < rect.Width * bytes || size < stride * (rect.Height - 1) + rect.Width * bytes)
            return E_INVALIDARG;
        for (INT y = 0; y < rect.Height; ++y)
            for (INT x = 0; x < rect.Width; ++x) {
                const Rgb c = GridColour(int64_t(rect.X + x) * n, int64_t(rect.Y + y) * n, w_, h_);
                BYTE* p = buffer + y * stride + x * bytes;
                if (cmyk) {
                    p[0] = 255 - c.r;
                    p[1] = 255 - c.g;
                    p[2] = 255 - c.b;
                    p[3] = 0;
                } else {
                    p[0] = c.b;
                    p[1] = c.g;
                    p[2] = c.r;
                    if (bytes == 4) p[3] = 0xFF;
                }
            }
        return S_OK;
    }

    UINT w_, h_;
    WICPixelFormatGUID format_, scaledFormat_;
    bool scales_;
    Sizes sizes_;
};

TEST(JpegDecodeFrame, ScalesInTheDecoderWhenItCan) {
    ComScope com;
    auto factory = Factory();
    ASSERT_TRUE(factory);
    FakeFrame frame(4000, 3000, GUID_WICPixelFormat24bppBGR, true);
    const auto picture = DecodeFrameScaled(*factory.get(), frame, 119, 138);
    ASSERT_TRUE(picture);
    EXPECT_EQ(frame.scaledCopies, (std::vector<std::pair<UINT, UINT>>{{500, 375}}));
    EXPECT_EQ(frame.fullCopies, 0);  // the full picture is never asked for
    EXPECT_EQ(picture->width, 500);
    EXPECT_EQ(picture->height, 375);
    EXPECT_EQ(picture->naturalWidth, 4000);
    EXPECT_EQ(picture->naturalHeight, 3000);
    ExpectGrid(*picture, 0);
    EXPECT_EQ(frame.references, 1u);
}

TEST(JpegDecodeFrame, ScaledStraightIntoTheBitmapWhenTheDecoderGivesBgr32) {
    ComScope com;
    auto factory = Factory();
    ASSERT_TRUE(factory);
    FakeFrame frame(1605, 1203, GUID_WICPixelFormat24bppBGR, true, FakeFrame::Sizes::Eighths,
                    GUID_WICPixelFormat32bppBGR);
    const auto picture = DecodeFrameScaled(*factory.get(), frame, 119, 138);
    ASSERT_TRUE(picture);
    EXPECT_EQ(frame.scaledCopies, (std::vector<std::pair<UINT, UINT>>{{201, 151}}));
    EXPECT_EQ(frame.fullCopies, 0);
    ExpectGrid(*picture, 0);
    EXPECT_EQ(frame.references, 1u);
}

TEST(JpegDecodeFrame, AveragesTheFullPictureWhenTheDecodersSizesDoNotCover) {
    ComScope com;
    auto factory = Factory();
    ASSERT_TRUE(factory);
    // 640 x 480 needs its quarter (160 x 120); a decoder that only offers 80 x 60 is no use.
    FakeFrame frame(640, 480, GUID_WICPixelFormat24bppBGR, true, FakeFrame::Sizes::OnlyAnEighth);
    const auto picture = DecodeFrameScaled(*factory.get(), frame, 119, 138);
    ASSERT_TRUE(picture);
    EXPECT_TRUE(frame.scaledCopies.empty());
    EXPECT_GT(frame.fullCopies, 0);
    EXPECT_EQ(picture->width, 160);
    EXPECT_EQ(picture->height, 120);
    ExpectGrid(*picture, 0);
    EXPECT_EQ(frame.references, 1u);
}

TEST(JpegDecodeFrame, OtherPixelFormatsAreConvertedAsTheyAreAveraged) {
    ComScope com;
    auto factory = Factory();
    ASSERT_TRUE(factory);
    FakeFrame frame(642, 481, GUID_WICPixelFormat32bppCMYK, false);
    const auto picture = DecodeFrameScaled(*factory.get(), frame, 119, 138);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 161);
    EXPECT_EQ(picture->height, 121);
    ExpectGrid(*picture, 1);
    EXPECT_EQ(frame.references, 1u);
}

}  // namespace
}  // namespace qcd::test
