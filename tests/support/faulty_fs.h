// A file system for tests that passes every call to another one and can be
// told to make chosen calls fail: the n-th call of a kind, with a given
// error code, or a disk that fills up in the middle of a write. It counts
// the calls of every kind, so that a test can first run a scenario to count
// them and then walk n over each one, and it can keep a log of the calls.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/forwarding_fs.h"

namespace qm::test {

enum class FsOp {
  Open,
  Create,
  Read,
  Write,
  Seek,
  Tell,
  Size,
  SetEnd,
  Flush,
  Close,
  Lock,
  Unlock,
  FindFirst,
  FindNext,
  MakeDir,
  Rename,
  Remove,
  CurrentDir,
  RemoveDir,
  Sync,
};
inline constexpr int kFsOpCount = static_cast<int>(FsOp::Sync) + 1;

// "open", "read", ... as used in the log.
const char* FsOpName(FsOp op);

class FaultyFs : public ForwardingFs {
 public:
  explicit FaultyFs(FileSystem& inner) : ForwardingFs(inner) {}

  // The n-th call of op (1-based, counted since the last ResetCounts) fails
  // with code; with sticky, that call and every later one of the kind fail.
  // A failed call does nothing, except Close, which still closes the inner
  // handle (the descriptor is gone; only the report is an error).
  void FailAt(FsOp op, int n, int code, bool sticky = false);
  // From the n-th write on the disk is full: that write puts half of its
  // bytes and fails with kErrDiskFull; every later write puts nothing.
  void DiskFullAt(int n);
  // The process ends at the n-th call that changes something on disk
  // (create, write, setend, makedir, rename, remove, rmdir; counted from 1
  // since the last ResetCounts), before that call -- or, with halfWrite and
  // a write, after half of its bytes -- through die, which must not return
  // (a forked test child's _exit).
  void DieAtChange(int n, bool halfWrite, void (*die)());
  int Changes() const { return changes_; }
  // Writes to the files whose paths hold name are counted apart (from the
  // last ResetCounts); the disk can fill up, or the process end, at the
  // n-th of them (that write putting half of its bytes, or, for the
  // process, before it or halfway through). A disk full for a while only
  // fails that write: room is made again (by a rollback, say).
  void WatchFile(const std::string& name) { watched_ = name; }
  int WatchedWrites() const { return watchedWrites_; }
  void DiskFullAtWatchedWrite(int n, bool lasting = true) {
    fullAtWatched_ = n;
    fullLasting_ = lasting;
  }
  void DieAtWatchedWrite(int n, bool halfWrite, void (*die)());
  // Drops every fault set; counts and log stay.
  void ClearFaults();
  // Counts, the injected ones too, start again from 0 (faults keep their
  // numbers).
  void ResetCounts();

  int Count(FsOp op) const { return counts_[static_cast<int>(op)]; }
  int TotalCount() const;
  // How many calls failed because of a fault set here, since the last
  // ResetCounts.
  int Injected() const { return injected_; }

  // With recording on, every call appends a line such as
  // "open /tmp/x/A.DAT 0x42 -> 0" or "write #5 2048 -> 112".
  void SetRecording(bool on) { recording_ = on; }
  const std::vector<std::string>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }

  int Open(const std::string& path, uint8_t mode, FileHandle& h) override;
  int Create(const std::string& path, FileHandle& h) override;
  int Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) override;
  int Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) override;
  int Seek(FileHandle h, int64_t pos) override;
  int Tell(FileHandle h, int64_t& pos) override;
  int Size(FileHandle h, int64_t& size) override;
  int SetEnd(FileHandle h) override;
  int Flush(FileHandle h) override;
  int Close(FileHandle h) override;
  int Lock(FileHandle h, uint64_t offset, uint64_t length) override;
  int Unlock(FileHandle h, uint64_t offset, uint64_t length) override;
  int FindFirst(const std::string& pattern, uint8_t attrMask, FindEntry& e,
                FindHandle& fh) override;
  int FindNext(FindHandle& fh, FindEntry& e) override;
  int MakeDir(const std::string& path) override;
  int Rename(const std::string& from, const std::string& to) override;
  int Remove(const std::string& path) override;
  int CurrentDir(std::string& path) override;
  int RemoveDir(const std::string& path) override;
  int SyncVolume(const std::string& path) override;

 private:
  struct Fault {
    FsOp op;
    int n;
    int code;
    bool sticky;
  };
  // Counts the call; returns the injected error code, or 0 to go ahead.
  int Enter(FsOp op);
  int Note(FsOp op, const std::string& what, int rc);
  // Counts a change; ends the process when it is the one to die at.
  void Change(FsOp op, FileHandle h = kNoHandle, const void* buf = nullptr, uint32_t n = 0);

  std::array<int, kFsOpCount> counts_{};
  std::string watched_;
  std::map<FileHandle, bool> watchedHandles_;
  int watchedWrites_ = 0;
  int fullAtWatched_ = 0;
  bool fullLasting_ = true;
  int dieAtWatched_ = 0;
  std::vector<Fault> faults_;
  int diskFullAt_ = 0;
  int changes_ = 0;
  int dieAt_ = 0;
  bool dieHalf_ = false;
  void (*die_)() = nullptr;
  int injected_ = 0;
  bool recording_ = false;
  std::vector<std::string> log_;
};

}  // namespace qm::test
