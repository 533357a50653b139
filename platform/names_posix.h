// Names on a POSIX host: a path as the program spells it (CP852, letters in
// any case, "/" or "\" between names) taken to the open directory that
// holds its last name, and that name to the host's own spelling.
//
// Directories are opened one name at a time from an open parent (openat),
// and the descriptors are kept for later paths, so that a transfer, which
// works in a few directories at a time, pays for each directory once and
// not for every name on every path. Below a guarded root the walk starts at
// the root's descriptor and never follows a symbolic link: the check and
// the open are one call (O_NOFOLLOW), so nothing can put a link in place
// between them. A kept descriptor stays with the directory it was opened
// on: another program that renames a directory the run is working in does
// not send the run elsewhere (on Windows the run's open handles keep such a
// directory from being renamed at all).
//
// A name missing as spelt is looked for in a listing of its directory.
// Listings are kept and trusted while the directory keeps the time stamps
// it had when it was listed; one of a directory the layer has not changed
// only once the directory has been still for a few seconds (a change within
// one tick of the stamps could hide otherwise), so a directory another
// program is writing is listed for every miss, as before; one of a
// directory the layer changed at once, since it was listed after the
// layer's own last change there. A directory the layer made itself is known
// to hold what the layer put there: its listing is kept up to date and
// trusted without a look, since another program's changes to a directory
// the run is writing are not worth a call for every miss. Names spelt
// exactly as asked are always looked at on disk.
#pragma once
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace qm {

struct DirKey {
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const DirKey&) const = default;
};
struct DirKeyHash {
  size_t operator()(const DirKey& k) const {
    return std::hash<uint64_t>()(static_cast<uint64_t>(k.ino) * 1000003u ^ static_cast<uint64_t>(k.dev));
  }
};

// An open directory. The descriptor only names it (O_PATH): enough for the
// *at calls, and it needs no read permission, as a path did not.
struct OpenDir {
  int fd = -1;
  DirKey key;
  std::string cacheKey;  // empty when not kept
  OpenDir() = default;
  OpenDir(const OpenDir&) = delete;
  OpenDir& operator=(const OpenDir&) = delete;
  ~OpenDir();
};
using DirRef = std::shared_ptr<OpenDir>;

// The directory that holds a path's last name, and that name.
struct Place {
  std::string path;  // as given
  DirRef dir;
  bool guarded = false;  // below a guarded root: no link followed
  std::string name;      // CP852, as given; empty for "/" itself
  std::string dirKey;    // what the directory is kept under; empty: not kept
  // The host spelling of the name as given ("." for "/").
  std::string HostName() const;
};

// A name found in a directory.
struct Found {
  std::string host;  // the name on disk (UTF-8)
  struct stat st {};  // below a guarded root the entry's own (lstat), else its target's
  bool link = false;
};

class HostNames {
 public:
  HostNames() = default;
  HostNames(const HostNames&) = delete;
  HostNames& operator=(const HostNames&) = delete;

  // Opens the directory that holds path's last name. Errors: 3 for a
  // missing directory or a file on the way, 1920 for a link on the way
  // below a guarded root, 123 for a NUL in the path.
  int Locate(const std::string& path, Place& place);
  // After a call found place's directory gone (removed since it was kept):
  // forgets it and locates the path again.
  int Relocate(Place& place);

  // Finds the place's name: as spelt first, then without regard to case
  // (among spellings that differ only in case the smallest in byte order,
  // so the choice does not hang on the order of a listing). 2 when absent;
  // a link is found (flagged) and left to the caller to refuse.
  int Find(Place& place, Found& found);
  // The same when the caller has just found the name missing as spelt.
  int FindOtherSpelling(Place& place, Found& found);
  // True when a trusted listing shows that no spelling of the place's name
  // exists: the name can then be made as spelt without a look first (an
  // exact name made meanwhile by another program still stops the make).
  bool KnownAbsent(const Place& place);

  // The layer's own changes, kept in the listings.
  void Added(const DirRef& dir, const std::string& host);
  void Removed(const DirRef& dir, const std::string& host);
  // A directory made as host in dir: the new one is known to be empty.
  void MadeDir(const Place& place, const std::string& host);
  // A directory renamed: every kept descriptor is dropped, since the names
  // that led to them may now lead elsewhere.
  void ForgetDirs();

  // Calls fn(name, d_type) for every entry of dir ("." and ".." only
  // withDots), in the host's order.
  int List(const DirRef& dir, bool withDots, const std::function<void(std::string_view, unsigned char)>& fn);

 private:
  struct Listing {
    timespec mtime{}, ctime{};
    bool made = false;  // made by the layer, and kept up to date with its changes
    std::unordered_map<std::string, std::string> byUpper;  // upper CP852 -> host name
  };
  static constexpr time_t kSettleSeconds = 3;
  static constexpr size_t kMaxListings = 256;
  static constexpr size_t kMaxDirs = 64;

  int Walk(bool absolute, const std::vector<std::string>& names, size_t dirs, bool guarded, size_t root,
           DirRef& dir, std::string& dirKey);
  void SyncRoots();
  int Root(size_t index, DirRef& dir);
  int OpenChild(const DirRef& parent, const std::string& name, bool guarded, const std::string& key,
                DirRef& child);
  int Describe(const Place& place, const std::string& host, Found& found);
  int LookupSpelling(const DirRef& dir, const std::string& wantUpper, std::string& best);
  int ReadListing(const DirRef& dir, const struct stat& dst, bool keep, const std::string& wantUpper,
                  std::string& best);
  DirRef Cached(const std::string& key);
  void Keep(const DirRef& dir);
  void Drop(const std::string& key);
  Listing* Changed(const DirRef& dir);

  // Kept directories, the most recently used first.
  std::list<DirRef> dirs_;
  std::unordered_map<std::string, std::list<DirRef>::iterator> byKey_;
  // The guarded roots, open, for the roots' generation rootsFor_.
  std::vector<DirRef> roots_;
  uint64_t rootsFor_ = 0;
  std::unordered_map<DirKey, Listing, DirKeyHash> listings_;
  std::unordered_set<DirKey, DirKeyHash> written_;  // directories the layer changed
};

}  // namespace qm
