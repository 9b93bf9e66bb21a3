// Overflow-checked integer arithmetic: an overflow is a run-time error of the control, so
// these return nothing instead of wrapping.
#pragma once

#include <cstdint>
#include <optional>

namespace qcd {

template <typename T>
std::optional<T> CheckedAdd(T a, T b) {
    T r;
    if (__builtin_add_overflow(a, b, &r)) return std::nullopt;
    return r;
}

template <typename T>
std::optional<T> CheckedSub(T a, T b) {
    T r;
    if (__builtin_sub_overflow(a, b, &r)) return std::nullopt;
    return r;
}

template <typename T>
std::optional<T> CheckedMul(T a, T b) {
    T r;
    if (__builtin_mul_overflow(a, b, &r)) return std::nullopt;
    return r;
}

}  // namespace qcd
