#include "journal/run_recorder.h"

#include <algorithm>
#include <vector>

#include "base/polish.h"
#include "journal/rollback.h"

namespace qm {
namespace {

bool Missing(int rc) { return rc == kErrFileNotFound || rc == kErrPathNotFound; }

// Paths compared as the host finds them: without regard to case, either
// separator.
std::string KeyOf(const std::string& rel) {
  std::string k = PlUpperCase(rel);
  std::replace(k.begin(), k.end(), '\\', '/');
  return k;
}

bool Writes(uint8_t mode) { return (mode & 0x0F) != kAccessRead; }

// A block large enough that most files go in one read and one write.
constexpr uint32_t kCopyBlock = 1024 * 1024;

}  // namespace

RunRecorder::RunRecorder(FileSystem& inner, TransferJournal& journal)
    : ForwardingFs(inner, DataCalls::kPassedWhole), journal_(journal) {}

void RunRecorder::SetRunFile(const std::string& path) {
  Place p;
  runFileKey_.clear();
  if (Classify(path, p)) runFileKey_ = std::string(TreeWord(p.tree)) + ":" + KeyOf(p.rel);
}

void RunRecorder::StartUnit() {
  failure_ = kOk;
  touched_.clear();
  rels_.clear();
  madeDirs_.clear();
}

void RunRecorder::Fail(int code) {
  if (failure_ == kOk) failure_ = code == kOk ? kErrGenFailure : code;
}

void RunRecorder::Note(int rc) {
  if (rc != kOk && journal_.InUnit()) Fail(rc);
}

bool RunRecorder::Classify(const std::string& path, Place& place) const {
  const std::string* best = nullptr;
  for (Tree t : {Tree::Source, Tree::Target}) {
    const std::string& root = journal_.Root(t);
    if (root.empty() || path.size() <= root.size() || path.compare(0, root.size(), root) != 0) continue;
    if (!best || root.size() > best->size()) {
      best = &root;
      place.tree = t;
    }
  }
  if (!best) return false;
  place.rel = path.substr(best->size());
  const std::string key = KeyOf(place.rel);
  const std::string books = PlUpperCase(kBookkeepingName);
  if (place.tree == Tree::Target && key.compare(0, books.size(), books) == 0 &&
      (key.size() == books.size() || key[books.size()] == '/'))
    return false;
  place.runFile = !runFileKey_.empty() && std::string(TreeWord(place.tree)) + ":" + key == runFileKey_;
  return true;
}

bool RunRecorder::InsideMadeDir(const Place& p) const {
  const std::string key = std::string(TreeWord(p.tree)) + ":" + KeyOf(p.rel);
  for (const std::string& d : madeDirs_)
    if (key.size() > d.size() && key.compare(0, d.size(), d) == 0 && key[d.size()] == '/') return true;
  return false;
}

int RunRecorder::BeforeChange(FileHandle h, Tracked& t) {
  if (journal_.Covered(t.place.tree, t.place.rel)) return kOk;
  return journal_.SaveCopy(t.place.tree, t.place.rel, h, UnitOf(t.place));
}

void RunRecorder::Wrote(Tracked& t, int64_t at, const void* buf, uint32_t put) {
  t.changed = true;
  if (t.sequential && at >= 0 && static_cast<uint64_t>(at) == t.hash.Length()) {
    t.hash.Add(buf, put);
  } else {
    t.sequential = false;
  }
}

int RunRecorder::Open(const std::string& path, uint8_t mode, FileHandle& h) {
  const int rc = Inner().Open(path, mode, h);
  Place p;
  if (!Classify(path, p)) return rc;
  if (rc != kOk) {
    if (!Missing(rc) && !p.runFile) Note(rc);
    return rc;
  }
  Tracked t;
  t.place = p;
  t.writable = Writes(mode);
  t.sequential = false;  // what was there before is not known here
  open_[h] = std::move(t);
  return rc;
}

int RunRecorder::Create(const std::string& path, FileHandle& h) {
  Place p;
  if (!Classify(path, p)) return Inner().Create(path, h);
  if (!journal_.Covered(p.tree, p.rel)) {
    // In a directory the unit made, a file the run has not noted is new.
    const bool inside = InsideMadeDir(p);
    const int jr = !inside && PathExists(Inner(), path)
                       ? journal_.SaveCopy(p.tree, p.rel, kNoHandle, UnitOf(p))
                       : journal_.NoteNewFile(p.tree, p.rel, inside, UnitOf(p));
    if (jr != kOk) {
      if (!p.runFile) Note(jr);
      return jr;
    }
  }
  const int rc = Inner().Create(path, h);
  if (rc != kOk) {
    if (!p.runFile) Note(rc);
    return rc;
  }
  Tracked t;
  t.place = p;
  t.writable = true;
  t.fromStart = true;
  open_[h] = std::move(t);
  return rc;
}

int RunRecorder::Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) {
  const int rc = Inner().Read(h, buf, n, got);
  auto it = open_.find(h);
  if (it == open_.end()) return rc;
  if (rc != kOk) {
    if (!it->second.place.runFile) Note(rc);
    it->second.pos = -1;
  } else if (it->second.pos >= 0) {
    it->second.pos += got;
  }
  return rc;
}

