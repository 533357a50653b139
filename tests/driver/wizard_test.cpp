// The wizard loop: moving between pages, the Esc question and the start
// branch.
#include <string>

#include "base/cp852.h"
#include "driver/main_sequence.h"
#include "driver/wizard.h"
#include "platform/process.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tests/driver/company_list_records.h"
#include "tests/driver/transfer_fs.h"
#include "tests/support/test_env.h"
#include "tui/log_window.h"

namespace qm::test {
namespace {

class WizardTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    WriteFile("2019/SPISFIRM.DAT", CompanyListBytes({{"Alfa", "ALFA", ""}}));
    MakeDir("2019/ALFA");
    MakeDir("2019/#BIN990");
    MakeDir("2020");
    SourceRoot = Path("2019/");
    TargetRoot = Path("2020/");
  }
  // The text of the log rows, trailing blanks removed.
  std::string LogRowText(int row) const {
    std::string s = Cp852ToUtf8(LogShadowRow(row));
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  }
  bool LogShows(const std::string& utf8) const {
    for (int r = 1; r <= 25; ++r) {
      if (LogRowText(r).find(utf8) != std::string::npos) return true;
    }
    return false;
  }
};

TEST_F(WizardTest, PageMovesTable) {
  struct Case {
    const char* keys;  // each ends with Esc and a confirming "t"
    uint8_t page;
  };
  const Case cases[] = {
      {"Esc t", 1},
      {"PgUp Esc t", 1},             // page 1 offers no way back
      {"F5 Esc t", 1},               // F5 only on page 4
      {"PgDn Esc t", 2},
      {"PgDn PgUp Esc t", 1},
      {"PgDn F5 Esc t", 2},
      {"PgDn PgDn F5 Esc t", 3},
      {"PgDn PgDn PgDn Esc t", 4},
      {"PgDn PgDn PgDn PgDn Esc t", 4},  // past the last page: nothing
      {"PgDn PgDn PgDn PgUp PgUp Esc t", 2},
      {"PgDn Esc n PgDn Esc t", 3},  // No: the same page again, then on
  };
  for (const Case& c : cases) {
    ResetWizardState();
    con.Keys(c.keys);
    RunWizard();
    EXPECT_EQ(CurrentPage, c.page) << c.keys;
    EXPECT_EQ(con.PendingCount(), 0u) << c.keys;
  }
  EXPECT_FALSE(LogShows("Koniec pracy"));
}

TEST_F(WizardTest, EscQuestionPreselectsNo) {
  con.capture = true;
  con.Keys("Esc Enter Esc t");
  RunWizard();
  // Enter took the preselected answer, No: the question came a second time.
  int questions = 0;
  for (const std::string& s : con.screens) {
    if (s.find("Rezygnujesz z konwersji danych na nowy rok ?") != std::string::npos) ++questions;
  }
  EXPECT_EQ(questions, 2);
}

TEST_F(WizardTest, NoKeepsTheSettingsOfThePage) {
  con.Keys("PgDn Space Esc n PgUp Esc t");
  RunWizard();
  EXPECT_EQ(GlobalOptions, 0x06D6);  // the change made before Esc is kept
  EXPECT_EQ(CurrentPage, 1);
}

TEST_F(WizardTest, StartWithBothBoxesClearedCopiesNothing) {
  WatchingFs watch(*fs);
  SetFileSystem(&watch);
  StartOptions = 0;
  con.Keys("PgDn PgDn PgDn F5");
  RunWizard();
  SetFileSystem(fs.get());
  EXPECT_FALSE(Exists("2020/#BIN020"));
  // The 2019 list was only measured by page 1, never opened.
  EXPECT_TRUE(WatchingFs::NamesIn(watch.opened, Path("2019/")).empty());
  // The summary and the report's path, then the closing lines as ever.
  EXPECT_EQ(LogRowText(1), "Przeniesiono firm: 0, wycofano po błędzie: 0, pominięto: 0, błędów: 0");
  EXPECT_EQ(LogRowText(2).rfind("Raport: " + Path("2020/_QM1920/RAPORT-"), 0), 0u) << LogRowText(2);
  EXPECT_EQ(LogRowText(3), "");
  EXPECT_EQ(LogRowText(4), "");
  EXPECT_EQ(LogRowText(5), "Koniec pracy kopiera danych ZEV_QM na rok 2020");
}

TEST_F(WizardTest, GlobalBoxWithEveryGlobalItemClearedSkipsTheGlobalTransfer) {
  StartOptions = 0x0001;
  GlobalOptions = 0;
  con.Keys("PgDn PgDn PgDn F5");
  RunWizard();
  EXPECT_FALSE(Exists("2020/#BIN020"));
  EXPECT_EQ(LogRowText(5), "Koniec pracy kopiera danych ZEV_QM na rok 2020");
}

TEST_F(WizardTest, StartRunsTheGlobalTransferThenTheCompanies) {
  StartOptions = 0x0003;
  GlobalOptions = 0x0002;
  // Page 4, F5; the selection list: Ctrl+D and F5 (no company carried).
  con.Keys("PgDn PgDn PgDn F5 ^D F5");
  RunWizard();
  EXPECT_TRUE(Exists("2020/#BIN020"));
  EXPECT_TRUE(Exists("2020/SPISFIRM.DAT"));
  EXPECT_EQ(ReadFile("2020/SPISFIRM.DAT").size(), 0u);
  EXPECT_FALSE(Exists("2020/ALFA"));
  EXPECT_EQ(con.PendingCount(), 0u);
}

TEST_F(WizardTest, WholeProgramEndsWithEnterAndExitCodeZero) {
  SetProgramFilePath(Path("qm19-20"));
  WriteText("qm19-20.PTH", "[PATHS]\r\nZEV_2019=" + Path("2019") + "\r\nZEV_2020=" + Path("2020") + "\r\n");
  // Page 4: both boxes cleared, F5; then "Nacisnij Enter".
  con.Keys("PgDn PgDn PgDn S-Tab S-Tab Space Down Space F5 Enter");
  con.capture = true;
  try {
    RunProgram();
    FAIL() << "RunProgram returned";
  } catch (const ProgramExited& e) {
    EXPECT_EQ(e.code, 0);
  }
  EXPECT_EQ(con.PendingCount(), 0u);
  ASSERT_FALSE(con.screens.empty());
  EXPECT_NE(con.screens.back().find("Koniec pracy kopiera danych ZEV_QM na rok 2020"), std::string::npos);
  EXPECT_NE(con.screens.back().find("Nacisnij Enter"), std::string::npos);
}

}  // namespace
}  // namespace qm::test
