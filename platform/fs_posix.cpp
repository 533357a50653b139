// The host file system on Linux. Names are CP852 inside the program and
// UTF-8 on disk; the data sets come from a case-insensitive file system, so
// an existing name is found whatever its case, and the Win32 rules of
// sharing, locking and directory searches are emulated as far as POSIX lets.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/cp852.h"
#include "base/polish.h"
#include "platform/fs_posix.h"
#include "platform/host_fs.h"
#include "platform/wildcard.h"

namespace qm {

namespace {

// Win32 sharing emulated with open-file-description read locks on four
// bytes far beyond any data: every open marks what it may do and what it
// denies, and probes the markers of every other open of the file.
constexpr off_t kMarkerBase = static_cast<off_t>(0x7FFFFFFFFFFFFF00LL);
enum Marker : off_t { kHasRead = 0, kHasWrite = 1, kDenyRead = 2, kDenyWrite = 3 };

// ---------------------------------------------------------------------------
// Names

constexpr int kNegativeSeek = 131;  // Win32's answer to a seek before 0

bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

bool IsSep(char c) { return c == '/' || c == '\\'; }

// Splits a CP852 path into its components; absolute when it starts with a
// separator. A backslash separates as it does on Win32: no name coming from
// the package's data can hold one.
struct SplitPath {
  bool absolute = false;
  std::vector<std::string> parts;
};

SplitPath Split(const std::string& path) {
  SplitPath sp;
  sp.absolute = !path.empty() && IsSep(path[0]);
  std::string cur;
  for (char c : path) {
    if (IsSep(c)) {
      if (!cur.empty()) sp.parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) sp.parts.push_back(cur);
  return sp;
}

std::string Upper(const std::string& cp852) { return PlUpperCase(cp852); }

std::string JoinHost(const std::string& dir, const std::string& nameUtf8) {
  if (dir.empty()) return nameUtf8;
  if (dir.back() == '/') return dir + nameUtf8;
  return dir + "/" + nameUtf8;
}

// Win32 read-only attribute: no write permission for the class of users the
// program falls in (the superuser: no write bit at all).
bool ModeReadOnly(const struct stat& st) {
  // The program never changes its identity: asked once.
  static const uid_t uid = geteuid();
  static const gid_t gid = getegid();
  if (uid == 0) return (st.st_mode & 0222) == 0;
  if (st.st_uid == uid) return (st.st_mode & S_IWUSR) == 0;
  if (st.st_gid == gid) return (st.st_mode & S_IWGRP) == 0;
  return (st.st_mode & S_IWOTH) == 0;
}

// ---------------------------------------------------------------------------
// Open files

struct Range {
  uint64_t offset;
  uint64_t length;
};

struct OpenFile {
  int fd = -1;
  int access = 0;      // 0 read, 1 write, 2 read-write
  int markerFd = -1;   // a readable descriptor of the same file, or -1
  int writeFd = -1;    // a writable descriptor of the same file, or -1
  std::string host;    // host name at open time
  std::vector<Range> locks;
};

class PosixFind : public FindHandleBase {
 public:
  std::vector<FindEntry> entries;
  size_t next = 0;
};


// ---------------------------------------------------------------------------
// Case-insensitive resolution

// Checks a CP852 component for characters no name may hold.
bool BadName(const std::string& s) { return s.find('\0') != std::string::npos; }

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

uint64_t g_listingsRead = 0;

// Resolves CP852 paths to host paths without regard to case.
//
// A name missing as spelt is looked for in a listing of its directory. The
// listing of a directory is kept for later lookups only when it was read
// well after the directory last changed: any later change then gives the
// directory another modification time, which every use compares. (A change
// within the time stamp's granularity of the listing would not; hence the
// distance. Three seconds cover the two-second stamps of FAT media.) A
// directory being written to is therefore listed afresh for each miss.
class Resolver {
 public:
  // Finds the entry of host directory dir whose name equals the CP852 name
  // without regard to case. Exact spelling first (unless the caller has just
  // tried it); among several spellings that differ only in case the
  // smallest in byte order wins, so the choice does not depend on the order
  // of the listing. Gives 2 when there is no such entry.
  int FindInDir(const std::string& dir, const struct stat* dirSt, const std::string& name,
                bool exactTried, std::string& hostName, struct stat& st) {
    if (!exactTried) {
      const std::string exact = Cp852ToUtf8(name);
      if (stat(JoinHost(dir, exact).c_str(), &st) == 0) {
        hostName = exact;
        return kOk;
      }
      if (errno != ENOENT) return HostErrorCode(errno);
    }
    std::string best;
    const int rc = Lookup(dir, dirSt, PlUpperCase(name), best);
    if (rc != kOk) return rc;
    if (stat(JoinHost(dir, best).c_str(), &st) != 0)
      return errno == ENOENT ? kErrFileNotFound : HostErrorCode(errno);
    hostName = best;
    return kOk;
  }

  // Resolves the first count components of a split path, each of which must
  // be a directory; host receives the host path and hostSt its status. A
  // missing or non-directory component gives 3.
  int ResolveDirs(const SplitPath& sp, size_t count, std::string& host, struct stat& hostSt) {
    const std::string root = sp.absolute ? "/" : "";
    // The longest leading part that exists as spelt, searched from the end:
    // usually the whole directory or all of it but its last name.
    size_t known = count;
    for (; known > 0; --known) {
      std::string exact = root;
      for (size_t i = 0; i < known; ++i) exact = JoinHost(exact, Cp852ToUtf8(sp.parts[i]));
      if (stat(exact.c_str(), &hostSt) == 0) {
        if (!S_ISDIR(hostSt.st_mode)) return kErrPathNotFound;
        host = exact;
        break;
      }
      if (errno != ENOENT && errno != ENOTDIR) return HostErrorCode(errno);
    }
    if (known == 0) {
      host = root;
      if (stat(root.empty() ? "." : root.c_str(), &hostSt) != 0) return HostErrorCode(errno);
    }
    for (size_t i = known; i < count; ++i) {
      std::string name;
      struct stat st;
      const int rc = FindInDir(host, &hostSt, sp.parts[i], i == known, name, st);
      if (rc == kErrFileNotFound || rc == kErrPathNotFound) return kErrPathNotFound;
      if (rc != kOk) return rc;
      if (!S_ISDIR(st.st_mode)) return kErrPathNotFound;
      host = JoinHost(host, name);
      hostSt = st;
    }
    return kOk;
  }

 private:
  struct Listing {
    timespec mtime, ctime;
    std::unordered_map<std::string, std::string> byUpper;  // upper CP852 -> host name
  };
  struct DirKey {
    dev_t dev;
    ino_t ino;
    bool operator==(const DirKey&) const = default;
  };
  struct DirKeyHash {
    size_t operator()(const DirKey& k) const {
      return std::hash<uint64_t>()(static_cast<uint64_t>(k.ino) * 1000003u ^ static_cast<uint64_t>(k.dev));
    }
  };
  static constexpr time_t kSettleSeconds = 3;
  static constexpr size_t kMaxListings = 256;

  int Lookup(const std::string& dir, const struct stat* dirSt, const std::string& wantUpper,
             std::string& best) {
    const char* dirName = dir.empty() ? "." : dir.c_str();
    struct stat dst;
    if (dirSt) {
      dst = *dirSt;
    } else if (stat(dirName, &dst) != 0) {
      return errno == ENOENT || errno == ENOTDIR ? kErrPathNotFound : HostErrorCode(errno);
    }
    if (!S_ISDIR(dst.st_mode)) return kErrPathNotFound;
    const DirKey key{dst.st_dev, dst.st_ino};
    auto it = listings_.find(key);
    if (it != listings_.end()) {
      if (SameTime(it->second.mtime, dst.st_mtim) && SameTime(it->second.ctime, dst.st_ctim)) {
        auto hit = it->second.byUpper.find(wantUpper);
        if (hit == it->second.byUpper.end()) return kErrFileNotFound;
        best = hit->second;
        return kOk;
      }
      listings_.erase(it);
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const time_t changed = std::max(dst.st_mtim.tv_sec, dst.st_ctim.tv_sec);
    const bool settled = now.tv_sec - changed > kSettleSeconds;
    DIR* d = opendir(dirName);
    if (!d) return errno == ENOENT || errno == ENOTDIR ? kErrPathNotFound : HostErrorCode(errno);
    ++g_listingsRead;
    Listing listing{dst.st_mtim, dst.st_ctim, {}};
    bool found = false;
    std::string up;
    while (dirent* de = readdir(d)) {
      const std::string_view dn(de->d_name);
      if (dn == "." || dn == "..") continue;
      if (settled) {
        if (!HostNameUpper(dn, up)) continue;
        auto [slot, fresh] = listing.byUpper.try_emplace(up, dn);
        if (!fresh && dn < slot->second) slot->second.assign(dn);
      } else if (HostNameIs(dn, wantUpper)) {
        if (!found || dn < best) best.assign(dn);
        found = true;
      }
    }
    closedir(d);
    if (!settled) return found ? kOk : kErrFileNotFound;
    auto hit = listing.byUpper.find(wantUpper);
    if (hit != listing.byUpper.end()) {
      best = hit->second;
      found = true;
    }
    if (listings_.size() >= kMaxListings) listings_.clear();
    listings_.emplace(key, std::move(listing));
    return found ? kOk : kErrFileNotFound;
  }

  std::unordered_map<DirKey, Listing, DirKeyHash> listings_;
};

// A path resolved to an existing entry, or to the name as given inside an
// existing directory.
struct Resolved {
  std::string host;
  bool exists = false;
  struct stat st {};
  std::string lastName;  // CP852 name of the last component as given
};

// Errors: 3 for a missing directory on the way, 123 for an unusable name;
// a missing last component is not an error (exists is false).
int Resolve(Resolver& names, const std::string& path, Resolved& r) {
  if (path.empty()) return kErrPathNotFound;
  if (BadName(path)) return kErrInvalidName;
  const SplitPath sp = Split(path);
  if (sp.parts.empty()) {
    r.host = "/";
    r.exists = stat("/", &r.st) == 0;
    return kOk;
  }
  std::string exact = sp.absolute ? "/" : "";
  for (const auto& p : sp.parts) exact = JoinHost(exact, Cp852ToUtf8(p));
  r.lastName = sp.parts.back();
  if (stat(exact.c_str(), &r.st) == 0) {
    r.host = exact;
    r.exists = true;
    return kOk;
  }
  if (errno != ENOENT && errno != ENOTDIR) return HostErrorCode(errno);
  std::string dir;
  struct stat dirSt;
  int rc = names.ResolveDirs(sp, sp.parts.size() - 1, dir, dirSt);
  if (rc != kOk) return rc;
  std::string name;
  rc = names.FindInDir(dir, &dirSt, sp.parts.back(), true, name, r.st);
  if (rc == kOk) {
    r.host = JoinHost(dir, name);
    r.exists = true;
    return kOk;
  }
  if (rc != kErrFileNotFound) return rc;
  r.host = JoinHost(dir, Cp852ToUtf8(sp.parts.back()));
  r.exists = false;
  return kOk;
}

class PosixFileSystem : public FileSystem {
 public:
  ~PosixFileSystem() override {
    for (auto& [fd, f] : files_) {
      CloseAll(f);
      close(fd);
    }
  }

  int Open(const std::string& path, uint8_t mode, FileHandle& h) override;
  int Create(const std::string& path, FileHandle& h) override;
  int Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) override;
  int Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) override;
  int WriteAt(FileHandle h, int64_t pos, const void* buf, uint32_t n, uint32_t& put) override;
  int Seek(FileHandle h, int64_t pos) override;
  int Tell(FileHandle h, int64_t& pos) override;
  int Size(FileHandle h, int64_t& size) override;
  int SetEnd(FileHandle h) override;
  int Flush(FileHandle h) override;
  int Close(FileHandle h) override;
  int Lock(FileHandle h, uint64_t offset, uint64_t length) override;
  int Unlock(FileHandle h, uint64_t offset, uint64_t length) override;
  int FindFirst(const std::string& pattern, uint8_t attrMask, FindEntry& e,
                FindHandle& fh) override;
  int FindNext(FindHandle& fh, FindEntry& e) override;
  int MakeDir(const std::string& path) override;
  int Rename(const std::string& from, const std::string& to) override;
  int Remove(const std::string& path) override;
  int RemoveDir(const std::string& path) override;
  int SyncVolume(const std::string& path) override;
  int CurrentDir(std::string& path) override;

 private:
  OpenFile* Get(FileHandle h) {
    auto it = files_.find(h);
    return it == files_.end() ? nullptr : &it->second;
  }
  static void CloseAll(OpenFile& f) {
    if (f.markerFd >= 0 && f.markerFd != f.fd) close(f.markerFd);
    if (f.writeFd >= 0 && f.writeFd != f.fd) close(f.writeFd);
    f.markerFd = f.writeFd = -1;
  }
  int OpenResolved(const std::string& host, int access, int share, bool create, FileHandle& h);

  std::unordered_map<int, OpenFile> files_;
  Resolver names_;
};

// ---------------------------------------------------------------------------
// Locks

bool SetLock(int fd, short type, off_t start, off_t len, int& err) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return true;
  err = errno;
  return false;
}

// True when another open file holds a lock on the range.
bool OthersHold(int fd, off_t start, off_t len) {
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

// Opens a second descriptor of the same file; -1 when it cannot be had.
int Reopen(int fd, const std::string& host, int flags) {
  const int fd2 = open(host.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd2 < 0) return -1;
  struct stat a, b;
  if (fstat(fd, &a) != 0 || fstat(fd2, &b) != 0 || a.st_dev != b.st_dev || a.st_ino != b.st_ino) {
    close(fd2);
    return -1;
  }
  return fd2;
}

// Calls fn(first, count) for every run of neighbouring markers that are on.
template <class Fn>
void ForEachRun(const bool (&on)[4], Fn fn) {
  for (int i = 0; i < 4;) {
    int run = 0;
    while (i + run < 4 && on[i + run]) ++run;
    if (run > 0) fn(i, run);
    i += run > 0 ? run : 1;
  }
}

// Places this open's markers and checks them against every other open:
// true when the open may go on.
bool ShareAllowed(int markerFd, int access, int share, int dataFd) {
  const bool wantRead = access != 1, wantWrite = access != 0;
  const bool denyRead = share <= 1 || share == 3, denyWrite = share <= 2;
  if (markerFd >= 0) {
    // Neighbouring markers are placed and probed in one call per run: a
    // lock over several bytes conflicts with exactly what the one-byte locks
    // would.
    bool set[4] = {}, probe[4] = {};
    set[kHasRead] = probe[kDenyRead] = wantRead;
    set[kHasWrite] = probe[kDenyWrite] = wantWrite;
    set[kDenyRead] = probe[kHasRead] = denyRead;
    set[kDenyWrite] = probe[kHasWrite] = denyWrite;
    bool conflict = false;
    ForEachRun(set, [&](int first, int count) {
      int err = 0;
      SetLock(markerFd, F_RDLCK, kMarkerBase + first, count, err);
    });
    ForEachRun(probe, [&](int first, int count) {
      conflict = conflict || OthersHold(markerFd, kMarkerBase + first, count);
    });
    if (conflict) return false;
  }
  // A byte-range lock held elsewhere means that some program has the file
  // open, which an open denying others must not ignore.
  if ((denyRead || denyWrite) && OthersHold(dataFd, 0, kMarkerBase)) return false;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

uint64_t DirectoryListingsRead() { return g_listingsRead; }

int HostErrorCode(int err) {
  switch (err) {
    case 0: return kOk;
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case ELOOP: return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return kErrAccessDenied;
    case EBADF: return kErrInvalidHandle;
    case EMFILE:
    case ENFILE: return kErrTooManyOpenFiles;
    case ENOMEM: return kErrNotEnoughMemory;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kErrDiskFull;
    case EEXIST:
    case ENOTEMPTY: return kErrAlreadyExists;
    case EAGAIN: return kErrLockViolation;
    case ENOLCK: return kErrSharingBufferExceeded;
    case ETXTBSY:
    case EBUSY: return kErrSharingViolation;
    case ENAMETOOLONG: return kErrNameTooLong;
    case EINVAL: return kErrInvalidParameter;
    case EXDEV: return kErrNotSameDevice;
    default: return kErrGenFailure;
  }
}

int PosixFileSystem::OpenResolved(const std::string& host, int access, int share, bool create,
                                  FileHandle& h) {
  static constexpr int kAccessFlags[3] = {O_RDONLY, O_WRONLY, O_RDWR};
  const int flags = kAccessFlags[access] | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  // A new file is made with O_EXCL, so that it is known to be new (and not
  // read-only, whatever the umask made of it); an existing one is opened
  // and cut only once the sharing check has let the open through.
  bool created = false;
  int fd = -1;
  for (int attempt = 0; attempt < 3 && fd < 0; ++attempt) {
    if (create) {
      fd = open(host.c_str(), flags | O_CREAT | O_EXCL, 0666);
      if (fd >= 0) {
        created = true;
        break;
      }
      if (errno == EINTR) continue;
      if (errno != EEXIST) return HostErrorCode(errno);
    }
    fd = open(host.c_str(), flags);
    if (fd < 0 && errno != EINTR && !(create && errno == ENOENT)) return HostErrorCode(errno);
  }
  if (fd < 0) return HostErrorCode(errno);
  struct stat st;
  if (fstat(fd, &st) != 0) {
    const int rc = HostErrorCode(errno);
    close(fd);
    return rc;
  }
  // Directories, pipes and sockets are not files to the program.
  if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode) && !S_ISBLK(st.st_mode)) {
    close(fd);
    return kErrAccessDenied;
  }
  // A read-only file refuses write access even to the superuser, as the
  // read-only attribute does on Win32.
  if (access != 0 && !created && ModeReadOnly(st)) {
    close(fd);
    return kErrAccessDenied;
  }
  // Only the status flags count here, and O_NONBLOCK (against a FIFO that
  // would block the open) is the only one the open set.
  fcntl(fd, F_SETFL, 0);
  OpenFile f;
  f.fd = fd;
  f.access = access;
  f.host = host;
  f.markerFd = access == 1 ? Reopen(fd, host, O_RDONLY) : fd;
  if (!ShareAllowed(f.markerFd, access, share, fd)) {
    CloseAll(f);
    close(fd);
    return kErrSharingViolation;
  }
  if (create && !created && ftruncate(fd, 0) != 0) {
    const int rc = HostErrorCode(errno);
    CloseAll(f);
    close(fd);
    return rc;
  }
  files_[fd] = std::move(f);
  h = fd;
  return kOk;
}

int PosixFileSystem::Open(const std::string& path, uint8_t mode, FileHandle& h) {
  h = kNoHandle;
  const int access = mode & 3;
  const int share = (mode & 0xF0) >> 4;
  if (access == 3 || share > 4) return kErrInvalidAccess;
  if (HasWildcard(path)) return kErrInvalidName;
  Resolved r;
  int rc = Resolve(names_, path, r);
  if (rc != kOk) return rc;
  if (!r.exists) return kErrFileNotFound;
  if (S_ISDIR(r.st.st_mode)) return kErrAccessDenied;
  return OpenResolved(r.host, access, share, false, h);
}

int PosixFileSystem::Create(const std::string& path, FileHandle& h) {
  h = kNoHandle;
  if (HasWildcard(path)) return kErrInvalidName;
  Resolved r;
  int rc = Resolve(names_, path, r);
  if (rc != kOk) return rc;
  if (r.lastName.empty() || r.lastName == "." || r.lastName == "..") return kErrAccessDenied;
  if (r.exists && S_ISDIR(r.st.st_mode)) return kErrAccessDenied;
  return OpenResolved(r.host, 2, 4, true, h);
}

int PosixFileSystem::Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) {
  got = 0;
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (f->access == 1) return kErrAccessDenied;
  auto* p = static_cast<char*>(buf);
  while (got < n) {
    const ssize_t r = read(f->fd, p + got, n - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      return errno == EIO ? kErrReadFault : HostErrorCode(errno);
    }
    if (r == 0) break;
    got += static_cast<uint32_t>(r);
  }
  return kOk;
}

