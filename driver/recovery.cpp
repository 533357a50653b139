#include "driver/recovery.h"

#include <algorithm>
#include <vector>

#include "base/cp852.h"
#include "base/polish.h"
#include "driver/company_list.h"
#include "driver/run_report_texts.h"
#include "driver/safe_transfer.h"
#include "journal/bookkeeping.h"
#include "journal/repair.h"
#include "journal/run_check.h"
#include "platform/host_fs.h"
#include "platform/process.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tui/line_viewer.h"
#include "tui/message_box.h"

namespace qm {

const ListShape kCompanyListShape{kCompanyRecSize, kCompanyDirOff, kCompanyDirCap};

namespace {

// Where the 2019 root known now came from: the path file (for the 2020
// root in use), or page 1 once the operator has been there. The built-in
// default names no installation.
bool g_sourceGiven = false;
std::string g_startSource;

void Line(uint8_t colour, const std::string& text) {
  LogColour(colour);
  LogLine(text);
}

}  // namespace

void LogStatus::Step(RollbackStep step, Tree tree, const std::string& rel) {
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
    case RollbackStep::Lost:
      return Line(kLogError, Pl("Nie można przywrócić (brak kopii zapasowej): ") + path);
  }
}

std::string WithSeparator(std::string dir) {
  if (!dir.empty() && dir.back() != kPathSep) dir += kPathSep;
  return dir;
}

void Stop(const std::string& text, int code) {
  ErrorBox(text);
  ExitProgram(code);
}

void StopLockFailed(bool inUse, int error, const std::string& dir, int code) {
  if (inUse)
    Stop(CentredLines({Pl("Instalacja 2020 jest używana"), Pl("przez inną kopię qm19-20:"), TargetRoot}), kExitInUse);
  if (error == kErrAccessDenied)
    Stop(CentredLines({Pl("Brak prawa zapisu w katalogu"), Pl("programu:"), dir, Pl("Niczego nie zmieniono.")}), code);
  Stop(CentredLines({Pl("Nie można założyć katalogu programu"), dir}), code);
}

void NoteSourceRootGiven(bool given) { g_sourceGiven = given; }
void NoteStartSourceRoot() { g_startSource = SourceRoot; }

