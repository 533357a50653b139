#include "journal/rollback.h"

#include <algorithm>
#include <vector>

#include "base/content_hash.h"

namespace qm {
namespace {

bool Missing(int rc) { return rc == kErrFileNotFound || rc == kErrPathNotFound; }

// A journal path in the host's spelling.
std::string HostRel(std::string rel) {
  for (char& c : rel)
    if (c == '/' || c == '\\') c = kPathSep;
  return rel;
}

// The name a set-aside file gets: its unit and its path, flattened.
std::string FlatName(int64_t unit, const std::string& rel) {
  std::string name = std::to_string(unit) + "_";
  for (const char c : rel) name += (c == '/' || c == '\\') ? '_' : c;
  return name;
}

}  // namespace

bool PathExists(FileSystem& fs, const std::string& path, bool* isDir) {
  FindEntry e;
  FindHandle fh;
  if (fs.FindFirst(path, kAttrAll, e, fh) != kOk) return false;
  if (isDir) *isDir = (e.attr & kAttrDirectory) != 0;
  return true;
}

bool ReadPieces(FileSystem& fs, const std::string& path, const std::function<void(const uint8_t*, uint32_t)>& piece) {
  FileHandle h = kNoHandle;
  if (fs.Open(path, kAccessRead | kShareDenyNone, h) != kOk) return false;
  std::vector<uint8_t> buf(256 * 1024);
  bool ok = true;
  for (;;) {
    uint32_t got = 0;
    if (fs.Read(h, buf.data(), static_cast<uint32_t>(buf.size()), got) != kOk) {
      ok = false;
      break;
    }
    if (got == 0) break;
    piece(buf.data(), got);
  }
  fs.Close(h);
  return ok;
}

bool HashFile(FileSystem& fs, const std::string& path, int64_t& size, uint64_t& hash) {
  ContentHash sum;
  const bool ok = ReadPieces(fs, path, [&](const uint8_t* data, uint32_t n) { sum.Add(data, n); });
  size = static_cast<int64_t>(sum.Length());
  hash = sum.Value();
  return ok;
}

int OverwriteWith(FileSystem& fs, const std::string& from, const std::string& to) {
  FileHandle in = kNoHandle, out = kNoHandle;
  int rc = fs.Open(from, kAccessRead | kShareDenyNone, in);
  if (rc != kOk) return rc;
  rc = fs.Open(to, kAccessReadWrite | kShareDenyNone, out);
  if (Missing(rc)) rc = fs.Create(to, out);
  if (rc != kOk) {
    fs.Close(in);
    return rc;
  }
  std::vector<uint8_t> buf(256 * 1024);
  int64_t pos = 0;
  for (;;) {
    uint32_t got = 0, put = 0;
    rc = fs.Read(in, buf.data(), static_cast<uint32_t>(buf.size()), got);
    if (rc != kOk || got == 0) break;
    rc = fs.WriteAt(out, pos, buf.data(), got, put);
    if (rc == kOk && put != got) rc = kErrDiskFull;
    if (rc != kOk) break;
    pos += got;
  }
  if (rc == kOk) rc = fs.Seek(out, pos);
  if (rc == kOk) rc = fs.SetEnd(out);
  if (rc == kOk) rc = fs.Flush(out);
  const int crc = fs.Close(out);
  fs.Close(in);
  return rc != kOk ? rc : crc;
}

int CopyFileContents(FileSystem& fs, const std::string& from, const std::string& to) {
  FileHandle in = kNoHandle, out = kNoHandle;
  int rc = fs.Open(from, kAccessRead | kShareDenyNone, in);
  if (rc != kOk) return rc;
  rc = fs.Create(to, out);
  if (rc != kOk) {
    fs.Close(in);
    return rc;
  }
  std::vector<uint8_t> buf(256 * 1024);
  for (;;) {
    uint32_t got = 0, put = 0;
    rc = fs.Read(in, buf.data(), static_cast<uint32_t>(buf.size()), got);
    if (rc != kOk || got == 0) break;
    rc = fs.Write(out, buf.data(), got, put);
    if (rc == kOk && put != got) rc = kErrDiskFull;
    if (rc != kOk) break;
  }
  if (rc == kOk) rc = fs.Flush(out);
  const int crc = fs.Close(out);
  fs.Close(in);
  return rc != kOk ? rc : crc;
}

std::string FreeName(FileSystem& fs, const std::string& dir, const std::string& name) {
  std::string free = name;
  for (int k = 2; PathExists(fs, dir + kPathSep + free); ++k) free = name + "." + std::to_string(k);
  return free;
}

Rollback::Rollback(FileSystem& fs, const RunHistory& run, const Bookkeeping& books, RollbackStatus& status,
                   const ListShape& list)
    : fs_(fs), run_(run), books_(books), status_(status), list_(list) {}

void Rollback::Report(RollbackStep step, Tree tree, const std::string& rel) {
  if (step == RollbackStep::Problem) failed_ = true;
  if (step == RollbackStep::Lost) lost_ = true;
  status_.Step(step, tree, rel);
}

std::string Rollback::FullPath(Tree tree, const std::string& rel) const { return run_.Root(tree) + HostRel(rel); }

bool Rollback::AsCommitted(const JournalUnit& unit, Tree tree, const std::string& rel, bool& exists) const {
  exists = PathExists(fs_, FullPath(tree, rel));
  for (const JournalRecord& r : unit.changes) {
    Tree t;
    if (r.kind != RecordKind::Final || !ParseTree(r.Field(1), t) || t != tree || r.Field(2) != rel) continue;
    uint64_t want = 0;
    ParseHashText(r.Field(4), want);
    int64_t size = 0;
    uint64_t hash = 0;
    return exists && HashFile(fs_, FullPath(tree, rel), size, hash) && size == r.Number(3) && hash == want;
  }
  return true;
}

UnitRollback Rollback::RollBackUnit(const JournalUnit& unit, RollbackMode mode) {
  failed_ = lost_ = false;
  for (auto it = unit.changes.rbegin(); it != unit.changes.rend(); ++it) UndoChange(unit, *it, mode);
  return failed_ ? UnitRollback::Failed : lost_ ? UnitRollback::PartLost : UnitRollback::Done;
}

bool Rollback::CopyUsable(const JournalRecord& saved) const {
  Tree tree = Tree::Target;
  uint64_t hash = 0;
  if (!ParseTree(saved.Field(1), tree) || !IsBackupName(saved.Field(3)) || !ParseHashText(saved.Field(5), hash))
    return false;
  int64_t size = 0;
  uint64_t got = 0;
  for (const std::string& path : {FullPath(tree, saved.Field(2)), books_.BackupPath(saved.Field(3))})
    if (HashFile(fs_, path, size, got) && size == saved.Number(4) && got == hash) return true;
  return false;
}

bool Rollback::UndoChange(const JournalUnit& unit, const JournalRecord& r, RollbackMode mode) {
  Tree tree = Tree::Target;
  ParseTree(r.Field(1), tree);
  switch (r.kind) {
    case RecordKind::MakeDir: {
      const std::string path = FullPath(tree, r.Field(2));
      bool isDir = false;
      if (!PathExists(fs_, path, &isDir) || !isDir) return true;
      if (mode == RollbackMode::Repair) return RemoveTree(path, tree);
      const int rc = fs_.RemoveDir(path);
      if (rc == kOk) Report(RollbackStep::RemovedDir, tree, r.Field(2));
      else if (rc == kErrDirNotEmpty) Report(RollbackStep::KeptDir, tree, r.Field(2));
      else Report(RollbackStep::Problem, tree, r.Field(2));
      return rc == kOk || rc == kErrDirNotEmpty;
    }
    case RecordKind::NewFile:
      return RemoveMade(unit, tree, r.Field(2), mode);
    case RecordKind::Saved: {
      uint64_t hash = 0;
      if (!IsBackupName(r.Field(3)) || !ParseHashText(r.Field(5), hash)) {
        Report(RollbackStep::Lost, tree, r.Field(2));
        return false;
      }
      return RestoreCopy(unit, tree, r.Field(2), r.Field(3), r.Number(4), hash, mode);
    }
    case RecordKind::Renamed: {
      const std::string from = FullPath(tree, r.Field(2));
      const std::string to = FullPath(tree, r.Field(3));
      if (PathExists(fs_, from)) return true;
      if (!PathExists(fs_, to)) {
        Report(RollbackStep::Lost, tree, r.Field(2));
        return false;
      }
      if (fs_.Rename(to, from) != kOk) {
        Report(RollbackStep::Problem, tree, r.Field(3));
        return false;
      }
      Report(RollbackStep::RenamedBack, tree, r.Field(2));
      return true;
    }
    case RecordKind::Insert: {
      // An undo takes the run's records out of the list in one step of its
      // own, before the units.
      if (mode == RollbackMode::Undo) return true;
      ListInsertion ins;
      ins.countBefore = r.Number(2);
      if (!ParseHashText(r.Field(3), ins.hashBefore) || !ParseHexBytes(r.Field(4), ins.record)) {
        Report(RollbackStep::Lost, Tree::Target, r.Field(1));
        return false;
      }
      const ListFix fix = UndoInsertion(fs_, FullPath(Tree::Target, r.Field(1)), list_.recSize, ins);
      if (fix == ListFix::Undone) Report(RollbackStep::ListFixed, Tree::Target, r.Field(1));
      if (fix == ListFix::Guessed) Report(RollbackStep::ListGuessed, Tree::Target, r.Field(1));
      if (fix == ListFix::Failed) Report(RollbackStep::Problem, Tree::Target, r.Field(1));
      return fix != ListFix::Failed;
    }
    default:
      return true;
  }
}

bool Rollback::SetAside(const JournalUnit& unit, Tree tree, const std::string& rel) {
  const int rc = fs_.MakeDir(books_.SetAsideDir());
  if (rc != kOk && rc != kErrAlreadyExists) return false;
  // Never over a copy an earlier undo set aside.
  const std::string aside =
      books_.SetAsideDir() + kPathSep + FreeName(fs_, books_.SetAsideDir(), FlatName(unit.number, rel));
  if (CopyFileContents(fs_, FullPath(tree, rel), aside) != kOk) return false;
  // The copy's name on disk before the file it keeps is overwritten or
  // removed (a flush takes the data, not the name).
  const int synced = fs_.SyncVolume(books_.root);
  if (synced != kOk && synced != kErrNotSupported) return false;
  Report(RollbackStep::SetAside, tree, rel);
  return true;
}

bool Rollback::RestoreCopy(const JournalUnit& unit, Tree tree, const std::string& rel, const std::string& backup,
                           int64_t size, uint64_t hash, RollbackMode mode) {
  // A file as it was before the run needs no copy: a power cut may have
  // kept the note and lost the copy, but then the file was not changed yet.
  const std::string path = FullPath(tree, rel);
  int64_t curSize = 0;
  uint64_t curHash = 0;
  if (HashFile(fs_, path, curSize, curHash) && curSize == size && curHash == hash) return true;
  const std::string copy = books_.BackupPath(backup);
  int64_t copySize = 0;
  uint64_t copyHash = 0;
  // A copy that is not the one the journal names would put wrong data back.
  if (!HashFile(fs_, copy, copySize, copyHash) || copySize != size || copyHash != hash) {
    Report(RollbackStep::Lost, tree, rel);
    return false;
  }
  bool exists = false;
  if (mode == RollbackMode::Undo && !AsCommitted(unit, tree, rel, exists) && exists && !SetAside(unit, tree, rel)) {
    Report(RollbackStep::Problem, tree, rel);
    return false;
  }
  if (OverwriteWith(fs_, copy, path) != kOk) {
    Report(RollbackStep::Problem, tree, rel);
    return false;
  }
  Report(RollbackStep::Restored, tree, rel);
  return true;
}

bool Rollback::RemoveMade(const JournalUnit& unit, Tree tree, const std::string& rel, RollbackMode mode) {
  const std::string path = FullPath(tree, rel);
  bool isDir = false;
  if (!PathExists(fs_, path, &isDir) || isDir) return true;
  bool exists = false;
  if (mode == RollbackMode::Undo && !AsCommitted(unit, tree, rel, exists) && exists && !SetAside(unit, tree, rel)) {
    Report(RollbackStep::Problem, tree, rel);
    return false;
  }
  const int rc = fs_.Remove(path);
  if (rc != kOk && !Missing(rc)) {
    Report(RollbackStep::Problem, tree, rel);
    return false;
  }
  Report(RollbackStep::Removed, tree, rel);
  return true;
}

bool Rollback::RemoveTree(const std::string& path, Tree tree) {
  std::vector<std::pair<std::string, bool>> entries;
  FindEntry e;
  FindHandle fh;
  int rc = fs_.FindFirst(path + kPathSep + "*.*", kAttrAll, e, fh);
  while (rc == kOk) {
    if (e.name != "." && e.name != "..") entries.emplace_back(e.name, (e.attr & kAttrDirectory) != 0);
    rc = fs_.FindNext(fh, e);
  }
  fh.reset();
  bool ok = true;
  const std::string rootOfTree = run_.Root(tree);
  const std::string rel = path.substr(std::min(path.size(), rootOfTree.size()));
  for (const auto& [name, isDir] : entries) {
    const std::string child = path + kPathSep + name;
    if (isDir) {
      ok = RemoveTree(child, tree) && ok;
    } else if (fs_.Remove(child) != kOk) {
      Report(RollbackStep::Problem, tree, rel + kPathSep + name);
      ok = false;
    }
  }
  if (!ok) return false;
  rc = fs_.RemoveDir(path);
  if (rc != kOk && !Missing(rc)) {
    Report(RollbackStep::Problem, tree, rel);
    return false;
  }
  Report(RollbackStep::RemovedDir, tree, rel);
  return true;
}

}  // namespace qm
