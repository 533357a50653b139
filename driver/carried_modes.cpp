#include "driver/carried_modes.h"

#include "base/polish.h"
#include "run/run_settings.h"

namespace qm {
namespace {

bool Missing(int rc) { return rc == kErrFileNotFound || rc == kErrPathNotFound; }

bool IsSeparator(char c) { return c == '/' || c == kPathSep; }

// The directory a path's last name is made in, without its separator.
std::string DirectoryOf(const std::string& path) {
  size_t end = path.size();
  while (end > 1 && IsSeparator(path[end - 1])) --end;
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  while (end > 1 && IsSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

}  // namespace

CarriedModesFs::CarriedModesFs(FileSystem& inner, CarriedTrees trees)
    : ForwardingFs(inner, DataCalls::kPassedWhole), trees_(std::move(trees)) {
  trees_.sourceRoot = DirWithSeparator(trees_.sourceRoot);
  trees_.targetRoot = DirWithSeparator(trees_.targetRoot);
}

std::string CarriedModesFs::Counterpart(const std::string& path) const {
  const std::string& root = trees_.targetRoot;
  if (root.empty() || path.size() <= root.size() || path.compare(0, root.size(), root) != 0) return {};
  std::string rel = path.substr(root.size());
  size_t first = 0;
  while (first < rel.size() && !IsSeparator(rel[first])) ++first;
  if (PlUpperCase(rel.substr(0, first)) == PlUpperCase(trees_.globalTarget))
    rel.replace(0, first, trees_.globalSource);
  return trees_.sourceRoot + rel;
}

int CarriedModesFs::Create(const std::string& path, FileHandle& h) {
  const int rc = Inner().Create(path, h);
  if (rc != kOk) return rc;
  const std::string model = Counterpart(path);
  // A mode that cannot be given leaves the file as the host made it; the
  // data is carried all the same.
  if (!model.empty() && Missing(Inner().TakeOwnership(h, model))) Inner().TakeOwnership(h, DirectoryOf(path));
  return rc;
}

int CarriedModesFs::MakeDir(const std::string& path) {
  const int rc = Inner().MakeDir(path);
  if (rc != kOk) return rc;
  const std::string model = Counterpart(path);
  if (!model.empty() && Missing(Inner().TakeDirOwnership(path, model)))
    Inner().TakeDirOwnership(path, DirectoryOf(path));
  return rc;
}


}  // namespace qm
