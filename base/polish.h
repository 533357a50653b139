// Polish letters in code page 852: case mapping and the collation in which
// each accented letter follows its base letter.
#pragma once
#include <cstdint>
#include <string>

namespace qm {

uint8_t PlUpCaseChar(uint8_t ch);
uint8_t PlLowCaseChar(uint8_t ch);
std::string PlUpperCase(std::string s);
std::string PlLowerCase(std::string s);
// Collation weight 1..159, 255 for codes outside the sequence.
uint8_t PlWeight(uint8_t ch);
// +1 when a sorts before b, 0 when equal, -1 when a sorts after b
// (note the sign: positive means a comes first). Case is significant.
int16_t PlCompare(const std::string& a, const std::string& b);

}  // namespace qm
