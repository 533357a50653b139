#include "base/polish.h"

#include <array>

namespace qm {
namespace {

// The sixteen accented letter pairs (lower, upper), in the order of the
// package's case tables.
constexpr std::array<std::array<uint8_t, 2>, 16> kPairs = {{
    {0xA5, 0xA4},  // ą Ą
    {0x86, 0x8F},  // ć Ć
    {0xA9, 0xA8},  // ę Ę
    {0x88, 0x9D},  // ł Ł
    {0xE4, 0xE3},  // ń Ń
    {0xA2, 0xE0},  // ó Ó
    {0x98, 0x97},  // ś Ś
    {0xBE, 0xBD},  // ż Ż
    {0xAB, 0x8D},  // ź Ź
    {0x81, 0x9A},  // ü Ü
    {0x89, 0xD3},  // ë Ë
    {0x84, 0x8E},  // ä Ä
    {0x94, 0x99},  // ö Ö
    {0x8B, 0x8A},  // ő Ő
    {0x9F, 0xAC},  // č Č
    {0xE7, 0xE6},  // š Š
}};

struct Tables {
  std::array<uint8_t, 256> up{}, low{}, weight{};
};

// Letters in collation order, upper before lower, accented after their base.
// Each entry is an (upper, lower) pair.
constexpr std::array<std::array<uint8_t, 2>, 42> kLetterOrder = {{
    {'A', 'a'}, {0xA4, 0xA5}, {0x8E, 0x84}, {'B', 'b'}, {'C', 'c'}, {0x8F, 0x86},
    {0xAC, 0x9F}, {'D', 'd'}, {'E', 'e'}, {0xA8, 0xA9}, {0xD3, 0x89}, {'F', 'f'},
    {'G', 'g'}, {'H', 'h'}, {'I', 'i'}, {'J', 'j'}, {'K', 'k'}, {'L', 'l'},
    {0x9D, 0x88}, {'M', 'm'}, {'N', 'n'}, {0xE3, 0xE4}, {'O', 'o'}, {0xE0, 0xA2},
    {0x99, 0x94}, {0x8A, 0x8B}, {'P', 'p'}, {'Q', 'q'}, {'R', 'r'}, {'S', 's'},
    {0x97, 0x98}, {0xE6, 0xE7}, {'T', 't'}, {'U', 'u'}, {0x9A, 0x81}, {'V', 'v'},
    {'W', 'w'}, {'X', 'x'}, {'Y', 'y'}, {'Z', 'z'}, {0xBD, 0xBE}, {0x8D, 0xAB},
}};

const Tables& T() {
  static const Tables t = [] {
    Tables t;
    for (int c = 0; c < 256; ++c) {
      t.up[c] = t.low[c] = static_cast<uint8_t>(c);
      t.weight[c] = 255;
    }
    for (int c = 'a'; c <= 'z'; ++c) {
      t.up[c] = static_cast<uint8_t>(c - 32);
      t.low[c - 32] = static_cast<uint8_t>(c);
    }
    for (const auto& p : kPairs) {
      t.up[p[0]] = p[1];
      t.low[p[1]] = p[0];
    }
    int w = 1;
    for (int c = 0; c < 32; ++c) t.weight[c] = static_cast<uint8_t>(w++);
    t.weight['_'] = static_cast<uint8_t>(w++);
    t.weight[' '] = static_cast<uint8_t>(w++);
    for (int c = 0x21; c <= 0x40; ++c) t.weight[c] = static_cast<uint8_t>(w++);
    for (const auto& p : kLetterOrder) {
      t.weight[p[0]] = static_cast<uint8_t>(w++);
      t.weight[p[1]] = static_cast<uint8_t>(w++);
    }
    for (int c : {0x5B, 0x5C, 0x5D, 0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E})
      t.weight[c] = static_cast<uint8_t>(w++);
    return t;
  }();
  return t;
}

}  // namespace

uint8_t PlUpCaseChar(uint8_t ch) { return T().up[ch]; }
uint8_t PlLowCaseChar(uint8_t ch) { return T().low[ch]; }
uint8_t PlWeight(uint8_t ch) { return T().weight[ch]; }

std::string PlUpperCase(std::string s) {
  for (char& c : s) c = static_cast<char>(PlUpCaseChar(static_cast<uint8_t>(c)));
  return s;
}

std::string PlLowerCase(std::string s) {
  for (char& c : s) c = static_cast<char>(PlLowCaseChar(static_cast<uint8_t>(c)));
  return s;
}

int16_t PlCompare(const std::string& a, const std::string& b) {
  const size_t n = a.size() > b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    // The shorter text is extended with code 0, the lightest character.
    const uint8_t wa = PlWeight(i < a.size() ? static_cast<uint8_t>(a[i]) : 0);
    const uint8_t wb = PlWeight(i < b.size() ? static_cast<uint8_t>(b[i]) : 0);
    if (wa != wb) return wa < wb ? 1 : -1;
  }
  return 0;
}

}  // namespace qm
