// The company selection dialog.
#include <string>

#include "base/cp852.h"
#include "driver/company_selection.h"
#include "run/run_settings.h"
#include "tests/driver/company_list_records.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

class SelectionTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    SourceRoot = Path("2019/");
    TargetRoot = Path("2020/");
    MakeDir("2020");
    const std::vector<CompanyFields> list = {
        {"Alfa", "ALFA", "pierwsza firma"}, {"Beta", "BETA", "b"}, {"Gamma", "GAMMA", ""}};
    WriteFile("2019/SPISFIRM.DAT", CompanyListBytes(list));
    for (const auto& c : list) MakeDir("2019/" + c.dir);
  }
  std::string Marks() const {
    std::string s;
    for (int32_t i = 1; i <= 3; ++i) s += CompanyEntryAt(i)->selected ? '1' : '0';
    return s;
  }
};

TEST_F(SelectionTest, AllMarkedWhenOpened) {
  con.capture = true;
  con.Keys("F5");
  int32_t count = 0;
  EXPECT_TRUE(ChooseCompanies(count));
  EXPECT_EQ(count, 3);
  ASSERT_FALSE(con.screens.empty());
  const std::string& screen = con.screens.front();
  EXPECT_NE(screen.find("BAZA FIRM"), std::string::npos);
  EXPECT_NE(screen.find("Nazwa                   Wybrana? KATALOG   INFO"), std::string::npos);
  EXPECT_NE(screen.find("Alfa" + std::string(27, ' ') + "■ ALFA     pierwsza f"), std::string::npos);
  EXPECT_NE(screen.find("Gamma" + std::string(26, ' ') + "■ GAMMA"), std::string::npos);
  EXPECT_NE(screen.find("SPACE - Zaznacz (■)"), std::string::npos);
  EXPECT_EQ(Marks(), "111");
}

TEST_F(SelectionTest, MarkKeys) {
  struct Case {
    const char* keys;
    bool started;
    const char* marks;
  };
  const Case cases[] = {
      {"Down Space F5", true, "101"},          // only the current line flips
      {"Space Space F5", true, "111"},         // twice restores it
      {"^D F5", true, "000"},                  // nothing chosen is still a start
      {"^D Down Space F5", true, "010"},
      {"^D ^W F5", true, "111"},
      {"Space Esc", false, "011"},             // Esc gives up whatever was marked
  };
  for (const Case& c : cases) {
    con.Keys(c.keys);
    int32_t count = 0;
    EXPECT_EQ(ChooseCompanies(count), c.started) << c.keys;
    EXPECT_EQ(Marks(), c.marks) << c.keys;
    EXPECT_EQ(con.PendingCount(), 0u) << c.keys;
  }
}

TEST_F(SelectionTest, ToggleRedrawsTheMark) {
  con.capture = true;
  con.Keys("Space F5");
  int32_t count = 0;
  EXPECT_TRUE(ChooseCompanies(count));
  ASSERT_GE(con.screens.size(), 2u);
  EXPECT_NE(con.screens[1].find("Alfa" + std::string(27, ' ') + Cp852ToUtf8("\xFA", true) + " ALFA"), std::string::npos);
}

TEST_F(SelectionTest, NothingToChooseShowsNoList) {
  MakeDir("2020/ALFA");
  MakeDir("2020/BETA");
  MakeDir("2020/GAMMA");
  con.Keys("x");  // the key wait after "Zerowa ilość odczytanych firm"
  int32_t count = -1;
  EXPECT_FALSE(ChooseCompanies(count));
  EXPECT_EQ(count, 0);
  EXPECT_FALSE(con.Shows("BAZA FIRM"));
}

TEST(CompanyLineTest, FieldsInTheirColumns) {
  CompanyEntry e;
  const auto bytes = CompanyRecordBytes({std::string(31, 'N'), "ABCDEFGH", "0123456789ABCDEF"});
  std::copy(bytes.begin(), bytes.end(), e.record.bytes.begin());
  e.selected = false;
  EXPECT_EQ(CompanyLine(e), std::string(31, 'N') + "\xFA ABCDEFGH 0123456789");
  e.selected = true;
  const std::string line = CompanyLine(e);
  EXPECT_EQ(line.size(), 52u);
  EXPECT_EQ(line[31], '\xFE');
}

}  // namespace
}  // namespace qm::test
