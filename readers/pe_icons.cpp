#include "readers/pe_icons.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>

#include "base/checked.h"
#include "readers/little_endian.h"

namespace qcd {

namespace {

using le::U16;
using le::U32;

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kLfanewAt = 0x3C;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kMaxSections = 96;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kDataDirectorySize = 8;
constexpr uint32_t kResourceDirectoryIndex = 2;

constexpr size_t kResourceDirectorySize = 16;
constexpr size_t kResourceEntrySize = 8;
constexpr size_t kResourceDataEntrySize = 16;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;

constexpr uint32_t kRtIcon = 3;
constexpr uint32_t kRtGroupIcon = 14;
constexpr size_t kGroupHeaderSize = 6;
constexpr size_t kGroupEntrySize = 14;

// [offset, offset + size) inside `total` bytes, whatever the values.
bool Inside(size_t total, uint64_t offset, uint64_t size) {
    return offset <= total && size <= total - offset;
}

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualEnd;  // VirtualAddress + max(VirtualSize, SizeOfRawData)
    uint32_t rawSize;
    uint32_t rawOffset;
};

class Image {
  public:
    explicit Image(std::span<const uint8_t> file) : file_(file) {}

    // False when a section table entry cannot be read.
    bool ReadSections(size_t at, size_t count) {
        if (count > kMaxSections) return false;
        if (!Inside(file_.size(), at, count * kSectionHeaderSize)) return false;
        for (size_t i = 0; i < count; ++i) {
            const size_t h = at + i * kSectionHeaderSize;
            const uint32_t virtualSize = U32(file_, h + 8);
            const uint32_t va = U32(file_, h + 12);
            const uint32_t rawSize = U32(file_, h + 16);
            // A section past 4 GB of address space can hold nothing we could map.
            const auto end = CheckedAdd<uint32_t>(va, std::max(virtualSize, rawSize));
            sections_.push_back({va, end.value_or(va), rawSize, U32(file_, h + 20)});
        }
        return true;
    }

    // The file offset of `size` bytes at `rva`, and where the raw data of their section ends.
    struct Mapped {
        size_t offset;
        size_t sectionEnd;
    };
    std::optional<Mapped> Map(uint32_t rva, uint32_t size) const {
        for (const Section& s : sections_) {
            if (rva < s.virtualAddress || rva >= s.virtualEnd) continue;
            // Past the raw data the section is zeros that the file does not hold.
            const uint32_t into = rva - s.virtualAddress;
            if (!Inside(s.rawSize, into, size)) return std::nullopt;
            if (!Inside(file_.size(), s.rawOffset, s.rawSize)) return std::nullopt;
            return Mapped{static_cast<size_t>(s.rawOffset) + into,
                          static_cast<size_t>(s.rawOffset) + s.rawSize};
        }
        return std::nullopt;
    }

    std::span<const uint8_t> File() const { return file_; }

  private:
    std::span<const uint8_t> file_;
    std::vector<Section> sections_;
};

struct Entry {
    uint32_t name;
    uint32_t target;
    bool IsDirectory() const { return (target & kSubdirectoryBit) != 0; }
    uint32_t Offset() const { return target & ~kSubdirectoryBit; }
};

struct Directory {
    size_t entriesAt;  // in the resource section
    size_t named;
    size_t ids;
    size_t Count() const { return named + ids; }
};

// The resource section from its root directory on; offsets are relative to the root.
class ResourceTree {
  public:
    ResourceTree(const Image& image, std::span<const uint8_t> section)
        : image_(image), section_(section) {}

    // A directory reached twice would let a small file cost the work of a large one.
    std::optional<Directory> Open(uint32_t offset) {
        if (!Inside(section_.size(), offset, kResourceDirectorySize)) return std::nullopt;
        if (!opened_.insert(offset).second) return std::nullopt;
        const Directory dir{offset + kResourceDirectorySize, U16(section_, offset + 12),
                            U16(section_, offset + 14)};
        if (!Inside(section_.size(), dir.entriesAt, dir.Count() * kResourceEntrySize))
            return std::nullopt;
        return dir;
    }

    std::optional<Entry> EntryOf(const Directory& dir, size_t i) {
        if (!Charge(1)) return std::nullopt;
        const size_t at = dir.entriesAt + i * kResourceEntrySize;
        return Entry{U32(section_, at), U32(section_, at + 4)};
    }

