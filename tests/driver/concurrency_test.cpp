// Two copies of the built program started together against one 2020
// installation, each carrying the companies of its own 2019 one. From F5 to
// its end a run holds the installation: a copy that reaches F5 while the
// other runs ends with code 4 and writes nothing. The 2020 company list
// ends holding every carried company once, in the list's order, however
// the two runs interleave.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "driver/company_list.h"
#include "tests/driver/e2e_support.h"
#include "tests/support/detached_program.h"

namespace qm::test::e2e {
namespace {

namespace stdfs = std::filesystem;

std::string Tail(const std::string& s) { return s.size() > 6000 ? s.substr(s.size() - 6000) : s; }

class TwoInstances : public E2eTest {
 protected:
  // A copy of the program in Dir() + name, its path file naming root2019
  // and the shared 2020 installation.
  std::string Install(const std::string& name, const std::string& root2019) {
    MakeDir(name);
    const std::string prog = Path(name + "/qm19-20");
    std::error_code ec;
    stdfs::copy_file(ProgramBinary(), prog, stdfs::copy_options::overwrite_existing, ec);
    EXPECT_FALSE(ec) << ec.message();
    sample::Installation own = inst;
    own.root2019 = root2019;
    std::string error;
    EXPECT_TRUE(sample::WritePathFile(prog, own, error)) << error;
    return prog;
  }

  // Starts the program with its key script; the caller waits for it.
  pid_t Start(const std::string& prog, const std::string& tag, const std::string& keys) {
    WriteText(tag + ".keys", keys + "\n");
    stdfs::remove(Path(tag + ".screens"));  // the program adds to it
    DetachedProgram p;
    p.argv = {prog};
    p.dir = Dir();
    p.env = {"QMKEYS=" + Path(tag + ".keys"), "QMSCREEN=" + Path(tag + ".screens")};
    p.outPath = p.errPath = Path(tag + ".out");
    return StartDetached(p);
  }
  // A text (UTF-8) on a screen the program's screen dump holds.
  bool Saw2(const std::string& dump, const std::string& utf8) { return ReadText(dump).find(utf8) != std::string::npos; }
  static int Wait(pid_t pid) { return WaitDetached(pid, 120); }

  // A 2019 installation of its own below Dir() + name whose company list
  // holds only the marked companies of the generated one.
  std::string Split2019(const std::string& name, const std::vector<bool>& mine) {
    const std::string root = Path(name + "/ZEV_2019/");
    stdfs::remove_all(Path(name));
    MakeDir(name);
    stdfs::copy(inst.root2019, root, stdfs::copy_options::recursive);
    Bytes list;
    for (size_t i = 0; i < mine.size(); ++i)
      if (mine[i]) list.insert(list.end(), inst.companies[i].record.begin(), inst.companies[i].record.end());
    WriteFile(name + "/ZEV_2019/SPISFIRM.DAT", list);
    return root;
  }

  // Pages with their defaults, every listed company (all are marked at
  // first), then what they ask: the annual settings of both years (2020 for
  // all), the summary of moved ledger entries, the end.
  std::string Keys(const std::vector<bool>& mine) const {
    std::string k = "PgDn PgDn PgDn F5 F5";
    bool preferAll = false;
    for (size_t i = 0; i < mine.size(); ++i) {
      if (!mine[i]) continue;
      const Company& c = inst.companies[i];
      if (c.has2020Data && !preferAll) k += " A", preferAll = true;
      if (c.openDecember && !c.has2020Data) k += " Enter";
      if (c.corrections > 0) k += " Enter";
    }
    return k + " Enter";
  }
};

TEST_F(TwoInstances, BothRunsEndUpInOneSortedCompanyList) {
  const std::string binary = ProgramBinary();
  if (binary.empty() || !IsFile(binary)) GTEST_SKIP() << "no program binary at " << binary;
  sample::Options o;
  o.companies = 8;
  o.missingDirCompany = false;
  Generate(o);
  const size_t n = inst.companies.size();

  // Each round starts from the empty 2020 installation; a first run with
  // nothing marked gives it its global files and an empty company list, so
  // that both runs meet the same questions whoever comes first.
  std::error_code ec;
  stdfs::copy(inst.root2020, Path("empty2020"), stdfs::copy_options::recursive, ec);
  ASSERT_FALSE(ec) << ec.message();

  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    stdfs::remove_all(inst.root2020);
    stdfs::copy(Path("empty2020"), inst.root2020, stdfs::copy_options::recursive);
    // Companies split between the two 2019 installations, differently
    // each round.
    std::vector<bool> first(n), second(n);
    for (size_t i = 0; i < n; ++i) first[i] = (i / (round + 1)) % 2 == 0, second[i] = !first[i];
    const std::string one = Install("one", Split2019("src1", first));
    const std::string two = Install("two", Split2019("src2", second));
    ASSERT_EQ(Wait(Start(one, "prep", "PgDn PgDn PgDn F5 ^D F5 Enter")), 0) << ReadText("prep.out");
    ASSERT_TRUE(ReadAll(inst.root2020 + "SPISFIRM.DAT").empty());
    const Tree before1 = Snapshot(Path("src1/ZEV_2019/")), before2 = Snapshot(Path("src2/ZEV_2019/"));
    const pid_t a = Start(one, "a", Keys(first)), b = Start(two, "b", Keys(second));
    const int ra = Wait(a), rb = Wait(b);
    ASSERT_TRUE(ra == 0 || ra == 4) << ra << ReadText("a.out") << Tail(ReadText("a.screens"));
    ASSERT_TRUE(rb == 0 || rb == 4) << rb << ReadText("b.out") << Tail(ReadText("b.screens"));
    ASSERT_TRUE(ra == 0 || rb == 0) << "neither copy carried";
    // A copy turned away says why and changed nothing of its 2019 tree.
    if (ra == 4) {
      EXPECT_TRUE(Saw2("a.screens", "inną kopię qm19-20"));
      EXPECT_TRUE(Snapshot(Path("src1/ZEV_2019/")) == before1);
    }
    if (rb == 4) {
      EXPECT_TRUE(Saw2("b.screens", "inną kopię qm19-20"));
      EXPECT_TRUE(Snapshot(Path("src2/ZEV_2019/")) == before2);
    }

    const std::vector<Bytes> list = Split(ReadAll(inst.root2020 + "SPISFIRM.DAT"), 103);
    std::multiset<std::string> got, want;
    for (const Bytes& r : list) got.insert(std::string(reinterpret_cast<const char*>(r.data() + 33), std::min<size_t>(r[32], 8)));
    for (size_t i = 0; i < n; ++i) {
      const Company& c = inst.companies[i];
      const bool carried = (first[i] && ra == 0) || (second[i] && rb == 0);
      if (carried) want.insert(c.dir);
      EXPECT_EQ(IsDir(inst.root2020 + c.dir), carried) << c.dir;
    }
    EXPECT_EQ(got, want);
    for (size_t i = 0; i + 1 < list.size(); ++i)
      EXPECT_GE(Compare(list[i].data(), list[i + 1].data()), 0) << "records " << i << " and " << i + 1;
    for (const Bytes& r : list) {
      const std::string dir(reinterpret_cast<const char*>(r.data() + 33), std::min<size_t>(r[32], 8));
      EXPECT_EQ(r, CompanyByDir(dir).record) << dir;
    }
  }
}

}  // namespace
}  // namespace qm::test::e2e
