// The wizard pages: page 1's check of the directories, of write access to
// both trees and its path file notice, page 3's staff and family rule,
// page 4's automatic switch and focus, and F1's part of the user guide on
// every page.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#ifndef _WIN32
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "base/cp852.h"
#include "driver/guide_sections.h"
#include "driver/main_sequence.h"
#include "driver/wizard.h"
#include "driver/write_access.h"
#include "platform/process.h"
#include "run/run_settings.h"
#include "tests/support/refusing_fs.h"
#include "tests/support/test_env.h"
#include "tui/help_window.h"
#include "tui/message_box.h"

namespace qm::test {
namespace {

class PagesTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    WriteFile("2019/SPISFIRM.DAT", Bytes(103, 0));
    MakeDir("2020");
    ProgramBase = Path("qm19-20");
  }
  // Builds a page and runs it; the command that ended it.
  uint16_t RunPage(std::unique_ptr<DialogForm> page, int* focus = nullptr) {
    EXPECT_TRUE(page);
    if (!page) return 0;
    const uint16_t cmd = page->Run();
    if (focus) *focus = page->Current();
    return cmd;
  }
  bool SawOnScreen(const std::string& utf8) const {
    for (const std::string& s : con.screens) {
      if (s.find(utf8) != std::string::npos) return true;
    }
    return false;
  }
  bool ProbeLeft() const {
    for (const char* dir : {"2019/", "2020/", "2020/_QM1920/"})
      if (Exists(dir + std::string(kWriteProbeName))) return true;
    return false;
  }
};

// ------------------------------------------------------------------ page 1

TEST_F(PagesTest, ValidatePathsCases) {
  MakeDir("zev");
  MakeDir("ZEV");
  WriteFile("zev/SPISFIRM.DAT", Bytes(103, 0));
#ifdef _WIN32
  const std::string root = Dir().substr(0, 3);  // the root of the drive
#else
  const std::string root = "/";
#endif
  struct Case {
    std::string source, target;
    bool ok;
    const char* box;  // UTF-8 text of the error box, or null
    std::string sourceAfter, targetAfter;
  };
  const Case cases[] = {
      {Path("2019"), Path("2020"), true, nullptr, Path("2019/"), Path("2020/")},
      {Path("2019/"), root, true, nullptr, Path("2019/"), root},  // the root is not tested
      {Path("2019/"), "", true, nullptr, Path("2019/"), ""},     // an empty target stays empty
      {Path("brak"), Path("2020"), false, "Brak pliku SPISFIRM.DAT", Path("brak/"), Path("2020")},
      {Path("2019/"), Path("nowy"), false, "Brak katalogu", Path("2019/"), Path("nowy/")},
      {Path("zev/"), Path("ZEV/"), false, "Katalogi nię mogą być identyczne !", Path("zev/"), Path("ZEV/")},
  };
  for (const Case& c : cases) {
    SourceRoot = c.source;
    TargetRoot = c.target;
    con.screens.clear();
    con.capture = true;
    if (c.box) con.Keys("Enter");
    EXPECT_EQ(ValidatePaths(), c.ok) << c.source << " " << c.target;
    EXPECT_EQ(SourceRoot, c.sourceAfter);
    EXPECT_EQ(TargetRoot, c.targetAfter);
    if (c.box) {
      EXPECT_TRUE(SawOnScreen(c.box)) << c.box;
    }
    EXPECT_EQ(con.PendingCount(), 0u);
  }
}

