// The host file system on Linux. Names are CP852 inside the program and
// UTF-8 on disk; the data sets come from a case-insensitive file system, so
// an existing name is found whatever its case (names_posix.h), and the Win32
// rules of sharing, locking and directory searches are emulated as far as
// POSIX lets. Below a guarded root no call follows a symbolic link.
//
// A transfer opens tens of thousands of small files, so the layer counts
// its system calls: directories stay open between calls, file positions are
// kept here and every read and write is positional (no seek before it), a
// file made by the open itself needs no status call and no look at other
// opens' sharing markers, and whole files are copied inside the kernel.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string_view>
#include <utility>
#include <unordered_map>
#include <vector>

#include "base/cp852.h"
#include "base/polish.h"
#include "platform/host_fs.h"
#include "platform/names_posix.h"
#include "platform/wildcard.h"

namespace qm {

namespace {

// Win32 sharing emulated with open-file-description read locks on four
// bytes far beyond any data: every open marks what it may do and what it
// denies, and probes the markers of every other open of the file.
constexpr off_t kMarkerBase = static_cast<off_t>(0x7FFFFFFFFFFFFF00LL);
enum Marker : off_t { kHasRead = 0, kHasWrite = 1, kDenyRead = 2, kDenyWrite = 3 };

constexpr int kNegativeSeek = 131;  // Win32's answer to a seek before 0

// Every open: O_NONBLOCK keeps a FIFO from blocking the open (such a file is
// refused right after).
constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// The largest piece one in-kernel copy call is asked for.
constexpr int64_t kCopyPiece = int64_t{1} << 30;

bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

bool IsSep(char c) { return c == '/' || c == '\\'; }

bool IsDots(const std::string& s) { return s == "." || s == ".."; }

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

// The code of a failed open of a name in a directory.
int OpenError(int err, bool guarded) {
  if (err == ELOOP && guarded) return kErrLinkRefused;  // O_NOFOLLOW met a link
  return HostErrorCode(err);
}

// ---------------------------------------------------------------------------
// Open files

struct Range {
  uint64_t offset;
  uint64_t length;
};

// How an open came to its file.
enum class Opened : uint8_t {
  kExisting,  // an existing file, left as it is
  kCut,       // an existing file, cut to nothing once sharing let it
  kMade,      // made by this open (O_EXCL): new, empty, a regular file
};

struct OpenFile {
  int fd = -1;
  int access = 0;      // 0 read, 1 write, 2 read-write
  int markerFd = -1;   // a readable descriptor of the same file, or -1
  int writeFd = -1;    // a writable descriptor of the same file, or -1
  // Regular files are read and written at the position kept here; other
  // files (devices) use the kernel's.
  bool positional = true;
  int64_t pos = 0;
  // The size the open found, until the file is read, written, cut,
  // flushed, locked or copied through this open (-1 then): the size asked
  // for right after an open needs no second status call.
  int64_t openSize = -1;
  // The size last known: a read that ends short at or beyond it has met
  // the end of the file; one that ends short before it is asked again.
  int64_t knownSize = 0;
  dev_t dev = 0;  // the file system it lies on
  bool made = false;  // made by the Create that opened it
  std::vector<Range> locks;
};

class PosixFind : public FindHandleBase {
 public:
  std::vector<FindEntry> entries;
  size_t next = 0;
};

// ---------------------------------------------------------------------------
// Locks and sharing markers

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

// Opens a second descriptor of the same file, through the process's own
// view of its descriptors, so that no name is walked again (and no link
// put there since can be followed); -1 when it cannot be had.
int Reopen(int fd, int flags) {
  char path[40];
  snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  const int fd2 = open(path, flags | kOpenFlags);
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
// true when the open may go on. A file this open has just made (O_EXCL)
// had no other open and no lock before it: its markers are placed for
// others to see, with nothing to probe.
bool ShareAllowed(int markerFd, int access, int share, int dataFd, Opened how) {
  const bool wantRead = access != 1, wantWrite = access != 0;
  const bool denyRead = share <= 1 || share == 3, denyWrite = share <= 2;
  const bool probe = how != Opened::kMade;
  if (markerFd >= 0) {
    // Neighbouring markers are placed and probed in one call per run: a
    // lock over several bytes conflicts with exactly what the one-byte locks
    // would.
    bool set[4] = {}, ask[4] = {};
    set[kHasRead] = ask[kDenyRead] = wantRead;
    set[kHasWrite] = ask[kDenyWrite] = wantWrite;
    set[kDenyRead] = ask[kHasRead] = denyRead;
    set[kDenyWrite] = ask[kHasWrite] = denyWrite;
    bool conflict = false;
    ForEachRun(set, [&](int first, int count) {
      int err = 0;
      SetLock(markerFd, F_RDLCK, kMarkerBase + first, count, err);
    });
    if (probe) {
      ForEachRun(ask, [&](int first, int count) {
        conflict = conflict || OthersHold(markerFd, kMarkerBase + first, count);
      });
    }
    if (conflict) return false;
  }
  // A byte-range lock held elsewhere means that some program has the file
  // open, which an open denying others must not ignore.
  if (probe && (denyRead || denyWrite) && OthersHold(dataFd, 0, kMarkerBase)) return false;
  return true;
}

// True when some open of the file (this program's or another's) would make
// Win32 refuse to rename or delete it: every open places a sharing marker,
// and a byte-range lock shows that some program has it open.
bool FileInUse(int dirFd, const std::string& host, bool guarded) {
  const int fd = openat(dirFd, host.c_str(), O_RDONLY | kOpenFlags | (guarded ? O_NOFOLLOW : 0));
  if (fd < 0) return false;
  const bool used = OthersHold(fd, 0, kMarkerBase) || OthersHold(fd, kMarkerBase, 4);
  close(fd);
  return used;
}

// ---------------------------------------------------------------------------
// Directory entries

bool EntryFor(const struct stat& st, const std::string& cpName, bool link, FindEntry& e) {
  e.name = cpName;
  e.size = 0;
  e.link = link;
  if (S_ISLNK(st.st_mode)) {
    e.attr = kAttrArchive;  // a link's own entry (below a guarded root)
    e.size = st.st_size;
  } else if (S_ISDIR(st.st_mode)) {
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
  const std::string ua = PlUpperCase(a.name), ub = PlUpperCase(b.name);
  if (ua != ub) return ua < ub;
  return a.name < b.name;
}

// ---------------------------------------------------------------------------

class PosixFileSystem : public FileSystem {
 public:
  ~PosixFileSystem() override {
    for (auto& [fd, f] : files_) {
      CloseExtra(f);
      close(fd);
    }
  }

  int Open(const std::string& path, uint8_t mode, FileHandle& h) override;
  int Create(const std::string& path, FileHandle& h) override;
  int Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) override;
  int Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) override;
  int ReadAt(FileHandle h, int64_t pos, void* buf, uint32_t n, uint32_t& got) override;
  int WriteAt(FileHandle h, int64_t pos, const void* buf, uint32_t n, uint32_t& put) override;
  int CopyData(FileHandle src, FileHandle dst, int64_t& copied) override;
  int MoveUp(FileHandle h, int64_t from, int64_t length, uint32_t by) override;
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
  int CurrentDir(std::string& path) override;
  int SyncVolume(const std::string& path) override;
  bool SameVolume(const std::string& a, const std::string& b) override;
  int TakeOwnership(FileHandle h, const std::string& model) override;
  int TakeDirOwnership(const std::string& dir, const std::string& model) override;

 private:
  OpenFile* Get(FileHandle h) {
    auto it = files_.find(h);
    return it == files_.end() ? nullptr : &it->second;
  }
  static void CloseExtra(OpenFile& f) {
    if (f.markerFd >= 0 && f.markerFd != f.fd) close(f.markerFd);
    if (f.writeFd >= 0 && f.writeFd != f.fd) close(f.writeFd);
    f.markerFd = f.writeFd = -1;
  }
  int OpenExisting(Place& place, int flags, int& fd);
  int CreateIn(Place& place, std::string host, FileHandle& h);
  int Adopt(int fd, int access, int share, Opened how, bool readable, dev_t dev, FileHandle& h);
  int ReadFrom(OpenFile& f, int64_t pos, void* buf, uint32_t n, uint32_t& got);
  int FindOne(Place& place, uint8_t attrMask, std::vector<FindEntry>& out);
  int FindMatching(const Place& place, uint8_t attrMask, std::vector<FindEntry>& out);
  int StatusOfModel(const std::string& model, struct stat& st);

  std::unordered_map<int, OpenFile> files_;
  HostNames names_;
  // Pairs of file systems (source, destination) between which the kernel
  // would not copy.
  std::set<std::pair<dev_t, dev_t>> refusedCopies_;
};

}  // namespace

// ---------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------
// Opening

// Opens the place's name, an existing file, as spelt or else in another
// case; below a guarded root never through a link.
int PosixFileSystem::OpenExisting(Place& place, int flags, int& fd) {
  const int open = flags | kOpenFlags | (place.guarded ? O_NOFOLLOW : 0);
  fd = openat(place.dir->fd, place.HostName().c_str(), open);
  if (fd >= 0) return kOk;
  int err = errno;
  if (err == ENOENT && !place.name.empty() && !IsDots(place.name)) {
    Found found;
    const int rc = names_.FindOtherSpelling(place, found);
    if (rc != kOk) return rc;
    if (found.link && place.guarded) return kErrLinkRefused;
    if (S_ISDIR(found.st.st_mode)) return kErrAccessDenied;
    fd = openat(place.dir->fd, found.host.c_str(), open);
    if (fd >= 0) return kOk;
    err = errno;
  }
  return OpenError(err, place.guarded);
}

int PosixFileSystem::Open(const std::string& path, uint8_t mode, FileHandle& h) {
  h = kNoHandle;
  const int access = mode & 3;
  const int share = (mode & 0xF0) >> 4;
  if (access == 3 || share > 4) return kErrInvalidAccess;
  if (HasWildcard(path)) return kErrInvalidName;
  Place place;
  int rc = names_.Locate(path, place);
  if (rc != kOk) return rc;
  // Write access opens read-write when it can, so that the descriptor
  // itself carries the sharing markers (read locks need a readable one).
  static constexpr int kAccessFlags[3] = {O_RDONLY, O_RDWR, O_RDWR};
  int fd = -1;
  rc = OpenExisting(place, kAccessFlags[access], fd);
  bool readable = true;
  if (rc == kErrAccessDenied && access == 1) {
    rc = OpenExisting(place, O_WRONLY, fd);
    readable = false;
  }
  if (rc != kOk) return rc;
  return Adopt(fd, access, share, Opened::kExisting, readable, 0, h);
}

int PosixFileSystem::Create(const std::string& path, FileHandle& h) {
  h = kNoHandle;
  if (HasWildcard(path)) return kErrInvalidName;
  Place place;
  int rc = names_.Locate(path, place);
  if (rc != kOk) return rc;
  if (place.name.empty() || IsDots(place.name)) return kErrAccessDenied;
  std::string host = place.HostName();
  // A name no listing knows in any spelling is made as spelt straight away.
  if (!names_.KnownAbsent(place)) {
    Found found;
    rc = names_.Find(place, found);
    if (rc == kOk) {
      if (found.link && place.guarded) return kErrLinkRefused;
      if (S_ISDIR(found.st.st_mode)) return kErrAccessDenied;
      host = found.host;
    } else if (rc != kErrFileNotFound) {
      return rc;
    }
  }
  return CreateIn(place, std::move(host), h);
}

// Makes the file new with O_EXCL, so that it is known to be new (and not
// read-only, whatever the umask made of it), or opens the existing one, to
// be cut only once the sharing check has let the open through. With
// O_EXCL a link in the name's place is never followed: a link pointing
// nowhere does not make its target.
int PosixFileSystem::CreateIn(Place& place, std::string host, FileHandle& h) {
  const int flags = O_RDWR | kOpenFlags | (place.guarded ? O_NOFOLLOW : 0);
  bool relocated = false;
  for (int attempt = 0; attempt < 3; ++attempt) {
    int fd = openat(place.dir->fd, host.c_str(), flags | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
      names_.Added(place.dir, host);
      return Adopt(fd, 2, 4, Opened::kMade, true, place.dir->key.dev, h);
    }
    int err = errno;
    if (err == ENOENT && !relocated) {
      // Only a directory removed since it was opened says this here.
      relocated = true;
      if (const int rc = names_.Relocate(place); rc != kOk) return rc;
      continue;
    }
    if (err != EEXIST && err != EINTR) return HostErrorCode(err);
    if (err == EEXIST) {
      fd = openat(place.dir->fd, host.c_str(), flags);
      if (fd >= 0) return Adopt(fd, 2, 4, Opened::kCut, true, 0, h);
      err = errno;
      // Removed meanwhile (or, outside the roots, a link that points
      // nowhere): made again on the next attempt.
      if (err != ENOENT && err != EINTR) return OpenError(err, place.guarded);
    }
  }
  return kErrFileNotFound;
}

// Takes an open descriptor on as a handle: checks what it opened, places
// the sharing markers and, for a create, cuts the file.
// dev: the file system of a file the open made (the others' is asked).
int PosixFileSystem::Adopt(int fd, int access, int share, Opened how, bool readable, dev_t dev, FileHandle& h) {
  OpenFile f;
  f.fd = fd;
  f.access = access;
  f.dev = dev;
  if (how == Opened::kMade) {
    f.openSize = 0;
    f.made = true;
  } else {
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
    if (access != 0 && ModeReadOnly(st)) {
      close(fd);
      return kErrAccessDenied;
    }
    f.positional = S_ISREG(st.st_mode);
    // Regular files ignore O_NONBLOCK; a device is given back the blocking
    // reads and writes it is used with.
    if (!f.positional) fcntl(fd, F_SETFL, 0);
    f.openSize = f.knownSize = st.st_size;
    f.dev = st.st_dev;
  }
  // Read locks need a readable descriptor; a file that could be opened
  // for writing only gets one of its own when it can.
  f.markerFd = readable ? fd : Reopen(fd, O_RDONLY);
  int rc = kOk;
  if (!ShareAllowed(f.markerFd, access, share, fd, how)) {
    rc = kErrSharingViolation;
  } else if (how == Opened::kCut && ftruncate(fd, 0) != 0) {
    rc = HostErrorCode(errno);
  }
  if (rc != kOk) {
    CloseExtra(f);
    close(fd);
    return rc;
  }
  if (how == Opened::kCut) f.openSize = f.knownSize = 0;
  files_[fd] = std::move(f);
  h = fd;
  return kOk;
}

// ---------------------------------------------------------------------------
// Reading and writing

// Reads up to n bytes at pos (the kernel's position for a device, pos < 0).
int PosixFileSystem::ReadFrom(OpenFile& f, int64_t pos, void* buf, uint32_t n, uint32_t& got) {
  f.openSize = -1;
  auto* p = static_cast<char*>(buf);
  while (got < n) {
    const ssize_t r = pos < 0 ? read(f.fd, p + got, n - got) : pread(f.fd, p + got, n - got, pos + got);
    if (r < 0) {
      if (errno == EINTR) continue;
      return errno == EIO ? kErrReadFault : HostErrorCode(errno);
    }
    if (r == 0) break;
    got += static_cast<uint32_t>(r);
    // A regular file gives less than asked only at its end: no second
    // call to hear it say so, unless the end lies beyond what it gave.
    if (pos >= 0 && got < n && pos + got >= f.knownSize) break;
  }
  if (pos >= 0) f.knownSize = std::max(f.knownSize, pos + got);
  return kOk;
}

int PosixFileSystem::Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) {
  got = 0;
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (f->access == 1) return kErrAccessDenied;
  const int rc = ReadFrom(*f, f->positional ? f->pos : -1, buf, n, got);
  if (f->positional) f->pos += got;
  return rc;
}

