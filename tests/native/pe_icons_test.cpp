#include "readers/pe_icons.h"

#include <gtest/gtest.h>

#include "test_bytes.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qcd {
namespace {

using test::Bytes;
using test::Put16;
using test::Put32;

// Programs built by tests/native/data/pe_icons/make_fixtures.sh.
Bytes Fixture(const std::string& name) {
    std::ifstream in(std::string(QCD_TEST_DATA) + "/pe_icons/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

uint32_t Get32(const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}

// Where a fixture's structures lie, found by following its fields. Its resource directory
// starts its resource section.
struct Layout {
    const Bytes& f;
    size_t fileHeader = Get32(f, 0x3C) + 4;
    size_t optional = fileHeader + 20;
    size_t rsrc = 0;  // the section header
    size_t root = 0;

    explicit Layout(const Bytes& file) : f(file) {
        rsrc = optional + (f[fileHeader + 16] | f[fileHeader + 17] << 8);
        while (f[rsrc + 1] != 'r' || f[rsrc + 2] != 's') rsrc += 40;
        root = Get32(f, rsrc + 20);
    }
    static size_t Entry(size_t dir, size_t i) { return dir + 16 + 8 * i; }
    size_t Below(size_t entry) const { return root + (Get32(f, entry + 4) & 0x7FFFFFFF); }
    size_t Type(uint32_t id) const {
        for (size_t i = 0;; ++i)
            if (Get32(f, Entry(root, i)) == id) return Entry(root, i);
    }
    // The data entry of the first language under entry i of the type's directory.
    size_t DataEntry(uint32_t type, size_t i) const {
        return Below(Entry(Below(Entry(Below(Type(type)), i)), 0));
    }
    // Where that data lies in the file.
    size_t Data(uint32_t type, size_t i) const {
        return Get32(f, DataEntry(type, i)) - Get32(f, rsrc + 12) + Get32(f, rsrc + 20);
    }
};

std::vector<uint16_t> Ids(const PeIconsInfo& info) {
    std::vector<uint16_t> ids;
    for (const PeIcon& icon : info.icons) ids.push_back(icon.iconId);
    return ids;
}

// Changes to a file: where, how many bytes, what.
struct Change {
    size_t at;
    int bytes;
    uint32_t value;
};

Bytes Changed(Bytes b, std::initializer_list<Change> changes) {
    for (const Change& c : changes) {
        if (c.bytes == 1)
            b[c.at] = static_cast<uint8_t>(c.value);
        else if (c.bytes == 2)
            Put16(b, c.at, static_cast<uint16_t>(c.value));
        else
            Put32(b, c.at, c.value);
    }
    return b;
}

// The images the platform draws as ExtractIconExW's large icons of the fixtures (compared
// under Wine pixel for pixel): groups as stored, named first; the first language of each.
TEST(PeIcons, LibraryIconsAreTheGroupsInStoredOrder) {
    for (const char* name : {"icons32.dll", "icons64.dll"}) {
        SCOPED_TRACE(name);
        const Bytes file = Fixture(name);
        const PeIconsInfo info = ReadPeIcons(file);
        ASSERT_EQ(info.count, 7);
        ASSERT_EQ(info.icons.size(), 7u);
        // ALPHA (24, 16, 32), ZETA (16), 2 (32 at 4, 32 and 8 bits; 16), 3 (48 at 8 bits, 16
        // at 8 and 4), 5 (32 x 48 at 4 bits, 48 x 32 at 8, 64), 7 (German 16 before English
        // 24, 16, 32), 100 (256 as PNG); the resource compiler numbered the images in the
        // script's order.
        EXPECT_EQ(Ids(info), (std::vector<uint16_t>{4, 1, 10, 6, 13, 19, 5}));
        const std::vector<IconImageInfo> shown = {{32, 32, 32},  {16, 16, 32}, {32, 32, 32},
                                                  {48, 48, 8},   {32, 32, 4},  {16, 16, 32},
                                                  {256, 256, 32}};
        for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(info.icons[i].image, shown[i]) << i;
        // Header, palette, pixels and mask, at a bitmap header or the PNG signature.
        EXPECT_EQ(info.icons[0].place.size, 40u + 32 * 32 * 4 + 32 * 4);
        EXPECT_EQ(info.icons[3].place.size, 40u + 256 * 4 + 48 * 48 + 48 * 8);
        EXPECT_EQ(info.icons[4].place.size, 40u + 16 * 4 + 48 * 16 + 48 * 4);
        for (const PeIcon& icon : info.icons) {
            ASSERT_LE(icon.place.offset + icon.place.size, file.size());
            EXPECT_EQ(Get32(file, icon.place.offset), icon.image.width == 256 ? 0x474E5089u : 40);
        }
    }
}

TEST(PeIcons, ProgramsWithAndWithoutIcons) {
    // A compiler's program of six sections: its one group of 24, 16 and 32 pixels.
    const Bytes program = Fixture("program.exe");
    const PeIconsInfo info = ReadPeIcons(program);
    ASSERT_EQ(info.count, 1);
    EXPECT_EQ(Ids(info), std::vector<uint16_t>{3});
    // Resources of a named type and strings, but no icon group.
    const PeIconsInfo none = ReadPeIcons(Fixture("noicons.dll"));
    EXPECT_EQ(none.count, 0);
    EXPECT_TRUE(none.icons.empty());
    // No resource directory, no room for one among the data directories, no group in it.
    const Layout l(program);
    EXPECT_EQ(ReadPeIcons(Changed(program, {{l.optional + 112, 4, 0}})).count, 0);
    EXPECT_EQ(ReadPeIcons(Changed(program, {{l.optional + 92, 4, 2}})).count, 0);
    EXPECT_EQ(ReadPeIcons(Changed(program, {{l.Below(l.Type(14)) + 14, 2, 0}})).count, 0);
}

TEST(PeIcons, OtherFilesAreNotPrograms) {
    // An icon file of 32767 entries under a program's name.
    Bytes ico(6 + 16 * 32767, 0);
    Put16(ico, 2, 1);
    Put16(ico, 4, 32767);
    EXPECT_EQ(ReadPeIcons(ico).count, kPeNotAProgram);
    EXPECT_EQ(ReadPeIcons(Bytes{'M', 'Z'}).count, kPeNotAProgram);
    const Bytes program = Fixture("program.exe");
    EXPECT_EQ(ReadPeIcons(std::span(program).first(63)).count, kPeNotAProgram);
    // A 16-bit program, a DOS program, no "MZ".
    EXPECT_EQ(ReadPeIcons(Changed(program, {{0x80, 2, 'N' | 'E' << 8}})).count, kPeNotAProgram);
    EXPECT_EQ(ReadPeIcons(Changed(program, {{0x3C, 4, 0xFFFFFFFE}})).count, kPeNotAProgram);
    EXPECT_EQ(ReadPeIcons(Changed(program, {{0, 1, 'Z'}})).count, kPeNotAProgram);
}

TEST(PeIcons, AnythingBrokenOnTheWayIsInvalid) {
    const Bytes p = Fixture("program.exe");
    const Layout l(p);
    const size_t groupType = l.Below(l.Type(14));
    const auto groupTypeAt = static_cast<uint32_t>(groupType - l.root);
    const size_t languages = l.Below(Layout::Entry(groupType, 0));
    const size_t group = l.Data(14, 0);  // 24 (id 1), 16 (id 2), 32 (id 3) pixels
    const std::vector<std::pair<const char*, Bytes>> broken = {
        {"optional header size 0", Changed(p, {{l.fileHeader + 16, 2, 0}})},
        {"optional header size 65535", Changed(p, {{l.fileHeader + 16, 2, 65535}})},
        {"optional header short of its fields", Changed(p, {{l.fileHeader + 16, 2, 95}})},
        {"optional header short of its directories", Changed(p, {{l.fileHeader + 16, 2, 223}})},
        {"magic", Changed(p, {{l.optional, 2, 0x107}})},
        {"17 data directories", Changed(p, {{l.optional + 92, 4, 17}})},
        {"2^29 data directories", Changed(p, {{l.optional + 92, 4, 0x20000000}})},
        {"97 sections", Changed(p, {{l.fileHeader + 2, 2, 97}})},
        {"resource directory RVA", Changed(p, {{l.optional + 112, 4, 0xFFFFFFFF}})},
        {"section file offset", Changed(p, {{l.rsrc + 20, 4, 0xFFFFFFFF}})},
        {"section raw size", Changed(p, {{l.rsrc + 16, 4, 0xFFFFFE00}})},
        {"section's raw data past the end", Changed(p, {{l.rsrc + 20, 4, 0x1000}})},
        {"section address", Changed(p, {{l.rsrc + 12, 4, 0x5004}})},
        {"data across the raw end",
         Changed(p, {{l.rsrc + 8, 4, 0x10000}, {l.DataEntry(14, 0), 4, 0x5000 + 0x2000 - 8}})},
        {"data size", Changed(p, {{l.DataEntry(14, 0) + 4, 4, 0xFFFFFFF8}})},
        {"data entry past the section", Changed(p, {{Layout::Entry(languages, 0) + 4, 4, 0x1FF8}})},
        {"type subdirectory 0x7FFFFFF0", Changed(p, {{l.Type(14) + 4, 4, 0xFFFFFFF0}})},
        {"name subdirectory 0x7FFFFFF0",
         Changed(p, {{Layout::Entry(groupType, 0) + 4, 4, 0xFFFFFFF0}})},
        {"subdirectory at the very end",
         Changed(p, {{Layout::Entry(groupType, 0) + 4, 4, 0x80000000u | 0x1FF8}})},
        {"a directory holding itself",
         Changed(p, {{Layout::Entry(groupType, 0) + 4, 4, 0x80000000u | groupTypeAt}})},
        {"type directory of the root", Changed(p, {{l.Type(14) + 4, 4, 0x80000000u}})},
        {"both types in one directory", Changed(p, {{l.Type(14) + 4, 4, Get32(p, l.Type(3) + 4)}})},
        {"type is data", Changed(p, {{l.Type(14) + 4, 4, groupTypeAt}})},
        {"name is data",
         Changed(p, {{Layout::Entry(groupType, 0) + 4, 4, Get32(p, languages + 20)}})},
        {"language is a directory", Changed(p, {{languages + 20, 4, 0x80000000u | groupTypeAt}})},
        {"no language", Changed(p, {{languages + 14, 2, 0}})},
        {"entries past the section", Changed(p, {{groupType + 12, 4, 0xFFFFFFFF}})},
        {"an icon by name", Changed(p, {{Layout::Entry(l.Below(l.Type(3)), 0), 4, 0x80000001}})},
        {"group of 65535", Changed(p, {{group + 4, 2, 65535}})},
        {"group of 4", Changed(p, {{group + 4, 2, 4}})},
        {"group of none", Changed(p, {{group + 4, 2, 0}})},
        {"group reserved", Changed(p, {{group, 2, 1}})},
        {"cursor group", Changed(p, {{group + 2, 2, 2}})},
        {"group shorter than its header", Changed(p, {{l.DataEntry(14, 0) + 4, 4, 5}})},
        {"chosen id missing", Changed(p, {{group + 6 + 28 + 12, 2, 9}})},
        {"other id missing", Changed(p, {{group + 6 + 12, 2, 9}})},
        {"chosen image of 39 bytes", Changed(p, {{l.DataEntry(3, 2) + 4, 4, 39}})},
        {"chosen PNG without IHDR",
         Changed(p, {{l.Data(3, 2), 4, 0x474E5089}, {l.Data(3, 2) + 4, 4, 0x0A1A0A0D}})},
    };
    for (const auto& [what, file] : broken) {
        const PeIconsInfo info = ReadPeIcons(file);
        EXPECT_EQ(info.count, kIconInvalid) << what;
        EXPECT_TRUE(info.icons.empty()) << what;
    }
    // Past its raw data a section is zeros the file does not hold, whatever bytes follow there.
    Bytes tail = Changed(p, {{l.rsrc + 8, 4, 0x10000}, {l.DataEntry(14, 0), 4, 0x5000 + 0x2000}});
    std::copy_n(p.begin() + static_cast<std::ptrdiff_t>(group), 6 + 3 * 14, tail.begin() + 0x2C00);
    EXPECT_EQ(ReadPeIcons(tail).count, kIconInvalid);
    // What is not chosen is not read; bytes in a section's virtual tail are not needed.
    EXPECT_EQ(ReadPeIcons(Changed(p, {{l.DataEntry(3, 0) + 4, 4, 39}})).count, 1);
    EXPECT_EQ(ReadPeIcons(Changed(p, {{l.rsrc + 8, 4, 0x10000}})).count, 1);
    EXPECT_EQ(ReadPeIcons(Changed(p, {{group + 4, 2, 1}})).count, 1);
}

// Nearest 32 x 32 in |dx| + |dy|, then among those as far off each way the nearest 32 bits.
TEST(PeIcons, ChoiceRulesBeyondTheFixtures) {
    const Bytes f = Fixture("icons32.dll");
    const Layout l(f);
    const auto chosen = [&](size_t group, std::initializer_list<Change> changes) {
        const PeIconsInfo info = ReadPeIcons(Changed(f, changes));
        return info.count == 7 ? info.icons[group].iconId : 0;
    };
    // Group 2: 32 x 32 at 4 (id 9), 32 (10) and 8 bits (11), 16 x 16 (12). Deeper than 32
    // is as far off as shallower; of equals the first.
    const size_t depths = l.Data(14, 2) + 6;
    EXPECT_EQ(chosen(2, {{depths + 14 + 6, 2, 48}}), 10);
    EXPECT_EQ(chosen(2, {{depths + 14 + 6, 2, 64}}), 11);
    EXPECT_EQ(chosen(2, {{depths + 14 + 6, 2, 8}}), 10);
    // Group 5: 32 x 48 (13), 48 x 32 (14), 64 x 64 (15). With the second 96 x 96, a first of
    // 0 x 0 or 0 x 32 (a side of 0 is 256) is farther than 64 x 64.
    const size_t oblong = l.Data(14, 4) + 6;
    const Change square96[] = {{oblong + 14, 1, 96}, {oblong + 15, 1, 96}};
    for (const uint32_t height : {0u, 32u}) {
        EXPECT_EQ(chosen(4, {{oblong, 1, 0}, {oblong + 1, 1, height}, square96[0], square96[1]}),
                  15)
            << height;
    }
}

TEST(PeIcons, CutShortItIsInvalidOrTheSame) {
    // The program's relocations follow its resources; the library ends with them.
    for (const auto& [name, after] : {std::pair{"program.exe", 0x200u}, {"icons32.dll", 0u}}) {
        SCOPED_TRACE(name);
        const Bytes file = Fixture(name);
        const PeIconsInfo whole = ReadPeIcons(file);
        size_t invalid = 0;
        for (size_t size = 0; size < file.size(); ++size) {
            const PeIconsInfo cut = ReadPeIcons(std::span(file).first(size));
            if (cut.count == kIconInvalid || cut.count == kPeNotAProgram)
                ++invalid;
            else
                ASSERT_EQ(Ids(cut), Ids(whole)) << size;
        }
        EXPECT_EQ(invalid, file.size() - after);
    }
}

// Groups that share an image, and more entries than the reader reads.
TEST(PeIcons, WorkIsBoundedByTheFile) {
    const Bytes f = Fixture("icons32.dll");
    const Layout l(f);
    // ALPHA's image (id 4) stretched to half the file: the chosen images still fit in the file,
    // but not once ZETA chooses it too.
    const Change stretch = {l.DataEntry(3, 3) + 4, 4, static_cast<uint32_t>(f.size() / 2)};
    const Change share = {l.DataEntry(14, 1), 4, Get32(f, l.DataEntry(14, 0))};
    const Change shareSize = {l.DataEntry(14, 1) + 4, 4, Get32(f, l.DataEntry(14, 0) + 4)};
    EXPECT_EQ(ReadPeIcons(Changed(f, {stretch})).count, 7);
    EXPECT_EQ(ReadPeIcons(Changed(f, {share, shareSize})).count, 7);
    EXPECT_EQ(ReadPeIcons(Changed(f, {stretch, share, shareSize})).count, kIconInvalid);
    // Two groups through one language directory.
    const size_t groupType = l.Below(l.Type(14));
    const Change sameLanguages = {Layout::Entry(groupType, 1) + 4, 4,
                                  Get32(f, Layout::Entry(groupType, 0) + 4)};
    EXPECT_EQ(ReadPeIcons(Changed(f, {sameLanguages})).count, kIconInvalid);

    // Every group's data one set of 65535 entries, added at the end of the section: 3 groups
    // read fewer than kPeMaxEntriesRead, 7 more.
    Bytes big = f;
    const auto at = static_cast<uint32_t>(big.size());
    big.resize(big.size() + 6 + 14 * 65535, 0);
    Put16(big, at + 2, 1);
    Put16(big, at + 4, 65535);
    for (size_t k = 0; k < 65535; ++k) {
        big[at + 6 + 14 * k] = 16;
        big[at + 6 + 14 * k + 1] = 16;
        Put16(big, at + 6 + 14 * k + 12, 1);
    }
    const uint32_t raw = static_cast<uint32_t>(big.size()) - Get32(f, l.rsrc + 20);
    Put32(big, l.rsrc + 8, raw);
    Put32(big, l.rsrc + 16, raw);
    for (size_t i = 0; i < 7; ++i) {
        Put32(big, l.DataEntry(14, i), at - Get32(f, l.rsrc + 20) + Get32(f, l.rsrc + 12));
        Put32(big, l.DataEntry(14, i) + 4, 6 + 14 * 65535);
    }
    EXPECT_EQ(ReadPeIcons(big).count, kIconInvalid);
    // 2 named groups and 1 numbered.
    EXPECT_EQ(ReadPeIcons(Changed(big, {{l.Below(l.Type(14)) + 14, 2, 1}})).count, 3);
}

}  // namespace
}  // namespace qcd
