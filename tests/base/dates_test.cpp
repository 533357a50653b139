#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/cp852.h"
#include "base/dates.h"

namespace qm {
namespace {

PackedDate D(int day, int month, int year) {
  PackedDate d;
  SetDate(d, static_cast<uint8_t>(day), static_cast<uint8_t>(month), static_cast<uint16_t>(year));
  return d;
}

TEST(Dates, ToText) {
  const struct {
    PackedDate d;
    const char* text;
  } table[] = {
      {D(5, 1, 2020), "05-01-2020"}, {D(5, 1, 999), "05-01-0999"}, {D(31, 12, 2999), "31-12-2999"},
      {D(1, 1, 1), "01-01-0001"},    {D(0, 0, 0), "-"},            {D(32, 1, 2020), "-"},
      {D(1, 1, 3000), "-"},          {D(1, 13, 2020), "-"},        {D(0, 1, 2020), "-"},
      {D(1, 1, 0), "-"},
  };
  for (const auto& row : table) EXPECT_EQ(DateToText(row.d), row.text) << row.text;
}

TEST(Dates, FromText) {
  const struct {
    const char* text;
    PackedDate d;
  } table[] = {
      {"05-01-2020", D(5, 1, 2020)},  {"31-02-2020", D(31, 2, 2020)}, {"05/01/2020", D(5, 1, 2020)},
      {" 5- 1-2020", D(5, 1, 2020)},  {"1-1-2020", D(0, 0, 0)},       {"-", D(0, 0, 0)},
      {"", D(0, 0, 0)},               {"ab-01-2020", D(0, 0, 0)},     {"05-13-2020", D(0, 0, 0)},
      {"05-01-3000", D(0, 0, 0)},     {"00-01-2020", D(0, 0, 0)},     {"05-01-2020 ", D(0, 0, 0)},
      {"-5-01-2020", D(0, 0, 0)},
  };
  for (const auto& row : table) {
    PackedDate d = D(9, 9, 9);
    TextToDate(row.text, d);
    EXPECT_EQ(d, row.d) << '"' << row.text << '"';
  }
}

TEST(Dates, DayArithmetic) {
  const struct {
    PackedDate from;
    PackedDate next;
  } table[] = {
      {D(28, 2, 2020), D(29, 2, 2020)}, {D(29, 2, 2020), D(1, 3, 2020)}, {D(28, 2, 2019), D(1, 3, 2019)},
      {D(31, 12, 2019), D(1, 1, 2020)}, {D(30, 4, 2020), D(1, 5, 2020)}, {D(28, 2, 2100), D(1, 3, 2100)},
      {D(28, 2, 2000), D(29, 2, 2000)}, {D(15, 6, 2020), D(16, 6, 2020)},
  };
  for (const auto& row : table) {
    PackedDate d = row.from;
    NextDay(d);
    EXPECT_EQ(d, row.next) << DateToText(row.from);
    PrevDay(d);
    EXPECT_EQ(d, row.from) << DateToText(row.next);
  }
  PackedDate d = D(1, 1, 2020);
  PrevDay(d);
  EXPECT_EQ(d, D(31, 12, 2019));
  d = D(1, 0, 2020);  // a month of 0 goes back to December of the year before
  PrevDay(d);
  EXPECT_EQ(d, D(31, 12, 2019));
  d = D(31, 1, 2020);  // the day is kept, real or not
  NextMonth(d);
  EXPECT_EQ(d, D(31, 2, 2020));
  d = D(1, 12, 2019);
  NextMonth(d);
  EXPECT_EQ(d, D(1, 1, 2020));
}

TEST(Dates, LeapYearsAndMonthLengths) {
  EXPECT_FALSE(IsLeapYear(2100));
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2020));
  EXPECT_FALSE(IsLeapYear(2019));
  const int days2020[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; ++m) EXPECT_EQ(DaysInMonth(D(1, m, 2020)), days2020[m - 1]) << m;
  EXPECT_EQ(DaysInMonth(D(1, 2, 2019)), 28);
  EXPECT_EQ(DaysInMonth(D(1, 0, 2019)), 0);
  EXPECT_EQ(DaysInMonth(D(1, 13, 2019)), 0);
}

TEST(Dates, MonthNames) {
  EXPECT_EQ(MonthName(0), "-" + std::string(10, ' '));
  EXPECT_EQ(MonthName(5), "Maj" + std::string(8, ' '));
  EXPECT_EQ(MonthName(10), Pl("Październik"));
  EXPECT_EQ(MonthName(1), Pl("Styczeń    "));
  for (int m = 0; m <= 12; ++m) EXPECT_EQ(MonthName(m).size(), 11u) << m;
}

TEST(Dates, RecordFormAndOrder) {
  uint8_t rec[6] = {0xEE, 0, 0, 0, 0, 0xEE};
  PutDate(rec, 1, D(5, 1, 2020));
  EXPECT_EQ(rec[1], 5);
  EXPECT_EQ(rec[2], 1);
  EXPECT_EQ(rec[3], 0xE4);  // 2020 = 0x07E4, little-endian
  EXPECT_EQ(rec[4], 0x07);
  EXPECT_EQ(rec[0], 0xEE);
  EXPECT_EQ(rec[5], 0xEE);
  EXPECT_EQ(GetDate(rec, 1), D(5, 1, 2020));
  EXPECT_LT(DateValue(D(31, 12, 2019)), DateValue(D(1, 1, 2020)));
  EXPECT_LT(DateValue(D(31, 1, 2020)), DateValue(D(1, 2, 2020)));
  EXPECT_LT(DateValue(D(1, 2, 2020)), DateValue(D(2, 2, 2020)));
}

TEST(Generator, SequenceFromFixedSeed) {
  // Worked by hand from state := state * 0x08088405 + 1 and the high word
  // of state * n: the first state from 0x3E is 0xF20FF937.
  SetRandomState(0x3E);
  const std::vector<uint32_t> expected = {241, 120, 9, 143, 253, 200, 150, 53};
  std::vector<uint32_t> got;
  for (size_t i = 0; i < expected.size(); ++i) got.push_back(RandomBelow(255));
  EXPECT_EQ(got, expected);
  SetRandomState(0x3E);
  EXPECT_EQ(RandomBelow(32767), 30983u);
  EXPECT_EQ(RandomState(), 0xF20FF937u);
  SetRandomState(0xFFFFFFFF);
  EXPECT_EQ(RandomBelow(1), 0u);
  EXPECT_EQ(RandomBelow(0), 0u);
}

TEST(ParseInt, Forms) {
  const struct {
    const char* text;
    bool ok;
    int32_t value;
  } table[] = {
      {"12", true, 12},          {"  12", true, 12},          {"+7", true, 7},
      {"-5", true, -5},          {"$1F", true, 31},           {"$1f", true, 31},
      {"$FFFFFFFF", true, -1},   {"2147483647", true, 2147483647}, {"-2147483648", true, INT32_MIN},
      {"007", true, 7},          {"!", false, 0},             {"", false, 0},
      {"   ", false, 0},         {"12 ", false, 0},           {"12a", false, 0},
      {"1 2", false, 0},         {"$", false, 0},             {"-", false, 0},
      {"2147483648", false, 0},  {"$100000000", false, 0},    {"1F", false, 0},
      {"99999999999999999999", false, 0},
  };
  for (const auto& row : table) {
    int32_t v = 12345;
    EXPECT_EQ(ParseInt(row.text, v), row.ok) << '"' << row.text << '"';
    if (row.ok) {
      EXPECT_EQ(v, row.value) << '"' << row.text << '"';
    }
  }
}

}  // namespace
}  // namespace qm
