#include "journal/run_check.h"

#include <algorithm>
#include <cstring>

#include "base/polish.h"
#include "journal/rollback.h"

namespace qm {
namespace {

std::string Key(std::string s) {
  s = PlUpperCase(s);
  std::replace(s.begin(), s.end(), '\\', '/');
  while (!s.empty() && s.back() == '/') s.pop_back();
  return s;
}

bool ReadList(FileSystem& fs, const std::string& path, size_t recSize, std::vector<uint8_t>& out) {
  out.clear();
  FileHandle h = kNoHandle;
  const int rc = fs.Open(path, kAccessRead | kShareDenyNone, h);
  if (rc == kErrFileNotFound || rc == kErrPathNotFound) return true;  // no list: nothing listed
  if (rc != kOk) return false;
  fs.Close(h);
  if (!ReadPieces(fs, path, [&](const uint8_t* data, uint32_t n) { out.insert(out.end(), data, data + n); }))
    return false;
  out.resize(out.size() - out.size() % recSize);
  return true;
}

// Whether the list names dir (a record's directory field, any case).
bool Listed(const std::vector<uint8_t>& list, const ListShape& shape, const std::string& dir) {
  for (size_t i = 0; i + shape.recSize <= list.size(); i += shape.recSize)
    if (Key(shape.Dir(list.data() + i)) == Key(dir)) return true;
  return false;
}

}  // namespace

bool SameRootPath(std::string a, std::string b) { return Key(a) == Key(b); }

bool AddedRecords(FileSystem& fs, const RunHistory& run, const ListShape& shape, std::vector<AddedRecord>& out) {
  out.clear();
  for (const JournalUnit& u : run.units) {
    if (!u.done || u.undone) continue;
    for (const JournalRecord& r : u.changes) {
      AddedRecord a;
      if (r.kind != RecordKind::Insert || !ParseHexBytes(r.Field(4), a.record) || a.record.size() != shape.recSize)
        continue;
      a.unit = &u;
      a.listRel = r.Field(1);
      out.push_back(std::move(a));
    }
  }
  if (out.empty()) return true;
  std::vector<uint8_t> list;
  if (!ReadList(fs, run.targetRoot + out.front().listRel, shape.recSize, list)) return false;
  const size_t count = list.size() / shape.recSize;
  std::vector<bool> taken(count, false);
  // Exact records first, so that a changed one is never matched to another
  // company's unchanged record.
  for (const RecordNow pass : {RecordNow::AsAdded, RecordNow::Changed}) {
    for (AddedRecord& a : out) {
      if (a.now != RecordNow::Missing) continue;
      for (size_t i = 0; i < count; ++i) {
        const uint8_t* rec = list.data() + i * shape.recSize;
        const bool same = pass == RecordNow::AsAdded ? std::memcmp(rec, a.record.data(), shape.recSize) == 0
                                                     : Key(shape.Dir(rec)) == Key(shape.Dir(a.record.data()));
        if (taken[i] || !same) continue;
        taken[i] = true;
        a.now = pass;
        a.at = i;
        break;
      }
    }
  }
  return true;
}

bool FitsInstallation(FileSystem& fs, const RunHistory& run, const std::string& recordedRoot,
                      const std::string& listPath, const ListShape& shape, std::string& why) {
  if (!SameRootPath(recordedRoot, run.targetRoot)) {
    why = recordedRoot;
    return false;
  }
  // A list that cannot be read now tells nothing either way.
  std::vector<uint8_t> list;
  if (!ReadList(fs, listPath, shape.recSize, list)) return true;
  for (const JournalUnit& u : run.units) {
    if (u.kind != UnitKind::Company || u.dir.empty() || u.undone) continue;
    const bool inserted = std::any_of(u.changes.begin(), u.changes.end(),
                                      [](const JournalRecord& r) { return r.kind == RecordKind::Insert; });
    // A directory the unit was making cannot be listed before it entered it.
    if (!u.done && !u.dirExisted && !inserted && Listed(list, shape, u.dir)) {
      why = u.dir;
      return false;
    }
    if (u.done && run.Unfinished() && !run.undoBegun) {
      bool isDir = false;
      if (!Listed(list, shape, u.dir) || !PathExists(fs, run.targetRoot + u.dir, &isDir) || !isDir) {
        why = u.dir;
        return false;
      }
    }
  }
  return true;
}

}  // namespace qm
