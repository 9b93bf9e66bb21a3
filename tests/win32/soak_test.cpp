// Long use of the control in the real Open dialog: many selections over every kind the
// preview reads, and many dialogs from one control. What the host holds after a warm-up must
// still be what it holds at the end.
//   QCD_SOAK_SELECTIONS  selections in the one dialog (default 200)
//   QCD_SOAK_DIALOGS     dialogs in a row (default 20)
//   QCD_SOAK_ONLY        cycle only through the files whose names contain this text
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "host_counts.h"
#include "media_files.h"
#include "preview_fixture.h"
#include "resources/resource_ids.h"

namespace qcd::test {
namespace {

int FromEnvironment(const char* name, int fallback) {
    char value[32];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    if (n == 0 || n >= sizeof value) return fallback;
    const int v = std::atoi(value);
    return v > 0 ? v : fallback;
}

std::wstring OnlyFilter() {
    wchar_t value[64];
    const DWORD n = GetEnvironmentVariableW(L"QCD_SOAK_ONLY", value, 64);
    return n > 0 && n < 64 ? std::wstring(value, n) : std::wstring();
}

// The least of a few reads: what a paint or a step holds for a moment is not kept.
HostCounts Settled() {
    HostCounts least = CountHost();
    for (int i = 0; i < 4; ++i) {
        Sleep(50);
        const HostCounts c = CountHost();
        least.windows = std::min(least.windows, c.windows);
        least.gdiObjects = std::min(least.gdiObjects, c.gdiObjects);
        least.kernelHandles = std::min(least.kernelHandles, c.kernelHandles);
        least.privateBytes = std::min(least.privateBytes, c.privateBytes);
    }
    return least;
}

void Print(const char* soak, const char* when, const HostCounts& c) {
    std::printf("[soak] %s %-9s %s\n", soak, when, Describe(c).c_str());
    std::fflush(stdout);
}

// How far the end may lie above the warmed-up host. Measured over runs of both sizes: windows,
// and over selections GDI objects and handles, never moved; over dialogs GDI objects moved
// by -1 to +2 (Wine's dialog keeps a DC, region or bitmap of a recent one); handles only by
// Wine's own pair of Control Panel\Mouse keys, when the warm-up had no button press yet;
// private bytes by 0.2 MiB at most. One object leaked per visit to any file, or 16 KiB per file read, goes
// past these at the default size.
constexpr int kWindowsMargin = 0;
constexpr int kGdiMargin = 3;
constexpr int kHandlesMargin = 2;
constexpr int64_t kPrivateMargin = int64_t{2} << 20;

// Counts and objects at one moment of a soak.
struct Reading {
    HostCounts counts;
    HostObjects objects;
};

Reading Read(const char* soak, const char* when) {
    Reading r{Settled(), ListHostObjects()};
    Print(soak, when, r.counts);
    return r;
}

void ExpectFlat(const Reading& warm, const Reading& end) {
    const HostCounts &w = warm.counts, &e = end.counts;
    const std::string growth = Growth(warm.objects, end.objects);
    if (!growth.empty()) std::printf("[soak] from warm-up to end:\n%s", growth.c_str());
    std::fflush(stdout);
    EXPECT_LE(e.windows - w.windows, kWindowsMargin) << "windows";
    EXPECT_LE(e.gdiObjects - w.gdiObjects, kGdiMargin) << "GDI objects";
    EXPECT_LE(e.kernelHandles - w.kernelHandles, kHandlesMargin) << "kernel handles";
    EXPECT_LE(e.privateBytes - w.privateBytes, kPrivateMargin) << "private bytes";
}

constexpr COLORREF kGreen = RGB(0, 255, 0), kYellow = RGB(255, 255, 0);

class SoakTest : public ControlDialogTest {
  protected:
    void SetUp() override {
        ControlDialogTest::SetUp();
        if (!WinesHandleListFound()) GTEST_SKIP() << kNoHandleList;
        // Windows, handles and memory are still watched; GDI objects count as -1 throughout.
        if (!WinesGdiTableFound()) std::printf("[soak] GDI objects not counted: %s\n", kNoGdiTable);
        const std::vector<COLORREF> palette = {RGB(0, 0, 0), kRed, kBlue, kGreen};
        Add(L"picture.bmp", Bitmap8(320, 240, palette, [](int, int y) -> uint8_t { return y < 120 ? 1 : 2; }));
        Add(L"drawing.gif", Gif(120, 80, 0xF7, palette, [](int x, int) -> uint8_t { return x < 60 ? 1 : 3; }));
        Copy("baseline.jpg");
        ASSERT_TRUE(RecordWmf(folder_ / L"plain.wmf", [](HDC dc) {
            SetWindowExtEx(dc, 200, 100, nullptr);
            FillRect(dc, {0, 0, 100, 100}, kRed);
            FillRect(dc, {100, 0, 200, 100}, kBlue);
        }));
        files_.push_back(L"plain.wmf");
        ASSERT_TRUE(RecordEmf(folder_ / L"drawing.emf", {0, 0, 5080, 2540}, [](HDC dc) {
            FillRect(dc, {0, 0, 100, 100}, kGreen);
            Ellipse(dc, 100, 0, 200, 100);
        }));
        files_.push_back(L"drawing.emf");
        Add(L"three.ico", IconFile({{16, kRed}, {32, kGreen}, {48, kBlue}}));
        Add(L"one.cur", IconFile({{32, kYellow}}, 2));
        // 50 ms a step.
        Add(L"four.ani", AniFile({kRed, kGreen, kBlue, kYellow}, 8, 5));
        // A sequence that never shows images 2 and 4: Wine's own loader of animated cursors
        // leaks bitmaps for such files.
        Add(L"partial.ani", AniFile({kRed, kGreen, kBlue, kYellow}, 3, 5, {0, 2, 0}));
        Copy("three_icons.dll");
        {
            std::ofstream text(folder_ / L"notes.txt", std::ios::binary);
            for (int i = 0; i < 500; ++i) text << "line " << i << " of the notes\r\n";
        }
        files_.push_back(L"notes.txt");
        Copy("progressive.jpg");
        // Media, played and stopped on every other visit.
        Copy("small.avi");
        Add(L"tune.mid", MidiFile(1500));
        std::string sounds = QCD_SOUND_DIR;
        std::replace(sounds.begin(), sounds.end(), '/', '\\');
        for (const char* sound : {"tone_11k_mono_8.wav", "tone_22k_mono_cbr_noinfo.mp3"}) {
            fs::copy_file(fs::path("Z:" + sounds) / sound, folder_ / sound);
            files_.push_back(fs::path(sound).wstring());
        }

        const std::wstring only = OnlyFilter();
        if (!only.empty()) {
            std::erase_if(files_, [&](const std::wstring& f) { return f.find(only) == std::wstring::npos; });
            ASSERT_FALSE(files_.empty()) << "no file matches QCD_SOAK_ONLY";
            // A selection of the file already selected changes nothing: two files at least.
            if (files_.size() == 1) {
                fs::copy_file(folder_ / files_[0], folder_ / (L"again-" + files_[0]));
                files_.push_back(L"again-" + files_[0]);
            }
        }
    }

