// The commission contract: the 552-byte record of 2019 ("2020UZ3.REK") and
// the 1024-byte record of 2020 ("2020UZ5.REK"). The contract block moves
// from 225 in the old record to 457 in the new one.
#pragma once
#include <cstddef>

namespace qm {

inline constexpr int kContractSrcSize = 552;
inline constexpr int kContractDstSize = 1024;

inline constexpr size_t kContractHead = 20;  // person key and 12 further bytes
inline constexpr size_t kContractBlockSrc = 225;
inline constexpr size_t kContractBlockDst = 457;
inline constexpr size_t kContractBlockLen = kContractSrcSize - kContractBlockSrc;  // 327
inline constexpr size_t kContractCategory = 225;
inline constexpr size_t kContractKindSrc = 227;
inline constexpr size_t kContractKindDst = 459;

}  // namespace qm
