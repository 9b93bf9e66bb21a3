// The preview kinds started on a canvas of their own, without the Open dialog: the panel is
// made from the control's template in a hidden window, and what a kind drew is read from the
// off-screen copy, not from the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/timer_owner.h"
#include "dialoghost/panel_commands.h"
#include "media/mci_platform.h"
#include "media/media_session.h"
#include "media/vbmp3.h"
#include "hidden_panel.h"
#include "picture_files.h"
#include "platform/handles.h"
#include "preview/canvas.h"
#include "preview/dispatcher.h"
#include "preview/fit_geometry.h"
#include "readers/text_decode.h"
#include "resources/resource_ids.h"

namespace qcd::test {
namespace {

namespace fs = std::filesystem;

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);

class KindTest : public HiddenPanelTest {
  protected:
    void SetUp() override {
        HiddenPanelTest::SetUp();
        if (HasFatalFailure()) return;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = fs::path(temp) / (L"qcd-kinds-" + std::to_wstring(GetCurrentProcessId()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        HiddenPanelTest::TearDown();
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

  public:
    // Selects `name` as the dialog would.
    void Select(const wchar_t* name) { SelectPath(folder_ / name); }
  protected:
    COLORREF CopyPixel(int x, int y) { return GetPixel(canvas_.Copy().Dc(), x, y); }
    COLORREF CopyCentre() { return CopyPixel(canvas_.Copy().Width() / 2, canvas_.Copy().Height() / 2); }

    fs::path folder_;
};

TEST_F(KindTest, APictureIsFittedIntoTheCopyWithItsCaption) {
    WriteFile(folder_ / L"wide.bmp", Bitmap8(640, 480, {0, kRed, kBlue},
                                             [](int, int y) -> uint8_t { return y < 240 ? 1 : 2; }));
    Select(L"wide.bmp");
    EXPECT_EQ(Label(IDC_TITLE_LABEL), L"wide.bmp");
    EXPECT_EQ(Label(IDC_SIZE_LABEL), L"640x480x256");
    EXPECT_EQ(Label(IDC_STATUS_LABEL), L"");
    EXPECT_EQ(canvas_.State().kind, PreviewKind::Picture);
    const int w = canvas_.Copy().Width(), h = canvas_.Copy().Height();
    const auto place = FitIntoBox(640, 480, w, h);
    ASSERT_TRUE(place);
    ASSERT_GT(place->y, 0);
    EXPECT_EQ(CopyPixel(w / 2, place->y - 1), canvas_.Copy().BackColor());
    EXPECT_TRUE(Near(CopyPixel(w / 2, place->y + 2), kRed));
    EXPECT_TRUE(Near(CopyPixel(w / 2, place->y + place->height - 3), kBlue));
}

TEST_F(KindTest, AnIconFileStepsThroughItsImagesWithTheButtons) {
    WriteFile(folder_ / L"three.ico", IconFile({{16, kRed}, {32, kGreen}, {48, kBlue}}));
    Select(L"three.ico");
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"1/3  Image");
    EXPECT_EQ(Label(IDC_SIZE_LABEL), L"16x16xFull");
    EXPECT_TRUE(Near(CopyCentre(), kRed));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(panel_, IDC_FORWARD_BUTTON)));
    Press(IDC_FORWARD_BUTTON);
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"2/3  Image");
    EXPECT_TRUE(Near(CopyCentre(), kGreen));
    Press(IDC_BACK_BUTTON);
    Press(IDC_BACK_BUTTON);
    EXPECT_EQ(Label(IDC_INDEX_LABEL), L"3/3  Image");
    EXPECT_EQ(Label(IDC_SIZE_LABEL), L"48x48xFull");
    EXPECT_TRUE(Near(CopyCentre(), kBlue));
    // A press is no new selection: what a load would compare stays as it was.
    const uint32_t generation = canvas_.Generation();
    Press(IDC_FORWARD_BUTTON);
    EXPECT_EQ(canvas_.Generation(), generation);
}

