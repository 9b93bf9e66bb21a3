// VBMP3.dll under Wine on real files made by the build: the platform's MP3 decoder and wave
// output. The test prefix's null device plays faster than real time, so the tests wait for
// progress and end states and never for a duration.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "host_counts.h"
#include "vbmp3/vbmp3.h"

namespace qcd::test {
namespace {

using namespace std::chrono_literals;

// The library beside the test program, as the control loads it.
class Library : public Vbmp3Entries {
  public:
    Library() {
        wchar_t path[MAX_PATH];
        const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring full(path, n);
        full.resize(full.find_last_of(L"\\/") + 1);
        module_ = LoadLibraryW((full + L"VBMP3.dll").c_str());
        if (!module_) return;
        Bind([this](const char* name) {
            return reinterpret_cast<void*>(GetProcAddress(module_, name));
        });
    }
    bool Loaded() const { return module_ && init && getSpectrum; }

  private:
    HMODULE module_ = nullptr;
};

Library& Lib() {
    static Library library;
    return library;
}

// The build's sound files, through Wine's drive for the Unix root.
std::string Sound(const char* name) {
    std::string path = "Z:" + std::string(QCD_SOUND_DIR) + "/" + name;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

struct State {
    int32_t state = -1, position = -1;
};
State Now() {
    State s;
    s.state = Lib().getState(&s.position);
    return s;
}

// Polls until `done` holds; false after `limit`.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return done();
}

int CountThreads() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 t{};
    t.dwSize = sizeof t;
    int n = 0;
    for (BOOL ok = Thread32First(snap, &t); ok; ok = Thread32Next(snap, &t))
        if (t.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    CloseHandle(snap);
    return n;
}

class Vbmp3Test : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Lib().Loaded());
        Lib().init();
    }
    void TearDown() override { Lib().free(); }

    Vbmp3Info Open(const char* name) {
        Vbmp3Info info;
        std::memset(&info, 0x5A, sizeof info);
        EXPECT_NE(Lib().open(Sound(name).c_str(), &info) & 0xFFFF, 0) << name;
        return info;
    }
};

TEST_F(Vbmp3Test, EachFileOpensWithItsFormatAndLength) {
    struct Expect {
        const char* name;
        int32_t length, rate, channels;
        const char* format;
    };
    for (const Expect& e : {Expect{"tone1k_44k_stereo_cbr.mp3", 6, 44100, 2, "MPEG-1 Layer III"},
                            Expect{"tone_22k_mono_vbr.mp3", 7, 22050, 1, "MPEG-2 Layer III"},
                            Expect{"tone_22k_mono_cbr_noinfo.mp3", 5, 22050, 1, "MPEG-2 Layer III"},
                            Expect{"tone_16k_stereo_mpeg2.mp3", 4, 16000, 2, "MPEG-2 Layer III"},
                            Expect{"tone_44k_stereo_16.wav", 4, 44100, 2, "WAVE PCM"},
                            Expect{"tone_11k_mono_8.wav", 3, 11025, 1, "WAVE PCM"},
                            Expect{"mp3_in_wave.wav", 6, 44100, 2, "WAVE"},
                            Expect{"five_minutes.mp3", 300, 44100, 2, "MPEG-1 Layer III"},
                            Expect{"five_minutes_noinfo.mp3", 300, 44100, 2, "MPEG-1 Layer III"}}) {
        const Vbmp3Info info = Open(e.name);
        EXPECT_EQ(info.lengthSeconds, e.length) << e.name;
        EXPECT_EQ(info.rate, e.rate) << e.name;
        EXPECT_EQ(info.channels, e.channels) << e.name;
        EXPECT_STREQ(info.format, e.format) << e.name;
        EXPECT_EQ(info.text[0], '\0');
        EXPECT_GT(info.kbps, 0) << e.name;
        EXPECT_EQ(Now().state, 0);
        EXPECT_EQ(Now().position, 0);
    }
}

