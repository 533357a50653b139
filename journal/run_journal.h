// The run journal: what a transfer is about to change in the two trees,
// written before each change, so that a later start can roll back what an
// interrupted run left half done and an undo can put back what a finished
// run did. It lives in the 2020 root's bookkeeping directory.
//
// One record a line, CR LF: a kind word, tab-separated fields, the length of
// the journal known to be on disk when the record was written ("%=" and a
// number; "%=" is never the start of a written field) and a check value
// over the line ("#" and 16 hexadecimal digits). Field bytes below 0x20,
// 0x7F and "%" are written as "%XX", so a path never breaks a line. A text
// file rather than binary records: an office can read what a run did with
// any editor, and a torn line is recognised by its check value.
//
// What lies beyond the longest length any record names had not been synced
// when the journal stopped: a kill can tear its last line, a power cut can
// leave any page of it lost (zeros) or kept. Nothing was changed on the
// strength of it, so the journal is read up to the first line there that
// does not check. A line that does not check inside the synced part is
// damage: the journal is then read as far as it can be, and said to be
// damaged. Journals of the program's earlier version carry no lengths:
// there every record but the last counts as synced.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host_fs.h"

namespace qm {

enum class RecordKind : uint8_t {
  Run,       // version, started at, 2019 root, 2020 root
  Unit,      // unit, "FIRMA"/"GLOBALNE", directory, name, "1" when the directory existed
  MakeDir,   // unit, tree, path: a directory about to be made
  NewFile,   // unit, tree, path: a file about to be made where none was
  Saved,     // unit, tree, path, backup name, size, hash: a copy taken before the first change
  Renamed,   // unit, tree, from, to: a rename about to be made
  Insert,    // unit, list path, records before, hash before, record (hexadecimal)
  Final,     // unit, tree, path, size, hash: a file as the committed unit left it
  Done,      // unit: committed
  Undone,    // unit: rolled back
  UndoBegun, // an undo of the run has begun
  End,       // the run has ended
  ListWrite,    // 0, list path, copy name, size, hash: the list is rewritten from that copy
  ListWritten,  // 0: the rewrite has ended
};

// Which tree a path of the journal lies in; paths are kept relative to it.
enum class Tree : uint8_t { Source, Target };
const char* TreeWord(Tree t);
bool ParseTree(const std::string& word, Tree& t);

struct JournalRecord {
  RecordKind kind = RecordKind::Run;
  std::vector<std::string> fields;
  // The journal's length on disk when the record was written; -1 in a
  // journal of the earlier version (and for a record not yet written).
  int64_t synced = -1;
  // The field as a number; 0 when it is missing or not one.
  int64_t Number(size_t i) const;
  const std::string& Field(size_t i) const;
};

// The line of a record, with its check value and CR LF.
std::string EncodeRecord(const JournalRecord& r);

enum class JournalState {
  Missing,   // no journal
  Readable,  // every record up to the unsynced tail read (none: an empty journal)
  Damaged,   // a record of the synced part does not check: what checks is read
};
// wholeEnd, when given, receives the length of the text up to and with the
// last record read; what follows it is unsynced tail, safe to cut.
JournalState ParseJournal(std::string_view text, std::vector<JournalRecord>& out, size_t* wholeEnd = nullptr);
// A journal longer than this is not one the program wrote: damaged.
inline constexpr int64_t kMaxJournalBytes = 64 << 20;
// Reads the journal at path through fs, at most kMaxJournalBytes of it.
JournalState ReadJournal(FileSystem& fs, const std::string& path, std::vector<JournalRecord>& out);

// The journal being written: records appended at its end; Sync makes what
// was appended durable. Writes go to the file system given, never through
// the program's recording layer. A write that fails is cut back off the
// file, so that no fragment stands before the next record, and its records
// are kept to go with the next write (a later record may name their unit);
// when even the cut fails, every later write fails too.
class JournalWriter {
 public:
  explicit JournalWriter(FileSystem& fs) : fs_(fs) {}
  ~JournalWriter();
  JournalWriter(const JournalWriter&) = delete;
  JournalWriter& operator=(const JournalWriter&) = delete;

  // A fresh journal (fresh: an old one is emptied) or the one there, to go
  // on with: its unsynced tail is cut off first and the rest made durable,
  // so that what is appended follows the last record read. A damaged
  // journal is gone on with too: a repair notes what it did.
  int Create(const std::string& path);
  int OpenToAppend(const std::string& path);
  // Appends the record: written at once, or with later set kept in the
  // program until the next record written at once (or Write, or Sync)
  // takes it along in the same write.
  int Append(const JournalRecord& r, bool later = false);
  int Write();
  // Writes what is kept, then makes the journal durable.
  int Sync();
  // Everything written so far is on disk: a sync of the journal's volume
  // has returned.
  void Synced() { synced_ = end_; }
  void Close();
  bool IsOpen() const { return h_ != kNoHandle; }

 private:
  FileSystem& fs_;
  FileHandle h_ = kNoHandle;
  int64_t end_ = 0;
  int64_t synced_ = 0;
  bool broken_ = false;  // a failed write could not be cut back off
  std::string pending_;
};

// Hexadecimal bytes of a record field, and back.
std::string HexBytes(const uint8_t* data, size_t n);
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& out);

}  // namespace qm
