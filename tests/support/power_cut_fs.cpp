#include "tests/support/power_cut_fs.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

namespace qm::test {
namespace {

namespace stdfs = std::filesystem;

constexpr size_t kPage = 4096;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The path with each name as the disk spells it (found regardless of case,
// as the program finds names); a name not there stays as spelt.
std::string OnDisk(const std::string& path) {
  std::string out;
  size_t start = 0;
  if (!path.empty() && (path[0] == '/' || path[0] == '\\')) {
    out.push_back('/');
    start = 1;
  }
  while (start < path.size()) {
    const size_t sep = path.find_first_of("/\\", start);
    const std::string name = path.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
    start = sep == std::string::npos ? path.size() : sep + 1;
    if (name.empty()) continue;
    std::string found = name;
    std::error_code ec;
    if (!stdfs::exists(out + name, ec)) {
      for (const auto& e : stdfs::directory_iterator(out.empty() ? "." : out, ec)) {
        if (Lower(e.path().filename().string()) == Lower(name)) {
          found = e.path().filename().string();
          break;
        }
      }
    }
    out += found;
    if (start < path.size()) out += '/';
  }
  return out;
}

std::vector<uint8_t> Contents(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A file as the recording knows it: its bytes as written, and as on disk.
struct File {
  std::vector<uint8_t> now, durable;
  std::set<size_t> dirty;  // pages written since they were last durable
};

enum class Kind : uint8_t { Absent, FileThere, DirThere };
struct Entry {
  Kind kind = Kind::Absent;
  int file = -1;
};
using Names = std::map<std::string, Entry>;  // the paths the run touched

using Op = PowerCutFs::Op;
using OpKind = PowerCutFs::OpKind;

void ApplyName(Names& names, const Op& op) {
  switch (op.kind) {
    case OpKind::Create:
      names[op.path] = {Kind::FileThere, op.file};
      break;
    case OpKind::MakeDir:
      names[op.path] = {Kind::DirThere, -1};
      break;
    case OpKind::Rename:
      names[op.to] = names[op.path];
      names[op.path] = {};
      break;
    case OpKind::Remove:
    case OpKind::RemoveDir:
      names[op.path] = {};
      break;
    default:
      break;
  }
}

void Dirty(File& f, size_t from, size_t to) {
  for (size_t p = from / kPage; p * kPage < to; ++p) f.dirty.insert(p);
}

// The run replayed up to a cut: what was written, what was on disk.
struct Replay {
  std::vector<File> files;
  Names now, durable;
  std::vector<const Op*> unsyncedNames;  // since the last sync, in order

  void Apply(const Op& op) {
    if (op.file >= static_cast<int>(files.size())) files.resize(static_cast<size_t>(op.file) + 1);
    switch (op.kind) {
      case OpKind::Bind: {
        File& f = files[static_cast<size_t>(op.file)];
        f.now = f.durable = op.data;
        now[op.path] = durable[op.path] = {Kind::FileThere, op.file};
        return;
      }
      case OpKind::Truncate: {
        File& f = files[static_cast<size_t>(op.file)];
        Dirty(f, 0, f.now.size());
        f.now.clear();
        return;
      }
      case OpKind::Write: {
        File& f = files[static_cast<size_t>(op.file)];
        const size_t end = static_cast<size_t>(op.pos) + op.data.size();
        if (f.now.size() < end) {
          Dirty(f, f.now.size(), end);
          f.now.resize(end, 0);
        }
        std::copy(op.data.begin(), op.data.end(), f.now.begin() + op.pos);
        Dirty(f, static_cast<size_t>(op.pos), end);
        return;
      }
      case OpKind::SetEnd: {
        File& f = files[static_cast<size_t>(op.file)];
        const size_t size = static_cast<size_t>(op.pos);
        Dirty(f, std::min(size, f.now.size()), std::max(size, f.now.size()) + 1);
        f.now.resize(size, 0);
        return;
      }
      case OpKind::Flush: {
        File& f = files[static_cast<size_t>(op.file)];
        f.durable = f.now;
        f.dirty.clear();
        return;
      }
      case OpKind::Sync:
        for (File& f : files) {
          f.durable = f.now;
          f.dirty.clear();
        }
        durable = now;
        unsyncedNames.clear();
        return;
      default:
        ApplyName(now, op);
        unsyncedNames.push_back(&op);
        return;
    }
  }

  std::vector<uint8_t> Left(const File& f, int id, const PowerCut& cut, std::mt19937& rng) const {
    if (f.dirty.empty()) return f.now;
    switch (cut.data) {
      case DataLeft::Lost:
        return f.durable;
      case DataLeft::Kept:
        return f.now;
      case DataLeft::EveryOtherFile:
        return id % 2 ? f.now : f.durable;
      case DataLeft::TornPages:
        break;
    }
    std::vector<uint8_t> out = f.durable;
    out.resize(rng() % 2 ? f.now.size() : f.durable.size(), 0);
    for (const size_t p : f.dirty) {
      if (rng() % 2 == 0) continue;
      for (size_t i = p * kPage; i < (p + 1) * kPage && i < out.size(); ++i) out[i] = i < f.now.size() ? f.now[i] : 0;
    }
    return out;
  }
};

}  // namespace

const char* PowerCutText(const PowerCut& cut) {
  static const char* const kNames[] = {"names lost", "names kept", "first half of the names kept"};
  static const char* const kData[] = {"data lost", "data kept", "data of every other file kept", "pages torn"};
  static std::string text;
  text = std::string(kNames[static_cast<int>(cut.names)]) + ", " + kData[static_cast<int>(cut.data)];
  return text.c_str();
}

PowerCutFs::PowerCutFs(FileSystem& inner, std::vector<std::string> roots) : ForwardingFs(inner), roots_(std::move(roots)) {}

std::string PowerCutFs::Watched(const std::string& path) const {
  const std::string real = OnDisk(path);
  for (const std::string& root : roots_)
    if (real.compare(0, root.size(), root) == 0 && real.size() > root.size()) return real;
  return std::string();
}

void PowerCutFs::Record(Op op, bool change) {
  ops_.push_back(std::move(op));
  if (change) ++changes_;
}

int PowerCutFs::FileAt(const std::string& real) {
  auto it = live_.find(real);
  if (it != live_.end()) return it->second;
  const int id = files_++;
  live_[real] = id;
  Record({OpKind::Bind, id, real, {}, 0, Contents(real)}, false);
  return id;
}

int PowerCutFs::Open(const std::string& path, uint8_t mode, FileHandle& h) {
  const int rc = Inner().Open(path, mode, h);
  if (rc == kOk) {
    const std::string real = Watched(path);
    if (!real.empty()) open_[h] = real;
  }
  return rc;
}

int PowerCutFs::Create(const std::string& path, FileHandle& h) {
  const std::string real = Watched(path);
  std::error_code ec;
  const bool existed = !real.empty() && stdfs::is_regular_file(real, ec);
  const int before = existed ? FileAt(real) : -1;
  const int rc = Inner().Create(path, h);
  if (rc != kOk || real.empty()) return rc;
  open_[h] = real;
  if (existed) {
    Record({OpKind::Truncate, before, real, {}, 0, {}}, true);
  } else {
    const int id = files_++;
    live_[real] = id;
    Record({OpKind::Create, id, real, {}, 0, {}}, true);
  }
  return rc;
}

int PowerCutFs::Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) {
  auto it = open_.find(h);
  int64_t pos = 0;
  const int id = it == open_.end() || Inner().Tell(h, pos) != kOk ? -1 : FileAt(it->second);
  const int rc = Inner().Write(h, buf, n, put);
  if (id >= 0 && put > 0) {
    const auto* bytes = static_cast<const uint8_t*>(buf);
    Record({OpKind::Write, id, it->second, {}, pos, std::vector<uint8_t>(bytes, bytes + put)}, true);
  }
  return rc;
}

int PowerCutFs::SetEnd(FileHandle h) {
  auto it = open_.find(h);
  int64_t pos = 0;
  const int id = it == open_.end() || Inner().Tell(h, pos) != kOk ? -1 : FileAt(it->second);
  const int rc = Inner().SetEnd(h);
  if (id >= 0 && rc == kOk) Record({OpKind::SetEnd, id, it->second, {}, pos, {}}, true);
  return rc;
}

int PowerCutFs::Flush(FileHandle h) {
  const int rc = Inner().Flush(h);
  auto it = open_.find(h);
  if (rc == kOk && it != open_.end() && live_.count(it->second))
    Record({OpKind::Flush, live_[it->second], it->second, {}, 0, {}}, false);
  return rc;
}

int PowerCutFs::Close(FileHandle h) {
  open_.erase(h);
  return Inner().Close(h);
}

int PowerCutFs::MakeDir(const std::string& path) {
  const std::string real = Watched(path);
  const int rc = Inner().MakeDir(path);
  if (rc == kOk && !real.empty()) Record({OpKind::MakeDir, -1, real, {}, 0, {}}, true);
  return rc;
}

int PowerCutFs::Rename(const std::string& from, const std::string& to) {
  const std::string real = Watched(from);
  std::error_code ec;
  const int id = !real.empty() && stdfs::is_regular_file(real, ec) ? FileAt(real) : -1;
  const int rc = Inner().Rename(from, to);
  const std::string realTo = Watched(to);
  if (rc != kOk || real.empty() || realTo.empty()) return rc;
  live_.erase(real);
  if (id >= 0) live_[realTo] = id;
  for (auto& [handle, p] : open_)
    if (p == real) p = realTo;
  Record({OpKind::Rename, id, real, realTo, 0, {}}, true);
  return rc;
}

int PowerCutFs::Remove(const std::string& path) {
  const std::string real = Watched(path);
  std::error_code ec;
  const int id = !real.empty() && stdfs::is_regular_file(real, ec) ? FileAt(real) : -1;
  const int rc = Inner().Remove(path);
  if (rc != kOk || real.empty()) return rc;
  live_.erase(real);
  Record({OpKind::Remove, id, real, {}, 0, {}}, true);
  return rc;
}

int PowerCutFs::RemoveDir(const std::string& path) {
  const std::string real = Watched(path);
  const int rc = Inner().RemoveDir(path);
  if (rc == kOk && !real.empty()) Record({OpKind::RemoveDir, -1, real, {}, 0, {}}, true);
  return rc;
}

int PowerCutFs::SyncVolume(const std::string& path) {
  const int rc = Inner().SyncVolume(path);
  if (rc == kOk) Record({OpKind::Sync, -1, {}, {}, 0, {}}, false);
  return rc;
}

std::vector<int> PowerCutFs::ChangesBeforeSyncs() const {
  std::vector<int> out;
  int changes = 0;
  for (const Op& op : ops_) {
    const bool sync = op.kind == OpKind::Flush || op.kind == OpKind::Sync;
    if (sync && changes > 0 && (out.empty() || out.back() != changes)) out.push_back(changes);
    changes += op.kind != OpKind::Bind && !sync;
  }
  return out;
}

void PowerCutFs::LeaveDiskAt(int after, const PowerCut& cut) const {
  Replay replay;
  int changes = 0;
  // The cut comes right after the change: a flush or sync that followed
  // it had not returned.
  for (const Op& op : ops_) {
    if (changes == after) break;
    changes += op.kind != OpKind::Bind && op.kind != OpKind::Flush && op.kind != OpKind::Sync;
    replay.Apply(op);
  }
  Names names = replay.durable;
  if (cut.names == NamesLeft::Kept) names = replay.now;
  if (cut.names == NamesLeft::FirstHalf)
    for (size_t i = 0; i < replay.unsyncedNames.size() / 2; ++i) ApplyName(names, *replay.unsyncedNames[i]);

  std::mt19937 rng(cut.seed);
  std::error_code ec;
  // Every path the run touched: first what is not there, deepest first,
  // then the directories, then the files with what is left of their data.
  for (auto it = names.rbegin(); it != names.rend(); ++it)
    if (it->second.kind == Kind::Absent) stdfs::remove_all(it->first, ec);
  for (const auto& [path, e] : names)
    if (e.kind == Kind::DirThere) stdfs::create_directory(path, ec);
  for (const auto& [path, e] : names) {
    if (e.kind != Kind::FileThere) continue;
    const std::string parent = stdfs::path(path).parent_path().string();
    if (!stdfs::is_directory(parent, ec)) continue;  // its directory's name was lost
    const std::vector<uint8_t> data =
        replay.Left(replay.files[static_cast<size_t>(e.file)], e.file, cut, rng);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }
}

}  // namespace qm::test