namespace {

// Writes all n bytes, at the file position (pos < 0) or at pos; a host
// that takes part of a block is asked again for the rest.
int WriteAll(int fd, const void* buf, uint32_t n, int64_t pos, uint32_t& put) {
  const auto* p = static_cast<const char*>(buf);
  while (put < n) {
    const ssize_t r = pos < 0 ? write(fd, p + put, n - put)
                              : pwrite(fd, p + put, n - put, static_cast<off_t>(pos + put));
    if (r < 0) {
      if (errno == EINTR) continue;
      return errno == EIO ? kErrWriteFault : HostErrorCode(errno);
    }
    if (r == 0) return kErrDiskFull;
    put += static_cast<uint32_t>(r);
  }
  return kOk;
}

}  // namespace

int PosixFileSystem::Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) {
  put = 0;
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (f->access == 0) return kErrAccessDenied;
  return WriteAll(f->fd, buf, n, -1, put);
}

int PosixFileSystem::WriteAt(FileHandle h, int64_t pos, const void* buf, uint32_t n, uint32_t& put) {
  put = 0;
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (pos < 0) return kNegativeSeek;
  if (f->access == 0) return kErrAccessDenied;
  return WriteAll(f->fd, buf, n, pos, put);
}

int PosixFileSystem::Seek(FileHandle h, int64_t pos) {
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (pos < 0) return kNegativeSeek;
  if (lseek(f->fd, static_cast<off_t>(pos), SEEK_SET) < 0) return HostErrorCode(errno);
  return kOk;
}

