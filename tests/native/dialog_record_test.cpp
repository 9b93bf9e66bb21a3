#include "dialoghost/dialog_record.h"

#include <gtest/gtest.h>

#include <array>

#include <cstdint>

namespace qcd {
namespace {

using namespace std::string_literals;

TEST(DialogRecord, BufferLengthAndPadding) {
    EXPECT_EQ(FileBufferLength(0), 260);
    EXPECT_EQ(FileBufferLength(-5), 260);
    EXPECT_EQ(FileBufferLength(1), 1);
    EXPECT_EQ(FileBufferLength(1000), 1000);

    EXPECT_EQ(OpenFileBuffer(1, u'\0'), u"\0"s);
    EXPECT_EQ(OpenFileBuffer(4, u' '), u"   \0"s);
    EXPECT_EQ(OpenFileBuffer(260, u'\0').size(), 260u);
    EXPECT_EQ(FileTitleBuffer(u' '), std::u16string(259, u' ') + u'\0');
    EXPECT_EQ(BufferPadChar(true), u' ');
    EXPECT_EQ(BufferPadChar(false), u'\0');
}

TEST(DialogRecord, SaveBufferStartsWithTheNameCutToFit) {
    EXPECT_EQ(SaveFileBuffer(u"ab", 5, u' '), u"ab  \0"s);
    EXPECT_EQ(SaveFileBuffer(u"abcd", 5, u' '), u"abcd\0"s);
    EXPECT_EQ(SaveFileBuffer(u"abcdefg", 5, u'\0'), u"abcd\0"s);
    EXPECT_EQ(SaveFileBuffer(u"abc", 1, u'\0'), u"\0"s);
}

TEST(DialogRecord, DefaultExtIsAppendedOnlyToANameWithoutADot) {
    Properties p;
    p.DefaultExt = u"txt";
    p.FileName = u"C:\\my.dir\\report";
    p.FileTitle = u"report";
    AppendDefaultExt(p);
    EXPECT_EQ(p.FileName, u"C:\\my.dir\\report.txt");
    EXPECT_EQ(p.FileTitle, u"report.txt");

    p.FileName = u"C:\\x\\report.doc";
    p.FileTitle = u"report.doc";
    AppendDefaultExt(p);
    EXPECT_EQ(p.FileTitle, u"report.doc");

    p.FileTitle = u"a";
    p.FileName = u"C:\\a";
    p.DefaultExt = u".txt";  // two dots, as callers of the original behaviour expect
    AppendDefaultExt(p);
    EXPECT_EQ(p.FileTitle, u"a..txt");

    p.FileTitle = u"b";
    p.DefaultExt.clear();
    AppendDefaultExt(p);
    EXPECT_EQ(p.FileTitle, u"b");
}

TEST(DialogRecord, CancelClearsTheThreeResults) {
    Properties p;
    p.FileName = u"a";
    p.FileTitle = u"b";
    p.InitDir = u"c";
    p.DefaultExt = u"d";
    ClearDialogResults(p);
    EXPECT_TRUE(p.FileName.empty() && p.FileTitle.empty() && p.InitDir.empty());
    EXPECT_EQ(p.DefaultExt, u"d");
}

TEST(DialogRecord, Placement) {
    Properties p;
    p.Position = 1;
    const ScreenRect desktop{0, 0, 1024, 768};
    auto at = PlaceDialogAt({100, 100, 663, 519}, desktop, p);
    ASSERT_TRUE(at);
    EXPECT_EQ(at->x, 230);
    EXPECT_EQ(at->y, 174);

    p.Position = 5;  // any non-zero value centres
    at = PlaceDialogAt({0, 0, 1025, 769}, desktop, p);
    ASSERT_TRUE(at);
    EXPECT_EQ(at->x, 0);  // -1 / 2 truncates toward zero
    at = PlaceDialogAt({0, 0, 1030, 800}, desktop, p);
    EXPECT_EQ(at->x, -3);
    EXPECT_EQ(at->y, -16);

    p.Position = 0;
    p.DialogLeft = -50;
    p.DialogTop = 40000;
    at = PlaceDialogAt({0, 0, 10, 10}, desktop, p);
    EXPECT_EQ(at->x, -50);
    EXPECT_EQ(at->y, 40000);

    p.Position = 1;
    EXPECT_FALSE(PlaceDialogAt({INT32_MIN, 0, INT32_MAX, 10}, desktop, p));
}

// The file dialog's toolbar and its controls' placeholder as Wine lays them out reach 9 and
// 7 pixels into the preview column; what is left of the panel's margin moves it, the rest
// narrows it.
TEST(PreviewColumn, ClearsTheDialogsControlsThatReachIntoIt) {
    const ScreenRect column{421, 0, 523, 164};
    const ScreenRect toolbar{277, 12, 430, 40}, placeholder{5, 8, 428, 247};
    const ScreenRect reaching[] = {toolbar, placeholder};
    auto c = ClearPreviewColumn(column, reaching, 534, 2);
    EXPECT_EQ(c.move, 9);
    EXPECT_EQ(c.trim, 2);
    c = ClearPreviewColumn(column, reaching, 600, 2);  // room for all of it
    EXPECT_EQ(c.move, 11);
    EXPECT_EQ(c.trim, 0);
    c = ClearPreviewColumn(column, reaching, 523, 2);  // the column already at the edge
    EXPECT_EQ(c.move, 0);
    EXPECT_EQ(c.trim, 11);

    // Beside, above or below the column, or touching its edge: nothing to clear.
    const ScreenRect clear[] = {{0, 0, 421, 300}, {421, -30, 600, 0}, {421, 164, 600, 200}};
    c = ClearPreviewColumn(column, clear, 534, 2);
    EXPECT_EQ(c.move, 0);
    EXPECT_EQ(c.trim, 0);
    c = ClearPreviewColumn(column, {}, 534, 2);
    EXPECT_EQ(c.move + c.trim, 0);

    // A control over half the column or more is not cleared by squeezing the preview away.
    const ScreenRect over[] = {{0, 50, 472, 60}};
    c = ClearPreviewColumn(column, over, 534, 2);
    EXPECT_EQ(c.move + c.trim, 0);
    // Extreme coordinates do not overflow.
    const ScreenRect far[] = {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}};
    c = ClearPreviewColumn(column, far, INT32_MAX, INT32_MAX);
    EXPECT_EQ(c.move + c.trim, 0);
}

// The column as Wine lays it out at 96 DPI, in a panel grown by 200 x 150 pixels: the list
// side keeps 100 of the width, the area takes the other 100 and all of the height.
TEST(PreviewColumn, GrowsWithTheDialogAndComesBackWhole) {
    struct Case {
        ColumnPart part;
        ScreenRect first, grown;
    };
    const Case cases[] = {
        {ColumnPart::Area, {436, 20, 538, 148}, {536, 20, 738, 298}},
        {ColumnPart::Above, {437, 2, 535, 15}, {537, 2, 735, 15}},
        {ColumnPart::Below, {437, 151, 535, 164}, {537, 301, 735, 314}},
        {ColumnPart::Button, {458, 164, 476, 187}, {608, 314, 626, 337}},
    };
    for (const Case& c : cases) {
        const ScreenRect r = GrowColumn(c.first, c.part, 200, 150);
        EXPECT_EQ((std::array{r.left, r.top, r.right, r.bottom}),
                  (std::array{c.grown.left, c.grown.top, c.grown.right, c.grown.bottom}));
        // At the first size everything is where it was; narrower and lower, only moved left.
        const ScreenRect same = GrowColumn(c.first, c.part, 0, 0);
        EXPECT_EQ((std::array{same.left, same.top, same.right, same.bottom}),
                  (std::array{c.first.left, c.first.top, c.first.right, c.first.bottom}));
        const ScreenRect less = GrowColumn(c.first, c.part, -40, -10);
        EXPECT_EQ((std::array{less.left, less.top, less.right, less.bottom}),
                  (std::array{c.first.left - 40, c.first.top, c.first.right - 40, c.first.bottom}));
    }
    EXPECT_EQ(PreviewShare(200), 100);
    EXPECT_EQ(PreviewShare(201), 100);
    EXPECT_EQ(PreviewShare(-5), 0);
}

}  // namespace
}  // namespace qcd
