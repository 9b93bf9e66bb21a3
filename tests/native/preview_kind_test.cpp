#include "preview/preview_kind.h"

#include <gtest/gtest.h>

namespace qcd {
namespace {

TEST(PreviewKind, ExtensionKeyIsTheLastFourCharactersLowerCased) {
    EXPECT_EQ(ExtensionKey(u"PHOTO.JPG"), u".jpg");
    EXPECT_EQ(ExtensionKey(u"a.jpeg"), u"jpeg");
    EXPECT_EQ(ExtensionKey(u"x.b"), u"x.b");
    EXPECT_EQ(ExtensionKey(u""), u"");
    EXPECT_EQ(ExtensionKey(u"写真.Bmp"), u".bmp");
}

TEST(PreviewKind, RowsByExtension) {
    EXPECT_EQ(RowForKey(ExtensionKey(u"PHOTO.JPG")), PreviewRow::RasterPicture);
    EXPECT_EQ(RowForKey(u".dib"), PreviewRow::RasterPicture);
    EXPECT_EQ(RowForKey(u".emf"), PreviewRow::Metafile);
    EXPECT_EQ(RowForKey(u".cur"), PreviewRow::IconFile);
    EXPECT_EQ(RowForKey(u".ani"), PreviewRow::AnimatedCursor);
    EXPECT_EQ(RowForKey(u".mpg"), PreviewRow::Video);
    EXPECT_EQ(RowForKey(u".mp3"), PreviewRow::Vbmp3Sound);
    EXPECT_EQ(RowForKey(u".cda"), PreviewRow::MciSound);
    EXPECT_EQ(RowForKey(u".vbx"), PreviewRow::ProgramIcons);
    EXPECT_EQ(RowForKey(u".vbg"), PreviewRow::Text);
    EXPECT_EQ(RowForKey(ExtensionKey(u"a.jpeg")), PreviewRow::Unknown);
    EXPECT_EQ(RowForKey(ExtensionKey(u"b.mpeg")), PreviewRow::Unknown);
    EXPECT_EQ(RowForKey(u""), PreviewRow::Unknown);
    EXPECT_EQ(RowForKey(u"jpg"), PreviewRow::Unknown);
    // The newer picture formats, by their titles.
    for (const char16_t* title : {u"a.png", u"a.JPEG", u"a.jfif", u"a.jpe", u"a.Tiff", u"a.tif"})
        EXPECT_EQ(RowForTitle(title), PreviewRow::RasterPicture);
    EXPECT_EQ(RowForTitle(u"b.mpeg"), PreviewRow::Unknown);
    EXPECT_EQ(RowForTitle(u"tiff"), PreviewRow::Unknown);
    EXPECT_EQ(RowForTitle(u"c.txt"), PreviewRow::Text);

    EXPECT_FALSE(RowShowsButtons(PreviewRow::RasterPicture));
    EXPECT_FALSE(RowShowsButtons(PreviewRow::Metafile));
    EXPECT_TRUE(RowShowsButtons(PreviewRow::IconFile));
    EXPECT_TRUE(RowShowsButtons(PreviewRow::ProgramIcons));
    EXPECT_FALSE(RowShowsButtons(PreviewRow::Text));
    EXPECT_TRUE(RowIsMedia(PreviewRow::MciSound));
    EXPECT_FALSE(RowIsMedia(PreviewRow::ProgramIcons));
}

TEST(PreviewKind, Captions) {
    EXPECT_EQ(SizeCaption(640, 480, 8), u"640x480x256");
    EXPECT_EQ(SizeCaption(16, 16, 4), u"16x16x16");
    EXPECT_EQ(SizeCaption(1, 1, 1), u"1x1x2");
    EXPECT_EQ(SizeCaption(32, 32, 24), u"32x32xFull");
    EXPECT_EQ(UnknownSizeCaption(32), u"?? x ?? x Full");
    EXPECT_EQ(ImageLine(1, 3), u"1/3  Image");
    EXPECT_EQ(FrameLine(12, 80), u"12/80  Frame");
}

TEST(PreviewKind, ATitleTooLongIsShortenedInTheMiddleKeepingItsExtension) {
    const auto within = [](size_t n) {
        return [n](std::u16string_view text) { return text.size() <= n; };
    };
    EXPECT_EQ(FitTitle(u"photo-640x480.jpg", within(17)), u"photo-640x480.jpg");
    EXPECT_EQ(FitTitle(u"photo-640x480.jpg", within(12)), u"photo-6\u2026.jpg");
    EXPECT_EQ(FitTitle(u"a-very-long-title.txt", within(10)), u"a-ver\u2026.txt");
    // No room for the extension, or no extension: the start and the ellipsis.
    EXPECT_EQ(FitTitle(u"photo-640x480.jpg", within(4)), u"pho\u2026");
    EXPECT_EQ(FitTitle(u"README-and-more", within(7)), u"README\u2026");
    EXPECT_EQ(FitTitle(u".profile-settings", within(6)), u".prof\u2026");
    // A surrogate pair is never split.
    EXPECT_EQ(FitTitle(u"ab\xD83D\xDE00" u"cd.txt", within(8)), u"ab\u2026.txt");
    EXPECT_EQ(FitTitle(u"x", within(0)), u"\u2026");
}

}  // namespace
}  // namespace qcd
