#include "platform/console_scripted.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/host_time.h"
#include "platform/key_script.h"
#include "platform/process.h"

namespace qm {

ScriptedConsole::ScriptedConsole(std::vector<ConsoleEvent> events, std::string screenFile)
    : events_(std::move(events)), screenFile_(std::move(screenFile)) {}

std::unique_ptr<ScriptedConsole> ScriptedConsole::Open(const std::string& scriptPath,
                                                       const std::string& screenFile,
                                                       std::string& error) {
  std::ifstream in(scriptPath, std::ios::binary);
  if (!in) {
    error = "cannot read the key script " + scriptPath;
    return nullptr;
  }
  const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<ConsoleEvent> events;
  std::string why;
  if (!ParseKeyScript(script, events, why)) {
    error = "key script " + scriptPath + ": " + why;
    return nullptr;
  }
  return std::make_unique<ScriptedConsole>(std::move(events), screenFile);
}

void ScriptedConsole::Flush() {
  dirtyRows_ = 0;
  cursorDirty_ = false;
}

void ScriptedConsole::DumpScreen() {
  if (screenFile_.empty()) return;
  std::ofstream out(screenFile_, std::ios::binary | std::ios::app);
  out << ScreenText() << std::string(kCols, '=') << '\n';
}

bool ScriptedConsole::WaitEvent(ConsoleEvent& ev, int) {
  Flush();
  if (next_ < events_.size()) {
    DumpScreen();
    ev = events_[next_++];
    return true;
  }
  // Waiting for a key that will never come: a script that ends too early
  // must not hang an unattended run, nor pass for a finished one. The
  // screen it stopped at is the last one in the dump.
  std::fprintf(stderr, "qm19-20: key script used up\n");
  Shutdown();
  std::fflush(nullptr);
  std::exit(kExitScriptUsedUp);
}

void ScriptedConsole::Sleep(int ms) { HostSleep(ms); }
LocalTime ScriptedConsole::Now() { return HostNow(); }
uint32_t ScriptedConsole::TickCount() { return HostTickCount(); }

bool ScriptedConsole::CopyToClipboard(const std::string& cp852) {
  clipboard_ = cp852;
  return true;
}

void ScriptedConsole::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  DumpScreen();
}

}  // namespace qm
