// Recognition of the 2019 companies and the order of the 2020 list.
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <string>

#include "base/cp852.h"
#include "base/polish.h"
#include "driver/company_list.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tests/driver/company_list_records.h"
#include "tests/driver/transfer_fs.h"
#include "tests/support/test_env.h"
#include "tui/log_window.h"

namespace qm::test {
namespace {

class RecognitionTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    SourceRoot = Path("2019/");
    TargetRoot = Path("2020/");
    MakeDir("2019");
    MakeDir("2020");
  }
  void WriteList(const std::vector<CompanyFields>& list) {
    WriteFile("2019/SPISFIRM.DAT", CompanyListBytes(list));
  }
  // Runs the recognition; the exit code, or -1 when it returned.
  int Recognise(int32_t& count) {
    try {
      RecogniseEnvironment(count);
    } catch (const ProgramExited& e) {
      return e.code;
    }
    return -1;
  }
  // The log rows 1..24 that are not blank, trailing blanks removed.
  std::vector<std::string> LogLines() const {
    std::vector<std::string> out;
    for (int r = 1; r <= 24; ++r) {
      std::string s = Cp852ToUtf8(LogShadowRow(r));
      s.erase(s.find_last_not_of(' ') + 1);
      if (!s.empty()) out.push_back(s);
    }
    return out;
  }
};

TEST_F(RecognitionTest, EveryCompanyAlreadyIn2020LeavesNothing) {
  WriteList({{"Alfa", "ALFA", ""}, {"Beta", "BETA", ""}});
  MakeDir("2019/ALFA");
  MakeDir("2019/BETA");
  MakeDir("2020/ALFA");
  MakeDir("2020/BETA");
  con.Keys("x");
  int32_t count = -1;
  EXPECT_EQ(Recognise(count), -1);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "ROZPOZNANIE ŚRODOWISKA PRACY ZEV 2019",
                            "Odnaleziono katalog docelowy ALFA dla firmy Alfa",
                            "Odnaleziono katalog docelowy BETA dla firmy Beta",
                            "Zerowa ilość odczytanych firm",
                        }));
  EXPECT_EQ(con.PendingCount(), 0u);  // the key wait took the key
}

TEST_F(RecognitionTest, ADirectoryNamedTwiceIsOfferedOnceAndTheListNeedsRepair) {
  // The file system finds names whatever their case: "alfa" is ALFA.
  WriteList({{"Alfa", "ALFA", ""}, {"Beta", "BETA", ""}, {"Alfa bis", "alfa", ""}, {"Beta 2", "BETA", ""}});
  MakeDir("2019/ALFA");
  MakeDir("2019/BETA");
  con.Keys("x");
  int32_t count = 0;
  EXPECT_EQ(Recognise(count), -1);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(CompanyEntryAt(1)->record.Name(), "Alfa");
  EXPECT_EQ(CompanyEntryAt(2)->record.Name(), "Beta");
  EXPECT_TRUE(CompanyListNeedsRepair);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "ROZPOZNANIE ŚRODOWISKA PRACY ZEV 2019",
                            "Katalog alfa firmy Alfa bis wskazuje już firma Alfa - pominięto",
                            "Katalog BETA firmy Beta 2 wskazuje już firma Beta - pominięto",
                            "Napraw plik SPISFIRM.DAT !",
                        }));
  EXPECT_EQ(con.Attr(1, 3), 12);  // below the heading and its empty line
}

TEST_F(RecognitionTest, MissingSourceDirectoryAsksForRepair) {
  WriteList({{"Alfa", "ALFA", "i1"}, {"Gamma", "GAMMA", "i2"}});
  MakeDir("2019/GAMMA");
  con.Keys("x");
  int32_t count = 0;
  EXPECT_EQ(Recognise(count), -1);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(CompanyEntryAt(1)->record.Directory(), "GAMMA");
  EXPECT_TRUE(CompanyEntryAt(1)->selected);
  EXPECT_EQ(CompanyEntryAt(2), nullptr);
  EXPECT_TRUE(CompanyListNeedsRepair);
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "Brak katalogu zródłowego    ALFA dla firmy Alfa");
  EXPECT_EQ(lines[2], "Napraw plik SPISFIRM.DAT !");
}