TEST_F(KindTest, AnAnimatedCursorRunsOnItsOwnTimerUntilTheNextSelection) {
    WriteFile(folder_ / L"two.ani", AniFile({kRed, kBlue}, 4, 5));
    Select(L"two.ani");
    EXPECT_EQ(Label(IDC_STATUS_LABEL), L"1/4  Frame");
    EXPECT_EQ(canvas_.State().kind, PreviewKind::AnimatedCursor);
    Press(IDC_PLAY_BUTTON);
    EXPECT_EQ(canvas_.State().kind, PreviewKind::AnimatedCursorRunning);
    EXPECT_TRUE(timers_.Enabled(TimerId::AniStep));
    EXPECT_EQ(timers_.Interval(TimerId::AniStep), 50u);
    timers_.Tick(1);
    timers_.Tick(1);
    EXPECT_EQ(Label(IDC_STATUS_LABEL), L"2/4  Frame");
    EXPECT_TRUE(Near(CopyCentre(), kBlue));

    WriteFile(folder_ / L"plain.txt", {'a'});
    Select(L"plain.txt");
    EXPECT_FALSE(timers_.Enabled(TimerId::AniStep));
    EXPECT_TRUE(timers_.AbortRequested());
    timers_.Tick(1);  // a tick queued before the stop
    EXPECT_EQ(Label(IDC_STATUS_LABEL), L"");
}

TEST_F(KindTest, TextFillsTheBoxOverTheAreaUntilTheNextStop) {
    std::ofstream(folder_ / L"notes.txt", std::ios::binary) << "first line\r\nsecond line";
    Select(L"notes.txt");
    HWND box = canvas_.TextView();
    EXPECT_EQ(GetParent(box), GetDlgItem(panel_, IDC_PREVIEW_AREA));
    EXPECT_EQ(Text(box), L"first line\r\nsecond line");
    RECT r{};
    GetClientRect(GetParent(box), &r);
    RECT b{};
    GetWindowRect(box, &b);
    EXPECT_EQ(b.right - b.left, r.right);
    preview_.StopPreviewMedia(false);
    EXPECT_EQ(GetParent(box), home_.get());
    EXPECT_FALSE(GetWindowLongW(box, GWL_STYLE) & WS_VISIBLE);
}

// A selection handled while a text load lets messages run takes the panel: the load must not
// put its box over the newer preview.
TEST_F(KindTest, ASelectionMadeWhileATextLoadsWins) {
    std::ofstream(folder_ / L"notes.txt") << "text";
    WriteFile(folder_ / L"red.bmp", Bitmap8(8, 8, {0, kRed}, [](int, int) -> uint8_t { return 1; }));
    struct Selector {
        static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
            if (msg == WM_APP)
                reinterpret_cast<KindTest*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))->Select(L"red.bmp");
            return DefWindowProcW(hwnd, msg, wp, lp);
        }
    };
    win::unique_hwnd selector(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                              nullptr, nullptr, nullptr));
    SetWindowLongPtrW(selector.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(selector.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Selector::Proc));
    PostMessageW(selector.get(), WM_APP, 0, 0);
    Select(L"notes.txt");
    EXPECT_EQ(Label(IDC_TITLE_LABEL), L"red.bmp");
    EXPECT_EQ(Label(IDC_SIZE_LABEL), L"8x8x256");
    EXPECT_NE(GetParent(canvas_.TextView()), GetDlgItem(panel_, IDC_PREVIEW_AREA));
    EXPECT_TRUE(Near(CopyCentre(), kRed));
}

// The newer formats come through the imaging component: fitted and captioned as any picture,
// what is transparent showing the area's background.
TEST_F(KindTest, NewerPictureFormatsShowWithTheirCaptions) {
    const fs::path fixtures = QCD_FIXTURE_DIR;
    struct Case {
        const wchar_t* fixture;
        const wchar_t* name;
        const wchar_t* caption;
        int width, height;
        COLORREF topLeft, bottomRight;  // at a quarter of the picture in from those corners
    };
    const COLORREF back = canvas_.Copy().BackColor();
    const Case cases[] = {
        {L"alpha.png", L"alpha.png", L"64x48xFull", 64, 48, kRed, back},
        {L"palette.png", L"palette.PNG", L"64x48x256", 64, 48, kRed, kBlue},
        {L"deep.png", L"deep.png", L"64x48xFull", 64, 48, kRed, kRed},
        {L"halves.tif", L"halves.tiff", L"64x48xFull", 64, 48, kRed, kBlue},
        {L"baseline.jpg", L"photo.jpeg", L"640x480xFull", 640, 480, kRed, kBlue},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << fs::path(c.name).string());
        fs::copy_file(fixtures / c.fixture, folder_ / c.name, fs::copy_options::overwrite_existing);
        Select(c.name);
        EXPECT_EQ(Label(IDC_TITLE_LABEL), c.name);
        EXPECT_EQ(Label(IDC_SIZE_LABEL), c.caption);
        EXPECT_EQ(canvas_.State().kind, PreviewKind::Picture);
        const auto place = FitIntoBox(c.width, c.height, canvas_.Copy().Width(), canvas_.Copy().Height());
        ASSERT_TRUE(place);
        EXPECT_TRUE(Near(CopyPixel(place->x + place->width / 4, place->y + place->height / 4), c.topLeft));
        EXPECT_TRUE(Near(CopyPixel(place->x + place->width * 3 / 4, place->y + place->height * 3 / 4),
                         c.bottomRight));
    }
}