int PosixFileSystem::Tell(FileHandle h, int64_t& pos) {
  pos = 0;
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  const off_t r = lseek(f->fd, 0, SEEK_CUR);
  if (r < 0) return HostErrorCode(errno);
  pos = r;
  return kOk;
}

int PosixFileSystem::Size(FileHandle h, int64_t& size) {
  size = 0;
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  struct stat st;
  if (fstat(f->fd, &st) != 0) return HostErrorCode(errno);
  size = st.st_size;
  return kOk;
}

int PosixFileSystem::SetEnd(FileHandle h) {
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (f->access == 0) return kErrAccessDenied;
  const off_t pos = lseek(f->fd, 0, SEEK_CUR);
  if (pos < 0) return HostErrorCode(errno);
  int r;
  do r = ftruncate(f->fd, pos);
  while (r != 0 && errno == EINTR);
  return r == 0 ? kOk : HostErrorCode(errno);
}

int PosixFileSystem::Flush(FileHandle h) {
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (f->access == 0) return kErrAccessDenied;
  // Data and size reach the disk; the time stamps may follow later, which
  // spares a second journal write for every insertion into the list.
  if (fdatasync(f->fd) != 0) {
    if (errno == EINVAL || errno == EROFS) return kOk;  // nothing to sync on this kind of file
    return errno == EIO ? kErrWriteFault : HostErrorCode(errno);
  }
  return kOk;
}

