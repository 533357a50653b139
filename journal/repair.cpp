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

// The committed units' records of the company list, and its path.
std::vector<std::vector<uint8_t>> RunRecords(const RunHistory& run, std::string& listRel) {
  std::vector<std::vector<uint8_t>> out;
  for (const JournalUnit& u : run.units) {
    if (!u.done || u.undone) continue;
    for (const JournalRecord& r : u.changes) {
      std::vector<uint8_t> rec;
      if (r.kind != RecordKind::Insert || !ParseHexBytes(r.Field(4), rec)) continue;
      listRel = r.Field(1);
      out.push_back(std::move(rec));
    }
  }
  return out;
}

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

// The list written over with the copy the journal names, under the list's
// lock, in place (other workstations may hold it open).
bool FinishListWrite(FileSystem& fs, const Bookkeeping& books, const RunHistory& run, size_t recSize,
                     RollbackStatus& status) {
  const JournalRecord& w = run.listWrite;
  std::vector<uint8_t> want;
  uint64_t hash = 0;
  ParseHashText(w.Field(4), hash);
  const std::string list = run.targetRoot + w.Field(1);
  if (!ReadWhole(fs, books.Dir() + kPathSep + w.Field(2), want) || static_cast<int64_t>(want.size()) != w.Number(3) ||
      HashOf(want.data(), want.size()) != hash) {
    status.Step(RollbackStep::Problem, Tree::Target, w.Field(1));
    return false;
  }
  std::vector<uint8_t> cur;
  if (ReadWhole(fs, list, cur) && cur == want) return true;
  // Taking the records out again from what is there gives the copy when
  // nobody else wrote meanwhile; the copy itself is the fallback.
  std::string listRel;
  std::vector<std::vector<uint8_t>> recs = RunRecords(run, listRel);
  int removed = 0;
  if (RemoveRecords(fs, list, recSize, recs, removed) != ListFix::Failed && ReadWhole(fs, list, cur) && cur == want)
    return true;
  if (!WriteWhole(fs, list, want)) {
    status.Step(RollbackStep::Problem, Tree::Target, w.Field(1));
    return false;
  }
  return true;
}

// The undo's rewrite of the list: the content without the run's records
// noted (with a copy of it) before the list is touched.
bool RewriteList(FileSystem& fs, const Bookkeeping& books, RunHistory& run, size_t recSize, JournalTail& tail,
                 RollbackStatus& status, int& removed) {
  std::string listRel;
  const std::vector<std::vector<uint8_t>> recs = RunRecords(run, listRel);
  if (recs.empty()) return true;
  const std::string list = run.targetRoot + listRel;
  std::vector<uint8_t> cur;
  if (!ReadWhole(fs, list, cur)) {
    status.Step(RollbackStep::Problem, Tree::Target, listRel);
    return false;
  }
  cur.resize(cur.size() - cur.size() % recSize);
  std::vector<uint8_t> want;
  std::vector<bool> taken(recs.size(), false);
  for (size_t i = 0; i < cur.size(); i += recSize) {
    bool drop = false;
    for (size_t k = 0; k < recs.size() && !drop; ++k) {
      if (!taken[k] && std::equal(recs[k].begin(), recs[k].end(), cur.begin() + static_cast<std::ptrdiff_t>(i))) {
        taken[k] = drop = true;
        ++removed;
      }
    }
    if (!drop) want.insert(want.end(), cur.begin() + static_cast<std::ptrdiff_t>(i), cur.begin() + static_cast<std::ptrdiff_t>(i + recSize));
  }
  if (!WriteWhole(fs, books.Dir() + kPathSep + kListCopy, want)) return false;
  if (!tail.Append(RecordKind::ListWrite,
                   {"0", listRel, kListCopy, std::to_string(want.size()), HashText(HashOf(want.data(), want.size()))}))
    return false;
  JournalRecord w;
  w.kind = RecordKind::ListWrite;
  w.fields = {"0", listRel, kListCopy, std::to_string(want.size()), HashText(HashOf(want.data(), want.size()))};
  run.listWrite = w;
  if (!FinishListWrite(fs, books, run, recSize, status)) return false;
  status.Step(RollbackStep::ListFixed, Tree::Target, listRel);
  return tail.Append(RecordKind::ListWritten, {"0"});
}

RepairResult Finish(FileSystem& fs, const Bookkeeping& books, RunHistory run, RollbackStatus& status,
                    size_t listRecSize, bool startUndo) {
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
      listOk = FinishListWrite(fs, books, run, listRecSize, status) && tail.Append(RecordKind::ListWritten, {"0"});
    } else if (run.listWrite.fields.empty()) {
      listOk = RewriteList(fs, books, run, listRecSize, tail, status, result.listRecords);
    }
    // The files must not be taken back while the list still names their
    // companies.
    if (!listOk) {
      result.problems = true;
      return result;
    }
  }
  Rollback rollback(fs, run, books, status, listRecSize);
  for (const JournalUnit* u : run.ToRollBack()) {
    const RollbackMode mode = u->done ? RollbackMode::Undo : RollbackMode::Repair;
    if (!rollback.RollBackUnit(*u, mode)) {
      result.problems = true;
      continue;
    }
    ++result.units;
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
  if (!result.problems && !tail.Append(RecordKind::End, {})) result.journalFailed = true;
  return result;
}

}  // namespace

RepairResult RepairRun(FileSystem& fs, const Bookkeeping& books, const RunHistory& run, RollbackStatus& status,
                       size_t listRecSize) {
  return Finish(fs, books, run, status, listRecSize, false);
}

RepairResult UndoRun(FileSystem& fs, const Bookkeeping& books, const RunHistory& run, RollbackStatus& status,
                     size_t listRecSize) {
  return Finish(fs, books, run, status, listRecSize, true);
}

}  // namespace qm
