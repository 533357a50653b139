// The host file layer on Windows. Names are CP852 inside the program; the
// wide API takes them as UTF-16, so Polish letters in file names mean the
// same whatever ANSI code page the machine runs with. Error codes are the
// platform's own.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/cp852.h"
#include "base/polish.h"
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

void Fill(const WIN32_FIND_DATAW& d, FindEntry& e) {
  e.name = Narrow(d.cFileName);
  e.attr = AttrOf(d.dwFileAttributes);
  e.size = (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
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
    const DWORD a = GetFileAttributesW(Wide(dir.substr(0, dir.size() - 1)).c_str());
    if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY)) return kErrPathNotFound;
  }
  return static_cast<int>(err);
}

HANDLE H(FileHandle h) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(h)); }

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
    HANDLE fh = CreateFileW(Wide(path).c_str(), kAccess[mode & 3], share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (fh == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
    return Keep(fh, h);
  }
  int Create(const std::string& path, FileHandle& h) override {
    h = kNoHandle;
    if (HasNul(path)) return kErrInvalidName;
    HANDLE fh = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (fh == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
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
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileW(Wide(wild ? dir + "*" : pattern).c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return SearchError(GetLastError(), dir);
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
    return CreateDirectoryW(Wide(path).c_str(), nullptr) ? kOk : static_cast<int>(GetLastError());
  }
  int Rename(const std::string& from, const std::string& to) override {
    if (HasNul(from) || HasNul(to)) return kErrInvalidName;
    return MoveFileW(Wide(from).c_str(), Wide(to).c_str()) ? kOk : static_cast<int>(GetLastError());
  }
  int Remove(const std::string& path) override {
    if (HasNul(path)) return kErrInvalidName;
    return DeleteFileW(Wide(path).c_str()) ? kOk : static_cast<int>(GetLastError());
  }
  int RemoveDir(const std::string& path) override {
    if (HasNul(path)) return kErrInvalidName;
    return RemoveDirectoryW(Wide(path).c_str()) ? kOk : static_cast<int>(GetLastError());
  }
  int CurrentDir(std::string& path) override {
    wchar_t buf[MAX_PATH + 1];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH) return static_cast<int>(GetLastError());
    path = Narrow(buf);
    return kOk;
  }

 private:
  static int Keep(HANDLE fh, FileHandle& h) {
    h = static_cast<FileHandle>(reinterpret_cast<intptr_t>(fh));
    return kOk;
  }
};

}  // namespace

std::unique_ptr<FileSystem> MakeHostFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace qm