int PosixFileSystem::Close(FileHandle h) {
  auto it = files_.find(h);
  if (it == files_.end()) return kErrInvalidHandle;
  OpenFile f = std::move(it->second);
  files_.erase(it);
  CloseAll(f);
  // The descriptor is gone whatever close reports; an I/O error means that
  // written data may not have reached the file, and is reported.
  if (close(f.fd) != 0 && errno == EIO) return kErrWriteFault;
  return kOk;
}

int PosixFileSystem::Lock(FileHandle h, uint64_t offset, uint64_t length) {
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  const uint64_t end = length > UINT64_MAX - offset ? UINT64_MAX : offset + length;
  // Win32 locks never overlap, not even two of the same handle.
  for (const Range& r : f->locks) {
    if (length == 0 || r.length == 0) continue;
    const uint64_t rend = r.length > UINT64_MAX - r.offset ? UINT64_MAX : r.offset + r.length;
    if (offset < rend && r.offset < end) return kErrLockViolation;
  }
  // The host lock covers what lies below the sharing markers.
  const uint64_t base = static_cast<uint64_t>(kMarkerBase);
  if (length != 0 && offset < base) {
    const off_t start = static_cast<off_t>(offset);
    const off_t len = static_cast<off_t>(std::min(end, base) - offset);
    if (f->writeFd < 0 && f->access == 0) f->writeFd = Reopen(f->fd, f->host, O_RDWR);
    int err = 0;
    bool ok;
    if (f->access != 0)
      ok = SetLock(f->fd, F_WRLCK, start, len, err);
    else if (f->writeFd >= 0)
      ok = SetLock(f->writeFd, F_WRLCK, start, len, err);
    else
      ok = SetLock(f->fd, F_RDLCK, start, len, err);  // the best a read-only file allows
    if (!ok) return err == EAGAIN || err == EACCES ? kErrLockViolation : HostErrorCode(err);
  }
  f->locks.push_back({offset, length});
  return kOk;
}

