// The MCI command layer against the platform's real MCI (winmm under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "media/mci_platform.h"

namespace qcd::test {
namespace {

namespace fs = std::filesystem;

// A one-note type-0 MIDI file.
void WriteMidi(const fs::path& path) {
    const unsigned char bytes[] = {
        'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,                   // header, 96 ticks/quarter
        'M', 'T', 'r', 'k', 0, 0, 0, 12,                                    // track of 12 bytes
        0x00, 0x90, 60, 100,                                                // note on
        0x60, 0x80, 60, 0,                                                  // a quarter later, off
        0x00, 0xFF, 0x2F, 0x00,                                             // end of track
    };
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

TEST(MciLayerOnWine, OpensQueriesAndClosesAMidiFileUnderTheSoundAlias) {
    MciLayer& mci = ProcessMci();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const fs::path midi = fs::path(temp) / L"qcd mci test.mid";  // a space: the quotes keep it
    WriteMidi(midi);
    const std::u16string path(reinterpret_cast<const char16_t*>(midi.c_str()));

    ASSERT_EQ(mci.MciOpen(path, MciSoundAlias), 0) << std::string(mci.LastMciReply.begin(), mci.LastMciReply.end());
    // Wine names open devices by their alias in lower case ("atype"); the test ignores case.
    EXPECT_TRUE(mci.MciIsOpen(u"ATYPE"));
    EXPECT_FALSE(mci.MciIsOpen(u"msfile"));
    ASSERT_EQ(mci.MciOpen(path, u"msfile2"), 0);
    EXPECT_TRUE(mci.MciIsOpen(u"msfile"));  // a prefix test: msfile2 counts
    EXPECT_EQ(mci.MciClose(u"msfile2"), 0);
    EXPECT_FALSE(mci.MciIsOpen(u"msfile"));
    EXPECT_EQ(mci.MciSetTimeFormat(MciSoundAlias, u"milliseconds"), 0);
    const auto length = ParseInt32(mci.MciStatusLength(MciSoundAlias));
    ASSERT_TRUE(length);
    EXPECT_GT(*length, 0);
    EXPECT_EQ(mci.MciClose(MciSoundAlias), 0);
    EXPECT_NE(mci.MciClose(MciSoundAlias), 0);
    fs::remove(midi);
}

TEST(MciLayerOnWine, FailuresComeBackAsCodesAndTexts) {
    MciLayer& mci = ProcessMci();
    // An alias nobody opened: close gives 263; Wine answers the status query with 281.
    EXPECT_EQ(mci.MciClose(u"nosuchalias"), 263);
    const std::u16string status = mci.MciStatusLength(u"nosuchalias");
    EXPECT_EQ(status.substr(0, 6), u"Error:");
    EXPECT_GT(ParseInt32(status.substr(6)).value_or(0), 0);
    EXPECT_FALSE(mci.LastMciReply.empty());  // the system's own text
    std::u16string reply = u"unchanged";
    EXPECT_EQ(mci.MciSend(u"", reply), -1);
    EXPECT_EQ(reply, u"MCIコマンド文字列が設定されていません");
}

TEST(MciLayerOnWine, WaveVolumeIsSavedAndPutBack) {
    MciLayer& mci = ProcessMci();
    mci.SavedWaveVolume = 0x12345678;
    mci.WaveVolume(true);  // under Wine device 0 may refuse: then the saved value stays
    const uint32_t saved = mci.SavedWaveVolume;
    mci.WaveVolume(false);
    mci.WaveVolume(true);
    EXPECT_EQ(mci.SavedWaveVolume, saved);
}

}  // namespace
}  // namespace qcd::test
