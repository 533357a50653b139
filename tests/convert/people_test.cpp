// Staff, family and personal tax form records carried into 2020.
#include <cstring>
#include <vector>

#include "base/cp852.h"
#include "base/dates.h"
#include "base/record_fields.h"
#include "convert/annual_settings.h"
#include "convert/people.h"
#include "run/package_config.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tests/convert/copy_support.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

bool LogShows(const std::string& utf8) { return LogText().find(utf8) != std::string::npos; }

// A record whose every byte differs from its neighbours, so that a field
// moved to a wrong offset or with a wrong width shows.
Bytes Pattern(size_t size, uint8_t salt) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 7 + (i >> 8) * 13 + salt);
  return b;
}

Bytes Staff(int64_t key, const std::string& surname, const std::string& first, PackedDate left = {}) {
  Bytes r = Pattern(kStaffRecSize, 3);
  PutI64(r.data(), 0, key);
  r[8] = 1;
  PutText(r.data(), 40, 31, Pl(surname));
  PutText(r.data(), 72, 22, Pl(first));
  PutDate(r.data(), 213, left);
  return r;
}

Bytes Scrambled(Bytes plain) {
  ScrambleStaffRecord(plain.data());
  plain[8] = 2;
  return plain;
}

class StaffTest : public QmTest {
 protected:
  // Runs the converter; the destination starts dirty, as ConvertRecords
  // leaves it from the previous record.
  bool Convert(const Bytes& src, Bytes& dst) {
    dst.assign(kStaffRecSize, 0xEE);
    return ConvertStaffRecord(src.data(), dst.data());
  }
};

TEST_F(StaffTest, PlainAndScrambledRecordsKeepTheirForm) {
  const Bytes plain = Staff(11, "Żółkiewski", "Jan");
  Bytes dst;
  ASSERT_TRUE(Convert(plain, dst));
  EXPECT_EQ(dst, plain);

  // Scrambled: the person is read through the scrambling and written back
  // scrambled with byte 8 = 2.
  const Bytes hidden = Scrambled(Staff(12, "Nowak", "Anna"));
  ASSERT_TRUE(Convert(hidden, dst));
  EXPECT_EQ(dst, hidden);
  EXPECT_TRUE(LogShows("osoba: Żółkiewski Jan"));
  EXPECT_TRUE(LogShows("osoba: Nowak Anna"));
  EXPECT_EQ(PersonCount, 2);
  EXPECT_EQ(PersonKeys[1], 11);
  EXPECT_EQ(PersonKeys[2], 12);
}

TEST_F(StaffTest, ScramblingCoversBytes15To2022WithTheSeededStream) {
  Bytes rec(kStaffRecSize, 0);
  ScrambleStaffRecord(rec.data());
  // The generator from seed 0x3E, step by step: state * 0x08088405 + 1,
  // value = high word of state * 255.
  uint32_t state = 0x3E;
  auto next = [&state] {
    state = state * 0x08088405u + 1u;
    return static_cast<uint8_t>((static_cast<uint64_t>(state) * 255u) >> 32);
  };
  for (int i = 0; i < 14; ++i) EXPECT_EQ(rec[i], 0) << i;
  for (int i = 14; i <= 2021; ++i) ASSERT_EQ(rec[i], next()) << i;
  for (int i = 2022; i < kStaffRecSize; ++i) EXPECT_EQ(rec[i], 0) << i;
  ScrambleStaffRecord(rec.data());
  EXPECT_EQ(rec, Bytes(kStaffRecSize, 0));
}

TEST_F(StaffTest, OverlongNamesAreCutAndNotInUseRecordsDropped) {
  Bytes src = Staff(5, "Kowalski", "Piotr");
  src[40] = 200;  // length byte beyond the 31-character field
  src[72] = 99;
  Bytes dst;
  ASSERT_TRUE(Convert(src, dst));
  Bytes want = src;
  want[40] = 31;
  want[72] = 22;
  EXPECT_EQ(dst, want);

  const Bytes unused = Staff(-1, "Usunięty", "X");
  EXPECT_FALSE(Convert(unused, dst));
  EXPECT_FALSE(LogShows("Usunięty"));
  EXPECT_EQ(PersonCount, 1);
}

