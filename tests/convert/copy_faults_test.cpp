// Failing files under the copy engine and the ledger correction: the
// messages and key waits of each failure, and, walked over every file call
// of a run, that a failure never leaves anything but a clean prefix behind
// and never loses a ledger entry.
#include <functional>
#include <string>

#include "base/dates.h"
#include "base/record_fields.h"
#include "convert/copy_engine.h"
#include "convert/ledger.h"
#include "tests/convert/copy_support.h"
#include "tests/support/faulty_fs.h"

namespace qm::test {
namespace {

class CopyFaultsTest : public CompanyTest {
 protected:
  void SetUp() override {
    CompanyTest::SetUp();
    faulty = std::make_unique<FaultyFs>(*fs);
    SetFileSystem(faulty.get());
    MakeDir("s");
    MakeDir("d");
  }
  void TearDown() override {
    SetFileSystem(fs.get());
    CompanyTest::TearDown();
  }
  // Runs op with enough keys for every wait; gives the number of key waits.
  int KeyWaits(const std::function<void()>& op) {
    for (int i = 0; i < 20; ++i) con.Keys("Enter");
    op();
    const int waits = 20 - static_cast<int>(con.PendingCount());
    while (con.PendingCount()) {
      ConsoleEvent ev;
      con.WaitEvent(ev, 0);
    }
    return waits;
  }
  uint8_t ColourOf(const std::string& utf8) {
    const int row = LogRowStarting(utf8);
    EXPECT_NE(row, 0) << utf8 << "\n" << LogText();
    return row ? con.Attr(1, row) : 0;
  }
  bool IsPrefix(const Bytes& part, const Bytes& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
  }
  std::unique_ptr<FaultyFs> faulty;
};

TEST_F(CopyFaultsTest, BinaryCopyErrorsAreReportedAndWaitedFor) {
  const Bytes data = Distinct(150000, 1);
  WriteFile("s/a", data);
  const std::string src = Cp852ToUtf8(Path("s/a")), dst = Cp852ToUtf8(Path("d/a"));
  const struct {
    const char* what;
    FsOp op;
    int n;
    const char* line;  // UTF-8, the path follows where named
    bool result;
  } cases[] = {
      {"source will not open", FsOp::Open, 1, "Błąd otwarcia pliku S", false},
      {"destination will not be made", FsOp::Create, 1, "Błąd Utworzenia pliku D", false},
      {"read fails", FsOp::Read, 2, "Błąd odczytu danych", true},
      {"write fails", FsOp::Write, 1, "Błąd zapisu danych", true},
      {"source will not close", FsOp::Close, 1, "Błąd zamknięcia zbioru S", true},
      {"destination will not close", FsOp::Close, 2, "Błąd zamknięcia zbioru D", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetProgramState();
    Fs().Remove(Path("d/a"));
    faulty->ClearFaults();
    faulty->ResetCounts();
    faulty->FailAt(c.op, c.n, c.op == FsOp::Open ? kErrSharingViolation : kErrWriteFault);
    bool result = !c.result;
    EXPECT_EQ(KeyWaits([&] { result = CopyBinaryFile(Path("s/a"), Path("d/a")); }), 1);
    EXPECT_EQ(result, c.result);
    std::string line = c.line;
    if (line.back() == 'S') line = line.substr(0, line.size() - 1) + src;
    if (line.back() == 'D') line = line.substr(0, line.size() - 1) + dst;
    EXPECT_EQ(ColourOf(line), 12);
    EXPECT_TRUE(IsPrefix(ReadFile("d/a"), data));
  }
}

TEST_F(CopyFaultsTest, AFullDiskStopsTheCopyWithOneMessage) {
  const Bytes data = Distinct(200000, 2);
  WriteFile("s/r.rek", data);
  faulty->DiskFullAt(2);
  bool result = false;
  EXPECT_EQ(KeyWaits([&] { result = CopyRecords(Path("s/r.rek"), Path("d/r.rek"), 100); }), 1);
  EXPECT_TRUE(result);  // the destination closed; the error was shown
  EXPECT_EQ(CountOf(LogText(), "Błąd zapisu danych"), 1);
  const Bytes got = ReadFile("d/r.rek");
  EXPECT_LT(got.size(), data.size());
  EXPECT_TRUE(IsPrefix(got, data));
}

TEST_F(CopyFaultsTest, RecordOperationsReportReadAndWriteErrorsOnce) {
  const Bytes data = Distinct(300000, 3);
  WriteFile("s/r.rek", data);
  for (FsOp op : {FsOp::Read, FsOp::Write}) {
    for (bool convert : {false, true}) {
      SCOPED_TRACE(std::string(FsOpName(op)) + (convert ? " conversion" : " copy"));
      ResetProgramState();
      Fs().Remove(Path("d/r.rek"));
      faulty->ClearFaults();
      faulty->ResetCounts();
      faulty->FailAt(op, 2, op == FsOp::Read ? kErrReadFault : kErrWriteFault);
      const int waits = KeyWaits([&] {
        if (convert) {
          ConvertRecords(Path("s/r.rek"), Path("d/r.rek"), 60, 60, [](const uint8_t* s, uint8_t* d) {
            std::copy(s, s + 60, d);
            return true;
          });
        } else {
          CopyRecords(Path("s/r.rek"), Path("d/r.rek"), 60);
        }
      });
      EXPECT_EQ(waits, 1);
      const char* line = op == FsOp::Read ? "Błąd odczytu danych" : "Błąd zapisu danych";
      EXPECT_EQ(CountOf(LogText(), line), 1);
      EXPECT_EQ(ColourOf(line), 12);
      EXPECT_TRUE(IsPrefix(ReadFile("d/r.rek"), data));
    }
  }
}

TEST_F(CopyFaultsTest, AppendingNeverEmptiesAJournalThatASearchMissed) {
  const Bytes old = Distinct(40, 1), add = Distinct(20, 2);
  WriteFile("d/j.rek", old);
  WriteFile("s/j.rek", add);
  AppendToExisting = true;
  faulty->FailAt(FsOp::FindFirst, 2, kErrFileNotFound);  // the destination's
  EXPECT_TRUE(CopyRecords(Path("s/j.rek"), Path("d/j.rek"), 10));
  EXPECT_EQ(ReadFile("d/j.rek"), Join({old, add}));
}

TEST_F(CopyFaultsTest, TextCopyErrorsAreLoggedWithoutAWait) {
  WriteText("s/t.txt", "a\r\nb\r\n");
  const std::string src = Cp852ToUtf8(Path("s/t.txt")), dst = Cp852ToUtf8(Path("d/t.txt"));
  faulty->FailAt(FsOp::Read, 1, kErrReadFault);
  EXPECT_EQ(KeyWaits([&] { CopyTextFile(Path("s/t.txt"), Path("d/t.txt")); }), 0);
  EXPECT_EQ(ColourOf("Błąd odczytu z pliku " + src), 12);

  ResetProgramState();
  faulty->ClearFaults();
  faulty->ResetCounts();
  faulty->FailAt(FsOp::Write, 1, kErrDiskFull, true);
  EXPECT_EQ(KeyWaits([&] { CopyTextFile(Path("s/t.txt"), Path("d/t.txt")); }), 0);
  EXPECT_EQ(ColourOf("Błąd zapisu do pliku " + dst), 12);
  EXPECT_EQ(CountOf(LogText(), "Błąd zapisu do pliku"), 1);
}

// Every file call of a copy made to fail in turn: the destination is always
// a clean prefix of the right result, and nothing waits without a message.
TEST_F(CopyFaultsTest, EveryFailingCallLeavesACleanPrefix) {
  const Bytes data = Distinct(140000, 4);
  WriteFile("s/r.rek", data);
  Bytes converted = data;
  for (size_t i = 0; i < converted.size(); ++i) converted[i] ^= 0x5A;
  const std::function<void()> ops[] = {
      [&] { CopyBinaryFile(Path("s/r.rek"), Path("d/r.rek")); },
      [&] { CopyRecords(Path("s/r.rek"), Path("d/r.rek"), 70); },
      [&] {
        ConvertRecords(Path("s/r.rek"), Path("d/r.rek"), 70, 70, [](const uint8_t* s, uint8_t* d) {
          for (int i = 0; i < 70; ++i) d[i] = s[i] ^ 0x5A;
          return true;
        });
      },
  };
  int runs = 0;
  for (size_t k = 0; k < std::size(ops); ++k) {
    const Bytes& want = k == 2 ? converted : data;
    faulty->ClearFaults();
    faulty->ResetCounts();
    ResetProgramState();
    Fs().Remove(Path("d/r.rek"));
    KeyWaits(ops[k]);
    ASSERT_EQ(ReadFile("d/r.rek"), want);
    int counts[kFsOpCount];
    for (int op = 0; op < kFsOpCount; ++op) counts[op] = faulty->Count(static_cast<FsOp>(op));
    for (int op = 0; op < kFsOpCount; ++op) {
      for (int n = 1; n <= counts[op]; ++n) {
        SCOPED_TRACE(std::to_string(k) + " " + FsOpName(static_cast<FsOp>(op)) + " #" + std::to_string(n));
        ResetProgramState();
        faulty->ClearFaults();
        Fs().Remove(Path("d/r.rek"));
        faulty->ResetCounts();
        faulty->FailAt(static_cast<FsOp>(op), n, kErrWriteFault);
        const int waits = KeyWaits(ops[k]);
        faulty->ClearFaults();
        if (Exists("d/r.rek")) {
          EXPECT_TRUE(IsPrefix(ReadFile("d/r.rek"), want));
        }
        if (waits > 0) {
          EXPECT_NE(LogText().find("Błąd"), std::string::npos);
        }
        ++runs;
      }
    }
  }
  EXPECT_GT(runs, 20);
}

// The correction made to fail at every file call: each 2020-dated entry is
// afterwards live in its 2019 journal or present in the 2020 journal, and an
// entry struck out in 2019 is always in 2020.
TEST_F(CopyFaultsTest, LedgerCorrectionNeverLosesAnEntry) {
  MakeDir("2020/FIRMA");
  Bytes journal;
  for (uint32_t i = 0; i < 6; ++i) {
    Bytes e = Distinct(1024, i + 1);
    PutDate(e.data(), 14, PackedDate{5, static_cast<uint8_t>(1 + i % 2), 2020});
    PutU16(e.data(), 30, 0);
    e[237] = 0;
    journal = Join({journal, e});
  }
  auto entryAt = [](const Bytes& f, size_t i) { return Bytes(f.begin() + 1024 * i, f.begin() + 1024 * (i + 1)); };
  auto prepare = [&] {
    Fs().Remove(Path(Dst("2020K990.1")));
    Fs().Remove(Path(Dst("2020K990.2")));
    WriteFile(Src("2019K990.12"), journal);
  };
  auto run = [&] { KeyWaits([&] { CorrectLedgerJournal(kCompany); }); };
  prepare();
  faulty->ResetCounts();
  run();
  int counts[kFsOpCount];
  for (int op = 0; op < kFsOpCount; ++op) counts[op] = faulty->Count(static_cast<FsOp>(op));
  for (int op = 0; op < kFsOpCount; ++op) {
    for (int n = 1; n <= counts[op]; ++n) {
      SCOPED_TRACE(std::string(FsOpName(static_cast<FsOp>(op))) + " #" + std::to_string(n));
      ResetProgramState();
      SourceRoot = Dir() + "2019/";
      TargetRoot = Dir() + "2020/";
      faulty->ClearFaults();
      prepare();
      faulty->ResetCounts();
      faulty->FailAt(static_cast<FsOp>(op), n, kErrWriteFault);
      run();
      faulty->ClearFaults();
      const Bytes after = ReadFile(Src("2019K990.12"));
      ASSERT_EQ(after.size(), journal.size());
      const Bytes jan = ReadFile(Dst("2020K990.1")), feb = ReadFile(Dst("2020K990.2"));
      for (size_t i = 0; i < 6; ++i) {
        const Bytes original = entryAt(journal, i);
        const Bytes& moved = i % 2 ? feb : jan;
        bool in2020 = false;
        for (size_t j = 0; j * 1024 < moved.size(); ++j) in2020 |= entryAt(moved, j) == original;
        const Bytes now = entryAt(after, i);
        const bool live = now == original;
        Bytes struck = original;
        PutU16(struck.data(), 30, 2);
        EXPECT_TRUE(live || now == struck) << i;
        if (!live) {
          EXPECT_TRUE(in2020) << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace qm::test
