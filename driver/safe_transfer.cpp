#include "driver/safe_transfer.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "base/cp852.h"
#include "base/polish.h"
#include "base/text.h"
#include "base/program_version.h"
#include "driver/carried_modes.h"
#include "driver/company_list.h"
#include "driver/run_report_texts.h"
#include "journal/list_fix.h"
#include "journal/repair.h"
#include "journal/run_recorder.h"
#include "platform/console.h"
#include "platform/host_fs.h"
#include "platform/process.h"
#include "run/progress_log.h"
#include "run/run_report.h"
#include "run/run_settings.h"
#include "tui/line_viewer.h"
#include "tui/message_box.h"

namespace qm {
namespace {

// Everything of one transfer: the lock, the journal and the recording layer
// over the file system that was in force when it began.
struct Session {
  Session(FileSystem& hostFs, const std::string& root)
      : host(hostFs), books(root), lock(hostFs), journal(hostFs, books, SourceRoot, root), recorder(hostFs, journal) {}
  FileSystem& host;
  Bookkeeping books;
  RunLock lock;
  TransferJournal journal;
  RunRecorder recorder;
  std::string unitName;  // the company of the unit, for its lines
};

std::unique_ptr<Session> g_session;
bool g_failures = false;

std::string WithSeparator(std::string dir) {
  if (!dir.empty() && dir.back() != kPathSep) dir += kPathSep;
  return dir;
}

std::string Now() {
  const LocalTime t = Con().Now();
  return std::to_string(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + " " + TwoDigits(t.hour) + ":" +
         TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

// The steps of a rollback as lines of the progress log.
class LogStatus : public RollbackStatus {
 public:
  explicit LogStatus(const RunHistory& run) : run_(run) {}
  void Step(RollbackStep step, Tree tree, const std::string& rel) override {
    const std::string path = run_.Root(tree) + rel;
    switch (step) {
      case RollbackStep::Restored:
        return Line(kLogNote, Pl("Przywrócono plik ") + path);
      case RollbackStep::Removed:
        return Line(kLogNote, Pl("Usunięto plik ") + path);
      case RollbackStep::RemovedDir:
        return Line(kLogNote, Pl("Usunięto katalog ") + path);
      case RollbackStep::RenamedBack:
        return Line(kLogNote, Pl("Przywrócono nazwę pliku ") + path);
      case RollbackStep::SetAside:
        return Line(kLogNote, Pl("Plik zmieniony po przeniesieniu odłożono do _QM1920: ") + path);
      case RollbackStep::KeptDir:
        return Line(kLogNote, Pl("Pozostawiono katalog z innymi plikami ") + path);
      case RollbackStep::ListFixed:
        return Line(kLogNote, Pl("Poprawiono listę firm ") + path);
      case RollbackStep::ListGuessed:
        return Line(kLogError, Pl("Lista firm zmieniona przez inny program, usunięto wpis: ") + path);
      case RollbackStep::Problem:
        problems_ = true;
        return Line(kLogError, Pl("Nie można przywrócić: ") + path);
    }
  }
  bool Problems() const { return problems_; }

 private:
  static void Line(uint8_t colour, const std::string& text) {
    LogColour(colour);
    LogLine(text);
  }
  const RunHistory& run_;
  bool problems_ = false;
};

std::string UnitTitle(const JournalUnit& u) {
  if (u.kind == UnitKind::Global) return Pl("DANE GLOBALNE ") + u.dir;
  return "FIRMA " + u.name + " (" + u.dir + ")";
}

[[noreturn]] void Stop(const std::string& text, int code) {
  ErrorBox(text);
  ExitProgram(code);
}

// Another copy holds the installation: nothing is written, code 4.
[[noreturn]] void StopInUse() {
  Stop(CentredLines({Pl("Instalacja 2020 jest używana"), Pl("przez inną kopię qm19-20:"), TargetRoot}), kExitInUse);
}

bool SameRoot(std::string a, std::string b) {
  for (std::string* s : {&a, &b}) {
    *s = PlUpperCase(*s);
    std::replace(s->begin(), s->end(), '\\', '/');
    if (!s->empty() && s->back() != '/') *s += '/';
  }
  return a == b;
}

// The run the journal of books tells; false when there is none. Ends the
// program when the journal cannot be read: it never leads to a change. A
// journal lies in the 2020 root it was written for, and the 2019 root it
// names must be the one known now before it is repaired or undone
// (RequireSameSource): a journal copied or planted elsewhere never leads a
// repair outside the two trees.
bool ReadRun(FileSystem& fs, const Bookkeeping& books, RunHistory& run) {
  std::vector<JournalRecord> records;
  const JournalState st = ReadJournal(fs, books.JournalPath(), records);
  if (st == JournalState::Missing) return false;
  if (st == JournalState::Unreadable || !BuildHistory(records, run))
    Stop(CentredLines({Pl("Dziennik przenoszenia danych"), Pl("jest uszkodzony:"), books.JournalPath(),
                       Pl("Niczego nie zmieniono.")}),
         kExitDeclined);
  run.targetRoot = books.root;
  return true;
}

// A run about to be repaired or undone must be of the 2019 root known now.
void RequireSameSource(const RunHistory& run) {
  if (!SameRoot(run.sourceRoot, SourceRoot))
    Stop(CentredLines({Pl("Dziennik przenoszenia danych"), Pl("dotyczy innej instalacji 2019:"), run.sourceRoot,
                       Pl("Niczego nie zmieniono.")}),
         kExitDeclined);
}

// An unfinished run of this root: asked, then repaired; N ends the program.
void RepairIfUnfinished(FileSystem& fs, const Bookkeeping& books) {
  RunHistory run;
  if (!ReadRun(fs, books, run) || !run.Unfinished()) return;
  RequireSameSource(run);
  if (!AskYesNo(10, 8, Pl("Poprzednie przenoszenie danych zostało przerwane.") + kMsgLineBreak + Pl("Naprawić teraz ?"),
                true))
    ExitProgram(kExitDeclined);
  StartRunReport("naprawa przerwanego przeniesienia");
  LogColour(kLogProgress);
  LogLine(Pl("NAPRAWA PRZERWANEGO PRZENOSZENIA DANYCH z ") + run.startedAt);
  for (const JournalUnit* u : run.ToRollBack()) LogLine(Pl("Wycofanie: ") + UnitTitle(*u));
  LogStatus status(run);
  const RepairResult result = RepairRun(fs, books, run, status, kCompanyRecSize);
  if (result.problems || result.journalFailed || status.Problems())
    Stop(CentredLines({Pl("Naprawa nie powiodła się w całości."), Pl("Zostanie powtórzona przy następnym"),
                       Pl("uruchomieniu programu.")}),
         kExitDeclined);
  LogColour(kLogProgress);
  LogLine(Pl("Naprawa zakończona, wycofano: ") + std::to_string(result.units));
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
  Rollback rollback(s.host, run, s.books, status, kCompanyRecSize);
  if (!rollback.RollBackUnit(*u, RollbackMode::Repair) || status.Problems()) return false;
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

void RepairAtStartUp() {
  if (TargetRoot.empty()) return;
  Bookkeeping books(WithSeparator(TargetRoot));
  FileSystem& fs = Fs();
  // A journal a running copy is writing is not an interrupted run.
  if (RunLock::HeldElsewhere(fs, books)) return;
  RunHistory run;
  if (!ReadRun(fs, books, run) || !run.Unfinished()) return;
  SetGuardedRoots({SourceRoot, books.root});
  RunLock lock(fs);
  if (lock.Acquire(books) == RunLock::Result::InUse)
    StopInUse();
  RepairIfUnfinished(fs, books);
}

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
  SetFileSystem(&CarriedModesOver(Fs()));
  g_session = std::make_unique<Session>(Fs(), WithSeparator(TargetRoot));
  Session& s = *g_session;
  switch (s.lock.Acquire(s.books)) {
    case RunLock::Result::InUse:
      StopInUse();
    case RunLock::Result::Failed:
      Stop(CentredLines({Pl("Nie można założyć katalogu programu"), s.books.Dir()}), kExitFailed);
    case RunLock::Result::Held:
      break;
  }
  RepairIfUnfinished(s.host, s.books);
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
  if (&Fs() == &s.recorder) SetFileSystem(&s.host);
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


namespace {

std::string Upper(const std::string& rel) {
  std::string k = PlUpperCase(rel);
  for (char& c : k)
    if (c == '\\') c = '/';
  return k;
}

// What a committed unit changed, as lines of the undo's list.
void DescribeUnit(const JournalUnit& u, std::vector<std::string>& lines) {
  lines.push_back(UnitTitle(u));
  for (const JournalRecord& r : u.changes) {
    const std::string tree = r.Field(1);
    switch (r.kind) {
      case RecordKind::MakeDir:
        lines.push_back(Pl("  utworzony katalog ") + tree + ": " + r.Field(2));
        break;
      case RecordKind::NewFile:
        lines.push_back(Pl("  utworzony plik ") + tree + ": " + r.Field(2));
        break;
      case RecordKind::Saved:
        lines.push_back(Pl("  zmieniony plik ") + tree + ": " + r.Field(2));
        break;
      case RecordKind::Renamed:
        lines.push_back(Pl("  zmiana nazwy ") + tree + ": " + r.Field(2) + " -> " + r.Field(3));
        break;
      case RecordKind::Insert:
        lines.push_back(Pl("  wpis w liście firm ") + r.Field(1));
        break;
      default:
        break;
    }
  }
}

// Every file below dir, as paths relative to root.
void FilesBelow(FileSystem& fs, const std::string& root, const std::string& rel, std::vector<std::string>& out) {
  FindEntry e;
  FindHandle fh;
  std::vector<std::pair<std::string, bool>> entries;
  int rc = fs.FindFirst(root + rel + kPathSep + "*.*", kAttrAll, e, fh);
  while (rc == kOk) {
    if (e.name != "." && e.name != "..") entries.emplace_back(e.name, (e.attr & kAttrDirectory) != 0);
    rc = fs.FindNext(fh, e);
  }
  fh.reset();
  for (const auto& [name, isDir] : entries) {
    const std::string child = rel + kPathSep + name;
    if (isDir) FilesBelow(fs, root, child, out);
    else out.push_back(child);
  }
}

// Files the committed units left that are no longer as they left them, and
// files that appeared since in the directories they made.
std::vector<std::string> ChangedSinceRun(FileSystem& fs, const RunHistory& run, const Bookkeeping& books) {
  std::vector<std::string> out;
  LogStatus quiet(run);
  Rollback rollback(fs, run, books, quiet, kCompanyRecSize);
  for (const JournalUnit* u : run.Committed()) {
    std::vector<std::string> made;
    for (const JournalRecord& r : u->changes) {
      Tree tree;
      if (!ParseTree(r.Field(1), tree)) continue;
      if (r.kind == RecordKind::NewFile) made.push_back(Upper(r.Field(2)));
      if (r.kind != RecordKind::Final) continue;
      bool exists = false;
      if (!rollback.AsCommitted(*u, tree, r.Field(2), exists))
        out.push_back((exists ? Pl("zmieniony: ") : Pl("usunięty: ")) + rollback.FullPath(tree, r.Field(2)));
    }
    for (const JournalRecord& r : u->changes) {
      Tree tree;
      if (r.kind != RecordKind::MakeDir || !ParseTree(r.Field(1), tree)) continue;
      std::vector<std::string> files;
      FilesBelow(fs, run.Root(tree), r.Field(2), files);
      for (const std::string& f : files)
        if (std::find(made.begin(), made.end(), Upper(f)) == made.end())
          out.push_back(Pl("nowy plik: ") + run.Root(tree) + f);
    }
  }
  return out;
}

}  // namespace

void RunUndo() {
  Bookkeeping books(WithSeparator(TargetRoot));
  FileSystem& fs = Fs();
  RunHistory run;
  if (!ReadRun(fs, books, run))
    Stop(CentredLines({Pl("Brak zapisu przeniesienia danych"), Pl("do cofnięcia:"), books.JournalPath()}),
         kExitDeclined);
  SetGuardedRoots({SourceRoot, books.root});
  RunLock lock(fs);
  if (lock.Acquire(books) != RunLock::Result::Held) StopInUse();
  StartRunReport("cofnięcie przeniesienia");
  RepairIfUnfinished(fs, books);
  ReadRun(fs, books, run);
  RequireSameSource(run);
  if (run.Committed().empty())
    Stop(CentredLines({Pl("Ostatnie przeniesienie danych"), Pl("nie ma nic do cofnięcia.")}), kExitDeclined);
  std::vector<std::string> lines;
  lines.push_back(run.sourceRoot + " -> " + run.targetRoot);
  for (const JournalUnit& u : run.units) {
    if (u.kind == UnitKind::Run) {
      for (const JournalRecord& r : u.changes)
        if (r.kind == RecordKind::NewFile) lines.push_back(Pl("Lista firm utworzona: ") + r.Field(2));
    } else if (u.done && !u.undone) {
      DescribeUnit(u, lines);
    }
  }
  ShowLines(Pl(" COFNIĘCIE PRZENIESIENIA "), lines, Pl("Przeniesienie z ") + run.startedAt + ":");
  if (!AskYesNo(10, 8, Pl("Cofnąć to przeniesienie danych ?"), false)) ExitProgram(kExitDeclined);
  const std::vector<std::string> changed = ChangedSinceRun(fs, run, books);
  if (!changed.empty()) {
    ShowLines(Pl(" ZMIENIONE PO PRZENIESIENIU "), changed, Pl("Pliki zmienione po przeniesieniu:"));
    if (!AskYesNo(10, 8,
                  Pl("Zmienione pliki zostaną odłożone do _QM1920.") + kMsgLineBreak + Pl("Cofnąć mimo to ?"),
                  false))
      ExitProgram(kExitDeclined);
  }
  LogColour(kLogProgress);
  LogLine(Pl("COFNIĘCIE PRZENIESIENIA DANYCH z ") + run.startedAt);
  LogStatus status(run);
  const RepairResult result = UndoRun(fs, books, run, status, kCompanyRecSize);
  if (result.problems || result.journalFailed || status.Problems())
    Stop(CentredLines({Pl("Cofnięcie nie powiodło się w całości."), Pl("Zostanie dokończone przy następnym"),
                       Pl("uruchomieniu programu.")}),
         kExitFailed);
  LogColour(kLogProgress);
  LogLine(Pl("Cofnięto przeniesienie danych, firm: ") + std::to_string(result.units) +
          Pl(", wpisów listy firm: ") + std::to_string(result.listRecords));
  LogLine("");
  LogWrite("Nacisnij Enter");
  WaitKey();
  ExitProgram(kExitDone);
}

bool RunHadFailures() { return g_failures; }

void ResetSafeTransfer() {
  if (g_session && &Fs() == &g_session->recorder) SetFileSystem(&g_session->host);
  g_session.reset();
  g_failures = false;
  SetGuardedRoots({});
}

}  // namespace qm
