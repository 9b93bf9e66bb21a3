#include "platform/module.h"

namespace qcd {

namespace {
HMODULE g_module = nullptr;
}

void SetThisModule(HMODULE module) { g_module = module; }

HMODULE ThisModule() { return g_module ? g_module : GetModuleHandleW(nullptr); }

}  // namespace qcd
