// The staff and owner record ("DANE_PR8.REK"): 2048 bytes, the person key
// first; bytes 15..2022 may be scrambled (kStaffForm says which).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qm {

inline constexpr int kStaffRecSize = 2048;

inline constexpr size_t kStaffForm = 8;  // 2 scrambled, 1 plain
inline constexpr uint8_t kStaffScrambled = 2;
inline constexpr uint8_t kStaffPlain = 1;
inline constexpr size_t kStaffSurname = 40;
inline constexpr size_t kStaffSurnameCap = 31;
inline constexpr size_t kStaffFirstName = 72;
inline constexpr size_t kStaffFirstNameCap = 22;
inline constexpr size_t kStaffLeft = 213;  // the date the person left

}  // namespace qm
