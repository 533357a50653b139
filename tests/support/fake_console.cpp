#include "tests/support/fake_console.h"

#include "base/cp852.h"
#include "platform/key_script.h"

namespace qm::test {

void FakeConsole::Key(uint16_t code, uint8_t state) {
  ConsoleEvent ev;
  ev.kind = ConsoleEvent::Key;
  ev.keyCode = code;
  ev.state = state;
  events_.push_back(ev);
}

void FakeConsole::Keys(const std::string& script) {
  std::vector<ConsoleEvent> evs;
  std::string error;
  if (!ParseKeyScript(script, evs, error)) throw std::invalid_argument("bad key script: " + error);
  for (auto& e : evs) events_.push_back(e);
}

void FakeConsole::Mouse(int col, int row, uint16_t buttons) {
  ConsoleEvent ev;
  ev.kind = ConsoleEvent::Mouse;
  ev.x = col;
  ev.y = row;
  ev.buttons = buttons;
  events_.push_back(ev);
}

void FakeConsole::Paste(const std::string& cp852) {
  ConsoleEvent ev;
  ev.kind = ConsoleEvent::Paste;
  ev.text = cp852;
  events_.push_back(ev);
}

bool FakeConsole::WaitEvent(ConsoleEvent& ev, int timeoutMs) {
  Flush();
  if (capture) screens.push_back(ScreenText());
  if (events_.empty()) {
    if (timeoutMs >= 0 && typeAhead) {
      nowMs += static_cast<uint64_t>(timeoutMs);
      return false;
    }
    throw ScriptExhausted();
  }
  ev = events_.front();
  events_.pop_front();
  return true;
}

LocalTime FakeConsole::Now() {
  LocalTime t;
  t.year = 2020;
  t.month = 1;
  t.day = 15;
  const uint64_t s = nowMs / 1000;
  t.hour = static_cast<int>(10 + (s / 3600) % 14);
  t.minute = static_cast<int>((s / 60) % 60);
  t.second = static_cast<int>(s % 60);
  t.millisecond = static_cast<int>(nowMs % 1000);
  return t;
}

std::string FakeConsole::Text(int row, int col, int count) const {
  std::string s;
  for (int c = col; c < col + count && c <= kCols; ++c) s += static_cast<char>(Get(c, row).ch);
  return s;
}

std::string FakeConsole::Row(int row) const { return Cp852ToUtf8(RowText(row), true); }

bool FakeConsole::Shows(const std::string& utf8) const {
  return ScreenText().find(utf8) != std::string::npos;
}

}  // namespace qm::test
