// The company's 2020_ROK.REK built from its 2019 or early 2020 annual file.
#include <cstring>
#include <functional>
#include <vector>

#include "base/cp852.h"
#include "base/record_fields.h"
#include "convert/annual_settings.h"
#include "platform/forwarding_fs.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tests/convert/copy_support.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

constexpr size_t kRec = 512;

bool LogShows(const std::string& utf8) { return LogText().find(utf8) != std::string::npos; }

Bytes Pattern(uint8_t salt) {
  Bytes b(kRec);
  for (size_t i = 0; i < kRec; ++i) b[i] = static_cast<uint8_t>(i * 13 + (i >> 8) * 7 + salt);
  return b;
}

// Three source records with a distinct value in every byte; the flags that
// would bring up a question are set apart.
struct Source {
  Bytes r1 = Pattern(1), r2 = Pattern(2), r3 = Pattern(3);
  Source() {
    r1[3] = 13;   // December approved
    r1[117] = 1;  // VAT by proportion ...
    PutU16(r1.data(), 118, 40);
    PutU16(r1.data(), 120, 60);  // ... with the next year's share set
    for (size_t i = 0; i < 10; ++i) {
      r2[2 + 16 * i] = static_cast<uint8_t>(i % 7);
      r2[11 + 16 * i] = static_cast<uint8_t>(6 - i % 7);
    }
  }
  Bytes File() const {
    Bytes f = r1;
    f.insert(f.end(), r2.begin(), r2.end());
    f.insert(f.end(), r3.begin(), r3.end());
    return f;
  }
};

void Copy(Bytes& want, const Bytes& src, size_t off, size_t n) { std::memcpy(&want[off], &src[off], n); }
void Move(Bytes& want, size_t to, const Bytes& src, size_t from, size_t n) {
  std::memcpy(&want[to], &src[from], n);
}

// What the new record 1 must hold, written out from the field list of the
// annual file independently of the converter's table.
Bytes WantRecord1(const Bytes& s, bool from2020) {
  Bytes w(kRec, 0);
  for (auto [off, n] : std::initializer_list<std::pair<size_t, size_t>>{
           {0, 2}, {5, 2}, {7, 2}, {12, 2}, {14, 2}, {112, 2}, {114, 3}, {117, 1}, {122, 1},
           {123, 4}, {127, 2}, {133, 1}, {135, 6}, {141, 3}, {254, 2}, {364, 2}, {408, 8},
           {418, 3}, {421, 2}}) {
    Copy(w, s, off, n);
  }
  w[4] = 3;
  w[131] = 3;
  if (from2020) {
    Copy(w, s, 2, 2);
    for (size_t m = 0; m < 12; ++m) Copy(w, s, 16 + 8 * m, 4);
    Copy(w, s, 118, 2);
    Copy(w, s, 150, 13 * 8);
    Copy(w, s, 256, 12 * 8);
    Copy(w, s, 416, 2);
  } else {
    w[2] = 1;
    w[3] = 1;
    for (size_t m = 0; m < 12; ++m) {
      PutU16(w.data(), 16 + 8 * m, 1);
      PutU16(w.data(), 18 + 8 * m, 1);
    }
    Move(w, 118, s, 120, 2);
    Move(w, 150, s, 246, 8);
    Move(w, 256, s, 344, 8);
    PutU16(w.data(), 416, 1);
  }
  return w;
}

Bytes WantRecord2(const Bytes& s, bool from2020) {
  Bytes w(kRec, 0);
  Copy(w, s, 0, 2);
  for (size_t i = 0; i < 10; ++i) {
    const size_t e = 2 + 16 * i;
    Copy(w, s, e, 1u + s[e]);
    Copy(w, s, e + 9, 1u + s[e + 9]);
    if (from2020) {
      Copy(w, s, e + 7, 2);
    } else {
      PutU16(w.data(), e + 7, 1);
    }
  }
  Copy(w, s, 162, 2);
  return w;
}

