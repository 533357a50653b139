#include "base/cp852.h"

#include <array>
#include <unordered_map>

namespace qm {
namespace {

// Glyphs of the codes 0x00-0x1F as the PC character set draws them.
constexpr std::array<char32_t, 32> kLowGlyphs = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};

constexpr char32_t kHouse = 0x2302;  // glyph of 0x7F

// Codes 0x80-0xFF of code page 852.
constexpr std::array<char32_t, 128> kHigh = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x016F, 0x0107, 0x00E7,
    0x0142, 0x00EB, 0x0150, 0x0151, 0x00EE, 0x0179, 0x00C4, 0x0106,
    0x00C9, 0x0139, 0x013A, 0x00F4, 0x00F6, 0x013D, 0x013E, 0x015A,
    0x015B, 0x00D6, 0x00DC, 0x0164, 0x0165, 0x0141, 0x00D7, 0x010D,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x0104, 0x0105, 0x017D, 0x017E,
    0x0118, 0x0119, 0x00AC, 0x017A, 0x010C, 0x015F, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x011A,
    0x015E, 0x2563, 0x2551, 0x2557, 0x255D, 0x017B, 0x017C, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x0102, 0x0103,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x0111, 0x0110, 0x010E, 0x00CB, 0x010F, 0x0147, 0x00CD, 0x00CE,
    0x011B, 0x2518, 0x250C, 0x2588, 0x2584, 0x0162, 0x016E, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x0143, 0x0144, 0x0148, 0x0160, 0x0161,
    0x0154, 0x00DA, 0x0155, 0x0170, 0x00FD, 0x00DD, 0x0163, 0x00B4,
    0x00AD, 0x02DD, 0x02DB, 0x02C7, 0x02D8, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x02D9, 0x0171, 0x0158, 0x0159, 0x25A0, 0x00A0};

const std::unordered_map<char32_t, uint8_t>& ReverseTable() {
  static const std::unordered_map<char32_t, uint8_t> table = [] {
    std::unordered_map<char32_t, uint8_t> t;
    for (int i = 0; i < 128; ++i) t.emplace(kHigh[i], static_cast<uint8_t>(0x80 + i));
    for (int i = 1; i < 32; ++i) t.emplace(kLowGlyphs[i], static_cast<uint8_t>(i));
    t.emplace(kHouse, 0x7F);
    return t;
  }();
  return table;
}

}  // namespace

char32_t Cp852ToUnicode(uint8_t code) {
  if (code < 0x20) return kLowGlyphs[code];
  if (code == 0x7F) return kHouse;
  if (code < 0x80) return code;
  return kHigh[code - 0x80];
}

bool UnicodeToCp852(char32_t cp, uint8_t& code) {
  if (cp < 0x80) {
    code = static_cast<uint8_t>(cp);
    return true;
  }
  const auto& t = ReverseTable();
  auto it = t.find(cp);
  if (it == t.end()) return false;
  code = it->second;
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char32_t DecodeUtf8(std::string_view s, size_t& pos) {
  const auto b0 = static_cast<uint8_t>(s[pos]);
  int extra = 0;
  char32_t cp = 0;
  if (b0 < 0x80) {
    ++pos;
    return b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3;
    cp = b0 & 0x07;
  } else {
    ++pos;
    return 0xFFFD;
  }
  if (pos + extra >= s.size()) {
    ++pos;
    return 0xFFFD;
  }
  for (int i = 1; i <= extra; ++i) {
    const auto b = static_cast<uint8_t>(s[pos + i]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  pos += extra + 1;
  return cp;
}

std::string Utf8ToCp852(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t cp = DecodeUtf8(utf8, pos);
    uint8_t code;
    out += UnicodeToCp852(cp, code) ? static_cast<char>(code) : '?';
  }
  return out;
}

std::string Cp852ToUtf8(std::string_view cp852, bool glyphs) {
  std::string out;
  out.reserve(cp852.size() * 2);
  for (char c : cp852) {
    const auto code = static_cast<uint8_t>(c);
    if (!glyphs && (code < 0x20 || code == 0x7F))
      out += c;
    else
      AppendUtf8(out, Cp852ToUnicode(code));
  }
  return out;
}

}  // namespace qm
