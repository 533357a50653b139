// A whole run of the program over a one-company installation with one file
// call failing, walked over the calls of each kind: the program never
// crashes or hangs on a question, ends with one of its own exit codes, shows
// what went wrong, and leaves the 2019 tree as it was but for the ledger
// entries the run strikes out (each 2019 journal record either untouched or
// struck out exactly as a clean run would).
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/cp852.h"
#include "driver/company_list.h"
#include "driver/main_sequence.h"
#include "driver/recovery.h"
#include "journal/repair.h"
#include "platform/process.h"
#include "tests/driver/e2e_support.h"
#include "tests/support/faulty_fs.h"

namespace qm::test::e2e {
namespace {

namespace stdfs = std::filesystem;

struct Kind {
  const char* name;
  FsOp op;
  int code;
  bool diskFull;      // the disk fills up at that write instead
  bool mustReport;    // a failure of this kind always shows an error
};

// Opens and creates fail as a file held by nobody but forbidden would;
// reads and writes as a failing device. A file or directory that cannot be
// made and a full disk always stop with a message that waits for a key. A
// failed open or read may mean "no such optional file", a failed close of a
// file only read loses nothing, and a write error may be logged on a line
// that scrolls away before the screen is next shown, so those are counted
// as unseen but not held against the run.
const Kind kKinds[] = {
    {"open", FsOp::Open, kErrAccessDenied, false, false},
    {"create", FsOp::Create, kErrAccessDenied, false, true},
    {"read", FsOp::Read, kErrReadFault, false, false},
    {"write", FsOp::Write, kErrWriteFault, false, false},
    {"disk full", FsOp::Write, kErrDiskFull, true, true},
    {"close", FsOp::Close, kErrWriteFault, false, false},
    {"rename", FsOp::Rename, kErrAccessDenied, false, false},
    {"lock", FsOp::Lock, kErrLockViolation, false, false},
    {"mkdir", FsOp::MakeDir, kErrAccessDenied, false, true},
};

// At most this many fault points per kind: all of them when there are
// fewer, else an even spread that always holds the first and the last.
// Under Wine a run of the walk costs about as much as thirty native ones:
// the Windows build walks a third of the points (the whole walk runs
// natively and under the sanitizers).
#ifdef _WIN32
constexpr int kPointsPerKind = 10;
#else
constexpr int kPointsPerKind = 30;
#endif

std::vector<int> Points(int count) {
  std::vector<int> n;
  if (count <= kPointsPerKind) {
    for (int i = 1; i <= count; ++i) n.push_back(i);
    return n;
  }
  for (int i = 0; i < kPointsPerKind; ++i)
    n.push_back(1 + static_cast<int>(static_cast<int64_t>(count - 1) * i / (kPointsPerKind - 1)));
  return n;
}

// A log line that is not waited on may scroll away before the next key
// wait, so every flushed screen is searched for the marks of an error.
class WatchingConsole : public FakeConsole {
 public:
  void Flush() override {
    if (!sawError) {
      for (int r = 1; r <= 25 && !sawError; ++r) {
        const std::string row = Row(r);
        for (const char* mark : {"Błąd", "BŁĄD", "błąd", "Brak dostępu", "brak dostępu", "Nie można", "Zerowa",
                                 "Nie przeniesiono", "uszkodzony", "inną kopię"})
          if (row.find(mark) != std::string::npos) sawError = true;
      }
    }
    FakeConsole::Flush();
  }
  bool sawError = false;
};

class FaultWalk : public E2eTest {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    SetConsole(&watch);
    faulty = std::make_unique<FaultyFs>(*fs);
    faulty->SetRecording(true);
  }
  void TearDown() override {
    SetFileSystem(fs.get());
    SetConsole(&con);
    E2eTest::TearDown();
  }