// Page 1 left forward makes and removes a file in the 2019 root and in
// _QM1920 (else the 2020 root). A tree that refuses is named with the
// reason, page 1 stays and the paths are not saved; nothing is left.
TEST_F(PagesTest, ATreeThatRefusesWritingIsNamedAndPageOneStays) {
  SourceRoot = Path("2019/");
  TargetRoot = Path("2020/");
  using Calls = RefusingFs::Calls;
  struct Case {
    bool books;           // _QM1920 exists in the 2020 root
    const char* refused;  // the directory refusing; null: none
    int code;
    Calls calls;
    const char* tree;    // its line in the box, UTF-8; null: no box
    const char* reason;  // UTF-8
  };
  const Case cases[] = {
      {false, nullptr, kOk, Calls::MakeAndRemove, nullptr, nullptr},
      {false, "2019/", kErrAccessDenied, Calls::MakeAndRemove, "Nie można pisać w instalacji 2019:",
       "(brak uprawnień do zapisu albo dysk tylko do odczytu)"},
      {false, "2020/", kErrAccessDenied, Calls::MakeAndRemove, "Nie można pisać w instalacji 2020:",
       "(brak uprawnień do zapisu albo dysk tylko do odczytu)"},
      // With _QM1920 there, the run writes there first: that is what counts.
      {true, "2020/_QM1920/", kErrDiskFull, Calls::MakeAndRemove, "_QM1920", "(brak miejsca na dysku)"},
      {true, "2020/", kErrAccessDenied, Calls::MakeAndRemove, nullptr, nullptr},
      {false, "2019/", kErrSharingViolation, Calls::RemoveOnly, "Nie można pisać w instalacji 2019:",
       "(plik próbny jest używany przez inny program)"},
  };
  for (const Case& c : cases) {
    std::error_code ec;
    std::filesystem::remove_all(HostPath(Path("2020/_QM1920")), ec);
    std::filesystem::remove(HostPath(Path("2019/") + kWriteProbeName), ec);
    std::filesystem::remove(HostPath(Path("qm19-20.PTH")), ec);
    if (c.books) MakeDir("2020/_QM1920");
    RefusingFs refusing(*fs, c.refused ? Path(c.refused) : std::string(), c.code, RefusingFs::Depth::InDirOnly,
                        c.calls);
    SetFileSystem(&refusing);
    con.screens.clear();
    con.capture = true;
    // Tick the path file's box, go forward; after a refusal, OK and give up.
    con.Keys(c.tree ? "Tab Tab Space PgDn Enter Esc" : "Tab Tab Space PgDn");
    EXPECT_EQ(RunPage(PathsPage()), c.tree ? CMD_ABORT : CMD_NEXT) << c.refused;
    SetFileSystem(fs.get());
    EXPECT_EQ(con.PendingCount(), 0u) << c.refused;
    EXPECT_EQ(Exists("qm19-20.PTH"), c.tree == nullptr) << c.refused << ": the paths saved";
    if (c.tree) {
      EXPECT_TRUE(SawOnScreen(c.tree) && SawOnScreen(c.reason)) << c.refused;
      EXPECT_TRUE(SawOnScreen("Przenoszenie danych nie może się zacząć.")) << c.refused;
    }
    if (c.calls != Calls::RemoveOnly) {
      EXPECT_FALSE(ProbeLeft()) << c.refused;
    }
  }
}

