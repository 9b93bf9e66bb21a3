#include "preview/play_time.h"

#include <cmath>
#include <limits>

#include "base/decimal.h"

namespace qcd {

namespace {

// Times come from 32-bit millisecond replies; anything past that range is not a time.
int64_t ToWhole(double value) {
    constexpr double kLimit = 1e15;
    if (!(value > -kLimit)) return static_cast<int64_t>(-kLimit);
    if (!(value < kLimit)) return static_cast<int64_t>(kLimit);
    return static_cast<int64_t>(value);
}

}  // namespace

std::u16string TwoDigits(int64_t n) {
    std::u16string digits = Decimal(n < 0 ? -n : n);
    if (digits.size() < 2) digits.insert(0, 2 - digits.size(), u'0');
    return n < 0 ? u"-" + digits : digits;
}

int64_t WholeMinutes(double seconds) {
    return ToWhole(std::floor(seconds / 60));
}

int64_t SecondsPart(double seconds) {
    // The default rounding mode sends halves to the even neighbour.
    return ToWhole(std::nearbyint(seconds)) % 60;
}

std::u16string TimeText(double secondsForMinutes, double secondsForSeconds) {
    return TwoDigits(WholeMinutes(secondsForMinutes)) + u":" +
           TwoDigits(SecondsPart(secondsForSeconds));
}

}  // namespace qcd
