// The built program itself, run unattended from a key script (QMKEYS) with
// its screens written to a file (QMSCREEN), over a generated installation.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/driver/e2e_support.h"
#include "tests/support/detached_program.h"

namespace qm::test::e2e {
namespace {

namespace stdfs = std::filesystem;

class RealProgram : public E2eTest {
 protected:
  // Runs the copy of the program in Dir() + "bin" (its path file is there),
  // returns its exit code.
  int RunBinary(const std::string& keys) {
    WriteText("keys.txt", keys + "\n");
    DetachedProgram p;
    p.argv = {programPath};
    p.dir = Dir();
    p.env = {"QMKEYS=" + Path("keys.txt"), "QMSCREEN=" + Path("screens.txt")};
    p.outPath = p.errPath = Path("out.txt");
    return RunDetached(p, 120);
  }
};

TEST_F(RealProgram, ScriptedRunCarriesTheSampleInstallation) {
  const std::string binary = ProgramBinary();
  if (binary.empty() || !IsFile(binary)) GTEST_SKIP() << "no program binary at " << binary;
  sample::Options o;
  o.companies = 4;
  Generate(o);
  std::error_code ec;
  stdfs::copy_file(binary, programPath, stdfs::copy_options::overwrite_existing, ec);
  ASSERT_FALSE(ec) << ec.message();

  ASSERT_EQ(RunBinary(sample::FullRunKeys(inst)), 0) << ReadText("out.txt") << ReadText("screens.txt");
  const std::string screens = ReadText("screens.txt");
  // The last screen sums the run up above its closing lines, and names the
  // report, which tells each company's end.
  EXPECT_NE(screens.find("Przeniesiono firm: 4, wycofano po błędzie: 0, pominięto: 0"), std::string::npos);
  EXPECT_NE(screens.find("Raport: "), std::string::npos);
  EXPECT_NE(screens.find("Koniec pracy kopiera danych ZEV_QM na rok 2020"), std::string::npos);
  std::string report;
  for (const auto& e : stdfs::directory_iterator(inst.root2020 + "_QM1920"))
    if (e.path().filename().string().rfind("RAPORT-", 0) == 0) report = ReadText("inst/ZEV_2020/_QM1920/" + e.path().filename().string());
  EXPECT_NE(report.find("Firma Zakład Fryzjerski Ewa: przeniesiona\r\n"), std::string::npos);
  EXPECT_EQ(List2020Dirs(), (std::vector<std::string>{"PIEKARN", "TRANSPOR", "FRYZJER", "STOLARZ"}));
  for (const Company& c : inst.companies) {
    if (!c.has2019Dir) continue;
    EXPECT_TRUE(ReadAll(Tgt(c, "srodki.rek")) == ReadAll(Src(c, "srodki.rek"))) << c.dir;
  }
  EXPECT_TRUE(IsFile(inst.root2020 + "#BIN020/OPERATOR.REK"));

  // A script that ends while the program still waits is not a finished run.
  ASSERT_EQ(RunBinary("PgDn"), 3);
  EXPECT_NE(ReadText("out.txt").find("key script used up"), std::string::npos);
}

}  // namespace
}  // namespace qm::test::e2e
