// The performance counter in milliseconds, for pacing work by the time it takes.
#pragma once

#include <windows.h>

namespace qcd::win {

inline double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t{};
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / ticksPerMs;
}

}  // namespace qcd::win