TEST_F(RecognitionTest, DirectoryNamesLeavingTheInstallationAreRefused) {
  // Each of these would reach outside SourceRoot/TargetRoot, or name a
  // drive; "Ok" is the only company offered.
  WriteList({{"Pusta", "", ""},
             {"Kropka", ".", ""},
             {"Wyzej", "..", ""},
             {"Ukosnik", "a/b", ""},
             {"Wsteczny", "..\\x", ""},
             {"Dysk", "C:", ""},
             {"Absolut", "/etc", ""},
             {"Ok", "OK", ""}});
  MakeDir("2019/OK");
  MakeDir("2019/a/b");
  con.Keys("x");
  int32_t count = 0;
  EXPECT_EQ(Recognise(count), -1);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(CompanyEntryAt(1)->record.Name(), "Ok");
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[3], "Niepoprawna nazwa katalogu .. dla firmy Wyzej - pominięto");
  EXPECT_EQ(lines[8], "Napraw plik SPISFIRM.DAT !");
  EXPECT_EQ(con.Attr(1, 3), kLogError);  // the first refusal, in red
  EXPECT_EQ(SafeCompanyDirectory("FIRMA_01"), true);
}

TEST_F(RecognitionTest, PartialTrailingRecordIsIgnored) {
  auto bytes = CompanyListBytes({{std::string(31, 'N'), "ABCDEFGH", std::string(25, 'i')}});
  bytes.resize(150, 0x41);
  WriteFile("2019/SPISFIRM.DAT", bytes);
  MakeDir("2019/ABCDEFGH");
  int32_t count = 0;
  EXPECT_EQ(Recognise(count), -1);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(CompanyEntryAt(1)->record.Name(), std::string(31, 'N'));
  EXPECT_EQ(CompanyEntryAt(1)->record.Directory(), "ABCDEFGH");
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + kCompanyRecSize,
                         CompanyEntryAt(1)->record.bytes.begin()));
}

TEST_F(RecognitionTest, TableHolds2048AndReportsTheOverflow) {
  // Every name below the 2019 root is an existing directory: thousands of
  // company directories without making them on the disk.
  WatchingFs fake(*fs);
  const std::string root = SourceRoot;
  fake.fakeFind = [root](const std::string& pattern, FindEntry& e) {
    if (pattern.size() <= root.size() || pattern.compare(0, root.size(), root) != 0 ||
        pattern.find('/', root.size()) != std::string::npos)
      return false;
    e.name = pattern.substr(root.size());
    e.attr = kAttrDirectory;
    e.size = 0;
    return true;
  };
  SetFileSystem(&fake);
  std::vector<CompanyFields> list;
  for (int i = 0; i < 2049; ++i) list.push_back({"Firma " + std::to_string(i), "F" + std::to_string(i), ""});
  for (const size_t n : {size_t{2048}, size_t{2049}}) {
    WriteList(std::vector<CompanyFields>(list.begin(), list.begin() + static_cast<long>(n)));
    LogClear(true);
    fake.fakeFinds = fake.reads = 0;
    int32_t count = 0;
    EXPECT_EQ(Recognise(count), -1);
    EXPECT_EQ(count, 2048);
    EXPECT_EQ(fake.fakeFinds, 2048);  // one 2019 test per company entered
    EXPECT_LT(fake.reads, 20);       // read in blocks, not record by record
    EXPECT_EQ(CompanyEntryAt(2048)->record.Directory(), "F2047");
    const auto lines = LogLines();
    const bool overflow =
        !lines.empty() && lines.back() == "Przekroczona maksymalna ilość firm 2048";
    EXPECT_EQ(overflow, n == 2049) << n;
  }
  SetFileSystem(fs.get());
}

TEST_F(RecognitionTest, MissingListStopsWithErrorBox) {
  con.Keys("Enter");
  int32_t count = 0;
  EXPECT_EQ(Recognise(count), 0);
  EXPECT_EQ(LogLines().back(), "Błąd otwarcia/dostępu do pliku " + Path("2019/SPISFIRM.DAT"));
}

// Another process made by fork(); the Windows build starts a second copy of
// its test program instead (the *_win32_test files).
#ifndef _WIN32
// The package holding the list open on another workstation (here: another
// process) makes the recognition stop instead of reading a list in change.
TEST_F(RecognitionTest, ListOpenElsewhereIsNotRead) {
  WriteList({{"Alfa", "ALFA", ""}});
  MakeDir("2019/ALFA");
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const std::string path = Path("2019/SPISFIRM.DAT");
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // The child ends when told, when the test process goes away (the pipe
    // then reads as ended) or after a minute at most.
    alarm(60);
    close(ready[0]);
    close(release[1]);
    auto hostFs = MakeHostFileSystem();
    FileHandle h = kNoHandle;
    char c = hostFs->Open(path, kAccessReadWrite | kShareDenyNone, h) == kOk ? 'O' : 'F';
    if (write(ready[1], &c, 1) != 1) _exit(1);
    if (read(release[0], &c, 1) < 0) _exit(1);
    _exit(0);
  }
  close(ready[1]);
  close(release[0]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  struct Release {
    int fd;
    pid_t pid;
    ~Release() {
      char x = 'x';
      if (write(fd, &x, 1) != 1) kill(pid, SIGKILL);
      close(fd);
      waitpid(pid, nullptr, 0);
    }
  } releaseChild{release[1], pid};
  ASSERT_EQ(c, 'O');
  con.capture = true;
  con.Keys("Enter");
  int32_t count = 0;
  EXPECT_EQ(Recognise(count), 0);
  EXPECT_EQ(count, 0);
  ASSERT_FALSE(con.screens.empty());
  EXPECT_NE(con.screens.back().find("Brak dostępu do pliku"), std::string::npos);
  close(ready[0]);
}
#endif  // _WIN32

