// Owners and modes of what a transfer makes in the 2020 tree, as cp -p and
// rsync -a keep them: on a shared installation (a group of its users,
// files the group may write, set-group-id directories) the carried data
// must stay theirs, not become the running user's with its umask. Every
// file and directory the run makes takes the permission bits of its 2019
// counterpart -- the same relative path in the 2019 tree, the global
// subdirectory standing for the 2019 one the run reads -- and, run as
// root, its owner and group; what has no counterpart takes those of the
// directory it is made in. Files the run only changes keep their own. The
// layer stands under the run's recording layer, for the transfer's whole
// session (which owns it); where the host keeps no such modes (Windows) it does nothing.
#pragma once
#include <string>

#include "platform/forwarding_fs.h"

namespace qm {

struct CarriedTrees {
  std::string sourceRoot;  // the 2019 root
  std::string targetRoot;  // the 2020 root
  std::string globalSource;  // the 2019 global subdirectory the run reads
  std::string globalTarget;  // its 2020 name
};

class CarriedModesFs : public ForwardingFs {
 public:
  CarriedModesFs(FileSystem& inner, CarriedTrees trees);

  int Create(const std::string& path, FileHandle& h) override;
  int MakeDir(const std::string& path) override;

 private:
  // The 2019 counterpart of a path of the 2020 tree; empty for a path
  // outside it.
  std::string Counterpart(const std::string& path) const;

  CarriedTrees trees_;
};

}  // namespace qm
