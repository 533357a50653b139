#include "journal/list_fix.h"

#include <algorithm>
#include <cstring>

#include "base/content_hash.h"
#include "platform/console.h"

namespace qm {
namespace {

// The whole-file lock of the shared-file layer, so that a repair never
// changes the list under a workstation that is inserting into it.
constexpr uint64_t kWholeFile = 0x7FFFFFFF;
constexpr int kLockTries = 50;
constexpr int kLockPauseMs = 100;

using Records = std::vector<uint8_t>;  // whole list, records back to back

class OpenList {
 public:
  OpenList(FileSystem& fs, const std::string& path) : fs_(fs) {
    if (fs_.Open(path, kAccessReadWrite | kShareDenyNone, h_) != kOk) {
      h_ = kNoHandle;
      return;
    }
    for (int i = 0; i < kLockTries; ++i) {
      if (fs_.Lock(h_, 0, kWholeFile) == kOk) {
        locked_ = true;
        return;
      }
      if (HasConsole()) Con().Sleep(kLockPauseMs);
    }
  }
  ~OpenList() {
    if (locked_) fs_.Unlock(h_, 0, kWholeFile);
    if (h_ != kNoHandle) fs_.Close(h_);
  }
  bool Usable() const { return h_ != kNoHandle && locked_; }
  // The file's length when read: more than its whole records when a write
  // of one was cut off.
  int64_t SizeRead() const { return size_; }

  bool ReadAll(size_t recSize, Records& out) {
    int64_t size = 0;
    if (fs_.Size(h_, size) != kOk || size < 0) return false;
    size_ = size;
    out.assign(static_cast<size_t>(size - size % static_cast<int64_t>(recSize)), 0);
    size_t off = 0;
    while (off < out.size()) {
      uint32_t got = 0;
      if (fs_.Seek(h_, static_cast<int64_t>(off)) != kOk ||
          fs_.Read(h_, out.data() + off, static_cast<uint32_t>(std::min<size_t>(out.size() - off, 1u << 20)), got) != kOk ||
          got == 0)
        return false;
      off += got;
    }
    return true;
  }

  // The list becomes `want`, of which the first `same` bytes are there
  // already: the rest is written in one go, then the end is cut.
  bool WriteFrom(const Records& want, size_t same) {
    if (same < want.size()) {
      uint32_t put = 0;
      const uint32_t n = static_cast<uint32_t>(want.size() - same);
      if (fs_.WriteAt(h_, static_cast<int64_t>(same), want.data() + same, n, put) != kOk || put != n) return false;
    }
    return fs_.Seek(h_, static_cast<int64_t>(want.size())) == kOk && fs_.SetEnd(h_) == kOk && fs_.Flush(h_) == kOk;
  }

 private:
  FileSystem& fs_;
  FileHandle h_ = kNoHandle;
  bool locked_ = false;
  int64_t size_ = 0;
};

bool RecordAt(const Records& list, size_t recSize, size_t i, const uint8_t* rec) {
  return std::memcmp(list.data() + i * recSize, rec, recSize) == 0;
}

Records Without(const Records& list, size_t recSize, size_t i) {
  Records out(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(i * recSize));
  out.insert(out.end(), list.begin() + static_cast<std::ptrdiff_t>((i + 1) * recSize), list.end());
  return out;
}

// Index of the first occurrence of rec, or npos.
size_t Find(const Records& list, size_t recSize, const uint8_t* rec) {
  for (size_t i = 0; i * recSize < list.size(); ++i)
    if (RecordAt(list, recSize, i, rec)) return i;
  return std::string::npos;
}

}  // namespace

std::string ListShape::Dir(const uint8_t* rec) const {
  const size_t n = std::min<size_t>(rec[dirOff], dirCap);
  return std::string(reinterpret_cast<const char*>(rec + dirOff + 1), n);
}

bool HashOfRecords(FileSystem& fs, FileHandle h, size_t recSize, int64_t count, uint64_t& hash) {
  ContentHash sum;
  std::vector<uint8_t> buf(64 * 1024 / recSize * recSize);
  int64_t left = count * static_cast<int64_t>(recSize);
  int64_t pos = 0;
  while (left > 0) {
    const uint32_t want = static_cast<uint32_t>(std::min<int64_t>(left, static_cast<int64_t>(buf.size())));
    uint32_t got = 0;
    if (fs.Seek(h, pos) != kOk || fs.Read(h, buf.data(), want, got) != kOk || got != want) return false;
    sum.Add(buf.data(), got);
    pos += got;
    left -= got;
  }
  hash = sum.Value();
  return true;
}

ListFix UndoInsertion(FileSystem& fs, const std::string& path, size_t recSize, const ListInsertion& ins) {
  if (ins.record.size() != recSize) return ListFix::Failed;
  OpenList list(fs, path);
  Records cur;
  if (!list.Usable() || !list.ReadAll(recSize, cur)) return ListFix::Failed;
  const int64_t count = static_cast<int64_t>(cur.size() / recSize);
  const bool torn = list.SizeRead() != static_cast<int64_t>(cur.size());  // a record half appended
  if (count == ins.countBefore && HashOf(cur.data(), cur.size()) == ins.hashBefore) {
    if (!torn) return ListFix::AsBefore;
    return list.WriteFrom(cur, cur.size()) ? ListFix::Undone : ListFix::Failed;
  }
  if (count == ins.countBefore + 1) {
    // One record too many: the new one itself, a record standing twice
    // where a move was cut off between two writes, or one half moved where
    // a write was cut off in the middle. Taking it out gives the list as
    // it was; the hash tells which one it is.
    for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
      const Records before = Without(cur, recSize, i);
      if (HashOf(before.data(), before.size()) == ins.hashBefore)
        return list.WriteFrom(before, i * recSize) ? ListFix::Undone : ListFix::Failed;
    }
  }
  // Somebody else changed the list as well: only the record this run added
  // can be taken out.
  const size_t at = Find(cur, recSize, ins.record.data());
  if (at == std::string::npos) return ListFix::AsBefore;
  return list.WriteFrom(Without(cur, recSize, at), at * recSize) ? ListFix::Guessed : ListFix::Failed;
}

ListFix RemoveRecords(FileSystem& fs, const std::string& path, size_t recSize,
                      const std::vector<std::vector<uint8_t>>& records, int& removed) {
  removed = 0;
  OpenList list(fs, path);
  Records cur;
  if (!list.Usable() || !list.ReadAll(recSize, cur)) return ListFix::Failed;
  size_t first = cur.size();
  for (const std::vector<uint8_t>& rec : records) {
    if (rec.size() != recSize) continue;
    const size_t at = Find(cur, recSize, rec.data());
    if (at == std::string::npos) continue;
    cur = Without(cur, recSize, at);
    first = std::min(first, at * recSize);
    ++removed;
  }
  if (removed == 0) return ListFix::AsBefore;
  return list.WriteFrom(cur, first) ? ListFix::Undone : ListFix::Failed;
}

}  // namespace qm
