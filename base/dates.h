// The package's four-byte date, its ten-character text form, Polish month
// names, and the process-wide pseudo-random generator.
#pragma once
#include <cstdint>
#include <string>

namespace qm {

struct PackedDate {
  uint8_t day = 0;
  uint8_t month = 0;
  uint16_t year = 0;
  bool operator==(const PackedDate&) const = default;
};

inline constexpr uint16_t kMinYear = 1;
inline constexpr uint16_t kMaxYear = 2999;

bool DateIsSet(const PackedDate& d);
void ClearDate(PackedDate& d);
void SetDate(PackedDate& d, uint8_t day, uint8_t month, uint16_t year);
void ValidateDate(PackedDate& d);
bool DateIsValid(const PackedDate& d);
std::string DateToText(const PackedDate& d);
void TextToDate(const std::string& s, PackedDate& d);
bool IsLeapYear(uint16_t year);
uint8_t DaysInMonth(const PackedDate& d);
void NextDay(PackedDate& d);
void PrevDay(PackedDate& d);
void NextMonth(PackedDate& d);
// Month name padded with blanks to 11 characters (CP852); index 0..12.
std::string MonthName(int m);

// The date as stored in a record (day, month, 16-bit year, little-endian).
PackedDate GetDate(const uint8_t* rec, size_t off);
void PutDate(uint8_t* rec, size_t off, const PackedDate& d);
// The four bytes read as a little-endian signed 32-bit number; orders dates.
int32_t DateValue(const PackedDate& d);


// Generator: state := state * 0x08088405 + 1, result = high word of state * n.
void SetRandomState(uint32_t state);
uint32_t RandomState();
uint32_t RandomBelow(uint32_t n);

// The standard integer conversion of the package's runtime: leading blanks
// skipped, optional sign, decimal digits or "$" and hexadecimal digits,
// nothing after them, the value within 32 bits. False when it does not
// convert.
bool ParseInt(const std::string& s, int32_t& value);

}  // namespace qm
