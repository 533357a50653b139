// Package paths settled at start-up and the ledger journal names.
#include <stdlib.h>

#include <string>

#include "fileio/shared_file.h"
#include "platform/host_fs.h"
#include "platform/process.h"
#include "run/company_text_data.h"
#include "run/package_config.h"
#include "tests/support/test_env.h"
#include "tui/screen.h"

namespace qm::test {
namespace {

const std::string S(1, kPathSep);

class PackagePathsTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    savedDir_ = ProgramDir;
    ProgramDir = S + "qm" + S;
    for (const char* v : {"KPRCNF", "KPRLPT", "KPRXY"}) unsetenv(v);
  }
  void TearDown() override {
    for (const char* v : {"KPRCNF", "KPRLPT", "KPRXY"}) unsetenv(v);
    SetCommandArgs({});
    ProgramDir = savedDir_;
    QmTest::TearDown();
  }

 private:
  std::string savedDir_;
};

TEST_F(PackagePathsTest, DefaultsBesideTheProgram) {
  SetCommandArgs({"cel"});
  InitPackagePaths();
  const std::string p = ProgramDir;
  EXPECT_EQ(ConfigFileName, p + "ZEV_2020.INI");
  EXPECT_EQ(PrinterSetFile, p + "DRUKARKI.SET");
  EXPECT_EQ(ArchiveDir, p + "ARK" + S);
  EXPECT_EQ(ExchangeDir, p + "XY" + S);
  EXPECT_EQ(XmlDir, p + "XML" + S);
  EXPECT_EQ(LedgerDir, p + "ZEV" + S);
  EXPECT_EQ(RegisterDir, p + "REJ" + S);
  EXPECT_EQ(DeclarationDir, p + "KDU" + S);
  EXPECT_FALSE(ExclusiveMode);
  EXPECT_FALSE(LongFileNames);
}

TEST_F(PackagePathsTest, EnvironmentAndSwitches) {
  struct Case {
    const char* var;
    std::string value;
    std::string* setting;
    std::string want;
  } cases[] = {
      {"KPRCNF", "INNY.INI", &ConfigFileName, S + "qm" + S + "INNY.INI"},
      {"KPRCNF", S + "etc" + S + "A.INI", &ConfigFileName, S + "etc" + S + "A.INI"},
      {"KPRLPT", "LPT.SET", &PrinterSetFile, "LPT.SET"},
      {"KPRXY", "WYMIANA" + S, &ExchangeDir, S + "qm" + S + "WYMIANA" + S},
      {"KPRXY", S + "x" + S, &ExchangeDir, S + "x" + S},
      {"KPRXY", "a" + S + "b", &ExchangeDir, "a" + S + "b"},
  };
  for (const Case& c : cases) {
    setenv(c.var, c.value.c_str(), 1);
    InitPackagePaths();
    EXPECT_EQ(*c.setting, c.want) << c.var << "=" << c.value;
    unsetenv(c.var);
  }
  SetCommandArgs({"cel", "-exc", "/LFN"});
  InitPackagePaths();
  EXPECT_TRUE(ExclusiveMode);
  EXPECT_TRUE(LongFileNames);
}

TEST_F(PackagePathsTest, LedgerNamesOfTheWorkingYear) {
  struct Case {
    uint16_t year;
    int month;
    std::string want;
  } cases[] = {
      {2020, 1, "2020K990.1"},  {2020, 12, "2020K990.12"}, {2020, 13, "2020K990.Z"},
      {2020, 15, "2020K990.K12"}, {2019, 14, "2019K990.14"}, {2018, 3, "2018K880.3"},
  };
  for (const Case& c : cases) {
    WorkingYear = c.year;
    EXPECT_EQ(LedgerFileName(c.month), c.want);
  }
  WorkingYear = 2020;
  EXPECT_EQ(LedgerPrefix(), "K990.");
  TempDir = S + "tmp";
  EXPECT_EQ(LedgerFileName(16), S + "tmp" + S + "SQL_K990.REK");
}

TEST_F(PackagePathsTest, LedgerNamesOfEarlierYears) {
  // Without company text data every year is looked for where the program
  // stands.
  EXPECT_EQ(LedgerFileNameOf(2019, 4), "2019K990.4");

  CompanyTextData text;
  text.SetText("PATH", "ZEV2019", "D:" + S + "ZEV19");
  text.SetText("PATH", "ZEV2018", "D:" + S + "ZEV18" + S);
  text.SetText("PATH", "ZEV2016", "E:" + S + "Z16");
  CurrentCompanyText = &text;
  EXPECT_EQ(LedgerFileNameOf(2019, 12), "D:" + S + "ZEV19" + S + "2019K990.12");
  EXPECT_EQ(LedgerFileNameOf(2018, 1), "D:" + S + "ZEV18" + S + "2018K880.1");
  EXPECT_EQ(LedgerFileNameOf(2017, 2), "2017K880.2");  // empty path
  EXPECT_EQ(LedgerFileNameOf(2016, 3), "E:" + S + "Z16" + S + "2016K880.3");
  EXPECT_EQ(LedgerFileNameOf(2015, 3), "2015K880.3");  // five years back
  EXPECT_EQ(LedgerFileNameOf(2020, 3), "2020K990.3");
  CurrentCompanyText = nullptr;
}

}  // namespace
}  // namespace qm::test