    // The bytes of the first language under a name entry.
    std::optional<IconImagePlace> Data(const Entry& name) {
        if (!name.IsDirectory()) return std::nullopt;
        const auto languages = Open(name.Offset());
        if (!languages || languages->Count() == 0) return std::nullopt;
        const auto first = EntryOf(*languages, 0);
        if (!first || first->IsDirectory()) return std::nullopt;
        if (!Inside(section_.size(), first->Offset(), kResourceDataEntrySize)) return std::nullopt;
        const uint32_t rva = U32(section_, first->Offset());
        const uint32_t size = U32(section_, first->Offset() + 4);
        const auto mapped = image_.Map(rva, size);
        if (!mapped) return std::nullopt;
        return IconImagePlace{mapped->offset, size};
    }

    bool Charge(size_t entries) {
        if (entries > kPeMaxEntriesRead - read_) return false;
        read_ += entries;
        return true;
    }

  private:
    const Image& image_;
    std::span<const uint8_t> section_;
    std::set<uint32_t> opened_;
    size_t read_ = 0;
};

// The RT_ICON resources by id, resolved when a group first chooses one.
class IconTable {
  public:
    bool Read(ResourceTree& tree, const Directory& dir) {
        for (size_t i = dir.named; i < dir.Count(); ++i) {
            const auto e = tree.EntryOf(dir, i);
            if (!e || e->name > UINT16_MAX) return false;
            icons_.push_back({static_cast<uint16_t>(e->name), *e, std::nullopt});
        }
        // The first of equal ids, as stored, is the one found.
        std::stable_sort(icons_.begin(), icons_.end(),
                         [](const Icon& a, const Icon& b) { return a.id < b.id; });
        return true;
    }

    bool Has(uint16_t id) const { return Find(id) != icons_.end(); }

    // Resolved once: a second group choosing the icon must not open its directory again.
    std::optional<IconImagePlace> Place(ResourceTree& tree, uint16_t id) {
        const auto icon = Find(id);
        if (icon == icons_.end()) return std::nullopt;
        if (!icon->place) icon->place = tree.Data(icon->entry);
        return icon->place;
    }

  private:
    struct Icon {
        uint16_t id;
        Entry entry;
        std::optional<IconImagePlace> place;
    };

    template <typename Self>
    static auto FindIn(Self& icons, uint16_t id) {
        const auto it = std::lower_bound(icons.begin(), icons.end(), id,
                                         [](const Icon& a, uint16_t v) { return a.id < v; });
        return it != icons.end() && it->id == id ? it : icons.end();
    }
    std::vector<Icon>::const_iterator Find(uint16_t id) const { return FindIn(icons_, id); }
    std::vector<Icon>::iterator Find(uint16_t id) { return FindIn(icons_, id); }

    std::vector<Icon> icons_;
};

struct GroupEntry {
    int32_t width;
    int32_t height;
    int32_t bits;
    uint16_t id;
};

// The group's entries, or nothing when its header, count or ids are wrong.
std::optional<std::vector<GroupEntry>> ReadGroup(std::span<const uint8_t> group, ResourceTree& tree,
                                                 const IconTable& icons) {
    if (group.size() < kGroupHeaderSize || U16(group, 0) != 0 || U16(group, 2) != 1)
        return std::nullopt;
    const size_t count = U16(group, 4);
    if (count == 0 || (group.size() - kGroupHeaderSize) / kGroupEntrySize < count)
        return std::nullopt;
    if (!tree.Charge(count)) return std::nullopt;
    std::vector<GroupEntry> entries;
    entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = kGroupHeaderSize + i * kGroupEntrySize;
        // A side of 0 stands for 256, which a byte cannot hold.
        const int32_t width = group[at] == 0 ? 256 : group[at];
        const int32_t height = group[at + 1] == 0 ? 256 : group[at + 1];
        const uint16_t id = U16(group, at + 12);
        if (!icons.Has(id)) return std::nullopt;
        entries.push_back({width, height, U16(group, at + 6), id});
    }
    return entries;
}

// The platform's choice for a large icon: nearest in size first, then in depth; the first of
// equals.
const GroupEntry& Choose(const std::vector<GroupEntry>& entries) {
    const GroupEntry* nearest = &entries.front();
    auto off = [](const GroupEntry& e) {
        return std::abs(kPeIconSide - e.width) + std::abs(kPeIconSide - e.height);
    };
    for (const GroupEntry& e : entries)
        if (off(e) < off(*nearest)) nearest = &e;
    const GroupEntry* chosen = nearest;
    for (const GroupEntry& e : entries) {
        if (std::abs(kPeIconSide - e.width) != std::abs(kPeIconSide - nearest->width) ||
            std::abs(kPeIconSide - e.height) != std::abs(kPeIconSide - nearest->height))
            continue;
        if (std::abs(kPeIconDepth - e.bits) < std::abs(kPeIconDepth - chosen->bits)) chosen = &e;
    }
    return *chosen;
}

