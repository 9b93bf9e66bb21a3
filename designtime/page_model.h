// What the property page decides, apart from the window that shows it: where each control
// sits, which fields are locked, and how the fields are read from and written to the
// selected controls. Portable code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace qcd::designtime {

// --- Layout ---------------------------------------------------------------------------

// A rectangle in twips, or in pixels once placed.
struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

struct PageControl {
    int id;          // the control's id in the page template
    Rect twips;      // relative to its frame when it has one
    int frameId;     // 0: placed on the page itself
};

std::span<const PageControl> PageControls();

// Twips to pixels at `dpi` (1440 twips an inch), halves to the even neighbour.
int TwipsToPixels(int twips, int dpi);
// A control's rectangle in page pixels: its frame's place and its own offset are converted
// apart, as a container converts its own coordinates.
std::optional<Rect> PlaceInPixels(int id, int dpi);
// The page's own size in pixels: every control with a margin of 120 twips right and below.
Rect PageSizeInPixels(int dpi);

// --- Greying --------------------------------------------------------------------------

struct Greying {
    bool slideFolderEditable;  // txtSlideFolder white and unlocked
    bool browseSlideEnabled;   // cmdBGS
    bool positionEditable;     // txtDialogLeft and txtDialogTop white and unlocked
};

// By what the values do: only 2 uses SlideFolder, only 0 uses DialogLeft/DialogTop (any
// other Position centres, any other BackGroundSlide shows no folder slideshow).
Greying GreyingFor(int32_t backGroundSlide, int32_t position);

// The option that stands for `value` among options 0 .. count - 1; none for other values.
std::optional<int> OptionFor(int32_t value, int count);

// --- Reading and writing the selected controls ----------------------------------------

// The thirteen properties the page edits, in the order the page reads and writes them.
enum class PageProperty : uint8_t {
    DialogTop,
    DialogLeft,
    SlideFolder,
    CancelError,
    FilterIndex,
    DialogTitle,
    MaxFileSize,
    InitDir,
    FileName,
    DefaultExt,
    Filter,
    Position,
    BackGroundSlide,
};
inline constexpr int kPagePropertyCount = 13;
std::u16string_view NameOf(PageProperty p);

// What travels through automation: text fields go over as text and the control converts
// them to its number types.
using Value = std::variant<std::u16string, bool, int32_t>;
// An HRESULT: negative is a failure.
using Status = int32_t;

// One selected control as the page reaches it (through automation on the platform).
class PropertyTarget {
public:
    virtual ~PropertyTarget() = default;
    virtual Status Get(PageProperty p, Value& out) = 0;
    virtual Status Put(PageProperty p, const Value& value) = 0;
};

// The page's fields. Numbers edited in text boxes are kept as the text typed; the options
// keep the property value they stand for (a value without an option is kept as it came).
struct PageFields {
    std::u16string dialogTop, dialogLeft, slideFolder;
    bool cancelError = false;
    std::u16string filterIndex, dialogTitle, maxFileSize, initDir, fileName, defaultExt, filter;
    int32_t position = 0;
    int32_t backGroundSlide = 1;
};

// Fills `fields` from the first selected control, reading in page order; the first failing
// read ends it and is returned.
Status ReadFields(PropertyTarget& first, PageFields& fields);

struct ApplyFailure {
    Status status;
    size_t target;        // index of the control whose assignment failed
    PageProperty failed;  // the property that failed; those after it were not assigned
};

// Writes the fields to every target, each in page order; stops at the first failure.
std::optional<ApplyFailure> ApplyFields(const PageFields& fields, std::span<PropertyTarget* const> targets);

}  // namespace qcd::designtime
