#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/cp852.h"
#include "base/polish.h"

namespace qm {
namespace {

TEST(PolishCase, AccentedLettersAndOthers) {
  EXPECT_EQ(PlUpperCase(Pl("ąćęłńóśżź 09")), Pl("ĄĆĘŁŃÓŚŻŹ 09"));
  EXPECT_EQ(PlLowerCase(Pl("ĄĆĘŁŃÓŚŻŹ AZ")), Pl("ąćęłńóśżź az"));
  EXPECT_EQ(PlUpperCase(Pl("üëäöőčš")), Pl("ÜËÄÖŐČŠ"));
  EXPECT_EQ(PlLowCaseChar(0x9D), 0x88);  // Ł -> ł
  // Unchanged: a digit, an accented letter outside the table (é, ç, ý), a
  // frame character, the characters just around a..z and A..Z.
  for (uint8_t c : {uint8_t('7'), uint8_t(0x82), uint8_t(0x87), uint8_t(0xEC), uint8_t(0xC9), uint8_t(0xB3),
                    uint8_t('@'), uint8_t('['), uint8_t('`'), uint8_t('{')}) {
    EXPECT_EQ(PlUpCaseChar(c), c) << int(c);
    EXPECT_EQ(PlLowCaseChar(c), c) << int(c);
  }
}

TEST(PolishCase, MappingsAreInverseOnEveryCode) {
  int changed = 0;
  for (int c = 0; c < 256; ++c) {
    const uint8_t up = PlUpCaseChar(static_cast<uint8_t>(c));
    const uint8_t low = PlLowCaseChar(static_cast<uint8_t>(c));
    if (up != c) {
      ++changed;
      EXPECT_EQ(PlLowCaseChar(up), c) << c;
    }
    if (low != c) {
      EXPECT_EQ(PlUpCaseChar(low), c) << c;
    }
    EXPECT_FALSE(up != c && low != c) << c;
  }
  EXPECT_EQ(changed, 26 + 16);
}

TEST(PolishCollation, WeightsFormOneSequenceOf159) {
  std::set<int> weights;
  int outside = 0;
  for (int c = 0; c < 256; ++c) {
    const int w = PlWeight(static_cast<uint8_t>(c));
    if (w == 255)
      ++outside;
    else
      EXPECT_TRUE(weights.insert(w).second) << "weight " << w << " twice";
  }
  EXPECT_EQ(weights.size(), 159u);
  EXPECT_EQ(*weights.begin(), 1);
  EXPECT_EQ(*weights.rbegin(), 159);
  EXPECT_EQ(outside, 256 - 159);
  EXPECT_EQ(PlWeight(0), 1);
  EXPECT_EQ(PlWeight('_'), 33);
  EXPECT_EQ(PlWeight(' '), 34);
  EXPECT_EQ(PlWeight('@'), 66);
  EXPECT_EQ(PlWeight('A'), 67);
  EXPECT_EQ(PlWeight(0xAB), 150);  // ź
  EXPECT_EQ(PlWeight('~'), 159);
}

TEST(PolishCollation, CompareTable) {
  const struct {
    const char* a;
    const char* b;
    int expected;
  } table[] = {
      {"Lis", "Łis", 1},       {"Zebra", "Źebra", 1}, {"Żaba", "Źaba", 1},  {"łania", "Ma", 1},
      {"abc", "abcd", 1},      {"abc", "abc", 0},     {"", "", 0},          {"A", "a", 1},
      {"a", "Ą", 1},           {"ą", "B", 1},         {"_", " ", 1},        {" ", "!", 1},
      {"9", "A", 1},           {"@", "A", 1},         {"ź", "[", 1},        {"Ó", "o", -1},
      {"z", "Ż", 1},           {"Sad", "Śad", 1},     {"Śad", "Šad", 1},    {"ab", "a", -1},
      {"\x7F", "╔", 0},        {"x╔", "x│", 0},       {"é", "ç", 0},        {"Kowalski", "KOWALSKI", -1},
  };
  for (const auto& row : table) {
    const std::string a = Pl(row.a), b = Pl(row.b);
    EXPECT_EQ(PlCompare(a, b), row.expected) << row.a << " / " << row.b;
    EXPECT_EQ(PlCompare(b, a), -row.expected) << row.b << " / " << row.a;
  }
}

}  // namespace
}  // namespace qm
