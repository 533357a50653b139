#include "platform/names_posix.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "base/cp852.h"
#include "base/polish.h"
#include "platform/fs_posix.h"
#include "platform/guarded_roots.h"
#include "platform/host_fs.h"

namespace qm {

namespace {

// A kept directory that has been removed since: the path is walked again.
constexpr int kDirGone = -2;

constexpr int kDirFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

uint64_t g_listingsRead = 0;

bool IsDots(const std::string& s) { return s == "." || s == ".."; }

// The CP852 upper-case form of a host name; false when the name holds a
// character the code page lacks (such a name cannot be asked for).
bool HostNameUpper(std::string_view utf8, std::string& out) {
  out.clear();
  size_t pos = 0;
  while (pos < utf8.size()) {
    uint8_t code;
    if (!UnicodeToCp852(DecodeUtf8(utf8, pos), code)) return false;
    out += static_cast<char>(PlUpCaseChar(code));
  }
  return true;
}

// The same comparison without building the upper-case form: most names
// differ from the wanted one in their first letters.
bool HostNameIs(std::string_view utf8, const std::string& wantUpper) {
  size_t pos = 0, i = 0;
  while (pos < utf8.size()) {
    if (i >= wantUpper.size()) return false;
    uint8_t code;
    if (!UnicodeToCp852(DecodeUtf8(utf8, pos), code)) return false;
    if (PlUpCaseChar(code) != static_cast<uint8_t>(wantUpper[i])) return false;
    ++i;
  }
  return i == wantUpper.size();
}

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::string ChildKey(const std::string& parent, const std::string& cpName) {
  return parent.empty() ? std::string() : parent + "/" + PlUpperCase(cpName);
}

int OpenAnchor(const char* where, DirRef& dir) {
  const int fd = openat(AT_FDCWD, where, kDirFlags);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? kErrPathNotFound : HostErrorCode(errno);
  struct stat st;
  if (fstat(fd, &st) != 0) {
    const int rc = HostErrorCode(errno);
    close(fd);
    return rc;
  }
  dir = std::make_shared<OpenDir>();
  dir->fd = fd;
  dir->key = {st.st_dev, st.st_ino};
  return kOk;
}

}  // namespace

uint64_t DirectoryListingsRead() { return g_listingsRead; }

OpenDir::~OpenDir() {
  if (fd >= 0) close(fd);
}

std::string Place::HostName() const { return name.empty() ? std::string(".") : Cp852ToUtf8(name); }

// ---------------------------------------------------------------------------
// Directories

DirRef HostNames::Cached(const std::string& key) {
  auto it = byKey_.find(key);
  if (it == byKey_.end()) return nullptr;
  dirs_.splice(dirs_.begin(), dirs_, it->second);
  return *it->second;
}

void HostNames::Keep(const DirRef& dir) {
  if (auto old = byKey_.find(dir->cacheKey); old != byKey_.end()) {
    dirs_.erase(old->second);
    byKey_.erase(old);
  }
  dirs_.push_front(dir);
  byKey_[dir->cacheKey] = dirs_.begin();
  if (dirs_.size() > kMaxDirs) {
    byKey_.erase(dirs_.back()->cacheKey);
    dirs_.pop_back();
  }
}

void HostNames::Drop(const std::string& key) {
  if (key.empty()) return;
  for (auto it = dirs_.begin(); it != dirs_.end();) {
    const std::string& k = (*it)->cacheKey;
    if (k == key || (k.size() > key.size() && k.compare(0, key.size(), key) == 0 && k[key.size()] == '/')) {
      byKey_.erase(k);
      it = dirs_.erase(it);
    } else {
      ++it;
    }
  }
}

void HostNames::ForgetDirs() {
  dirs_.clear();
  byKey_.clear();
}

void HostNames::SyncRoots() {
  if (rootsFor_ == GuardedRootsGeneration()) return;
  roots_.assign(GuardedRootPaths().size(), nullptr);
  rootsFor_ = GuardedRootsGeneration();
  ForgetDirs();
}

int HostNames::Root(size_t index, DirRef& dir) {
  if (!roots_[index]) {
    // The root is reached as any other path is: it may itself be a link.
    const PathNames p = SplitPathNames(GuardedRootPaths()[index]);
    std::string key;
    const int rc = Walk(p.absolute, p.names, p.names.size(), false, 0, roots_[index], key);
    if (rc != kOk) return rc;
  }
  dir = roots_[index];
  return kOk;
}

int HostNames::Walk(bool absolute, const std::vector<std::string>& names, size_t dirs, bool guarded,
                    size_t root, DirRef& dir, std::string& dirKey) {
  for (int attempt = 0;; ++attempt) {
    // The key of every directory on the way (none below the current
    // directory, which may change); the walk starts below the deepest one
    // that is kept.
    std::vector<std::string> keys(dirs + 1);
    if (guarded) {
      keys[0] = "R" + std::to_string(root);
    } else if (absolute) {
      keys[0] = "A";
    }
    for (size_t i = 0; i < dirs; ++i) keys[i + 1] = ChildKey(keys[i], names[i]);
    DirRef cur;
    size_t start = 0;
    for (size_t i = dirs + 1; i-- > 0 && !keys[i].empty();) {
      if ((cur = Cached(keys[i]))) {
        start = i;
        break;
      }
    }
    int rc = kOk;
    if (!cur) {
      if (guarded) {
        rc = Root(root, cur);
      } else {
        rc = OpenAnchor(absolute ? "/" : ".", cur);
        if (rc == kOk && absolute) {
          cur->cacheKey = keys[0];
          Keep(cur);
        }
      }
    }
    for (size_t i = start; rc == kOk && i < dirs; ++i) {
      DirRef child;
      rc = OpenChild(cur, names[i], guarded, keys[i + 1], child);
      if (rc == kOk) cur = child;
    }
    if (rc == kDirGone && attempt == 0) {
      ForgetDirs();
      continue;
    }
    if (rc == kDirGone) return kErrPathNotFound;
    if (rc != kOk) return rc;
    dir = cur;
    dirKey = keys[dirs];
    return kOk;
  }
}

int HostNames::OpenChild(const DirRef& parent, const std::string& name, bool guarded, const std::string& key,
                         DirRef& child) {
  const int flags = kDirFlags | (guarded ? O_NOFOLLOW : 0);
  std::string host = Cp852ToUtf8(name);
  int fd = openat(parent->fd, host.c_str(), flags);
  if (fd < 0 && errno == ENOENT && !IsDots(name)) {
    std::string other;
    const int rc = LookupSpelling(parent, PlUpperCase(name), other);
    if (rc == kErrFileNotFound) return kErrPathNotFound;
    if (rc != kOk) return rc;
    host = other;
    fd = openat(parent->fd, host.c_str(), flags);
  }
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT) return kErrPathNotFound;
    if (err == ENOTDIR || err == ELOOP) {
      // O_NOFOLLOW with O_DIRECTORY calls a link "not a directory".
      struct stat st;
      if (guarded && fstatat(parent->fd, host.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        return kErrLinkRefused;
      return kErrPathNotFound;
    }
    return HostErrorCode(err);
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    const int rc = HostErrorCode(errno);
    close(fd);
    return rc;
  }
  child = std::make_shared<OpenDir>();
  child->fd = fd;
  child->key = {st.st_dev, st.st_ino};
  child->cacheKey = key;
  if (!key.empty()) Keep(child);
  return kOk;
}

int HostNames::Locate(const std::string& path, Place& place) {
  place = Place();
  place.path = path;
  if (path.empty()) return kErrPathNotFound;
  if (path.find('\0') != std::string::npos) return kErrInvalidName;
  SyncRoots();
  const PathNames p = SplitPathNames(path);
  BelowRoot below;
  place.guarded = FindGuardedRoot(p, below);
  const std::vector<std::string>& names = place.guarded ? below.names : p.names;
  if (!names.empty()) place.name = names.back();
  return Walk(p.absolute, names, names.empty() ? 0 : names.size() - 1, place.guarded, below.root, place.dir,
              place.dirKey);
}

int HostNames::Relocate(Place& place) {
  ForgetDirs();
  const std::string path = place.path;
  return Locate(path, place);
}

// ---------------------------------------------------------------------------
// Names in a directory

int HostNames::Describe(const Place& place, const std::string& host, Found& found) {
  struct stat st;
  if (fstatat(place.dir->fd, host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    const int err = errno;
    return err == ENOENT ? kErrFileNotFound : err == ENOTDIR ? kErrPathNotFound : HostErrorCode(err);
  }
  found.host = host;
  found.link = S_ISLNK(st.st_mode);
  found.st = st;
  // Outside the guarded roots a link stands for what it points to, as
  // always; one that points nowhere is no entry.
  if (found.link && !place.guarded && fstatat(place.dir->fd, host.c_str(), &found.st, 0) != 0)
    return errno == ENOENT ? kErrFileNotFound : HostErrorCode(errno);
  return kOk;
}

int HostNames::Find(Place& place, Found& found) {
  const int rc = Describe(place, place.HostName(), found);
  if (rc != kErrFileNotFound || place.name.empty() || IsDots(place.name)) return rc;
  return FindOtherSpelling(place, found);
}

int HostNames::FindOtherSpelling(Place& place, Found& found) {
  for (int attempt = 0;; ++attempt) {
    std::string best;
    int rc = LookupSpelling(place.dir, PlUpperCase(place.name), best);
    if (rc == kDirGone && attempt == 0) {
      if ((rc = Relocate(place)) != kOk) return rc;
      rc = Describe(place, place.HostName(), found);
      if (rc != kErrFileNotFound) return rc;
      continue;
    }
    if (rc == kDirGone) return kErrPathNotFound;
    if (rc != kOk) return rc;
    return Describe(place, best, found);
  }
}

bool HostNames::KnownAbsent(const Place& place) {
  if (place.name.empty() || IsDots(place.name)) return false;
  auto it = listings_.find(place.dir->key);
  return it != listings_.end() && it->second.made && it->second.byUpper.count(PlUpperCase(place.name)) == 0;
}

int HostNames::LookupSpelling(const DirRef& dir, const std::string& wantUpper, std::string& best) {
  auto it = listings_.find(dir->key);
  if (it == listings_.end() || !it->second.made) {
    struct stat dst;
    if (fstat(dir->fd, &dst) != 0) return HostErrorCode(errno);
    if (dst.st_nlink == 0) return kDirGone;
    if (it != listings_.end()) {
      if (!SameTime(it->second.mtime, dst.st_mtim) || !SameTime(it->second.ctime, dst.st_ctim)) {
        listings_.erase(it);
        it = listings_.end();
      }
    }
    if (it == listings_.end()) {
      timespec now{};
      clock_gettime(CLOCK_REALTIME, &now);
      const time_t changed = std::max(dst.st_mtim.tv_sec, dst.st_ctim.tv_sec);
      // The listing of a directory the layer has changed is read after the
      // layer's own last change there: kept at once. Any other one only
      // once the directory has settled.
      const bool keep = written_.count(dir->key) > 0 || now.tv_sec - changed > kSettleSeconds;
      return ReadListing(dir, dst, keep, wantUpper, best);
    }
  }
  auto hit = it->second.byUpper.find(wantUpper);
  if (hit == it->second.byUpper.end()) return kErrFileNotFound;
  best = hit->second;
  return kOk;
}

int HostNames::ReadListing(const DirRef& dir, const struct stat& dst, bool keep, const std::string& wantUpper,
                           std::string& best) {
  Listing listing;
  listing.mtime = dst.st_mtim;
  listing.ctime = dst.st_ctim;
  bool found = false;
  std::string up;
  ++g_listingsRead;
  const int rc = List(dir, false, [&](std::string_view dn, unsigned char) {
    if (keep) {
      if (!HostNameUpper(dn, up)) return;
      auto [slot, fresh] = listing.byUpper.try_emplace(up, dn);
      if (!fresh && dn < slot->second) slot->second.assign(dn);
    } else if (HostNameIs(dn, wantUpper)) {
      if (!found || dn < best) best.assign(dn);
      found = true;
    }
  });
  if (rc != kOk) return rc == kErrPathNotFound ? kDirGone : rc;
  if (!keep) return found ? kOk : kErrFileNotFound;
  auto hit = listing.byUpper.find(wantUpper);
  if (hit != listing.byUpper.end()) {
    best = hit->second;
    found = true;
  }
  if (listings_.size() >= kMaxListings) listings_.clear();
  listings_[dir->key] = std::move(listing);
  return found ? kOk : kErrFileNotFound;
}

int HostNames::List(const DirRef& dir, bool withDots,
                    const std::function<void(std::string_view, unsigned char)>& fn) {
  const int fd = openat(dir->fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? kErrPathNotFound : HostErrorCode(errno);
  alignas(8) char buf[32768];
  for (;;) {
    const ssize_t n = getdents64(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int rc = n < 0 ? HostErrorCode(errno) : kOk;
      close(fd);
      return rc;
    }
    for (ssize_t off = 0; off < n;) {
      const auto* de = reinterpret_cast<const struct dirent64*>(buf + off);
      off += de->d_reclen;
      const std::string_view name(de->d_name);
      if (withDots || (name != "." && name != "..")) fn(name, de->d_type);
    }
  }
}

// ---------------------------------------------------------------------------
// The layer's own changes

// The listing of a directory the layer made is kept up to date with its
// changes; that of any other one is read again at the next need (its time
// stamps now differ from the listing's, and another program may have
// changed it too before this change).
HostNames::Listing* HostNames::Changed(const DirRef& dir) {
  written_.insert(dir->key);
  auto it = listings_.find(dir->key);
  if (it == listings_.end()) return nullptr;
  if (it->second.made) return &it->second;
  listings_.erase(it);
  return nullptr;
}

void HostNames::Added(const DirRef& dir, const std::string& host) {
  Listing* l = Changed(dir);
  std::string up;
  if (!l || !HostNameUpper(host, up)) return;
  auto [slot, fresh] = l->byUpper.try_emplace(up, host);
  if (!fresh && host < slot->second) slot->second = host;
}

void HostNames::Removed(const DirRef& dir, const std::string& host) {
  Listing* l = Changed(dir);
  std::string up;
  if (!l || !HostNameUpper(host, up)) return;
  auto it = l->byUpper.find(up);
  // Another spelling of the same name may remain, which the listing does
  // not hold: it is read again at the next need.
  if (it != l->byUpper.end() && it->second == host) listings_.erase(dir->key);
}

void HostNames::MadeDir(const Place& place, const std::string& host) {
  Added(place.dir, host);
  // A directory kept under this name was another one, gone since.
  Drop(ChildKey(place.dirKey, place.name));
  struct stat st;
  if (fstatat(place.dir->fd, host.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
  const DirKey key{st.st_dev, st.st_ino};
  written_.insert(key);
  Listing empty;
  empty.made = true;
  if (listings_.size() >= kMaxListings) listings_.clear();
  listings_[key] = std::move(empty);
}

}  // namespace qm
