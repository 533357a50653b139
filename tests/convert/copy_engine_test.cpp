// The copy engine: the overwrite question and its standing answers, the four
// copy operations, their log lines, colours and pauses.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "base/record_fields.h"
#include "convert/copy_engine.h"
#include "tests/convert/copy_support.h"

namespace qm::test {
namespace {

class CopyEngineTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    MakeDir("s");
    MakeDir("d");
  }
  // Column 1 attribute of the log row that starts with the text.
  uint8_t ColourOf(const std::string& utf8) {
    const int row = LogRowStarting(utf8);
    EXPECT_NE(row, 0) << utf8 << "\n" << LogText();
    return row ? con.Attr(1, row) : 0;
  }
};

// ---- the overwrite question -------------------------------------------------

struct Answer {
  const char* keys;
  bool keep;
  int32_t modeAfter;
};

TEST_F(CopyEngineTest, OverwriteAnswersTakeEffectAndSetTheStandingMode) {
  const Answer answers[] = {
      {"Z", true, 0},  {"z", true, 0},   {"W", false, 0}, {"w", false, 0},
      {"N", true, 1},  {"n", true, 1},   {"A", false, -1}, {"a", false, -1},
      // Anything else is ignored until one of the four comes.
      {"x 1 Esc F1 Enter Space q z", true, 0},
      {"b Down w", false, 0},
  };
  for (const Answer& a : answers) {
    SCOPED_TRACE(a.keys);
    ResetProgramState();
    con.Keys(a.keys);
    EXPECT_EQ(KeepExistingFile("C:\\X\\PLIK.REK"), a.keep);
    EXPECT_EQ(OverwriteMode, a.modeAfter);
    EXPECT_EQ(con.PendingCount(), 0u);
  }
}

TEST_F(CopyEngineTest, StandingAnswerIsNeverAskedAgain) {
  OverwriteMode = kOverwriteKeepAll;
  EXPECT_TRUE(KeepExistingFile("a"));
  OverwriteMode = kOverwriteReplaceAll;
  EXPECT_FALSE(KeepExistingFile("a"));
  EXPECT_EQ(LogText().find("Stwierdzono"), std::string::npos);
}

TEST_F(CopyEngineTest, QuestionTextsAndColours) {
  con.Keys("z");
  KeepExistingFile(Pl("/dane/2020/FIRMA/Żółw.REK"));
  EXPECT_EQ(ColourOf("Stwierdzono obecność pliku /dane/2020/FIRMA/Żółw.REK"), 12);
  EXPECT_EQ(ColourOf(" W-wykonaj kopiownie (zastępując) [A-i wszystkie następne]"), 14);
  EXPECT_EQ(ColourOf(" Z-zostaw plik                    [N-i wszystkie następne] ?"), 7);
  EXPECT_EQ(ColourOf("---->  Z(n)/W(a)"), 15);
  // The answer is not echoed and the question ends its line.
  EXPECT_EQ(LogShadowRow(4).substr(0, 17), "---->  Z(n)/W(a) ");
  EXPECT_EQ(LogRow(), 5);
  EXPECT_EQ(LogColumn(), 1);
}

TEST_F(CopyEngineTest, KeysTypedAheadAreDroppedAfterTheAnswer) {
  con.typeAhead = true;
  con.Keys("z w a");
  EXPECT_TRUE(KeepExistingFile("a"));
  EXPECT_EQ(con.PendingCount(), 0u);
  EXPECT_EQ(OverwriteMode, 0);
}

TEST_F(CopyEngineTest, AnswerAllHoldsForEveryLaterFileOfEveryKind) {
  for (const char* n : {"d/a.bin", "d/b.txt", "d/c.rek", "d/e.rek"}) WriteText(n, "old\r\n");
  for (const char* n : {"s/a.bin", "s/b.txt", "s/c.rek", "s/e.rek"}) WriteText(n, "NEW\r\n");
  con.Keys("A");
  EXPECT_TRUE(CopyBinaryFile(Path("s/a.bin"), Path("d/a.bin")));
  // No key is left: a second question would run out of script.
  CopyTextFile(Path("s/b.txt"), Path("d/b.txt"));
  EXPECT_TRUE(CopyRecords(Path("s/c.rek"), Path("d/c.rek"), 5));
  EXPECT_TRUE(ConvertRecords(Path("s/e.rek"), Path("d/e.rek"), 5, 5,
                             [](const uint8_t* s, uint8_t* d) {
                               std::memcpy(d, s, 5);
                               return true;
                             }));
  for (const char* n : {"d/a.bin", "d/b.txt", "d/c.rek", "d/e.rek"}) EXPECT_EQ(ReadText(n), "NEW\r\n") << n;
}