int PosixFileSystem::Unlock(FileHandle h, uint64_t offset, uint64_t length) {
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  auto it = std::find_if(f->locks.begin(), f->locks.end(), [&](const Range& r) {
    return r.offset == offset && r.length == length;
  });
  if (it == f->locks.end()) return kErrNotLocked;
  const uint64_t base = static_cast<uint64_t>(kMarkerBase);
  if (length != 0 && offset < base) {
    const uint64_t end = length > UINT64_MAX - offset ? UINT64_MAX : offset + length;
    const off_t start = static_cast<off_t>(offset);
    const off_t len = static_cast<off_t>(std::min(end, base) - offset);
    const int fd = f->access == 0 && f->writeFd >= 0 ? f->writeFd : f->fd;
    int err = 0;
    if (!SetLock(fd, F_UNLCK, start, len, err)) return HostErrorCode(err);
  }
  f->locks.erase(it);
  return kOk;
}

// ---------------------------------------------------------------------------
// Directory search

namespace {

bool EntryFor(const struct stat& st, const std::string& cpName, FindEntry& e) {
  e.name = cpName;
  e.size = 0;
  if (S_ISDIR(st.st_mode)) {
    e.attr = kAttrDirectory;
  } else if (S_ISREG(st.st_mode)) {
    e.attr = kAttrArchive;
    e.size = st.st_size;
  } else {
    return false;  // pipes, sockets, devices: nothing the program can copy
  }
  if (ModeReadOnly(st)) e.attr |= kAttrReadOnly;
  return true;
}

bool MaskAllows(uint8_t attr, uint8_t mask) {
  const uint8_t special = kAttrHidden | kAttrSystem | kAttrVolume | kAttrDirectory;
  return (attr & special & ~mask) == 0;
}

// Listing order: "." and ".." first, then by upper-cased CP852 name, ties by
// the name itself, so that every run sees the same order.
bool EntryBefore(const FindEntry& a, const FindEntry& b) {
  const bool ad = a.name == "." || a.name == "..", bd = b.name == "." || b.name == "..";
  if (ad != bd) return ad;
  const std::string ua = Upper(a.name), ub = Upper(b.name);
  if (ua != ub) return ua < ub;
  return a.name < b.name;
}

}  // namespace

