// A console for tests: scripted events in, the cell buffer out, a virtual
// clock, and a record of tones.
#pragma once
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/console.h"

namespace qm::test {

// Thrown when the program waits for an event and the script is used up.
struct ScriptExhausted : std::runtime_error {
  ScriptExhausted() : std::runtime_error("key script used up") {}
};
// Thrown by the exit hook the test environment installs.
struct ProgramExited : std::runtime_error {
  int code;
  explicit ProgramExited(int c) : std::runtime_error("program exited"), code(c) {}
};

class FakeConsole : public Console {
 public:
  // Queues a key by its code (scan * 256 + char) and state byte.
  void Key(uint16_t code, uint8_t state = 0);
  // Queues keys named as in a key script ("PgDn F5 Enter \"text\" t").
  void Keys(const std::string& script);
  void Mouse(int col, int row, uint16_t buttons);
  void Paste(const std::string& cp852);
  void Push(const ConsoleEvent& ev) { events_.push_back(ev); }
  size_t PendingCount() const { return events_.size(); }

  // When true, queued events count as typed ahead: EventPending() sees them
  // and DiscardPending() drops them. Off by default: keys arrive one by one
  // as the program asks for them, as from a key script.
  bool typeAhead = false;
  // Screens captured at every wait for an event (when capture is on).
  bool capture = false;
  std::vector<std::string> screens;

  std::string title;
  std::vector<std::pair<int, int>> tones;  // (freq, ms)
  uint64_t nowMs = 0;                      // virtual clock
  int flushes = 0;

  // Text of row r (CP852) from column col, count characters.
  std::string Text(int row, int col, int count) const;
  // Row r as UTF-8.
  std::string Row(int row) const;
  uint8_t Attr(int col, int row) const { return Get(col, row).attr; }
  // True when the UTF-8 text appears anywhere on the screen.
  bool Shows(const std::string& utf8) const;

  void SetTitle(const std::string& cp852) override { title = cp852; }
  void Flush() override {
    ++flushes;
    if (onFlush) onFlush(*this);
    dirtyRows_ = 0;
  }
  // Sees every frame a terminal would draw.
  std::function<void(const FakeConsole&)> onFlush;
  bool WaitEvent(ConsoleEvent& ev, int timeoutMs) override;
  bool EventPending() override { return typeAhead && !events_.empty(); }
  void DiscardPending() override {
    if (typeAhead) events_.clear();
  }
  void Sleep(int ms) override { nowMs += static_cast<uint64_t>(ms); }
  void Tone(int freq, int ms) override { tones.emplace_back(freq, ms); }
  LocalTime Now() override;
  uint32_t TickCount() override { return static_cast<uint32_t>(nowMs); }
  bool CopyToClipboard(const std::string& cp852) override {
    clipboard = cp852;
    return true;
  }
  std::string PasteFromClipboard() override { return clipboard; }
  void Shutdown() override { shutdowns++; }

  std::string clipboard;
  int shutdowns = 0;

 private:
  std::deque<ConsoleEvent> events_;
};

}  // namespace qm::test
