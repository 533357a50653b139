#include "driver/side_files.h"

#include "platform/host_fs.h"
#include "platform/process.h"

namespace qm {
namespace {

// The program's file name without its extension, as ProgramBase ends.
std::string ProgramName() {
  size_t start = ProgramBase.find_last_of(kPathSep);
#ifdef _WIN32
  const size_t slash = ProgramBase.find_last_of('/');
  if (slash != std::string::npos && (start == std::string::npos || slash > start)) start = slash;
#endif
  return start == std::string::npos ? ProgramBase : ProgramBase.substr(start + 1);
}

std::string UserSideFile(const std::string& extension) {
  const std::string dir = UserConfigDir();
  const std::string name = ProgramName();
  return dir.empty() || name.empty() ? std::string() : dir + name + extension;
}

// Makes the directory and every missing one above it; the create that
// follows tells whether that was enough.
void MakeDirectories(const std::string& dir) {
  for (size_t sep = dir.find(kPathSep, 1); sep != std::string::npos; sep = dir.find(kPathSep, sep + 1)) {
    const std::string upTo = dir.substr(0, sep);
    if (!DirectoryExists(upTo)) Fs().MakeDir(upTo);
  }
}

}  // namespace

bool InSystemDirectory(const std::string& dir) {
#ifdef _WIN32
  (void)dir;
  return false;
#else
  // The directories the system's packages install into; /usr/local and
  // /opt belong to the administrator, not to the program's users.
  static constexpr const char* kSystemDirs[] = {"/usr/", "/bin/", "/sbin/", "/lib/", "/lib32/",
                                                "/lib64/", "/libx32/", "/opt/", "/boot/", "/snap/"};
  for (const char* system : kSystemDirs) {
    if (dir.compare(0, std::char_traits<char>::length(system), system) == 0) return true;
  }
  return false;
#endif
}

std::vector<std::string> SideFilePlaces(const std::string& extension) {
  std::vector<std::string> places{ProgramBase + extension};
  const std::string user = UserSideFile(extension);
  if (user.empty()) return places;
  if (InSystemDirectory(ProgramDir)) places.insert(places.begin(), user);
  else places.push_back(user);
  return places;
}

int OpenSideFile(const std::string& extension, TextFile& file) {
  int rc = kErrFileNotFound;
  for (const std::string& place : SideFilePlaces(extension)) {
    rc = file.OpenRead(place);
    if (rc == kOk) break;
  }
  return rc;
}

int CreateSideFile(const std::string& extension, TextFile& file) {
  int rc = kErrAccessDenied;
  if (!InSystemDirectory(ProgramDir)) {
    rc = file.Create(ProgramBase + extension);
    if (rc == kOk) return rc;
  }
  const std::string user = UserSideFile(extension);
  if (user.empty()) return rc;
  MakeDirectories(user.substr(0, user.find_last_of(kPathSep) + 1));
  return file.Create(user);
}

}  // namespace qm
