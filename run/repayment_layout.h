// The repayment record of the ledger ("2020SP.m"): 48 bytes.
#pragma once
#include <cstddef>

namespace qm {

inline constexpr int kRepaymentRecSize = 48;

inline constexpr size_t kRepaymentNumber = 0;    // 32-bit
inline constexpr size_t kRepaymentKind = 4;
inline constexpr size_t kRepaymentDate = 5;
inline constexpr size_t kRepaymentAmount = 9;    // double
inline constexpr size_t kRepaymentDoc = 17;      // text of 12
inline constexpr size_t kRepaymentDocCap = 12;
inline constexpr size_t kRepaymentPaid = 30;     // double
inline constexpr size_t kRepaymentDocDate = 38;

}  // namespace qm