TEST_F(Vbmp3Test, DamagedAndMissingFilesAreRefusedLeavingNothingOpen) {
    Open("tone_11k_mono_8.wav");
    for (const char* name : {"truncated.mp3", "random.mp3", "no such file.mp3"}) {
        Vbmp3Info info{};
        EXPECT_EQ(Lib().open(Sound(name).c_str(), &info) & 0xFFFF, 0) << name;
        EXPECT_EQ(Lib().play(), 0) << name;
        EXPECT_EQ(Now().state, 0) << name;
    }
    EXPECT_EQ(Lib().open(nullptr, nullptr), 0);
}

// A name outside the ANSI code page opens through the wide entry, with the record the ANSI
// entry gives for the same sound under an ASCII name; the ANSI entry cannot reach it.
TEST_F(Vbmp3Test, TheWideEntryOpensANameTheCodePageCannotHold) {
    ASSERT_NE(Lib().openWide, nullptr) << "no vbmp3_openW export";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring copy = std::wstring(temp) + L"Ελλάδα \U0001F600 " + std::to_wstring(GetCurrentProcessId()) + L".mp3";
    const std::string source = Sound("tone1k_44k_stereo_cbr.mp3");
    ASSERT_TRUE(CopyFileW(std::wstring(source.begin(), source.end()).c_str(), copy.c_str(), FALSE));
    Vbmp3Info byAnsi{}, byWide{};
    ASSERT_NE(Lib().open(source.c_str(), &byAnsi), 0);
    EXPECT_NE(Lib().openWide(copy.c_str(), &byWide), 0);
    EXPECT_EQ(std::memcmp(&byAnsi, &byWide, sizeof byAnsi), 0);
    char ansi[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, copy.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    Vbmp3Info lost{};
    EXPECT_EQ(Lib().open(ansi, &lost), 0);
    Lib().free();
    EXPECT_TRUE(DeleteFileW(copy.c_str()));
}

// The open file is shared for reading, writing and deleting: a preview never keeps the user
// from changing or removing the file.
TEST_F(Vbmp3Test, AnOpenFileCanBeWrittenAndDeleted) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring copy = std::wstring(temp) + L"qcd-shared-" + std::to_wstring(GetCurrentProcessId()) + L".wav";
    std::string source = Sound("tone_11k_mono_8.wav");
    ASSERT_TRUE(CopyFileW(std::wstring(source.begin(), source.end()).c_str(), copy.c_str(), FALSE));
    Vbmp3Info info{};
    ASSERT_NE(Lib().open(std::string(copy.begin(), copy.end()).c_str(), &info), 0);
    HANDLE writer = CreateFileW(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    EXPECT_TRUE(DeleteFileW(copy.c_str()));
    Lib().free();
    EXPECT_EQ(GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The record is written whole and nothing past it: a guard after it stays as it was.
TEST_F(Vbmp3Test, OpenWritesTheRecordAndNothingBeyondIt) {
    std::array<uint8_t, sizeof(Vbmp3Info) + 64> block;
    block.fill(0xA5);
    ASSERT_NE(Lib().open(Sound("tone_44k_stereo_16.wav").c_str(), reinterpret_cast<Vbmp3Info*>(block.data())), 0);
    for (size_t i = sizeof(Vbmp3Info); i < block.size(); ++i) ASSERT_EQ(block[i], 0xA5) << i;
    Vbmp3Info info;
    std::memcpy(&info, block.data(), sizeof info);
    EXPECT_EQ(info.lengthSeconds, 4);
    EXPECT_EQ(info.kbps, 44100 * 4 / 125);
}

// No wave output at all (the audio drivers left out by the test that runs this): play is
// refused quietly and the state stays 0, so the caller's timer tries again later.
TEST_F(Vbmp3Test, WithoutWaveOutputPlayLeavesTheStateStopped) {
    if (!GetEnvironmentVariableW(L"QCD_EXPECT_NO_AUDIO", nullptr, 0))
        GTEST_SKIP() << "run without audio drivers";
    Open("tone1k_44k_stereo_cbr.mp3");
    EXPECT_EQ(Lib().play(), 0);
    EXPECT_EQ(Now().state, 0);
    EXPECT_EQ(Now().position, 0);
    EXPECT_EQ(Lib().pause(), 0);
    EXPECT_EQ(Lib().play(), 0);  // again, as Timer5 would
    EXPECT_EQ(Now().state, 0);
    // The file is still open: with a device it would play.
    Vbmp3Info info{};
    EXPECT_NE(Lib().open(Sound("tone_11k_mono_8.wav").c_str(), &info), 0);
}

TEST_F(Vbmp3Test, PlayPauseSeekRestartAndStop) {
    const Vbmp3Info info = Open("tone1k_44k_stereo_cbr.mp3");
    ASSERT_EQ(info.lengthSeconds, 6);
    Lib().setVolume(100, 100);
    ASSERT_EQ(Lib().play(), 1);
    EXPECT_EQ(Now().state, 1);
    ASSERT_TRUE(WaitFor([] { return Now().position >= 1; })) << Now().position;

    EXPECT_EQ(Lib().restart(), 0);  // only while paused
    ASSERT_EQ(Lib().pause(), 1);
    const State paused = Now();
    EXPECT_EQ(paused.state, 2);
    EXPECT_EQ(Lib().pause(), 0);  // only while playing
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(Now().position, paused.position);
    EXPECT_EQ(Now().state, 2);

    ASSERT_EQ(Lib().seek(4), 1);
    EXPECT_EQ(Now().position, 4);  // exactly what was sought
    EXPECT_EQ(Now().state, 2);
    Lib().seek(99);
    EXPECT_EQ(Now().position, 6);  // clamped to the length
    Lib().seek(-5);
    EXPECT_EQ(Now().position, 0);
    Lib().seek(3);

    ASSERT_EQ(Lib().restart(), 1);
    EXPECT_EQ(Now().state, 1);
    EXPECT_GE(Now().position, 3);
    ASSERT_TRUE(WaitFor([] { return Now().position >= 4 || Now().state == 0; }));

    Lib().stop();
    EXPECT_EQ(Now().state, 0);
    EXPECT_EQ(Now().position, 0);
    // Stop keeps the file: play starts again from 0.
    ASSERT_EQ(Lib().play(), 1);
    const State again = Now();
    EXPECT_EQ(again.state, 1);
    EXPECT_LE(again.position, 1);
}

// A WAVE file of another format than PCM plays through the platform's converters.
TEST_F(Vbmp3Test, ACompressedWaveFilePlays) {
    Open("mp3_in_wave.wav");
    ASSERT_EQ(Lib().play(), 1);
    ASSERT_TRUE(WaitFor([] { return Now().position >= 2; })) << Now().position << " " << Now().state;
    std::array<int32_t, 256> left{}, right{};
    Lib().getSpectrum(left.data(), right.data());
    EXPECT_EQ(std::max_element(left.begin(), left.end()) - left.begin(), 12);
}

// The end of the sound is state 0; play then starts it again from the beginning.
TEST_F(Vbmp3Test, TheEndIsStoppedAndPlayRepeats) {
    Open("tone_11k_mono_8.wav");
    ASSERT_EQ(Lib().play(), 1);
    int32_t highest = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            const State s = Now();
            highest = std::max(highest, s.position);
            return s.state == 0;
        },
        30s));
    EXPECT_GE(highest, 2);  // it played through, not just stopped
    EXPECT_EQ(Now().position, 0);
    ASSERT_EQ(Lib().play(), 1);
    EXPECT_EQ(Now().state, 1);
    ASSERT_TRUE(WaitFor([] { return Now().position >= 1; }));
}

