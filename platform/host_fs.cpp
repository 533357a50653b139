#include "platform/host_fs.h"

#include <algorithm>
#include <climits>

namespace qm {
namespace {
FileSystem* g_fs = nullptr;

// The block of a copy through Read and Write: large, so that a copy makes
// few calls, and far below the program's memory goal.
constexpr uint32_t kCopyBlock = 1u << 20;
}  // namespace

int FileSystem::ReadAt(FileHandle h, int64_t pos, void* buf, uint32_t n, uint32_t& got) {
  got = 0;
  const int rc = Seek(h, pos);
  return rc != kOk ? rc : Read(h, buf, n, got);
}

int FileSystem::WriteAt(FileHandle h, int64_t pos, const void* buf, uint32_t n, uint32_t& put) {
  put = 0;
  const int rc = Seek(h, pos);
  return rc != kOk ? rc : Write(h, buf, n, put);
}

int FileSystem::SyncVolume(const std::string&) { return kErrNotSupported; }
bool FileSystem::SameVolume(const std::string&, const std::string&) { return false; }
int FileSystem::TakeOwnership(FileHandle, const std::string&) { return kErrNotSupported; }
int FileSystem::TakeDirOwnership(const std::string&, const std::string&) { return kErrNotSupported; }

int FileSystem::CopyData(FileHandle src, FileHandle dst, int64_t& copied) {
  copied = 0;
  std::string block(kCopyBlock, '\0');
  for (;;) {
    uint32_t got = 0, put = 0;
    int rc = Read(src, block.data(), kCopyBlock, got);
    if (rc != kOk) return rc;
    if (got > 0) {
      rc = Write(dst, block.data(), got, put);
      copied += put;
      if (rc != kOk) return rc;
    }
    if (got < kCopyBlock) return kOk;
  }
}

int FileSystem::MoveUp(FileHandle h, int64_t from, int64_t length, uint32_t by) {
  if (by == 0 || length <= 0) return kOk;
  std::string piece(by, '\0');
  for (int64_t at = from + length; at > from;) {
    const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(by, at - from));
    at -= n;
    uint32_t got = 0, put = 0;
    int rc = ReadAt(h, at, piece.data(), n, got);
    if (rc == kOk && got != n) rc = kErrHandleEof;
    if (rc == kOk) rc = WriteAt(h, at + by, piece.data(), n, put);
    if (rc == kOk && put != n) rc = kErrDiskFull;
    if (rc != kOk) return rc;
  }
  return kOk;
}

FileSystem& Fs() { return *g_fs; }
void SetFileSystem(FileSystem* fs) { g_fs = fs; }

bool DirectoryExists(const std::string& path) {
  FindEntry e;
  FindHandle fh;
  if (Fs().FindFirst(path, kAttrAll, e, fh) != kOk) return false;
  return (e.attr & kAttrDirectory) != 0;
}

int32_t FileSizeOf(const std::string& path) {
  FindEntry e;
  FindHandle fh;
  if (Fs().FindFirst(path, kAttrAnyFile, e, fh) != kOk) return 0;
  // A file of 2 GiB or more must not look absent or empty.
  if (e.size > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(e.size);
}

bool IsLink(const std::string& path) {
  if (path.find_first_of("*?") != std::string::npos) return false;
  FindEntry e;
  FindHandle fh;
  const int rc = Fs().FindFirst(path, kAttrAll, e, fh);
  return rc == kErrLinkRefused || (rc == kOk && e.link);
}

}  // namespace qm
