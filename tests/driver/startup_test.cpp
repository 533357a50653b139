// Start-up, side files, usage screen, progress log and close-down.
#include <stdlib.h>

#include <string>

#include "base/cp852.h"
#include "base/text.h"
#include "driver/main_sequence.h"
#include "platform/process.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tests/support/test_env.h"
#include "tui/log_window.h"
#include "tui/screen.h"

namespace qm::test {
namespace {

// A path written with "/" as the program spells it on this host.
std::string HostSep(std::string p) {
  for (char& c : p) {
    if (c == '/') c = kPathSep;
  }
  return p;
}

class StartupTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    SetCommandArgs({});
    unsetenv("KPRSPIS");
    ProgramBase = Path("qm19-20");
    ProgramDir = Dir();
  }
  void TearDown() override {
    SetCommandArgs({});
    unsetenv("KPRSPIS");
    QmTest::TearDown();
  }
  // Runs StartUp and gives the exit code, or -1 when it returned.
  int RunStartUp() {
    try {
      StartUp();
    } catch (const ProgramExited& e) {
      return e.code;
    }
    return -1;
  }
};

TEST_F(StartupTest, PathsFileLinesInAnyOrderWithoutSectionLine) {
  WriteText("qm19-20.PTH",
            HostSep("ZEV_2020=/nowy/2020\r\n ZEV_2019=/ignored\r\nzev_2019=/ignored2\r\nZEV_2019=/stary/2019\r\n"));
  ReadPathsFile();
  EXPECT_EQ(SourceRoot, HostSep("/stary/2019/"));
  EXPECT_EQ(TargetRoot, HostSep("/nowy/2020/"));
}

TEST_F(StartupTest, PathsFileWithLfLinesAndEmptyValue) {
  WriteText("qm19-20.PTH", HostSep("[PATHS]\nZEV_2019=\nZEV_2020=/x/\n"));
  ReadPathsFile();
  EXPECT_EQ(SourceRoot, HostSep("/"));
  EXPECT_EQ(TargetRoot, HostSep("/x/"));  // a value that ends with the separator keeps one
}

TEST_F(StartupTest, MissingPathsFileKeepsDefaultsAndWritesNothing) {
  const std::string before = SourceRoot;
  ReadPathsFile();
  EXPECT_EQ(SourceRoot, before);
  EXPECT_EQ(LogRow(), 1);  // no "Ustalenie" line
}

TEST_F(StartupTest, SavedPathsLoseTheirSeparatorAndGetItBackWhenRead) {
  SourceRoot = HostSep("/dane/ZEV/2019/");
  TargetRoot = HostSep("/dane/ZEV/2020/");
  SavePathsFile();
  EXPECT_EQ(ReadText("qm19-20.PTH"), HostSep("[PATHS]\r\nZEV_2019=/dane/ZEV/2019\r\nZEV_2020=/dane/ZEV/2020\r\n"));
  SourceRoot = "x";
  TargetRoot = "y";
  ReadPathsFile();
  EXPECT_EQ(SourceRoot, HostSep("/dane/ZEV/2019/"));
  EXPECT_EQ(TargetRoot, HostSep("/dane/ZEV/2020/"));
}

TEST_F(StartupTest, SavingIntoAnUncreatableFileIsSilent) {
  ProgramBase = Path("missing-dir/qm19-20");
  SavePathsFile();
  EXPECT_FALSE(Exists("missing-dir"));
  EXPECT_TRUE(Exists("config/qm19-20/qm19-20.PTH"));  // the user's own directory takes it
}

TEST_F(StartupTest, ListFileEntriesCutTo25) {
  WriteText("qm19-20.LST", "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234\r\nA.TXT>B.TXT\r\n\r\nlast.dat");
  ReadListFile();
  ASSERT_EQ(ExtraFiles.size(), 4u);
  EXPECT_EQ(ExtraFiles[0], "ABCDEFGHIJKLMNOPQRSTUVWXY");
  EXPECT_EQ(ExtraFiles[1], "A.TXT>B.TXT");
  EXPECT_EQ(ExtraFiles[2], "");
  EXPECT_EQ(ExtraFiles[3], "last.dat");
}

TEST_F(StartupTest, CompanyListNameFromOptionThenEnvironment) {
  struct Case {
    std::vector<std::string> args;
    const char* env;
    std::string expected;
  };
  const Case cases[] = {
      {{}, nullptr, "SPISFIRM.DAT"},
      {{"/kprspis:LISTA.DAT"}, nullptr, "LISTA.DAT"},
      {{"/data", "-KPRSPIS:INNA.DAT"}, "ENV.DAT", "INNA.DAT"},
      {{}, "ENV.DAT", "ENV.DAT"},
      {{}, "ABCDEFGHIJKLMNOP", "ABCDEFGHIJKL"},
  };
  for (const Case& c : cases) {
    CompanyListName = "SPISFIRM.DAT";
    SetCommandArgs(c.args);
    if (c.env) setenv("KPRSPIS", c.env, 1); else unsetenv("KPRSPIS");
    SettleCompanyListName();
    EXPECT_EQ(CompanyListName, c.expected) << (c.env ? c.env : "");
  }
}

