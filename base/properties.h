// The control's fourteen public properties: fields, initial values, the persisted
// property set and the conversion of Filter for the dialog record. Portable code.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace qcd {

// Bag order, which is also the order of InitProperties.
enum class PropertyId : uint8_t {
    CancelError,
    DefaultExt,
    Filter,
    FilterIndex,
    FileName,
    FileTitle,
    InitDir,
    MaxFileSize,
    DialogTitle,
    DialogLeft,
    DialogTop,
    SlideFolder,
    Position,
    BackGroundSlide,
};
inline constexpr size_t kPropertyCount = 14;

enum class ValueKind : uint8_t { Boolean, String, Int32, Int16 };

// Booleans are held as the automation boolean (-1 true, 0 false) in the Int16 slot.
using PropertyValue = std::variant<std::u16string, int32_t, int16_t>;

struct PropertyInfo {
    PropertyId id;
    std::u16string_view name;
    ValueKind kind;
};

extern const std::array<PropertyInfo, kPropertyCount> kPropertyTable;
const PropertyInfo& InfoOf(PropertyId id);

// "すべてのﾌｧｲﾙ(*.*)|*.*": all files, with the half-width katakana of the target system.
inline constexpr std::u16string_view kDefaultFilter = u"すべてのﾌｧｲﾙ(*.*)|*.*";

inline constexpr int16_t kVbTrue = -1;
inline constexpr int16_t kVbFalse = 0;

enum class PositionType : int32_t { Manual = 0, Centre = 1 };
enum class BGSType : int32_t { None = 0, Builtin = 1, Folder = 2 };

struct Properties {
    int16_t CancelError = kVbFalse;
    std::u16string DefaultExt;
    std::u16string Filter{kDefaultFilter};
    int32_t FilterIndex = 0;
    std::u16string FileName;
    std::u16string FileTitle;
    std::u16string InitDir;
    int16_t MaxFileSize = 260;
    std::u16string DialogTitle;
    int32_t DialogLeft = 0;
    int32_t DialogTop = 0;
    std::u16string SlideFolder;
    int32_t Position = 0;
    int32_t BackGroundSlide = 1;

    PropertyValue Get(PropertyId id) const;
    // Stores the value converted to the field's type; false when the variant's type
    // does not match the property's kind.
    bool Set(PropertyId id, const PropertyValue& value);

    bool operator==(const Properties&) const = default;
};

PropertyValue DefaultValue(PropertyId id);

// Filter's "|" separators become NULs and one NUL ends the list; nothing else changes.
std::u16string ConvertFilter(std::u16string_view filter);

// Status codes are HRESULT-shaped: negative is a failure and ends the walk.
class PropertySink {
public:
    virtual ~PropertySink() = default;
    virtual int32_t Write(const PropertyInfo& info, const PropertyValue& value) = 0;
};

class PropertySource {
public:
    virtual ~PropertySource() = default;
    // Leaves `value` empty for a missing key; the value must already have the kind's type.
    virtual int32_t Read(const PropertyInfo& info, std::optional<PropertyValue>& value) = 0;
};

// Writes the non-default values in bag order; stops at the first failure.
int32_t WriteProperties(const Properties& props, PropertySink& sink);
// Reads every key in bag order, a missing key giving the default; fields read before a
// failure keep their new values.
int32_t ReadProperties(Properties& props, PropertySource& source);

}  // namespace qcd
