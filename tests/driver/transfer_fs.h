// A file system for the driver tests that passes every call on to the host
// one and lets a test watch or bend single operations.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/forwarding_fs.h"

namespace qm::test {

class WatchingFs : public ForwardingFs {
 public:
  explicit WatchingFs(FileSystem& host) : ForwardingFs(host) {}

  // Answers a search itself when it returns true (an invented entry).
  std::function<bool(const std::string& pattern, FindEntry& e)> fakeFind;
  std::vector<std::string> opened;   // paths of Open, in order
  std::vector<std::string> created;  // paths of Create, in order
  int reads = 0;
  int fakeFinds = 0;

  int FindFirst(const std::string& pattern, uint8_t mask, FindEntry& e, FindHandle& fh) override {
    if (fakeFind && fakeFind(pattern, e)) {
      ++fakeFinds;
      return kOk;
    }
    return Inner().FindFirst(pattern, mask, e, fh);
  }
  int Open(const std::string& p, uint8_t m, FileHandle& h) override {
    opened.push_back(p);
    return Inner().Open(p, m, h);
  }
  int Create(const std::string& p, FileHandle& h) override {
    created.push_back(p);
    return Inner().Create(p, h);
  }
  int Read(FileHandle h, void* b, uint32_t n, uint32_t& got) override {
    ++reads;
    return Inner().Read(h, b, n, got);
  }

  // Base names of the paths that begin with dir, in order.
  static std::vector<std::string> NamesIn(const std::vector<std::string>& paths, const std::string& dir) {
    std::vector<std::string> out;
    for (const std::string& p : paths) {
      if (p.compare(0, dir.size(), dir) == 0) out.push_back(p.substr(dir.size()));
    }
    return out;
  }
};

}  // namespace qm::test
