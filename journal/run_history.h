// A run as its journal tells it: the roots, the units (the global phase, each
// company, and the run's own unit 0 for the files every company shares) with
// the changes each began, and which were committed or rolled back. A repair
// and an undo work from this, never from the trees.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "journal/run_journal.h"

namespace qm {

enum class UnitKind : uint8_t { Run, Global, Company };
const char* UnitWord(UnitKind k);

struct JournalUnit {
  int64_t number = 0;
  UnitKind kind = UnitKind::Run;
  std::string dir;   // the company's directory, or the global subdirectory
  std::string name;  // the company's name
  bool dirExisted = false;
  std::vector<JournalRecord> changes;  // in the order they were made
  bool done = false;
  bool undone = false;
};

struct RunHistory {
  std::string version, startedAt;
  std::string sourceRoot, targetRoot;  // with their separators
  std::vector<JournalUnit> units;      // unit 0 first
  // Read from a damaged journal: the run's first record may be lost (the
  // roots then empty), and changes of a unit whose record was lost are
  // kept under a unit made up for them.
  bool damaged = false;
  bool ended = false;      // the run (or the undo after it) came to its end
  bool undoBegun = false;  // an undo of the run has begun
  // The undo's rewrite of the company list: fields of its ListWrite record
  // (empty when none), and whether it ended.
  JournalRecord listWrite;
  bool listWritten = false;

  // The run was cut off: it has not ended, or an undo of it has not, or a
  // unit it gave up could not be rolled back in full before its end.
  bool Unfinished() const { return !ended || !ToRollBack().empty(); }
  // What a repair rolls back: units begun and neither committed nor rolled
  // back; once an undo has begun, the committed ones too. Unit 0 is never
  // among them (the company list is put right by the Insert records).
  std::vector<const JournalUnit*> ToRollBack() const;
  // The committed units not yet undone, last first: what an undo takes back.
  std::vector<const JournalUnit*> Committed() const;
  const JournalUnit* Unit(int64_t number) const;
  std::string Root(Tree t) const { return t == Tree::Source ? sourceRoot : targetRoot; }
  // The names of the companies the run committed and has not taken back.
  std::vector<std::string> CommittedNames() const;
};

// False when the records do not make a run: no RUN record first, a change of
// an unknown unit, a path that climbs out of its tree or names the
// bookkeeping directory, something made in the 2019 tree or renamed there
// other than to its "~" name. From a damaged journal (damaged true) a run is
// made of what is left: a lost first record or unit record is no reason to
// refuse, the paths are checked all the same.
bool BuildHistory(const std::vector<JournalRecord>& records, RunHistory& run, bool damaged = false);

// A journal path stays inside its tree: relative, without ".." or a drive.
bool SafeJournalPath(const std::string& rel);
// A 2020 path of the program's own bookkeeping directory (or that
// directory): never one a run changes.
bool InBookkeeping(const std::string& rel);

}  // namespace qm