int PosixFileSystem::FindFirst(const std::string& pattern, uint8_t attrMask, FindEntry& e,
                               FindHandle& fh) {
  fh.reset();
  e = FindEntry();
  if (pattern.empty()) return kErrPathNotFound;
  if (BadName(pattern)) return kErrInvalidName;
  if (IsSep(pattern.back())) return kErrFileNotFound;
  const SplitPath sp = Split(pattern);
  if (sp.parts.empty()) return kErrFileNotFound;
  const std::string& last = sp.parts.back();
  auto find = std::make_unique<PosixFind>();
  // Most names are asked for as they are spelt on disk: one status call.
  std::string exactDir = sp.absolute ? "/" : "";
  for (size_t i = 0; i + 1 < sp.parts.size(); ++i) exactDir = JoinHost(exactDir, Cp852ToUtf8(sp.parts[i]));
  bool exactMissing = false;
  if (!HasWildcard(last) && last != "." && last != "..") {
    const std::string exact = JoinHost(exactDir, Cp852ToUtf8(last));
    struct stat st;
    if (stat(exact.c_str(), &st) != 0) {
      exactMissing = errno == ENOENT;
    } else {
      FindEntry one;
      if (!EntryFor(st, last, one) || !MaskAllows(one.attr, attrMask)) return kErrFileNotFound;
      e = one;
      find->entries.push_back(std::move(one));
      find->next = 1;
      fh = std::move(find);
      return kOk;
    }
  }
  std::string dir;
  struct stat dirSt;
  int rc = names_.ResolveDirs(sp, sp.parts.size() - 1, dir, dirSt);
  if (rc != kOk) return rc;
  const std::string dirName = dir.empty() ? "." : dir;
  if (!HasWildcard(last)) {
    std::string hostName;
    struct stat st;
    rc = names_.FindInDir(dir, &dirSt, last, exactMissing && dir == exactDir, hostName, st);
    if (rc != kOk) return rc == kErrPathNotFound ? kErrPathNotFound : rc;
    FindEntry one;
    const bool ok = EntryFor(st, last == "." || last == ".." ? last : Utf8ToCp852(hostName), one);
    if (!ok || !MaskAllows(one.attr, attrMask)) return kErrFileNotFound;
    find->entries.push_back(one);
  } else {
    DIR* d = opendir(dirName.c_str());
    if (!d) {
      const int err = errno;
      return err == ENOENT || err == ENOTDIR ? kErrPathNotFound : HostErrorCode(err);
    }
    const std::vector<int> compiled = CompileWildcard(last);
    const bool atRoot = dir == "/";
    while (dirent* de = readdir(d)) {
      const std::string hostName = de->d_name;
      if (atRoot && (hostName == "." || hostName == "..")) continue;
      // A host name holding a backslash cannot be addressed by the program.
      if (hostName.find('\\') != std::string::npos) continue;
      const std::string cp = Utf8ToCp852(hostName);
      const std::string up = Upper(cp);
      if (!WildcardMatches(compiled, up)) continue;
      FindEntry fe;
      struct stat st;
      if (fstatat(dirfd(d), hostName.c_str(), &st, 0) != 0 || !EntryFor(st, cp, fe)) continue;
      if (!MaskAllows(fe.attr, attrMask)) continue;
      find->entries.push_back(std::move(fe));
    }
    closedir(d);
    if (find->entries.empty()) return kErrFileNotFound;
    std::sort(find->entries.begin(), find->entries.end(), EntryBefore);
  }
  e = find->entries[0];
  find->next = 1;
  fh = std::move(find);
  return kOk;
}

