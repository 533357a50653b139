// A file system that refuses to make or remove names in one directory, as
// a host refuses a directory its user may not write (or a disk that is
// full, or a file another program holds), whoever runs the tests: as root
// on CI no file mode keeps a directory from being written. Counts what it
// refused.
#pragma once
#include <string>

#include "platform/forwarding_fs.h"

namespace qm::test {

class RefusingFs : public ForwardingFs {
 public:
  enum class Depth : uint8_t { InDirOnly, Below };
  enum class Calls : uint8_t { MakeAndRemove, RemoveOnly };

  RefusingFs(FileSystem& inner, std::string dir, int code = kErrAccessDenied, Depth depth = Depth::Below,
             Calls calls = Calls::MakeAndRemove)
      : ForwardingFs(inner), dir_(std::move(dir)), code_(code), depth_(depth), calls_(calls) {}

  int Create(const std::string& path, FileHandle& h) override {
    return Refused(path, Calls::MakeAndRemove) ? code_ : ForwardingFs::Create(path, h);
  }
  int MakeDir(const std::string& path) override {
    return Refused(path, Calls::MakeAndRemove) ? code_ : ForwardingFs::MakeDir(path);
  }
  int Remove(const std::string& path) override {
    return Refused(path, Calls::RemoveOnly) ? code_ : ForwardingFs::Remove(path);
  }

  int refusals = 0;

 private:
  bool Refused(const std::string& path, Calls refusedBy) {
    if (dir_.empty() || path.compare(0, dir_.size(), dir_) != 0) return false;
    if (depth_ == Depth::InDirOnly && path.find(kPathSep, dir_.size()) != std::string::npos) return false;
    if (refusedBy == Calls::MakeAndRemove && calls_ == Calls::RemoveOnly) return false;
    ++refusals;
    return true;
  }
  std::string dir_;
  int code_;
  Depth depth_;
  Calls calls_;
};

}  // namespace qm::test
