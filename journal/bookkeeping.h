// The program's own directory in the 2020 root, "_QM1920": the lock that
// keeps one copy per installation, the run journal, the copies of files as
// they were before the run changed them, and the reports. Nothing else the
// program keeps for itself goes anywhere in either tree.
#pragma once
#include <string>

#include "platform/host_fs.h"

namespace qm {

inline constexpr const char* kBookkeepingName = "_QM1920";

struct Bookkeeping {
  // The 2020 root, with its separator.
  explicit Bookkeeping(std::string targetRoot) : root(std::move(targetRoot)) {}
  std::string root;

  std::string Dir() const { return root + kBookkeepingName; }
  std::string LockPath() const { return Dir() + kPathSep + "qm19-20.LCK"; }
  std::string JournalPath() const { return Dir() + kPathSep + "PRZEBIEG.QMJ"; }
  std::string BackupDir() const { return Dir() + kPathSep + "KOPIE"; }
  std::string BackupPath(const std::string& name) const { return BackupDir() + kPathSep + name; }
  // Files an undo found changed since the run, moved aside instead of
  // being removed.
  std::string SetAsideDir() const { return Dir() + kPathSep + "ZMIENIONE"; }
};

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

  // Whether another process holds the installation's lock; writes nothing.
  static bool HeldElsewhere(FileSystem& fs, const Bookkeeping& books);

 private:
  FileSystem& fs_;
  FileHandle h_ = kNoHandle;
};

// Removes the files of a directory (not its subdirectories), then the
// directory when it is left empty. Missing is not an error.
int RemoveFilesAndDir(FileSystem& fs, const std::string& dir);

}  // namespace qm