#ifndef _WIN32
// The 2019 tree on a read-only mount, as a share mounted so or a backup
// disk would be: refused with the reason the host gives. In a child with a
// mount namespace of its own, so that the mount ends with it.
TEST_F(PagesTest, AReadOnlyMountIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  SourceRoot = Path("2019/");
  TargetRoot = Path("2020/");
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const std::string dir = Path("2019");
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
      _exit(77);
    con.capture = true;
    con.Keys("Enter");
    const bool refused = !CheckWriteAccess() && SawOnScreen("Nie można pisać w instalacji 2019:") &&
                         SawOnScreen("dysk tylko do odczytu") && !SawOnScreen("instalacji 2020");
    _exit(refused && con.PendingCount() == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(ProbeLeft());
}
#endif

TEST_F(PagesTest, FailedCheckKeepsPageOneOpenAndMovesTheFocus) {
  struct Case {
    std::string source, target;
    const char* keys;
    int focus;
  };
  const Case cases[] = {
      // no company list in the source: back to the source field
      {Path("brak"), Path("2020"), "Tab PgDn Enter Esc", kPathsSourceField},
      // the same directory twice: to the target field
      {Path("2019"), Path("2019"), "PgDn Enter Esc", kPathsTargetField},
      // a missing target: the focus stays where it was
      {Path("2019"), Path("nowy"), "Tab Tab PgDn Enter Esc", 3},
  };
  for (const Case& c : cases) {
    SourceRoot = c.source;
    TargetRoot = c.target;
    con.Keys(c.keys);
    int focus = 0;
    EXPECT_EQ(RunPage(PathsPage(), &focus), CMD_ABORT) << c.keys;
    EXPECT_EQ(focus, c.focus) << c.keys;
  }
}

TEST_F(PagesTest, SourceShownWithSeparatorAfterAFailedCheck) {
  SourceRoot = Path("brak");
  TargetRoot = Path("2020");
  con.capture = true;
  con.Keys("PgDn Enter Esc");
  EXPECT_EQ(RunPage(PathsPage()), CMD_ABORT);
  EXPECT_NE(con.screens.back().find(Path("brak/")), std::string::npos);
  EXPECT_TRUE(SawOnScreen("tam gdzie jest plik SPISFIRM.DAT"));
}

TEST_F(PagesTest, CheckedBoxSavesThePathsWhenLeavingForward) {
  SourceRoot = Path("2019");
  TargetRoot = Path("2020");
  con.Keys("PgDn");
  EXPECT_EQ(RunPage(PathsPage()), CMD_NEXT);
  EXPECT_FALSE(Exists("qm19-20.PTH"));  // unchecked: nothing saved
  con.Keys("Tab Tab Space PgDn");
  EXPECT_EQ(RunPage(PathsPage()), CMD_NEXT);
  EXPECT_EQ(ReadText("qm19-20.PTH"),
            "[PATHS]\r\nZEV_2019=" + Path("2019") + "\r\nZEV_2020=" + Path("2020") + "\r\n");
  // A new showing starts unchecked again.
  std::filesystem::remove(Path("qm19-20.PTH"));
  con.Keys("PgDn");
  EXPECT_EQ(RunPage(PathsPage()), CMD_NEXT);
  EXPECT_FALSE(Exists("qm19-20.PTH"));
}

TEST_F(PagesTest, PageOneBindsItsOptions) {
  SourceRoot = Path("2019/");
  TargetRoot = Path("2020/");
  // From the source field to the first option box, then the next two.
  con.Keys("Tab Tab Tab Tab Space Tab Space Tab Space PgDn");
  EXPECT_EQ(RunPage(PathsPage()), CMD_NEXT);
  EXPECT_FALSE(WarnOpenDecember);
  EXPECT_TRUE(SlowDetails);
  EXPECT_TRUE(HideConverted);
}

// ------------------------------------------------------------------ page 2

TEST_F(PagesTest, GlobalPageBindsItsGroup) {
  con.Keys("Space Down Space PgUp");  // clears the first two items
  EXPECT_EQ(RunPage(GlobalDataPage()), CMD_BACK);
  EXPECT_EQ(GlobalOptions, 0x06D7 & ~0x0003);
}

// ------------------------------------------------------------------ page 3

TEST_F(PagesTest, FamilyDataNeverWithoutStaff) {
  struct Case {
    const char* keys;
    uint16_t bits;
  };
  const Case cases[] = {
      {"Down Space PgDn", 0xFFF9},                        // staff off takes the families
      {"Down Space Down Space PgDn", 0xFFF9},             // families alone are refused
      {"Down Down Space PgDn", 0xFFFF & ~0x0004},  // families off, staff stays
  };
  for (const Case& c : cases) {
    CompanyDataItems = 0xFFFF;
    con.Keys(c.keys);
    EXPECT_EQ(RunPage(CompanyDataPage()), CMD_NEXT) << c.keys;
    EXPECT_EQ(CompanyDataItems, c.bits) << c.keys;
  }
}

TEST_F(PagesTest, FamilyBoxClearedAtOnce) {
  con.capture = true;
  con.Keys("Down Space PgDn");
  EXPECT_EQ(RunPage(CompanyDataPage()), CMD_NEXT);
  ASSERT_EQ(con.screens.size(), 3u);
  EXPECT_NE(con.screens[0].find("[■] dane rodzin ww"), std::string::npos);
  // The screen the operator sees right after Space, before any other key.
  EXPECT_NE(con.screens[2].find("[ ] dane rodzin ww"), std::string::npos);
  EXPECT_NE(con.screens[2].find("[ ] dane pracowników"), std::string::npos);
}

TEST_F(PagesTest, StaffModeAndAddOnsBound) {
  // Group 1 -> radio (staff): Down, Space chooses item 2.
  con.Keys("Tab Down Space Tab Tab Tab Down Space PgDn");
  EXPECT_EQ(RunPage(CompanyDataPage()), CMD_NEXT);
  EXPECT_EQ(StaffMode, 1);
  EXPECT_EQ(AddOnItems, 0xFFFF);  // the second add-on switched on
}

// ------------------------------------------------------------------ page 4

TEST_F(PagesTest, StartPageFocusAndCommands) {
  struct Case {
    const char* keys;
    uint16_t cmd;
  };
  const Case cases[] = {{"PgUp", CMD_BACK}, {"F5", CMD_START}, {"Esc", CMD_ABORT}, {"PgDn Esc", CMD_ABORT}};
  for (const Case& c : cases) {
    con.Keys(c.keys);
    auto page = StartPage();
    ASSERT_TRUE(page);
    EXPECT_EQ(page->Current(), kStartPauseBox);
    EXPECT_EQ(page->Run(), c.cmd) << c.keys;
  }
}

TEST_F(PagesTest, StartPageSwitchesGlobalDataOffOnItsFirstShowingOnly) {
  TargetRoot = Path("2020/");
  WriteFile("2020/#BIN020/baza_ad8.rek", Bytes(480, 1));
  con.Keys("PgUp");
  EXPECT_EQ(RunPage(StartPage()), CMD_BACK);
  EXPECT_EQ(StartOptions, 0xFFFE);
  // Shown again: left as it is, not inverted back on.
  con.Keys("PgUp");
  EXPECT_EQ(RunPage(StartPage()), CMD_BACK);
  EXPECT_EQ(StartOptions, 0xFFFE);
  // The operator's choice holds too.
  con.Keys("S-Tab S-Tab Space PgUp");
  EXPECT_EQ(RunPage(StartPage()), CMD_BACK);
  EXPECT_EQ(StartOptions, 0xFFFF);
  con.Keys("PgUp");
  EXPECT_EQ(RunPage(StartPage()), CMD_BACK);
  EXPECT_EQ(StartOptions, 0xFFFF);
}

TEST_F(PagesTest, StartPageKeepsGlobalDataWithoutAnAddressBase) {
  TargetRoot = Path("2020/");
  WriteFile("2020/#BIN020/baza_ad8.rek", Bytes());  // empty counts as absent
  con.Keys("PgUp");
  EXPECT_EQ(RunPage(StartPage()), CMD_BACK);
  EXPECT_EQ(StartOptions, 0xFFFF);
}

TEST_F(PagesTest, StartPageBindsSubdirectoryAndPause) {
  con.Keys("Space S-Tab ^Y \"#ABC\" F5");
  EXPECT_EQ(RunPage(StartPage()), CMD_START);
  EXPECT_TRUE(PausePerCompany);
  EXPECT_EQ(GlobalSourceSubdir, "#ABC");
}

// ------------------------------------------------------- path file notice

TEST_F(PagesTest, PageOneSaysWhenThePathFileReplacedTheCommandLine) {
  const auto sep = [](std::string p) {
    std::replace(p.begin(), p.end(), '/', kPathSep);
    return p;
  };
  struct Case {
    std::vector<std::string> args;
    const char* pathFile2020;  // the ZEV_2020 value, null: no such line
    bool notice;
  };
  const Case cases[] = {
      {{}, "/inny/2020", false},  // nothing given, nothing replaced
      {{"/dane/2020"}, "/inny/2020", true},
      // An undo works on the directory given: nothing is replaced.
      {{"/kprspis:X.DAT", "/COFNIJ", "/dane/2020"}, "/inny/2020", false},
      {{"/dane/2020"}, "/dane/2020", false},
      {{"/dane/2020/"}, "/DANE/2020", false},  // the same directory, spelt otherwise
      {{"/dane/2020"}, nullptr, false},
      // The undo switches are never the directory given.
      {{"/COFNIJ", "/inny/2020"}, "/inny/2020", false},
      {{"--undo"}, "/inny/2020", false},
  };
  // Page 1 after start-up, row by row (characters and colours).
  const auto startAndShow = [&](const Case& c) {
    ResetWizardState();
    SetCommandArgs(c.args);
    WriteText("qm19-20.PTH", sep("ZEV_2019=" + Path("2019")) + "\r\n" +
                                 (c.pathFile2020 ? "ZEV_2020=" + sep(c.pathFile2020) + "\r\n" : std::string()));
    EXPECT_NO_THROW(StartUp());
    auto form = PathsPage();
    std::vector<std::string> rows;
    for (int row = 1; row <= 25; ++row) {
      std::string cells;
      for (int col = 1; col <= 80; ++col) {
        const Cell cell = con.Get(col, row);
        cells += {static_cast<char>(cell.ch), static_cast<char>(cell.attr)};
      }
      rows.push_back(cells);
    }
    return rows;
  };
  ASSERT_FALSE(cases[0].notice);
  const std::vector<std::string> plain = startAndShow(cases[0]);
  const std::string notice = Pl("Uwaga: katalog docelowy z wiersza poleceń zastąpiono tym z qm19-20.PTH");
  for (const Case& c : cases) {
    const std::vector<std::string> shown = startAndShow(c);
    const std::string name = c.args.empty() ? "(none)" : c.args.back();
    // Row 10 of the page, from its column 4, is screen row 13 from column
    // 7; every other cell but the target field's (screen row 10) is as
    // without the notice.
    std::string row13;
    for (size_t i = 12; i < 12 + 2 * notice.size(); i += 2) row13 += shown[12][i];
    EXPECT_EQ(row13, c.notice ? notice : std::string(notice.size(), ' ')) << name;
    EXPECT_EQ(shown[12][13], c.notice ? 0x0E : Role(5)) << name;
    for (int row = 1; row <= 25; ++row) {
      if (row == 10 || (row == 13 && c.notice)) continue;
      EXPECT_TRUE(shown[static_cast<size_t>(row - 1)] == plain[static_cast<size_t>(row - 1)]) << name << " row " << row;
    }
  }
  SetCommandArgs({});
}

// ------------------------------------------------------------------ F1

TEST_F(PagesTest, F1OrItsHintShowsThePagesPartOfTheGuideAndGivesThePageBack) {
  SourceRoot = Path("2019/");
  TargetRoot = Path("2020/");
  struct Case {
    int page;
    std::function<std::unique_ptr<DialogForm>()> build;
    const char* title;  // on the help window's frame
    const char* first;  // on its first screen
    const char* last;   // after End
    const char* hint;   // the page's hint line, from column 2
  };
  const Case cases[] = {
      {1, PathsPage, "Strona 1: Lokalizacja", "katalog instalacji 2019", "końcowy separator katalogu",
       "PgDn-Dalej│F1-Pomoc│"},
      {2, GlobalDataPage, "Strona 2: Dane globalne, konfiguracyjne", "#BIN020", "przed danymi firm",
       "PgUp-Wstecz│PgDn-Dalej│F1-Pomoc│"},
      {3, CompanyDataPage, "Strona 3: Dane firmowe", "2020_ROK.REK", "wydaniach", "PgUp-Wstecz│PgDn-Dalej│F1-Pomoc│"},
      {4, StartPage, "Strona 4: Start kopiowania", "#BIN990", "Nacisnij Enter", "PgUp-Wstecz│F5-ZACZNIJ│F1-Pomoc│"},
  };
  for (const Case& c : cases) {
    const GuideSection* section = GuideSectionOf(c.page);
    ASSERT_NE(section, nullptr) << c.page;
    EXPECT_STREQ(section->title, c.title);
    // Every character of the help has its CP852 form: none turns into "?".
    const std::string text = section->text;
    const std::string cp852 = Pl(text);
    EXPECT_EQ(std::count(cp852.begin(), cp852.end(), '?'), std::count(text.begin(), text.end(), '?')) << c.page;

    // F1, then a click on the hint line's "F1-Pomoc" (columns counted in
    // characters, "│" being one).
    const std::string hint = c.hint;
    int column = 2;
    for (size_t i = 0; i < hint.find("F1-Pomoc"); ++i) column += (hint[i] & 0xC0) != 0x80 ? 1 : 0;
    con.screens.clear();
    con.capture = true;
    con.Keys("F1 End Esc");
    con.Mouse(column + 3, 25, 1);
    con.Keys("Esc Esc");
    EXPECT_EQ(RunPage(c.build()), CMD_ABORT) << c.page;
    ASSERT_EQ(con.screens.size(), 6u) << c.page;  // page, help, help at its end, page, help, page
    EXPECT_NE(con.screens[0].find(hint), std::string::npos) << c.page;
    EXPECT_NE(con.screens[1].find(c.title), std::string::npos) << c.page;
    EXPECT_NE(con.screens[1].find(c.first), std::string::npos) << c.page;
    EXPECT_NE(con.screens[2].find(c.last), std::string::npos) << c.page;
    EXPECT_NE(con.screens[1].find("Esc-Zamknij"), std::string::npos) << c.page;
    EXPECT_EQ(con.screens[3], con.screens[0]) << c.page;
    EXPECT_EQ(con.screens[4], con.screens[1]) << c.page;
    EXPECT_EQ(con.screens[5], con.screens[0]) << c.page;
  }
}

}  // namespace
}  // namespace qm::test