int PosixFileSystem::FindNext(FindHandle& fh, FindEntry& e) {
  auto* f = dynamic_cast<PosixFind*>(fh.get());
  if (!f) return kErrInvalidHandle;
  if (f->next >= f->entries.size()) return kErrNoMoreFiles;
  e = f->entries[f->next++];
  return kOk;
}

// ---------------------------------------------------------------------------
// Directories and names

int PosixFileSystem::MakeDir(const std::string& path) {
  if (HasWildcard(path)) return kErrInvalidName;
  Resolved r;
  int rc = Resolve(names_, path, r);
  if (rc != kOk) return rc;
  if (r.exists) return kErrAlreadyExists;
  if (mkdir(r.host.c_str(), 0777) != 0) return HostErrorCode(errno);
  return kOk;
}

namespace {

// True when some open of the file (this program's or another's) would make
// Win32 refuse to rename or delete it: every open places a sharing marker,
// and a byte-range lock shows that some program has it open.
bool FileInUse(const std::string& host) {
  const int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  const bool used = OthersHold(fd, 0, kMarkerBase) || OthersHold(fd, kMarkerBase, 4);
  close(fd);
  return used;
}

}  // namespace

int PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  if (HasWildcard(from) || HasWildcard(to)) return kErrInvalidName;
  Resolved src, dst;
  int rc = Resolve(names_, from, src);
  if (rc != kOk) return rc;
  if (!src.exists) return kErrFileNotFound;
  rc = Resolve(names_, to, dst);
  if (rc != kOk) return rc;
  if (dst.lastName.empty()) return kErrAccessDenied;
  if (dst.exists) {
    const bool same = dst.st.st_dev == src.st.st_dev && dst.st.st_ino == src.st.st_ino;
    if (!same) return kErrAlreadyExists;
    // Only the case of the name changes: the new spelling is taken as given.
    const size_t slash = dst.host.rfind('/');
    dst.host = (slash == std::string::npos ? std::string() : dst.host.substr(0, slash + 1)) +
               Cp852ToUtf8(dst.lastName);
    if (dst.host == src.host) return kOk;
  }
  if (S_ISREG(src.st.st_mode) && FileInUse(src.host)) return kErrSharingViolation;
  // Never replace an existing entry, even one that appears meanwhile.
  if (renameat2(AT_FDCWD, src.host.c_str(), AT_FDCWD, dst.host.c_str(), RENAME_NOREPLACE) == 0)
    return kOk;
  if (errno != EINVAL && errno != ENOSYS) return HostErrorCode(errno);
  // A file system without the no-replace rename: a hard link is as safe for
  // files; a directory has to trust the check above.
  if (S_ISREG(src.st.st_mode) && link(src.host.c_str(), dst.host.c_str()) == 0) {
    unlink(src.host.c_str());
    return kOk;
  }
  struct stat st;
  if (lstat(dst.host.c_str(), &st) == 0) return kErrAlreadyExists;
  if (rename(src.host.c_str(), dst.host.c_str()) != 0) return HostErrorCode(errno);
  return kOk;
}

