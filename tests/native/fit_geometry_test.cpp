#include "preview/fit_geometry.h"

#include <gtest/gtest.h>

namespace qcd {
namespace {

TEST(FitGeometry, PictureThatFitsIsCentredUnscaled) {
    EXPECT_EQ(FitIntoBox(50, 40, 100, 120), (FitPlacement{FitBlit::Unscaled, 25, 40, 50, 40}));
    EXPECT_EQ(FitIntoBox(100, 120, 100, 120), (FitPlacement{FitBlit::Unscaled, 0, 0, 100, 120}));
    // Odd margins truncate.
    EXPECT_EQ(FitIntoBox(1, 2, 4, 5), (FitPlacement{FitBlit::Unscaled, 1, 1, 1, 2}));
}

TEST(FitGeometry, WidePictureSpansTheBoxWidth) {
    EXPECT_EQ(FitIntoBox(200, 100, 100, 120), (FitPlacement{FitBlit::Stretched, 0, 30, 100, 60}));
    // 118 x 480 / 640 = 88.5, truncated; the height comes from the box height, not its width.
    EXPECT_EQ(FitIntoBox(640, 480, 102, 118), (FitPlacement{FitBlit::Stretched, 0, 15, 102, 88}));
    // Square pictures take the wide branch; wider than the box but not taller.
    EXPECT_EQ(FitIntoBox(300, 300, 100, 120), (FitPlacement{FitBlit::Stretched, 0, 0, 100, 120}));
    EXPECT_EQ(FitIntoBox(101, 10, 100, 120), (FitPlacement{FitBlit::Stretched, 0, 54, 100, 11}));
}

TEST(FitGeometry, TallPictureSpansTheBoxHeight) {
    EXPECT_EQ(FitIntoBox(100, 300, 100, 120), (FitPlacement{FitBlit::Stretched, 33, 0, 33, 120}));
    // Only too tall: the width is still scaled from the box width.
    EXPECT_EQ(FitIntoBox(50, 121, 100, 120), (FitPlacement{FitBlit::Stretched, 29, 0, 41, 120}));
}

TEST(FitGeometry, NothingForEmptySizesOrOverflow) {
    EXPECT_FALSE(FitIntoBox(0, 10, 100, 100));
    EXPECT_FALSE(FitIntoBox(10, -1, 100, 100));
    EXPECT_FALSE(FitIntoBox(10, 10, 0, 100));
    EXPECT_FALSE(FitIntoBox(10, 10, 100, -5));
    // The product must fit 32 bits before the division.
    EXPECT_FALSE(FitIntoBox(INT32_MAX, 65536, 100, 32768));
    EXPECT_EQ(FitIntoBox(INT32_MAX, 65536, 100, 32767),
              (FitPlacement{FitBlit::Stretched, 0, 16383, 100, 0}));
    EXPECT_FALSE(FitIntoBox(65536, INT32_MAX, 32768, 1));
    EXPECT_EQ(FitIntoBox(INT32_MAX, INT32_MAX, INT32_MAX - 1, 1),
              (FitPlacement{FitBlit::Stretched, 0, 0, INT32_MAX - 1, 1}));
}

TEST(FitGeometry, IconCell) {
    // Image 3 of 16 x 16 icons: from x = 64 of the strip into the middle of the box.
    EXPECT_EQ(IconCell(3, 16, 102, 118), (IconCellPlacement{64, 43, 51, 16}));
    // Anything not 16 wide shows its 32 x 32 cell, a 48 x 48 image included.
    EXPECT_EQ(IconCell(1, 48, 102, 118), (IconCellPlacement{0, 35, 43, 32}));
    EXPECT_EQ(IconCell(2, 32, 101, 117), (IconCellPlacement{32, 34, 42, 32}));
    // A box narrower than the cell truncates toward zero.
    EXPECT_EQ(IconCell(1, 32, 29, 31), (IconCellPlacement{0, -1, 0, 32}));

    EXPECT_FALSE(IconCell(0, 32, 100, 100));
    EXPECT_TRUE(IconCell(67108864, 32, 100, 100));
    EXPECT_FALSE(IconCell(67108865, 32, 100, 100));
    EXPECT_FALSE(IconCell(1, 32, INT32_MIN, 100));
}

}  // namespace
}  // namespace qcd

namespace qcd {
namespace {

TEST(ThumbnailServes, OnlyAThumbnailOfThePicturesShapeThatCoversTheFit) {
    struct Case {
        int32_t w, h, tw, th;
        bool serves;
        const char* what;
    };
    const Case cases[] = {
        {4000, 3000, 160, 120, true, "a camera's 4:3"},
        {8000, 6000, 160, 120, true, "larger photo, same thumbnail"},
        {3000, 4000, 120, 160, true, "turned"},
        {4000, 2250, 160, 90, true, "16:9"},
        {4000, 2250, 160, 91, true, "one pixel off"},
        {4000, 3000, 160, 107, false, "a stale thumbnail of another shape"},
        {4000, 3000, 160, 160, false, "square"},
        {4000, 3000, 80, 60, false, "smaller than the fit"},
        {80, 60, 80, 60, false, "no smaller than the picture itself"},
        {4000, 3000, 0, 0, false, "no size"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ThumbnailServes(c.w, c.h, c.tw, c.th, 100, 120), c.serves) << c.what;
}

}  // namespace
}  // namespace qcd
