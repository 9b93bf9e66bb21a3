#include "readers/ani_file.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <string_view>

namespace qcd {
namespace {

using Bytes = std::vector<uint8_t>;

void Append32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void AppendId(Bytes& b, std::string_view id) {
    b.insert(b.end(), id.begin(), id.end());
}

Bytes Chunk(std::string_view id, const Bytes& data) {
    Bytes b;
    AppendId(b, id);
    Append32(b, static_cast<uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() % 2) b.push_back(0);
    return b;
}

Bytes Values(std::initializer_list<int32_t> values) {
    Bytes b;
    for (const int32_t v : values) Append32(b, static_cast<uint32_t>(v));
    return b;
}

// A one-image cursor file whose bitmap header says `side` wide at `bits`, with the colour
// table and rows that says; `extra` pads it.
Bytes Cursor(int32_t side, uint16_t bits, size_t extra = 0) {
    const auto stride = [side](int depth) { return static_cast<size_t>((side * depth + 31) / 32 * 4); };
    const size_t colours = bits <= 8 ? size_t{1} << bits : 0;
    const size_t imageSize = 40 + colours * 4 + (stride(bits) + stride(1)) * static_cast<size_t>(side) + extra;
    Bytes b = {0, 0, 2, 0, 1, 0, static_cast<uint8_t>(side), static_cast<uint8_t>(side), 0, 0};
    Append32(b, 0);  // hot spot
    Append32(b, static_cast<uint32_t>(imageSize));
    Append32(b, 22);
    Append32(b, 40);
    Append32(b, static_cast<uint32_t>(side));
    Append32(b, static_cast<uint32_t>(side * 2));
    b.push_back(1);
    b.push_back(0);
    b.push_back(static_cast<uint8_t>(bits));
    b.push_back(0);
    b.resize(22 + imageSize, 0);
    return b;
}

Bytes Header(int32_t frames, int32_t steps, int32_t rate) {
    return Chunk("anih", Values({36, frames, steps, 0, 0, 0, 1, rate, 1}));
}

Bytes FramList(const std::vector<Bytes>& icons) {
    Bytes list;
    AppendId(list, "fram");
    for (const Bytes& icon : icons) {
        const Bytes c = Chunk("icon", icon);
        list.insert(list.end(), c.begin(), c.end());
    }
    return Chunk("LIST", list);
}

Bytes Riff(const std::vector<Bytes>& chunks) {
    Bytes b;
    AppendId(b, "RIFF");
    Append32(b, 0);
    AppendId(b, "ACON");
    for (const Bytes& c : chunks) b.insert(b.end(), c.begin(), c.end());
    const auto size = static_cast<uint32_t>(b.size() - 8);
    for (int i = 0; i < 4; ++i)
        b[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (8 * i));
    return b;
}

std::vector<Bytes> FourCursors() {
    return {Cursor(32, 1), Cursor(32, 4), Cursor(16, 8), Cursor(48, 32)};
}

std::vector<int32_t> StepImages(const AniFileInfo& info) {
    std::vector<int32_t> images;
    for (int32_t s = 1; s <= info.stepCount; ++s) images.push_back(info.StepImage(s));
    return images;
}

TEST(AniFile, WithoutRateAndSequenceTheImagesRepeatAtTheDisplayRate) {
    const AniFileInfo info = ReadAniFile(Riff({Header(4, 8, 6), FramList(FourCursors())}));
    ASSERT_EQ(info.count, 4);
    EXPECT_EQ(info.stepCount, 8);
    EXPECT_EQ(StepImages(info), (std::vector<int32_t>{1, 2, 3, 4, 1, 2, 3, 4}));
    for (int32_t s = 1; s <= 8; ++s) EXPECT_EQ(info.StepRate(s), 6);
    EXPECT_EQ(info.images[0], (IconImageInfo{32, 32, 1}));
    EXPECT_EQ(info.images[2], (IconImageInfo{16, 16, 8}));
    EXPECT_EQ(info.images[3], (IconImageInfo{48, 48, 32}));
    EXPECT_EQ(info.StepImage(0), 0);
    EXPECT_EQ(info.StepImage(9), 0);
    EXPECT_EQ(info.StepRate(9), 0);
    EXPECT_EQ(info.FirstStepShowing(3), 3);
    EXPECT_EQ(info.FirstStepShowing(5), 0);

    const AniFileInfo one = ReadAniFile(Riff({Header(1, 5, 10), FramList({Cursor(32, 4)})}));
    ASSERT_EQ(one.count, 1);
    EXPECT_EQ(StepImages(one), (std::vector<int32_t>{1, 1, 1, 1, 1}));
}

TEST(AniFile, RateAndSequenceChunksGiveEachStep) {
    const AniFileInfo info =
        ReadAniFile(Riff({Header(3, 4, 6), Chunk("rate", Values({1, 0, 30, 5000})),
                          Chunk("seq ", Values({2, 2, 0, 1})),
                          FramList({Cursor(32, 1), Cursor(32, 4), Cursor(32, 8)})}));
    ASSERT_EQ(info.count, 3);
    EXPECT_EQ(StepImages(info), (std::vector<int32_t>{3, 3, 1, 2}));
    EXPECT_EQ(info.StepRate(2), 0);
    EXPECT_EQ(info.StepRate(4), 5000);
    // The platform draws an animated cursor by step, so each image is reached through one.
    EXPECT_EQ(info.FirstStepShowing(1), 3);
    EXPECT_EQ(info.FirstStepShowing(3), 1);

    // Chunks after the frames count too.
    const AniFileInfo late =
        ReadAniFile(Riff({Header(2, 2, 6), FramList({Cursor(32, 1), Cursor(32, 4)}),
                          Chunk("seq ", Values({1, 0}))}));
    EXPECT_EQ(StepImages(late), (std::vector<int32_t>{2, 1}));
}

TEST(AniFile, LeadingListIsSkippedByItsSizeWithoutAScan) {
    // The information list holds the header's byte pattern with values that would be invalid.
    Bytes info;
    AppendId(info, "INFO");
    const Bytes decoy = Chunk("INAM", Values({0x24, 0x24, 0, 0, 0, 0, 0, 0, 0, 0}));
    info.insert(info.end(), decoy.begin(), decoy.end());
    const Bytes file =
        Riff({Chunk("LIST", info), Header(2, 2, 6), FramList({Cursor(32, 1), Cursor(16, 4)})});
    const AniFileInfo read = ReadAniFile(file);
    ASSERT_EQ(read.count, 2);
    EXPECT_EQ(read.images[1], (IconImageInfo{16, 16, 4}));

    Bytes wrongSize = file;
    wrongSize[16] += 4;
    EXPECT_EQ(ReadAniFile(wrongSize).count, kIconInvalid);
    Bytes pastTheEnd = file;
    pastTheEnd[19] = 0xFF;
    EXPECT_EQ(ReadAniFile(pastTheEnd).count, kIconInvalid);
}

TEST(AniFile, HeaderIsFoundByScanningForItsSizes) {
    // Any other first chunk: the header is wherever 24 00 00 00 24 first occurs.
    const Bytes file = Riff({Chunk("junk", Bytes(10, 0x24)), Header(2, 2, 6),
                             FramList({Cursor(32, 1), Cursor(32, 4)})});
    EXPECT_EQ(ReadAniFile(file).count, 2);

    Bytes noPattern = file;
    for (size_t i = 12; i + 4 < noPattern.size(); ++i)
        if (noPattern[i] == 0x24 && noPattern[i + 4] == 0x24) noPattern[i + 4] = 0x28;
    EXPECT_EQ(ReadAniFile(noPattern).count, kIconInvalid);

    // The pattern in the last bytes of the file, with no room for the values.
    Bytes tail = Riff({Chunk("junk", Bytes{0x24, 0, 0, 0, 0x24})});
    EXPECT_EQ(ReadAniFile(tail).count, kIconInvalid);
}

TEST(AniFile, InvalidHeaderValuesAndStepChunks) {
    const auto frames = FramList({Cursor(32, 1), Cursor(32, 4)});
    const auto read = [&](const Bytes& header, const Bytes& chunk = {}) {
        return ReadAniFile(Riff({header, chunk, frames})).count;
    };
    EXPECT_EQ(read(Header(2, 2, 6)), 2);
    EXPECT_EQ(read(Header(0, 2, 6)), kIconInvalid);
    EXPECT_EQ(read(Header(2, 0, 6)), kIconInvalid);
    EXPECT_EQ(read(Header(2, -2, 6)), kIconInvalid);
    EXPECT_EQ(read(Header(2, 2, 0)), kIconInvalid);
    // "rate" and "seq " hold exactly 4 bytes a step.
    EXPECT_EQ(read(Header(2, 3, 6), Chunk("rate", Values({1, 2}))), kIconInvalid);
    EXPECT_EQ(read(Header(2, 2, 6), Chunk("seq ", Values({0, 1, 0}))), kIconInvalid);
    // Every sequence entry names one of the images.
    EXPECT_EQ(read(Header(2, 2, 6), Chunk("seq ", Values({0, 2}))), kIconInvalid);
    EXPECT_EQ(read(Header(2, 2, 6), Chunk("seq ", Values({-1, 0}))), kIconInvalid);
    // A chunk whose values are not all in the file.
    Bytes cut = Riff({Header(2, 2, 6), Chunk("rate", Values({1, 2}))});
    cut.pop_back();
    EXPECT_EQ(ReadAniFile(cut).count, kIconInvalid);
}

TEST(AniFile, StepCountAbove8191FailsOnlyWithARateOrSequence) {
    const auto frames = FramList({Cursor(32, 1), Cursor(32, 4)});
    const auto zeros = [](std::string_view id, int32_t steps) {
        return Chunk(id, Bytes(static_cast<size_t>(steps) * 4, 0));
    };
    EXPECT_EQ(ReadAniFile(Riff({Header(2, 8191, 6), zeros("rate", 8191), frames})).count, 2);
    EXPECT_EQ(ReadAniFile(Riff({Header(2, 8192, 6), zeros("rate", 8192), frames})).count,
              kIconInvalid);
    EXPECT_EQ(ReadAniFile(Riff({Header(2, 8192, 6), zeros("seq ", 8192), frames})).count,
              kIconInvalid);

    // Without either chunk the steps are not stored, so a huge count costs nothing.
    const AniFileInfo many = ReadAniFile(Riff({Header(2, INT32_MAX, 6), frames}));
    ASSERT_EQ(many.count, 2);
    EXPECT_EQ(many.StepImage(INT32_MAX), 1);
    EXPECT_EQ(many.StepRate(INT32_MAX), 6);
}

TEST(AniFile, EveryFrameMustBeAnIconChunkHoldingAnIcon) {
    const Bytes good = Riff({Header(2, 2, 6), FramList({Cursor(32, 1), Cursor(32, 4)})});
    ASSERT_EQ(ReadAniFile(good).count, 2);

    Bytes rawFrame = good;
    const size_t secondIcon = rawFrame.size() - (8 + Cursor(32, 4).size());
    ASSERT_EQ(rawFrame[secondIcon], 'i');
    rawFrame[secondIcon] = 'I';
    EXPECT_EQ(ReadAniFile(rawFrame).count, kIconInvalid);

    // Fewer frames than the header's count, and an embedded icon with no image.
    EXPECT_EQ(ReadAniFile(Riff({Header(3, 2, 6), FramList({Cursor(32, 1), Cursor(32, 4)})})).count,
              kIconInvalid);
    Bytes empty = Cursor(32, 1);
    empty[4] = 0;
    EXPECT_EQ(ReadAniFile(Riff({Header(1, 1, 6), FramList({empty})})).count, kIconInvalid);
    // A frame whose chunk size reaches past the file.
    Bytes cut = good;
    cut.resize(cut.size() - 1);
    EXPECT_EQ(ReadAniFile(cut).count, kIconInvalid);
}

TEST(AniFile, OddSizedFramesAreFollowedByTheirPadding) {
    const AniFileInfo info =
        ReadAniFile(Riff({Header(2, 2, 6), FramList({Cursor(32, 1, 1), Cursor(16, 4, 3)})}));
    ASSERT_EQ(info.count, 2);
    EXPECT_EQ(info.images[1], (IconImageInfo{16, 16, 4}));
}

TEST(AniFile, EachFrameIsFoundWhereItsIconFileLies) {
    const Bytes first = Cursor(32, 1, 1), second = Cursor(16, 4, 3);
    const Bytes file = Riff({Header(2, 2, 6), FramList({first, second})});
    const AniFileInfo info = ReadAniFile(file);
    ASSERT_EQ(info.frames.size(), 2u);
    for (size_t f = 0; f < 2; ++f) {
        const Bytes& icon = f == 0 ? first : second;
        const IconImagePlace& place = info.frames[f];
        ASSERT_EQ(place.size, icon.size());
        EXPECT_TRUE(std::equal(icon.begin(), icon.end(),
                               file.begin() + static_cast<std::ptrdiff_t>(place.offset)));
    }
}

TEST(AniFile, OtherChunksAfterTheHeaderAreSteppedOver) {
    Bytes list;
    AppendId(list, "INFO");
    const Bytes name = Chunk("INAM", Bytes{'w', 'a', 'i', 't', 0});
    list.insert(list.end(), name.begin(), name.end());
    const AniFileInfo info =
        ReadAniFile(Riff({Header(2, 2, 6), Chunk("LIST", list), Chunk("junk", Bytes(7, 0)),
                          FramList({Cursor(32, 1), Cursor(32, 4)})}));
    EXPECT_EQ(info.count, 2);
}

TEST(AniFile, NotAnAnimatedCursor) {
    EXPECT_EQ(ReadAniFile(Bytes{'B', 'M', 0, 0}).count, kIconNotThisFormat);
    Bytes wave = Riff({Header(2, 2, 6), FramList({Cursor(32, 1), Cursor(32, 4)})});
    wave[8] = 'W';
    EXPECT_EQ(ReadAniFile(wave).count, kIconInvalid);
    Bytes notRiff = Riff({Header(2, 2, 6), FramList({Cursor(32, 1), Cursor(32, 4)})});
    notRiff[0] = 'X';
    EXPECT_EQ(ReadAniFile(notRiff).count, kIconInvalid);
    EXPECT_EQ(ReadAniFile(Bytes{}).count, kIconInvalid);
    // A header and steps but no frames.
    EXPECT_EQ(ReadAniFile(Riff({Header(2, 2, 6), Chunk("rate", Values({1, 2}))})).count,
              kIconInvalid);
}

TEST(AniFile, StepIntervalIsTenMillisecondsAUnitWithinTheTimersRange) {
    EXPECT_EQ(AniStepIntervalMs(6), 60);
    EXPECT_EQ(AniStepIntervalMs(0), 10);
    EXPECT_EQ(AniStepIntervalMs(-5), 10);
    EXPECT_EQ(AniStepIntervalMs(INT32_MIN), 10);
    EXPECT_EQ(AniStepIntervalMs(3276), 32760);
    EXPECT_EQ(AniStepIntervalMs(3277), kAniMaxIntervalMs);
    EXPECT_EQ(AniStepIntervalMs(INT32_MAX), kAniMaxIntervalMs);
}

}  // namespace
}  // namespace qcd
