// The 2020 company list put right by a repair or an undo. Records move one
// place up at a sorted insertion; a kill can stop that at any write, leaving
// one record twice (or the new record at the end). The journal holds, for
// each insertion, the number of records before it, a hash of the list as it
// was, and the new record: enough to find which record to take out so that
// the list is again exactly what it was.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/host_fs.h"

namespace qm {

// Where a record of the company list names its company: the record's size
// and its directory field (a length byte, then up to cap characters).
struct ListShape {
  size_t recSize = 0;
  size_t dirOff = 0;
  size_t dirCap = 0;
  // The directory a record names, as written.
  std::string Dir(const uint8_t* rec) const;
};

struct ListInsertion {
  int64_t countBefore = 0;
  uint64_t hashBefore = 0;
  std::vector<uint8_t> record;
};

enum class ListFix {
  AsBefore,  // the list is as it was before the insertion
  Undone,    // the record (or the copy a cut-off move left) taken out
  Guessed,   // the list had changed otherwise: the new record taken out
  Failed,    // the list could not be read, locked or written: left as it is
};

ListFix UndoInsertion(FileSystem& fs, const std::string& path, size_t recSize, const ListInsertion& ins);

// Takes one occurrence of each of the records out of the list, keeping the
// order of the rest; removed counts the records taken out.
ListFix RemoveRecords(FileSystem& fs, const std::string& path, size_t recSize,
                      const std::vector<std::vector<uint8_t>>& records, int& removed);

// The hash of the first count records of an open list, as the insertion
// records it.
bool HashOfRecords(FileSystem& fs, FileHandle h, size_t recSize, int64_t count, uint64_t& hash);

}  // namespace qm