TEST_F(StaffTest, EmployedOnLastDayOf2019Mode) {
  StaffModeNow = 1;
  struct Case {
    PackedDate left;
    bool carried;
  } cases[] = {
      {{30, 12, 2019}, false}, {{31, 12, 2019}, true}, {{}, true},
      {{1, 1, 2020}, true},    {{31, 12, 2018}, false},
  };
  int64_t key = 100;
  int carried = 0;
  for (const Case& c : cases) {
    const uint64_t before = con.nowMs;
    Bytes dst;
    EXPECT_EQ(Convert(Staff(++key, "Osoba", "Test", c.left), dst), c.carried) << DateToText(c.left);
    // A dropped person is shown for a quarter of a second.
    EXPECT_EQ(con.nowMs - before, c.carried ? 0u : 250u);
    if (c.carried) {
      EXPECT_EQ(PersonKeys[static_cast<size_t>(++carried)], key);
    }
  }
  EXPECT_EQ(PersonCount, carried);
  EXPECT_TRUE(LogShows("osoba: Osoba Test - zwolniony"));
}

TEST_F(StaffTest, AskModeWithTheAnswerW) {
  StaffModeNow = 2;
  // Unknown keys are ignored; lower case counts.
  con.Keys("x t 1 n w");
  Bytes dst;
  EXPECT_TRUE(Convert(Staff(1, "Pierwszy", "A"), dst));
  EXPECT_FALSE(Convert(Staff(2, "Drugi", "B"), dst));
  EXPECT_TRUE(Convert(Staff(3, "Trzeci", "C"), dst));
  EXPECT_EQ(StaffModeNow, 0);
  // No key left: a question now would end the script.
  EXPECT_TRUE(Convert(Staff(4, "Czwarty", "D"), dst));
  EXPECT_TRUE(Convert(Staff(5, "Piąty", "E"), dst));
  EXPECT_EQ(PersonCount, 4);
  EXPECT_EQ((std::vector<int64_t>{PersonKeys[1], PersonKeys[2], PersonKeys[3], PersonKeys[4]}),
            (std::vector<int64_t>{1, 3, 4, 5}));
  EXPECT_TRUE(LogShows("osoba: Drugi B Przenieść T/N /W  ?"));
  EXPECT_FALSE(LogShows("Czwarty D Przenieść"));
}

TEST_F(StaffTest, The2048thPersonOverflowsTheTable) {
  PersonCount = 2046;
  Bytes dst;
  ASSERT_TRUE(Convert(Staff(7, "A", "B"), dst));
  EXPECT_EQ(PersonKeys[2047], 7);
  con.Keys("Enter");
  ASSERT_TRUE(Convert(Staff(8, "C", "D"), dst));
  EXPECT_TRUE(LogShows("Upss... za dużo pracowników, nie połapię się w rodzinach !"));
  EXPECT_EQ(con.PendingCount(), 0u);
  EXPECT_EQ(PersonKeys[2048], 0);
  // Later persons are carried, not remembered, and no longer announced.
  ASSERT_TRUE(Convert(Staff(9, "E", "F"), dst));
  EXPECT_EQ(PersonCount, 2049);
}

Bytes Family(int64_t key, const std::string& surname, const std::string& first) {
  Bytes r = Pattern(kFamilyRecSize, 9);
  PutI64(r.data(), 0, key);
  PutText(r.data(), 46, 9, "ABC");
  PutText(r.data(), 56, 31, Pl(surname));
  PutText(r.data(), 88, 22, Pl(first));
  return r;
}

TEST_F(StaffTest, FamilyMembersFollowTheirPerson) {
  StaffModeNow = 2;
  con.Keys("t n");
  Bytes dst;
  Convert(Staff(21, "Kowal", "Jan"), dst);
  Convert(Staff(22, "Nowak", "Ewa"), dst);

  Bytes fdst(kFamilyRecSize, 0xEE);
  Bytes member = Family(21, "Kowal", "Zosia");
  member[46] = 50;  // cut to 9
  ASSERT_TRUE(ConvertFamilyRecord(member.data(), fdst.data()));
  Bytes want = member;
  want[46] = 9;
  EXPECT_EQ(fdst, want);
  EXPECT_TRUE(LogShows("  Kowal Zosia"));

  con.Keys("Enter");
  EXPECT_FALSE(ConvertFamilyRecord(Family(22, "Nowak", "Adam").data(), fdst.data()));
  EXPECT_TRUE(LogShows("Nie odnaleziono osoby związanej z członkiem rodziny !"));
  EXPECT_EQ(con.PendingCount(), 0u);
  EXPECT_EQ(fdst, Bytes(kFamilyRecSize, 0));

  EXPECT_FALSE(ConvertFamilyRecord(Family(-5, "X", "Y").data(), fdst.data()));
}

