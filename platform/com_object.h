// Shared COM plumbing: the module's object and lock counts, reference counting, and the
// boundary guard that keeps C++ exceptions inside the module.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <new>

namespace qcd::win {

// Live objects plus server locks; DllCanUnloadNow answers from it.
std::atomic<long>& ModuleRefs();

class ModuleRef {
public:
    ModuleRef() { ++ModuleRefs(); }
    ~ModuleRef() { --ModuleRefs(); }
    ModuleRef(const ModuleRef&) = delete;
    ModuleRef& operator=(const ModuleRef&) = delete;
};

// Runs `body` and turns any escaping exception into an HRESULT: nothing crosses the boundary.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The same for handlers that return nothing (window procedures, timers, hooks).
template <typename Body>
void GuardedVoid(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace qcd::win
