// Shared COM plumbing: the module's object and lock counts, reference counting, and the
// boundary guard that keeps C++ exceptions inside the module.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <exception>
#include <new>

#include "platform/trace.h"

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
// What was caught goes to the trace under `where`, the handler's name.
template <typename Body>
HRESULT Guarded(const char* where, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        Trace(where, "out of memory");
        return E_OUTOFMEMORY;
    } catch (const std::exception& e) {
        Trace(where, e.what());
        return E_UNEXPECTED;
    } catch (...) {
        Trace(where, "unknown exception");
        return E_UNEXPECTED;
    }
}

// The same for handlers that return nothing (window procedures, timers, hooks).
template <typename Body>
void GuardedVoid(const char* where, Body&& body) noexcept {
    try {
        body();
    } catch (const std::bad_alloc&) {
        Trace(where, "out of memory");
    } catch (const std::exception& e) {
        Trace(where, e.what());
    } catch (...) {
        Trace(where, "unknown exception");
    }
}

}  // namespace qcd::win
