// Plain signed decimal text, as the panel's captions and the MCI commands write numbers.
#pragma once

#include <cstdint>
#include <string>

namespace qcd {

inline std::u16string Decimal(int64_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace qcd
