// The host's file system without its syncs: tests prove what reaches the
// file system and in what order, never what survives a power cut, and a
// sync of a volume shared with the other builds of a busy machine can take
// seconds.
#pragma once
#include <memory>

#include "platform/forwarding_fs.h"

namespace qm::test {

class NoSyncFs : public ForwardingFs {
 public:
  explicit NoSyncFs(std::unique_ptr<FileSystem> host)
      : ForwardingFs(*host, DataCalls::kPassedWhole), host_(std::move(host)) {}
  int Flush(FileHandle) override { return kOk; }
  int SyncVolume(const std::string&) override { return kOk; }

 private:
  std::unique_ptr<FileSystem> host_;
};

}  // namespace qm::test