Bytes WantRecord3(const Bytes& s, bool from2020) {
  Bytes w(kRec, 0);
  Copy(w, s, 0, 18);
  if (from2020) Copy(w, s, 18, 12 * 21);
  Copy(w, s, 270, 10);
  return w;
}

void ExpectRecord(const Bytes& file, size_t n, const Bytes& want) {
  ASSERT_GE(file.size(), (n + 1) * kRec);
  for (size_t i = 0; i < kRec; ++i) {
    ASSERT_EQ(file[n * kRec + i], want[i]) << "record " << n + 1 << " offset " << i;
  }
}

class AnnualTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    SourceRoot = Dir() + "zev2019/";
    TargetRoot = Dir() + "zev2020/";
    MakeDir("zev2020/FIRMA1");
    MakeDir("zev2020/FIRMA2");
  }
  void Put(const std::string& company, const std::string& name, const Bytes& data) {
    WriteFile("zev2019/" + company + "/" + name, data);
  }
  Bytes Result(const std::string& company = "FIRMA1") {
    return ReadFile("zev2020/" + company + "/2020_ROK.REK");
  }
  size_t Beeps() const {
    size_t n = 0;
    for (auto [f, ms] : con.tones) n += f == 500;
    return n;
  }
};

TEST_F(AnnualTest, From2019SourceByteForByte) {
  const Source s;
  Put("FIRMA1", "2019_ROK.REK", s.File());
  ConvertAnnualSettings("FIRMA1");
  const Bytes out = Result();
  ASSERT_EQ(out.size(), 3 * kRec);
  ExpectRecord(out, 0, WantRecord1(s.r1, false));
  ExpectRecord(out, 1, WantRecord2(s.r2, false));
  ExpectRecord(out, 2, WantRecord3(s.r3, false));
  EXPECT_FALSE(Use2020AnnualData);
  EXPECT_EQ(PreviousYearPath, Dir() + "zev2019/FIRMA1");
  EXPECT_TRUE(LogShows("Konwersja danych ROCZNYCH ustawień firmy"));
  EXPECT_TRUE(LogShows("Utworzono dane w 2020"));
  EXPECT_EQ(con.Attr(1, 1), 9);
}

TEST_F(AnnualTest, From2020SourceByteForByte) {
  Source s;
  s.r1[3] = 5;  // December state of no concern for a 2020 source
  Put("FIRMA1", "2020_ROK.REK", s.File());
  ConvertAnnualSettings("FIRMA1");
  const Bytes out = Result();
  ExpectRecord(out, 0, WantRecord1(s.r1, true));
  ExpectRecord(out, 1, WantRecord2(s.r2, true));
  ExpectRecord(out, 2, WantRecord3(s.r3, true));
  EXPECT_TRUE(Use2020AnnualData);
  EXPECT_FALSE(LogShows("GRUDNIA"));
}

TEST_F(AnnualTest, OverlongEntryTextsAreCut) {
  Source s;
  s.r2[2] = 0xC8;
  Put("FIRMA1", "2019_ROK.REK", s.File());
  ConvertAnnualSettings("FIRMA1");
  const Bytes out = Result();
  EXPECT_EQ(out[kRec + 2], 6);
  EXPECT_EQ(0, std::memcmp(&out[kRec + 3], &s.r2[3], 6));
}

