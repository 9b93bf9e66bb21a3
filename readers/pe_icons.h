// What the program preview reads from a 32- or 64-bit Windows program or library (.exe .dll
// .cpl .scr .ocx .vbx): its icons, numbered as the platform's icon extraction numbers them,
// and for each the one image the platform draws as a large icon. The platform makes each icon
// from those bytes alone. Portable code; every count, size and offset is checked against the
// bytes present.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "readers/icon_file.h"

namespace qcd {

// No "MZ", or no "PE\0\0" where the DOS header points: an icon file or an older program under
// a program's name, for other readers to try.
inline constexpr int32_t kPeNotAProgram = -2;

// An icon's image is chosen for the large-icon size at the screen depth.
inline constexpr int32_t kPeIconSide = 32;
inline constexpr int32_t kPeIconDepth = 32;

// Directory entries and icon group entries read in all: far more than real files hold, and the
// work a crafted file can cause.
inline constexpr size_t kPeMaxEntriesRead = 1u << 18;

struct PeIcon {
    uint16_t iconId = 0;   // the chosen RT_ICON resource
    IconImagePlace place;  // its bytes in the file
    IconImageInfo image;   // as its own header gives them (MeasureIconImage)
};

struct PeIconsInfo {
    // The icon count (0: a program without icons), or kIconInvalid or kPeNotAProgram.
    int32_t count = kIconInvalid;
    // Icon n (1-based) at n - 1; none unless count >= 1.
    std::vector<PeIcon> icons;
};

// Headers: "MZ", "PE\0\0" at e_lfanew, at most 96 sections whose table lies in the file, an
// optional header of magic 0x10B or 0x20B that holds its NumberOfRvaAndSizes data
// directories; fewer than 3 of them, or a resource directory at RVA 0, is a program without
// icons. An RVA lies in the first section that covers it with max(VirtualSize, SizeOfRawData);
// what it names must lie in that section's raw data, which must lie in the file.
//
// Resources: a tree of exactly type, name and language; each directory's 16 bytes and 8-byte
// entries inside the resource section (from the resource directory to the end of its section's
// raw data); no directory reached twice; at most kPeMaxEntriesRead entries read. A name's first
// language holds the data entry.
//
// Icons: one per RT_GROUP_ICON (14) name entry, in stored order: the named entries, then the
// ids (resource compilers store names sorted, then ids ascending). A group: reserved 0, type 1,
// a count of at least 1 whose 14-byte entries its data holds, every entry's id an RT_ICON (3)
// resource. The chosen entry is the first nearest kPeIconSide in |dx| + |dy| (a width or height
// of 0 is 256); among the entries as far off in each direction, the first whose bit count is
// nearest kPeIconDepth. Its image must be measurable, and the chosen images together are no
// larger than the file.
PeIconsInfo ReadPeIcons(std::span<const uint8_t> file);

}  // namespace qcd