// A stereo file cut inside a frame: the converter's last samples are half a frame, which is
// dropped. It plays to its end, and every call answers meanwhile and after (a hang here is
// the test's time-out).
TEST_F(Vbmp3Test, AFileCutInsideAFramePlaysToItsEndAndStops) {
    const Vbmp3Info info = Open("mulaw_stereo_cut.wav");
    EXPECT_EQ(info.lengthSeconds, 2);
    ASSERT_EQ(Lib().play(), 1);
    int32_t highest = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            const State s = Now();
            highest = std::max(highest, s.position);
            return s.state == 0;
        },
        30s));
    EXPECT_GE(highest, 1);
    EXPECT_EQ(Lib().stop(), 1);
    ASSERT_EQ(Lib().play(), 1);
    EXPECT_EQ(Lib().stop(), 1);
    EXPECT_EQ(Now().state, 0);
}

TEST_F(Vbmp3Test, TheSpectrumOfA1kHzTonePeaksInItsBin) {
    std::array<int32_t, 256> left{}, right{};
    left.fill(-1);
    Lib().getSpectrum(left.data(), right.data());
    EXPECT_EQ(*std::max_element(left.begin(), left.end()), 0);  // nothing plays: zeros

    Open("tone1k_44k_stereo_cbr.mp3");
    ASSERT_EQ(Lib().play(), 1);
    ASSERT_TRUE(WaitFor([] { return Now().position >= 1; }));
    Lib().getSpectrum(left.data(), right.data());
    const auto peak = std::max_element(left.begin(), left.end()) - left.begin();
    EXPECT_EQ(peak, 12);  // 1000 Hz * 512 / 44100 = 11.6
    EXPECT_GE(left[12], 90);  // a half-scale tone: 6 dB under 110
    EXPECT_LE(left[12], 110);
    EXPECT_LT(left[100], 40);
    EXPECT_EQ(std::max_element(right.begin(), right.end()) - right.begin(), 12);

    // The volume is the library's own: a tenth of it is 20 dB less.
    Lib().setVolume(10, 10);
    ASSERT_EQ(Lib().play(), 1);
    ASSERT_TRUE(WaitFor([] { return Now().position >= 1; }));
    std::array<int32_t, 256> quiet{}, unused{};
    Lib().getSpectrum(quiet.data(), unused.data());
    EXPECT_NEAR(quiet[12], left[12] - 20, 3);

    Lib().pause();
    Lib().stop();
    Lib().getSpectrum(left.data(), right.data());
    EXPECT_EQ(*std::max_element(left.begin(), left.end()), 0);
}

