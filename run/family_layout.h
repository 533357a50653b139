// The family member record ("DANE_PF8.REK"): 352 bytes, the key of the
// staff member it belongs to first.
#pragma once
#include <cstddef>

namespace qm {

inline constexpr int kFamilyRecSize = 352;

inline constexpr size_t kFamilyBirth = 8;
inline constexpr size_t kFamilyText9 = 46;  // the relation, text of 9
inline constexpr size_t kFamilySurname = 56;
inline constexpr size_t kFamilyFirstName = 88;

}  // namespace qm