TEST_F(AnnualTest, BothFilesAskWhichToTake) {
  Source old, early;
  early.r1[2] = 9;  // marks the 2020 file's record
  for (const char* c : {"FIRMA1", "FIRMA2"}) {
    Put(c, "2019_ROK.REK", old.File());
    Put(c, "2020_ROK.REK", early.File());
  }
  con.Keys("x Enter b");
  ConvertAnnualSettings("FIRMA1");
  EXPECT_EQ(Result()[2], 1);
  EXPECT_FALSE(Use2020AnnualData);
  EXPECT_TRUE(LogShows("Występują dane ROCZNE za rok 2019 i 2020 !"));
  EXPECT_TRUE(LogShows("Wybierz z których skrzystać :"));
  EXPECT_TRUE(LogShows(" B-2019 N-2020, A-wszyskie następne na N  (B/N/A) ?"));
  EXPECT_TRUE(LogShows(" - wybrano: B"));

  con.Keys("N");
  ConvertAnnualSettings("FIRMA1");
  EXPECT_EQ(Result()[2], 9);
  EXPECT_TRUE(Use2020AnnualData);
  EXPECT_FALSE(Prefer2020ForAll);

  con.Keys("a");
  ConvertAnnualSettings("FIRMA1");
  EXPECT_TRUE(Prefer2020ForAll);
  Use2020AnnualData = false;
  LogClear(true);
  // The standing answer: no question for the next company.
  ConvertAnnualSettings("FIRMA2");
  EXPECT_EQ(Result("FIRMA2")[2], 9);
  EXPECT_TRUE(Use2020AnnualData);
  EXPECT_FALSE(LogShows("Występują"));
}

TEST_F(AnnualTest, TypedAheadAnswerIsTaken) {
  Source s;
  Put("FIRMA1", "2019_ROK.REK", s.File());
  Put("FIRMA1", "2020_ROK.REK", s.File());
  con.typeAhead = true;
  con.Keys("n");
  ConvertAnnualSettings("FIRMA1");
  EXPECT_TRUE(Use2020AnnualData);
}

TEST_F(AnnualTest, VatProportionAskedUntilValid) {
  Source s;
  PutU16(s.r1.data(), 118, 25);
  PutU16(s.r1.data(), 120, 0);
  Put("FIRMA1", "2019_ROK.REK", s.File());
  con.capture = true;
  con.Keys("^Y \"101\" Enter ^Y \"a\" Enter ^Y \"0\" Enter");
  ConvertAnnualSettings("FIRMA1");
  EXPECT_EQ(Beeps(), 2u);
  EXPECT_EQ(GetU16(Result().data(), 118), 0);
  bool prompted = false;
  for (const std::string& screen : con.screens) {
    prompted = prompted || (screen.find("Firma rozliczała  VAT w proporcji 25%") != std::string::npos &&
                            screen.find("a zakładana na 2020 wynosi 0% ?") != std::string::npos &&
                            screen.find("Podaj właściwą:") != std::string::npos);
  }
  EXPECT_TRUE(prompted);
  EXPECT_EQ(con.PendingCount(), 0u);
}

TEST_F(AnnualTest, VatProportionAnswerStored) {
  Source s;
  PutU16(s.r1.data(), 120, 0);
  Put("FIRMA1", "2019_ROK.REK", s.File());
  con.Keys("^Y \"100\" Enter");
  ConvertAnnualSettings("FIRMA1");
  EXPECT_EQ(GetU16(Result().data(), 118), 100);
  EXPECT_EQ(GetU16(Result().data(), 120), 0);

  // Esc hands back the field's starting value, 0, which is accepted.
  Source early;
  early.r1[117] = 2;
  PutU16(early.r1.data(), 118, 0);
  Put("FIRMA2", "2020_ROK.REK", early.File());
  con.capture = true;
  con.Keys("\"7\" Esc");
  ConvertAnnualSettings("FIRMA2");
  EXPECT_EQ(GetU16(Result("FIRMA2").data(), 118), 0);
  // A 2020 source has no share of 2019 to show.
  bool bare = false;
  for (const std::string& screen : con.screens) {
    bare = bare || screen.find("w proporcji │") != std::string::npos ||
           screen.find("w proporcji  ") != std::string::npos;
  }
  EXPECT_TRUE(bare);
}

