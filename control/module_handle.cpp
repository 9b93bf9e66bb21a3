#include "control/QuorComDlg.h"

namespace qcd {

namespace {
HMODULE g_module = nullptr;
}

void SetThisModule(HMODULE module) { g_module = module; }

HMODULE ThisModule() {
    // The tests link the control into their own executable: then the module is the program.
    return g_module ? g_module : GetModuleHandleW(nullptr);
}

}  // namespace qcd