int PosixFileSystem::ReadAt(FileHandle h, int64_t pos, void* buf, uint32_t n, uint32_t& got) {
  got = 0;
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (pos < 0) return kNegativeSeek;
  if (f->access == 1) return kErrAccessDenied;
  return ReadFrom(*f, pos, buf, n, got);
}

namespace {

// Writes all n bytes, at the kernel's position (pos < 0) or at pos; a host
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
  f->openSize = -1;
  const int rc = WriteAll(f->fd, buf, n, f->positional ? f->pos : -1, put);
  if (f->positional) {
    f->pos += put;
    f->knownSize = std::max(f->knownSize, f->pos);
  }
  return rc;
}

int PosixFileSystem::WriteAt(FileHandle h, int64_t pos, const void* buf, uint32_t n, uint32_t& put) {
  put = 0;
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (pos < 0) return kNegativeSeek;
  if (f->access == 0) return kErrAccessDenied;
  f->openSize = -1;
  const int rc = WriteAll(f->fd, buf, n, pos, put);
  f->knownSize = std::max(f->knownSize, pos + put);
  return rc;
}

// In the file's mapping the pieces move without a system call each: a sorted
// insertion near the front of a long list moves a million records. Piece by
// piece from the top down, as the base does it, so that the state a kill
// can leave stays the same (never two overlapping bytes of one copy). A file
// that cannot be mapped is left to the base.
int PosixFileSystem::MoveUp(FileHandle h, int64_t from, int64_t length, uint32_t by) {
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (by == 0 || length <= 0) return kOk;
  if (from < 0) return kNegativeSeek;
  if (f->access != 2 || !f->positional) return FileSystem::MoveUp(h, from, length, by);
  // A mapping past the file's end faults on touch instead of failing.
  struct stat st;
  if (fstat(f->fd, &st) != 0 || st.st_size < from + length + by) return FileSystem::MoveUp(h, from, length, by);
  static const int64_t page = sysconf(_SC_PAGESIZE);
  const int64_t start = from / page * page;
  const int64_t span = from + length + by - start;
  void* map = mmap(nullptr, static_cast<size_t>(span), PROT_READ | PROT_WRITE, MAP_SHARED, f->fd, start);
  if (map == MAP_FAILED) return FileSystem::MoveUp(h, from, length, by);
#ifdef MADV_POPULATE_WRITE
  // Every page is written: one call makes them all writable instead of two
  // faults a page (a kernel without it faults them in as they are touched).
  madvise(map, static_cast<size_t>(span), MADV_POPULATE_WRITE);
#endif
  auto* base = static_cast<uint8_t*>(map) + (from - start);
  for (int64_t at = length; at > 0;) {
    const int64_t n = std::min<int64_t>(by, at);
    at -= n;
    std::memcpy(base + at + by, base + at, static_cast<size_t>(n));
  }
  munmap(map, static_cast<size_t>(span));
  f->openSize = -1;
  f->knownSize = std::max(f->knownSize, from + length + by);
  return kOk;
}

