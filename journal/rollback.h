// Puts the trees back as they were before units of a run: changed files
// from their copies, renamed files under their names, files and directories
// the unit made removed, the company list as it was. A repair rolls back
// what an interrupted run left unfinished; an undo takes back a finished
// run. Every step is safe to repeat, so a rollback cut off by another kill
// is finished by the next start. A step that fails does not stop the
// others: everything that can be put back is.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "journal/bookkeeping.h"
#include "journal/list_fix.h"
#include "journal/run_history.h"

namespace qm {

enum class RollbackStep {
  Restored,     // a file put back from its copy
  Removed,      // a file the unit made, removed
  RemovedDir,   // a directory the unit made, removed
  RenamedBack,  // a file given back its name
  SetAside,     // a file changed since the run, moved into the bookkeeping directory
  KeptDir,      // a directory the unit made, kept: it holds files the run did not make
  ListFixed,    // the company list as it was
  ListGuessed,  // the company list had changed otherwise: the run's record taken out
  Problem,      // something could not be put back; path says what (a later try may)
  Lost,         // cannot be put back, and trying again would not help: a changed file
                // whose copy is missing or not the one noted, a renamed file under
                // neither name, a record that makes no sense; left as it is
};

class RollbackStatus {
 public:
  virtual ~RollbackStatus() = default;
  virtual void Step(RollbackStep step, Tree tree, const std::string& path) = 0;
};

enum class RollbackMode {
  Repair,  // the unit was cut off: everything below a directory it made is its own
  Undo,    // the unit was committed: only what its records name is taken back
};

enum class UnitRollback {
  Done,        // everything put back
  PartLost,    // everything but what is lost (RollbackStep::Lost)
  Failed,      // something could not be put back: to be tried again
};

class Rollback {
 public:
  Rollback(FileSystem& fs, const RunHistory& run, const Bookkeeping& books, RollbackStatus& status,
           const ListShape& list);

  UnitRollback RollBackUnit(const JournalUnit& unit, RollbackMode mode);
  // Whether the copy a Saved record names is there as noted, or not needed
  // (the file is as it was before the run).
  bool CopyUsable(const JournalRecord& saved) const;

  // The full path of a journal path.
  std::string FullPath(Tree tree, const std::string& rel) const;
  // Whether the file is as a Final record of the unit says (true when the
  // unit has no Final record for it).
  bool AsCommitted(const JournalUnit& unit, Tree tree, const std::string& rel, bool& exists) const;

 private:
  bool UndoChange(const JournalUnit& unit, const JournalRecord& r, RollbackMode mode);
  bool RestoreCopy(const JournalUnit& unit, Tree tree, const std::string& rel, const std::string& backup,
                   int64_t size, uint64_t hash, RollbackMode mode);
  bool RemoveMade(const JournalUnit& unit, Tree tree, const std::string& rel, RollbackMode mode);
  bool RemoveTree(const std::string& path, Tree tree);
  bool SetAside(const JournalUnit& unit, Tree tree, const std::string& rel);
  // The step reported, and remembered for the unit's outcome.
  void Report(RollbackStep step, Tree tree, const std::string& rel);

  FileSystem& fs_;
  const RunHistory& run_;
  const Bookkeeping& books_;
  RollbackStatus& status_;
  ListShape list_;
  bool failed_ = false, lost_ = false;
};

// A name in dir no file has yet: name itself, else name.2, name.3, ...
std::string FreeName(FileSystem& fs, const std::string& dir, const std::string& name);

// Hands a file's contents to `piece` a block at a time; false when it
// cannot be opened or read to its end.
bool ReadPieces(FileSystem& fs, const std::string& path, const std::function<void(const uint8_t*, uint32_t)>& piece);
// Size and hash of a file; false when it cannot be read.
bool HashFile(FileSystem& fs, const std::string& path, int64_t& size, uint64_t& hash);
// Copies a file's contents into another, made or emptied first; flushed.
int CopyFileContents(FileSystem& fs, const std::string& from, const std::string& to);
// Writes a file's contents over another in place, from its start, then cuts
// it to that length; flushed. A file of the same length is never emptied on
// the way: when the disk is full, what stays is the old content or the new.
int OverwriteWith(FileSystem& fs, const std::string& from, const std::string& to);
bool PathExists(FileSystem& fs, const std::string& path, bool* isDir = nullptr);

}  // namespace qm