TEST_F(CopyEngineTest, LeaveAllKeepsEveryLaterFileAndRecordCopiesReportIt) {
  for (const char* n : {"d/a.bin", "d/b.txt", "d/c.rek", "d/e.rek"}) WriteText(n, "old\r\n");
  for (const char* n : {"s/a.bin", "s/b.txt", "s/c.rek", "s/e.rek"}) WriteText(n, "NEW\r\n");
  con.Keys("N");
  EXPECT_TRUE(CopyBinaryFile(Path("s/a.bin"), Path("d/a.bin")));
  CopyTextFile(Path("s/b.txt"), Path("d/b.txt"));
  // The record operations count a kept destination as not copied.
  EXPECT_FALSE(CopyRecords(Path("s/c.rek"), Path("d/c.rek"), 5));
  EXPECT_FALSE(ConvertRecords(Path("s/e.rek"), Path("d/e.rek"), 5, 5, nullptr));
  for (const char* n : {"d/a.bin", "d/b.txt", "d/c.rek", "d/e.rek"}) EXPECT_EQ(ReadText(n), "old\r\n") << n;
  EXPECT_EQ(CountOf(LogText(), "Stwierdzono"), 1);
}

TEST_F(CopyEngineTest, EmptyDestinationIsOverwrittenWithoutAQuestion) {
  WriteText("d/a.bin", "");
  WriteText("d/b.rek", "");
  WriteText("s/a.bin", "abc");
  WriteText("s/b.rek", "abcd");
  EXPECT_TRUE(CopyBinaryFile(Path("s/a.bin"), Path("d/a.bin")));
  AppendToExisting = true;  // nothing to append to: the file is made afresh
  EXPECT_TRUE(CopyRecords(Path("s/b.rek"), Path("d/b.rek"), 2));
  EXPECT_EQ(ReadText("d/a.bin"), "abc");
  EXPECT_EQ(ReadText("d/b.rek"), "abcd");
}

TEST_F(CopyEngineTest, EmptyOrMissingSourceIsNeverCopied) {
  WriteText("s/empty", "");
  EXPECT_TRUE(CopyBinaryFile(Path("s/empty"), Path("d1")));
  CopyTextFile(Path("s/empty"), Path("d2"));
  EXPECT_TRUE(CopyRecords(Path("s/empty"), Path("d3"), 4));
  EXPECT_TRUE(ConvertRecords(Path("s/missing"), Path("d4"), 4, 4, nullptr));
  for (const char* n : {"d1", "d2", "d3", "d4"}) EXPECT_FALSE(Exists(n)) << n;
  // Only the record operations say so, as a note.
  EXPECT_EQ(CountOf(LogText(), "Brak pliku źródłowego"), 2);
  EXPECT_EQ(ColourOf("Brak pliku źródłowego " + Cp852ToUtf8(Path("s/empty"))), 14);
  EXPECT_EQ(ColourOf("Brak pliku źródłowego " + Cp852ToUtf8(Path("s/missing"))), 14);
}

// ---- text copy --------------------------------------------------------------

TEST_F(CopyEngineTest, TextCopyCutsLongLinesAndWritesCrLf) {
  const std::string longLine(300, 'x');
  WriteText("s/t.txt", "one\n" + longLine + "\r\nthree");
  CopyTextFile(Path("s/t.txt"), Path("d/t.txt"));
  EXPECT_EQ(ReadText("d/t.txt"), "one\r\n" + std::string(255, 'x') + "\r\nthree\r\n");
  EXPECT_EQ(ColourOf("Kopiuję plik " + Path("s/t.txt")), 9);
}

TEST_F(CopyEngineTest, TextCopyIntoAMissingDirectoryReportsAndWaits) {
  WriteText("s/t.txt", "x");
  con.Keys("Space");
  CopyTextFile(Path("s/t.txt"), Path("nodir/t.txt"));
  EXPECT_EQ(ColourOf("Błąd utworzenia pliku " + Path("nodir/t.txt")), 12);
  EXPECT_EQ(con.PendingCount(), 0u);  // the key wait took the key
}

// ---- binary copy ------------------------------------------------------------