// A copy of a JPEG with an Exif segment first whose orientation tag is `o`.
std::vector<uint8_t> WithOrientation(const fs::path& jpeg, uint8_t o) {
    std::ifstream in(jpeg, std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0,
                                       'M', 'M', 0, 42, 0, 0, 0, 8,  // TIFF header
                                       0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, o, 0, 0,
                                       0, 0, 0, 0};
    b.insert(b.begin() + 2, app1.begin(), app1.end());
    return b;
}

// A photo taken turned is shown as the camera meant it, through either decoder: each corner's
// colour where the turn puts it, and the size as shown.
TEST_F(KindTest, PhotosAreShownTheWayTheirCameraSays) {
    const fs::path fixtures = QCD_FIXTURE_DIR;
    const COLORREF kLime = RGB(0, 255, 0), kYellow = RGB(255, 255, 0);
    struct Case {
        uint8_t orientation;
        COLORREF corners[4];  // top left, top right, bottom left, bottom right, as shown
    };
    const Case cases[] = {{1, {kRed, kLime, kBlue, kYellow}},
                          {3, {kYellow, kBlue, kLime, kRed}},
                          {6, {kBlue, kRed, kYellow, kLime}},
                          {8, {kLime, kYellow, kRed, kBlue}}};
    for (const auto& [file, w, h] : {std::tuple{L"quad-small.jpg", 64, 48}, std::tuple{L"quad-large.jpg", 640, 480}}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << fs::path(file).string() << " orientation " << int{c.orientation});
            WriteFile(folder_ / L"turned.jpg", WithOrientation(fixtures / file, c.orientation));
            Select(L"turned.jpg");
            const bool swap = c.orientation >= 5;
            const int shownW = swap ? h : w, shownH = swap ? w : h;
            EXPECT_EQ(Label(IDC_SIZE_LABEL), std::to_wstring(shownW) + L"x" + std::to_wstring(shownH) + L"xFull");
            const auto place = FitIntoBox(shownW, shownH, canvas_.Copy().Width(), canvas_.Copy().Height());
            ASSERT_TRUE(place);
            const int left = place->x + place->width / 4, right = place->x + place->width * 3 / 4;
            const int top = place->y + place->height / 4, bottom = place->y + place->height * 3 / 4;
            EXPECT_TRUE(Near(CopyPixel(left, top), c.corners[0]));
            EXPECT_TRUE(Near(CopyPixel(right, top), c.corners[1]));
            EXPECT_TRUE(Near(CopyPixel(left, bottom), c.corners[2]));
            EXPECT_TRUE(Near(CopyPixel(right, bottom), c.corners[3]));
        }
    }
}

