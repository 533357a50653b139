// The console of unattended runs: keys come from a key script (QMKEYS), the
// screen goes to a text file (QMSCREEN) each time the program waits for a
// key and once at the end. Needs no terminal.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/console.h"

namespace qm {

class ScriptedConsole : public Console {
 public:
  // Exit code of a run whose key script was used up while the program
  // still waited for a key.

  // screenFile: host path of the screen dump, empty for none.
  ScriptedConsole(std::vector<ConsoleEvent> events, std::string screenFile);
  ~ScriptedConsole() override = default;

  // Reads and parses the key script at scriptPath (host path); null with a
  // message in error when it cannot be read or holds an unknown key name.
  static std::unique_ptr<ScriptedConsole> Open(const std::string& scriptPath,
                                               const std::string& screenFile, std::string& error);

  size_t KeysLeft() const { return events_.size() - next_; }
  const std::string& Title() const { return title_; }

  void SetTitle(const std::string& cp852) override { title_ = cp852; }
  void Flush() override;
  // Hands out the next scripted event at once, whatever the timeout. A
  // used-up script ends the program with kExitScriptUsedUp.
  bool WaitEvent(ConsoleEvent& ev, int timeoutMs) override;
  // Scripted keys are never typed ahead: the program gets them one by one.
  bool EventPending() override { return false; }
  void DiscardPending() override {}
  void Sleep(int ms) override;
  void Tone(int, int) override {}
  LocalTime Now() override;
  uint32_t TickCount() override;
  bool CopyToClipboard(const std::string& cp852) override;
  std::string PasteFromClipboard() override { return clipboard_; }
  void Shutdown() override;

 private:
  void DumpScreen();

  std::vector<ConsoleEvent> events_;
  size_t next_ = 0;
  std::string screenFile_;
  std::string title_;
  std::string clipboard_;
  bool shutDown_ = false;
};

}  // namespace qm
