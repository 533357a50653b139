// The host file layer: the only door to the operating system's files.
// Paths are CP852 texts as the program holds them; a backend converts them to
// the host's form. Results are Win32 error codes (0 = success) on every
// platform, because the program's messages and retries are built on them.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qm {

#ifdef _WIN32
inline constexpr char kPathSep = '\\';
#else
inline constexpr char kPathSep = '/';
#endif

enum FsError : int {
  kOk = 0,
  kErrFileNotFound = 2,
  kErrPathNotFound = 3,
  kErrTooManyOpenFiles = 4,
  kErrAccessDenied = 5,
  kErrInvalidHandle = 6,
  kErrNotEnoughMemory = 8,
  kErrBadEnvironment = 10,
  kErrBadFormat = 11,
  kErrInvalidAccess = 12,
  kErrNotSameDevice = 17,
  kErrNoMoreFiles = 18,
  kErrWriteFault = 29,
  kErrReadFault = 30,
  kErrGenFailure = 31,
  kErrSharingViolation = 32,
  kErrLockViolation = 33,
  kErrSharingBufferExceeded = 36,  // no more locks to be had
  kErrHandleEof = 38,
  kErrFileExists = 80,
  kErrInvalidParameter = 87,
  kErrInvalidName = 123,
  kErrAlreadyExists = 183,
  kErrDiskFull = 112,
  kErrNotLocked = 158,
  kErrDirNotEmpty = 145,
  kErrNotSupported = 50,
  kErrNameTooLong = 206,
  // A symbolic link (on Windows also a junction or another reparse point)
  // met below a guarded root, where the layer follows none.
  kErrLinkRefused = 1920,
};

// Open modes: one access value or'ed with one share value.
enum OpenModeBits : uint8_t {
  kAccessRead = 0x00,
  kAccessWrite = 0x01,
  kAccessReadWrite = 0x02,
  kShareCompat = 0x00,
  kShareDenyAll = 0x10,
  kShareDenyWrite = 0x20,
  kShareDenyRead = 0x30,
  kShareDenyNone = 0x40,
};

// Directory entry attributes, as the DOS and Win32 searches report them.
enum FileAttr : uint8_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrVolume = 0x08,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrAnyFile = 0x27,  // read-only, hidden, system, archive
  kAttrAll = 0x3F,
};

using FileHandle = int;
inline constexpr FileHandle kNoHandle = -1;

struct FindEntry {
  std::string name;  // CP852, the name only
  uint8_t attr = 0;
  int64_t size = 0;
  // A symbolic link (junction, reparse point). Below a guarded root its
  // attributes and size are the link's own, never its target's; elsewhere
  // as the host's search has always given them (the target's on POSIX,
  // where a link pointing nowhere is no entry; the link's own on Windows).
  bool link = false;
};

