// Terminal input: bytes as a terminal sends them in, console events out.
// The parser is pure (no I/O, no clock of its own): the terminal backend
// feeds it what it reads together with the current time and asks it when a
// lone Esc has waited long enough to be a key of its own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "platform/console.h"

namespace qm {

class InputParser {
 public:
  // How long an Esc waits for the rest of an escape sequence.
  static constexpr uint32_t kDefaultEscDelayMs = 50;
  // Pasted text beyond this many bytes is dropped.
  static constexpr size_t kMaxPaste = 64 * 1024;

  explicit InputParser(uint32_t escDelayMs = kDefaultEscDelayMs) : escDelay_(escDelayMs) {}

  void Feed(const char* data, size_t size, uint32_t nowMs);
  void Feed(const std::string& bytes, uint32_t nowMs) { Feed(bytes.data(), bytes.size(), nowMs); }
  // Milliseconds until the waiting Esc (or cut-off sequence) must be settled
  // with Expire(); -1 when nothing waits.
  int MsUntilExpiry(uint32_t nowMs) const;
  // Settles input that has waited its delay: a lone Esc becomes the Esc key.
  void Expire(uint32_t nowMs);

  bool HasEvent() const { return !events_.empty(); }
  bool Next(ConsoleEvent& ev);
  // Drops the events not yet taken. A sequence still arriving is kept, so
  // its tail is not mistaken for typed characters.
  void DropEvents() { events_.clear(); }
  // The terminal's size: mouse reports outside it are dropped, those inside
  // keep the terminal's positions (the console maps them to its screen).
  void SetMouseArea(int cols, int rows) {
    mouseCols_ = cols;
    mouseRows_ = rows;
  }

 private:
  enum class Step { Done, NeedMore };
  void Parse(bool expired);
  Step ParseEscape(size_t& used, bool expired);
  Step ParseCsi(size_t& used, bool expired);
  Step ParseSs3(size_t& used, bool expired);
  void PasteBytes();
  void EmitKey(uint16_t code, uint8_t state);
  void EmitMouse(int b, int x, int y, bool release);
  void EmitModifiedChar(int cp, uint8_t state);
  void EmitCsi(const std::string& params, char final);
  void EmitPaste();

  uint32_t escDelay_;
  std::string buf_;
  uint32_t since_ = 0;      // arrival of the oldest byte still in buf_
  uint32_t lastInput_ = 0;  // arrival of the latest bytes
  bool inPaste_ = false;
  std::string paste_;
  std::deque<ConsoleEvent> events_;
  int mouseCols_ = Console::kCols, mouseRows_ = Console::kRows;
};

}  // namespace qm