int RunRecorder::ReadAt(FileHandle h, int64_t pos, void* buf, uint32_t n, uint32_t& got) {
  const int rc = Inner().ReadAt(h, pos, buf, n, got);
  auto it = open_.find(h);
  if (it == open_.end()) return rc;
  if (rc != kOk && !it->second.place.runFile) Note(rc);
  it->second.pos = -1;
  return rc;
}

int RunRecorder::CopyData(FileHandle src, FileHandle dst, int64_t& copied) {
  copied = 0;
  int64_t from = 0, to = 0;
  int rc = Inner().Tell(src, from);
  if (rc == kOk) rc = Inner().Tell(dst, to);
  if (rc != kOk) return rc;
  std::vector<uint8_t> buf(kCopyBlock);
  for (;;) {
    uint32_t got = 0, put = 0;
    rc = ReadAt(src, from, buf.data(), kCopyBlock, got);
    if (rc != kOk || got == 0) break;
    rc = WriteAt(dst, to, buf.data(), got, put);
    copied += put;
    from += put;
    to += put;
    if (rc == kOk && put != got) rc = kErrDiskFull;
    if (rc != kOk || got < kCopyBlock) break;
  }
  // Both positions stand after the bytes copied.
  const int s1 = Seek(src, from), s2 = Seek(dst, to);
  return rc != kOk ? rc : (s1 != kOk ? s1 : s2);
}

int RunRecorder::Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) {
  auto it = open_.find(h);
  if (it == open_.end()) return Inner().Write(h, buf, n, put);
  Tracked& t = it->second;
  put = 0;
  int rc = BeforeChange(h, t);
  if (rc == kOk) rc = Inner().Write(h, buf, n, put);
  if (rc != kOk && !t.place.runFile) Note(rc);
  Wrote(t, t.pos, buf, put);
  if (t.pos >= 0) t.pos += put;
  return rc;
}

int RunRecorder::WriteAt(FileHandle h, int64_t pos, const void* buf, uint32_t n, uint32_t& put) {
  auto it = open_.find(h);
  if (it == open_.end()) return Inner().WriteAt(h, pos, buf, n, put);
  Tracked& t = it->second;
  put = 0;
  int rc = BeforeChange(h, t);
  if (rc == kOk) rc = Inner().WriteAt(h, pos, buf, n, put);
  if (rc != kOk && !t.place.runFile) Note(rc);
  Wrote(t, pos, buf, put);
  t.pos = -1;  // where the position stands after it is not said
  return rc;
}

int RunRecorder::Seek(FileHandle h, int64_t pos) {
  const int rc = Inner().Seek(h, pos);
  auto it = open_.find(h);
  if (it != open_.end()) it->second.pos = rc == kOk ? pos : -1;
  return rc;
}

