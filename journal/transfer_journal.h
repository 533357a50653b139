// The journal of a transfer while it runs: units begun, each change noted
// before it is made (with a copy of every existing file before its first
// change), units committed. It decides what must be on disk before what:
// a 2019 file is changed only after its copy and the note are durable, a
// directory is made only after its note is, and a unit is committed only
// after its files are on disk. Syncs are batched per unit: one volume sync
// at the commit, the note of the next unit's start carrying the commit.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "journal/bookkeeping.h"
#include "journal/run_history.h"
#include "journal/run_journal.h"

namespace qm {

// A file as a committed unit left it.
struct FinalState {
  Tree tree;
  std::string rel;
  int64_t size = 0;
  uint64_t hash = 0;
};

class TransferJournal {
 public:
  // host: the file system the journal, the copies and the checks go to
  // (never the recording layer). Roots end with their separators.
  TransferJournal(FileSystem& host, const Bookkeeping& books, std::string sourceRoot, std::string targetRoot);

  // A new journal in the run's own directory (books' run, a number no
  // kept run has); the journals and copies of earlier runs stay. The
  // bookkeeping directory is there (the lock made it).
  int Start(const std::string& version, const std::string& startedAt);
  // The changes that follow belong to this unit (synced).
  int BeginUnit(UnitKind kind, const std::string& dir, const std::string& name, bool dirExisted);
  int64_t CurrentUnit() const { return unit_; }
  bool InUnit() const { return unit_ > 0; }
  // Back to the run's own unit 0 (after a commit or a rollback).
  void LeaveUnit() { unit_ = 0; }

  // Notes made before the change they describe; unit 0 is the run's own.
  int NoteMakeDir(Tree tree, const std::string& rel);
  int NoteNewFile(Tree tree, const std::string& rel, bool insideMadeDir, int64_t unit);
  // Copies the file as it is now (through the open handle, when given, else
  // by its path) and notes the copy: the copy on disk first, then the note,
  // durable before it returns.
  int SaveCopy(Tree tree, const std::string& rel, FileHandle open, int64_t unit);
  int NoteRename(Tree tree, const std::string& from, const std::string& to);
  int NoteInsert(const std::string& listRel, int64_t countBefore, uint64_t hashBefore, const uint8_t* record,
                 size_t size);

  // Whether the run has already noted the file as made or copied: its first
  // change has been taken care of.
  bool Covered(Tree tree, const std::string& rel) const;
  // After a unit was rolled back: its files are as before the run again, and
  // a later change to them needs its own note.
  void ForgetUnit(int64_t unit);

  // Commits the current unit: the volumes synced, the files' states noted,
  // the unit done. (The next BeginUnit or End makes the commit durable.)
  // On a failure the unit stays current, to be rolled back.
  int Commit(const std::vector<FinalState>& finals);
  int NoteUndone(int64_t unit);
  int End();

  // Whether the host can sync a whole volume; else files are flushed one by
  // one as they are closed.
  bool SyncsVolumes() const { return syncsVolumes_; }
  const std::string& Root(Tree t) const { return t == Tree::Source ? sourceRoot_ : targetRoot_; }
  const Bookkeeping& Books() const { return books_; }

  // Told of every copy taken (the run's report lists them).
  std::function<void(Tree tree, const std::string& rel, const std::string& copy)> onSaved;
  FileSystem& Host() { return host_; }

 private:
  // How soon a note must be on disk.
  enum class Lasting : uint8_t {
    Later,      // written with the next note written at once
    Written,    // written now (a kill keeps it)
    Synced,     // durable now
    AllSynced,  // durable now with everything written to the trees so far
  };
  int Append(RecordKind kind, std::vector<std::string> fields, Lasting how);
  int SyncAll();
  static std::string Key(Tree tree, const std::string& rel);

  FileSystem& host_;
  const Bookkeeping& books_;
  std::string sourceRoot_, targetRoot_;
  JournalWriter writer_;
  int64_t unit_ = 0;
  int64_t lastUnit_ = 0;
  int backups_ = 0;
  bool syncsVolumes_ = true;
  bool sourceChanged_ = false;  // the 2019 tree changed since the last sync of all
  bool oneVolume_ = false;      // both trees on one volume: one sync takes both
  bool dataSynced_ = false;     // the unit's files are on disk (its insertion synced them)
  std::map<std::string, int64_t> covered_;  // key -> the unit that noted it
};

}  // namespace qm