    void TearDown() override {
        // The dialog made the folder the current one, which keeps it from being removed.
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        SetCurrentDirectoryW(temp);
        ControlDialogTest::TearDown();
    }

    void Add(const std::wstring& name, const Bytes& bytes) {
        WriteFile(folder_ / name, bytes);
        files_.push_back(name);
    }
    void Copy(const char* fixture) {
        fs::copy_file(Fixture(fixture), folder_ / fixture);
        files_.push_back(fs::path(fixture).wstring());
    }

    std::vector<std::wstring> files_;
};

// Clicks a panel button and waits until the panel's lines show its effect; false if they
// never do.
bool Press(HWND pnl, int id) {
    auto lines = [&] {
        return WindowText(GetDlgItem(pnl, IDC_INDEX_LABEL)) + WindowText(GetDlgItem(pnl, IDC_STATUS_LABEL)) +
               WindowText(GetDlgItem(pnl, IDC_PLAY_BUTTON));
    };
    const std::wstring before = lines();
    Click(pnl, id);
    return WaitFor([&] { return lines() != before; }, 2000);
}

// What a visit to a file does beyond its preview: the animated cursor plays on every other
// visit and is paused and stepped on every fourth; icon sets are stepped on every other;
// media play for a moment and are stopped on every other.
// Gives the presses that showed no effect.
int UseShown(HWND pnl, const std::wstring& name, int visit) {
    const std::wstring ext = fs::path(name).extension().wstring();
    int failed = 0;
    auto press = [&](int id) { failed += Press(pnl, id) ? 0 : 1; };
    if (ext == L".ani" && visit % 2 == 1) {
        press(IDC_PLAY_BUTTON);
        Sleep(400);
        if (visit % 4 == 3) {
            press(IDC_PAUSE_BUTTON);
            press(IDC_FORWARD_BUTTON);
        }
    } else if ((ext == L".avi" || ext == L".mid" || ext == L".wav" || ext == L".mp3") &&
               visit % 2 == 1) {
        press(IDC_PLAY_BUTTON);
        Sleep(300);
        press(IDC_PLAY_BUTTON);
    } else if ((ext == L".ico" || ext == L".dll") && visit % 2 == 1) {
        press(IDC_FORWARD_BUTTON);
        press(IDC_FORWARD_BUTTON);
        press(IDC_BACK_BUTTON);
    }
    return failed;
}

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST_F(SoakTest, ManySelectionsInOneDialogKeepTheHostFlatInWinesHandleTables) {
    // One dialog for every selection: minutes at full size.
    LongDialogs longRun(std::chrono::minutes(30));
    const int k = static_cast<int>(files_.size());
    // Whole rounds of the files, so that both counts are taken with the same file shown. The
    // warm-up has every use of every file (four visits) and a tenth of the run at least.
    const int rounds = std::max(8, (FromEnvironment("QCD_SOAK_SELECTIONS", 200) + k - 1) / k);
    const int warmRounds = std::max(4, rounds / 10);
    const auto started = Clock::now();
    Read("selections", "start");
    Reading warm, end;
    int previewed = 0, selections = 0, pressesFailed = 0;
    std::vector<int> visits(files_.size());
    Open([&](HWND dlg, HWND pnl) {
        for (int round = 1; round <= rounds; ++round) {
            for (size_t f = 0; f < files_.size(); ++f) {
                ++selections;
                if (!Preview(dlg, pnl, files_[f].c_str())) {
                    ADD_FAILURE() << "no preview of " << fs::path(files_[f]).string() << " at selection " << selections;
                    continue;
                }
                ++previewed;
                pressesFailed += UseShown(pnl, files_[f], visits[f]++);
            }
            if (round == warmRounds) {
                warm = Read("selections", "warmed-up");
            }
        }
        end = Read("selections", "end");
    });
    std::printf("[soak] selections: %d of %d files in %.1f s\n", selections, k, SecondsSince(started));
    EXPECT_EQ(previewed, selections);
    EXPECT_EQ(pressesFailed, 0);
    ExpectFlat(warm, end);
}

TEST_F(SoakTest, ManyDialogsFromOneControlKeepTheHostFlatInWinesHandleTables) {
    const int dialogs = std::max(2, FromEnvironment("QCD_SOAK_DIALOGS", 20));
    const int k = static_cast<int>(files_.size());
    // Until every file was shown once, and at least a tenth of the run.
    const int warmDialogs = std::min(dialogs - 1, std::max((k + 1) / 2, dialogs / 10));
    const auto started = Clock::now();
    Read("dialogs", "start");
    Reading warm;
    int previewed = 0, pressesFailed = 0;
    std::vector<int> secondVisits(files_.size());
    for (int d = 1; d <= dialogs; ++d) {
        const std::wstring first = files_[static_cast<size_t>(2 * (d - 1) % k)];
        const size_t secondAt = static_cast<size_t>((2 * (d - 1) + 1) % k);
        const std::wstring second = files_[secondAt];
        // Cancelled while the second file is in use: an animation playing, or paused.
        const int use = 2 * secondVisits[secondAt]++ + 1;
        // A cancel empties InitDir, and Wine's dialog opened without a folder leaks a
        // registry handle of its own.
        Object().MutableProps().InitDir = Folder();
        Open([&](HWND dlg, HWND pnl) {
            if (Preview(dlg, pnl, first.c_str())) ++previewed;
            if (Preview(dlg, pnl, second.c_str())) ++previewed;
            pressesFailed += UseShown(pnl, second, use);
        });
        if (HasFatalFailure()) return;
        if (d == warmDialogs) {
            warm = Read("dialogs", "warmed-up");
        }
    }
    const Reading end = Read("dialogs", "end");
    std::printf("[soak] dialogs: %d in %.1f s\n", dialogs, SecondsSince(started));
    EXPECT_EQ(previewed, 2 * dialogs);
    EXPECT_EQ(pressesFailed, 0);
    ExpectFlat(warm, end);
}

}  // namespace
}  // namespace qcd::test