int RunRecorder::SetEnd(FileHandle h) {
  auto it = open_.find(h);
  if (it == open_.end()) return Inner().SetEnd(h);
  Tracked& t = it->second;
  int rc = BeforeChange(h, t);
  if (rc == kOk) rc = Inner().SetEnd(h);
  if (rc != kOk && !t.place.runFile) Note(rc);
  t.changed = true;
  if (t.pos < 0 || static_cast<uint64_t>(t.pos) != t.hash.Length()) t.sequential = false;
  return rc;
}

int RunRecorder::MoveUp(FileHandle h, int64_t from, int64_t length, uint32_t by) {
  auto it = open_.find(h);
  if (it == open_.end()) return Inner().MoveUp(h, from, length, by);
  Tracked& t = it->second;
  int rc = BeforeChange(h, t);
  if (rc == kOk) rc = Inner().MoveUp(h, from, length, by);
  if (rc != kOk && !t.place.runFile) Note(rc);
  t.changed = true;
  t.sequential = false;
  return rc;
}

int RunRecorder::Flush(FileHandle h) {
  const int rc = Inner().Flush(h);
  // The company list's flush after an insertion is the unit's too: its
  // commit must not reach the disk before the record does.
  if (open_.count(h) && rc != kOk) Note(rc);
  return rc;
}

int RunRecorder::Close(FileHandle h) {
  auto it = open_.find(h);
  if (it == open_.end()) return Inner().Close(h);
  Tracked t = std::move(it->second);
  open_.erase(it);
  int rc = kOk;
  // Without a volume sync at the commit, each changed file reaches the disk
  // as it is closed.
  if (t.changed && !journal_.SyncsVolumes()) rc = Inner().Flush(h);
  const int crc = Inner().Close(h);
  if (rc == kOk) rc = crc;
  if (!t.changed || t.place.runFile) return rc;
  if (rc != kOk) Note(rc);
  Touched& done = touched_[{t.place.tree, KeyOf(t.place.rel)}];
  done.known = t.fromStart && t.sequential;
  done.size = static_cast<int64_t>(t.hash.Length());
  done.hash = t.hash.Value();
  rels_.try_emplace({t.place.tree, KeyOf(t.place.rel)}, t.place.rel);
  return rc;
}

int RunRecorder::MakeDir(const std::string& path) {
  Place p;
  if (!Classify(path, p) || PathExists(Inner(), path)) return Inner().MakeDir(path);
  int rc = journal_.NoteMakeDir(p.tree, p.rel);
  if (rc == kOk) rc = Inner().MakeDir(path);
  if (rc != kOk) {
    Note(rc);
    return rc;
  }
  madeDirs_.push_back(std::string(TreeWord(p.tree)) + ":" + KeyOf(p.rel));
  return rc;
}

int RunRecorder::Rename(const std::string& from, const std::string& to) {
  Place pf, pt;
  if (!Classify(from, pf) || !Classify(to, pt) || pf.tree != pt.tree) return Inner().Rename(from, to);
  int rc = journal_.NoteRename(pf.tree, pf.rel, pt.rel);
  if (rc == kOk) rc = Inner().Rename(from, to);
  Note(rc);
  return rc;
}

int RunRecorder::Remove(const std::string& path) {
  Place p;
  if (Classify(path, p) && !journal_.Covered(p.tree, p.rel)) {
    bool isDir = false;
    if (PathExists(Inner(), path, &isDir) && !isDir) {
      const int jr = journal_.SaveCopy(p.tree, p.rel, kNoHandle, UnitOf(p));
      if (jr != kOk) {
        Note(jr);
        return jr;
      }
    }
  }
  return Inner().Remove(path);
}

std::vector<FinalState> RunRecorder::FinalStates() {
  std::vector<FinalState> out;
  for (const auto& [key, t] : touched_) {
    FinalState f;
    f.tree = key.first;
    f.rel = rels_[key];
    f.size = t.size;
    f.hash = t.hash;
    // A file changed here and there (a journal appended to, a record
    // rewritten in place) is read back once.
    if (!t.known && !HashFile(Inner(), journal_.Root(f.tree) + f.rel, f.size, f.hash)) continue;
    out.push_back(f);
  }
  return out;
}

}  // namespace qm
