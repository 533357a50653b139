#include "platform/process.h"

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

std::string GetEnvVar(const std::string& name) {
  const char* v = std::getenv(Cp852ToUtf8(name).c_str());
  if (!v) return {};
#ifdef _WIN32
  return v;
#else
  return Utf8ToCp852(v);
#endif
}

std::string ProgramFilePath() { return g_programPath; }
void SetProgramFilePath(std::string path) { g_programPath = std::move(path); }

void SetExitHook(std::function<void(int)> hook) { g_exitHook = std::move(hook); }

void ExitProgram(int code) {
  if (g_exitHook) g_exitHook(code);
  if (HasConsole()) Con().Shutdown();
  std::fflush(nullptr);
  std::exit(code);
}

}  // namespace qm