// Regular files are copied by the kernel (copy_file_range: no copy through
// the program, and a file system that can share blocks shares them); a
// kernel or a pair of file systems that will not do it leaves the copy to
// the blocks of the base class. The end is the source's size when the copy
// starts.
int PosixFileSystem::CopyData(FileHandle src, FileHandle dst, int64_t& copied) {
  copied = 0;
  OpenFile* s = Get(src);
  OpenFile* d = Get(dst);
  if (!s || !d) return kErrInvalidHandle;
  if (s->access == 1 || d->access == 0) return kErrAccessDenied;
  const std::pair<dev_t, dev_t> devs{s->dev, d->dev};
  if (!s->positional || !d->positional || s == d || refusedCopies_.count(devs))
    return FileSystem::CopyData(src, dst, copied);
  int64_t end = s->openSize;
  if (end < 0) {
    struct stat st;
    if (fstat(s->fd, &st) != 0) return HostErrorCode(errno);
    end = st.st_size;
  }
  s->openSize = d->openSize = -1;
  while (s->pos < end) {
    loff_t in = s->pos, out = d->pos;
    const ssize_t r =
        copy_file_range(s->fd, &in, d->fd, &out, static_cast<size_t>(std::min(end - s->pos, kCopyPiece)), 0);
    if (r < 0) {
      const int err = errno;
      if (err == EINTR) continue;
      if (err == EXDEV || err == ENOSYS || err == EINVAL || err == EOPNOTSUPP || err == EPERM || err == ETXTBSY) {
        // Refused between these two file systems: not asked again.
        if (err != EINVAL && err != ETXTBSY) refusedCopies_.insert(devs);
        int64_t more = 0;
        const int rc = FileSystem::CopyData(src, dst, more);
        copied += more;
        return rc;
      }
      return err == EIO ? kErrWriteFault : HostErrorCode(err);
    }
    if (r == 0) break;  // cut meanwhile
    s->pos += r;
    d->pos += r;
    copied += r;
    d->knownSize = std::max(d->knownSize, d->pos);
  }
  return kOk;
}

