#include "media/mci_commands.h"

#include <gtest/gtest.h>

#include "fake_mci.h"

#include <algorithm>
#include <map>
#include <vector>

namespace qcd {
namespace {

using namespace std::string_literals;

class MciLayerTest : public ::testing::Test {
  protected:
    FakeMci mci;
    MciLayer layer{mci};
};

TEST_F(MciLayerTest, ActionCommandsAreSentExactlyOnTheMciSendPath) {
    layer.MciOpen(u"C:\\a b\\x.mid", MciSoundAlias);
    layer.MciClose(u"ATYPE");
    layer.MciPause(u"ATYPE");
    layer.MciResume(u"ATYPE");
    layer.MciStop(u"ATYPE");
    layer.MciSetTimeFormat(u"ATYPE", u"milliseconds");
    layer.MciPlay(u"ATYPE", u"", u"");
    layer.MciPlay(u"ATYPE", u"1000", u"");
    layer.MciPlay(u"ATYPE", u"", u"5000");
    layer.MciPlay(u"ATYPE", u"1000", u"5000");
    EXPECT_EQ(mci.calls, (Calls{
                             "MciSend open \"C:\\a b\\x.mid\" alias ATYPE",
                             "MciSend close ATYPE",
                             "MciSend pause ATYPE",
                             "MciSend resume ATYPE",
                             "MciSend stop ATYPE",
                             "MciSend set ATYPE time format milliseconds",
                             "MciSend play ATYPE",
                             "MciSend play ATYPE from 1000",
                             "MciSend play ATYPE to 5000",
                             "MciSend play ATYPE from 1000 to 5000",
                         }));
}

// A device that cannot find a name beyond the ANSI code page is given the short one, and only
// then: other failures, and names with no other form, are not tried again.
TEST_F(MciLayerTest, AFileTheDeviceCannotFindIsOpenedAgainByItsShortName) {
    const std::u16string name = u"C:\\曲 😀\\x.mid";
    const std::string open = "open \"" + Utf8(name) + "\" alias ATYPE";
    mci.shortPaths[Utf8(name)] = "C:\\9B2F~1\\x.mid";
    for (int32_t code : {275, 277}) {
        mci.calls.clear();
        mci.replies[open].code = static_cast<uint32_t>(code);
        EXPECT_EQ(layer.MciOpen(name, u"ATYPE"), code == 275 ? 0 : code);
        Calls expected{"MciSend " + open};
        if (code == 275) expected.push_back("MciSend open \"C:\\9B2F~1\\x.mid\" alias ATYPE");
        EXPECT_EQ(mci.calls, expected) << code;
    }
}

TEST_F(MciLayerTest, StatusQueriesAreSentExactlyAndReturnTheReply) {
    mci.replies["status ATYPE length"].text = "225000";
    EXPECT_EQ(layer.MciStatusLength(u"ATYPE"), u"225000");
    layer.MciStatusMode(u"ATYPE");
    layer.MciStatusPosition(u"ATYPE");
    layer.MciStatusTimeFormat(u"ATYPE");
    layer.MciStatusCurrentTrack(u"ATYPE");
    layer.MciStatusTrackPosition(u"ATYPE", u"5");
    layer.MciStatusTrackLength(u"ATYPE", u"12");
    EXPECT_EQ(mci.calls, (Calls{
                             "MciSend status ATYPE length",
                             "MciSend status ATYPE mode",
                             "MciSend status ATYPE position",
                             "MciSend status ATYPE time format",
                             "MciSend status ATYPE current track",
                             "MciSend status ATYPE position track 5",
                             "MciSend status ATYPE length track 12",
                         }));
}

TEST_F(MciLayerTest, MciSendCutsTheReplyAtItsNulAndKeepsItInLastMciReply) {
    mci.replies["status ATYPE mode"].text = "playing\0junk"s;
    std::u16string reply = u"old";
    EXPECT_EQ(layer.MciSend(u"status ATYPE mode", reply), 0);
    EXPECT_EQ(reply, u"playing");

    // An action command's reply replaces the last one, usually with nothing.
    layer.LastMciReply = u"previous";
    EXPECT_EQ(layer.MciStop(u"ATYPE"), 0);
    EXPECT_EQ(layer.LastMciReply, u"");
}

TEST_F(MciLayerTest, MciSendWithoutACommandSendsNothing) {
    std::u16string reply;
    EXPECT_EQ(layer.MciSend(u"", reply), -1);
    EXPECT_EQ(reply, u"MCIコマンド文字列が設定されていません");
    EXPECT_TRUE(mci.calls.empty());
    EXPECT_TRUE(mci.errorBufferSizes.empty());
}

TEST_F(MciLayerTest, MciSendFailureGivesTheSystemTextOrTheFallback) {
    mci.replies["open \"x.mid\" alias ATYPE"].code = 275;
    mci.errorTexts[275] = Utf8(u"ファイルが見つかりません。");
    EXPECT_EQ(layer.MciOpen(u"x.mid", u"ATYPE"), 275);
    EXPECT_EQ(layer.LastMciReply, u"ファイルが見つかりません。");

    mci.replies["play ATYPE"].code = 999;
    EXPECT_EQ(layer.MciPlay(u"ATYPE", u"", u""), 999);
    EXPECT_EQ(layer.LastMciReply, u"原因不明のエラーが発生しました");
    EXPECT_EQ(mci.errorBufferSizes, (std::vector<size_t>{256, 256}));
}

TEST_F(MciLayerTest, FailedQueryReadsErrorAndTheCode) {
    mci.replies["status ATYPE position"].code = 263;
    mci.errorTexts[263] = "not open";
    EXPECT_EQ(layer.MciStatusPosition(u"ATYPE"), u"Error:263");
    EXPECT_EQ(layer.LastMciReply, u"not open");
    EXPECT_EQ(layer.MciQuery(u""), u"Error:-1");
}

TEST_F(MciLayerTest, MciSendBufHandsBackTheReplyOrTheErrorText) {
    std::u16string reply = u"old";
    mci.replies["where msfile source max"].text = "0 0 160 120";
    EXPECT_EQ(layer.MciSendBuf(u"where msfile source max", reply), 0);
    EXPECT_EQ(reply, u"0 0 160 120");

    mci.replies["update msfile hdc 5"].code = 282;
    mci.errorTexts[282] = "cannot draw";
    EXPECT_EQ(layer.MciSendBuf(u"update msfile hdc 5", reply), 282);
    EXPECT_EQ(reply, u"cannot draw");
    EXPECT_EQ(mci.errorBufferSizes, std::vector<size_t>{1024});

    // No fallback text on this path: an unknown code leaves an empty reply.
    mci.replies["break msfile"].code = 999;
    EXPECT_EQ(layer.MciSendBuf(u"break msfile", reply), 999);
    EXPECT_EQ(reply, u"");
    EXPECT_EQ(layer.LastMciReply, u"");
}

TEST_F(MciLayerTest, MciSendBufLeavesTheReplyWhenTheBufferHasNoNul) {
    mci.replies["status msfile position"].noNul = true;
    std::u16string reply = u"as passed";
    EXPECT_EQ(layer.MciSendBuf(u"status msfile position", reply), 0);
    EXPECT_EQ(reply, u"as passed");
}

TEST_F(MciLayerTest, MciSendBufSendsEvenAnEmptyCommand) {
    std::u16string reply;
    layer.MciSendBuf(u"", reply);
    EXPECT_EQ(mci.calls, Calls{"MciSendBuf "});
}

TEST_F(MciLayerTest, MciIsOpenIsAPrefixTestOverTheOpenDevices) {
    mci.replies["sysinfo all quantity open"].text = "2  ";
    mci.replies["sysinfo all name 1 open"].text = "ATYPE";
    mci.replies["sysinfo all name 2 open"].text = "msfile2";
    EXPECT_TRUE(layer.MciIsOpen(u"msfile"));
    EXPECT_EQ(mci.calls, (Calls{
                             "MciSendBuf sysinfo all quantity open",
                             "MciSendBuf sysinfo all name 1 open",
                             "MciSendBuf sysinfo all name 2 open",
                         }));
    mci.calls.clear();
    EXPECT_TRUE(layer.MciIsOpen(u"ATYPE"));
    EXPECT_EQ(mci.calls.size(), 2u);  // stops at the first match

    EXPECT_FALSE(layer.MciIsOpen(u"msfile23"));
}

// Wine answers the names lower-cased ("atype"); an empty alias would match every device.
TEST_F(MciLayerTest, MciIsOpenIgnoresLetterCaseAndNeverMatchesAnEmptyAlias) {
    mci.replies["sysinfo all quantity open"].text = "1";
    mci.replies["sysinfo all name 1 open"].text = "atype";
    EXPECT_TRUE(layer.MciIsOpen(u"ATYPE"));
    EXPECT_FALSE(layer.MciIsOpen(u"ATYPE2"));
    mci.calls.clear();
    EXPECT_FALSE(layer.MciIsOpen(u""));
    EXPECT_EQ(mci.calls, Calls{"MciSendBuf sysinfo all quantity open"});
}

TEST_F(MciLayerTest, MciIsOpenWithNoCountAsksNoNames) {
    mci.replies["sysinfo all quantity open"].text = "0";
    EXPECT_FALSE(layer.MciIsOpen(u"msfile"));
    mci.replies["sysinfo all quantity open"].code = 263;
    EXPECT_FALSE(layer.MciIsOpen(u"msfile"));
    mci.replies["sysinfo all quantity open"] = FakeMci::Reply{0, "-3"};
    EXPECT_FALSE(layer.MciIsOpen(u"msfile"));
    EXPECT_EQ(mci.calls, Calls(3, "MciSendBuf sysinfo all quantity open"));
}

TEST_F(MciLayerTest, MciPlayTrackPlaysFromTheTrackPositionAsReplied) {
    mci.replies["status ATYPE position track 5"].text = "754000";
    EXPECT_EQ(layer.MciPlayTrack(5, u"ATYPE"), 0);
    mci.replies["play ATYPE from 754000"].code = 266;
    EXPECT_EQ(layer.MciPlayTrack(5, u"ATYPE"), 266);
    EXPECT_EQ(mci.calls, (Calls{
                             "MciSend status ATYPE position track 5",
                             "MciSend play ATYPE from 754000",
                             "MciSend status ATYPE position track 5",
                             "MciSend play ATYPE from 754000",
                         }));
}

TEST(FieldOf, SplitsTheWhereReply) {
    EXPECT_EQ(FieldOf(u"0 0 320 240", 3, u" "), u"320");
    EXPECT_EQ(FieldOf(u"0 0 320 240", 4, u" "), u"240");
    EXPECT_EQ(FieldOf(u"0 0 320 240", 1, u" "), u"0");
    EXPECT_EQ(FieldOf(u"0 0", 4, u" "), u"");
    EXPECT_EQ(FieldOf(u"0 0", 3, u" "), u"");
    EXPECT_EQ(FieldOf(u"0  7", 3, u" "), u"7");
    EXPECT_EQ(FieldOf(u"0 0 ", 3, u" "), u"");
    EXPECT_EQ(FieldOf(u"a::b::c", 2, u"::"), u"b");
    EXPECT_EQ(FieldOf(u"abc", 1, u""), u"abc");
}

TEST(CutAtNul, EndsAtTheFirstNul) {
    EXPECT_EQ(CutAtNul(u"ab\0cd\0"s), u"ab");
    EXPECT_EQ(CutAtNul(u"\0x"s), u"");
    EXPECT_EQ(CutAtNul(u"abc"), u"abc");
}

TEST(ParseInt32, ReadsOnlyWholeNumbers) {
    EXPECT_EQ(ParseInt32(u"2  "), 2);
    EXPECT_EQ(ParseInt32(u" -120"), -120);
    EXPECT_EQ(ParseInt32(u"+7"), 7);
    EXPECT_EQ(ParseInt32(u"-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseInt32(u"2147483647"), INT32_MAX);
    EXPECT_EQ(ParseInt32(u"2147483648"), std::nullopt);
    EXPECT_EQ(ParseInt32(u"99999999999999999999"), std::nullopt);
    EXPECT_EQ(ParseInt32(u"Error:263"), std::nullopt);
    EXPECT_EQ(ParseInt32(u"12 frames"), std::nullopt);
    EXPECT_EQ(ParseInt32(u""), std::nullopt);
    EXPECT_EQ(ParseInt32(u" - "), std::nullopt);
}

class VideoTest : public MciLayerTest {
  protected:
    void SetUp() override { layer.VideoLength = 100; }
};

TEST_F(VideoTest, SeekShowGoesToStartFrameOrEndAndPumpsTwice) {
    const std::pair<int32_t, std::string> cases[] = {
        {-5, "seek msfile to start"}, {0, "seek msfile to start"}, {1, "seek msfile to start"},
        {2, "seek msfile to 2"},      {99, "seek msfile to 99"},   {100, "seek msfile to end"},
        {150, "seek msfile to end"},
    };
    for (const auto& [frame, seek] : cases) {
        mci.calls.clear();
        mci.pumps = 0;
        static_cast<void>(layer.VideoSeekShow(u"msfile", frame, mci));
        EXPECT_EQ(mci.calls, (Calls{"MciSendBuf stop msfile", "MciSendBuf " + seek,
                                    "ShowDeviceWindow msfile show"}))
            << frame;
        EXPECT_EQ(mci.pumps, 2);
    }
}

// A Cancel run by the first pump hid the dialog: its own loop must see the next message.
TEST_F(VideoTest, NoSecondPumpOnceTheDialogHides) {
    mci.dialogHidden = true;
    static_cast<void>(layer.VideoSeekShow(u"msfile", 2, mci));
    EXPECT_EQ(mci.pumps, 1);
}

TEST_F(VideoTest, FrameOfAnUnreadableReplyIsZero) {
    mci.replies["status msfile position"].text = "12 frames";
    EXPECT_EQ(layer.VideoFrame(u"msfile"), 12);
    mci.replies["status msfile position"].code = 263;
    mci.errorTexts[263] = "not open";
    EXPECT_EQ(layer.VideoFrame(u"msfile"), 0);
    mci.replies["status msfile position"] = FakeMci::Reply{0, "", true};
    EXPECT_EQ(layer.VideoFrame(u"msfile"), 0);
    EXPECT_EQ(mci.pumps, 0);
}

TEST_F(VideoTest, PlayNotifyOnlyBeforeTheLastFrame) {
    static_cast<void>(layer.VideoPlayNotify(u"msfile", 100, mci));
    EXPECT_TRUE(mci.calls.empty());
    EXPECT_EQ(mci.pumps, 0);
    static_cast<void>(layer.VideoPlayNotify(u"msfile", 99, mci));
    EXPECT_EQ(mci.calls, Calls{"MciSendBuf play msfile notify"});
    EXPECT_EQ(mci.pumps, 2);
}

TEST_F(VideoTest, RewindStopsSeeksToStartAndShows) {
    static_cast<void>(layer.VideoRewind(u"msfile", mci));
    EXPECT_EQ(mci.calls, (Calls{"MciSendBuf stop msfile", "MciSendBuf seek msfile to start",
                                "ShowDeviceWindow msfile show"}));
    EXPECT_EQ(mci.pumps, 2);
}

TEST_F(VideoTest, CloseActsOnlyWhenTheAliasIsOpen) {
    mci.replies["sysinfo all quantity open"].text = "0";
    static_cast<void>(layer.VideoClose(u"msfile", mci));
    EXPECT_EQ(mci.calls, Calls{"MciSendBuf sysinfo all quantity open"});
    EXPECT_EQ(mci.pumps, 0);

    mci.calls.clear();
    mci.replies["sysinfo all quantity open"].text = "1";
    mci.replies["sysinfo all name 1 open"].text = "msfile";
    mci.replies["break msfile"].code = 999;  // its failure is ignored
    static_cast<void>(layer.VideoClose(u"msfile", mci));
    EXPECT_EQ(mci.calls, (Calls{
                             "MciSendBuf sysinfo all quantity open",
                             "MciSendBuf sysinfo all name 1 open",
                             "MciSendBuf stop msfile",
                             "MciSendBuf break msfile",
                             "ShowDeviceWindow msfile hide",
                             "MciSendBuf close msfile",
                         }));
    EXPECT_EQ(mci.pumps, 2);
    EXPECT_EQ(layer.VideoLength, 100);  // kept after the close
}

TEST(VideoOpenCommands, AreExactStringsWithPlainDecimals) {
    EXPECT_EQ(VideoOpenCommand(u"C:\\PROGRA~1\\CLIP~1.AVI", u"msfile", 65562),
              u"open C:\\PROGRA~1\\CLIP~1.AVI alias msfile style child parent 65562");
    EXPECT_EQ(VideoOpenCommand(u"x.avi", u"msfile", -2),
              u"open x.avi alias msfile style child parent -2");
    EXPECT_EQ(VideoWhereCommand(u"msfile"), u"where msfile source max");
    EXPECT_EQ(VideoUpdateCommand(u"msfile", 0), u"update msfile hdc 0");
    EXPECT_EQ(VideoPutCommand(u"msfile", {-1, 0, 102, 89}), u"put msfile window at -1 0 102 89");
}

TEST(VideoOpenCommands, PlacementFitsCentresOrScales) {
    // Wider than the area: full width, height scaled and centred.
    EXPECT_EQ(PlaceVideoWindow(160, 120, 102, 119), (VideoWindowRect{0, 15, 102, 89}));
    // Fits: natural size, centred (halves truncated).
    EXPECT_EQ(PlaceVideoWindow(64, 48, 102, 119), (VideoWindowRect{19, 35, 64, 48}));
    // Taller than wide: full height, width scaled and centred.
    EXPECT_EQ(PlaceVideoWindow(100, 200, 102, 119), (VideoWindowRect{25, 0, 51, 119}));
    // Square and too big takes the W >= H branch: q is a fraction of the area height.
    EXPECT_EQ(PlaceVideoWindow(200, 200, 102, 119), (VideoWindowRect{0, 0, 102, 119}));
    EXPECT_EQ(PlaceVideoWindow(0, 0, 102, 119), (VideoWindowRect{51, 59, 0, 0}));
    EXPECT_EQ(PlaceVideoWindow(40000, 10, 102, 119), (VideoWindowRect{0, 59, 102, 0}));
    // 103 x 50 just misses the width.
    EXPECT_EQ(PlaceVideoWindow(103, 50, 102, 119), (VideoWindowRect{0, 31, 102, 57}));
    // Wine's bottom-up videos come with a negative height: the magnitude counts.
    EXPECT_EQ(PlaceVideoWindow(160, -120, 102, 119), (VideoWindowRect{0, 15, 102, 89}));
    EXPECT_EQ(PlaceVideoWindow(-64, -48, 102, 119), (VideoWindowRect{19, 35, 64, 48}));
    // The products are 64-bit, the numbers clamped to 16 bits.
    EXPECT_EQ(PlaceVideoWindow(10, 40000, 102, 40000), (VideoWindowRect{46, 0, 10, 32767}));
    EXPECT_EQ(PlaceVideoWindow(INT32_MIN, INT32_MIN, 102, 119), (VideoWindowRect{0, 0, 102, 119}));
    EXPECT_EQ(PlaceVideoWindow(2000000000, 1999999999, 102, 119),
              (VideoWindowRect{0, 0, 102, 118}));
}

TEST(LeadingNumber, ReadsTheNumberAtTheStartOrZero) {
    EXPECT_EQ(LeadingNumber(u"61400"), 61400);
    EXPECT_EQ(LeadingNumber(u"  12 frames"), 12);
    EXPECT_EQ(LeadingNumber(u"-120"), -120);
    EXPECT_EQ(LeadingNumber(u"05.cda"), 5);
    EXPECT_EQ(LeadingNumber(u"Error:263"), 0);
    EXPECT_EQ(LeadingNumber(u""), 0);
    EXPECT_EQ(LeadingNumber(u"-"), 0);
    EXPECT_EQ(LeadingNumber(u"99999999999999999999"), INT32_MAX);
    EXPECT_EQ(LeadingNumber(u"-99999999999999999999"), INT32_MIN);
}

// The first frame drawn into a picture of the test's: the size asked for and the DC handed out.
struct RecordingPicture : VideoPicture {
    int32_t width = -1, height = -1;
    int32_t PrepareDc(int32_t w, int32_t h) override {
        width = w;
        height = h;
        return 4242;
    }
    int16_t BitsPerPixel() override { return 24; }
};

TEST_F(MciLayerTest, VideoOpenSendsTheSequenceAndFitsTheWindow) {
    mci.shortPaths["C:\\clips\\wide clip.avi"] = "C:\\CLIPS\\WIDECL~1.AVI";
    mci.replies["sysinfo all quantity open"].text = "0";
    mci.replies["where msfile source max"].text = "0 0 160 -120";
    mci.replies["status msfile length"].text = "250";
    RecordingPicture picture;
    ASSERT_EQ(VideoOpenResult::Opened, layer.VideoOpen(u"C:\\clips\\wide clip.avi", 65562, 102, 119, picture, u"msfile", mci));
    EXPECT_EQ(mci.calls, (Calls{
                             "MciSendBuf sysinfo all quantity open",
                             "MciSendBuf open C:\\CLIPS\\WIDECL~1.AVI alias msfile style child parent 65562",
                             "MciSendBuf where msfile source max",
                             "MciSendBuf update msfile hdc 4242",
                             "MciSendBuf set msfile time format frames",
                             "MciSendBuf status msfile length",
                             "MciSendBuf put msfile window at 0 15 102 89",
                             "ShowDeviceWindow msfile show",
                         }));
    EXPECT_EQ(mci.pumps, 2);
    EXPECT_EQ(picture.width, 160);
    EXPECT_EQ(picture.height, 120);
    EXPECT_EQ(layer.VideoWidth, 160);
    EXPECT_EQ(layer.VideoHeight, 120);
    EXPECT_EQ(layer.VideoBits, 24);
    EXPECT_EQ(layer.VideoLength, 250);

    // A larger area: the video fits at its own size, centred.
    mci.calls.clear();
    layer.VideoFit(u"msfile", 302, 269);
    EXPECT_EQ(mci.calls, (Calls{"MciSendBuf put msfile window at 71 74 160 120"}));
}

// A volume without short names gives the long path back, and a name may have no short form at
// all: either way the long path opens, and its blank must not split it.
TEST_F(MciLayerTest, VideoOpenQuotesALongPathThatKeepsABlank) {
    for (bool systemAnswers : {true, false}) {
        mci.calls.clear();
        mci.shortPaths.clear();
        if (systemAnswers) mci.shortPaths["D:\\my clips\\a b.avi"] = "D:\\my clips\\a b.avi";
        mci.replies["sysinfo all quantity open"].text = "0";
        RecordingPicture picture;
        layer.VideoOpen(u"D:\\my clips\\a b.avi", 7, 102, 119, picture, u"msfile", mci);
        ASSERT_GE(mci.calls.size(), 2u);
        EXPECT_EQ(mci.calls[1], "MciSendBuf open \"D:\\my clips\\a b.avi\" alias msfile style child parent 7")
            << systemAnswers;
        // Nothing to measure: every size and the length read as 0, and nothing fails on it.
        EXPECT_EQ(layer.VideoLength, 0);
        EXPECT_EQ(mci.calls.back(), "ShowDeviceWindow msfile show");
    }
}

TEST_F(MciLayerTest, AFailedOpenOrFirstFrameClosesTheAlias) {
    mci.replies["sysinfo all quantity open"].text = "0";
    mci.replies["open x.avi alias msfile style child parent 7"].code = 277;
    mci.shortPaths["x.avi"] = "x.avi";
    RecordingPicture picture;
    EXPECT_EQ(VideoOpenResult::Failed, layer.VideoOpen(u"x.avi", 7, 102, 119, picture, u"msfile", mci));
    EXPECT_EQ(mci.calls.back(), "MciSendBuf sysinfo all quantity open");  // nothing open to close

    mci.calls.clear();
    mci.replies["open x.avi alias msfile style child parent 7"].code = 0;
    mci.replies["update msfile hdc 4242"].code = 282;
    mci.replies["capability msfile device type"].text = "avivideo";
    mci.onSend = [&](const std::string& command) {
        if (command.starts_with("open ")) mci.ListOpen("msfile");
        if (command == "close msfile") mci.ListOpen("");
    };
    EXPECT_EQ(VideoOpenResult::Failed, layer.VideoOpen(u"x.avi", 7, 102, 119, picture, u"msfile", mci));
    const Calls tail(mci.calls.end() - 8, mci.calls.end());
    EXPECT_EQ(tail, (Calls{
                        "MciSendBuf update msfile hdc 4242",
                        "MciSendBuf capability msfile device type",
                        "MciSendBuf sysinfo all quantity open",
                        "MciSendBuf sysinfo all name 1 open",
                        "MciSendBuf stop msfile",
                        "MciSendBuf break msfile",
                        "ShowDeviceWindow msfile hide",
                        "MciSendBuf close msfile",
                    }));
}

// Wine plays other videos through a device that draws only into its window and counts no
// frames: the open goes on without the first frame.
TEST_F(MciLayerTest, AVideoDeviceThatDrawsOnlyItsWindowStillOpens) {
    mci.replies["sysinfo all quantity open"].text = "0";
    mci.shortPaths["x.mpg"] = "x.mpg";
    mci.replies["update msfile hdc 4242"].code = 277;
    mci.replies["capability msfile device type"].text = "digitalvideo";
    mci.replies["status msfile length"].text = "0";
    RecordingPicture picture;
    EXPECT_EQ(VideoOpenResult::Opened, layer.VideoOpen(u"x.mpg", 7, 102, 119, picture, u"msfile", mci));
    EXPECT_EQ(layer.VideoLength, 0);
    EXPECT_EQ(mci.calls.back(), "ShowDeviceWindow msfile show");
}

TEST_F(MciLayerTest, ShortPathIsEmptyWhenTheSystemFails) {
    mci.shortPaths[Utf8(u"C:\\a b\\映像.avi")] = "C:\\AB~1\\3B2F~1.AVI";
    EXPECT_EQ(layer.ShortPath(u"C:\\a b\\映像.avi"), u"C:\\AB~1\\3B2F~1.AVI");
    EXPECT_EQ(layer.ShortPath(u"C:\\missing.avi"), u"");
}

TEST_F(MciLayerTest, WaveVolumeRestoresTheLastSavedValue) {
    layer.WaveVolume(true);
    EXPECT_EQ(layer.SavedWaveVolume, 0x12345678u);
    mci.volume = 0;
    layer.WaveVolume(false);
    EXPECT_EQ(mci.volume, 0x12345678u);
}

TEST_F(MciLayerTest, AVolumeThatCouldNotBeReadIsNeverWritten) {
    mci.volumeReadable = false;
    layer.WaveVolume(true);
    layer.WaveVolume(false);
    EXPECT_EQ(mci.volumeWrites, 0);
    EXPECT_EQ(mci.volume, 0x12345678u);
}

}  // namespace
}  // namespace qcd