  // The installation, with pristine copies of both trees to start each run
  // from, and what a clean run does to the 2019 journals.
  // With hiding, a second company holds 2020 journals and repayments in its
  // 2019 directory, and the paths page gets the box that hides them ticked.
  void Prepare(bool withHiding = false) {
    sample::Options o;
    o.companies = withHiding ? 2 : 1;
    o.missingDirCompany = false;
    o.lowerCaseCompany = false;
    Generate(o);
    ASSERT_EQ(inst.companies.size(), static_cast<size_t>(o.companies));
    hiding = withHiding;
    std::error_code ec;
    // Named without the trailing separator: the Windows standard library
    // cannot copy a directory named with one.
    const auto tree = [](const std::string& root) { return stdfs::path(root).parent_path(); };
    stdfs::copy(tree(inst.root2019), Path("pristine2019"), stdfs::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << ec.message();
    stdfs::copy(tree(inst.root2020), Path("pristine2020"), stdfs::copy_options::recursive, ec);
    ASSERT_FALSE(ec) << ec.message();
    before19 = Snapshot(inst.root2019);
    const Company& c = inst.companies.front();
    std::map<int, Bytes> journals;
    for (int m = 1; m <= 12; ++m) {
      const std::string rel = c.dir + "/" + sample::FileName(c, "2019K990." + std::to_string(m));
      auto it = before19.find(rel);
      if (it != before19.end()) journals[m] = it->second;
    }
    for (const auto& [m, file] : ExpectedCorrection(journals).journals2019)
      struck[c.dir + "/" + sample::FileName(c, "2019K990." + std::to_string(m))] = file;
    keys = sample::FullRunKeys(inst);
    // Source, target, "zapisz", the character standard, two option boxes,
    // then the box that hides the carried files.
    if (withHiding) keys = "Tab Tab Tab Tab Tab Tab Space " + keys;
  }

  void Restore() {
    for (const std::string& root : {inst.root2019, inst.root2020}) stdfs::remove_all(root);
    stdfs::copy(Path("pristine2019"), inst.root2019, stdfs::copy_options::recursive);
    stdfs::copy(Path("pristine2020"), inst.root2020, stdfs::copy_options::recursive);
  }

  struct Outcome {
    bool ended = false;  // exited with one of the program's own codes, or returned
    bool hung = false;   // waited for keys beyond every answer
    std::string trouble; // anything else thrown
  };

  // One run under the faulty file system. The keys of a clean run come
  // first; each failure may add a message that waits for a key and so take
  // a key meant for later, hence plenty of PgDn (the pages), F5 (starts
  // from the selection list) and Enter (any message, every question's
  // default) after them.
  Outcome RunFaulty() {
    Outcome out;
    ResetProgramState();
    SetCommandArgs(args);
    SetProgramFilePath(programPath);
    watch.typeAhead = true;
    watch.DiscardPending();
    watch.typeAhead = false;
    watch.capture = true;
    watch.screens.clear();
    watch.sawError = false;
    std::string script = keys;
    for (int i = 0; i < 40; ++i) script += " PgDn F5 Enter";
    watch.Keys(script);
    faulty->ResetCounts();
    faulty->ClearLog();
    SetFileSystem(faulty.get());
    try {
      RunProgram();
    } catch (const ProgramExited& e) {
      // 4: a refused lock of the installation; 5: a journal that cannot be
      // read (a failed open of a journal that may be there).
      out.ended = e.code == kExitDone || e.code == kExitFailed || e.code == kExitInUse || e.code == kExitDeclined ||
                  e.code == kExitFatalIO;
      if (!out.ended) out.trouble = "exit code " + std::to_string(e.code);
    } catch (const ScriptExhausted&) {
      out.hung = true;
    } catch (const std::exception& e) {
      out.trouble = std::string("exception: ") + e.what();
    } catch (...) {
      out.trouble = "unknown exception";
    }
    SetFileSystem(fs.get());
    return out;
  }

  // The 2019 tree: every file as it was, a journal record either as it was
  // or struck out as a clean run strikes it.
  std::string Check2019() {
    const Tree after = Snapshot(inst.root2019);
    for (const auto& [rel, data] : before19) {
      auto it = after.find(rel);
      if (it == after.end() && Hideable(rel)) {
        auto hidden = after.find(rel + "~");
        if (hidden != after.end() && hidden->second == data) continue;
      }
      if (it == after.end()) return rel + " disappeared";
      if (it->second == data) continue;
      auto s = struck.find(rel);
      if (s == struck.end() || it->second.size() != data.size()) return rel + " changed";
      for (size_t off = 0; off < data.size(); off += 1024) {
        const size_t n = std::min<size_t>(1024, data.size() - off);
        const bool asBefore = std::equal(data.begin() + off, data.begin() + off + n, it->second.begin() + off);
        const bool asStruck = std::equal(s->second.begin() + off, s->second.begin() + off + n, it->second.begin() + off);
        if (!asBefore && !asStruck) return rel + " record " + std::to_string(off / 1024) + " damaged";
      }
    }
    for (const auto& [rel, data] : after) {
      if (before19.count(rel)) continue;
      const std::string shown = rel.substr(0, rel.size() - 1);
      if (!rel.empty() && rel.back() == '~' && Hideable(shown) && !after.count(shown)) continue;
      return rel + " appeared";
    }
    return {};
  }

  // A run the program stopped in the middle (its fatal stops end it there)
  // is repaired as the next start would.
  void RepairLeftovers() {
    struct Quiet : RollbackStatus {
      void Step(RollbackStep, qm::Tree, const std::string&) override {}
    } quiet;
    ResetProgramState();  // what the stopped program held open goes with it
    for (const int n : KeptRuns(*fs, inst.root2020)) {
      const Bookkeeping books(inst.root2020, n);
      std::vector<JournalRecord> records;
      RunHistory run;
      if (ReadJournal(*fs, books.JournalPath(), records) == JournalState::Readable && BuildHistory(records, run) &&
          run.Unfinished())
        RepairRun(*fs, books, run, quiet, kCompanyListShape);
    }
  }

  // No company is left half carried: one with a 2020 directory stands once
  // in the 2020 list, and one in the list has its directory. (A company that
  // failed is rolled back, directory and all.)
  std::string CheckCarried() const {
    const std::vector<std::string> listed = List2020Dirs();
    for (const Company& c : inst.companies) {
      const auto n = std::count(listed.begin(), listed.end(), c.dir);
      if (n > 1) return c.dir + " listed twice";
      if (IsDir(inst.root2020 + c.dir) != (n == 1))
        return c.dir + (n == 1 ? " listed without its directory" : " carried but not listed");
    }
    return {};
  }

  // A carried 2020 journal or repayment file, which a run with hiding
  // renames with a trailing "~" (its content is compared under that name).
  bool Hideable(const std::string& rel) const {
    if (!hiding) return false;
    std::string name = rel.substr(rel.rfind('/') + 1);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name.rfind("2020K990.", 0) == 0 || name.rfind("2020SP.", 0) == 0;
  }

  // The failed call and the calls just before it.
  std::string CallsToFailure(const std::string& name) const {
    const auto& log = faulty->Log();
    const std::string kindWord = name == "disk full" ? "write" : name;
    size_t fail = log.size();
    for (size_t i = 0; i < log.size(); ++i) {
      if (log[i].compare(0, kindWord.size(), kindWord) == 0 && log[i].find(" -> 0") == std::string::npos) {
        fail = i;
        break;
      }
    }
    std::string out;
    for (size_t i = 0; i < log.size() && i <= fail; ++i)
      if (i + 12 >= fail) out += log[i] + "\n";
    return out;
  }

  // The last screens the program waited on, and the screen at its end.
  std::string Screens() const {
    std::string out;
    const size_t from = watch.screens.size() > 2 ? watch.screens.size() - 2 : 0;
    for (size_t i = from; i < watch.screens.size(); ++i) out += watch.screens[i] + std::string(80, '=') + "\n";
    return out + watch.ScreenText();
  }

  WatchingConsole watch;
  std::unique_ptr<FaultyFs> faulty;
  Tree before19;
  std::map<std::string, Bytes> struck;
  std::string keys;
  bool hiding = false;
};

TEST_F(FaultWalk, EveryFailingFileCallIsSurvivedReportedAndLeaves2019Intact) {
  Prepare();
  // The clean run: counts of every kind, and the reference outcome.
  Restore();
  faulty->ClearFaults();
  const Outcome clean = RunFaulty();
  ASSERT_TRUE(clean.ended) << clean.trouble << Screens();
  EXPECT_EQ(Check2019(), "");
  int counts[kFsOpCount];
  for (int k = 0; k < kFsOpCount; ++k) counts[k] = faulty->Count(static_cast<FsOp>(k));
  ASSERT_GT(counts[static_cast<int>(FsOp::Write)], 0);

  const auto start = std::chrono::steady_clock::now();
  int walked = 0, unreported = 0;
  std::string summary;
  for (const Kind& kind : kKinds) {
    const int count = counts[static_cast<int>(kind.op)];
    const std::vector<int> points = Points(count);
    int kindUnreported = 0;
    for (int n : points) {
      SCOPED_TRACE(std::string(kind.name) + " #" + std::to_string(n) + " of " + std::to_string(count));
      Restore();
      faulty->ClearFaults();
      if (kind.diskFull)
        faulty->DiskFullAt(n);
      else
        faulty->FailAt(kind.op, n, kind.code);
      const Outcome o = RunFaulty();
      SCOPED_TRACE("calls up to the failure:\n" + CallsToFailure(kind.name));
      ++walked;
      EXPECT_TRUE(o.trouble.empty()) << o.trouble << "\n" << Screens();
      // Without its path file the program rightly waits for the user to
      // name the directories; any other wait beyond the answers is a hang.
      bool asksForPaths = false;
      for (const auto& screen : watch.screens)
        if (screen.find("Musisz wskazać katalog") != std::string::npos) asksForPaths = true;
      EXPECT_FALSE(o.hung && !asksForPaths) << "still asking after every answer\n" << Screens();
      EXPECT_TRUE(o.ended || o.hung) << Screens();
      EXPECT_EQ(Check2019(), "");
      if (o.ended) {
        RepairLeftovers();
        EXPECT_EQ(CheckCarried(), "") << Screens();
      }
      if (faulty->Injected() == 0) continue;  // the call was not reached this time
      if (!watch.sawError) {
        ++kindUnreported;
        EXPECT_FALSE(kind.mustReport) << "the failure went unseen\n" << Screens();
      }
    }
    unreported += kindUnreported;
    summary += std::string(kind.name) + " " + std::to_string(points.size()) + "/" + std::to_string(count) +
               " (unseen " + std::to_string(kindUnreported) + ")  ";
  }
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("[ fault walk ] %d fault points in %.1f s, %d unseen: %s\n", walked, secs, unreported, summary.c_str());
  EXPECT_GT(walked, 50);
}

}  // namespace
}  // namespace qm::test::e2e

