#include "tui/events.h"

#include <optional>

#include "platform/console.h"
#include "tui/forms.h"
#include "tui/screen.h"

namespace qm {
namespace {

UiEvent g_last;
// A console event read while draining mouse events that turned out to be
// something else; it is the next one delivered.
std::optional<ConsoleEvent> g_pushedBack;

struct AltLetter {
  uint8_t scan;
  uint8_t lower;
  uint8_t upper;
};
// Alt with these letters types the Polish letters (CP852): the keyboard
// layouts of the console deliver them as scan codes only.
constexpr AltLetter kAltLetters[] = {
    {0x1E, 0xA5, 0xA4},  // A: ą Ą
    {0x2E, 0x86, 0x8F},  // C: ć Ć
    {0x12, 0xA9, 0xA8},  // E: ę Ę
    {0x26, 0x88, 0x9D},  // L: ł Ł
    {0x31, 0xE4, 0xE3},  // N: ń Ń
    {0x18, 0xA2, 0xE0},  // O: ó Ó
    {0x1F, 0x98, 0x97},  // S: ś Ś
    {0x2C, 0xBE, 0xBD},  // Z: ż Ż
    {0x2D, 0xAB, 0x8D},  // X: ź Ź
    {0x19, 0xF5, 0xF5},  // P: §
};

void (*g_beforeWait)() = nullptr;

bool NextConsoleEvent(ConsoleEvent& ce, int timeoutMs) {
  if (g_pushedBack) {
    ce = *g_pushedBack;
    g_pushedBack.reset();
    return true;
  }
  if (g_beforeWait) g_beforeWait();
  return Con().WaitEvent(ce, timeoutMs);
}

void BuildKey(const ConsoleEvent& ce, UiEvent& ev) {
  uint16_t code = ce.keyCode;
  if (code == 0x1709) code = kKeyIns;  // Ctrl+I
  else if (code == 0x1011) code = kKeyEsc;  // Ctrl+Q
  else if (code == kKeyIns && ce.state == 0x23) code = kKeyShiftIns;  // Shift+Ins, Num Lock on
  ev.what = EVENT_KEY;
  ev.state = ce.state;
  ev.keyCode = code;
  ev.ch = static_cast<uint8_t>(code & 0xFF);
  ev.extended = ev.ch == 0;
  if (ev.extended) ev.ch = ' ';
  if (ev.extended && (ce.state & kStateAlt)) {
    const uint8_t scan = static_cast<uint8_t>(code >> 8);
    // Capitals only with exactly Alt+Shift+Num Lock or Alt+Caps+Num Lock.
    const bool upper = ce.state == 0x2B || ce.state == 0x68;
    for (const AltLetter& a : kAltLetters) {
      if (a.scan != scan) continue;
      ev.ch = upper ? a.upper : a.lower;
      ev.extended = false;
      ev.keyCode = static_cast<uint16_t>((scan << 8) | ev.ch);
      break;
    }
  }
}

// Turns one console event into an interface event; false for events the
// interface does not see (button releases, bare motion).
bool BuildEvent(const ConsoleEvent& ce, UiEvent& ev) {
  ClearEvent(ev);
  switch (ce.kind) {
    case ConsoleEvent::Key:
      BuildKey(ce, ev);
      return true;
    case ConsoleEvent::Paste:
      ev.what = EVENT_KEY;
      ev.paste = ClipboardLine(ce.text);
      return !ev.paste.empty();
    case ConsoleEvent::Mouse: {
      if (ce.buttons == 0) return false;
      // Only the newest of a burst of mouse reports counts.
      ConsoleEvent more;
      ConsoleEvent m = ce;
      while (!g_pushedBack && Con().EventPending() && Con().WaitEvent(more, 0)) {
        if (more.kind != ConsoleEvent::Mouse) {
          g_pushedBack = more;
          break;
        }
        if (more.buttons != 0) m = more;
      }
      if (m.y == 1 && (m.x == 1 || m.x == 2)) {
        ev.what = EVENT_KEY;
        ev.keyCode = kKeyEsc;
        ev.ch = 0x1B;
        return true;
      }
      ev.what = EVENT_MOUSE;
      ev.buttons = m.buttons;
      ev.x = m.x;
      ev.y = m.y;
      const TextWindowRect w = CurrentTextWindow();
      ev.relX = m.x - w.x1 + 1;
      ev.relY = m.y - w.y1 + 1;
      return true;
    }
    default:
      return false;
  }
}

void ReadEvent(UiEvent& ev) {
  for (;;) {
    ConsoleEvent ce;
    // No busy loop: the wait ends with an event or when the clock's second
    // turns over.
    if (!NextConsoleEvent(ce, ClockWaitMs())) {
      UpdateClock();
      continue;
    }
    if (BuildEvent(ce, ev)) return;
  }
}

}  // namespace

void ClearEvent(UiEvent& ev) { ev = UiEvent{}; }

const UiEvent& LastEvent() { return g_last; }

void GetEvent(UiEvent& ev) {
  ReadEvent(ev);
  TranslateByHintLine(ev);
  g_last = ev;
}

UiEvent ReadKey() {
  UiEvent ev;
  do {
    ReadEvent(ev);
  } while (ev.what != EVENT_KEY || !ev.paste.empty());
  g_last = ev;
  return ev;
}

void DrainKeyboard() {
  g_pushedBack.reset();
  Con().DiscardPending();
}

void ResetEventState() {
  g_last = UiEvent{};
  g_pushedBack.reset();
  g_beforeWait = nullptr;
}

void SetBeforeWait(void (*hook)()) { g_beforeWait = hook; }

}  // namespace qm
