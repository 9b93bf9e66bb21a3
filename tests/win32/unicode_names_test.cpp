// File names outside the ANSI code page (932 here) in the real Open and Save dialogs: every
// previewed kind opens by its UTF-16 name, and the names come back exactly.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "media_files.h"
#include "preview/canvas.h"
#include "preview_fixture.h"

namespace qcd::test {
namespace {

namespace fs = std::filesystem;

fs::path SoundFixture(const char* name) { return OnDriveZ(QCD_SOUND_DIR) / name; }

// What the panel showed of one file.
struct Seen {
    bool previewed = false;
    PreviewKind kind = PreviewKind::None;
    std::wstring title, size, index, status, text;
    COLORREF centre = 0;
    int colours = 0;  // distinct colours along the area's middle line
};

struct NamedFile {
    const wchar_t* name;
    std::function<void(const fs::path&)> write;
    PreviewKind kind;
    const wchar_t* size;   // the size caption, or its start when it ends in '*'
    const wchar_t* index;
    // What else only an opened file shows: the area's colour, the text in the box.
    std::function<bool(const Seen&)> shows = [](const Seen&) { return true; };
};

bool CaptionMatches(const std::wstring& seen, const std::wstring& expected) {
    if (!expected.empty() && expected.back() == L'*')
        return seen.starts_with(expected.substr(0, expected.size() - 1));
    return seen == expected;
}

void Copy(const fs::path& from, const fs::path& to) { fs::copy_file(from, to); }

class UnicodeNamesTest : public PreviewTest {
  protected:
    void SetUp() override {
        PreviewTest::SetUp();
        // The dialog starts in a folder whose own name leaves the code page.
        unicodeFolder_ = folder_ / L"Ελλάδα café 한국어 😀 #1";
        fs::create_directories(unicodeFolder_);
        Object().MutableProps().InitDir = unicodeFolder_.u16string();
    }
    fs::path unicodeFolder_;
};

const COLORREF kGreen = RGB(0, 255, 0);

TEST_F(UnicodeNamesTest, EveryKindPreviewsByItsNameAndOkReturnsItExactly) {
    const auto red8 = [](int w, int h) {
        return Bitmap8(w, h, {0, kRed}, [](int, int) -> uint8_t { return 1; });
    };
    const std::vector<NamedFile> files = {
        {L"café Ελλάδα.bmp", [&](const fs::path& p) { WriteFile(p, red8(40, 30)); },
         PreviewKind::Picture, L"40x30x256", L"", [](const Seen& s) { return Near(s.centre, kRed); }},
        {L"naïve 한국어.jpg", [](const fs::path& p) { Copy(Fixture("green.jpg"), p); },
         PreviewKind::Picture, L"240x240xFull", L"",
         [](const Seen& s) { return Near(s.centre, RGB(32, 160, 32)); }},
        {L"😀 smile.gif",
         [](const fs::path& p) {
             WriteFile(p, Gif(50, 40, 0x91, {0, kBlue}, [](int, int) -> uint8_t { return 1; }));
         },
         PreviewKind::Picture, L"50x40x2", L"", [](const Seen& s) { return Near(s.centre, kBlue); }},
        {L"Straße #2.wmf",
         [](const fs::path& p) {
             RecordWmf(p, [](HDC dc) {
                 SetWindowExtEx(dc, 100, 100, nullptr);
                 FillRect(dc, {0, 0, 100, 100}, kRed);
             });
         },
         PreviewKind::Picture, L"?? x ?? x Full", L"", [](const Seen& s) { return Near(s.centre, kRed); }},
        {L"Ωμέγα.emf",
         [](const fs::path& p) { RecordEmf(p, {0, 0, 2540, 2540}, [](HDC dc) { FillRect(dc, {0, 0, 100, 100}, kBlue); }); },
         PreviewKind::Picture, L"*", L"",
         [](const Seen& s) { return s.size.ends_with(L"xFull") && Near(s.centre, kBlue); }},
        {L"아이콘 é.ico", [](const fs::path& p) { WriteFile(p, IconFile({{32, kGreen}})); },
         PreviewKind::Icon, L"32x32xFull", L"1/1  Image", [](const Seen& s) { return Near(s.centre, kGreen); }},
        {L"curseur ü.cur", [](const fs::path& p) { WriteFile(p, IconFile({{32, kRed}}, 2)); },
         PreviewKind::Icon, L"32x32xFull", L"1/1  Image", [](const Seen& s) { return Near(s.centre, kRed); }},
        {L"κινούμενο 😀.ani", [](const fs::path& p) { WriteFile(p, AniFile({kRed, kBlue}, 4, 10)); },
         PreviewKind::AnimatedCursor, L"32x32xFull", L"1/2  Image",
         [](const Seen& s) { return s.status == L"1/4  Frame" && Near(s.centre, kRed); }},
        {L"prögram #3.dll", [](const fs::path& p) { Copy(Fixture("three_icons.dll"), p); },
         PreviewKind::IconSet, L"32x32x16", L"1/3  Image", [](const Seen& s) { return Near(s.centre, kRed); }},
        {L"texte ÿ 😀.txt",
         [](const fs::path& p) { WriteFile(p, Bytes{0xCE, 0xB1, 0xCE, 0xB2, 0xCE, 0xB3, ' ', 0xED, 0x95, 0x9C}); },
         PreviewKind::None, L"", L"", [](const Seen& s) { return s.text == L"αβγ 한"; }},
        {L"vidéo 한국.avi", [](const fs::path& p) { Copy(VideoFixture("clip.avi"), p); },
         PreviewKind::Video, L"160x120x*", L"1/250  Frame", [](const Seen& s) { return s.colours >= 6; }},
        {L"mélodie 😀.mid", [](const fs::path& p) { WriteFile(p, MidiFile(61400)); },
         PreviewKind::MciSound, L"", L"00:00/01:01"},
        {L"onde ñ Ελ.wav", [](const fs::path& p) { Copy(SoundFixture("tone_11k_mono_8.wav"), p); },
         PreviewKind::Mp3Sound, L"", L"00:00/00:03"},
        {L"chanson 노래 😀 #4.mp3", [](const fs::path& p) { Copy(SoundFixture("tone1k_44k_stereo_cbr.mp3"), p); },
         PreviewKind::Mp3Sound, L"", L"00:00/00:06"},
    };
    for (const NamedFile& f : files) f.write(unicodeFolder_ / f.name);

    std::vector<Seen> seen(files.size());
    Open([&](HWND dlg, HWND pnl) {
        const Area a = PreviewArea(pnl);
        for (size_t i = 0; i < files.size(); ++i) {
            Seen& s = seen[i];
            if (!Preview(dlg, pnl, files[i].name)) continue;
            s.previewed = true;
            s.kind = Object().Dialogs().PreviewCanvas().State().kind;
            s.title = WindowText(GetDlgItem(pnl, 1001));
            s.size = WindowText(GetDlgItem(pnl, 1002));
            s.index = WindowText(GetDlgItem(pnl, 1003));
            s.status = WindowText(GetDlgItem(pnl, 1004));
            s.centre = PixelAt(a.window, a.width / 2, a.height / 2);
            if (HWND box = TextView(); box && GetParent(box) == a.window && IsWindowVisible(box))
                s.text = WindowText(box);
            // A video's first frame reaches the screen a moment after its labels.
            WaitFor([&] {
                std::set<COLORREF> colours;
                for (int x = 0; x < a.width; x += 2) colours.insert(PixelAt(a.window, x, a.height / 2));
                s.colours = static_cast<int>(colours.size());
                return files[i].kind != PreviewKind::Video || s.colours >= 6;
            }, 2000);
        }
        // OK on the last one.
        PostMessageW(dlg, WM_COMMAND, IDOK, 0);
        WaitFor([&] { return !IsWindow(dlg); }, 3000);
    });
    for (size_t i = 0; i < files.size(); ++i) {
        const NamedFile& f = files[i];
        const Seen& s = seen[i];
        SCOPED_TRACE(testing::Message() << "file " << i << " (" << f.size << ")");
        ASSERT_TRUE(s.previewed) << "not selected or never previewed";
        EXPECT_EQ(s.title, f.name);
        EXPECT_EQ(s.kind, f.kind);
        EXPECT_TRUE(CaptionMatches(s.size, f.size)) << "size caption: " << testing::PrintToString(s.size);
        EXPECT_EQ(s.index, f.index);
        EXPECT_TRUE(f.shows(s)) << "area or text box";
    }
    const std::u16string last = fs::path(files.back().name).u16string();
    EXPECT_EQ(Object().Props().FileTitle, last);
    EXPECT_EQ(Object().Props().FileName, (unicodeFolder_ / files.back().name).u16string());
    EXPECT_EQ(Object().Props().InitDir, unicodeFolder_.u16string());
}

// The name the host gives comes back whole, with the default extension added.
TEST_F(UnicodeNamesTest, SaveTakesAndReturnsAUnicodeName) {
    Properties& p = Object().MutableProps();
    p.FileName = u"rapport Ελλάδα 😀";
    p.DefaultExt = u"tχt";
    std::wstring shownName;
    {
        DialogDriver driver([&] {
            HWND dlg = nullptr;
            if (!WaitFor([&] { return (dlg = FindDialog(Title())) != nullptr; })) return;
            WaitFor([&] { return !WindowText(GetDlgItem(dlg, 1152)).empty(); });
            shownName = WindowText(GetDlgItem(dlg, 1152));
            PostMessageW(dlg, WM_COMMAND, IDOK, 0);
            WaitFor([&] { return !IsWindow(dlg); }, 3000);
        });
        EXPECT_HRESULT_SUCCEEDED(control_->ShowSave());
    }
    EXPECT_EQ(shownName, L"rapport Ελλάδα 😀");
    EXPECT_EQ(p.FileTitle, u"rapport Ελλάδα 😀.tχt");
    EXPECT_EQ(p.FileName, unicodeFolder_.u16string() + u"\\rapport Ελλάδα 😀.tχt");
    EXPECT_EQ(p.InitDir, unicodeFolder_.u16string());
}

// MaxFileSize counts UTF-16 units, the final NUL included: a character beyond the Basic
// Multilingual Plane takes two. A path one unit too long fails as a cancel does.
TEST_F(UnicodeNamesTest, MaxFileSizeCountsTheUtf16UnitsOfThePath) {
    const fs::path file = unicodeFolder_ / L"😀😀.txt";
    WriteFile(file, Bytes{'x'});
    const std::u16string path = file.u16string();
    for (const size_t room : {path.size() + 1, path.size()}) {
        Object().MutableProps().InitDir = unicodeFolder_.u16string();
        Object().MutableProps().MaxFileSize = static_cast<int16_t>(room);
        Open([&](HWND dlg, HWND pnl) {
            if (!Preview(dlg, pnl, L"😀😀.txt")) return;
            PostMessageW(dlg, WM_COMMAND, IDOK, 0);
            WaitFor([&] { return !IsWindow(dlg); }, 3000);
        });
        EXPECT_EQ(Object().Props().FileName, room > path.size() ? path : u"") << room;
    }
}

}  // namespace
}  // namespace qcd::test