TEST_F(RecognitionTest, ListShorterThanOneRecordStopsAfterKey) {
  WriteFile("2019/SPISFIRM.DAT", Bytes(102, 1));
  con.Keys("x");
  int32_t count = 0;
  EXPECT_EQ(Recognise(count), 0);
  EXPECT_EQ(LogLines().back(), "Zerowa długość pliku SPISFIRM.DAT");
  EXPECT_EQ(con.PendingCount(), 0u);
}

TEST_F(RecognitionTest, OtherListNameIsUsed) {
  CompanyListName = "FIRMY.DAT";
  WriteFile("2019/FIRMY.DAT", CompanyListBytes({{"Alfa", "ALFA", ""}}));
  MakeDir("2019/ALFA");
  int32_t count = 0;
  EXPECT_EQ(Recognise(count), -1);
  EXPECT_EQ(count, 1);
}

// ---------------------------------------------------------------- ordering

std::vector<uint8_t> Rec(const std::string& nameUtf8, const std::string& dir, const std::string& info) {
  return CompanyRecordBytes({Pl(nameUtf8), dir, info});
}

TEST(CompanyOrder, SortKeyPadsEachField) {
  const auto r = Rec("Abc", "DIR", "info");
  EXPECT_EQ(SortKey(r.data()), "Abc" + std::string(28, ' ') + " DIR      info" + std::string(21, ' '));
}

TEST(CompanyOrder, NameThenDirectoryThenInfoIgnoringCase) {
  struct Case {
    std::vector<uint8_t> existing, added;
    int sign;  // expected sign of Compare
  };
  const Case cases[] = {
      {Rec("Alfa", "A", ""), Rec("Beta", "A", ""), +1},        // existing first
      {Rec("Beta", "A", ""), Rec("Alfa", "A", ""), -1},        // existing moves up
      {Rec("alfa", "B", ""), Rec("ALFA", "A", ""), -1},        // case ignored, directory decides
      {Rec("ALFA", "A", "x"), Rec("alfa", "a", "y"), +1},      // then info
      {Rec("Alfa", "A", "x"), Rec("ALFA", "a", "X"), 0},       // equal keys
      {Rec("Łoś", "A", ""), Rec("Lis", "A", ""), -1},          // Ł after L
      {Rec("łoś", "A", ""), Rec("Mak", "A", ""), +1},          // Ł before M
      {Rec("Ąbc", "A", ""), Rec("Ab", "A", ""), -1},           // Ą after A
      {Rec("Zebra", "A", ""), Rec("Żaba", "A", ""), +1},       // Ż after Z
      {Rec("Ab", "A", ""), Rec("Ab Cd", "A", ""), +1},         // blank-padded shorter name first
  };
  int i = 0;
  for (const Case& c : cases) {
    const int16_t r = Compare(c.existing.data(), c.added.data());
    const int sign = r < 0 ? -1 : (r > 0 ? 1 : 0);
    EXPECT_EQ(sign, c.sign) << "case " << i;
    ++i;
  }
  // The insertion's order keeps the added record's key and one string for
  // the records it walks: the same answers, however many it compares, and
  // a record whose lengths overrun their fields is read within them.
  std::vector<std::vector<uint8_t>> all;
  for (const Case& c : cases) all.insert(all.end(), {c.existing, c.added});
  auto overrun = Rec("Zły", "DIR", "info");
  for (const size_t off : {kCompanyNameOff, kCompanyDirOff, kCompanyInfoOff}) overrun[off] = 0xFF;
  all.push_back(overrun);
  for (const auto& added : all) {
    CompanyOrder order(added.data());
    for (const auto& existing : all)
      EXPECT_EQ(order.Compare(existing.data()),
                PlCompare(PlUpperCase(SortKey(existing.data())), PlUpperCase(SortKey(added.data()))));
  }
}

}  // namespace
}  // namespace qm::test
