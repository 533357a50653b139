// The host file layer on Windows. Names are CP852 inside the program; the
// wide API takes them as UTF-16, so Polish letters in file names mean the
// same whatever ANSI code page the machine runs with. Error codes are the
// platform's own.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "fileio/cp852.h"
#include "platform/host_fs.h"

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

class Win32Find : public FindHandleBase {
 public:
  HANDLE h = INVALID_HANDLE_VALUE;
  uint8_t mask = 0;
  ~Win32Find() override {
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
  }
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

HANDLE H(FileHandle h) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(h)); }

class Win32FileSystem : public FileSystem {
 public:
  int Open(const std::string& path, uint8_t mode, FileHandle& h) override {
    h = kNoHandle;
    static const DWORD kAccess[4] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE,
                                     GENERIC_READ};
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
    return SetEndOfFile(H(h)) ? kOk : static_cast<int>(GetLastError());
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
    return UnlockFile(H(h), static_cast<DWORD>(off), static_cast<DWORD>(off >> 32),
                      static_cast<DWORD>(len), static_cast<DWORD>(len >> 32))
               ? kOk
               : static_cast<int>(GetLastError());
  }
  int FindFirst(const std::string& pattern, uint8_t attrMask, FindEntry& e,
                FindHandle& fh) override {
    auto f = std::make_unique<Win32Find>();
    f->mask = attrMask;
    WIN32_FIND_DATAW d;
    f->h = FindFirstFileW(Wide(pattern).c_str(), &d);
    if (f->h == INVALID_HANDLE_VALUE) {
      const DWORD err = GetLastError();
      return err == ERROR_NO_MORE_FILES ? kErrFileNotFound : static_cast<int>(err);
    }
    for (;;) {
      Fill(d, e);
      if (Wanted(e.attr, attrMask)) break;
      if (!FindNextFileW(f->h, &d)) return kErrFileNotFound;
    }
    fh = std::move(f);
    return kOk;
  }
  int FindNext(FindHandle& fh, FindEntry& e) override {
    auto* f = dynamic_cast<Win32Find*>(fh.get());
    if (!f) return kErrNoMoreFiles;
    WIN32_FIND_DATAW d;
    for (;;) {
      if (!FindNextFileW(f->h, &d)) return static_cast<int>(GetLastError());
      Fill(d, e);
      if (Wanted(e.attr, f->mask)) return kOk;
    }
  }
  int MakeDir(const std::string& path) override {
    return CreateDirectoryW(Wide(path).c_str(), nullptr) ? kOk : static_cast<int>(GetLastError());
  }
  int Rename(const std::string& from, const std::string& to) override {
    return MoveFileW(Wide(from).c_str(), Wide(to).c_str()) ? kOk : static_cast<int>(GetLastError());
  }
  int Remove(const std::string& path) override {
    return DeleteFileW(Wide(path).c_str()) ? kOk : static_cast<int>(GetLastError());
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