int PosixFileSystem::Seek(FileHandle h, int64_t pos) {
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (pos < 0) return kNegativeSeek;
  if (f->positional) {
    f->pos = pos;
    return kOk;
  }
  if (lseek(f->fd, static_cast<off_t>(pos), SEEK_SET) < 0) return HostErrorCode(errno);
  return kOk;
}

int PosixFileSystem::Tell(FileHandle h, int64_t& pos) {
  pos = 0;
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (f->positional) {
    pos = f->pos;
    return kOk;
  }
  const off_t r = lseek(f->fd, 0, SEEK_CUR);
  if (r < 0) return HostErrorCode(errno);
  pos = r;
  return kOk;
}

int PosixFileSystem::Size(FileHandle h, int64_t& size) {
  size = 0;
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (f->openSize >= 0) {
    size = f->openSize;
    return kOk;
  }
  struct stat st;
  if (fstat(f->fd, &st) != 0) return HostErrorCode(errno);
  size = f->knownSize = st.st_size;
  return kOk;
}

int PosixFileSystem::SetEnd(FileHandle h) {
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (f->access == 0) return kErrAccessDenied;
  f->openSize = -1;
  off_t pos = static_cast<off_t>(f->pos);
  if (!f->positional && (pos = lseek(f->fd, 0, SEEK_CUR)) < 0) return HostErrorCode(errno);
  int r;
  do r = ftruncate(f->fd, pos);
  while (r != 0 && errno == EINTR);
  if (r != 0) return HostErrorCode(errno);
  f->knownSize = pos;
  return kOk;
}

