#include "platform/host_fs.h"

namespace qm {
namespace {
FileSystem* g_fs = nullptr;
}

int FileSystem::WriteAt(FileHandle h, int64_t pos, const void* buf, uint32_t n, uint32_t& put) {
  put = 0;
  const int rc = Seek(h, pos);
  return rc != kOk ? rc : Write(h, buf, n, put);
}

FileSystem& Fs() { return *g_fs; }
void SetFileSystem(FileSystem* fs) { g_fs = fs; }

}  // namespace qm