int PosixFileSystem::Remove(const std::string& path) {
  if (HasWildcard(path)) return kErrInvalidName;
  Resolved r;
  int rc = Resolve(names_, path, r);
  if (rc != kOk) return rc;
  if (!r.exists) return kErrFileNotFound;
  if (S_ISDIR(r.st.st_mode)) return kErrAccessDenied;
  if (ModeReadOnly(r.st)) return kErrAccessDenied;
  if (FileInUse(r.host)) return kErrSharingViolation;
  if (unlink(r.host.c_str()) != 0) return HostErrorCode(errno);
  return kOk;
}

int PosixFileSystem::RemoveDir(const std::string& path) {
  if (HasWildcard(path)) return kErrInvalidName;
  Resolved r;
  int rc = Resolve(names_, path, r);
  if (rc != kOk) return rc;
  if (!r.exists) return kErrPathNotFound;
  if (!S_ISDIR(r.st.st_mode)) return kErrInvalidName;
  if (rmdir(r.host.c_str()) != 0) return errno == ENOTEMPTY || errno == EEXIST ? kErrDirNotEmpty : HostErrorCode(errno);
  return kOk;
}

int PosixFileSystem::SyncVolume(const std::string& path) {
  Resolved r;
  const int rc = Resolve(names_, path, r);
  if (rc != kOk) return rc;
  if (!r.exists) return kErrPathNotFound;
  const int fd = open(r.host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return HostErrorCode(errno);
  const int err = syncfs(fd) == 0 ? 0 : errno;
  close(fd);
  return err == 0 ? kOk : HostErrorCode(err);
}

int PosixFileSystem::CurrentDir(std::string& path) {
  path.clear();
  std::vector<char> buf(4096);
  while (!getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE) return HostErrorCode(errno);
    buf.resize(buf.size() * 2);
  }
  path = Utf8ToCp852(buf.data());
  return kOk;
}

std::unique_ptr<FileSystem> MakeHostFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace qm
