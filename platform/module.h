// The module that holds the control's resources: the control library, or a test program
// that links the control in.
#pragma once

#include <windows.h>

namespace qcd {

HMODULE ThisModule();
void SetThisModule(HMODULE module);

}  // namespace qcd