TEST_F(CopyEngineTest, BinaryCopyIsExactAndLogsTheSize) {
  const Bytes data = Distinct(200000, 7);  // several host blocks, a short last one
  WriteFile("s/big.dat", data);
  EXPECT_TRUE(CopyBinaryFile(Path("s/big.dat"), Path("d/big.dat")));
  EXPECT_EQ(ReadFile("d/big.dat"), data);
  EXPECT_EQ(ColourOf("Kopiuję " + Path("s/big.dat") + "  200000 bytów..."), 9);
}

TEST_F(CopyEngineTest, DestinationThatCannotBeCreated) {
  WriteText("s/a", "abc");
  for (int op = 0; op < 3; ++op) {
    SCOPED_TRACE(op);
    ResetProgramState();
    con.Keys("Enter");
    bool result = true;
    if (op == 0) result = CopyBinaryFile(Path("s/a"), Path("nodir/a"));
    if (op == 1) result = CopyRecords(Path("s/a"), Path("nodir/a"), 1);
    if (op == 2) result = ConvertRecords(Path("s/a"), Path("nodir/a"), 1, 1, nullptr);
    EXPECT_FALSE(result);
    EXPECT_EQ(ColourOf("Błąd Utworzenia pliku " + Path("nodir/a")), 12);
    EXPECT_EQ(con.PendingCount(), 0u);
  }
}

// ---- record copy ------------------------------------------------------------