struct Headers {
    int32_t status;  // 0 when read, else kPeNotAProgram or kIconInvalid
    uint32_t resourceRva = 0;
};

Headers ReadHeaders(Image& image) {
    const auto file = image.File();
    if (file.size() < kDosHeaderSize || file[0] != 'M' || file[1] != 'Z') return {kPeNotAProgram};
    const size_t pe = U32(file, kLfanewAt);
    if (!Inside(file.size(), pe, 4) || !le::IdAt(file, pe, "PE\0\0")) return {kPeNotAProgram};

    const size_t fileHeader = pe + 4;
    if (!Inside(file.size(), fileHeader, kFileHeaderSize)) return {kIconInvalid};
    const size_t sectionCount = U16(file, fileHeader + 2);
    const size_t optionalSize = U16(file, fileHeader + 16);
    const size_t optional = fileHeader + kFileHeaderSize;
    if (!Inside(file.size(), optional, optionalSize) || optionalSize < 2) return {kIconInvalid};

    // The data directories follow the fields of fixed size, longer in PE32+.
    size_t directories = 0;
    switch (U16(file, optional)) {
        case 0x10B:
            directories = 96;
            break;
        case 0x20B:
            directories = 112;
            break;
        default:
            return {kIconInvalid};
    }
    if (optionalSize < directories) return {kIconInvalid};
    const uint32_t directoryCount = U32(file, optional + directories - 4);
    if ((optionalSize - directories) / kDataDirectorySize < directoryCount) return {kIconInvalid};
    if (!image.ReadSections(optional + optionalSize, sectionCount)) return {kIconInvalid};

    if (directoryCount <= kResourceDirectoryIndex) return {0};
    return {0, U32(file, optional + directories + kResourceDirectoryIndex * kDataDirectorySize)};
}

}  // namespace

PeIconsInfo ReadPeIcons(std::span<const uint8_t> file) {
    Image image(file);
    const Headers headers = ReadHeaders(image);
    if (headers.status != 0) return {headers.status, {}};
    if (headers.resourceRva == 0) return {0, {}};

    const auto root = image.Map(headers.resourceRva, kResourceDirectorySize);
    if (!root) return {};
    ResourceTree tree(image, file.subspan(root->offset, root->sectionEnd - root->offset));
    const auto types = tree.Open(0);
    if (!types) return {};
    std::optional<Entry> groupType;
    std::optional<Entry> iconType;
    for (size_t i = types->named; i < types->Count(); ++i) {
        const auto e = tree.EntryOf(*types, i);
        if (!e) return {};
        if (e->name == kRtGroupIcon && !groupType) groupType = e;
        if (e->name == kRtIcon && !iconType) iconType = e;
    }
    if (!groupType) return {0, {}};
    if (!groupType->IsDirectory()) return {};
    const auto groups = tree.Open(groupType->Offset());
    if (!groups) return {};
    if (groups->Count() == 0) return {0, {}};

    if (!iconType || !iconType->IsDirectory()) return {};
    const auto iconDir = tree.Open(iconType->Offset());
    IconTable icons;
    if (!iconDir || !icons.Read(tree, *iconDir)) return {};

    PeIconsInfo info{static_cast<int32_t>(groups->Count()), {}};
    info.icons.reserve(groups->Count());
    // The platform makes each icon from its own bytes: groups that share an image would let a
    // small file cost as much work as a huge one.
    size_t total = 0;
    for (size_t i = 0; i < groups->Count(); ++i) {
        const auto name = tree.EntryOf(*groups, i);
        if (!name) return {};
        const auto groupPlace = tree.Data(*name);
        if (!groupPlace) return {};
        const auto entries =
            ReadGroup(file.subspan(groupPlace->offset, groupPlace->size), tree, icons);
        if (!entries) return {};
        const GroupEntry& chosen = Choose(*entries);
        const auto place = icons.Place(tree, chosen.id);
        if (!place) return {};
        const auto measured = MeasureIconImage(file.subspan(place->offset, place->size));
        if (!measured) return {};
        const auto sum = CheckedAdd(total, place->size);
        if (!sum || *sum > file.size()) return {};
        total = *sum;
        info.icons.push_back({chosen.id, *place, *measured});
    }
    return info;
}

}  // namespace qcd
