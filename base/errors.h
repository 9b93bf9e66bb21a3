// Run-time errors of the control, as automation callers of a VB-style control see them.
#pragma once

#include <cstdint>
#include <string_view>

namespace qcd {

enum class VbError : int32_t {
    Overflow = 6,
    SubscriptOutOfRange = 9,
    TypeMismatch = 13,
    CannotSetAtRunTime = 382,
    SetNotPermitted = 387,
    Cancel = 2001,
};

// Facility "control" (0x0A), as the host runtime reports its own errors: 2001 → 0x800A07D1.
constexpr int32_t VbErrorHResult(VbError e) {
    return static_cast<int32_t>(0x800A0000u | static_cast<uint32_t>(e));
}

// The runtime's standard texts; 2001 has none of its own.
std::u16string_view VbErrorDescription(VbError e);

// FileTitle can never be assigned by the host: which error depends on the ambient mode.
constexpr VbError FileTitleSetError(bool userMode) {
    return userMode ? VbError::CannotSetAtRunTime : VbError::SetNotPermitted;
}

}  // namespace qcd
