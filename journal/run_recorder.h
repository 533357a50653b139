// The recording layer: while a transfer runs it stands between the program
// and the host's file system and notes in the run journal every change to
// the two trees before it is made (a directory or file about to be made, a
// copy of an existing file before its first change, a rename). It also
// keeps what a commit needs: the state each changed file was left in
// (hashed as it is written when it is written from its start), and whether
// anything of the unit failed (a failed open, create, read, write, rename,
// close or sync), so that the unit can be rolled back instead of entered.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/content_hash.h"
#include "journal/transfer_journal.h"
#include "platform/forwarding_fs.h"

namespace qm {

class RunRecorder : public ForwardingFs {
 public:
  RunRecorder(FileSystem& inner, TransferJournal& journal);

  // The file whose changes belong to the run, not to a unit (the 2020
  // company list: every company's commit changes it).
  void SetRunFile(const std::string& path);

  bool UnitFailed() const { return failure_ != kOk; }
  int UnitFailure() const { return failure_; }
  // A new unit: no failure, no files.
  void StartUnit();
  // The states of the files the unit changed, as a commit notes them.
  std::vector<FinalState> FinalStates();
  // Marks the unit failed from outside (a step the layer cannot see).
  void Fail(int code);

  int Open(const std::string& path, uint8_t mode, FileHandle& h) override;
  int Create(const std::string& path, FileHandle& h) override;
  int Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) override;
  int ReadAt(FileHandle h, int64_t pos, void* buf, uint32_t n, uint32_t& got) override;
  // Copied through the program, not inside the kernel: the bytes are hashed
  // on their way, for the state the commit notes.
  int CopyData(FileHandle src, FileHandle dst, int64_t& copied) override;
  int Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) override;
  int WriteAt(FileHandle h, int64_t pos, const void* buf, uint32_t n, uint32_t& put) override;
  int Seek(FileHandle h, int64_t pos) override;
  int SetEnd(FileHandle h) override;
  int MoveUp(FileHandle h, int64_t from, int64_t length, uint32_t by) override;
  int Flush(FileHandle h) override;
  int Close(FileHandle h) override;
  int MakeDir(const std::string& path) override;
  int Rename(const std::string& from, const std::string& to) override;
  int Remove(const std::string& path) override;

 private:
  struct Place {
    Tree tree = Tree::Target;
    std::string rel;
    bool runFile = false;
  };
  struct Tracked {
    Place place;
    bool writable = false;
    bool fromStart = false;  // made empty by Create: its contents are what was written
    bool sequential = true;  // every byte written in order from the start
    bool changed = false;
    int64_t pos = 0;
    ContentHash hash;
  };
  struct Touched {
    bool known = false;  // hash and size known from the writing
    int64_t size = 0;
    uint64_t hash = 0;
  };

  // Where a path lies: in one of the trees (outside the bookkeeping
  // directory), or nowhere the run records.
  bool Classify(const std::string& path, Place& place) const;
  int64_t UnitOf(const Place& p) const { return p.runFile ? 0 : journal_.CurrentUnit(); }
  bool InsideMadeDir(const Place& p) const;
  // Before the first change of an open file: its copy, unless the run made it.
  int BeforeChange(FileHandle h, Tracked& t);
  void Note(int rc);
  void Wrote(Tracked& t, int64_t at, const void* buf, uint32_t put);

  TransferJournal& journal_;
  std::string runFileKey_;
  std::unordered_map<FileHandle, Tracked> open_;
  std::map<std::pair<Tree, std::string>, Touched> touched_;
  std::map<std::pair<Tree, std::string>, std::string> rels_;  // as first spelt
  std::vector<std::string> madeDirs_;  // keys of the directories the unit made
  int failure_ = kOk;
};

}  // namespace qm
