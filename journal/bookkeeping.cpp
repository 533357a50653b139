#include "journal/bookkeeping.h"

#include <cstdio>
#include <vector>

namespace qm {
namespace {

constexpr uint64_t kLockOffset = 0;
constexpr uint64_t kLockLength = 1;

bool Missing(int rc) { return rc == kErrFileNotFound || rc == kErrPathNotFound; }

}  // namespace

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
  int rc = fs_.MakeDir(books.Dir());
  if (rc != kOk && rc != kErrAlreadyExists) return Result::Failed;
  FileHandle h = kNoHandle;
  rc = fs_.Open(books.LockPath(), kAccessReadWrite | kShareDenyNone, h);
  if (Missing(rc)) rc = fs_.Create(books.LockPath(), h);
  if (rc != kOk) return rc == kErrSharingViolation ? Result::InUse : Result::Failed;
  rc = fs_.Lock(h, kLockOffset, kLockLength);
  if (rc != kOk) {
    fs_.Close(h);
    return rc == kErrLockViolation ? Result::InUse : Result::Failed;
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

bool RunLock::HeldElsewhere(FileSystem& fs, const Bookkeeping& books) {
  FileHandle h = kNoHandle;
  if (fs.Open(books.LockPath(), kAccessReadWrite | kShareDenyNone, h) != kOk) return false;
  const int rc = fs.Lock(h, kLockOffset, kLockLength);
  if (rc == kOk) fs.Unlock(h, kLockOffset, kLockLength);
  fs.Close(h);
  return rc == kErrLockViolation;
}

int RemoveFilesAndDir(FileSystem& fs, const std::string& dir) {
  FindEntry e;
  FindHandle fh;
  std::vector<std::string> names;
  int rc = fs.FindFirst(dir + kPathSep + "*.*", kAttrAnyFile, e, fh);
  if (Missing(rc)) return kOk;
  while (rc == kOk) {
    if ((e.attr & kAttrDirectory) == 0) names.push_back(e.name);
    rc = fs.FindNext(fh, e);
  }
  fh.reset();
  int result = kOk;
  for (const std::string& n : names) {
    rc = fs.Remove(dir + kPathSep + n);
    if (rc != kOk && !Missing(rc) && result == kOk) result = rc;
  }
  rc = fs.RemoveDir(dir);
  if (rc != kOk && !Missing(rc) && rc != kErrDirNotEmpty && result == kOk) result = rc;
  return result;
}

}  // namespace qm
