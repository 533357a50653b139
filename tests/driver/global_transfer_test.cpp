// The global transfer: which files of the 2019 global subdirectory reach
// #BIN020, in which order, and its stops.
#include <string>
#include <vector>

#include "base/cp852.h"
#include "convert/global_transfer.h"
#include "driver/wizard.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tests/driver/transfer_fs.h"
#include "tests/support/test_env.h"
#include "tui/log_window.h"
#include "tui/screen.h"

namespace qm::test {
namespace {

class GlobalTransferTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    SourceRoot = Path("2019/");
    TargetRoot = Path("2020/");
    MakeDir("2020");
    watch = std::make_unique<WatchingFs>(*fs);
    SetFileSystem(watch.get());
  }
  void TearDown() override {
    SetFileSystem(fs.get());
    QmTest::TearDown();
  }
  // Every file the transfer knows, in the given 2019 global subdirectory.
  void FillGlobalDir(const std::string& sub) {
    const std::string d = "2019/" + sub + "/";
    WriteFile(d + "baza_ad8.rek", Bytes(480 * 2, 'a'));
    WriteText(d + "zev_2019.ini", "[X]\r\nA=1\r\n");
    WriteText(d + "baza_ff.txt", "F2");
    WriteFile(d + "2019_BR.REK", Bytes(384, 0));
    WriteText(d + "ZEV_QM.INI", "[Q]\r\n");
    WriteText(d + "2019spd.ini", "[S]\r\n");
    WriteFile(d + "2019_lp2.cc", Bytes(64, 'l'));
    WriteFile(d + "KOLORY.QM", Bytes(11, 7));
    WriteFile(d + "OPERATOR.REK", Bytes(512, 0));
    WriteText(d + "ZUS_PEL.INI", "[Z]\r\n");
    WriteText(d + "UMOWY.INI", "[U]\r\n");
  }
  int Transfer() {
    try {
      if (const RunStop stop = TransferGlobalData()) StopRun(stop);
    } catch (const ProgramExited& e) {
      return e.code;
    }
    return -1;
  }
  std::vector<std::string> Created() const {
    return WatchingFs::NamesIn(watch->created, Path("2020/#BIN020/"));
  }
  std::unique_ptr<WatchingFs> watch;
};

TEST_F(GlobalTransferTest, DefaultsCarryTheirFilesInTableOrder) {
  FillGlobalDir("#BIN990");
  const TextWindowRect before = CurrentTextWindow();
  EXPECT_EQ(Transfer(), -1);
  EXPECT_EQ(Created(), (std::vector<std::string>{"baza_ad8.rek", "baza_ff.txt", "ZEV_QM.INI", "2020_lp2.cc",
                                                 "KOLORY.QM", "OPERATOR.REK", "ZUS_PEL.INI", "UMOWY.INI"}));
  EXPECT_EQ(ReadFile("2020/#BIN020/baza_ad8.rek"), Bytes(960, 'a'));
  EXPECT_EQ(ReadFile("2020/#BIN020/2020_lp2.cc"), Bytes(64, 'l'));
  EXPECT_FALSE(Exists("2020/#BIN020/zev_2020.ini"));
  EXPECT_FALSE(Exists("2020/#BIN020/2020_BR.REK"));
  EXPECT_FALSE(Exists("2020/#BIN020/2019spd.ini"));
  const TextWindowRect after = CurrentTextWindow();
  EXPECT_EQ(after.x1, before.x1);
  EXPECT_EQ(after.y1, before.y1);
  EXPECT_EQ(after.x2, before.x2);
  EXPECT_EQ(after.y2, before.y2);
  EXPECT_EQ(LogRow(), 1);  // partial clear at the end
}

TEST_F(GlobalTransferTest, EveryItemWhenEveryBitIsSet) {
  FillGlobalDir("#BIN990");
  GlobalOptions = 0xFFFF;
  EXPECT_EQ(Transfer(), -1);
  EXPECT_EQ(Created(), (std::vector<std::string>{"baza_ad8.rek", "zev_2020.ini", "baza_ff.txt", "2020_BR.REK",
                                                 "ZEV_QM.INI", "2019spd.ini", "2020_lp2.cc", "KOLORY.QM",
                                                 "OPERATOR.REK", "ZUS_PEL.INI", "UMOWY.INI"}));
}

TEST_F(GlobalTransferTest, OnlyThePlaceholderStillChecksAndCreatesTheDirectories) {
  GlobalOptions = 0x0002;
  MakeDir("2019/#BIN990");
  EXPECT_EQ(Transfer(), -1);
  EXPECT_TRUE(Exists("2020/#BIN020"));
  EXPECT_TRUE(Created().empty());
}

TEST_F(GlobalTransferTest, ClearedWageSettingsSkipBothCopies) {
  FillGlobalDir("#BIN990");
  GlobalOptions = 0x06D7 & ~0x0040;
  EXPECT_EQ(Transfer(), -1);
  EXPECT_FALSE(Exists("2020/#BIN020/2020_lp2.cc"));
}

TEST_F(GlobalTransferTest, OtherSourceSubdirectory) {
  FillGlobalDir("#STARY");
  GlobalSourceSubdir = "#STARY";
  GlobalOptions = 0x0004;
  EXPECT_EQ(Transfer(), -1);
  EXPECT_EQ(Created(), std::vector<std::string>{"baza_ff.txt"});
}

TEST_F(GlobalTransferTest, MissingSourceSubdirectoryStopsBeforeAnything) {
  con.Keys("Enter");
  EXPECT_EQ(Transfer(), 0);
  EXPECT_FALSE(Exists("2020/#BIN020"));
}

TEST_F(GlobalTransferTest, UncreatableTargetStops) {
  MakeDir("2019/#BIN990");
  TargetRoot = Path("brak/");  // its parent is missing, so #BIN020 cannot be made
  con.capture = true;
  con.Keys("Enter");
  EXPECT_EQ(Transfer(), 0);
  ASSERT_FALSE(con.screens.empty());
  EXPECT_NE(con.screens.back().find("Utworzenia katalogu"), std::string::npos);
}

TEST_F(GlobalTransferTest, PausePerCompanyWaitsAtTheEnd) {
  MakeDir("2019/#BIN990");
  GlobalOptions = 0x0002;
  PausePerCompany = true;
  con.capture = true;
  con.Keys("x");
  EXPECT_EQ(Transfer(), -1);
  EXPECT_EQ(con.PendingCount(), 0u);
  ASSERT_EQ(con.screens.size(), 1u);
  EXPECT_NE(con.screens[0].find("cdn - nacisnij dowolny klawisz."), std::string::npos);
}

}  // namespace
}  // namespace qm::test
