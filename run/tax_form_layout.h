// The personal tax form record (PID-5 "2019p5.13"/"2020P5.REK", PIT-28
// "2019_p28.rek"/"2020_p28.rek"): 13952 bytes, one per person.
#pragma once
#include <cstddef>

namespace qm {

inline constexpr int kTaxFormRecSize = 13952;

inline constexpr size_t kFormStart = 12;       // start date of the form's year
inline constexpr size_t kFormStartYear = 14;
inline constexpr size_t kFormDate = 16;        // 32-bit; its year at 18
inline constexpr size_t kFormDateYear = 18;
inline constexpr size_t kFormPersonal = 20;    // text of 65, then 4 bytes: 20..89
inline constexpr size_t kFormPersonalLen = 70;
inline constexpr size_t kFormIdentity = 91;    // 91..163
inline constexpr size_t kFormIdentityLen = 73;
inline constexpr size_t kFormSurname = 105;
inline constexpr size_t kFormFirstName = 137;
inline constexpr size_t kFormAddress = 164;    // 164..387
inline constexpr size_t kFormAddressLen = 224;
inline constexpr size_t kFormTakenOverFlag = 314;

}  // namespace qm
