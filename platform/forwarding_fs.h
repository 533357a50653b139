// A file system that passes every call to another one: the base of the
// layers that watch or bend single operations (the tests' fault injection,
// the run's bookkeeping). A descendant overrides what it watches.
#pragma once
#include <string>

#include "platform/host_fs.h"

namespace qm {

// How the calls that read or write at a given place, or copy a file's data
// (ReadAt, WriteAt, CopyData), reach the inner file system.
enum class DataCalls : uint8_t {
  // Taken apart by the base class into this object's own Seek, Read and
  // Write, so that a descendant that watches or bends reads and writes sees
  // every byte of them (the tests count and fail single writes). The inner
  // file system then makes a seek (free on POSIX) and a read or write per
  // call, and copies through a buffer.
  kTakenApart,
  // Passed whole to the inner file system, with its positional and
  // in-kernel calls: for a descendant that watches no reads or writes.
  kPassedWhole,
};

class ForwardingFs : public FileSystem {
 public:
  explicit ForwardingFs(FileSystem& inner, DataCalls data = DataCalls::kTakenApart)
      : inner_(inner), whole_(data == DataCalls::kPassedWhole) {}

  int Open(const std::string& path, uint8_t mode, FileHandle& h) override { return inner_.Open(path, mode, h); }
  int Create(const std::string& path, FileHandle& h) override { return inner_.Create(path, h); }
  int Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) override { return inner_.Read(h, buf, n, got); }
  int Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) override {
    return inner_.Write(h, buf, n, put);
  }
  int ReadAt(FileHandle h, int64_t pos, void* buf, uint32_t n, uint32_t& got) override {
    return whole_ ? inner_.ReadAt(h, pos, buf, n, got) : FileSystem::ReadAt(h, pos, buf, n, got);
  }
  int WriteAt(FileHandle h, int64_t pos, const void* buf, uint32_t n, uint32_t& put) override {
    return whole_ ? inner_.WriteAt(h, pos, buf, n, put) : FileSystem::WriteAt(h, pos, buf, n, put);
  }
  int MoveUp(FileHandle h, int64_t from, int64_t length, uint32_t by) override {
    return whole_ ? inner_.MoveUp(h, from, length, by) : FileSystem::MoveUp(h, from, length, by);
  }
  int CopyData(FileHandle src, FileHandle dst, int64_t& copied) override {
    return whole_ ? inner_.CopyData(src, dst, copied) : FileSystem::CopyData(src, dst, copied);
  }
  int Seek(FileHandle h, int64_t pos) override { return inner_.Seek(h, pos); }
  int Tell(FileHandle h, int64_t& pos) override { return inner_.Tell(h, pos); }
  int Size(FileHandle h, int64_t& size) override { return inner_.Size(h, size); }
  int SetEnd(FileHandle h) override { return inner_.SetEnd(h); }
  int Flush(FileHandle h) override { return inner_.Flush(h); }
  int Close(FileHandle h) override { return inner_.Close(h); }
  int Lock(FileHandle h, uint64_t offset, uint64_t length) override { return inner_.Lock(h, offset, length); }
  int Unlock(FileHandle h, uint64_t offset, uint64_t length) override { return inner_.Unlock(h, offset, length); }
  int FindFirst(const std::string& pattern, uint8_t attrMask, FindEntry& e, FindHandle& fh) override {
    return inner_.FindFirst(pattern, attrMask, e, fh);
  }
  int FindNext(FindHandle& fh, FindEntry& e) override { return inner_.FindNext(fh, e); }
  int MakeDir(const std::string& path) override { return inner_.MakeDir(path); }
  int Rename(const std::string& from, const std::string& to) override { return inner_.Rename(from, to); }
  int Remove(const std::string& path) override { return inner_.Remove(path); }
  int RemoveDir(const std::string& path) override { return inner_.RemoveDir(path); }
  int CurrentDir(std::string& path) override { return inner_.CurrentDir(path); }
  int SyncVolume(const std::string& path) override { return inner_.SyncVolume(path); }
  bool SameVolume(const std::string& a, const std::string& b) override { return inner_.SameVolume(a, b); }
  int TakeOwnership(FileHandle h, const std::string& model) override { return inner_.TakeOwnership(h, model); }
  int TakeDirOwnership(const std::string& dir, const std::string& model) override {
    return inner_.TakeDirOwnership(dir, model);
  }

 protected:
  FileSystem& Inner() { return inner_; }

 private:
  FileSystem& inner_;
  bool whole_;
};

}  // namespace qm
