#include "journal/bookkeeping.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace qm {
namespace {

constexpr uint64_t kLockOffset = 0;
constexpr uint64_t kLockLength = 1;

bool Missing(int rc) { return rc == kErrFileNotFound || rc == kErrPathNotFound; }

// "P" and four digits or more.
int RunOfName(const std::string& name) {
  if (name.size() < 5 || name.size() > 9 || (name[0] != 'P' && name[0] != 'p')) return 0;
  int n = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

bool FileThere(FileSystem& fs, const std::string& path) {
  FindEntry e;
  FindHandle fh;
  return fs.FindFirst(path, kAttrAnyFile, e, fh) == kOk && (e.attr & kAttrDirectory) == 0;
}

}  // namespace

std::string Bookkeeping::RunDir() const { return run > 0 ? Dir() + kPathSep + RunDirName(run) : Dir(); }

std::string RunDirName(int run) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "P%04d", run);
  return buf;
}

std::vector<int> KeptRuns(FileSystem& fs, const std::string& root) {
  const Bookkeeping books(root);
  std::vector<int> runs;
  if (FileThere(fs, books.JournalPath())) runs.push_back(0);
  FindEntry e;
  FindHandle fh;
  std::vector<int> numbered;
  for (int rc = fs.FindFirst(books.Dir() + kPathSep + "P*", kAttrAll, e, fh); rc == kOk; rc = fs.FindNext(fh, e)) {
    const int n = RunOfName(e.name);
    if (n > 0 && (e.attr & kAttrDirectory) && !e.link) numbered.push_back(n);
  }
  std::sort(numbered.begin(), numbered.end());
  numbered.erase(std::unique(numbered.begin(), numbered.end()), numbered.end());
  runs.insert(runs.end(), numbered.begin(), numbered.end());
  return runs;
}

void RemoveEmptyRun(FileSystem& fs, const Bookkeeping& books) {
  if (books.run <= 0) return;
  const int rc = fs.RemoveDir(books.BackupDir());
  if (rc != kOk && !Missing(rc)) return;
  fs.Remove(books.JournalPath());
  fs.RemoveDir(books.RunDir());
}

std::string BackupName(int number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%06d.BAK", number);
  return buf;
}

bool IsBackupName(const std::string& name) {
  if (name.size() != 10 || name.compare(6, 4, ".BAK") != 0) return false;
  for (size_t i = 0; i < 6; ++i)
    if (name[i] < '0' || name[i] > '9') return false;
  return true;
}

RunLock::Result RunLock::Acquire(const Bookkeeping& books) {
  Release();
  error_ = fs_.MakeDir(books.Dir());
  if (error_ != kOk && error_ != kErrAlreadyExists) return Result::Failed;
  FileHandle h = kNoHandle;
  error_ = fs_.Open(books.LockPath(), kAccessReadWrite | kShareDenyNone, h);
  if (Missing(error_)) error_ = fs_.Create(books.LockPath(), h);
  if (error_ != kOk) return error_ == kErrSharingViolation ? Result::InUse : Result::Failed;
  error_ = fs_.Lock(h, kLockOffset, kLockLength);
  if (error_ != kOk) {
    fs_.Close(h);
    return error_ == kErrLockViolation ? Result::InUse : Result::Failed;
  }
  h_ = h;
  return Result::Held;
}

void RunLock::Release() {
  if (h_ == kNoHandle) return;
  fs_.Unlock(h_, kLockOffset, kLockLength);
  fs_.Close(h_);
  h_ = kNoHandle;
}

}  // namespace qm
