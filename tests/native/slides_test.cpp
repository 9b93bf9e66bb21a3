#include "preview/slides.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qcd {
namespace {

TEST(Slides, BuiltinPicturesRunBackAndForthShowingEachEndTwice) {
    BuiltinCycle cycle;
    std::vector<int> shown;
    for (int tick = 0; tick < 17; ++tick) {
        shown.push_back(cycle.index);
        cycle.Step();
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 6, 5, 4, 3, 2, 1, 0, 0, 1, 2}));
}

TEST(Slides, PatternTakesTheFourExtensionsWithoutCase) {
    for (const char16_t* name : {u"a.bmp", u"B.DIB", u"photo.Jpg", u"x.gif", u".gif", u"a.b.jpg"})
        EXPECT_TRUE(MatchesPattern(name, kSlidePattern));
    for (const char16_t* name :
         {u"a.jpeg", u"a.png", u"a.wmf", u"a.bmp.txt", u"bmp", u"a.gi", u"a.giff", u""})
        EXPECT_FALSE(MatchesPattern(name, kSlidePattern));
    EXPECT_TRUE(MatchesPattern(u"ab1.c", u"x;a?1*.c"));
    EXPECT_FALSE(MatchesPattern(u"a1.c", u"a?1*.c;;"));
}

TEST(Slides, NamesAreFilteredAndSortedStablyByName) {
    const std::vector<std::u16string> names = {u"c.gif", u"B.jpg", u"a.bmp", u"b.png", u"A.bmp",
                                               u"d.jpeg", u"a10.bmp", u"a2.bmp"};
    const std::vector<std::u16string> expected = {u"A.bmp", u"a.bmp", u"a10.bmp", u"a2.bmp",
                                                  u"B.jpg", u"c.gif"};
    EXPECT_EQ(SlideNames(names), expected);
    // The folder's own order does not matter.
    std::vector<std::u16string> reversed(names.rbegin(), names.rend());
    EXPECT_EQ(SlideNames(reversed), expected);
}

TEST(Slides, AtMostTheListersCountIsTaken) {
    std::vector<std::u16string> names;
    for (int i = 0; i < 32800; ++i) {
        std::string n = std::to_string(100000 + i) + ".bmp";
        names.emplace_back(n.begin(), n.end());
    }
    const auto slides = SlideNames(names);
    ASSERT_EQ(slides.size(), 32767u);
    EXPECT_EQ(slides.back(), u"132766.bmp");
}

TEST(Slides, FolderGetsOneTrailingBackslash) {
    EXPECT_EQ(WithBackslash(u"C:\\Pics"), u"C:\\Pics\\");
    EXPECT_EQ(WithBackslash(u"C:\\Pics\\"), u"C:\\Pics\\");
}

TEST(Slides, IndexWrapsPastTheLastSlide) {
    EXPECT_EQ(NextSlide(0, 3), 1);
    EXPECT_EQ(NextSlide(2, 3), 0);
    EXPECT_EQ(NextSlide(0, 1), 0);
    EXPECT_EQ(NextSlide(32766, 32767), 0);
    EXPECT_EQ(FileNameOf(u"C:\\Pics\\one.bmp"), u"one.bmp");
    EXPECT_EQ(FileNameOf(u"one.bmp"), u"one.bmp");
}

TEST(Slides, OnlyAnMp3InPlayOrAPausedMciSoundKeepsTheSlideAfterAnAbort) {
    for (int k : {51, 52, 53, 54, 62}) EXPECT_TRUE(SlideStaysAfterAbort(static_cast<PreviewKind>(k))) << k;
    // 61: a MIDI sound whose first slide after the start fails to load ends its slideshow
    // blank.
    for (int k : {0, 10, 30, 41, 50, 60, 61, 70, 71})
        EXPECT_FALSE(SlideStaysAfterAbort(static_cast<PreviewKind>(k))) << k;
}

}  // namespace
}  // namespace qcd
