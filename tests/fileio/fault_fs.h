// A file system for tests that passes everything to the host file system
// but can refuse chosen operations and counts what the program asked for.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/forwarding_fs.h"

namespace qm::test {

class FaultFs : public ForwardingFs {
 public:
  explicit FaultFs(FileSystem& inner) : ForwardingFs(inner) {}

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
    return Inner().Open(path, mode, h);
  }
  int Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) override {
    if (readsBeforeFailure == 0) {
      got = 0;
      return kErrReadFault;
    }
    if (readsBeforeFailure > 0) --readsBeforeFailure;
    return Inner().Read(h, buf, n, got);
  }
  int Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) override {
    if (writesBeforeFailure == 0) {
      put = 0;
      return kErrWriteFault;
    }
    if (writesBeforeFailure > 0) --writesBeforeFailure;
    return Inner().Write(h, buf, n, put);
  }
  int Size(FileHandle h, int64_t& size) override {
    if (sizeCode != kOk) return sizeCode;
    return Inner().Size(h, size);
  }
  int Lock(FileHandle h, uint64_t offset, uint64_t length) override {
    locks.emplace_back(offset, length);
    if (lockFailures > 0) {
      --lockFailures;
      return kErrLockViolation;
    }
    return Inner().Lock(h, offset, length);
  }
  int Unlock(FileHandle h, uint64_t offset, uint64_t length) override {
    unlocks.emplace_back(offset, length);
    if (unlockFailures > 0) {
      --unlockFailures;
      return kErrNotLocked;
    }
    return Inner().Unlock(h, offset, length);
  }
  int FindFirst(const std::string& pattern, uint8_t attrMask, FindEntry& e, FindHandle& fh) override {
    if (!findName.empty() && pattern == findName) {
      ++finds;
      return findCode;
    }
    return Inner().FindFirst(pattern, attrMask, e, fh);
  }
};

}  // namespace qm::test