TEST_F(StaffTest, FamilySearchBeyondTheTable) {
  PersonCount = 3000;
  for (size_t i = 1; i < 2048; ++i) PersonKeys[i] = static_cast<int64_t>(1000 + i);
  PersonKeys[2047] = 77;
  Bytes fdst(kFamilyRecSize);
  con.Keys("Enter");
  EXPECT_TRUE(ConvertFamilyRecord(Family(77, "A", "B").data(), fdst.data()));
  EXPECT_TRUE(LogShows("Upss... Wskaźnik osoby > max ilość osob !"));
  // Slot 2048 is never filled: a key of 0 must not be found there.
  con.Keys("Enter Enter");
  EXPECT_FALSE(ConvertFamilyRecord(Family(0, "C", "D").data(), fdst.data()));
  EXPECT_EQ(con.PendingCount(), 0u);
}

// Personal tax form records.
Bytes TaxForm(int64_t key, uint16_t yearAt14, uint16_t yearAt18) {
  Bytes r = Pattern(kTaxFormRecSize, 5);
  PutI64(r.data(), 0, key);
  PutU16(r.data(), 14, yearAt14);
  PutU16(r.data(), 18, yearAt18);
  PutText(r.data(), 105, 31, Pl("Wiśniewski"));
  PutText(r.data(), 137, 22, Pl("Łukasz"));
  return r;
}

void CopyRange(Bytes& dst, const Bytes& src, size_t dstOff, size_t srcOff, size_t n) {
  std::memcpy(dst.data() + dstOff, src.data() + srcOff, n);
}
// A text copied as a field: its length byte and characters only.
void CopyField(Bytes& dst, const Bytes& src, size_t off, size_t cap) {
  const size_t len = std::min<size_t>(src[off], cap);
  dst[off] = static_cast<uint8_t>(len);
  std::memcpy(dst.data() + off + 1, src.data() + off + 1, len);
}

// Length bytes of every text field the converters re-store, set within
// their capacity (the pattern would otherwise cut them).
void TameTexts(Bytes& r) {
  for (size_t i = 1; i <= 8; ++i) {
    for (size_t base : {285 + 103 * i, 4501 + 103 * i}) {
      r[base + 29] = 20;
      r[base + 66] = 35;
    }
  }
  for (size_t i = 1; i <= 2; ++i) {
    const size_t base = 8651 + 169 * i;
    r[base] = 13;
    r[base + 14] = 4;
    r[base + 29] = 36;
    r[base + 66] = 1;
    r[base + 103] = 0;
    r[base + 140] = 17;
  }
}

class TaxFormTest : public QmTest {};

