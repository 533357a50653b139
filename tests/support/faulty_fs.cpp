#include "tests/support/faulty_fs.h"

#include <cstdio>

namespace qm::test {

const char* FsOpName(FsOp op) {
  static constexpr const char* kNames[kFsOpCount] = {
      "open", "create", "read",  "write",     "seek",     "tell",    "size",   "setend", "flush",
      "close", "lock",  "unlock", "findfirst", "findnext", "makedir", "rename", "remove", "curdir", "rmdir",  "sync"};
  return kNames[static_cast<int>(op)];
}

void FaultyFs::FailAt(FsOp op, int n, int code, bool sticky) {
  faults_.push_back({op, n, code, sticky});
}

void FaultyFs::DiskFullAt(int n) { diskFullAt_ = n; }

void FaultyFs::ClearFaults() {
  faults_.clear();
  diskFullAt_ = 0;
  dieAt_ = 0;
  fullAtWatched_ = 0;
  dieAtWatched_ = 0;
}

void FaultyFs::DieAtWatchedWrite(int n, bool halfWrite, void (*die)()) {
  dieAtWatched_ = n;
  dieHalf_ = halfWrite;
  die_ = die;
}

void FaultyFs::DieAtChange(int n, bool halfWrite, void (*die)()) {
  dieAt_ = n;
  dieHalf_ = halfWrite;
  die_ = die;
}

void FaultyFs::Change(FsOp op, FileHandle h, const void* buf, uint32_t n) {
  ++changes_;
  if (dieAt_ == 0 || changes_ != dieAt_ || !die_) return;
  if (dieHalf_ && op == FsOp::Write && n / 2 > 0) {
    uint32_t put = 0;
    Inner().Write(h, buf, n / 2, put);
  }
  die_();
}

void FaultyFs::ResetCounts() {
  counts_.fill(0);
  watchedWrites_ = 0;
  injected_ = 0;
  changes_ = 0;
}

int FaultyFs::TotalCount() const {
  int total = 0;
  for (int c : counts_) total += c;
  return total;
}

int FaultyFs::Enter(FsOp op) {
  const int n = ++counts_[static_cast<int>(op)];
  for (const Fault& f : faults_) {
    if (f.op == op && (n == f.n || (f.sticky && n > f.n))) {
      ++injected_;
      return f.code;
    }
  }
  return kOk;
}

int FaultyFs::Note(FsOp op, const std::string& what, int rc) {
  if (recording_) log_.push_back(std::string(FsOpName(op)) + " " + what + " -> " + std::to_string(rc));
  return rc;
}

namespace {
std::string HandleText(FileHandle h) { return "#" + std::to_string(h); }
std::string Hex(unsigned v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%02X", v);
  return buf;
}
}  // namespace

int FaultyFs::Open(const std::string& path, uint8_t mode, FileHandle& h) {
  h = kNoHandle;
  int rc = Enter(FsOp::Open);
  if (rc == kOk) rc = Inner().Open(path, mode, h);
  if (rc == kOk) watchedHandles_[h] = !watched_.empty() && path.find(watched_) != std::string::npos;
  return Note(FsOp::Open, path + " " + Hex(mode), rc);
}

int FaultyFs::Create(const std::string& path, FileHandle& h) {
  h = kNoHandle;
  int rc = Enter(FsOp::Create);
  Change(FsOp::Create);
  if (rc == kOk) rc = Inner().Create(path, h);
  if (rc == kOk) watchedHandles_[h] = !watched_.empty() && path.find(watched_) != std::string::npos;
  return Note(FsOp::Create, path, rc);
}

int FaultyFs::Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) {
  got = 0;
  int rc = Enter(FsOp::Read);
  if (rc == kOk) rc = Inner().Read(h, buf, n, got);
  return Note(FsOp::Read, HandleText(h) + " " + std::to_string(n), rc);
}

int FaultyFs::Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) {
  put = 0;
  int rc = Enter(FsOp::Write);
  bool fullOnce = false;
  if (watchedHandles_[h]) {
    ++watchedWrites_;
    if (watchedWrites_ == fullAtWatched_ && fullLasting_) diskFullAt_ = Count(FsOp::Write);
    fullOnce = watchedWrites_ == fullAtWatched_ && !fullLasting_;
    if (watchedWrites_ == dieAtWatched_) dieAt_ = changes_ + 1;
  }
  if (fullOnce && rc == kOk) {
    Change(FsOp::Write, h, buf, n);
    ++injected_;
    Inner().Write(h, buf, n / 2, put);
    return Note(FsOp::Write, HandleText(h) + " " + std::to_string(n), kErrDiskFull);
  }
  Change(FsOp::Write, h, buf, n);
  const int count = Count(FsOp::Write);
  if (rc == kOk && diskFullAt_ > 0 && count >= diskFullAt_) {
    // The disk fills up: the first write that meets it still puts half.
    rc = kErrDiskFull;
    ++injected_;
    if (count == diskFullAt_ && n / 2 > 0) {
      uint32_t part = 0;
      const int wrc = Inner().Write(h, buf, n / 2, part);
      put = part;
      if (wrc != kOk) rc = wrc;
    }
  } else if (rc == kOk) {
    rc = Inner().Write(h, buf, n, put);
  }
  return Note(FsOp::Write, HandleText(h) + " " + std::to_string(n), rc);
}

