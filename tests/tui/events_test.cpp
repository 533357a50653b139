// The event reader: key remapping, the Polish Alt letters, mouse events,
// pastes, the hint line's translation and the clock while waiting.
#include <string>

#include "base/cp852.h"
#include "tests/support/test_env.h"
#include "tui/events.h"
#include "tui/forms.h"
#include "tui/screen.h"

namespace qm::test {
namespace {

using EventTest = QmTest;

UiEvent Next() {
  UiEvent ev;
  GetEvent(ev);
  return ev;
}

TEST_F(EventTest, KeyRemappingAndExtendedKeys) {
  struct Case {
    uint16_t code;
    uint8_t state;
    uint16_t want;
    bool extended;
    uint8_t ch;
  } cases[] = {
      {0x1709, 0x04, kKeyIns, true, ' '},          // Ctrl+I
      {0x1011, 0x04, kKeyEsc, false, 0x1B},        // Ctrl+Q
      {kKeyIns, 0x23, kKeyShiftIns, true, ' '},    // Shift+Ins with Num Lock
      {kKeyIns, 0x21, kKeyIns, true, ' '},         // not exactly 0x23
      {kKeyIns, 0x00, kKeyIns, true, ' '},
      {kKeyPgDn, 0x00, kKeyPgDn, true, ' '},
      {0x1E61, 0x00, 0x1E61, false, 'a'},
      {kKeyEnter, 0x00, kKeyEnter, false, 0x0D},
  };
  for (const Case& c : cases) con.Key(c.code, c.state);
  for (const Case& c : cases) {
    const UiEvent ev = Next();
    EXPECT_EQ(ev.what, EVENT_KEY);
    EXPECT_EQ(ev.keyCode, c.want) << std::hex << c.code;
    EXPECT_EQ(ev.extended, c.extended) << std::hex << c.code;
    EXPECT_EQ(ev.ch, c.ch) << std::hex << c.code;
  }
}

TEST_F(EventTest, PolishAltLetters) {
  struct Case {
    uint8_t scan;
    const char* lower;
    const char* upper;
  } cases[] = {{0x1E, "ą", "Ą"}, {0x2E, "ć", "Ć"}, {0x12, "ę", "Ę"}, {0x26, "ł", "Ł"},
               {0x31, "ń", "Ń"}, {0x18, "ó", "Ó"}, {0x1F, "ś", "Ś"}, {0x2C, "ż", "Ż"},
               {0x2D, "ź", "Ź"}, {0x19, "§", "§"}};
  for (const Case& c : cases) {
    // Alt alone, Alt+Shift+Num Lock, Alt+Caps+Num Lock, Alt+Shift without
    // Num Lock (stays lower case).
    for (uint8_t state : {0x08, 0x2B, 0x68, 0x0B}) {
      con.Key(static_cast<uint16_t>(c.scan << 8), state);
      const UiEvent ev = Next();
      const bool upper = state == 0x2B || state == 0x68;
      EXPECT_FALSE(ev.extended);
      EXPECT_EQ(std::string(1, static_cast<char>(ev.ch)), Pl(upper ? c.upper : c.lower))
          << std::hex << int(c.scan) << " state " << int(state);
      EXPECT_EQ(ev.keyCode, (c.scan << 8) | ev.ch);
    }
  }
  // Other Alt letters and plain extended keys stay extended.
  con.Key(0x2000, 0x08);  // Alt+D
  EXPECT_TRUE(Next().extended);
  con.Key(0x1E00, 0x00);  // no Alt: not a letter
  EXPECT_TRUE(Next().extended);
}

TEST_F(EventTest, KeyScriptAltLettersArriveAsPolish) {
  con.Keys("Alt-L Alt-Z Alt-X");
  EXPECT_EQ(Next().ch, 0x88);
  EXPECT_EQ(Next().ch, 0xBE);
  EXPECT_EQ(Next().ch, 0xAB);
}

TEST_F(EventTest, MouseEvents) {
  TextWindowRect saved;
  SetTextWindow(saved, 3, 3, 77, 20);
  con.Mouse(10, 5, 0);  // a release alone is not an event
  con.Mouse(10, 5, 2);
  con.Mouse(1, 1, 1);
  con.Mouse(2, 1, 4);
  con.Mouse(3, 1, 1);
  UiEvent ev = Next();
  EXPECT_EQ(ev.what, EVENT_MOUSE);
  EXPECT_EQ(ev.buttons, 2);
  EXPECT_EQ(ev.x, 10);
  EXPECT_EQ(ev.y, 5);
  EXPECT_EQ(ev.relX, 8);
  EXPECT_EQ(ev.relY, 3);
  for (int i = 0; i < 2; ++i) {
    ev = Next();
    EXPECT_EQ(ev.what, EVENT_KEY);
    EXPECT_EQ(ev.keyCode, kKeyEsc);
  }
  ev = Next();
  EXPECT_EQ(ev.what, EVENT_MOUSE);
  EXPECT_EQ(ev.x, 3);
  RestoreTextWindow(saved);
  EXPECT_EQ(LastEvent().x, 3);
}

TEST_F(EventTest, BurstOfMouseReportsCountsOnceAndKeepsTheKeyBehindIt) {
  con.typeAhead = true;
  con.Mouse(10, 5, 1);
  con.Mouse(11, 5, 1);
  con.Mouse(11, 5, 0);
  con.Key(0x1E61);
  UiEvent ev = Next();
  EXPECT_EQ(ev.what, EVENT_MOUSE);
  EXPECT_EQ(ev.x, 11);
  ev = Next();
  EXPECT_EQ(ev.what, EVENT_KEY);
  EXPECT_EQ(ev.ch, 'a');
}

TEST_F(EventTest, PasteIsCutAtTheFirstLineEnd) {
  con.Paste("C:\\ZEV\r\nsecond");
  con.Paste(std::string(300, 'x'));
  con.Paste("\r\nonly after a line end");  // nothing before it: no event
  con.Key(kKeyEnter);
  UiEvent ev = Next();
  EXPECT_EQ(ev.what, EVENT_KEY);
  EXPECT_EQ(ev.keyCode, 0);
  EXPECT_EQ(ev.paste, "C:\\ZEV");
  EXPECT_EQ(Next().paste, std::string(255, 'x'));
  EXPECT_EQ(Next().keyCode, kKeyEnter);
}

TEST_F(EventTest, HintLineTurnsKeysAndClicksIntoCommands) {
  auto hint = HintLine::Init(
      {{"?", 0, 0}, {"PgDn-Dalej", kKeyPgDn, 0x1001}, {"F5-Start", kKeyF5, 0x1003}});
  EXPECT_EQ(con.Text(25, 1, 23), " ?\xB3PgDn-Dalej\xB3" "F5-Start\xB3");
  con.Keys("PgDn F5 PgUp");
  con.Mouse(5, 25, 1);   // on "PgDn-Dalej"
  con.Mouse(3, 25, 1);   // on the separator after "?": no command there
  con.Mouse(2, 25, 1);   // on "?"
  con.Paste("x");
  EXPECT_EQ(Next().command, 0x1001);
  EXPECT_EQ(LastEvent().what, EVENT_COMMAND);
  EXPECT_EQ(Next().command, 0x1003);
  EXPECT_EQ(Next().keyCode, kKeyPgUp);
  EXPECT_EQ(Next().command, 0x1001);
  EXPECT_EQ(Next().what, EVENT_MOUSE);
  EXPECT_EQ(Next().what, EVENT_MOUSE);
  EXPECT_EQ(Next().paste, "x");
}

TEST_F(EventTest, ReadKeySkipsMouseAndPasteAndIgnoresTheHintLine) {
  auto hint = HintLine::Init({{"PgDn", kKeyPgDn, 0x1001}});
  con.Mouse(10, 10, 1);
  con.Paste("abc");
  con.Keys("PgDn");
  const UiEvent ev = ReadKey();
  EXPECT_EQ(ev.what, EVENT_KEY);
  EXPECT_EQ(ev.keyCode, kKeyPgDn);
}

TEST_F(EventTest, DrainKeyboardDropsTypeAhead) {
  con.typeAhead = true;
  con.Keys("a b c");
  DrainKeyboard();
  EXPECT_EQ(con.PendingCount(), 0u);
}

// A console that is idle for a number of waits before the next event.
class IdleConsole : public FakeConsole {
 public:
  int idleWaits = 0;
  std::vector<int> timeouts;
  bool WaitEvent(ConsoleEvent& ev, int timeoutMs) override {
    timeouts.push_back(timeoutMs);
    if (idleWaits > 0) {
      --idleWaits;
      nowMs += static_cast<uint64_t>(timeoutMs);
      return false;
    }
    return FakeConsole::WaitEvent(ev, timeoutMs);
  }
};

TEST_F(EventTest, WaitingSleepsUntilTheNextSecondAndShowsTheClock) {
  IdleConsole idle;
  SetConsole(&idle);
  idle.nowMs = 250;
  idle.idleWaits = 3;
  idle.Key(kKeyEnter);
  UiEvent ev;
  GetEvent(ev);
  EXPECT_EQ(ev.keyCode, kKeyEnter);
  // One wait per second, not a poll every few milliseconds.
  EXPECT_EQ(idle.timeouts, (std::vector<int>{750, 1000, 1000, 1000}));
  EXPECT_EQ(idle.Text(1, 73, 8), "10:00:03");
  SetConsole(&con);
}

}  // namespace
}  // namespace qm::test
