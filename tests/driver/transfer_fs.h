// A file system for the driver tests that passes every call on to the host
// one and lets a test watch or bend single operations.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/host_fs.h"

namespace qm::test {

class WatchingFs : public FileSystem {
 public:
  explicit WatchingFs(FileSystem& host) : host_(host) {}

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
    return host_.FindFirst(pattern, mask, e, fh);
  }
  int Open(const std::string& p, uint8_t m, FileHandle& h) override {
    opened.push_back(p);
    return host_.Open(p, m, h);
  }
  int Create(const std::string& p, FileHandle& h) override {
    created.push_back(p);
    return host_.Create(p, h);
  }
  int Read(FileHandle h, void* b, uint32_t n, uint32_t& got) override {
    ++reads;
    return host_.Read(h, b, n, got);
  }
  int Write(FileHandle h, const void* b, uint32_t n, uint32_t& put) override { return host_.Write(h, b, n, put); }
  int Seek(FileHandle h, int64_t pos) override { return host_.Seek(h, pos); }
  int Tell(FileHandle h, int64_t& pos) override { return host_.Tell(h, pos); }
  int Size(FileHandle h, int64_t& size) override { return host_.Size(h, size); }
  int SetEnd(FileHandle h) override { return host_.SetEnd(h); }
  int Flush(FileHandle h) override { return host_.Flush(h); }
  int Close(FileHandle h) override { return host_.Close(h); }
  int Lock(FileHandle h, uint64_t o, uint64_t l) override { return host_.Lock(h, o, l); }
  int Unlock(FileHandle h, uint64_t o, uint64_t l) override { return host_.Unlock(h, o, l); }
  int FindNext(FindHandle& fh, FindEntry& e) override { return host_.FindNext(fh, e); }
  int MakeDir(const std::string& p) override { return host_.MakeDir(p); }
  int Rename(const std::string& a, const std::string& b) override { return host_.Rename(a, b); }
  int Remove(const std::string& p) override { return host_.Remove(p); }
  int CurrentDir(std::string& p) override { return host_.CurrentDir(p); }

  // Base names of the paths that begin with dir, in order.
  static std::vector<std::string> NamesIn(const std::vector<std::string>& paths, const std::string& dir) {
    std::vector<std::string> out;
    for (const std::string& p : paths) {
      if (p.compare(0, dir.size(), dir) == 0) out.push_back(p.substr(dir.size()));
    }
    return out;
  }

 private:
  FileSystem& host_;
};

}  // namespace qm::test
