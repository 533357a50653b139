// The wage record of 2020 ("2020WP5.REK"): 26624 bytes, the person key
// first, then eight texts of 50 characters from byte 15 on, 51 bytes apart.
#pragma once
#include <cstddef>

namespace qm {

inline constexpr int kWageRecSize = 26624;

inline constexpr size_t kWageTexts = 15;  // the first text
inline constexpr size_t kWageTextStride = 51;
inline constexpr size_t kWageTextCap = 50;

}  // namespace qm