TEST_F(TaxFormTest, Pid5RebuiltForANewYear) {
  Bytes src = TaxForm(42, 2019, 2019);
  TameTexts(src);
  src[13888] = 0;  // a zero mark becomes 1
  src[13889] = 7;
  src[13890] = 0;
  Use2020AnnualData = true;  // but the form is of 2019
  Bytes dst(kTaxFormRecSize, 0xEE);
  ASSERT_TRUE(ConvertPid5Record(src.data(), dst.data()));

  Bytes want(kTaxFormRecSize, 0);
  PutI64(want.data(), 0, 42);
  PutDate(want.data(), 12, PackedDate{1, 1, 2020});
  CopyRange(want, src, 20, 20, 70);
  CopyRange(want, src, 91, 91, 73);
  CopyRange(want, src, 164, 164, 224);
  for (size_t i = 1; i <= 8; ++i) {
    CopyRange(want, src, 285 + 103 * i, 285 + 103 * i, 103);
    CopyRange(want, src, 788 + 424 * i, 876 + 424 * i, 8);
    CopyRange(want, src, 4501 + 103 * i, 4501 + 103 * i, 103);
    CopyRange(want, src, 5004 + 424 * i, 5092 + 424 * i, 8);
  }
  for (size_t i = 1; i <= 2; ++i) {
    const size_t base = 8651 + 169 * i;
    for (auto [off, cap] : {std::pair<size_t, size_t>{0, 13}, {14, 14}, {29, 36}, {66, 36}, {103, 36}, {140, 18}}) {
      CopyField(want, src, base + off, cap);
    }
    CopyRange(want, src, base + 159, base + 159, 10);
    CopyRange(want, src, 8636 + 522 * i, 8724 + 522 * i, 8);
  }
  for (size_t off : {13884, 13929, 13943}) want[off] = src[off];
  for (size_t off : {13886, 13899, 13903}) CopyRange(want, src, off, off, 2);
  want[13888] = 1;
  want[13889] = 7;
  want[13890] = 1;
  for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(dst[i], want[i]) << "offset " << i;
  EXPECT_TRUE(LogShows("Osoba: Wiśniewski Łukasz"));
}

TEST_F(TaxFormTest, Pid5TakenOverWhenAlreadyOf2020) {
  Bytes src = TaxForm(43, 2020, 2020);
  TameTexts(src);
  src[314] = 0x5A;
  src[13888] = 0;
  Use2020AnnualData = true;
  Bytes dst(kTaxFormRecSize, 0xEE);
  ASSERT_TRUE(ConvertPid5Record(src.data(), dst.data()));
  Bytes want = src;
  want[314] = 0;
  want[13888] = 1;
  // The first group's amounts move even in a taken-over form.
  for (size_t i = 1; i <= 8; ++i) CopyRange(want, src, 788 + 424 * i, 876 + 424 * i, 8);
  for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(dst[i], want[i]) << "offset " << i;

  // Without 2020 annual data the same form is rebuilt.
  Use2020AnnualData = false;
  ASSERT_TRUE(ConvertPid5Record(src.data(), dst.data()));
  EXPECT_EQ(GetDate(dst.data(), 12), (PackedDate{1, 1, 2020}));
  EXPECT_EQ(GetU32(dst.data(), 16), 0u);
  EXPECT_EQ(dst[314], src[314]);  // carried inside the address block
}

TEST_F(TaxFormTest, Pit28MonthBlocksTakeTheDecemberValue) {
  Bytes src = TaxForm(44, 2019, 2020);
  PutU16(src.data(), 5783, 0xBEEF);
  Bytes dst(kTaxFormRecSize, 0xEE);
  ASSERT_TRUE(ConvertPit28Record(src.data(), dst.data()));
  Bytes want(kTaxFormRecSize, 0);
  PutI64(want.data(), 0, 44);
  PutDate(want.data(), 12, PackedDate{1, 1, 2020});
  CopyRange(want, src, 20, 20, 70);
  CopyRange(want, src, 91, 91, 73);
  CopyRange(want, src, 164, 164, 224);
  for (size_t m = 0; m < 12; ++m) {
    PutU16(want.data(), 393 + 490 * m, 0xBEEF);
    want[877 + 490 * m] = 3;
  }
  want[13943] = src[13943];
  for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(dst[i], want[i]) << "offset " << i;

  // With 2020 annual data and a 2020 date at 16 that date is kept.
  Use2020AnnualData = true;
  ASSERT_TRUE(ConvertPit28Record(src.data(), dst.data()));
  EXPECT_EQ(GetU32(dst.data(), 16), GetU32(src.data(), 16));
}

TEST_F(TaxFormTest, PersonQuestionInAskMode) {
  Pid5Mode = 1;
  const Bytes src = TaxForm(45, 2019, 2019);
  Bytes dst(kTaxFormRecSize);
  con.Keys("w n");
  EXPECT_FALSE(ConvertPid5Record(src.data(), dst.data()));
  con.Keys("T");
  EXPECT_TRUE(ConvertPit28Record(src.data(), dst.data()));
  EXPECT_TRUE(LogShows("Osoba: Wiśniewski Łukasz Przenieść T/N ?"));
  EXPECT_EQ(con.PendingCount(), 0u);
}

}  // namespace
}  // namespace qm::test
