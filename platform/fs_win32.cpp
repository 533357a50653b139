// The host file layer on Windows. Names are CP852 inside the program; the
// wide API takes them as UTF-16, so Polish letters in file names mean the
// same whatever ANSI code page the machine runs with. Error codes are the
// platform's own.
//
// Below a guarded root no call follows a symbolic link, junction or other
// reparse point. Win32 has no open relative to a directory handle, so every
// directory between the root and the last name is opened on the way and
// checked on its handle (FILE_FLAG_OPEN_REPARSE_POINT, which opens a
// reparse point itself instead of what it points to), and the handles are
// held, without FILE_SHARE_DELETE, until the call is done: no directory on
// the way can be renamed, removed or replaced by a link meanwhile, so the
// path walked again by the call itself leads through the same directories.
// The last name is opened with FILE_FLAG_OPEN_REPARSE_POINT too and the
// handle refused when it is one; renames, removals and new directories
// never follow a link anyway and are refused by a look at the name.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/cp852.h"
#include "base/polish.h"
#include "platform/guarded_roots.h"
#include "platform/host_fs.h"
#include "platform/wildcard.h"

namespace qm {
namespace {

std::wstring Wide(const std::string& cp852) {
  std::wstring w;
  w.reserve(cp852.size());
  for (char c : cp852) {
    const char32_t cp = Cp852ToUnicode(static_cast<uint8_t>(c));
    // Names never hold control characters; keep them as they are rather than
    // turning them into glyphs, so the system rejects them.
    const auto code = static_cast<uint8_t>(c);
    w += (code < 0x20 || code == 0x7F) ? static_cast<wchar_t>(code) : static_cast<wchar_t>(cp);
  }
  return w;
}

// A long path goes to the system in its "\\?\" form, which lifts the limit
// of MAX_PATH characters (and of 248 for a new directory) but takes the path
// as it stands: it is made full and plain (no "/", ".", "..") first. Short
// paths go as they are, as they always have.
constexpr size_t kLongPath = MAX_PATH - 12;

std::wstring HostPath(const std::string& cp852) {
  std::wstring w = Wide(cp852);
  if (w.size() < kLongPath || w.rfind(L"\\\\?\\", 0) == 0) return w;
  const DWORD need = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (need == 0) return w;
  std::wstring full(need, L'\0');
  const DWORD n = GetFullPathNameW(w.c_str(), need, full.data(), nullptr);
  if (n == 0 || n >= need) return w;
  full.resize(n);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
  return L"\\\\?\\" + full;
}

std::string Narrow(const wchar_t* w) {
  std::string s;
  for (; *w; ++w) {
    uint8_t code;
    s += UnicodeToCp852(static_cast<char32_t>(*w), code) ? static_cast<char>(code) : '?';
  }
  return s;
}

// The whole listing is read and sorted at the first call: the file system's
// own order differs between NTFS, FAT and network shares, and the order of
// copies and log lines must be the same wherever the program runs.
class Win32Find : public FindHandleBase {
 public:
  std::vector<FindEntry> entries;
  size_t next = 0;
};

uint8_t AttrOf(DWORD a) {
  uint8_t r = 0;
  if (a & FILE_ATTRIBUTE_READONLY) r |= kAttrReadOnly;
  if (a & FILE_ATTRIBUTE_HIDDEN) r |= kAttrHidden;
  if (a & FILE_ATTRIBUTE_SYSTEM) r |= kAttrSystem;
  if (a & FILE_ATTRIBUTE_DIRECTORY) r |= kAttrDirectory;
  if (a & FILE_ATTRIBUTE_ARCHIVE) r |= kAttrArchive;
  return r;
}

// The DOS search rule: an entry with a special attribute is reported only
// when the mask asks for that attribute.
bool Wanted(uint8_t attr, uint8_t mask) {
  const uint8_t special = attr & (kAttrHidden | kAttrSystem | kAttrVolume | kAttrDirectory);
  return (special & ~mask) == 0;
}

bool IsReparse(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A search reports an entry as it is: a link's own attributes.
void Fill(const WIN32_FIND_DATAW& d, FindEntry& e) {
  e.name = Narrow(d.cFileName);
  e.attr = AttrOf(d.dwFileAttributes);
  e.size = (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
  e.link = IsReparse(d.dwFileAttributes);
}

// "." and ".." first, then by upper-cased CP852 name, ties by the name
// itself: the order the POSIX backend gives too.
bool EntryBefore(const FindEntry& a, const FindEntry& b) {
  const bool ad = a.name == "." || a.name == "..", bd = b.name == "." || b.name == "..";
  if (ad != bd) return ad;
  const std::string ua = PlUpperCase(a.name), ub = PlUpperCase(b.name);
  if (ua != ub) return ua < ub;
  return a.name < b.name;
}

// A NUL byte would end the name early and make it another name.
bool HasNul(const std::string& s) { return s.find('\0') != std::string::npos; }

bool IsSep(char c) { return c == '\\' || c == '/'; }

// A search below a name that is a file, not a directory, is a missing path,
// as on every other host; the system itself answers with one of two
// name errors there.
int SearchError(DWORD err, const std::string& dir) {
  if (err == ERROR_NO_MORE_FILES) return kErrFileNotFound;
  if ((err == ERROR_INVALID_NAME || err == ERROR_DIRECTORY) && dir.size() > 1) {
    const DWORD a = GetFileAttributesW(HostPath(dir.substr(0, dir.size() - 1)).c_str());
    if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY)) return kErrPathNotFound;
  }
  return static_cast<int>(err);
}

HANDLE H(FileHandle h) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(h)); }

