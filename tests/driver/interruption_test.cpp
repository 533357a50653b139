// A transfer killed at any change it makes on disk -- the program's own
// files and journal included, before a write or halfway through one -- and
// then started again: the repair rolls back what the cut-off run left, the
// rest is carried, and both trees come out byte for byte as after one
// uninterrupted run (the bookkeeping directory aside). The same when the
// repair is killed in turn. A forked child is the process that is killed.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "driver/main_sequence.h"
#include "platform/process.h"
#include "tests/driver/answering_console.h"
#include "tests/driver/e2e_support.h"
#include "tests/support/faulty_fs.h"
#include "tests/support/power_cut_fs.h"

namespace qm::test::e2e {
namespace {

namespace stdfs = std::filesystem;

constexpr int kKilled = 86;
[[noreturn]] void Die() { _exit(kKilled); }

class Interruption : public AnsweredE2eTest {
 protected:
  void SetUp() override {
    AnsweredE2eTest::SetUp();
    faulty = std::make_unique<FaultyFs>(*fs);
  }
  void TearDown() override {
    SetFileSystem(fs.get());
    AnsweredE2eTest::TearDown();
  }

  // Four companies of every kind (one already in 2020, so the others are
  // inserted among the records there), 2020 data and an open December in
  // 2019 directories, a second payroll copy and a 2020 settings file that
  // exist already (overwrite questions), and the carried 2020 journals
  // hidden in 2019 ("~" renames).
  void Prepare() {
    sample::Options o;
    o.companies = 4;
    o.missingDirCompany = false;
    o.presentIn2020 = 1;
    o.openDecember = true;
    o.global2020Payroll = true;
    Generate(o);
    MakeDir("inst/ZEV_2020/#BIN020");
    WriteText("inst/ZEV_2020/#BIN020/ZEV_QM.INI", "[stary]\r\nA=1\r\n");
    MakeDir("pristine");
    for (const char* tree : {"ZEV_2019", "ZEV_2020"})
      stdfs::copy(Path(std::string("inst/") + tree), Path(std::string("pristine/") + tree),
                  stdfs::copy_options::recursive);
  }

  void Restore() {
    for (const char* tree : {"ZEV_2019", "ZEV_2020"}) {
      stdfs::remove_all(Path(std::string("inst/") + tree));
      stdfs::copy(Path(std::string("pristine/") + tree), Path(std::string("inst/") + tree),
                  stdfs::copy_options::recursive);
    }
  }

  // One run in this process over the given file system; its exit code.
  int RunOnce(FileSystem& over) {
    SetFileSystem(&over);
    const int code = RunAnswered(answer, args, kHideCarried);
    SetFileSystem(fs.get());
    return code;
  }

