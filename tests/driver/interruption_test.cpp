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
#include <set>

#include "base/cp852.h"
#include "driver/main_sequence.h"
#include "driver/program_state.h"
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

  void Restore() { Bring("pristine"); }
  // Both trees, bookkeeping and all, kept under name, and brought back.
  void Keep(const std::string& name) {
    stdfs::remove_all(Path(name));
    MakeDir(name);
    for (const char* tree : {"ZEV_2019", "ZEV_2020"})
      stdfs::copy(Path("inst/") + tree, Path(name + "/") + tree, stdfs::copy_options::recursive);
  }
  void Bring(const std::string& name) {
    for (const char* tree : {"ZEV_2019", "ZEV_2020"}) {
      stdfs::remove_all(Path(std::string("inst/") + tree));
      stdfs::copy(Path(name + "/") + tree, Path(std::string("inst/") + tree), stdfs::copy_options::recursive);
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
  void RunKilledAt(int n, bool half) { RunKilled([&] { faulty->DieAtChange(n, half, Die); }); }
  // A run killed where arm says, in a child process.
  template <class Arm>
  void RunKilled(Arm arm) {
    const pid_t pid = fork();
    if (pid == 0) {
      faulty->ResetCounts();
      arm();
      RunOnce(*faulty);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    faulty->ClearFaults();
  }

  // The 2019 company list holding the companies given (by their places).
  void List2019(const std::vector<size_t>& which) {
    Bytes list;
    for (const size_t i : which) list.insert(list.end(), inst.companies[i].record.begin(), inst.companies[i].record.end());
    WriteFile("inst/ZEV_2019/SPISFIRM.DAT", list);
  }

  std::string Differences(const std::string& name) const {
    return Differences(Snapshot(Path(name + "/ZEV_2019/")), Snapshot(inst.root2019)) +
           Differences(Snapshot(Path(name + "/ZEV_2020/")), Snapshot(inst.root2020));
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
  for (int i : Spread(static_cast<int>(beforeSyncs.size()), 10)) points.push_back(beforeSyncs[static_cast<size_t>(i - 1)]);
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

// A power cut during the repair of a power cut (at the first syncs of the
// next start: the repair's): the start after it finishes the repair.
TEST_F(Interruption, APowerCutDuringARepairIsFinishedByTheNextStart) {
  const PowerCut kCuts[] = {
      {NamesLeft::Lost, DataLeft::Kept, 1},
      {NamesLeft::Kept, DataLeft::TornPages, 3},
  };
  Prepare();
  Restore();
  PowerCutFs first(*fs, {inst.root2019, inst.root2020});
  ASSERT_EQ(RunOnce(first), kExitDone);
  Keep("want");
  const std::vector<int> firstSyncs = first.ChangesBeforeSyncs();
  ASSERT_GT(firstSyncs.size(), 6u);
  Restore();
  first.LeaveDiskAt(firstSyncs[2 * firstSyncs.size() / 3], {NamesLeft::Kept, DataLeft::Kept, 1});
  Keep("cut");
  PowerCutFs repair(*fs, {inst.root2019, inst.root2020});
  ASSERT_EQ(RunOnce(repair), kExitDone);
  ASSERT_TRUE(Showed("Naprawić teraz"));
  const std::vector<int> syncs = repair.ChangesBeforeSyncs();
  for (size_t i = 0; i < std::min<size_t>(syncs.size(), 8); ++i) {
    for (const PowerCut& cut : kCuts) {
      SCOPED_TRACE("repair cut after change " + std::to_string(syncs[i]) + ", " + PowerCutText(cut));
      Bring("cut");
      repair.LeaveDiskAt(syncs[i], cut);
      ASSERT_EQ(RunOnce(*fs), kExitDone) << answer.ScreenText();
      EXPECT_EQ(Differences("want"), "");
    }
  }
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


// Killed at the journal's first write or its second, before it or halfway
// through: the next start is not held up, and carries everything.
TEST_F(Interruption, AKillAtTheJournalsFirstWritesHoldsNothingUp) {
  Prepare();
  Restore();
  ASSERT_EQ(RunOnce(*fs), kExitDone);
  Keep("want");
  for (int n : {1, 2}) {
    for (bool half : {false, true}) {
      SCOPED_TRACE("killed at journal write " + std::to_string(n) + (half ? ", halfway" : ""));
      Restore();
      RunKilled([&] {
        faulty->WatchFile("PRZEBIEG.QMJ");
        faulty->DieAtWatchedWrite(n, half, Die);
      });
      ASSERT_EQ(RunOnce(*fs), kExitDone) << answer.ScreenText();
      EXPECT_EQ(Differences("want"), "");
    }
  }
}

// The disk fills up at a journal write (8 of them; all with
// QM_KILL_WALK_ALL), for the rest of the run or only for that write (the
// run goes on after it): no part of a record stays in the journal before
// the next one, and once there is room again the next start repairs and
// carries the rest.
TEST_F(Interruption, ADiskFullAtAJournalWriteIsRepairedOnceThereIsRoom) {
  Prepare();
  Restore();
  faulty->WatchFile("PRZEBIEG.QMJ");
  faulty->ResetCounts();
  ASSERT_EQ(RunOnce(*faulty), kExitDone);
  const int writes = faulty->WatchedWrites();
  Keep("want");
  int walked = 0;
  for (int n : Spread(writes, 8)) {
    for (const bool lasting : {true, false}) {
      SCOPED_TRACE("disk full at journal write " + std::to_string(n) + " of " + std::to_string(writes) +
                   (lasting ? "" : ", for that write only"));
      Restore();
      faulty->ResetCounts();
      faulty->DiskFullAtWatchedWrite(n, lasting);
      const int full = RunOnce(*faulty);
      EXPECT_NE(full, -2) << answer.ScreenText();  // never waiting for ever
      ResetProgramState();  // what the run held open goes while the disk is full
      faulty->ClearFaults();
      ASSERT_EQ(RunOnce(*fs), kExitDone) << answer.ScreenText();
      EXPECT_EQ(Differences("want"), "");
      ++walked;
    }
  }
  std::printf("[ disk full ] %d runs at a spread of %d journal writes\n", walked, writes);
}

// The change at which a recorded run made the directory path, counted as
// DieAtChange counts.
int ChangeMaking(const std::vector<std::string>& log, const std::string& path) {
  int changes = 0;
  for (const std::string& line : log) {
    const std::string op = line.substr(0, line.find(' '));
    for (const char* kind : {"create", "write", "setend", "makedir", "rename", "remove", "rmdir"})
      changes += op == kind;
    if (line.rfind("makedir " + path + " ", 0) == 0) return changes;
  }
  return 0;
}

// Runs are undone one after another, the latest first. The second was cut
// off after its first company and repaired by the third's start: its
// finished company stays undoable. Every report stays, though all were
// written in one second.
TEST_F(Interruption, RunsAreUndoneOneAfterAnotherARepairedOneAmongThem) {
  Prepare();
  Restore();
  const Bytes fullList = ReadFile("inst/ZEV_2019/SPISFIRM.DAT");
  Keep("before");
  List2019({0});
  answer.nowMs = 0;
  ASSERT_EQ(RunOnce(*fs), kExitDone);
  Keep("after1");
  // Where the second run begins its second company.
  List2019({1, 2});
  faulty->SetRecording(true);
  faulty->ResetCounts();
  ASSERT_EQ(RunOnce(*faulty), kExitDone);
  faulty->SetRecording(false);
  const int cut = ChangeMaking(faulty->Log(), inst.root2020 + inst.companies[2].dir) + 3;
  faulty->ClearLog();
  ASSERT_GT(cut, 3);
  Bring("after1");
  List2019({1, 2});
  answer.nowMs = 0;
  RunKilledAt(cut, false);
  List2019({2});
  answer.nowMs = 0;
  ASSERT_EQ(RunOnce(*fs), kExitDone) << answer.ScreenText();
  EXPECT_TRUE(Showed("Naprawić teraz"));
  const std::vector<std::string> listedAfterAll = List2020Dirs();

  args = {"/COFNIJ"};
  const auto listed = [&](size_t i) {
    const std::vector<std::string> dirs = List2020Dirs();
    return std::count(dirs.begin(), dirs.end(), inst.companies[i].dir) == 1 && IsDir(inst.root2020 + inst.companies[i].dir);
  };
  EXPECT_TRUE(listed(1) && listed(2));
  answer.nowMs = 0;
  ASSERT_EQ(RunOnce(*fs), kExitDone) << answer.ScreenText();
  EXPECT_TRUE(Showed("Firmy: " + Cp852ToUtf8(inst.companies[2].name)));
  EXPECT_TRUE(listed(1) && !listed(2) && !IsDir(inst.root2020 + inst.companies[2].dir));
  answer.nowMs = 0;
  ASSERT_EQ(RunOnce(*fs), kExitDone) << answer.ScreenText();
  List2019({0});
  EXPECT_EQ(Differences("after1"), "");
  answer.nowMs = 0;
  ASSERT_EQ(RunOnce(*fs), kExitDone) << answer.ScreenText();
  WriteFile("inst/ZEV_2019/SPISFIRM.DAT", fullList);
  EXPECT_EQ(Differences("before"), "");
  answer.nowMs = 0;
  EXPECT_EQ(RunOnce(*fs), kExitDeclined);
  EXPECT_TRUE(Showed("nie ma nic do cofnięcia"));
  int reports = 0;
  std::set<std::string> seconds;
  for (const auto& e : stdfs::directory_iterator(inst.root2020 + "_QM1920")) {
    const std::string name = e.path().filename().string();
    if (name.rfind("RAPORT-", 0) != 0) continue;
    ++reports;
    seconds.insert(name.substr(0, 22));  // RAPORT-YYYYMMDD-HHMMSS
  }
  EXPECT_EQ(reports, 7);  // three runs, four undos
  EXPECT_LT(seconds.size(), 7u);
}

// A bookkeeping directory copied from an installation at the same place
// (its run cut off) into one that carried everything since and was worked
// on: named, and nothing of it followed -- no company removed, the office's
// file kept, the 2019 ledgers not put back.
TEST_F(Interruption, ABookkeepingDirectoryOfAnotherInstallationIsNamedAndLeftAlone) {
  Prepare();
  Restore();
  faulty->ResetCounts();
  ASSERT_EQ(RunOnce(*faulty), kExitDone);
  const int changes = faulty->Changes();
  Restore();
  RunKilledAt(changes / 2, false);
  stdfs::copy(inst.root2020 + "_QM1920", Path("copied"), stdfs::copy_options::recursive);
  Restore();
  ASSERT_EQ(RunOnce(*fs), kExitDone);
  const std::string office = "inst/ZEV_2020/" + inst.companies[0].dir + "/BIURO.TXT";
  WriteText(office, "notatka\r\n");
  stdfs::remove_all(inst.root2020 + "_QM1920");
  stdfs::copy(Path("copied"), inst.root2020 + "_QM1920", stdfs::copy_options::recursive);
  Keep("worked");
  for (const bool undo : {true, false}) {
    args = undo ? std::vector<std::string>{"/COFNIJ"} : std::vector<std::string>{};
    EXPECT_EQ(RunOnce(*fs), undo ? kExitDeclined : kExitDone) << answer.ScreenText();
    EXPECT_TRUE(Showed("nie pasuje do tej instalacji"));
    EXPECT_EQ(Differences("worked"), "");
    EXPECT_TRUE(Exists(office));
  }
}

// Started without the path file, or with one for another installation, on
// the 2020 directory given with /COFNIJ: the cut-off run is repaired in the
// 2019 root its journal names (the box names both roots), and its finished
// companies are undone: both trees as before it. The same for a journal and
// copies in the earlier version's place and form.
TEST_F(Interruption, ARepairAndAnUndoTakeThe2019RootFromTheJournal) {
  Prepare();
  Restore();
  Keep("before");
  faulty->ResetCounts();
  ASSERT_EQ(RunOnce(*faulty), kExitDone);
  const int changes = faulty->Changes();
  const std::string pathFile = "bin/qm19-20.PTH";
  const std::string paths = ReadText(pathFile);
  const struct {
    const char* what;
    bool otherPathFile, landed;
  } cases[] = {
      {"no path file", false, false},
      {"a path file for another installation", true, false},
      {"the earlier version's journal", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Restore();
    RunKilledAt(2 * changes / 3, false);
    if (c.landed) ToLandedLayout(inst.root2020);
    stdfs::remove(Path(pathFile));
    if (c.otherPathFile) WriteText(pathFile, "ZEV_2019=" + Path("inny/2019") + "\r\nZEV_2020=" + Path("inny/2020") + "\r\n");
    args = {"/COFNIJ", inst.root2020};
    EXPECT_EQ(RunOnce(*fs), kExitDone) << answer.ScreenText();
    EXPECT_TRUE(Showed("2019: " + inst.root2019));
    EXPECT_FALSE(Showed("dotyczy innej instalacji"));
    EXPECT_EQ(Differences("before"), "");
    WriteText(pathFile, paths);
    args.clear();
  }
}

}  // namespace
}  // namespace qm::test::e2e
