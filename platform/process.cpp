#include "platform/process.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstdlib>

#include "base/cp852.h"
#include "base/polish.h"
#include "platform/console.h"
#include "platform/host_fs.h"

namespace qm {
namespace {
std::vector<std::string> g_args;
std::string g_programPath;
std::function<void(int)> g_exitHook;
size_t g_switchIndex = 0;  // the argument HasSwitch matched last
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

namespace {
std::string WithoutTrailingSeparators(std::string dir) {
  while (!dir.empty() && (dir.back() == '/' || dir.back() == kPathSep)) dir.pop_back();
  return dir;
}
std::string UnderBase(const std::string& base) {
  return WithoutTrailingSeparators(base) + kPathSep + "qm19-20" + kPathSep;
}
}  // namespace

#ifdef _WIN32
std::string UserConfigDir() {
  const std::string appData = GetEnvVar("APPDATA");
  return appData.empty() ? std::string() : UnderBase(appData);
}
#else
// The base directory rule of the desktop: a relative XDG_CONFIG_HOME is
// ignored, as if unset.
std::string UserConfigDir() {
  const std::string xdg = GetEnvVar("XDG_CONFIG_HOME");
  if (!xdg.empty() && xdg[0] == '/') return UnderBase(xdg);
  const std::string home = GetEnvVar("HOME");
  return home.empty() ? std::string() : UnderBase(WithoutTrailingSeparators(home) + "/.config");
}
#endif

std::string ProgramFilePath() { return g_programPath; }
void SetProgramFilePath(std::string path) { g_programPath = std::move(path); }

void ResetProcessState() {
  g_args.clear();
  g_programPath.clear();
  g_switchIndex = 0;
}

void SetExitHook(std::function<void(int)> hook) { g_exitHook = std::move(hook); }

void ExitProgram(int code) {
  if (g_exitHook) g_exitHook(code);
  if (HasConsole()) Con().Shutdown();
  std::fflush(nullptr);
  std::exit(code);
}

std::string ProgramBase;
std::string ProgramDir;
std::string StartDir;

namespace {

std::string StripSwitchMark(const std::string& s) {
  if (!s.empty() && (s[0] == '-' || s[0] == '/')) return s.substr(1);
  return s;
}

bool StartsWith(const std::string& s, const std::string& prefix, bool ignoreCase) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    uint8_t a = static_cast<uint8_t>(s[i]);
    uint8_t b = static_cast<uint8_t>(prefix[i]);
    if (ignoreCase) {
      a = PlUpCaseChar(a);
      b = PlUpCaseChar(b);
    }
    if (a != b) return false;
  }
  return true;
}

}  // namespace

bool HasSwitch(SwitchCase mode, const std::string& key) {
  if (mode != SwitchCase::Exact && mode != SwitchCase::AnyCase) return false;
  const std::string k = StripSwitchMark(key);
  const auto& args = CommandArgs();
  for (size_t i = 0; i < args.size(); ++i) {
    if (StartsWith(StripSwitchMark(args[i]), k, mode == SwitchCase::AnyCase)) {
      g_switchIndex = i;
      return true;
    }
  }
  return false;
}

std::string CommandLineValue(SwitchCase mode, const std::string& prefix) {
  if (!HasSwitch(mode, prefix)) return {};
  // Both sides without their switch mark, so "kprspis:x", "/kprspis:x" and
  // "-KPRSPIS:x" all give "x" whichever way the prefix is written.
  const std::string arg = StripSwitchMark(CommandArgs()[g_switchIndex]);
  return arg.substr(StripSwitchMark(prefix).size());
}

void InitProgramLocation() {
  const std::string path = ProgramFilePath();
  // The extension is looked for in the file name only: a dot in a directory
  // name must not cut the path there.
  size_t sep = path.find_last_of(kPathSep);
#ifdef _WIN32
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && (sep == std::string::npos || slash > sep)) sep = slash;
#endif
  const size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
  const size_t dot = path.find_last_of('.');
  ProgramBase = (dot != std::string::npos && dot >= nameStart) ? path.substr(0, dot) : path;
  ProgramDir = sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
  std::string cwd;
  if (Fs().CurrentDir(cwd) != kOk) cwd.clear();
  if (cwd.size() > 3 && cwd.back() == kPathSep) cwd.pop_back();
  StartDir = cwd;
}

}  // namespace qm