  // A run killed at the n-th change it makes, in a child process.
  void RunKilledAt(int n, bool half) {
    const pid_t pid = fork();
    if (pid == 0) {
      faulty->ResetCounts();
      faulty->DieAtChange(n, half, Die);
      RunOnce(*faulty);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    faulty->ClearFaults();
  }

  std::string Differences(const Tree& want, const Tree& got) const {
    std::string out;
    for (const auto& [rel, data] : want) {
      auto it = got.find(rel);
      if (it == got.end()) out += "missing " + rel + "\n";
      else if (it->second != data) out += "differs " + rel + "\n";
    }
    for (const auto& [rel, data] : got)
      if (!want.count(rel)) out += "extra " + rel + "\n";
    return out;
  }

  std::unique_ptr<FaultyFs> faulty;
};

// At most this many kill points (all of them when QM_KILL_WALK_ALL is set).
std::vector<int> Spread(int count, int most) {
  std::vector<int> n;
  if (std::getenv("QM_KILL_WALK_ALL") || count <= most) {
    for (int i = 1; i <= count; ++i) n.push_back(i);
    return n;
  }
  for (int i = 0; i < most; ++i) n.push_back(1 + static_cast<int>(static_cast<int64_t>(count - 1) * i / (most - 1)));
  return n;
}

TEST_F(Interruption, EveryCutOffRunIsRepairedAndCarriedToTheSameTrees) {
  Prepare();
  Restore();
  faulty->ResetCounts();
  ASSERT_EQ(RunOnce(*faulty), kExitDone) << answer.ScreenText();
  const int changes = faulty->Changes();
  const Tree want19 = Snapshot(inst.root2019), want20 = Snapshot(inst.root2020);
  ASSERT_GT(changes, 50);

  int walked = 0;
  for (int n : Spread(changes, 24)) {
    for (bool half : {false, true}) {
      SCOPED_TRACE("killed at change " + std::to_string(n) + " of " + std::to_string(changes) +
                   (half ? ", halfway" : ""));
      Restore();
      RunKilledAt(n, half);
      const int code = RunOnce(*fs);
      ASSERT_EQ(code, kExitDone) << answer.ScreenText();
      EXPECT_EQ(Differences(want19, Snapshot(inst.root2019)), "");
      EXPECT_EQ(Differences(want20, Snapshot(inst.root2020)), "");
      ++walked;
    }
  }
  std::printf("[ kill walk ] %d cut-off runs of %d changes each repaired and carried\n", walked, changes);
}

// The power cut: right after each of a spread of the changes that a flush
// or a sync followed (after every change with QM_POWER_CUT_ALL set) the
// disk is left as the cut could have left it --
// unsynced data lost, kept or torn page by page, unsynced names lost or
// kept -- and the next start repairs and carries the rest: both trees as
// after the uninterrupted run.
TEST_F(Interruption, EveryPowerCutIsRepairedAndCarriedToTheSameTrees) {
  const PowerCut kCuts[] = {
      {NamesLeft::Lost, DataLeft::Lost, 1},
      {NamesLeft::Kept, DataLeft::Lost, 1},
      {NamesLeft::Kept, DataLeft::EveryOtherFile, 1},
      {NamesLeft::FirstHalf, DataLeft::TornPages, 7},
      {NamesLeft::Kept, DataLeft::TornPages, 11},
  };
  Prepare();
  Restore();
  PowerCutFs recording(*fs, {inst.root2019, inst.root2020});
  ASSERT_EQ(RunOnce(recording), kExitDone) << answer.ScreenText();
  const Tree want19 = Snapshot(inst.root2019), want20 = Snapshot(inst.root2020);
  const int changes = recording.Changes();
  ASSERT_GT(changes, 50);
  int states = 0, converged = 0;
  const std::vector<int> beforeSyncs = recording.ChangesBeforeSyncs();
  std::vector<int> points;
  for (int i : Spread(static_cast<int>(beforeSyncs.size()), 12)) points.push_back(beforeSyncs[static_cast<size_t>(i - 1)]);
  if (std::getenv("QM_POWER_CUT_ALL")) points = Spread(changes, changes);
  for (int n : points) {
    for (const PowerCut& cut : kCuts) {
      SCOPED_TRACE("power cut after change " + std::to_string(n) + " of " + std::to_string(changes) + ", " +
                   PowerCutText(cut));
      Restore();
      recording.LeaveDiskAt(n, cut);
      const int code = RunOnce(*fs);
      EXPECT_EQ(code, kExitDone) << answer.ScreenText();
      const std::string diff = Differences(want19, Snapshot(inst.root2019)) + Differences(want20, Snapshot(inst.root2020));
      EXPECT_EQ(diff, "");
      ++states;
      converged += code == kExitDone && diff.empty();
    }
  }
  std::printf("[ power cut ] %zu cut points of %d changes, %d states, %d converged\n", points.size(), changes, states,
              converged);
}

TEST_F(Interruption, ARepairCutOffInTurnIsFinishedByTheNextStart) {
  Prepare();
  Restore();
  faulty->ResetCounts();
  ASSERT_EQ(RunOnce(*faulty), kExitDone);
  const int changes = faulty->Changes();
  const Tree want19 = Snapshot(inst.root2019), want20 = Snapshot(inst.root2020);

  // Runs cut off in the middle of a company and of the global phase; each
  // repair then cut off at every change it makes.
  for (int n : {changes / 3, changes / 2, 2 * changes / 3}) {
    Restore();
    RunKilledAt(n, false);
    MakeDir("cut");
    stdfs::copy(Path("inst/ZEV_2019"), Path("cut/ZEV_2019"), stdfs::copy_options::recursive);
    stdfs::copy(Path("inst/ZEV_2020"), Path("cut/ZEV_2020"), stdfs::copy_options::recursive);
    // How many changes the repair and the run after it make.
    faulty->ResetCounts();
    ASSERT_EQ(RunOnce(*faulty), kExitDone);
    const int repairChanges = faulty->Changes();
    for (int k : Spread(repairChanges, 6)) {
      SCOPED_TRACE("run cut at " + std::to_string(n) + ", next run cut at " + std::to_string(k));
      for (const char* tree : {"ZEV_2019", "ZEV_2020"}) {
        stdfs::remove_all(Path(std::string("inst/") + tree));
        stdfs::copy(Path(std::string("cut/") + tree), Path(std::string("inst/") + tree),
                    stdfs::copy_options::recursive);
      }
      RunKilledAt(k, false);
      ASSERT_EQ(RunOnce(*fs), kExitDone) << answer.ScreenText();
      EXPECT_EQ(Differences(want19, Snapshot(inst.root2019)), "");
      EXPECT_EQ(Differences(want20, Snapshot(inst.root2020)), "");
    }
    stdfs::remove_all(Path("cut"));
  }
}

}  // namespace
}  // namespace qm::test::e2e