int FaultyFs::Seek(FileHandle h, int64_t pos) {
  int rc = Enter(FsOp::Seek);
  if (rc == kOk) rc = Inner().Seek(h, pos);
  return Note(FsOp::Seek, HandleText(h) + " " + std::to_string(pos), rc);
}

int FaultyFs::Tell(FileHandle h, int64_t& pos) {
  pos = 0;
  int rc = Enter(FsOp::Tell);
  if (rc == kOk) rc = Inner().Tell(h, pos);
  return Note(FsOp::Tell, HandleText(h), rc);
}

int FaultyFs::Size(FileHandle h, int64_t& size) {
  size = 0;
  int rc = Enter(FsOp::Size);
  if (rc == kOk) rc = Inner().Size(h, size);
  return Note(FsOp::Size, HandleText(h), rc);
}

int FaultyFs::SetEnd(FileHandle h) {
  int rc = Enter(FsOp::SetEnd);
  Change(FsOp::SetEnd);
  if (rc == kOk) rc = Inner().SetEnd(h);
  return Note(FsOp::SetEnd, HandleText(h), rc);
}

int FaultyFs::Flush(FileHandle h) {
  int rc = Enter(FsOp::Flush);
  if (rc == kOk) rc = Inner().Flush(h);
  return Note(FsOp::Flush, HandleText(h), rc);
}

int FaultyFs::Close(FileHandle h) {
  const int injected = Enter(FsOp::Close);
  const int rc = Inner().Close(h);
  return Note(FsOp::Close, HandleText(h), injected != kOk ? injected : rc);
}

int FaultyFs::Lock(FileHandle h, uint64_t offset, uint64_t length) {
  int rc = Enter(FsOp::Lock);
  if (rc == kOk) rc = Inner().Lock(h, offset, length);
  return Note(FsOp::Lock, HandleText(h) + " " + std::to_string(offset) + "+" + std::to_string(length), rc);
}

int FaultyFs::Unlock(FileHandle h, uint64_t offset, uint64_t length) {
  int rc = Enter(FsOp::Unlock);
  if (rc == kOk) rc = Inner().Unlock(h, offset, length);
  return Note(FsOp::Unlock, HandleText(h) + " " + std::to_string(offset) + "+" + std::to_string(length),
              rc);
}

int FaultyFs::FindFirst(const std::string& pattern, uint8_t attrMask, FindEntry& e, FindHandle& fh) {
  fh.reset();
  e = FindEntry();
  int rc = Enter(FsOp::FindFirst);
  if (rc == kOk) rc = Inner().FindFirst(pattern, attrMask, e, fh);
  return Note(FsOp::FindFirst, pattern + " " + Hex(attrMask), rc);
}

int FaultyFs::FindNext(FindHandle& fh, FindEntry& e) {
  int rc = Enter(FsOp::FindNext);
  if (rc == kOk) rc = Inner().FindNext(fh, e);
  return Note(FsOp::FindNext, rc == kOk ? e.name : std::string(), rc);
}

int FaultyFs::MakeDir(const std::string& path) {
  int rc = Enter(FsOp::MakeDir);
  Change(FsOp::MakeDir);
  if (rc == kOk) rc = Inner().MakeDir(path);
  return Note(FsOp::MakeDir, path, rc);
}

int FaultyFs::Rename(const std::string& from, const std::string& to) {
  int rc = Enter(FsOp::Rename);
  Change(FsOp::Rename);
  if (rc == kOk) rc = Inner().Rename(from, to);
  return Note(FsOp::Rename, from + " " + to, rc);
}

int FaultyFs::Remove(const std::string& path) {
  int rc = Enter(FsOp::Remove);
  Change(FsOp::Remove);
  if (rc == kOk) rc = Inner().Remove(path);
  return Note(FsOp::Remove, path, rc);
}

int FaultyFs::CurrentDir(std::string& path) {
  path.clear();
  int rc = Enter(FsOp::CurrentDir);
  if (rc == kOk) rc = Inner().CurrentDir(path);
  return Note(FsOp::CurrentDir, path, rc);
}

int FaultyFs::RemoveDir(const std::string& path) {
  int rc = Enter(FsOp::RemoveDir);
  Change(FsOp::RemoveDir);
  if (rc == kOk) rc = Inner().RemoveDir(path);
  return Note(FsOp::RemoveDir, path, rc);
}

int FaultyFs::SyncVolume(const std::string& path) {
  int rc = Enter(FsOp::Sync);
  if (rc == kOk) rc = Inner().SyncVolume(path);
  return Note(FsOp::Sync, path, rc);
}

}  // namespace qm::test
