#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "base/cp852.h"
#include "platform/backend.h"
#include "platform/console_scripted.h"
#include "platform/console_terminal.h"
#include "platform/process.h"

namespace qm {
namespace {

std::string CurrentDir() {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    if (getcwd(buf.data(), buf.size())) return buf.data();
    if (errno != ERANGE) return {};
    buf.resize(buf.size() * 2);
  }
}

// The running program's path: the kernel's word for it, else argv[0] made
// absolute (searched on PATH when it names no directory).
std::string ExecutablePath(const char* argv0) {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) break;
    if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
    buf.resize(buf.size() * 2);
  }
  const std::string name = argv0 ? argv0 : "";
  if (name.empty()) return name;
  std::string found = name;
  if (name.find('/') == std::string::npos) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
      size_t end = dirs.find(':', start);
      if (end == std::string::npos) end = dirs.size();
      const std::string dir = end > start ? dirs.substr(start, end - start) : std::string(".");
      const std::string candidate = dir + "/" + name;
      if (access(candidate.c_str(), X_OK) == 0) {
        found = candidate;
        break;
      }
      start = end + 1;
    }
  }
  if (char* real = realpath(found.c_str(), nullptr)) {
    std::string r = real;
    free(real);
    return r;
  }
  if (!found.empty() && found[0] != '/') found = CurrentDir() + "/" + found;
  return found;
}

}  // namespace

std::unique_ptr<Console> MakeConsole(std::string& error) {
  const char* keys = std::getenv("QMKEYS");
  if (keys && *keys) {
    const char* screen = std::getenv("QMSCREEN");
    return ScriptedConsole::Open(keys, screen ? screen : "", error);
  }
  return OpenTerminalConsole(error);
}

void InitProcess(int argc, char** argv) {
  // Over a file-size limit a write is to fail like any other (the file
  // layer reports it), not to kill the program halfway through a company.
  signal(SIGXFSZ, SIG_IGN);
  SetProgramFilePath(Utf8ToCp852(ExecutablePath(argc > 0 ? argv[0] : nullptr)));
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8ToCp852(argv[i]));
  SetCommandArgs(std::move(args));
}

void WriteStdStream(StdStream stream, const std::string& utf8) {
  std::FILE* f = stream == StdStream::Error ? stderr : stdout;
  std::fwrite(utf8.data(), 1, utf8.size(), f);
  std::fflush(f);
}

}  // namespace qm
