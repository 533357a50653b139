#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/cp852.h"

namespace qm {
namespace {

std::u32string DecodeAll(const std::string& utf8) {
  std::u32string out;
  size_t pos = 0;
  while (pos < utf8.size()) out += DecodeUtf8(utf8, pos);
  return out;
}

// The upper half of the code page against the system's converter, which is
// an independent source for the table.
TEST(Cp852, UpperHalfMatchesSystemConverter) {
  if (std::system("iconv --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "iconv missing";
  const auto path = std::filesystem::temp_directory_path() / "qm_cp852_upper.bin";
  {
    std::ofstream f(path, std::ios::binary);
    for (int c = 0x80; c <= 0xFF; ++c) f.put(static_cast<char>(c));
  }
  const std::string cmd = "iconv -f CP852 -t UTF-8 '" + path.string() + "'";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string utf8;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) utf8.append(buf, n);
  const int rc = pclose(p);
  std::filesystem::remove(path);
  if (rc != 0) GTEST_SKIP() << "iconv has no CP852";
  const std::u32string expected = DecodeAll(utf8);
  ASSERT_EQ(expected.size(), 128u);
  for (int i = 0; i < 128; ++i) {
    const auto code = static_cast<uint8_t>(0x80 + i);
    EXPECT_EQ(Cp852ToUnicode(code), expected[i]) << "code 0x" << std::hex << int(code);
    uint8_t back = 0;
    EXPECT_TRUE(UnicodeToCp852(expected[i], back));
    EXPECT_EQ(back, code);
  }
}

TEST(Cp852, ControlCodesShowPcGlyphs) {
  const struct {
    uint8_t code;
    char32_t glyph;
  } table[] = {{0x00, U' '},    {0x01, U'\u263A'}, {0x03, U'\u2665'}, {0x07, U'\u2022'},
               {0x0D, U'\u266A'}, {0x10, U'\u25BA'}, {0x1A, U'\u2192'}, {0x1F, U'\u25BC'},
               {0x7F, U'\u2302'}};
  for (const auto& row : table) {
    EXPECT_EQ(Cp852ToUnicode(row.code), row.glyph) << int(row.code);
    // A file name keeps the code itself: on disk it is never the glyph.
    const std::string name(1, static_cast<char>(row.code));
    EXPECT_EQ(Cp852ToUtf8(name), name) << int(row.code);
    if (row.code != 0) {
      uint8_t back = 0;
      EXPECT_TRUE(UnicodeToCp852(row.glyph, back));
      EXPECT_EQ(back, row.code);
    }
  }
}

TEST(Cp852, RoundTrips) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  // File names and logs keep control codes as they are.
  EXPECT_EQ(Utf8ToCp852(Cp852ToUtf8(all, false)), all);
  // On screen every code comes back from its glyph, except 0 (a blank) and
  // 0x15, whose glyph is the section sign that the code page holds at 0xF5.
  std::string shown = all;
  shown[0] = ' ';
  shown[0x15] = '\xF5';
  EXPECT_EQ(Utf8ToCp852(Cp852ToUtf8(all, true)), shown);
  EXPECT_EQ(Pl("Zażółć gęślą jaźń"), "Za\xBE\xA2\x88\x86 g\xA9\x98l\xA5 ja\xAB\xE4");
  EXPECT_EQ(Cp852ToUtf8(Pl("ĄĆĘŁŃÓŚŹŻ")), "ĄĆĘŁŃÓŚŹŻ");
}

TEST(Cp852, UnmappableAndMalformedInputBecomesQuestionMark) {
  EXPECT_EQ(Utf8ToCp852("a€b"), "a?b");       // no euro sign in the code page
  EXPECT_EQ(Utf8ToCp852("a\xC5"), "a?");       // truncated sequence at the end
  EXPECT_EQ(Utf8ToCp852("\xFF" "x"), "?x");    // invalid lead byte
  EXPECT_EQ(Utf8ToCp852("\xC5x"), "?x");       // missing continuation byte
  EXPECT_EQ(Utf8ToCp852("\xF0\x9F\x98\x80"), "?");  // four-byte character
}

}  // namespace
}  // namespace qm