TEST_F(StartupTest, QuestionMarkAnywhereInFirstArgumentShowsUsage) {
  for (const char* arg : {"?", "x?y"}) {
    con.Keys("Enter");
    SetCommandArgs({arg});
    EXPECT_EQ(RunStartUp(), 0) << arg;
    EXPECT_EQ(con.title, "qmVarno - Konwerter 2019-2020");
    EXPECT_EQ(con.Row(1).substr(0, 56), "Program do kopiowania wybranych danych do nowego ZEV_QM.");
    EXPECT_EQ(con.Row(3).substr(0, 70 * 3), [] {
      std::string s;
      for (int i = 0; i < 70; ++i) s += "─";
      return s;
    }());
    EXPECT_TRUE(con.Shows("Katalog danych - lokalizacja istniejącego katalogu na rok 2020"));
    EXPECT_TRUE(con.Shows("danych firmy na rok nastepny"));
    EXPECT_EQ(con.PendingCount(), 0u);
  }
}

TEST_F(StartupTest, TitleLinesAndDefaultPaths) {
  EXPECT_EQ(RunStartUp(), -1);
  EXPECT_EQ(SourceRoot, HostSep("/ZEV_2019/"));
#ifdef _WIN32
  EXPECT_EQ(TargetRoot, Dir().substr(0, 3));  // the root of the program's drive
#else
  EXPECT_EQ(TargetRoot, "/");
#endif
  EXPECT_EQ(con.Row(1).substr(0, 70),
            " PROGRAM DO PRZEPCHNIĘCIA DANYCH ZEV_QM Z ROKU 2019 NA 2020 1.05(x86)");
  EXPECT_EQ(con.Attr(2, 1), 10);
  // The 80-character rule shows 79 characters from column 1.
  EXPECT_EQ(con.Text(2, 1, 79), std::string(79, '\xC4'));
  EXPECT_EQ(con.Text(2, 80, 1), " ");
  EXPECT_EQ(con.Attr(1, 2), 15);
  EXPECT_EQ(con.Shape(), CursorShape::Hidden);
  EXPECT_EQ(LogRow(), 3);
}

TEST_F(StartupTest, TargetFromCommandLineThenPathsFileOverrides) {
  SetCommandArgs({"/kprspis:X.DAT", "/dane/2020"});
  EXPECT_EQ(RunStartUp(), -1);
  EXPECT_EQ(TargetRoot, "/dane/2020");  // no separator added here
  WriteText("qm19-20.PTH", HostSep("ZEV_2020=/z/pliku\r\n"));
  EXPECT_EQ(RunStartUp(), -1);
  EXPECT_EQ(TargetRoot, HostSep("/z/pliku/"));
}

TEST_F(StartupTest, LogScrollsBetweenRows3And24) {
  EXPECT_EQ(RunStartUp(), -1);
  for (int i = 1; i <= 30; ++i) LogLine("L" + std::to_string(i));
  EXPECT_EQ(con.Row(1).substr(0, 9), " PROGRAM ");
  EXPECT_EQ(con.Text(2, 1, 3), std::string(3, '\xC4'));
  for (int row = 3; row <= 22; ++row) {
    EXPECT_EQ(con.Row(row), PadRight("L" + std::to_string(row + 8), 80)) << row;
  }
  EXPECT_EQ(con.Row(23), std::string(80, ' '));
  EXPECT_EQ(con.Row(24), std::string(80, ' '));
  EXPECT_EQ(LogRow(), 23);
  // A partial clear keeps the heading and sends the cursor to row 1.
  LogClear(false);
  EXPECT_EQ(con.Row(1).substr(0, 9), " PROGRAM ");
  EXPECT_EQ(con.Row(3), std::string(80, ' '));
  EXPECT_EQ(LogRow(), 1);
}

TEST_F(StartupTest, CloseDownWaitsASecondOnlyInSlowMode) {
  for (bool slow : {false, true}) {
    SlowDetails = slow;
    con.Keys("x");
    const uint64_t before = con.nowMs;
    try {
      CloseDown();
      FAIL() << "CloseDown returned";
    } catch (const ProgramExited& e) {
      EXPECT_EQ(e.code, 0);
    }
    const uint64_t waited = con.nowMs - before;
    if (slow) {
      EXPECT_GE(waited, 1000u);
    } else {
      EXPECT_LT(waited, 1000u);
    }
    EXPECT_EQ(LogShadowRow(1), std::string(80, ' '));  // whole screen cleared at the end
  }
}

TEST_F(StartupTest, CloseDownAsksForEnter) {
  con.capture = true;
  con.Keys("Enter");
  EXPECT_THROW(CloseDown(), ProgramExited);
  ASSERT_FALSE(con.screens.empty());
  EXPECT_EQ(con.screens.back().substr(0, 14), "Nacisnij Enter");
}

}  // namespace
}  // namespace qm::test
