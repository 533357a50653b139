#include "base/text.h"

#include <algorithm>

namespace qm {

std::string PadRight(const std::string& text, size_t len) {
  if (text.size() >= len) return text.substr(0, len);
  return text + std::string(len - text.size(), ' ');
}

std::string Spaces(size_t n) { return std::string(n, ' '); }

std::string IntToStr(int64_t n) { return std::to_string(n); }

std::string TextIf(bool cond, const std::string& text) { return cond ? text : std::string(); }

std::string TwoDigits(int n) {
  n = std::clamp(n, 0, 99);
  return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

bool HasFlags(uint32_t mask, uint32_t value) { return (value & mask) == mask; }

}  // namespace qm
