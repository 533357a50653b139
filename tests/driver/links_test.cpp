// Symbolic links planted in either tree never lead the transfer outside
// them: a 2019 link is named and skipped, a 2020 link where something is to
// be written fails that company or the global data (rolled back), and a
// 2020 company list or #BIN020 that is a link stops the run before any
// write. Whatever the link points at is left as it was.
#include <unistd.h>

#include <filesystem>

#include "driver/main_sequence.h"
#include "platform/process.h"
#include "tests/driver/answering_console.h"
#include "tests/driver/e2e_support.h"

namespace qm::test::e2e {
namespace {

namespace stdfs = std::filesystem;

class Links : public AnsweredE2eTest {
 protected:
  void SetUp() override {
    AnsweredE2eTest::SetUp();
    sample::Options o;
    o.companies = 2;
    o.missingDirCompany = false;
    o.lowerCaseCompany = false;
    Generate(o);
    MakeDir("outside/dir");
    WriteText("outside/file.rek", "poza drzewem\r\n");
    WriteText("outside/dir/inner.rek", "poza drzewem\r\n");
  }
  int RunOnce() { return RunAnswered(answer, args); }
  // On a screen the program waited on, or among the lines of its report
  // (a line that scrolled away).
  bool Showed(const std::string& utf8) const {
    std::error_code ec;
    for (const auto& e : stdfs::directory_iterator(inst.root2020 + "_QM1920", ec)) {
      const Bytes b = ReadAll(e.path().string());
      if (std::string(b.begin(), b.end()).find(utf8) != std::string::npos) return true;
    }
    return AnsweredE2eTest::Showed(utf8);
  }
  void Plant(const std::string& target, const std::string& at) {
    ASSERT_EQ(symlink(Path(target).c_str(), Path(at).c_str()), 0) << at;
  }
};

TEST_F(Links, EveryKindAtEveryPlace) {
  // Copies: every case generates the installation again, and with it inst.
  const Company first = inst.companies[0];
  const Company second = inst.companies[1];
  const std::string src1 = "inst/ZEV_2019/" + first.dir + "/";
  const Tree outside = Snapshot(Path("outside/"));
  const struct {
    const char* what;
    std::string target, at;
    int code;             // the run's exit code
    const char* shown;    // a text of the screens
    bool firstCarried, secondCarried;
  } cases[] = {
      {"2019 file to a file outside", "outside/file.rek", src1 + "baza_ad8.rek", 0, "Pominięto dowiązanie", true,
       true},
      {"2019 file to a file inside", "inst/ZEV_2019/" + second.dir + "/baza_ad8.rek", src1 + "baza_ad8.rek", 0,
       "Pominięto dowiązanie", true, true},
      {"2019 file dangling", "outside/none.rek", src1 + "baza_ad8.rek", 0, "Pominięto dowiązanie", true, true},
      {"2019 company directory", "outside/dir", "inst/ZEV_2019/" + first.dir, 0, "Pominięto dowiązanie", false,
       true},
      {"2020 company directory", "outside/dir", "inst/ZEV_2020/" + first.dir, 1, "Nie przeniesiono", false, true},
      {"2020 company directory dangling", "outside/none", "inst/ZEV_2020/" + first.dir, 1, "Nie przeniesiono",
       false, true},
      {"2020 company list", "outside/file.rek", "inst/ZEV_2020/SPISFIRM.DAT", 1, "Dowiązanie symboliczne", false,
       false},
      {"2020 global directory", "outside/dir", "inst/ZEV_2020/#BIN020", 1, "Dowiązanie symboliczne", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* tree : {"ZEV_2019", "ZEV_2020"}) {
      stdfs::remove_all(Path(std::string("inst/") + tree));
    }
    std::string error;
    sample::Options o;
    o.companies = 2;
    o.missingDirCompany = false;
    o.lowerCaseCompany = false;
    ASSERT_TRUE(sample::Generate(Path("inst"), o, inst, error)) << error;
    stdfs::remove_all(Path(c.at));
    Plant(c.target, c.at);
    EXPECT_EQ(RunOnce(), c.code) << answer.ScreenText();
    EXPECT_TRUE(Showed(c.shown));
    EXPECT_TRUE(Snapshot(Path("outside/")) == outside);
    EXPECT_EQ(IsDir(inst.root2020 + first.dir) && !stdfs::is_symlink(inst.root2020 + first.dir), c.firstCarried);
    EXPECT_EQ(IsDir(inst.root2020 + second.dir), c.secondCarried);
    if (c.code == 1 && !c.secondCarried) {
      EXPECT_FALSE(stdfs::exists(inst.root2020 + "_QM1920"));
    }
    // A 2019 file skipped is not made in 2020.
    if (c.firstCarried && std::string(c.what).rfind("2019 file", 0) == 0) {
      EXPECT_FALSE(stdfs::exists(inst.root2020 + first.dir + "/baza_ad8.rek"));
    }
  }
}

}  // namespace
}  // namespace qm::test::e2e
