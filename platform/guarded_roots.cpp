#include "platform/guarded_roots.h"

#include "base/polish.h"
#include "platform/host_fs.h"

namespace qm {
namespace {

struct Root {
  bool absolute;
  std::vector<std::string> upper;  // names, upper-cased
};

std::vector<std::string> g_paths;
std::vector<Root> g_roots;
uint64_t g_generation = 0;

bool IsSep(char c) { return c == '/' || c == '\\'; }

bool IsDots(const std::string& name) { return name == "." || name == ".."; }

}  // namespace

PathNames SplitPathNames(const std::string& path) {
  PathNames p;
  p.absolute = !path.empty() && IsSep(path[0]);
  std::string cur;
  for (char c : path) {
    if (!IsSep(c)) {
      cur += c;
    } else if (!cur.empty()) {
      p.names.push_back(std::move(cur));
      cur.clear();
    }
  }
  if (!cur.empty()) p.names.push_back(std::move(cur));
  return p;
}

void SetGuardedRoots(std::vector<std::string> roots) {
  g_roots.clear();
  for (const std::string& r : roots) {
    PathNames p = SplitPathNames(r);
    Root root{p.absolute, {}};
    for (const std::string& n : p.names) {
      if (n != ".") root.upper.push_back(PlUpperCase(n));
    }
    g_roots.push_back(std::move(root));
  }
  g_paths = std::move(roots);
  ++g_generation;
}

const std::vector<std::string>& GuardedRootPaths() { return g_paths; }
uint64_t GuardedRootsGeneration() { return g_generation; }

bool FindGuardedRoot(const PathNames& path, BelowRoot& out) {
  // The path's names without ".", upper-cased for the comparison.
  std::vector<const std::string*> names;
  for (const std::string& n : path.names) {
    if (n != "." || &n == &path.names.back()) names.push_back(&n);
  }
  size_t best = 0, bestLen = 0;
  bool found = false;
  for (size_t i = 0; i < g_roots.size(); ++i) {
    const Root& r = g_roots[i];
    if (r.absolute != path.absolute || r.upper.size() >= names.size()) continue;
    if (found && r.upper.size() <= bestLen) continue;
    bool fits = true;
    for (size_t k = 0; k < r.upper.size() && fits; ++k) fits = PlUpperCase(*names[k]) == r.upper[k];
    if (!fits) continue;
    best = i;
    bestLen = r.upper.size();
    found = true;
  }
  if (!found) return false;
  out.root = best;
  out.names.clear();
  for (size_t k = bestLen; k < names.size(); ++k) {
    const std::string& n = *names[k];
    const bool last = k + 1 == names.size();
    if (last && IsDots(n)) {
      out.names.push_back(n);
    } else if (n == "..") {
      if (out.names.empty()) return false;  // out of the root
      out.names.pop_back();
    } else if (n != ".") {
      out.names.push_back(n);
    }
  }
  return !out.names.empty();
}

}  // namespace qm