namespace qm::test::e2e {
namespace {

// The renames of a run that hides the carried 2020 files in 2019, each made
// to fail in turn: the file keeps its name and content and the run goes on
// to its end. (The failure is a log line that is not waited on.)
TEST_F(FaultWalk, EveryFailedRenameOfAHiddenFileLeavesItAsItWas) {
  Prepare(true);
  Restore();
  faulty->ClearFaults();
  const Outcome clean = RunFaulty();
  ASSERT_TRUE(clean.ended) << clean.trouble << Screens();
  EXPECT_EQ(Check2019(), "");
  const int renames = faulty->Count(FsOp::Rename);
  ASSERT_GT(renames, 0) << "nothing was hidden";
  for (int n = 1; n <= renames; ++n) {
    SCOPED_TRACE("rename #" + std::to_string(n) + " of " + std::to_string(renames));
    Restore();
    faulty->ClearFaults();
    faulty->FailAt(FsOp::Rename, n, kErrAccessDenied);
    const Outcome o = RunFaulty();
    EXPECT_TRUE(o.ended) << o.trouble << "\n" << Screens();
    EXPECT_EQ(Check2019(), "");
    EXPECT_EQ(faulty->Injected(), 1);
  }
}

}  // namespace
}  // namespace qm::test::e2e
