#include "journal/transfer_journal.h"

#include <algorithm>

#include "base/content_hash.h"
#include "base/polish.h"

namespace qm {
namespace {

constexpr uint32_t kCopyBlock = 256 * 1024;

// Copies what the reader gives into a new file, hashing it; flushed when
// asked (else a sync of its volume takes it along).
template <class ReadFn>
int CopyInto(FileSystem& fs, const std::string& to, ReadFn read, int64_t& size, uint64_t& hash, bool flush) {
  FileHandle out = kNoHandle;
  int rc = fs.Create(to, out);
  if (rc != kOk) return rc;
  std::vector<uint8_t> buf(kCopyBlock);
  ContentHash sum;
  for (;;) {
    uint32_t got = 0, put = 0;
    rc = read(buf.data(), kCopyBlock, got);
    if (rc != kOk || got == 0) break;
    sum.Add(buf.data(), got);
    rc = fs.Write(out, buf.data(), got, put);
    if (rc == kOk && put != got) rc = kErrDiskFull;
    if (rc != kOk) break;
  }
  if (rc == kOk && flush) rc = fs.Flush(out);
  const int crc = fs.Close(out);
  if (rc == kOk) rc = crc;
  size = static_cast<int64_t>(sum.Length());
  hash = sum.Value();
  if (rc != kOk) fs.Remove(to);
  return rc;
}

}  // namespace

TransferJournal::TransferJournal(FileSystem& host, const Bookkeeping& books, std::string sourceRoot,
                                 std::string targetRoot)
    : host_(host), books_(books), sourceRoot_(std::move(sourceRoot)), targetRoot_(std::move(targetRoot)), writer_(host) {}

std::string TransferJournal::Key(Tree tree, const std::string& rel) {
  std::string k = PlUpperCase(rel);
  std::replace(k.begin(), k.end(), '\\', '/');
  return std::string(TreeWord(tree)) + ":" + k;
}

int TransferJournal::Append(RecordKind kind, std::vector<std::string> fields, Lasting how) {
  JournalRecord r;
  r.kind = kind;
  r.fields = std::move(fields);
  int rc = writer_.Append(r, how == Lasting::Later);
  if (rc != kOk) return rc;
  switch (how) {
    case Lasting::Synced:
      return writer_.Sync();
    case Lasting::AllSynced:
      return SyncAll();
    default:
      return kOk;
  }
}

int TransferJournal::SyncAll() {
  if (!syncsVolumes_) return writer_.Sync();
  int rc = writer_.Write();
  // The journal and the copies lie in the 2020 tree: one sync of its volume
  // takes them along with the 2020 files.
  if (rc == kOk) rc = host_.SyncVolume(targetRoot_);
  if (rc == kOk) writer_.Synced();
  if (rc == kOk && sourceChanged_ && !oneVolume_) rc = host_.SyncVolume(sourceRoot_);
  if (rc == kOk) sourceChanged_ = false;
  return rc;
}

int TransferJournal::Start(const std::string& version, const std::string& startedAt) {
  int rc = host_.MakeDir(books_.RunDir());
  if (rc != kOk && rc != kErrAlreadyExists) return rc;
  rc = writer_.Create(books_.JournalPath());
  if (rc != kOk) return rc;
  // The run's directory and its journal are on disk before the first
  // record, which is flushed with the journal alone.
  syncsVolumes_ = host_.SyncVolume(targetRoot_) != kErrNotSupported;
  oneVolume_ = host_.SameVolume(sourceRoot_, targetRoot_);
  rc = Append(RecordKind::Run, {version, startedAt, sourceRoot_, targetRoot_}, Lasting::Synced);
  covered_.clear();
  unit_ = lastUnit_ = 0;
  backups_ = 0;
  return rc;
}

int TransferJournal::BeginUnit(UnitKind kind, const std::string& dir, const std::string& name, bool dirExisted) {
  unit_ = ++lastUnit_;
  // Written along with the unit's first record that must be on disk first
  // (its directory, or a change outside one it made).
  return Append(RecordKind::Unit, {std::to_string(unit_), UnitWord(kind), dir, name, dirExisted ? "1" : "0"},
                Lasting::Later);
}

// A path counts as taken care of only once its note is written: after a
// failed note its first change still needs one.
int TransferJournal::NoteMakeDir(Tree tree, const std::string& rel) {
  const int rc = Append(RecordKind::MakeDir, {std::to_string(unit_), TreeWord(tree), rel}, Lasting::Synced);
  if (rc == kOk) covered_[Key(tree, rel)] = unit_;
  return rc;
}

int TransferJournal::NoteNewFile(Tree tree, const std::string& rel, bool insideMadeDir, int64_t unit) {
  // A file inside a directory the unit made goes with that directory (a
  // repair removes all of it), so its note may follow later; any other must
  // be known before the file can reach the disk.
  const int rc = Append(RecordKind::NewFile, {std::to_string(unit), TreeWord(tree), rel},
                        insideMadeDir ? Lasting::Later : Lasting::Synced);
  if (rc == kOk) covered_[Key(tree, rel)] = unit;
  return rc;
}

int TransferJournal::SaveCopy(Tree tree, const std::string& rel, FileHandle open, int64_t unit) {
  int rc = host_.MakeDir(books_.BackupDir());
  if (rc != kOk && rc != kErrAlreadyExists) return rc;
  const std::string name = BackupName(++backups_);
  int64_t size = 0;
  uint64_t hash = 0;
  if (open != kNoHandle) {
    int64_t was = 0;
    rc = host_.Tell(open, was);
    if (rc != kOk) return rc;
    int64_t pos = 0;
    rc = CopyInto(host_, books_.BackupPath(name),
                  [&](uint8_t* buf, uint32_t n, uint32_t& got) {
                    const int r = host_.Seek(open, pos);
                    if (r != kOk) return r;
                    const int rr = host_.Read(open, buf, n, got);
                    pos += got;
                    return rr;
                  },
                  size, hash, !syncsVolumes_);
    const int back = host_.Seek(open, was);
    if (rc == kOk) rc = back;
  } else {
    FileHandle in = kNoHandle;
    rc = host_.Open(Root(tree) + rel, kAccessRead | kShareDenyNone, in);
    if (rc != kOk) return rc;
    rc = CopyInto(host_, books_.BackupPath(name),
                  [&](uint8_t* buf, uint32_t n, uint32_t& got) { return host_.Read(in, buf, n, got); }, size, hash,
                  !syncsVolumes_);
    host_.Close(in);
  }
  // The copy is on disk before its note can be (a power cut may keep a
  // later write and lose an earlier one), and the note before the file's
  // first change. (Without volume syncs the copy was flushed as it was
  // written.)
  if (rc == kOk && tree == Tree::Source) sourceChanged_ = true;
  if (rc == kOk && syncsVolumes_) rc = SyncAll();
  if (rc == kOk)
    rc = Append(RecordKind::Saved,
                {std::to_string(unit), TreeWord(tree), rel, name, std::to_string(size), HashText(hash)},
                Lasting::Synced);
  if (rc != kOk) return rc;
  covered_[Key(tree, rel)] = unit;
  if (onSaved) onSaved(tree, rel, books_.BackupPath(name));
  return rc;
}

int TransferJournal::NoteRename(Tree tree, const std::string& from, const std::string& to) {
  const int rc = Append(RecordKind::Renamed, {std::to_string(unit_), TreeWord(tree), from, to}, Lasting::Synced);
  if (rc != kOk) return rc;
  covered_[Key(tree, to)] = unit_;
  if (tree == Tree::Source) sourceChanged_ = true;
  return rc;
}

int TransferJournal::NoteInsert(const std::string& listRel, int64_t countBefore, uint64_t hashBefore,
                                const uint8_t* record, size_t size) {
  // With the note, everything the unit wrote reaches the disk: the list
  // changes last, and the commit after it needs no sync of its own.
  const int rc = Append(RecordKind::Insert,
                        {std::to_string(unit_), listRel, std::to_string(countBefore), HashText(hashBefore),
                         HexBytes(record, size)},
                        Lasting::AllSynced);
  if (rc == kOk) dataSynced_ = true;
  return rc;
}

bool TransferJournal::Covered(Tree tree, const std::string& rel) const { return covered_.count(Key(tree, rel)) > 0; }

void TransferJournal::ForgetUnit(int64_t unit) {
  for (auto it = covered_.begin(); it != covered_.end();) {
    if (it->second == unit) it = covered_.erase(it);
    else ++it;
  }
}

int TransferJournal::Commit(const std::vector<FinalState>& finals) {
  // The unit's files reach the disk before its commit can: at its list
  // insertion, or here.
  int rc = dataSynced_ ? kOk : SyncAll();
  for (const FinalState& f : finals) {
    if (rc != kOk) break;
    rc = Append(RecordKind::Final,
                {std::to_string(unit_), TreeWord(f.tree), f.rel, std::to_string(f.size), HashText(f.hash)},
                Lasting::Later);
  }
  // Written now, so that a kill keeps it; on the disk with the next unit's
  // first synced note (or the end).
  if (rc == kOk) rc = Append(RecordKind::Done, {std::to_string(unit_)}, syncsVolumes_ ? Lasting::Written : Lasting::Synced);
  if (rc == kOk) {
    unit_ = 0;
    dataSynced_ = false;
  }
  return rc;
}

int TransferJournal::NoteUndone(int64_t unit) {
  dataSynced_ = false;
  // What the rollback removed and renamed, in either tree, reaches the disk
  // before the note does.
  sourceChanged_ = true;
  return Append(RecordKind::Undone, {std::to_string(unit)}, Lasting::AllSynced);
}

int TransferJournal::End() {
  unit_ = 0;
  const int rc = Append(RecordKind::End, {}, Lasting::AllSynced);
  writer_.Close();
  return rc;
}

}  // namespace qm
