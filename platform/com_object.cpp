#include "platform/com_object.h"

namespace qcd::win {

std::atomic<long>& ModuleRefs() {
    static std::atomic<long> refs{0};
    return refs;
}

}  // namespace qcd::win