int PosixFileSystem::Flush(FileHandle h) {
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (f->access == 0) return kErrAccessDenied;
  f->openSize = -1;
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
  CloseExtra(f);
  // The descriptor is gone whatever close reports; an I/O error means that
  // written data may not have reached the file, and is reported.
  if (close(f.fd) != 0 && errno == EIO) return kErrWriteFault;
  return kOk;
}

// ---------------------------------------------------------------------------
// Locks

int PosixFileSystem::Lock(FileHandle h, uint64_t offset, uint64_t length) {
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  f->openSize = -1;
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
    if (f->writeFd < 0 && f->access == 0) f->writeFd = Reopen(f->fd, O_RDWR);
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
  f->openSize = -1;
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

int PosixFileSystem::FindFirst(const std::string& pattern, uint8_t attrMask, FindEntry& e,
                               FindHandle& fh) {
  fh.reset();
  e = FindEntry();
  if (pattern.empty()) return kErrPathNotFound;
  if (pattern.find('\0') != std::string::npos) return kErrInvalidName;
  if (IsSep(pattern.back())) return kErrFileNotFound;
  Place place;
  int rc = names_.Locate(pattern, place);
  if (rc != kOk) return rc;
  if (place.name.empty()) return kErrFileNotFound;
  auto find = std::make_unique<PosixFind>();
  rc = HasWildcard(place.name) ? FindMatching(place, attrMask, find->entries)
                               : FindOne(place, attrMask, find->entries);
  if (rc != kOk) return rc;
  e = find->entries[0];
  find->next = 1;
  fh = std::move(find);
  return kOk;
}

// A pattern without wildcards: that one name, in its spelling on disk.
int PosixFileSystem::FindOne(Place& place, uint8_t attrMask, std::vector<FindEntry>& out) {
  Found found;
  const int rc = names_.Find(place, found);
  if (rc != kOk) return rc;
  if (found.link && place.guarded) return kErrLinkRefused;
  const bool asAsked = IsDots(place.name) || found.host == place.HostName();
  FindEntry one;
  if (!EntryFor(found.st, asAsked ? place.name : Utf8ToCp852(found.host), found.link, one) ||
      !MaskAllows(one.attr, attrMask))
    return kErrFileNotFound;
  out.push_back(std::move(one));
  return kOk;
}

// A pattern with wildcards: every matching entry of the directory, sorted.
int PosixFileSystem::FindMatching(const Place& place, uint8_t attrMask, std::vector<FindEntry>& out) {
  const std::vector<int> compiled = CompileWildcard(place.name);
  const bool atRoot = place.dirKey == "A";  // "/" has no "." and ".." to show
  const int dirFd = place.dir->fd;
  const int rc = names_.List(place.dir, !atRoot, [&](std::string_view hostName, unsigned char type) {
    // A host name holding a backslash cannot be addressed by the program.
    if (hostName.find('\\') != std::string_view::npos) return;
    const std::string host(hostName);
    const std::string cp = Utf8ToCp852(host);
    if (!WildcardMatches(compiled, PlUpperCase(cp))) return;
    // Below a guarded root an entry is described as it is (a link as a
    // link); elsewhere as what it leads to, the link only flagged.
    const bool maybeLink = type == DT_LNK || type == DT_UNKNOWN;
    struct stat st;
    if (fstatat(dirFd, host.c_str(), &st, place.guarded || maybeLink ? AT_SYMLINK_NOFOLLOW : 0) != 0) return;
    const bool link = S_ISLNK(st.st_mode);
    if (link && !place.guarded && fstatat(dirFd, host.c_str(), &st, 0) != 0) return;
    FindEntry fe;
    if (!EntryFor(st, cp, link, fe) || !MaskAllows(fe.attr, attrMask)) return;
    out.push_back(std::move(fe));
  });
  if (rc != kOk) return rc;
  if (out.empty()) return kErrFileNotFound;
  std::sort(out.begin(), out.end(), EntryBefore);
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
  Place place;
  int rc = names_.Locate(path, place);
  if (rc != kOk) return rc;
  if (!names_.KnownAbsent(place)) {
    Found found;
    rc = names_.Find(place, found);
    if (rc == kOk) return found.link && place.guarded ? kErrLinkRefused : kErrAlreadyExists;
    if (rc != kErrFileNotFound) return rc;
  }
  const std::string host = place.HostName();
  for (int attempt = 0;; ++attempt) {
    if (mkdirat(place.dir->fd, host.c_str(), 0777) == 0) {
      names_.MadeDir(place, host);
      return kOk;
    }
    const int err = errno;
    if (err == ENOENT && attempt == 0) {
      // Only a directory removed since it was opened says this here.
      if ((rc = names_.Relocate(place)) != kOk) return rc;
      continue;
    }
    struct stat st;
    if (err == EEXIST && place.guarded && fstatat(place.dir->fd, host.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(st.st_mode))
      return kErrLinkRefused;
    return HostErrorCode(err);
  }
}

int PosixFileSystem::Rename(const std::string& from, const std::string& to) {
  if (HasWildcard(from) || HasWildcard(to)) return kErrInvalidName;
  Place src, dst;
  Found s, d;
  int rc = names_.Locate(from, src);
  if (rc == kOk) rc = names_.Find(src, s);
  if (rc != kOk) return rc;
  if (s.link && src.guarded) return kErrLinkRefused;
  if ((rc = names_.Locate(to, dst)) != kOk) return rc;
  if (dst.name.empty()) return kErrAccessDenied;
  const std::string dstHost = dst.HostName();
  rc = names_.Find(dst, d);
  if (rc == kOk) {
    if (d.link && dst.guarded) return kErrLinkRefused;
    const bool same = d.st.st_dev == s.st.st_dev && d.st.st_ino == s.st.st_ino;
    if (!same) return kErrAlreadyExists;
    // Only the case of the name changes: the new spelling is taken as given.
    if (dstHost == s.host && dst.dir->key == src.dir->key) return kOk;
  } else if (rc != kErrFileNotFound) {
    return rc;
  }
  const bool isFile = S_ISREG(s.st.st_mode);
  if (isFile && FileInUse(src.dir->fd, s.host, src.guarded)) return kErrSharingViolation;
  const int srcFd = src.dir->fd, dstFd = dst.dir->fd;
  // Never replace an existing entry, even one that appears meanwhile.
  rc = kOk;
  if (renameat2(srcFd, s.host.c_str(), dstFd, dstHost.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) return HostErrorCode(errno);
    // A file system without the no-replace rename: a hard link is as safe
    // for files; a directory has to trust the check above.
    struct stat st;
    if (isFile && linkat(srcFd, s.host.c_str(), dstFd, dstHost.c_str(), 0) == 0) {
      unlinkat(srcFd, s.host.c_str(), 0);
    } else if (fstatat(dstFd, dstHost.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      return kErrAlreadyExists;
    } else if (renameat(srcFd, s.host.c_str(), dstFd, dstHost.c_str()) != 0) {
      return HostErrorCode(errno);
    }
  }
  names_.Removed(src.dir, s.host);
  names_.Added(dst.dir, dstHost);
  if (S_ISDIR(s.st.st_mode)) names_.ForgetDirs();
  return kOk;
}

int PosixFileSystem::Remove(const std::string& path) {
  if (HasWildcard(path)) return kErrInvalidName;
  Place place;
  Found found;
  int rc = names_.Locate(path, place);
  if (rc == kOk) rc = names_.Find(place, found);
  if (rc != kOk) return rc;
  if (found.link && place.guarded) return kErrLinkRefused;
  if (S_ISDIR(found.st.st_mode)) return kErrAccessDenied;
  if (ModeReadOnly(found.st)) return kErrAccessDenied;
  if (FileInUse(place.dir->fd, found.host, place.guarded)) return kErrSharingViolation;
  if (unlinkat(place.dir->fd, found.host.c_str(), 0) != 0) return HostErrorCode(errno);
  names_.Removed(place.dir, found.host);
  return kOk;
}

int PosixFileSystem::RemoveDir(const std::string& path) {
  if (HasWildcard(path)) return kErrInvalidName;
  Place place;
  Found found;
  int rc = names_.Locate(path, place);
  if (rc == kOk) rc = names_.Find(place, found);
  if (rc == kErrFileNotFound) return kErrPathNotFound;
  if (rc != kOk) return rc;
  if (found.link && place.guarded) return kErrLinkRefused;
  if (!S_ISDIR(found.st.st_mode)) return kErrInvalidName;
  if (unlinkat(place.dir->fd, found.host.c_str(), AT_REMOVEDIR) != 0)
    return errno == ENOTEMPTY || errno == EEXIST ? kErrDirNotEmpty : HostErrorCode(errno);
  names_.Removed(place.dir, found.host);
  // A directory handle kept for the one removed must not serve a later
  // directory of that name.
  names_.ForgetDirs();
  return kOk;
}

// One call for the whole volume: the directory as spelt, or the nearest
// directory above it that opens (the volume is the same unless a mount
// point lies between), else every volume.
int PosixFileSystem::SyncVolume(const std::string& path) {
  std::string host = Cp852ToUtf8(path);
  for (;;) {
    const int fd = open(host.empty() ? "/" : host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
      const int err = syncfs(fd) == 0 ? 0 : errno;
      close(fd);
      return err == 0 ? kOk : (err == EIO ? kErrWriteFault : HostErrorCode(err));
    }
    while (!host.empty() && host.back() == '/') host.pop_back();
    const size_t slash = host.rfind('/');
    if (host.empty() || slash == std::string::npos) break;
    host.resize(slash + 1);
  }
  sync();
  return kOk;
}

bool PosixFileSystem::SameVolume(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return stat(Cp852ToUtf8(a).c_str(), &sa) == 0 && stat(Cp852ToUtf8(b).c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
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

// ---------------------------------------------------------------------------
// Owners and modes

namespace {

// Owner and group first, as root only (cp -p keeps them where it may), then
// the bits: a change of owner clears the set-id bits.
int GiveOwnership(int fd, const struct stat& model, mode_t mode) {
  static const bool root = geteuid() == 0;
  int rc = kOk;
  if (root && fchown(fd, model.st_uid, model.st_gid) != 0) rc = HostErrorCode(errno);
  if (fchmod(fd, mode) != 0 && rc == kOk) rc = HostErrorCode(errno);
  return rc;
}

}  // namespace

int PosixFileSystem::StatusOfModel(const std::string& model, struct stat& st) {
  if (HasWildcard(model)) return kErrInvalidName;
  Place place;
  int rc = names_.Locate(model, place);
  if (rc != kOk) return rc;
  if (place.name.empty() || IsDots(place.name)) return fstat(place.dir->fd, &st) == 0 ? kOk : HostErrorCode(errno);
  Found found;
  if ((rc = names_.Find(place, found)) != kOk) return rc;
  // A link may point anywhere: its target's owner is nobody's model.
  if (found.link) return kErrFileNotFound;
  st = found.st;
  return kOk;
}

int PosixFileSystem::TakeOwnership(FileHandle h, const std::string& model) {
  OpenFile* f = Get(h);
  if (!f) return kErrInvalidHandle;
  if (!f->made) return kOk;
  struct stat st;
  if (const int rc = StatusOfModel(model, st); rc != kOk) return rc;
  const mode_t bits = S_ISDIR(st.st_mode) ? (st.st_mode & 0666) : (st.st_mode & 0777);
  return GiveOwnership(f->fd, st, bits | S_IRUSR | S_IWUSR);
}

int PosixFileSystem::TakeDirOwnership(const std::string& dir, const std::string& model) {
  struct stat st;
  int rc = StatusOfModel(model, st);
  if (rc != kOk) return rc;
  if (!S_ISDIR(st.st_mode)) return kErrPathNotFound;
  Place place;
  if ((rc = names_.Locate(dir, place)) != kOk) return rc;
  if (place.name.empty() || IsDots(place.name)) return kErrAccessDenied;
  const int fd = openat(place.dir->fd, place.HostName().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return OpenError(errno, place.guarded);
  rc = GiveOwnership(fd, st, (st.st_mode & 07777) | S_IRWXU);
  close(fd);
  return rc;
}

}  // namespace qm
