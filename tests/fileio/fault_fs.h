// A file system for tests that passes everything to the host file system
// but can refuse chosen operations and counts what the program asked for.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/host_fs.h"

namespace qm::test {

class FaultFs : public FileSystem {
 public:
  explicit FaultFs(FileSystem& inner) : inner_(inner) {}

  // Searches for exactly this name answer findCode.
  std::string findName;
  int findCode = kOk;
  int finds = 0;
  // The next openCodeTimes opens of existing files answer openCode.
  int openCode = kOk;
  int openCodeTimes = 0;
  int opens = 0;
  // The next lockFailures locks (unlockFailures unlocks) are refused.
  int lockFailures = 0;
  int unlockFailures = 0;
  std::vector<std::pair<uint64_t, uint64_t>> locks, unlocks;
  int sizeCode = kOk;
  // After this many further successful writes (reads) the next one fails;
  // negative: never.
  int writesBeforeFailure = -1;
  int readsBeforeFailure = -1;

  int Open(const std::string& path, uint8_t mode, FileHandle& h) override {
    ++opens;
    if (openCodeTimes > 0) {
      --openCodeTimes;
      return openCode;
    }
    return inner_.Open(path, mode, h);
  }
  int Create(const std::string& path, FileHandle& h) override { return inner_.Create(path, h); }
  int Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) override {
    if (readsBeforeFailure == 0) {
      got = 0;
      return kErrReadFault;
    }
    if (readsBeforeFailure > 0) --readsBeforeFailure;
    return inner_.Read(h, buf, n, got);
  }
  int Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) override {
    if (writesBeforeFailure == 0) {
      put = 0;
      return kErrWriteFault;
    }
    if (writesBeforeFailure > 0) --writesBeforeFailure;
    return inner_.Write(h, buf, n, put);
  }
  int Seek(FileHandle h, int64_t pos) override { return inner_.Seek(h, pos); }
  int Tell(FileHandle h, int64_t& pos) override { return inner_.Tell(h, pos); }
  int Size(FileHandle h, int64_t& size) override {
    if (sizeCode != kOk) return sizeCode;
    return inner_.Size(h, size);
  }
  int SetEnd(FileHandle h) override { return inner_.SetEnd(h); }
  int Flush(FileHandle h) override { return inner_.Flush(h); }
  int Close(FileHandle h) override { return inner_.Close(h); }
  int Lock(FileHandle h, uint64_t offset, uint64_t length) override {
    locks.emplace_back(offset, length);
    if (lockFailures > 0) {
      --lockFailures;
      return kErrLockViolation;
    }
    return inner_.Lock(h, offset, length);
  }
  int Unlock(FileHandle h, uint64_t offset, uint64_t length) override {
    unlocks.emplace_back(offset, length);
    if (unlockFailures > 0) {
      --unlockFailures;
      return kErrNotLocked;
    }
    return inner_.Unlock(h, offset, length);
  }
  int FindFirst(const std::string& pattern, uint8_t attrMask, FindEntry& e, FindHandle& fh) override {
    if (!findName.empty() && pattern == findName) {
      ++finds;
      return findCode;
    }
    return inner_.FindFirst(pattern, attrMask, e, fh);
  }
  int FindNext(FindHandle& fh, FindEntry& e) override { return inner_.FindNext(fh, e); }
  int MakeDir(const std::string& path) override { return inner_.MakeDir(path); }
  int Rename(const std::string& from, const std::string& to) override { return inner_.Rename(from, to); }
  int Remove(const std::string& path) override { return inner_.Remove(path); }
  int CurrentDir(std::string& path) override { return inner_.CurrentDir(path); }

 private:
  FileSystem& inner_;
};

}  // namespace qm::test
