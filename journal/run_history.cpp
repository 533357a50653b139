#include "journal/run_history.h"

#include <algorithm>

#include "base/content_hash.h"
#include "base/polish.h"
#include "journal/bookkeeping.h"

namespace qm {
namespace {

bool KindOf(const std::string& word, UnitKind& k) {
  for (UnitKind u : {UnitKind::Run, UnitKind::Global, UnitKind::Company}) {
    if (word == UnitWord(u)) {
      k = u;
      return true;
    }
  }
  return false;
}

// A path of a tree a change may name: inside it, and in the 2020 tree not
// in the bookkeeping directory (a repair would otherwise remove the copies
// it restores from).
bool SafeIn(Tree t, const std::string& rel) { return SafeJournalPath(rel) && (t == Tree::Source || !InBookkeeping(rel)); }

// The fields of a change that are paths in a tree: from field 2 on for the
// tree-bound kinds, field 1 for an insertion (the list, in the 2020 tree).
bool PathsSafe(const JournalRecord& r) {
  Tree t = Tree::Target;
  switch (r.kind) {
    case RecordKind::MakeDir:
    case RecordKind::NewFile:
    case RecordKind::Saved:
    case RecordKind::Final:
      return ParseTree(r.Field(1), t) && SafeIn(t, r.Field(2));
    case RecordKind::Renamed:
      return ParseTree(r.Field(1), t) && SafeIn(t, r.Field(2)) && SafeIn(t, r.Field(3));
    case RecordKind::Insert:
      return SafeIn(Tree::Target, r.Field(1));
    default:
      return true;
  }
}

// The copy a list rewrite starts from: a plain name in the bookkeeping
// directory.
bool IsBackupLikeName(const std::string& name) {
  if (name.empty() || name.size() > 32) return false;
  for (const char c : name)
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_')) return false;
  return name != "." && name != "..";
}

// The program never makes anything in the 2019 tree and renames there only
// to hide a file under its name with "~": a journal that says otherwise
// was not written by it.
bool ChangeOfThisProgram(const JournalRecord& r) {
  Tree t;
  if (!ParseTree(r.Field(1), t) || t != Tree::Source) return true;
  switch (r.kind) {
    case RecordKind::MakeDir:
    case RecordKind::NewFile:
      return false;
    case RecordKind::Renamed:
      return r.Field(3) == r.Field(2) + "~";
    default:
      return true;
  }
}

bool IsChange(RecordKind k) {
  return k == RecordKind::MakeDir || k == RecordKind::NewFile || k == RecordKind::Saved ||
         k == RecordKind::Renamed || k == RecordKind::Insert || k == RecordKind::Final;
}

}  // namespace

const char* UnitWord(UnitKind k) {
  switch (k) {
    case UnitKind::Global:
      return "GLOBALNE";
    case UnitKind::Company:
      return "FIRMA";
    default:
      return "PRZEBIEG";
  }
}

bool SafeJournalPath(const std::string& rel) {
  if (rel.empty() || rel[0] == '/' || rel[0] == '\\' || rel.find(':') != std::string::npos) return false;
  size_t start = 0;
  for (;;) {
    const size_t sep = rel.find_first_of("/\\", start);
    const std::string part = rel.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (sep == std::string::npos) return true;
    start = sep + 1;
  }
}

bool InBookkeeping(const std::string& rel) {
  const size_t sep = rel.find_first_of("/\\");
  return PlUpperCase(rel.substr(0, sep)) == PlUpperCase(kBookkeepingName);
}

std::vector<std::string> RunHistory::CommittedNames() const {
  std::vector<std::string> out;
  for (const JournalUnit& u : units)
    if (u.kind == UnitKind::Company && u.done && !u.undone) out.push_back(u.name);
  return out;
}

std::vector<const JournalUnit*> RunHistory::ToRollBack() const {
  std::vector<const JournalUnit*> out;
  for (auto it = units.rbegin(); it != units.rend(); ++it) {
    if (it->kind == UnitKind::Run || it->undone) continue;
    if (!it->done || undoBegun) out.push_back(&*it);
  }
  return out;
}

std::vector<const JournalUnit*> RunHistory::Committed() const {
  std::vector<const JournalUnit*> out;
  for (auto it = units.rbegin(); it != units.rend(); ++it) {
    if (it->kind != UnitKind::Run && it->done && !it->undone) out.push_back(&*it);
  }
  return out;
}

const JournalUnit* RunHistory::Unit(int64_t number) const {
  for (const JournalUnit& u : units)
    if (u.number == number) return &u;
  return nullptr;
}

bool BuildHistory(const std::vector<JournalRecord>& records, RunHistory& run, bool damaged) {
  run = RunHistory();
  run.damaged = damaged;
  if (records.empty() || (records.front().kind != RecordKind::Run && !damaged)) return false;
  size_t first = 0;
  if (records.front().kind == RecordKind::Run) {
    const JournalRecord& head = records.front();
    run.version = head.Field(0);
    run.startedAt = head.Field(1);
    run.sourceRoot = head.Field(2);
    run.targetRoot = head.Field(3);
    if (run.sourceRoot.empty() || run.targetRoot.empty()) return false;
    first = 1;
  }
  run.units.push_back(JournalUnit{});
  for (size_t i = first; i < records.size(); ++i) {
    const JournalRecord& r = records[i];
    if (r.kind == RecordKind::Run) return false;
    if (r.kind == RecordKind::End) {
      run.ended = true;
      continue;
    }
    if (r.kind == RecordKind::UndoBegun) {
      run.undoBegun = true;
      run.ended = false;
      continue;
    }
    if (r.kind == RecordKind::ListWrite) {
      uint64_t hash = 0;
      if (!SafeIn(Tree::Target, r.Field(1)) || !IsBackupLikeName(r.Field(2)) || !ParseHashText(r.Field(4), hash))
        return false;
      run.listWrite = r;
      run.listWritten = false;
      continue;
    }
    if (r.kind == RecordKind::ListWritten) {
      run.listWritten = true;
      continue;
    }
    const int64_t n = r.Number(0);
    if (r.kind == RecordKind::Unit) {
      JournalUnit u;
      u.number = n;
      if (n <= 0 || run.Unit(n) || !KindOf(r.Field(1), u.kind) || u.kind == UnitKind::Run) return false;
      u.dir = r.Field(2);
      if (!u.dir.empty() && !SafeIn(Tree::Target, u.dir)) return false;
      u.name = r.Field(3);
      u.dirExisted = r.Field(4) == "1";
      run.units.push_back(std::move(u));
      continue;
    }
    auto unit = std::find_if(run.units.begin(), run.units.end(), [n](const JournalUnit& u) { return u.number == n; });
    if (r.Field(0).empty()) return false;
    if (unit == run.units.end()) {
      if (!damaged || n <= 0) return false;
      // Its unit record was in the damaged part: a unit of its own, with
      // nothing known but what it changed.
      JournalUnit u;
      u.number = n;
      u.kind = UnitKind::Company;
      run.units.push_back(std::move(u));
      unit = run.units.end() - 1;
    }
    if (IsChange(r.kind)) {
      if (!PathsSafe(r) || !ChangeOfThisProgram(r)) return false;
      unit->changes.push_back(r);
    } else if (r.kind == RecordKind::Done) {
      unit->done = true;
    } else if (r.kind == RecordKind::Undone) {
      unit->undone = true;
    }
  }
  return true;
}

}  // namespace qm
