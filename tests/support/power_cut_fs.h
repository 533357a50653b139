// A file system for tests that passes every call on and records, for every
// change below the roots it watches, what is needed to tell what had
// reached the disk at any moment: data written but not yet synced (per file,
// per page of 4096 bytes), and names made, changed or removed since the
// last sync of the volume. A flush of a file makes its data and size
// durable, not its name; a sync of the volume makes everything durable
// (the tests' trees lie on one volume). After a run, LeaveDiskAt writes the
// disk as a power cut after any of its changes could have left it: the
// unsynced data lost whole, kept, kept for every other file, or torn page
// by page in any order (a page lost inside a file's new size reads as
// zeros); the unsynced names lost, kept, or kept in the order they were
// made up to half of them. The program's own bookkeeping is recorded like
// everything else.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/forwarding_fs.h"

namespace qm::test {

enum class NamesLeft : uint8_t { Lost, Kept, FirstHalf };
enum class DataLeft : uint8_t { Lost, Kept, EveryOtherFile, TornPages };

struct PowerCut {
  NamesLeft names = NamesLeft::Lost;
  DataLeft data = DataLeft::Lost;
  uint32_t seed = 1;  // which pages a torn cut keeps
};
const char* PowerCutText(const PowerCut& cut);

class PowerCutFs : public ForwardingFs {
 public:
  // roots: host paths ending with a separator; nothing outside them is
  // recorded.
  PowerCutFs(FileSystem& inner, std::vector<std::string> roots);

  // Changes recorded (create, write, set end, make directory, rename,
  // remove, remove directory).
  int Changes() const { return changes_; }
  // The changes a flush or a sync followed: a cut right after one of them
  // leaves the most unsynced.
  std::vector<int> ChangesBeforeSyncs() const;
  // Writes, over the roots as they stood when the recording began (the
  // caller puts them back first), the disk as it could stand after the
  // first `after` changes under cut.
  void LeaveDiskAt(int after, const PowerCut& cut) const;

  int Open(const std::string& path, uint8_t mode, FileHandle& h) override;
  int Create(const std::string& path, FileHandle& h) override;
  int Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) override;
  int SetEnd(FileHandle h) override;
  int Flush(FileHandle h) override;
  int Close(FileHandle h) override;
  int MakeDir(const std::string& path) override;
  int Rename(const std::string& from, const std::string& to) override;
  int Remove(const std::string& path) override;
  int RemoveDir(const std::string& path) override;
  int SyncVolume(const std::string& path) override;

  enum class OpKind : uint8_t { Bind, Create, Truncate, Write, SetEnd, Flush, MakeDir, Rename, Remove, RemoveDir, Sync };
  struct Op {
    OpKind kind;
    int file = -1;
    std::string path, to;
    int64_t pos = 0;
    std::vector<uint8_t> data;
  };

 private:
  // The path as the disk spells it (names found regardless of case); "" when
  // it lies outside the roots.
  std::string Watched(const std::string& path) const;
  // The file the recording knows at path, bound to its content now when it
  // is first met.
  int FileAt(const std::string& real);
  void Record(Op op, bool change);

  std::vector<std::string> roots_;
  std::vector<Op> ops_;
  int changes_ = 0;
  int files_ = 0;
  std::map<std::string, int> live_;       // path -> file, as the run goes
  std::map<FileHandle, std::string> open_;  // handle -> path opened
};

}  // namespace qm::test