TEST_F(Vbmp3Test, AThousandCyclesLeaveNoThreadsOrHandlesInWinesSystemHandleList) {
    if (!WinesHandleListFound()) GTEST_SKIP() << kNoHandleList;
    const std::string path = Sound("tone_22k_mono_vbr.mp3");
    Vbmp3Info info{};
    auto cycle = [&] {
        ASSERT_NE(Lib().open(path.c_str(), &info), 0);
        ASSERT_EQ(Lib().play(), 1);
        Lib().stop();
    };
    for (int i = 0; i < 20; ++i) cycle();
    const int handles = CountKernelHandles(), threads = CountThreads();
    ASSERT_GT(handles, 0);
    ASSERT_GT(threads, 0);
    for (int i = 0; i < 1000; ++i) {
        cycle();
        if (HasFatalFailure()) return;
    }
    EXPECT_LE(CountKernelHandles(), handles + 2);
    // The platform's audio and thread-pool workers come and go on their own time: a leak of
    // ours would be a thousand threads, not one still winding down.
    WaitFor([&] { return CountThreads() <= threads; }, 5s);
    EXPECT_LE(CountThreads(), threads);
    Lib().free();
    Lib().free();  // again: nothing left to end
    Lib().init();
    ASSERT_NE(Lib().open(path.c_str(), &info), 0);
    EXPECT_EQ(Lib().play(), 1);
}

}  // namespace
}  // namespace qcd::test
