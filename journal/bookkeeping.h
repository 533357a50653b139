// The program's own directory in the 2020 root, "_QM1920": the lock that
// keeps one copy per installation, the reports, the files an undo set
// aside, and a directory for each run (P0001, P0002, ...) with its journal,
// the copies of files as they were before the run changed them, and the
// copy an undo rewrites the company list from. Each run's journal and
// copies stay until the run is undone or the operator removes them, so
// that the runs can be undone one after another, the latest first. The
// earlier version kept one run's journal and copies in "_QM1920" itself:
// run number 0 here, repaired and undone like the others. Nothing else the
// program keeps for itself goes anywhere in either tree.
#pragma once
#include <string>
#include <vector>

#include "platform/host_fs.h"

namespace qm {

inline constexpr const char* kBookkeepingName = "_QM1920";

struct Bookkeeping {
  // The 2020 root, with its separator, and the run (0: the earlier
  // version's place).
  explicit Bookkeeping(std::string targetRoot, int runNumber = 0) : root(std::move(targetRoot)), run(runNumber) {}
  std::string root;
  int run = 0;

  std::string Dir() const { return root + kBookkeepingName; }
  std::string LockPath() const { return Dir() + kPathSep + "qm19-20.LCK"; }
  std::string RunDir() const;
  std::string JournalPath() const { return RunDir() + kPathSep + "PRZEBIEG.QMJ"; }
  std::string BackupDir() const { return RunDir() + kPathSep + "KOPIE"; }
  std::string BackupPath(const std::string& name) const { return BackupDir() + kPathSep + name; }
  // Files an undo found changed since the run, moved aside instead of
  // being removed.
  std::string SetAsideDir() const { return Dir() + kPathSep + "ZMIENIONE"; }
};

// The directory name of run n (1 and up): "P0001".
std::string RunDirName(int run);
// The runs whose journals the bookkeeping directory of root keeps, in the
// order they were made (0, the earlier version's, first).
std::vector<int> KeptRuns(FileSystem& fs, const std::string& root);
// Removes a run that holds nothing: its journal and its directory, when
// the directory holds nothing else.
void RemoveEmptyRun(FileSystem& fs, const Bookkeeping& books);

// A backup's name: its number in the run, "000001.BAK".
std::string BackupName(int number);
bool IsBackupName(const std::string& name);

// The lock of an installation: a byte of the lock file held for as long as
// the object lives (or until Release). The host drops it when the process
// ends in any way, so a killed copy never blocks the next.
class RunLock {
 public:
  enum class Result { Held, InUse, Failed };

  explicit RunLock(FileSystem& fs) : fs_(fs) {}
  ~RunLock() { Release(); }
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Makes the bookkeeping directory and the lock file when missing.
  Result Acquire(const Bookkeeping& books);
  void Release();
  bool Held() const { return h_ != kNoHandle; }
  // Why the last Acquire failed (a host error code).
  int Error() const { return error_; }

 private:
  FileSystem& fs_;
  FileHandle h_ = kNoHandle;
  int error_ = kOk;
};

}  // namespace qm
