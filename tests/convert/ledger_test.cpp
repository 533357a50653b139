// Ledger journals: 2020 entries and repayments carried from the 2019
// directory, the carried files hidden, and 2019 journals corrected.
#include <filesystem>
#include <set>
#include <string>

#include "base/dates.h"
#include "base/record_fields.h"
#include "convert/copy_engine.h"
#include "convert/ledger.h"
#include "platform/host_fs.h"
#include "tests/convert/copy_support.h"
#include "tests/support/faulty_fs.h"

namespace qm::test {
namespace {

constexpr size_t kEntry = 1024;

// A ledger entry with distinct bytes everywhere and the fields the program
// reads set as asked.
Bytes Entry(uint32_t salt, PackedDate a, PackedDate b, uint8_t kind, uint16_t flags,
            const std::string& doc = "DOK/1", const std::string& text = "opis") {
  Bytes e = Distinct(kEntry, salt);
  PutDate(e.data(), 14, a);
  PutDate(e.data(), 18, PackedDate{3, 2, 2020});
  PutDate(e.data(), 22, b);
  PutU16(e.data(), 30, flags);
  PutText(e.data(), 55, 20, doc);
  PutText(e.data(), 148, 60, Pl(text));
  e[237] = kind;
  return e;
}

constexpr PackedDate kDec2019{10, 12, 2019};
constexpr PackedDate kJan2020{5, 1, 2020};
constexpr PackedDate kMar2020{7, 3, 2020};
constexpr PackedDate kNone{0, 0, 0};

class LedgerTest : public CompanyTest {
 protected:
  void SetUp() override {
    CompanyTest::SetUp();
    MakeDir("2020/FIRMA");
    con.capture = true;
  }
  bool ScreensShow(const std::string& utf8) const {
    for (const std::string& s : con.screens) {
      if (s.find(utf8) != std::string::npos) return true;
    }
    return false;
  }
};

// ---- the correction of the 2019 journals -----------------------------------

TEST_F(LedgerTest, December2019EntryDatedJanuary2020MovesToTheEndOfThe2020January) {
  const Bytes stays = Entry(1, kDec2019, kNone, 0, 0x0001);
  const Bytes moves = Entry(2, kJan2020, kNone, 0, 0x8101);  // other flag bits set
  const Bytes struck = Entry(3, kJan2020, kNone, 0, 0x0002);
  WriteFile(Src("2019K990.12"), Join({stays, moves, struck}));
  const Bytes existing = Entry(4, kJan2020, kNone, 0, 0);
  WriteFile(Dst("2020K990.1"), existing);
  con.Keys("Enter");

  CorrectLedgerJournal(kCompany);

  EXPECT_EQ(ReadFile(Dst("2020K990.1")), Join({existing, moves}));
  Bytes struckNow = moves;
  PutU16(struckNow.data(), 30, 0x0002);  // exactly the strike-out bit
  EXPECT_EQ(ReadFile(Src("2019K990.12")), Join({stays, struckNow, struck}));
  EXPECT_TRUE(ScreensShow("Dokonano korekty 1 zapisów"));
  EXPECT_TRUE(ScreensShow("Błędu 2019-2020"));
  EXPECT_EQ(con.PendingCount(), 0u);
}

TEST_F(LedgerTest, TheEntryKindDecidesWhetherDateBCounts) {
  const struct {
    const char* what;
    PackedDate a, b;
    uint8_t kind;
    const char* journal;  // nullptr: stays in 2019
  } cases[] = {
      {"kind 2, date B in 2020", kDec2019, kMar2020, 2, "2020K990.3"},
      {"kind 2, date B in 2019, date A in 2020", kJan2020, kDec2019, 2, "2020K990.1"},
      {"other kind, date B in 2020, date A in 2019", kDec2019, kMar2020, 1, nullptr},
      {"other kind, both in 2020: date A", kJan2020, kMar2020, 0, "2020K990.1"},
      {"no 2020 date", kDec2019, kNone, 2, nullptr},
      {"a 2020 date without a month", PackedDate{1, 0, 2020}, kNone, 0, nullptr},
      {"a 2020 date in month 13", PackedDate{1, 13, 2020}, kNone, 0, nullptr},
      {"a 2020 date in December", PackedDate{31, 12, 2020}, kNone, 0, "2020K990.12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetProgramState();
    SourceRoot = Dir() + "2019/";
    TargetRoot = Dir() + "2020/";
    for (const char* n : {"2020K990.1", "2020K990.3", "2020K990.12"}) Fs().Remove(Path(Dst(n)));
    const Bytes e = Entry(7, c.a, c.b, c.kind, 0);
    WriteFile(Src("2019K990.11"), e);
    if (c.journal) con.Keys("Enter");
    CorrectLedgerJournal(kCompany);
    if (c.journal) {
      EXPECT_EQ(ReadFile(Dst(c.journal)), e);
      EXPECT_EQ(GetU16(ReadFile(Src("2019K990.11")).data(), 30), 0x0002);
    } else {
      EXPECT_EQ(ReadFile(Src("2019K990.11")), e);
      EXPECT_FALSE(Exists(Dst("2020K990.1")));
      EXPECT_FALSE(Exists(Dst("2020K990.3")));
      EXPECT_FALSE(Exists(Dst("2020K990.12")));
    }
  }
}

TEST_F(LedgerTest, EntriesOfSeveralMonthsAreCountedInOneBox) {
  WriteFile(Src("2019K990.1"), Entry(1, kJan2020, kNone, 0, 0));
  WriteFile(Src("2019K990.12"), Join({Entry(2, kMar2020, kNone, 0, 0), Entry(3, kJan2020, kNone, 0, 0)}));
  WriteFile(Src("2019K990.7"), Bytes());  // empty: skipped
  con.Keys("Enter");
  CorrectLedgerJournal(kCompany);
  EXPECT_TRUE(ScreensShow("Dokonano korekty 3 zapisów"));
  EXPECT_EQ(ReadFile(Dst("2020K990.1")), Join({Entry(1, kJan2020, kNone, 0, 0), Entry(3, kJan2020, kNone, 0, 0)}));
  EXPECT_EQ(ReadFile(Dst("2020K990.3")), Entry(2, kMar2020, kNone, 0, 0));
}

TEST_F(LedgerTest, AppendKeepsWholeEntriesWhenThe2020JournalEndsInAPartOne) {
  const Bytes existing = Entry(4, kJan2020, kNone, 0, 0);
  WriteFile(Dst("2020K990.1"), Join({existing, Bytes(100, 0xEE)}));
  WriteFile(Src("2019K990.12"), Entry(5, kJan2020, kNone, 0, 0));
  con.Keys("Enter");
  CorrectLedgerJournal(kCompany);
  EXPECT_EQ(ReadFile(Dst("2020K990.1")), Join({existing, Entry(5, kJan2020, kNone, 0, 0)}));
}

TEST_F(LedgerTest, NothingToCorrectShowsNoBox) {
  WriteFile(Src("2019K990.12"), Join({Entry(1, kDec2019, kNone, 0, 0), Entry(2, kJan2020, kNone, 0, 2)}));
  CorrectLedgerJournal(kCompany);  // a box would wait for a key the script lacks
  EXPECT_FALSE(Exists(Dst("2020K990.1")));
}

TEST_F(LedgerTest, AFailedAppendLeavesTheEntryLiveAndEndsTheMonth) {
  std::filesystem::remove_all(Path("2020/FIRMA"));  // no 2020 directory to append into
  const Bytes file = Join({Entry(1, kJan2020, kNone, 0, 0), Entry(2, kJan2020, kNone, 0, 0)});
  WriteFile(Src("2019K990.12"), file);
  con.Keys("Enter Enter");
  CorrectLedgerJournal(kCompany);
  EXPECT_TRUE(ScreensShow("Utworzenia do dopisania pliku"));
  EXPECT_TRUE(ScreensShow("Błąd dopisania rekordu #1"));
  EXPECT_TRUE(ScreensShow("do pliku: 2020K990.1"));
  EXPECT_FALSE(ScreensShow("rekordu #2"));
  EXPECT_FALSE(ScreensShow("Dokonano korekty"));
  EXPECT_EQ(ReadFile(Src("2019K990.12")), file);
  EXPECT_EQ(con.PendingCount(), 0u);
}

TEST_F(LedgerTest, AJournalHeldOpenByAnotherUserEndsTheWholeCorrection) {
  WriteFile(Src("2019K990.3"), Entry(1, kJan2020, kNone, 0, 0));
  WriteFile(Src("2019K990.4"), Entry(2, kJan2020, kNone, 0, 0));
  FileHandle other = kNoHandle;
  ASSERT_EQ(Fs().Open(Path(Src("2019K990.3")), kAccessRead | kShareDenyNone, other), kOk);
  con.Keys("Enter");
  CorrectLedgerJournal(kCompany);
  Fs().Close(other);
  EXPECT_TRUE(ScreensShow("Błąd wyłącznego dostępu do pliku"));
  EXPECT_FALSE(Exists(Dst("2020K990.1")));  // April was not looked at either
  EXPECT_EQ(con.PendingCount(), 0u);
}

// A long journal is read in blocks: entries to move at the ends of blocks
// and in the last, partly filled one are all found and struck where they
// stand.
TEST_F(LedgerTest, EntriesAnywhereInALongJournalAreFoundAndStruckInPlace) {
  std::vector<Bytes> entries;
  const std::set<size_t> moving = {0, 63, 64, 127, 128, 149};
  for (size_t i = 0; i < 150; ++i)
    entries.push_back(Entry(static_cast<uint32_t>(i), moving.count(i) ? kMar2020 : kDec2019, kNone, 0, 0));
  Bytes file;
  for (const Bytes& e : entries) file.insert(file.end(), e.begin(), e.end());
  WriteFile(Src("2019K990.12"), file);
  con.Keys("Enter");

  CorrectLedgerJournal(kCompany);

  Bytes carried, expected2019;
  for (size_t i = 0; i < entries.size(); ++i) {
    Bytes e = entries[i];
    if (moving.count(i)) {
      carried.insert(carried.end(), e.begin(), e.end());
      PutU16(e.data(), 30, 0x0002);
    }
    expected2019.insert(expected2019.end(), e.begin(), e.end());
  }
  EXPECT_EQ(ReadFile(Dst("2020K990.3")), carried);
  EXPECT_EQ(ReadFile(Src("2019K990.12")), expected2019);
  EXPECT_TRUE(ScreensShow("Dokonano korekty 6 zapisów"));
}

// An entry that cannot be read is named by its own number, not by the first
// of its block; what came before it is corrected, nothing after it.
TEST_F(LedgerTest, AnUnreadableEntryIsNamedAndEndsTheJournal) {
  Bytes file;
  for (uint32_t i = 0; i < 100; ++i) {
    const Bytes e = Entry(i, i == 10 || i == 90 ? kJan2020 : kDec2019, kNone, 0, 0);
    file.insert(file.end(), e.begin(), e.end());
  }
  WriteFile(Src("2019K990.12"), file);
  FaultyFs faulty(*fs);
  SetFileSystem(&faulty);
  // The first block comes whole; the second one fails, and so does every
  // read of its entries after the first six.
  faulty.FailAt(FsOp::Read, 2, kErrReadFault);
  faulty.FailAt(FsOp::Read, 9, kErrReadFault, true);
  con.Keys("Enter Enter");
  CorrectLedgerJournal(kCompany);
  SetFileSystem(fs.get());
  EXPECT_TRUE(ScreensShow("Błąd odczytu rekordu #71"));
  EXPECT_TRUE(ScreensShow("z pliku: 2019K990.12"));
  EXPECT_TRUE(ScreensShow("Dokonano korekty 1 zapisów"));
  const Bytes after = ReadFile(Src("2019K990.12"));
  ASSERT_EQ(after.size(), file.size());
  EXPECT_EQ(GetU16(after.data() + 10 * kEntry, 30), 0x0002);
  EXPECT_EQ(GetU16(after.data() + 90 * kEntry, 30), GetU16(file.data() + 90 * kEntry, 30));
  EXPECT_EQ(con.PendingCount(), 0u);
}

// ---- the converters ---------------------------------------------------------

TEST_F(LedgerTest, LiveEntryIsCopiedWithTheFormatMarkAndItsOwnNumber) {
  const Bytes src = Entry(9, kJan2020, kNone, 0, 0x0001, "FV/12/2020", "Sprzedaż towaru");
  RecordIoCounter = 77;
  Bytes dst(kEntry, 0xCC);
  EXPECT_TRUE(ConvertLedgerEntry(src.data(), dst.data()));
  Bytes want = src;
  want[861] = 3;
  EXPECT_EQ(dst, want);
  EXPECT_EQ(LogText().substr(0, LogText().find('\n')), "ZEV=03-02-2020 FV/12/2020 Sprzedaż towaru.ok");
}

TEST_F(LedgerTest, StruckOutEntryIsLoggedAndNotCarried) {
  const Bytes src = Entry(9, kJan2020, kNone, 0, 0x0003, "A1");
  Bytes dst(kEntry);
  EXPECT_FALSE(ConvertLedgerEntry(src.data(), dst.data()));
  EXPECT_EQ(Cp852ToUtf8(LogShadowRow(1)).substr(0, 33), "ZEV=03-02-2020 A1         opis SK");
  EXPECT_NE(LogText().find("opis SKREŚLONY"), std::string::npos);
  // The pause after it: a key with the per-company pause, a second when slow.
  PausePerCompany = true;
  con.Keys("x");
  ConvertLedgerEntry(src.data(), dst.data());
  EXPECT_EQ(con.PendingCount(), 0u);
  SlowDetails = true;
  const uint64_t before = con.nowMs;
  ConvertLedgerEntry(src.data(), dst.data());
  EXPECT_EQ(con.nowMs - before, 1000u);
}

TEST_F(LedgerTest, RepaymentIsCopiedWithItsDocumentCutTo12) {
  Bytes src = Distinct(48, 5);
  PutDate(src.data(), 5, kJan2020);
  src[17] = 20;  // longer than the field holds
  for (int i = 0; i < 20 && 18 + i < 48; ++i) src[18 + i] = static_cast<uint8_t>('A' + i);
  Bytes dst(48, 0xCC);
  EXPECT_TRUE(ConvertRepayment(src.data(), dst.data()));
  Bytes want = src;
  want[17] = 12;
  EXPECT_EQ(dst, want);
  EXPECT_EQ(LogText().substr(0, LogText().find('\n')), "SP= dnia:05-01-2020 dok:ABCDEFGHIJKL");
}

// ---- carrying the 2020 journals ---------------------------------------------

TEST_F(LedgerTest, JanuaryIsAppendedLaterMonthsAskAndStruckEntriesStayBehind) {
  const Bytes janLive = Entry(1, kJan2020, kNone, 0, 0);
  const Bytes janStruck = Entry(2, kJan2020, kNone, 0, 2);
  const Bytes marStruck = Entry(3, kMar2020, kNone, 0, 2);
  const Bytes marLive = Entry(4, kMar2020, kNone, 0, 0);
  WriteFile(Src("2020K990.1"), Join({janLive, janStruck}));
  WriteFile(Src("2020K990.3"), Join({marStruck, marLive}));
  const Bytes janOld = Entry(5, kJan2020, kNone, 0, 0), marOld = Entry(6, kMar2020, kNone, 0, 0);
  WriteFile(Dst("2020K990.1"), janOld);
  WriteFile(Dst("2020K990.3"), marOld);
  Bytes sp = Distinct(48, 8);
  sp[17] = 3;
  WriteFile(Src("2020SP.1"), sp);
  WriteFile(Dst("2020SP.1"), Distinct(48, 9));
  con.Keys("w");  // March asks; January and its repayments append

  CarryLedgerJournals(kCompany);

  Bytes janCarried = janLive;
  janCarried[861] = 3;
  Bytes marCarried = marLive;
  marCarried[861] = 3;
  EXPECT_EQ(ReadFile(Dst("2020K990.1")), Join({janOld, janCarried}));
  EXPECT_EQ(ReadFile(Dst("2020K990.3")), marCarried);
  EXPECT_EQ(ReadFile(Dst("2020SP.1")), Join({Distinct(48, 9), sp}));
  EXPECT_FALSE(AppendToExisting);
  const std::string log = LogText();
  EXPECT_NE(log.find("Konwertuję zapisy : Styczeń"), std::string::npos);
  EXPECT_NE(log.find("Konwertuję zapisy : Marzec"), std::string::npos);
  EXPECT_NE(log.find("Konwertuję spłaty : Styczeń"), std::string::npos);
  EXPECT_EQ(CountOf(log, "SKREŚLONY"), 2);
  EXPECT_EQ(CountOf(log, "Stwierdzono obecność pliku"), 1);
  EXPECT_EQ(con.PendingCount(), 0u);
}

TEST_F(LedgerTest, HiddenFilesAreNotCarriedTwice) {
  HideConverted = true;
  WriteFile(Src("2020K990.1"), Entry(1, kJan2020, kNone, 0, 0));
  WriteFile(Src("2020SP.2"), Distinct(48, 1));
  CarryLedgerJournals(kCompany);
  EXPECT_FALSE(Exists(Src("2020K990.1")));
  EXPECT_TRUE(Exists(Src("2020K990.1~")));
  EXPECT_TRUE(Exists(Src("2020SP.2~")));
  const std::string j = Cp852ToUtf8(S() + "2020K990.1");
  EXPECT_NE(LogText().find("Zmiana nazwy pliku " + j.substr(0, 60)), std::string::npos);
  // The second run finds nothing to carry: the January journal is not doubled.
  CarryLedgerJournals(kCompany);
  EXPECT_EQ(ReadFile(Dst("2020K990.1")).size(), kEntry);
}

TEST_F(LedgerTest, WithoutHidingTheFilesKeepTheirNames) {
  WriteFile(Src("2020SP.2"), Distinct(48, 1));
  HideConvertedFile(Path(Src("2020SP.2")));
  EXPECT_TRUE(Exists(Src("2020SP.2")));
  HideConverted = true;
  HideConvertedFile(Path(Src("none")));
  EXPECT_NE(LogText().find("Błąd zmiany nazwy pliku"), std::string::npos);
}

}  // namespace
}  // namespace qm::test
