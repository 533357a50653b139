#include "driver/safe_transfer.h"

#include <memory>
#include <vector>

#include "base/cp852.h"
#include "base/polish.h"
#include "base/text.h"
#include "base/program_version.h"
#include "driver/carried_modes.h"
#include "driver/company_list.h"
#include "driver/recovery.h"
#include "driver/run_report_texts.h"
#include "journal/repair.h"
#include "journal/run_recorder.h"
#include "platform/console.h"
#include "platform/host_fs.h"
#include "platform/process.h"
#include "run/progress_log.h"
#include "run/run_report.h"
#include "run/run_settings.h"
#include "tui/message_box.h"

namespace qm {
namespace {

// Everything of one transfer: the lock, the journal and the recording layer
// over the owners layer, over the file system that was in force when it
// began (given back at its end).
struct Session {
  Session(FileSystem& baseFs, const std::string& root)
      : base(baseFs),
        modes(baseFs, CarriedTrees{SourceRoot, TargetRoot, GlobalSourceSubdir, kGlobalTargetSubdir}),
        host(modes),
        books(root),
        lock(host),
        journal(host, books, SourceRoot, root),
        recorder(host, journal) {}
  FileSystem& base;
  CarriedModesFs modes;
  FileSystem& host;
  Bookkeeping books;
  RunLock lock;
  TransferJournal journal;
  RunRecorder recorder;
  std::string unitName;  // the company of the unit, for its lines
};

std::unique_ptr<Session> g_session;
bool g_failures = false;

std::string Now() {
  const LocalTime t = Con().Now();
  return std::to_string(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + " " + TwoDigits(t.hour) + ":" +
         TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

// The unit as the journal on disk holds it, for its rollback.
bool RollBackCurrent(Session& s, int64_t unit) {
  RunHistory run;
  std::vector<JournalRecord> records;
  if (ReadJournal(s.host, s.books.JournalPath(), records) != JournalState::Readable || !BuildHistory(records, run))
    return false;
  const JournalUnit* u = run.Unit(unit);
  if (!u) return false;
  LogStatus status(run);
  Rollback rollback(s.host, run, s.books, status, kCompanyListShape);
  if (rollback.RollBackUnit(*u, RollbackMode::Repair) != UnitRollback::Done || status.Problems()) return false;
  s.journal.ForgetUnit(unit);
  return s.journal.NoteUndone(unit) == kOk;
}

// Ends the current unit without committing it: rolled back, named in red.
void AbandonUnit(Session& s, const std::string& title, bool byError) {
  const int64_t unit = s.journal.CurrentUnit();
  s.journal.LeaveUnit();
  if (byError) g_failures = true;
  LogColour(kLogError);
  LogLine(Pl("Nie przeniesiono: ") + title + Pl(" - wycofano zmiany"));
  if (!RollBackCurrent(s, unit)) {
    LogColour(kLogError);
    LogLine(Pl("Wycofanie niepełne: dokończy je naprawa przy następnym uruchomieniu"));
  }
  // Like every failure that stops a copy, it waits for a key.
  WaitKey();
}

}  // namespace

void BeginSafeTransfer() {
  // Below the two roots nothing is read or written through a link; the
  // list and the global directory that every run writes are looked at
  // before anything is.
  SetGuardedRoots({SourceRoot, TargetRoot});
  for (const std::string& path : {TargetRoot + CompanyListName, TargetRoot + kGlobalTargetSubdir}) {
    if (IsLink(path))
      Stop(CentredLines({Pl("Dowiązanie symboliczne w miejscu"), Pl("zapisywanym przez program:"), path,
                         Pl("Niczego nie zmieniono.")}),
           kExitFailed);
  }
  g_session = std::make_unique<Session>(Fs(), WithSeparator(TargetRoot));
  Session& s = *g_session;
  const RunLock::Result held = s.lock.Acquire(s.books);
  if (held != RunLock::Result::Held)
    StopLockFailed(held == RunLock::Result::InUse, s.lock.Error(), s.books.Dir(), kExitFailed);
  RepairUnfinishedRuns(s.books.root, true);
  SetGuardedRoots({SourceRoot, TargetRoot});
  s.books.run = PrepareNextRun(s.books.root);
  // The report goes to the host's file system, never through the recording
  // layer, which lives no longer than the transfer.
  StartRunReport("przeniesienie danych");
  s.journal.onSaved = [&s](Tree tree, const std::string& rel, const std::string& copy) {
    ReportLine(Pl("Kopia zapasowa: ") + s.journal.Root(tree) + rel + " -> " + copy);
  };
  if (s.journal.Start(ProgramVersion(), Now()) != kOk)
    Stop(CentredLines({Pl("Nie można zapisać dziennika"), Pl("przenoszenia danych:"), s.books.JournalPath()}),
         kExitFailed);
  SetFileSystem(&s.recorder);
}

void EndSafeTransfer() {
  if (!g_session) return;
  Session& s = *g_session;
  // Everything is in place; the next start will only close the journal.
  if (s.journal.End() != kOk) {
    LogColour(kLogError);
    LogLine(Pl("Błąd zapisu dziennika przenoszenia ") + s.books.JournalPath());
  }
  if (&Fs() == &s.recorder) SetFileSystem(&s.base);
  g_session.reset();
}

bool SafeTransferActive() { return g_session != nullptr; }

void SetCompanyListFile(const std::string& path) {
  if (g_session) g_session->recorder.SetRunFile(path);
}

void BeginGlobalUnit() {
  FlushRunReport();
  if (!g_session) return;
  Session& s = *g_session;
  s.recorder.StartUnit();
  const bool existed = DirectoryExists(TargetRoot + kGlobalTargetSubdir);
  if (const int rc = s.journal.BeginUnit(UnitKind::Global, kGlobalTargetSubdir, "", existed); rc != kOk)
    s.recorder.Fail(rc);
}

void EndGlobalUnit() {
  if (!g_session || !g_session->journal.InUnit()) return;
  Session& s = *g_session;
  // A unit that cannot be committed (a full disk under the journal) is
  // rolled back like one that failed.
  if (s.recorder.UnitFailed() || s.journal.Commit(s.recorder.FinalStates()) != kOk)
    AbandonUnit(s, Pl("Dane globalne"), true);
}

void BeginCompanyUnit(const std::string& dir, const std::string& name) {
  FlushRunReport();
  if (!g_session) return;
  Session& s = *g_session;
  s.recorder.StartUnit();
  s.unitName = name;
  const bool existed = DirectoryExists(TargetRoot + dir);
  if (const int rc = s.journal.BeginUnit(UnitKind::Company, dir, name, existed); rc != kOk) s.recorder.Fail(rc);
}

bool CompanyUnitFailed() { return g_session && g_session->recorder.UnitFailed(); }

bool NoteListInsertion(FileHandle h, int32_t count, const uint8_t* record, int recSize, const std::string& listPath) {
  if (!g_session || !g_session->journal.InUnit()) return true;
  Session& s = *g_session;
  if (s.recorder.UnitFailed()) return false;
  uint64_t hash = 0;
  int rc = HashOfRecords(s.host, h, static_cast<size_t>(recSize), count, hash) ? kOk : kErrReadFault;
  const std::string root = WithSeparator(TargetRoot);
  const std::string rel = listPath.compare(0, root.size(), root) == 0 ? listPath.substr(root.size()) : listPath;
  if (rc == kOk) rc = s.journal.NoteInsert(rel, count, hash, record, static_cast<size_t>(recSize));
  if (rc != kOk) s.recorder.Fail(rc);
  return rc == kOk;
}

bool EndCompanyUnit(bool converted, bool inserted) {
  if (!g_session || !g_session->journal.InUnit()) return converted && inserted;
  Session& s = *g_session;
  const bool failed = s.recorder.UnitFailed();
  if (converted && inserted && !failed && s.journal.Commit(s.recorder.FinalStates()) == kOk) {
    ++Tally().carried;
    ReportLine("Firma " + s.unitName + Pl(": przeniesiona"));
    return true;
  }
  // A company the conversion refused by its own rules leaves nothing to take
  // back and no line; one that made something is rolled back.
  if (!failed && !converted) {
    const int64_t unit = s.journal.CurrentUnit();
    s.journal.LeaveUnit();
    if (!RollBackCurrent(s, unit)) g_failures = true;
    ++Tally().skipped;
    ReportLine("Firma " + s.unitName + Pl(": nie przeniesiona (pominięta przy konwersji)"));
    return false;
  }
  FlushRunReport();
  const bool byError = failed || (converted && inserted);
  AbandonUnit(s, "Firma " + s.unitName, byError);
  ++(byError ? Tally().failed : Tally().skipped);
  ReportLine("Firma " + s.unitName +
             (byError ? Pl(": nie przeniesiona z powodu błędu, zmiany wycofane")
                      : Pl(": nie wpisana do listy firm (odmowa czekania), zmiany wycofane")));
  return false;
}


bool RunHadFailures() { return g_failures; }

void ResetSafeTransfer() {
  if (g_session && &Fs() == &g_session->recorder) SetFileSystem(&g_session->base);
  g_session.reset();
  g_failures = false;
  SetGuardedRoots({});
  ResetRecovery();
}

}  // namespace qm
