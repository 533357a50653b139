#include "base/dates.h"

#include <array>
#include <cstdio>

#include "base/cp852.h"

namespace qm {

namespace {
uint32_t g_random = 0;
constexpr std::array<uint8_t, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
}  // namespace

bool DateIsSet(const PackedDate& d) { return d.day || d.month || d.year; }
void ClearDate(PackedDate& d) { d = PackedDate{}; }
void SetDate(PackedDate& d, uint8_t day, uint8_t month, uint16_t year) { d = PackedDate{day, month, year}; }

bool DateIsValid(const PackedDate& d) {
  return d.day >= 1 && d.day <= 31 && d.month >= 1 && d.month <= 12 && d.year >= kMinYear &&
         d.year <= kMaxYear;
}

void ValidateDate(PackedDate& d) {
  if (!DateIsValid(d)) ClearDate(d);
}

std::string DateToText(const PackedDate& d) {
  if (!DateIsValid(d)) return "-";
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02u-%02u-%04u", unsigned(d.day), unsigned(d.month), unsigned(d.year));
  return buf;
}

void TextToDate(const std::string& s, PackedDate& d) {
  ClearDate(d);
  if (s == "-" || s.size() != 10) return;
  int32_t day = 0, month = 0, year = 0;
  // A part that does not convert counts as 0 and so clears the whole date.
  if (!ParseInt(s.substr(0, 2), day)) day = 0;
  if (!ParseInt(s.substr(3, 2), month)) month = 0;
  if (!ParseInt(s.substr(6, 4), year)) year = 0;
  d.day = static_cast<uint8_t>(day);
  d.month = static_cast<uint8_t>(month);
  d.year = static_cast<uint16_t>(year);
  if (day != d.day || month != d.month || year != d.year) ClearDate(d);
  ValidateDate(d);
}

bool IsLeapYear(uint16_t y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

uint8_t DaysInMonth(const PackedDate& d) {
  if (d.month < 1 || d.month > 12) return 0;
  if (d.month == 2 && IsLeapYear(d.year)) return 29;
  return kDays[d.month - 1];
}

void NextMonth(PackedDate& d) {
  if (d.month >= 12) {
    d.month = 1;
    ++d.year;
  } else {
    ++d.month;
  }
}

void NextDay(PackedDate& d) {
  if (DaysInMonth(d) > d.day) {
    ++d.day;
  } else {
    d.day = 1;
    NextMonth(d);
  }
}

void PrevDay(PackedDate& d) {
  if (d.day > 1) {
    --d.day;
    return;
  }
  if (d.month <= 1) {
    d.month = 12;
    --d.year;
  } else {
    --d.month;
  }
  d.day = DaysInMonth(d);
}

std::string MonthName(int m) {
  static const char* const kNames[13] = {"-",       "Styczeń",  "Luty",     "Marzec",
                                         "Kwiecień", "Maj",      "Czerwiec", "Lipiec",
                                         "Sierpień", "Wrzesień", "Październik", "Listopad",
                                         "Grudzień"};
  std::string s = (m >= 0 && m <= 12) ? Pl(kNames[m]) : std::string();
  if (s.size() < 11) s.append(11 - s.size(), ' ');
  return s;
}

PackedDate GetDate(const uint8_t* rec, size_t off) {
  return PackedDate{rec[off], rec[off + 1], static_cast<uint16_t>(rec[off + 2] | (rec[off + 3] << 8))};
}

void PutDate(uint8_t* rec, size_t off, const PackedDate& d) {
  rec[off] = d.day;
  rec[off + 1] = d.month;
  rec[off + 2] = static_cast<uint8_t>(d.year);
  rec[off + 3] = static_cast<uint8_t>(d.year >> 8);
}

int32_t DateValue(const PackedDate& d) {
  return static_cast<int32_t>(static_cast<uint32_t>(d.day) | (static_cast<uint32_t>(d.month) << 8) |
                              (static_cast<uint32_t>(d.year) << 16));
}

void SetRandomState(uint32_t state) { g_random = state; }
uint32_t RandomState() { return g_random; }

uint32_t RandomBelow(uint32_t n) {
  g_random = g_random * 0x08088405u + 1u;
  return static_cast<uint32_t>((static_cast<uint64_t>(g_random) * n) >> 32);
}

bool ParseInt(const std::string& s, int32_t& value) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  const bool hex = i < s.size() && s[i] == '$';
  if (hex) ++i;
  if (i >= s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    v = v * (hex ? 16 : 10) + digit;
    if (v > 0xFFFFFFFFll) return false;
  }
  if (hex) {
    // Hexadecimal texts cover the whole 32-bit pattern ($FFFFFFFF is -1).
    int32_t r = static_cast<int32_t>(static_cast<uint32_t>(v));
    value = neg ? -r : r;
    return true;
  }
  if (neg) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

}  // namespace qm
