// Small text helpers of the program's screens and records: padding,
// numbers and conditional pieces.
#pragma once
#include <cstdint>
#include <string>

namespace qm {

// Cut or padded with blanks to exactly len characters.
std::string PadRight(const std::string& text, size_t len);
std::string Spaces(size_t n);
std::string IntToStr(int64_t n);
std::string TextIf(bool cond, const std::string& text);
// 0..99 as two digits; values outside are clamped.
std::string TwoDigits(int n);
bool HasFlags(uint32_t mask, uint32_t value);

}  // namespace qm