namespace {

// A run kept in the bookkeeping directory, as far as its journal reads.
struct KeptRun {
  explicit KeptRun(const std::string& root, int n) : books(root, n) {}
  Bookkeeping books;
  RunHistory run;
  JournalState state = JournalState::Missing;
  bool usable = false;        // the records make a run
  std::string recordedRoot;   // the 2020 root the journal names
};

// False when the run holds nothing: no journal, or none of its records
// reached the disk.
bool ReadKeptRun(FileSystem& fs, KeptRun& k) {
  std::vector<JournalRecord> records;
  k.state = ReadJournal(fs, k.books.JournalPath(), records);
  if (k.state == JournalState::Missing || (k.state == JournalState::Readable && records.empty())) return false;
  k.usable = BuildHistory(records, k.run, k.state == JournalState::Damaged);
  k.recordedRoot = k.run.targetRoot.empty() ? k.books.root : k.run.targetRoot;
  // Paths are taken in the root the journal lies in, never the one it names.
  k.run.targetRoot = k.books.root;
  return true;
}

std::string ListPath(const std::string& root) { return root + CompanyListName; }

// A journal of another installation (copied here with its bookkeeping
// directory): named, and left alone.
bool Fits(FileSystem& fs, const KeptRun& k) {
  std::string why;
  if (FitsInstallation(fs, k.run, k.recordedRoot, ListPath(k.books.root), kCompanyListShape, why)) return true;
  ErrorBox(CentredLines({Pl("Dziennik przenoszenia danych"), k.books.JournalPath(),
                         Pl("nie pasuje do tej instalacji 2020 (") + why + ")", Pl("i został pominięty."),
                         Pl("Niczego nie zmieniono.")}));
  return false;
}

// A journal the program cannot follow: it names the file and what to do.
[[noreturn]] void StopUnusable(const KeptRun& k) {
  Stop(CentredLines({Pl("Dziennik przenoszenia danych"), Pl("jest uszkodzony:"), k.books.JournalPath(),
                     Pl("Przywróć go z kopii albo usuń katalog"), k.books.RunDir(), Pl("Niczego nie zmieniono.")}),
       kExitDeclined);
}

// A damaged journal is followed only when the operator says so.
void ConfirmDamaged(const KeptRun& k, const std::string& question) {
  if (!k.usable) StopUnusable(k);
  if (k.state != JournalState::Damaged) return;
  if (!AskYesNo(4, 6,
                Pl("Dziennik przenoszenia danych jest uszkodzony:") + kMsgLineBreak + k.books.JournalPath() +
                    kMsgLineBreak + Pl("Można go przywrócić z kopii i uruchomić program ponownie") + kMsgLineBreak +
                    Pl("albo ") + question + Pl(" według zapisów, które da się odczytać.") + kMsgLineBreak +
                    Pl("Działać według odczytanych zapisów ?"),
                false))
    ExitProgram(kExitDeclined);
}

bool HoldsCompanyList(FileSystem& fs, const std::string& root) {
  bool isDir = false;
  return PathExists(fs, root + CompanyListName, &isDir) && !isDir;
}

// The 2019 root the run is taken back in: its own. Where another one was
// given, a box names both and asks; a run's root that holds no company list
// is no 2019 installation, and nothing is done.
void SettleSourceRoot(FileSystem& fs, KeptRun& k, bool atTransfer) {
  const bool given = g_sourceGiven || (atTransfer && !SameRootPath(SourceRoot, g_startSource));
  RunHistory& run = k.run;
  if (run.sourceRoot.empty()) {
    if (!given)
      Stop(CentredLines({Pl("Dziennik nie podaje katalogu 2019:"), k.books.JournalPath(),
                         Pl("Wpisz go w pliku qm19-20.PTH (ZEV_2019=)."), Pl("Niczego nie zmieniono.")}),
           kExitDeclined);
    run.sourceRoot = WithSeparator(SourceRoot);
  }
  if (given && !SameRootPath(run.sourceRoot, SourceRoot) &&
      !AskYesNo(4, 6,
                Pl("Dziennik przenoszenia danych dotyczy innej instalacji 2019:") + kMsgLineBreak + run.sourceRoot +
                    kMsgLineBreak + Pl("niż podana: ") + SourceRoot + kMsgLineBreak + Pl("Instalacja 2020: ") +
                    k.books.root + kMsgLineBreak + Pl("Działać według dziennika (") + run.sourceRoot + ") ?",
                false))
    ExitProgram(kExitDeclined);
  if (!HoldsCompanyList(fs, run.sourceRoot))
    Stop(CentredLines({Pl("Dziennik przenoszenia danych"), Pl("dotyczy instalacji 2019:"), run.sourceRoot,
                       Pl("w której nie ma listy firm ") + CompanyListName, Pl("Niczego nie zmieniono.")}),
         kExitDeclined);
  SetGuardedRoots({run.sourceRoot, k.books.root});
}

std::string UnitTitle(const JournalUnit& u) {
  if (u.kind == UnitKind::Global) return Pl("DANE GLOBALNE ") + u.dir;
  return "FIRMA " + u.name + " (" + u.dir + ")";
}

std::string Roots(const RunHistory& run) { return "2019: " + run.sourceRoot + kMsgLineBreak + "2020: " + run.targetRoot; }

// Company directories a cut-off unit began in a fresh directory and the
// repair left, the company not listed: the journal lacks what made them
// (cut back by hand, say). Named, never removed on a guess.
void NameDirsLeft(FileSystem& fs, const RunHistory& run, const std::vector<const JournalUnit*>& units) {
  std::vector<uint8_t> list;
  ReadPieces(fs, ListPath(run.targetRoot), [&](const uint8_t* d, uint32_t n) { list.insert(list.end(), d, d + n); });
  for (const JournalUnit* u : units) {
    bool isDir = false;
    if (u->kind != UnitKind::Company || u->dirExisted || u->dir.empty() ||
        !PathExists(fs, run.targetRoot + u->dir, &isDir) || !isDir)
      continue;
    bool listed = false;
    for (size_t i = 0; i + kCompanyRecSize <= list.size() && !listed; i += kCompanyRecSize)
      listed = PlUpperCase(kCompanyListShape.Dir(list.data() + i)) == PlUpperCase(u->dir);
    if (!listed)
      Line(kLogError, Pl("Katalog firmy pozostał, choć dziennik nie podaje jego utworzenia: ") + run.targetRoot + u->dir);
  }
}

void RepairOne(FileSystem& fs, KeptRun& k, bool atTransfer) {
  ConfirmDamaged(k, Pl("naprawić instalację"));
  if (!Fits(fs, k)) return;
  SettleSourceRoot(fs, k, atTransfer);
  const RunHistory& run = k.run;
  if (!AskYesNo(10, 8,
                Pl("Poprzednie przenoszenie danych zostało przerwane.") + kMsgLineBreak + Roots(run) + kMsgLineBreak +
                    Pl("Naprawić teraz ?"),
                true))
    ExitProgram(kExitDeclined);
  StartRunReport("naprawa przerwanego przeniesienia");
  Line(kLogProgress, Pl("NAPRAWA PRZERWANEGO PRZENOSZENIA DANYCH z ") + run.startedAt);
  LogLine(Pl("Katalog 2019: ") + run.sourceRoot);
  LogLine(Pl("Katalog 2020: ") + run.targetRoot);
  const std::vector<const JournalUnit*> units = run.ToRollBack();
  for (const JournalUnit* u : units) LogLine(Pl("Wycofanie: ") + UnitTitle(*u));
  LogStatus status(run);
  const RepairResult result = RepairRun(fs, k.books, run, status, kCompanyListShape);
  if (result.problems || result.journalFailed || status.Problems())
    Stop(CentredLines({Pl("Naprawa nie powiodła się w całości."), Pl("Zostanie powtórzona przy następnym"),
                       Pl("uruchomieniu programu.")}),
         kExitDeclined);
  NameDirsLeft(fs, run, units);
  Line(kLogProgress, Pl("Naprawa zakończona, wycofano: ") + std::to_string(result.units));
  if (result.lost)
    ErrorBox(CentredLines({Pl("Naprawa zakończona, ale części plików"), Pl("nie można było przywrócić:"),
                           Pl("ich kopie zapasowe są uszkodzone lub ich brak."), Pl("Wymienia je okno postępu i raport;"),
                           Pl("przywróć je z własnej kopii.")}));
}

}  // namespace