// The attributes of an open file or directory, as it is (not its target's
// when it was opened with FILE_FLAG_OPEN_REPARSE_POINT).
DWORD HandleAttributes(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(h, &info) ? info.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

// Whether the name, open as h, is a link: on its handle, and by its name,
// which some emulations alone answer truly (Wine shows a Unix link to a
// directory only there). With h held the name cannot change between the
// two looks.
bool IsLinkOpen(HANDLE h, const std::string& path) {
  return IsReparse(HandleAttributes(h)) || IsReparse(GetFileAttributesW(HostPath(path).c_str()));
}

// A name, opened only to look at it (directories too), never followed.
HANDLE OpenToLook(const std::string& path) {
  return CreateFileW(HostPath(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// The directories between a guarded root and a path's last name, held open
// for as long as the object lives. Nothing is held for a path below no
// guarded root.
class GuardedWay {
 public:
  GuardedWay() = default;
  GuardedWay(const GuardedWay&) = delete;
  GuardedWay& operator=(const GuardedWay&) = delete;
  ~GuardedWay() {
    for (HANDLE h : held_) CloseHandle(h);
  }

  // 0; 3 for a missing directory or a file on the way; 1920 for a link.
  int Walk(const std::string& path) {
    BelowRoot below;
    guarded_ = FindGuardedRoot(SplitPathNames(path), below);
    if (!guarded_) return kOk;
    std::string dir = GuardedRootPaths()[below.root];
    while (!dir.empty() && IsSep(dir.back())) dir.pop_back();
    for (size_t i = 0; i + 1 < below.names.size(); ++i) {
      dir += "\\" + below.names[i];
      const HANDLE h = OpenToLook(dir);
      if (h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? kErrPathNotFound : static_cast<int>(err);
      }
      held_.push_back(h);
      if (IsLinkOpen(h, dir)) return kErrLinkRefused;
      const DWORD a = HandleAttributes(h);
      if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) return kErrPathNotFound;
    }
    return kOk;
  }
  bool Guarded() const { return guarded_; }
  // A refusal of the last name: a link below a guarded root.
  bool RefusesName(const std::string& path) const {
    return guarded_ && IsReparse(GetFileAttributesW(HostPath(path).c_str()));
  }

 private:
  std::vector<HANDLE> held_;
  bool guarded_ = false;
};

class Win32FileSystem : public FileSystem {
 public:
  int Open(const std::string& path, uint8_t mode, FileHandle& h) override {
    h = kNoHandle;
    if (HasNul(path)) return kErrInvalidName;
    if ((mode & 3) == 3 || (mode & 0xF0) > 0x40) return kErrInvalidAccess;
    static const DWORD kAccess[3] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    DWORD share = 0;
    switch ((mode & 0xF0) >> 4) {
      case 2: share = FILE_SHARE_READ; break;
      case 3: share = FILE_SHARE_WRITE; break;
      case 4: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
      default: share = 0; break;
    }
    GuardedWay way;
    if (const int rc = way.Walk(path); rc != kOk) return rc;
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (way.Guarded() ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE fh = CreateFileW(HostPath(path).c_str(), kAccess[mode & 3], share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (fh == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
    if (way.Guarded() && IsLinkOpen(fh, path)) {
      CloseHandle(fh);
      return kErrLinkRefused;
    }
    return Keep(fh, h);
  }
  int Create(const std::string& path, FileHandle& h) override {
    h = kNoHandle;
    if (HasNul(path)) return kErrInvalidName;
    GuardedWay way;
    if (const int rc = way.Walk(path); rc != kOk) return rc;
    const std::wstring host = HostPath(path);
    HANDLE look = INVALID_HANDLE_VALUE;
    if (way.Guarded()) {
      // A new file is made as such, never through a link in its place; an
      // existing name is looked at and held while it is cut, so that what
      // is cut is what was looked at.
      HANDLE fh = CreateFileW(host.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
      if (fh != INVALID_HANDLE_VALUE) return Keep(fh, h);
      look = OpenToLook(path);
      if (look != INVALID_HANDLE_VALUE && IsLinkOpen(look, path)) {
        CloseHandle(look);
        return kErrLinkRefused;
      }
    }
    HANDLE fh = CreateFileW(host.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD err = GetLastError();
    if (look != INVALID_HANDLE_VALUE) CloseHandle(look);
    if (fh == INVALID_HANDLE_VALUE) return static_cast<int>(err);
    return Keep(fh, h);
  }
  int Read(FileHandle h, void* buf, uint32_t n, uint32_t& got) override {
    DWORD r = 0;
    got = 0;
    if (!ReadFile(H(h), buf, n, &r, nullptr)) return static_cast<int>(GetLastError());
    got = r;
    return kOk;
  }
  int Write(FileHandle h, const void* buf, uint32_t n, uint32_t& put) override {
    DWORD w = 0;
    put = 0;
    if (!WriteFile(H(h), buf, n, &w, nullptr)) return static_cast<int>(GetLastError());
    put = w;
    return w == n ? kOk : kErrDiskFull;
  }
  // A synchronous handle reads and writes at the offset an OVERLAPPED
  // names: one call instead of a seek and a read or write.
  int ReadAt(FileHandle h, int64_t pos, void* buf, uint32_t n, uint32_t& got) override {
    got = 0;
    if (pos < 0) return ERROR_NEGATIVE_SEEK;
    OVERLAPPED at = At(pos);
    DWORD r = 0;
    if (!ReadFile(H(h), buf, n, &r, &at)) {
      const DWORD err = GetLastError();
      if (err != ERROR_HANDLE_EOF) return static_cast<int>(err);
    }
    got = r;
    return kOk;
  }
  int WriteAt(FileHandle h, int64_t pos, const void* buf, uint32_t n, uint32_t& put) override {
    put = 0;
    if (pos < 0) return ERROR_NEGATIVE_SEEK;
    OVERLAPPED at = At(pos);
    DWORD w = 0;
    if (!WriteFile(H(h), buf, n, &w, &at)) return static_cast<int>(GetLastError());
    put = w;
    return w == n ? kOk : kErrDiskFull;
  }
  int Seek(FileHandle h, int64_t pos) override {
    LARGE_INTEGER li;
    li.QuadPart = pos;
    return SetFilePointerEx(H(h), li, nullptr, FILE_BEGIN) ? kOk : static_cast<int>(GetLastError());
  }
  int Tell(FileHandle h, int64_t& pos) override {
    LARGE_INTEGER zero{}, out{};
    if (!SetFilePointerEx(H(h), zero, &out, FILE_CURRENT)) return static_cast<int>(GetLastError());
    pos = out.QuadPart;
    return kOk;
  }
  int Size(FileHandle h, int64_t& size) override {
    LARGE_INTEGER li{};
    if (!GetFileSizeEx(H(h), &li)) return static_cast<int>(GetLastError());
    size = li.QuadPart;
    return kOk;
  }
  int SetEnd(FileHandle h) override {
    if (SetEndOfFile(H(h))) return kOk;
    // A handle opened for reading only cannot cut its file; Windows says
    // access denied, some emulations an invalid parameter.
    const DWORD err = GetLastError();
    return err == ERROR_INVALID_PARAMETER ? kErrAccessDenied : static_cast<int>(err);
  }
  int Flush(FileHandle h) override {
    return FlushFileBuffers(H(h)) ? kOk : static_cast<int>(GetLastError());
  }
  int Close(FileHandle h) override {
    return CloseHandle(H(h)) ? kOk : static_cast<int>(GetLastError());
  }
  int Lock(FileHandle h, uint64_t off, uint64_t len) override {
    return LockFile(H(h), static_cast<DWORD>(off), static_cast<DWORD>(off >> 32),
                    static_cast<DWORD>(len), static_cast<DWORD>(len >> 32))
               ? kOk
               : static_cast<int>(GetLastError());
  }
  int Unlock(FileHandle h, uint64_t off, uint64_t len) override {
    if (UnlockFile(H(h), static_cast<DWORD>(off), static_cast<DWORD>(off >> 32),
                   static_cast<DWORD>(len), static_cast<DWORD>(len >> 32)))
      return kOk;
    // An unlock never conflicts with anybody; some Win32 emulations still
    // answer a range this handle does not hold with the lock conflict code.
    const DWORD err = GetLastError();
    return err == ERROR_LOCK_VIOLATION ? kErrNotLocked : static_cast<int>(err);
  }
  int FindFirst(const std::string& pattern, uint8_t attrMask, FindEntry& e,
                FindHandle& fh) override {
    fh.reset();
    e = FindEntry();
    if (pattern.empty()) return kErrPathNotFound;
    if (HasNul(pattern)) return kErrInvalidName;
    if (IsSep(pattern.back())) return kErrFileNotFound;
    size_t dirLen = pattern.find_last_of("\\/");
    dirLen = dirLen == std::string::npos ? (pattern.size() > 1 && pattern[1] == ':' ? 2 : 0) : dirLen + 1;
    const std::string dir = pattern.substr(0, dirLen), last = pattern.substr(dirLen);
    // Wildcards are matched here, not by the system: its matching differs
    // between versions and emulations, and it also matches the generated
    // short names (a search for *.REK would find PROGRAM.REKX).
    const bool wild = last.find_first_of("*?") != std::string::npos;
    GuardedWay way;
    if (const int rc = way.Walk(pattern); rc != kOk) return rc;
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileW(HostPath(wild ? dir + "*" : pattern).c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return SearchError(GetLastError(), dir);
    // Asked for by its name, a link below a guarded root is refused; a
    // listing shows it, flagged.
    if (!wild && way.Guarded() && (IsReparse(d.dwFileAttributes) || way.RefusesName(pattern))) {
      FindClose(h);
      return kErrLinkRefused;
    }
    const std::vector<int> compiled = wild ? CompileWildcard(last) : std::vector<int>();
    auto f = std::make_unique<Win32Find>();
    do {
      FindEntry one;
      Fill(d, one);
      if (!Wanted(one.attr, attrMask)) continue;
      if (wild && !WildcardMatches(compiled, PlUpperCase(one.name))) continue;
      f->entries.push_back(std::move(one));
    } while (FindNextFileW(h, &d));
    FindClose(h);
    if (f->entries.empty()) return kErrFileNotFound;
    std::sort(f->entries.begin(), f->entries.end(), EntryBefore);
    e = f->entries[0];
    f->next = 1;
    fh = std::move(f);
    return kOk;
  }
  int FindNext(FindHandle& fh, FindEntry& e) override {
    auto* f = dynamic_cast<Win32Find*>(fh.get());
    if (!f) return kErrInvalidHandle;
    if (f->next >= f->entries.size()) return kErrNoMoreFiles;
    e = f->entries[f->next++];
    return kOk;
  }
  int MakeDir(const std::string& path) override {
    if (HasNul(path)) return kErrInvalidName;
    GuardedWay way;
    if (const int rc = way.Walk(path); rc != kOk) return rc;
    if (CreateDirectoryW(HostPath(path).c_str(), nullptr)) return kOk;
    const DWORD err = GetLastError();
    return err == ERROR_ALREADY_EXISTS && way.RefusesName(path) ? kErrLinkRefused : static_cast<int>(err);
  }
  int Rename(const std::string& from, const std::string& to) override {
    if (HasNul(from) || HasNul(to)) return kErrInvalidName;
    GuardedWay src, dst;
    if (const int rc = src.Walk(from); rc != kOk) return rc;
    if (const int rc = dst.Walk(to); rc != kOk) return rc;
    if (src.RefusesName(from) || dst.RefusesName(to)) return kErrLinkRefused;
    return MoveFileW(HostPath(from).c_str(), HostPath(to).c_str()) ? kOk : static_cast<int>(GetLastError());
  }
  int Remove(const std::string& path) override {
    if (HasNul(path)) return kErrInvalidName;
    GuardedWay way;
    if (const int rc = way.Walk(path); rc != kOk) return rc;
    if (way.RefusesName(path)) return kErrLinkRefused;
    return DeleteFileW(HostPath(path).c_str()) ? kOk : static_cast<int>(GetLastError());
  }
  int RemoveDir(const std::string& path) override {
    if (HasNul(path)) return kErrInvalidName;
    GuardedWay way;
    if (const int rc = way.Walk(path); rc != kOk) return rc;
    if (way.RefusesName(path)) return kErrLinkRefused;
    return RemoveDirectoryW(HostPath(path).c_str()) ? kOk : static_cast<int>(GetLastError());
  }
  int CurrentDir(std::string& path) override {
    // As long as the system makes it: a current directory may be longer
    // than MAX_PATH.
    std::wstring buf(MAX_PATH + 1, L'\0');
    for (;;) {
      const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
      if (n == 0) return static_cast<int>(GetLastError());
      if (n < buf.size()) break;
      buf.assign(n + 1, L'\0');
    }
    path = Narrow(buf.c_str());
    return kOk;
  }

 private:
  static OVERLAPPED At(int64_t pos) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(pos);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(pos) >> 32);
    return at;
  }
  static int Keep(HANDLE fh, FileHandle& h) {
    h = static_cast<FileHandle>(reinterpret_cast<intptr_t>(fh));
    return kOk;
  }
};

}  // namespace

std::unique_ptr<FileSystem> MakeHostFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace qm