class FindHandleBase {
 public:
  virtual ~FindHandleBase() = default;
};
using FindHandle = std::unique_ptr<FindHandleBase>;

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Paths: an existing name is found whatever the case of its letters; a new
  // one is made as spelt, inside the existing directory. Both "/" and "\"
  // separate names. A name holding "*", "?" or a NUL byte gives
  // kErrInvalidName; a missing directory on the way kErrPathNotFound.
  // Below a guarded root (SetGuardedRoots) no call follows a link: one met
  // on the way, or as the name an operation works on, gives
  // kErrLinkRefused; only a directory search with wildcards reports links,
  // as entries flagged link.

  // Opens an existing file. mode: OpenModeBits (access | share). An open
  // whose access or share conflicts with another open of the file (this
  // process's or another's) gives kErrSharingViolation, as does an open
  // denying others while another program holds a byte-range lock on it.
  // A directory gives kErrAccessDenied, as does write access to a read-only
  // file.
  virtual int Open(const std::string& path, uint8_t mode, FileHandle& h) = 0;
  // Creates the file, or truncates an existing one; read-write access with
  // read and write sharing. An existing file is cut only when no other open
  // denies writing.
  virtual int Create(const std::string& path, FileHandle& h) = 0;
  // A short read (got < n) at the end of the file is not an error.
  virtual int Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) = 0;
  virtual int Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) = 0;
  // Reads (writes) n bytes at pos; where the file position stands
  // afterwards is not said. These seek and read (write) through this
  // object; a backend may do both in one call.
  virtual int ReadAt(FileHandle h, int64_t pos, void* buf, uint32_t n, uint32_t& got);
  virtual int WriteAt(FileHandle h, int64_t pos, const void* buf, uint32_t n, uint32_t& put);
  // Copies src from its current position to its end onto dst at dst's
  // current position; both positions stand after the bytes copied, and
  // copied counts them (also when the copy fails halfway). This one reads
  // and writes through this object in large blocks; a backend may copy
  // inside the kernel.
  virtual int CopyData(FileHandle src, FileHandle dst, int64_t& copied);
  // Moves the length bytes at from up by `by` bytes (the file already
  // reaches from + length + by), a piece of `by` bytes at a time from the
  // top down: a move cut off anywhere leaves every byte at its old place or
  // its new one, with at most one piece part old and part new. This one
  // reads and writes each piece through this object; a backend may move
  // them in the file's mapping.
  virtual int MoveUp(FileHandle h, int64_t from, int64_t length, uint32_t by);
  virtual int Seek(FileHandle h, int64_t pos) = 0;
  virtual int Tell(FileHandle h, int64_t& pos) = 0;
  virtual int Size(FileHandle h, int64_t& size) = 0;
  // Cuts or extends the file at the current position.
  virtual int SetEnd(FileHandle h) = 0;
  virtual int Flush(FileHandle h) = 0;
  virtual int Close(FileHandle h) = 0;
  // Byte-range locks; a lock belongs to the open file it was taken through.
  // Locks never overlap, not even two of one open file (kErrLockViolation);
  // Unlock names exactly a range that was locked, else kErrNotLocked.
  virtual int Lock(FileHandle h, uint64_t offset, uint64_t length) = 0;
  virtual int Unlock(FileHandle h, uint64_t offset, uint64_t length) = 0;

  // Directory search. pattern: a directory path plus a last component that
  // may hold "*" and "?" ("*.*" also matches names without a dot), matched
  // without regard to case. Entries whose attributes include hidden, system,
  // volume or directory are reported only when attrMask holds that bit.
  // Returns kErrFileNotFound / kErrPathNotFound / kErrNoMoreFiles when none.
  // Wildcards follow Win32: "*." matches names without a dot, "?" may match
  // nothing before a dot or at the end. A pattern without wildcards finds
  // that one name. Entries come "." and ".." first (directories only), then
  // in the byte order of their upper-cased names, the same on every run.
  virtual int FindFirst(const std::string& pattern, uint8_t attrMask, FindEntry& e,
                        FindHandle& fh) = 0;
  virtual int FindNext(FindHandle& fh, FindEntry& e) = 0;

  // An existing directory (or file) of that name gives kErrAlreadyExists.
  virtual int MakeDir(const std::string& path) = 0;
  // Never replaces: an existing target gives kErrAlreadyExists (a change of
  // case only is allowed). A file that is open anywhere cannot be renamed
  // or removed (kErrSharingViolation), nor a read-only file removed
  // (kErrAccessDenied).
  virtual int Rename(const std::string& from, const std::string& to) = 0;
  virtual int Remove(const std::string& path) = 0;
  // Removes an empty directory (kErrDirNotEmpty when it is not).
  virtual int RemoveDir(const std::string& path) = 0;
  virtual int CurrentDir(std::string& path) = 0;
  // Makes every write so far to the volume that holds path durable, in one
  // step. kErrNotSupported where the host has no such call: files must then
  // be flushed one by one.
  virtual int SyncVolume(const std::string& path);
  // Whether the two directories lie on one volume, so that one SyncVolume
  // serves both; false when it cannot be told.
  virtual bool SameVolume(const std::string& a, const std::string& b);

  // Owners and modes, as cp -p keeps them: gives the file open as h the
  // permission bits of the file or directory model and, when the process
  // runs as root, its owner and group -- but only when the Create that
  // opened h made the file; one that was there before keeps its own (kOk,
  // nothing done, model not looked at). A directory as the model gives a
  // file its read and write bits, not the right to search it. The owner's
  // read and write bits stay set: the run may write the file again, and a
  // read-only mark would make the program itself refuse to. kErrFileNotFound
  // or kErrPathNotFound when model is missing (a link counts as missing);
  // kErrNotSupported where the host keeps no such modes (Windows).
  virtual int TakeOwnership(FileHandle h, const std::string& model);
  // The same for a directory the caller has just made, from a directory
  // model (another kind gives kErrPathNotFound); the owner keeps the right
  // to read, write and search it.
  virtual int TakeDirOwnership(const std::string& dir, const std::string& model);
};

// A directory path with its closing separator ("/" taken as one on every
// host); an empty path stays empty.
inline std::string DirWithSeparator(std::string dir) {
  if (!dir.empty() && dir.back() != kPathSep && dir.back() != '/') dir += kPathSep;
  return dir;
}

// The process-wide file system. Set once at start (or by a test).
FileSystem& Fs();
void SetFileSystem(FileSystem* fs);

// The installation directories below which no file operation follows a
// symbolic link (junction, reparse point), for every file system of the
// process: CP852 paths as the program spells them, with or without a
// trailing separator; an empty list guards nothing. The roots themselves
// may be links. Set before a transfer; a path is below a root when its
// names begin with the root's names, whatever their case.
void SetGuardedRoots(std::vector<std::string> roots);

// Whether a search for path finds a directory (below a guarded root: a
// link is absent).
bool DirectoryExists(const std::string& path);
// Size of the first file a search for path finds; 0 when none. A file of
// 2 GiB or more reports INT32_MAX, never 0 or a negative size. Below a
// guarded root a link is absent.
int32_t FileSizeOf(const std::string& path);
// Whether the name path (no wildcards) is a symbolic link, junction or
// other reparse point, or leads through one below a guarded root: what the
// transfer names and skips instead of following.
bool IsLink(const std::string& path);

// The host's own file system (the POSIX backend on Linux).
std::unique_ptr<FileSystem> MakeHostFileSystem();

#ifndef _WIN32
// The Win32 code for a host errno value (ENOENT 2, EACCES 5, ENOSPC 112, ...).
// Which of 2 and 3 a missing name gives, and 33 for a refused lock, the
// backend decides from what it was doing.
int HostErrorCode(int err);
#endif

}  // namespace qm