TEST_F(AnnualTest, OpenDecemberWarning) {
  struct Case {
    uint8_t approved;
    bool warn;
    bool shown;
  } cases[] = {{12, true, true}, {13, true, false}, {12, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.approved) * 10 + c.warn);
    LogClear(true);
    con.tones.clear();
    Source s;
    s.r1[3] = c.approved;
    Put("FIRMA1", "2019_ROK.REK", s.File());
    WarnOpenDecember = c.warn;
    if (c.shown) con.Keys("Enter");
    ConvertAnnualSettings("FIRMA1");
    EXPECT_EQ(LogShows("Nie zatwierdzono miesiąca GRUDNIA.2019"), c.shown);
    EXPECT_EQ(LogShows("mogę przenieść niepoprawny stan BZ.2019 jako BO.2020"), c.shown);
    EXPECT_EQ(Beeps(), c.shown ? 2u : 0u);
    EXPECT_EQ(con.PendingCount(), 0u);
    // The balances are carried whether December was approved or not.
    const Bytes out = Result();
    EXPECT_EQ(0, std::memcmp(&out[150], &s.r1[246], 8));
    EXPECT_EQ(0, std::memcmp(&out[256], &s.r1[344], 8));
  }
}

TEST_F(AnnualTest, ShortSourceLeavesNoAnnualFile) {
  const Source s;
  Bytes two = s.File();
  two.resize(2 * kRec + 100);
  Put("FIRMA1", "2019_ROK.REK", two);
  WriteFile("zev2020/FIRMA1/2020_ROK.REK", Bytes(10, 1));
  con.Keys("Enter");
  ConvertAnnualSettings("FIRMA1");
  EXPECT_TRUE(LogShows("Błąd odczytu danych z 2019"));
  EXPECT_FALSE(Exists("zev2020/FIRMA1/2020_ROK.REK"));
  EXPECT_FALSE(LogShows("Utworzono"));
  EXPECT_EQ(con.PendingCount(), 0u);
}

TEST_F(AnnualTest, OpenFailures) {
  const Source s;
  Put("NOWA", "2019_ROK.REK", s.File());  // no 2020 directory for it
  con.Keys("Enter");
  ConvertAnnualSettings("NOWA");
  EXPECT_TRUE(LogShows("brak dostępu do danych FirmaREK za 2020 !"));
  EXPECT_EQ(con.PendingCount(), 0u);

  // Neither file (the company table checks this first, so only a file
  // that vanished in between gets here).
  con.Keys("Enter");
  ConvertAnnualSettings("FIRMA2");
  EXPECT_TRUE(LogShows("Brak danych nnnnROK.REK danych za 2019 i 2020 !"));
  EXPECT_EQ(con.PendingCount(), 0u);
}

TEST_F(AnnualTest, SourcePathsLongerThan80Characters) {
  const Source s;
  const std::string longName(80, 'D');
  Put(longName, "2019_ROK.REK", s.File());
  MakeDir("zev2020/" + longName);
  ConvertAnnualSettings(longName);
  EXPECT_EQ(Result(longName).size(), 3 * kRec);
  EXPECT_EQ(PreviousYearPath, Dir() + "zev2019/" + longName);
}

// A file system that fails every write after the first few.
class FailingWrites : public ForwardingFs {
 public:
  FailingWrites(FileSystem& real, int okWrites) : ForwardingFs(real), left_(okWrites) {}
  int Write(FileHandle h, const void* b, uint32_t n, uint32_t& put) override {
    if (left_-- <= 0) {
      put = 0;
      return kErrDiskFull;
    }
    return Inner().Write(h, b, n, put);
  }

 private:
  int left_;
};

TEST_F(AnnualTest, WriteFailureDeletesTheDestination) {
  const Source s;
  Put("FIRMA1", "2019_ROK.REK", s.File());
  for (int okWrites : {0, 2}) {
    LogClear(true);
    FailingWrites failing(*fs, okWrites);
    SetFileSystem(&failing);
    con.Keys("Enter");
    ConvertAnnualSettings("FIRMA1");
    SetFileSystem(fs.get());
    EXPECT_TRUE(LogShows("Błąd zapisu danych do 2020")) << okWrites;
    EXPECT_FALSE(Exists("zev2020/FIRMA1/2020_ROK.REK")) << okWrites;
    EXPECT_EQ(con.PendingCount(), 0u);
  }
}

}  // namespace
}  // namespace qm::test
