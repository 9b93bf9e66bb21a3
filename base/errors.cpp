#include "base/errors.h"

namespace qcd {

std::u16string_view VbErrorDescription(VbError e) {
    switch (e) {
        case VbError::Overflow: return u"Overflow";
        case VbError::SubscriptOutOfRange: return u"Subscript out of range";
        case VbError::TypeMismatch: return u"Type mismatch";
        case VbError::CannotSetAtRunTime: return u"Set not supported at runtime";
        case VbError::SetNotPermitted: return u"Set not permitted";
        case VbError::Cancel: break;
    }
    return u"Application-defined or object-defined error";
}

}  // namespace qcd