// A long text shows its start at once and fills in between messages: all of its first MiB in
// the end, and nothing more once a newer selection has taken the panel.
TEST_F(KindTest, ALongTextFillsInPiecesThatANewSelectionStops) {
    std::string content;
    for (int i = 0; content.size() < (3u << 20); ++i)
        content += "line " + std::to_string(i) + std::string(70, '.') + "\r\n";
    std::ofstream(folder_ / L"long.txt", std::ios::binary) << content;
    Select(L"long.txt");
    HWND box = canvas_.TextView();
    EXPECT_EQ(GetParent(box), GetDlgItem(panel_, IDC_PREVIEW_AREA));
    EXPECT_NE(GetParent(canvas_.FillView()), GetDlgItem(panel_, IDC_PREVIEW_AREA));
    const std::string first = content.substr(0, kTextPreviewLimit);
    ASSERT_EQ(GetWindowTextLengthW(box), static_cast<int>(first.size()));
    std::wstring text(first.size() + 1, L'\0');
    GetWindowTextW(box, text.data(), static_cast<int>(text.size()));
    text.pop_back();
    EXPECT_TRUE(std::equal(text.begin(), text.end(), first.begin(), first.end()));
    // The view and the caret stay at the start, as a text set whole leaves them.
    EXPECT_EQ(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    DWORD selStart = 1, selEnd = 1;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
    EXPECT_EQ(selStart, 0u);
    EXPECT_EQ(selEnd, 0u);

    // Selected again, with a picture selected once the hidden box holds some pieces.
    WriteFile(folder_ / L"red.bmp", Bitmap8(8, 8, {0, kRed}, [](int, int) -> uint8_t { return 1; }));
    static struct {
        HWND fill;
        KindTest* test;
        int lengthThen;
    } watch;
    watch = {canvas_.FillView(), this, -1};
    struct Selector {
        static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
            if (watch.lengthThen >= 0 || GetWindowTextLengthW(watch.fill) < 200'000) return;
            KillTimer(nullptr, id);
            watch.lengthThen = GetWindowTextLengthW(watch.fill);
            watch.test->Select(L"red.bmp");
        }
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 1, Selector::Tick);
    Select(L"long.txt");
    KillTimer(nullptr, timer);
    ASSERT_GE(watch.lengthThen, 200'000);
    EXPECT_LT(watch.lengthThen, static_cast<int>(first.size()));
    EXPECT_EQ(Label(IDC_TITLE_LABEL), L"red.bmp");
    EXPECT_TRUE(Near(CopyCentre(), kRed));
    for (HWND b : {canvas_.TextView(), canvas_.FillView()})
        EXPECT_NE(GetParent(b), GetDlgItem(panel_, IDC_PREVIEW_AREA));
    EXPECT_EQ(GetWindowTextLengthW(canvas_.FillView()), watch.lengthThen);
}

}  // namespace
}  // namespace qcd::test

namespace qcd::test {
namespace {

// A bitmap of 3.6 MB is read a row at a time, only the rows the area shows.
TEST_F(KindTest, ALargeBitmapIsSampledWithItsOwnSizeInTheCaption) {
    WriteFile(folder_ / L"large.bmp",
              Bitmap8(2400, 1500, {0, kRed, kBlue}, [](int, int y) -> uint8_t { return y < 750 ? 1 : 2; }));
    Select(L"large.bmp");
    EXPECT_EQ(Label(IDC_SIZE_LABEL), L"2400x1500x256");
    const int w = canvas_.Copy().Width(), h = canvas_.Copy().Height();
    const auto place = FitIntoBox(2400, 1500, w, h);
    ASSERT_TRUE(place);
    EXPECT_EQ(CopyPixel(w / 2, place->y - 1), canvas_.Copy().BackColor());
    EXPECT_TRUE(Near(CopyPixel(w / 2, place->y + 2), kRed));
    EXPECT_TRUE(Near(CopyPixel(w / 2, place->y + place->height - 3), kBlue));
}

// The header of an 8000 x 8000 picture over a file of that size that holds nothing.
TEST_F(KindTest, AHugeSparseBitmapShowsWhatItHolds) {
    Bytes header = {'B', 'M'};
    for (uint32_t v : {0u, 0u, 54u, 40u, 8000u, 8000u}) Put32(header, v);
    Put16(header, 1);
    Put16(header, 24);
    for (int i = 0; i < 6; ++i) Put32(header, 0);
    WriteFile(folder_ / L"huge.bmp", header);
    {
        win::unique_file file(CreateFileW((folder_ / L"huge.bmp").c_str(), GENERIC_WRITE, 0,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER end{};
        end.QuadPart = 54 + 8000LL * 24000;
        ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()));
    }
    Select(L"huge.bmp");
    EXPECT_EQ(Label(IDC_SIZE_LABEL), L"8000x8000xFull");
    EXPECT_EQ(CopyCentre(), RGB(0, 0, 0));
}

}  // namespace
}  // namespace qcd::test