TEST_F(CopyEngineTest, RecordCopyFiltersAndWritesAShortLastRecordShort) {
  // Three records of 6 bytes and a last one of 4.
  const Bytes data = Distinct(22, 3);
  WriteFile("s/r.rek", data);
  std::vector<uint32_t> lengths;
  Bytes tailSeen;
  const bool ok = CopyRecords(Path("s/r.rek"), Path("d/r.rek"), 6, [&](uint8_t* rec, uint32_t n) {
    lengths.push_back(n);
    if (n < 6) tailSeen.assign(rec + n, rec + 6);
    rec[0] ^= 0xFF;              // changed before it is written
    return lengths.size() != 2;  // the second record is dropped
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(lengths, (std::vector<uint32_t>{6, 6, 6, 4}));
  EXPECT_EQ(tailSeen, Bytes(2, 0));  // nothing of the third record behind the fourth
  Bytes want;
  for (size_t r : {0u, 2u, 3u}) {
    Bytes rec(data.begin() + 6 * r, data.begin() + std::min<size_t>(6 * r + 6, data.size()));
    rec[0] ^= 0xFF;
    want.insert(want.end(), rec.begin(), rec.end());
  }
  EXPECT_EQ(ReadFile("d/r.rek"), want);
  // The count is of whole records.
  EXPECT_EQ(ColourOf("Kopiuje " + Path("s/r.rek") + "  3 pozycji ..."), 9);
}

TEST_F(CopyEngineTest, RecordCopyCountsEveryReadAndWrite) {
  WriteFile("s/r.rek", Distinct(30, 1));
  CopyRecords(Path("s/r.rek"), Path("d/r.rek"), 10);
  // Start at 1; four reads (the last finds the end) and three writes.
  EXPECT_EQ(RecordIoCounter, 8);
  WriteFile("s/r2.rek", Distinct(30, 1));
  CopyRecords(Path("s/r2.rek"), Path("d/r2.rek"), 10, [](uint8_t*, uint32_t) { return false; });
  EXPECT_EQ(RecordIoCounter, 5);
  // The conversion leaves the counter alone.
  ConvertRecords(Path("s/r.rek"), Path("d/c.rek"), 10, 10, nullptr);
  EXPECT_EQ(RecordIoCounter, 5);
}

TEST_F(CopyEngineTest, AppendingAddsAfterTheExistingRecordsWithoutAsking) {
  const Bytes old = Distinct(8, 1), add = Distinct(12, 2);
  WriteFile("d/j.rek", old);
  WriteFile("s/j.rek", add);
  AppendToExisting = true;
  EXPECT_TRUE(CopyRecords(Path("s/j.rek"), Path("d/j.rek"), 4));
  EXPECT_EQ(ReadFile("d/j.rek"), Join({old, add}));
  WriteFile("d/k.rek", old);
  EXPECT_TRUE(ConvertRecords(Path("s/j.rek"), Path("d/k.rek"), 4, 2, [](const uint8_t* s, uint8_t* d) {
    d[0] = s[0];
    d[1] = s[3];
    return true;
  }));
  EXPECT_EQ(ReadFile("d/k.rek"), Join({old, {add[0], add[3], add[4], add[7], add[8], add[11]}}));
  EXPECT_EQ(LogText().find("Stwierdzono"), std::string::npos);
}

// ---- record conversion ------------------------------------------------------

TEST_F(CopyEngineTest, ConversionWidensRecordsAndZeroFillsAShortLastOne) {
  // Records of 4 bytes become records of 6: bytes 0-3 copied, byte 4 set,
  // byte 5 set only for the first record and so carried to the next ones.
  const Bytes data = Distinct(10, 9);  // two records and a last one of 2 bytes
  WriteFile("s/c.rek", data);
  int calls = 0;
  const bool ok = ConvertRecords(Path("s/c.rek"), Path("d/c.rek"), 4, 6, [&](const uint8_t* s, uint8_t* d) {
    std::memcpy(d, s, 4);
    d[4] = static_cast<uint8_t>(0xA0 + calls);
    if (calls == 0) d[5] = 0x5A;
    ++calls;
    return true;
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(calls, 3);
  const Bytes want = {data[0], data[1], data[2], data[3], 0xA0, 0x5A,
                      data[4], data[5], data[6], data[7], 0xA1, 0x5A,
                      data[8], data[9], 0,       0,       0xA2, 0x5A};
  EXPECT_EQ(ReadFile("d/c.rek"), want);
  EXPECT_EQ(ColourOf("Kopiuje " + Path("s/c.rek") + "  2 pozycji ..."), 9);
}

TEST_F(CopyEngineTest, ConversionDropsRefusedRecordsAndWritesNothingWithoutAConverter) {
  WriteFile("s/c.rek", Distinct(12, 4));
  int n = 0;
  EXPECT_TRUE(ConvertRecords(Path("s/c.rek"), Path("d/c.rek"), 4, 4, [&](const uint8_t* s, uint8_t* d) {
    std::memcpy(d, s, 4);
    return n++ != 1;
  }));
  const Bytes src = Distinct(12, 4);
  EXPECT_EQ(ReadFile("d/c.rek"), Join({Bytes(src.begin(), src.begin() + 4), Bytes(src.begin() + 8, src.end())}));
  EXPECT_TRUE(ConvertRecords(Path("s/c.rek"), Path("d/none.rek"), 4, 4, nullptr));
  EXPECT_TRUE(Exists("d/none.rek"));
  EXPECT_EQ(ReadFile("d/none.rek").size(), 0u);
}

// ---- matching files and pauses ----------------------------------------------

TEST_F(CopyEngineTest, MatchingFilesAreCopiedByName) {
  WriteText("s/km__01.rek", "1");
  WriteText("s/KM__02.REK", "2");
  WriteText("s/km20a.rek", "3");
  WriteText("s/kmx.rek", "4");
  MakeDir("d");
  CopyMatchingFiles(Path("s/"), Path("d/"), "km__*.rek");
  EXPECT_EQ(ReadText("d/km__01.rek"), "1");
  EXPECT_EQ(ReadText("d/KM__02.REK"), "2");
  EXPECT_FALSE(Exists("d/km20a.rek"));
  EXPECT_FALSE(Exists("d/kmx.rek"));
}

TEST_F(CopyEngineTest, SlowDetailsPauseAfterEveryCopy) {
  SlowDetails = true;
  WriteText("s/a", "abcd");
  const struct {
    const char* what;
    std::function<void()> run;
    uint64_t ms;
  } cases[] = {
      {"binary", [&] { CopyBinaryFile(Path("s/a"), Path("d1")); }, 1000},
      {"records", [&] { CopyRecords(Path("s/a"), Path("d2"), 2); }, 1000},
      {"conversion", [&] { ConvertRecords(Path("s/a"), Path("d3"), 2, 2, nullptr); }, 2000},
      {"missing source", [&] { CopyRecords(Path("s/none"), Path("d4"), 2); }, 1000},
      {"text", [&] { CopyTextFile(Path("s/a"), Path("d5")); }, 0},
      {"binary, missing source", [&] { CopyBinaryFile(Path("s/none"), Path("d6")); }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const uint64_t before = con.nowMs;
    c.run();
    EXPECT_EQ(con.nowMs - before, c.ms);
  }
  SlowDetails = false;
  const uint64_t before = con.nowMs;
  CopyBinaryFile(Path("s/a"), Path("d7"));
  EXPECT_EQ(con.nowMs, before);
}

}  // namespace
}  // namespace qm::test
