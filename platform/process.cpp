#include "platform/process.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstdlib>

#include "fileio/cp852.h"
#include "platform/console.h"

namespace qm {
namespace {
std::vector<std::string> g_args;
std::string g_programPath;
std::function<void(int)> g_exitHook;
}  // namespace

const std::vector<std::string>& CommandArgs() { return g_args; }
void SetCommandArgs(std::vector<std::string> args) { g_args = std::move(args); }

#ifdef _WIN32
namespace {
std::wstring Widen(const std::string& cp852) {
  std::wstring w;
  for (unsigned char c : cp852) {
    const char32_t cp = Cp852ToUnicode(c);
    // Names and values stay in the Basic Multilingual Plane.
    w += static_cast<wchar_t>(c == 0 ? 0 : cp);
  }
  return w;
}
std::string Narrow(const std::wstring& w) {
  std::string utf8;
  for (size_t i = 0; i < w.size(); ++i) {
    char32_t cp = static_cast<char16_t>(w[i]);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < w.size()) {
      const char32_t lo = static_cast<char16_t>(w[i + 1]);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      }
    }
    AppendUtf8(utf8, cp);
  }
  return Utf8ToCp852(utf8);
}
}  // namespace

// The environment holds Unicode; the ANSI view getenv() gives is in the
// Windows code page, not in 852.
std::string GetEnvVar(const std::string& name) {
  const std::wstring wname = Widen(name);
  DWORD size = GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  size = GetEnvironmentVariableW(wname.c_str(), value.data(), size);
  value.resize(size);
  return Narrow(value);
}
#else
// Names and values are taken as UTF-8, as the locale of today's systems
// writes them.
std::string GetEnvVar(const std::string& name) {
  const char* v = std::getenv(Cp852ToUtf8(name).c_str());
  if (!v) return {};
  return Utf8ToCp852(v);
}
#endif

std::string ProgramFilePath() { return g_programPath; }
void SetProgramFilePath(std::string path) { g_programPath = std::move(path); }

void ResetProcessState() {
  g_args.clear();
  g_programPath.clear();
}

void SetExitHook(std::function<void(int)> hook) { g_exitHook = std::move(hook); }

void ExitProgram(int code) {
  if (g_exitHook) g_exitHook(code);
  if (HasConsole()) Con().Shutdown();
  std::fflush(nullptr);
  std::exit(code);
}

}  // namespace qm