void RepairUnfinishedRuns(const std::string& root, bool atTransfer) {
  FileSystem& fs = Fs();
  std::vector<int> runs = KeptRuns(fs, root);
  for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
    KeptRun k(root, *it);
    if (!ReadKeptRun(fs, k) || (k.usable && !k.run.Unfinished())) continue;
    RepairOne(fs, k, atTransfer);
  }
}

int PrepareNextRun(const std::string& root) {
  FileSystem& fs = Fs();
  int last = 0;
  for (const int n : KeptRuns(fs, root)) {
    KeptRun k(root, n);
    if (n > 0 && !ReadKeptRun(fs, k)) RemoveEmptyRun(fs, k.books);
    else last = n;
  }
  return last + 1;
}

void RepairAtStartUp() {
  if (TargetRoot.empty()) return;
  const std::string root = WithSeparator(TargetRoot);
  FileSystem& fs = Fs();
  // What is read is read below the guarded root only (a journal that is a
  // link to a device never is).
  SetGuardedRoots({root});
  bool unfinished = false;
  for (const int n : KeptRuns(fs, root)) {
    KeptRun k(root, n);
    unfinished = unfinished || (ReadKeptRun(fs, k) && (!k.usable || k.run.Unfinished()));
  }
  if (unfinished) {
    // A journal a running copy is writing is not an interrupted run.
    RunLock lock(fs);
    const RunLock::Result held = lock.Acquire(Bookkeeping(root));
    if (held == RunLock::Result::Failed) StopLockFailed(false, lock.Error(), Bookkeeping(root).Dir(), kExitCannotStart);
    if (held == RunLock::Result::Held) RepairUnfinishedRuns(root, false);
  }
  SetGuardedRoots({});
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

// What is no longer as the committed units left it: files changed or gone,
// files that appeared in the directories they made, company-list records
// changed or gone, and changed files whose copies are lost (left as they
// are).
std::vector<std::string> ChangedSinceRun(FileSystem& fs, const RunHistory& run, const Bookkeeping& books) {
  std::vector<std::string> out;
  LogStatus quiet(run);
  Rollback rollback(fs, run, books, quiet, kCompanyListShape);
  for (const JournalUnit* u : run.Committed()) {
    std::vector<std::string> made;
    for (const JournalRecord& r : u->changes) {
      Tree tree;
      if (!ParseTree(r.Field(1), tree)) continue;
      if (r.kind == RecordKind::NewFile) made.push_back(Upper(r.Field(2)));
      if (r.kind == RecordKind::Saved && !rollback.CopyUsable(r))
        out.push_back(Pl("brak kopii: ") + rollback.FullPath(tree, r.Field(2)));
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
  std::vector<AddedRecord> added;
  AddedRecords(fs, run, kCompanyListShape, added);
  for (const AddedRecord& a : added) {
    if (a.now == RecordNow::AsAdded) continue;
    out.push_back((a.now == RecordNow::Changed ? Pl("zmieniony wpis listy firm: ") : Pl("usunięty wpis listy firm: ")) +
                  a.unit->name + " (" + a.unit->dir + ")");
  }
  return out;
}

// The latest run that has something to take back, read and checked; false
// when there is none.
bool LatestUndoable(FileSystem& fs, const std::string& root, KeptRun& chosen) {
  std::vector<int> runs = KeptRuns(fs, root);
  for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
    KeptRun k(root, *it);
    if (!ReadKeptRun(fs, k)) continue;
    ConfirmDamaged(k, Pl("cofnąć przeniesienie"));
    if (k.run.Committed().empty() || !Fits(fs, k)) continue;
    chosen = k;
    return true;
  }
  return false;
}

}  // namespace

void RunUndo() {
  const std::string root = WithSeparator(TargetRoot);
  const Bookkeeping books(root);
  FileSystem& fs = Fs();
  SetGuardedRoots({root});
  if (KeptRuns(fs, root).empty())
    Stop(CentredLines({Pl("Brak zapisu przeniesienia danych"), Pl("do cofnięcia:"), books.Dir()}), kExitDeclined);
  RunLock lock(fs);
  const RunLock::Result held = lock.Acquire(books);
  if (held != RunLock::Result::Held)
    StopLockFailed(held == RunLock::Result::InUse, lock.Error(), books.Dir(), kExitCannotStart);
  StartRunReport("cofnięcie przeniesienia");
  RepairUnfinishedRuns(root, false);
  KeptRun k(root, 0);
  if (!LatestUndoable(fs, root, k))
    Stop(CentredLines({Pl("Żadne przeniesienie danych"), Pl("nie ma nic do cofnięcia.")}), kExitDeclined);
  SettleSourceRoot(fs, k, false);
  const RunHistory& run = k.run;
  std::vector<std::string> lines;
  lines.push_back(Pl("Przebieg ") + RunDirName(k.books.run) + Pl(" z ") + run.startedAt);
  std::string names;
  for (const std::string& n : run.CommittedNames()) names += (names.empty() ? "" : ", ") + n;
  lines.push_back(Pl("Firmy: ") + (names.empty() ? Pl("(brak)") : names));
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
  if (!AskYesNo(10, 8,
                Pl("Przeniesienie danych z ") + run.startedAt + kMsgLineBreak + Roots(run) + kMsgLineBreak +
                    Pl("Cofnąć to przeniesienie danych ?"),
                false))
    ExitProgram(kExitDeclined);
  const std::vector<std::string> changed = ChangedSinceRun(fs, run, k.books);
  if (!changed.empty()) {
    ShowLines(Pl(" ZMIENIONE PO PRZENIESIENIU "), changed, Pl("Pliki zmienione po przeniesieniu:"));
    if (!AskYesNo(10, 8,
                  Pl("Zmienione pliki zostaną odłożone do _QM1920.") + kMsgLineBreak + Pl("Cofnąć mimo to ?"),
                  false))
      ExitProgram(kExitDeclined);
  }
  Line(kLogProgress, Pl("COFNIĘCIE PRZENIESIENIA DANYCH z ") + run.startedAt);
  LogLine(Pl("Katalog 2019: ") + run.sourceRoot);
  LogLine(Pl("Katalog 2020: ") + run.targetRoot);
  LogStatus status(run);
  const RepairResult result = UndoRun(fs, k.books, run, status, kCompanyListShape);
  if (result.problems || result.journalFailed || status.Problems())
    Stop(CentredLines({Pl("Cofnięcie nie powiodło się w całości."), Pl("Zostanie dokończone przy następnym"),
                       Pl("uruchomieniu programu.")}),
         kExitFailed);
  Line(kLogProgress, Pl("Cofnięto przeniesienie danych, firm: ") + std::to_string(result.units) +
                         Pl(", wpisów listy firm: ") + std::to_string(result.listRecords));
  if (result.lost)
    Line(kLogError, Pl("Części plików nie przywrócono: ich kopii zapasowych brak (wymienione wyżej)"));
  LogLine("");
  LogWrite("Nacisnij Enter");
  WaitKey();
  ExitProgram(result.lost ? kExitFailed : kExitDone);
}

void ResetRecovery() {
  g_sourceGiven = false;
  g_startSource.clear();
}

}  // namespace qm
