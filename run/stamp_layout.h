// The company's year stamp "_qm_zev.rek": one 256-byte record whose first
// three words name the year of the data.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qm {

inline constexpr uint32_t kStampRecSize = 256;
inline constexpr const char* kStampFile = "_qm_zev.rek";

inline constexpr size_t kStampYear1 = 0;  // 16-bit
inline constexpr size_t kStampYear2 = 2;
inline constexpr size_t kStampYear3 = 4;
inline constexpr size_t kStampMonth = 6;
inline constexpr size_t kStampConverted = 7;  // 1 once carried into a new year

}  // namespace qm
