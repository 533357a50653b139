// The guarded roots: the installation directories below which the file
// layer follows no symbolic link (on Windows no junction or other reparse
// point). Both backends ask here whether a path leads below one; such a
// path is then resolved from the root's own directory one name at a time,
// and a link met on the way is refused instead of followed. The root
// itself may be a link: it is opened as any other path is.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

// A path cut at its separators ("/" and "\"): absolute when it begins with
// one; empty names (doubled or trailing separators) dropped. CP852.
struct PathNames {
  bool absolute = false;
  std::vector<std::string> names;
};
PathNames SplitPathNames(const std::string& path);

// Where a path leads below a guarded root: the root's index in
// GuardedRootPaths() and the names below it, "." dropped and ".." taking
// back the name before it, as Win32 reads a path before any disk sees it
// (below a root no name on the way may be a link, so that reading is also
// what the disk holds). A last name of "." or ".." is kept: searches
// report it as such.
struct BelowRoot {
  size_t root = 0;
  std::vector<std::string> names;
};

// False when the path is no root's, is a root itself, or climbs out of its
// root; of several roots the longest that fits.
bool FindGuardedRoot(const PathNames& path, BelowRoot& out);

// The roots as set (CP852), and a number that changes with every
// SetGuardedRoots, so that a backend knows when to open them again.
const std::vector<std::string>& GuardedRootPaths();
uint64_t GuardedRootsGeneration();

}  // namespace qm
