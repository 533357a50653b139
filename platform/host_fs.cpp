#include "platform/host_fs.h"

namespace qm {
namespace {
FileSystem* g_fs = nullptr;
}

FileSystem& Fs() { return *g_fs; }
void SetFileSystem(FileSystem* fs) { g_fs = fs; }

}  // namespace qm
