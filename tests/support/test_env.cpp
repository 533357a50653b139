#include "tests/support/test_env.h"

#include <stdlib.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>

#include "driver/program_state.h"
#include "driver/safe_transfer.h"
#include "fileio/shared_file.h"
#include "platform/console.h"
#include "platform/process.h"
#include "run/run_report.h"
#include "tests/support/no_sync_fs.h"
#include "tui/screen.h"

#ifdef _WIN32
namespace {
std::wstring WideOfUtf8(const char* s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
  std::wstring w(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s, -1, w.data(), n);
  w.resize(w.size() - 1);
  return w;
}
}  // namespace

int setenv(const char* name, const char* value, int overwrite) {
  const std::wstring wname = WideOfUtf8(name);
  if (!overwrite && GetEnvironmentVariableW(wname.c_str(), nullptr, 0) > 0) return 0;
  const std::wstring wvalue = WideOfUtf8(value);
  // The C library keeps its own copy for getenv(); keep both in step.
  _wputenv_s(wname.c_str(), wvalue.c_str());
  return SetEnvironmentVariableW(wname.c_str(), wvalue.c_str()) ? 0 : -1;
}

int unsetenv(const char* name) {
  const std::wstring wname = WideOfUtf8(name);
  _wputenv_s(wname.c_str(), L"");
  SetEnvironmentVariableW(wname.c_str(), nullptr);
  return 0;
}
#endif

namespace qm::test {

namespace stdfs = std::filesystem;

// Host paths are UTF-8 on both systems; Windows file names are UTF-16.
stdfs::path HostPath(const std::string& p) {
#ifdef _WIN32
  return stdfs::path(std::u8string(p.begin(), p.end()));
#else
  return stdfs::path(p);
#endif
}

namespace {

bool IsAbsolute(const std::string& p) {
#ifdef _WIN32
  if (p.size() >= 2 && p[1] == ':') return true;
  if (!p.empty() && p[0] == '\\') return true;
#endif
  return !p.empty() && p[0] == '/';
}

std::string MakeTempDir() {
#ifdef _WIN32
  // The root of the temporary directory's drive when it lets us, as short a
  // base as /tmp: message boxes and log lines show whole paths, and a long
  // profile path would run past them.
  std::error_code ec;
  const stdfs::path temp = stdfs::temp_directory_path(ec);
  if (ec) return {};
  for (const stdfs::path& base : {temp.root_path(), temp}) {
    for (unsigned n = GetCurrentProcessId() * 7919u + GetTickCount(), tries = 0; tries < 100; ++n, ++tries) {
      const stdfs::path d = base / ("qmtest." + std::to_string(n % 1000000u));
      if (CreateDirectoryW(d.c_str(), nullptr)) return d.string() + "\\";
      if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
  }
  return {};
#else
  char tmpl[] = "/tmp/qmtest.XXXXXX";
  const char* d = mkdtemp(tmpl);
  return d ? std::string(d) + "/" : std::string();
#endif
}
}  // namespace

void QmTest::SetUp() {
  SetConsole(&con);
  fs = std::make_unique<NoSyncFs>(MakeHostFileSystem());
  SetFileSystem(fs.get());
  SetExitHook([](int code) { throw ProgramExited(code); });
  ResetProgramState();
  dir_ = MakeTempDir();
  ASSERT_FALSE(dir_.empty());
  // The user's own side files stay out of every test, and the programs the
  // tests start inherit the same empty place.
#ifdef _WIN32
  setenv("APPDATA", (dir_ + "config").c_str(), 1);
#else
  setenv("XDG_CONFIG_HOME", (dir_ + "config").c_str(), 1);
#endif
}

void QmTest::TearDown() {
  // A transfer cut off by the test ends here, while its file system lives.
  ResetSafeTransfer();
  ResetRunReport();
  std::error_code ec;
  stdfs::remove_all(HostPath(dir_), ec);
  SetExitHook(nullptr);
  SetFileSystem(nullptr);
  SetConsole(nullptr);
}

static stdfs::path Abs(const std::string& dir, const std::string& rel) {
  return HostPath(IsAbsolute(rel) ? rel : dir + rel);
}

void QmTest::WriteFile(const std::string& rel, const Bytes& data) {
  const stdfs::path p = Abs(dir_, rel);
  stdfs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

void QmTest::WriteText(const std::string& rel, const std::string& text) {
  WriteFile(rel, Bytes(text.begin(), text.end()));
}

Bytes QmTest::ReadFile(const std::string& rel) const {
  std::ifstream f(Abs(dir_, rel), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string QmTest::ReadText(const std::string& rel) const {
  const Bytes b = ReadFile(rel);
  return std::string(b.begin(), b.end());
}

bool QmTest::Exists(const std::string& rel) const { return stdfs::exists(Abs(dir_, rel)); }

void QmTest::MakeDir(const std::string& rel) { stdfs::create_directories(Abs(dir_, rel)); }

}  // namespace qm::test
