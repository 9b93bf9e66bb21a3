// The play-time text of a sound, "mm:ss/mm:ss": minutes truncated, seconds rounded half to
// even and taken modulo 60, so 59.5 s reads 00:00 and 119.7 s reads 01:00. Portable code.
#pragma once

#include <cstdint>
#include <string>

namespace qcd {

// n with at least two digits, zero-padded ("05", "125", "-01").
std::u16string TwoDigits(int64_t n);
// The largest whole number of minutes not above `seconds`.
int64_t WholeMinutes(double seconds);
// `seconds` rounded to the nearest whole second, ties to even, modulo 60 (the remainder keeps
// the sign of the rounded value).
int64_t SecondsPart(double seconds);

// "mm:ss" of one time. The minutes and the seconds may come from two readings of it.
std::u16string TimeText(double secondsForMinutes, double secondsForSeconds);
inline std::u16string TimeText(double seconds) {
    return TimeText(seconds, seconds);
}

// "elapsed/total".
inline std::u16string PlayTimeText(double elapsed, double total) {
    return TimeText(elapsed) + u"/" + TimeText(total);
}

}  // namespace qcd
