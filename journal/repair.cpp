#include "journal/repair.h"

#include <vector>

#include "base/content_hash.h"

namespace qm {
namespace {

constexpr const char* kListCopy = "LISTA.NEW";

class JournalTail {
 public:
  JournalTail(FileSystem& fs, const Bookkeeping& books) : writer_(fs) {
    ok_ = writer_.OpenToAppend(books.JournalPath()) == kOk;
  }
  bool Ok() const { return ok_; }
  bool Append(RecordKind kind, std::vector<std::string> fields) {
    JournalRecord r;
    r.kind = kind;
    r.fields = std::move(fields);
    ok_ = ok_ && writer_.Append(r) == kOk && writer_.Sync() == kOk;
    return ok_;
  }

 private:
  JournalWriter writer_;
  bool ok_ = false;
};

bool ReadWhole(FileSystem& fs, const std::string& path, std::vector<uint8_t>& out) {
  out.clear();
  return ReadPieces(fs, path, [&](const uint8_t* data, uint32_t n) { out.insert(out.end(), data, data + n); });
}

bool WriteWhole(FileSystem& fs, const std::string& path, const std::vector<uint8_t>& data) {
  FileHandle h = kNoHandle;
  if (fs.Create(path, h) != kOk) return false;
  uint32_t put = 0;
  bool ok = data.empty() || (fs.Write(h, data.data(), static_cast<uint32_t>(data.size()), put) == kOk && put == data.size());
  ok = fs.Flush(h) == kOk && ok;
  return fs.Close(h) == kOk && ok;
}

// The records of the list the run's committed companies stand in now (as
// added, or changed since), as the list holds them.
std::vector<std::vector<uint8_t>> RecordsNow(FileSystem& fs, const RunHistory& run, const ListShape& shape,
                                             const std::vector<AddedRecord>& added) {
  std::vector<std::vector<uint8_t>> out;
  std::vector<uint8_t> list;
  if (added.empty() || !ReadWhole(fs, run.targetRoot + added.front().listRel, list)) return out;
  for (const AddedRecord& a : added) {
    const size_t at = a.at * shape.recSize;
    if (a.now != RecordNow::Missing && at + shape.recSize <= list.size())
      out.emplace_back(list.begin() + static_cast<std::ptrdiff_t>(at),
                       list.begin() + static_cast<std::ptrdiff_t>(at + shape.recSize));
  }
  return out;
}

// The list written over with the copy the journal names, under the list's
// lock, in place (other workstations may hold it open). Taking the run's
// records out again from what is there gives the copy when nobody else
// wrote meanwhile; the copy itself is the fallback. Without a usable copy
// (a power cut may lose it), taking them out is all there is to do.
bool FinishListWrite(FileSystem& fs, const Bookkeeping& books, const RunHistory& run, const ListShape& shape,
                     RollbackStatus& status) {
  const JournalRecord& w = run.listWrite;
  uint64_t hash = 0;
  ParseHashText(w.Field(4), hash);
  const std::string list = run.targetRoot + w.Field(1);
  std::vector<uint8_t> want, cur;
  // The copy is read only once it is known to be the one noted (it is
  // hashed on the way, never held whole before).
  const std::string copy = books.RunDir() + kPathSep + w.Field(2);
  int64_t copySize = 0;
  uint64_t copyHash = 0;
  const bool copyOk = HashFile(fs, copy, copySize, copyHash) && copySize == w.Number(3) && copyHash == hash &&
                      ReadWhole(fs, copy, want) && HashOf(want.data(), want.size()) == hash;
  if (copyOk && ReadWhole(fs, list, cur) && cur == want) return true;
  std::vector<AddedRecord> added;
  int removed = 0;
  const ListFix fix = AddedRecords(fs, run, shape, added)
                          ? RemoveRecords(fs, list, shape.recSize, RecordsNow(fs, run, shape, added), removed)
                          : ListFix::Failed;
  if (!copyOk || (fix != ListFix::Failed && ReadWhole(fs, list, cur) && cur == want)) {
    if (fix == ListFix::Failed) status.Step(RollbackStep::Problem, Tree::Target, w.Field(1));
    return fix != ListFix::Failed;
  }
  if (!WriteWhole(fs, list, want)) {
    status.Step(RollbackStep::Problem, Tree::Target, w.Field(1));
    return false;
  }
  return true;
}

// A changed record of the list, kept like a changed file before the list
// loses it.
bool SetAsideRecord(FileSystem& fs, const Bookkeeping& books, const AddedRecord& a, const std::vector<uint8_t>& now,
                    const ListShape& shape, RollbackStatus& status) {
  const int rc = fs.MakeDir(books.SetAsideDir());
  if (rc != kOk && rc != kErrAlreadyExists) return false;
  const std::string name = std::to_string(a.unit->number) + "_" + shape.Dir(a.record.data()) + "_LISTA.REC";
  if (!WriteWhole(fs, books.SetAsideDir() + kPathSep + FreeName(fs, books.SetAsideDir(), name), now)) return false;
  status.Step(RollbackStep::SetAside, Tree::Target, a.listRel + " (" + shape.Dir(a.record.data()) + ")");
  return true;
}

// The undo's rewrite of the list: the content without the run's records
// noted (with a copy of it) before the list is touched.
bool RewriteList(FileSystem& fs, const Bookkeeping& books, RunHistory& run, const ListShape& shape,
                 JournalTail& tail, RollbackStatus& status, int& removed) {
  std::vector<AddedRecord> added;
  if (!AddedRecords(fs, run, shape, added)) {
    status.Step(RollbackStep::Problem, Tree::Target, added.empty() ? std::string() : added.front().listRel);
    return false;
  }
  if (added.empty()) return true;
  const std::string listRel = added.front().listRel;
  std::vector<uint8_t> cur;
  if (!ReadWhole(fs, run.targetRoot + listRel, cur)) {
    status.Step(RollbackStep::Problem, Tree::Target, listRel);
    return false;
  }
  const size_t rec = shape.recSize;
  cur.resize(cur.size() - cur.size() % rec);
  std::vector<bool> drop(cur.size() / rec, false);
  for (const AddedRecord& a : added) {
    if (a.now == RecordNow::Missing) continue;
    const std::vector<uint8_t> now(cur.begin() + static_cast<std::ptrdiff_t>(a.at * rec),
                                   cur.begin() + static_cast<std::ptrdiff_t>((a.at + 1) * rec));
    if (a.now == RecordNow::Changed && !SetAsideRecord(fs, books, a, now, shape, status)) {
      status.Step(RollbackStep::Problem, Tree::Target, listRel);
      return false;
    }
    drop[a.at] = true;
    ++removed;
  }
  std::vector<uint8_t> want;
  for (size_t i = 0; i < drop.size(); ++i)
    if (!drop[i]) want.insert(want.end(), cur.begin() + static_cast<std::ptrdiff_t>(i * rec), cur.begin() + static_cast<std::ptrdiff_t>((i + 1) * rec));
  // The copy and its name on disk before the note naming it.
  if (!WriteWhole(fs, books.RunDir() + kPathSep + kListCopy, want)) return false;
  const int synced = fs.SyncVolume(books.root);
  if (synced != kOk && synced != kErrNotSupported) return false;
  JournalRecord w;
  w.kind = RecordKind::ListWrite;
  w.fields = {"0", listRel, kListCopy, std::to_string(want.size()), HashText(HashOf(want.data(), want.size()))};
  if (!tail.Append(RecordKind::ListWrite, w.fields)) return false;
  run.listWrite = w;
  if (!FinishListWrite(fs, books, run, shape, status)) return false;
  status.Step(RollbackStep::ListFixed, Tree::Target, listRel);
  return tail.Append(RecordKind::ListWritten, {"0"});
}

// Both trees' volumes synced (where the host cannot, every file was flushed
// as it was written, and the names go with the flushes).
bool SyncVolumes(FileSystem& fs, const RunHistory& run) {
  for (const std::string& root : {run.targetRoot, run.sourceRoot}) {
    const int rc = fs.SyncVolume(root);
    if (rc != kOk && rc != kErrNotSupported) return false;
  }
  return true;
}

RepairResult Finish(FileSystem& fs, const Bookkeeping& books, RunHistory run, RollbackStatus& status,
                    const ListShape& shape, bool startUndo) {
  RepairResult result;
  JournalTail tail(fs, books);
  if (!tail.Ok()) {
    result.journalFailed = true;
    return result;
  }
  if (startUndo) {
    if (!tail.Append(RecordKind::UndoBegun, {})) {
      result.journalFailed = true;
      return result;
    }
    run.undoBegun = true;
  }
  if (run.undoBegun) {
    bool listOk = true;
    if (!run.listWrite.fields.empty() && !run.listWritten) {
      listOk = FinishListWrite(fs, books, run, shape, status) && tail.Append(RecordKind::ListWritten, {"0"});
    } else if (run.listWrite.fields.empty()) {
      listOk = RewriteList(fs, books, run, shape, tail, status, result.listRecords);
    }
    // The files must not be taken back while the list still names their
    // companies.
    if (!listOk) {
      result.problems = true;
      return result;
    }
  }
  Rollback rollback(fs, run, books, status, shape);
  for (const JournalUnit* u : run.ToRollBack()) {
    const RollbackMode mode = u->done ? RollbackMode::Undo : RollbackMode::Repair;
    const UnitRollback outcome = rollback.RollBackUnit(*u, mode);
    if (outcome == UnitRollback::Failed) {
      result.problems = true;
      continue;
    }
    if (outcome == UnitRollback::PartLost) result.lost = true;
    ++result.units;
    // What the rollback removed and renamed is on disk before the unit is
    // noted undone: a note that outlived them would leave them be.
    if (!SyncVolumes(fs, run)) {
      result.problems = true;
      return result;
    }
    if (!tail.Append(RecordKind::Undone, {std::to_string(u->number)})) {
      result.journalFailed = true;
      return result;
    }
  }
  if (run.undoBegun && !result.problems) {
    // A company list the run made and that now holds nothing goes too.
    for (const JournalRecord& r : run.units.front().changes) {
      std::vector<uint8_t> rest;
      if (r.kind == RecordKind::NewFile && ReadWhole(fs, rollback.FullPath(Tree::Target, r.Field(2)), rest) &&
          rest.empty() && fs.Remove(rollback.FullPath(Tree::Target, r.Field(2))) == kOk)
        status.Step(RollbackStep::Removed, Tree::Target, r.Field(2));
    }
  }
  if (!result.problems && (!SyncVolumes(fs, run) || !tail.Append(RecordKind::End, {}))) result.journalFailed = true;
  return result;
}

}  // namespace

RepairResult RepairRun(FileSystem& fs, const Bookkeeping& books, const RunHistory& run, RollbackStatus& status,
                       const ListShape& list) {
  return Finish(fs, books, run, status, list, false);
}

RepairResult UndoRun(FileSystem& fs, const Bookkeeping& books, const RunHistory& run, RollbackStatus& status,
                     const ListShape& list) {
  return Finish(fs, books, run, status, list, true);
}

}  // namespace qm
