// The payroll settings record ("2019_lp2.cc", "2020_lp2.cc"): 2048 bytes
// per wage component.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qm {

inline constexpr uint16_t kPayrollRecSize = 2048;

inline constexpr size_t kPayrollYear = 611;  // 16-bit
inline constexpr size_t kWorkingDays = 632;  // twelve bytes, one per month

}  // namespace qm
