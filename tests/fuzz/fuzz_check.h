// A fuzzer's own assertion: a broken promise stops the run as a crash, so it is kept.
#pragma once

inline void Check(bool ok) {
    if (!ok) __builtin_trap();
}
