#include "platform/host_fs.h"

#include <climits>

namespace qm {
namespace {
FileSystem* g_fs = nullptr;
}

int FileSystem::WriteAt(FileHandle h, int64_t pos, const void* buf, uint32_t n, uint32_t& put) {
  put = 0;
  const int rc = Seek(h, pos);
  return rc != kOk ? rc : Write(h, buf, n, put);
}

int FileSystem::SyncVolume(const std::string&) { return kErrNotSupported; }

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

}  // namespace qm
