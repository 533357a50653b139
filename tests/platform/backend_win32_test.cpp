// The Windows backends: console input records turned into PC key codes,
// mouse records, the clipboard, the process start-up and the environment.
#include <windows.h>

#include <filesystem>
#include <string>

#include "base/cp852.h"
#include "platform/backend.h"
#include "platform/console_win32.h"
#include "platform/key_table.h"
#include "platform/process.h"
#include "tests/support/test_env.h"

namespace qm::test {
namespace {

KEY_EVENT_RECORD KeyRecord(WORD vk, wchar_t ch, DWORD controls) {
  KEY_EVENT_RECORD k{};
  k.bKeyDown = TRUE;
  k.wRepeatCount = 1;
  k.wVirtualKeyCode = vk;
  k.uChar.UnicodeChar = ch;
  k.dwControlKeyState = controls;
  return k;
}

TEST(Win32Keys, RecordsGiveTheKeyCodesOfThePc) {
  struct Case {
    const char* what;
    WORD vk;
    wchar_t ch;
    DWORD controls;
    uint16_t code;
    uint8_t state;
  };
  const Case cases[] = {
      {"Enter", VK_RETURN, L'\r', 0, 0x1C0D, 0},
      {"Ctrl+Enter", VK_RETURN, L'\n', LEFT_CTRL_PRESSED, 0x1C0A, kStateCtrl},
      {"Esc", VK_ESCAPE, 0x1B, 0, 0x011B, 0},
      {"Tab", VK_TAB, L'\t', 0, 0x0F09, 0},
      {"Shift+Tab", VK_TAB, 0, SHIFT_PRESSED, 0x0F00, kStateShift},
      {"Backspace", VK_BACK, 8, 0, 0x0E08, 0},
      {"Space", VK_SPACE, L' ', 0, 0x3920, 0},
      {"F5", VK_F5, 0, 0, 0x3F00, 0},
      {"F11", VK_F11, 0, 0, 0x8500, 0},
      {"PgDn", VK_NEXT, 0, 0, 0x5100, 0},
      {"PgUp", VK_PRIOR, 0, ENHANCED_KEY, 0x4900, 0},
      {"Up", VK_UP, 0, 0, 0x4800, 0},
      {"Del", VK_DELETE, 0, 0, 0x5300, 0},
      {"Ins", VK_INSERT, 0, 0, 0x5200, 0},
      {"Ctrl+Ins", VK_INSERT, 0, RIGHT_CTRL_PRESSED, 0x9200, kStateCtrl},
      {"Shift+Ins with Num Lock", VK_INSERT, 0, SHIFT_PRESSED | NUMLOCK_ON, 0x0500,
       kStateShift | kStateNumLock},
      {"Ctrl+Left", VK_LEFT, 0, LEFT_CTRL_PRESSED, 0x7300, kStateCtrl},
      {"Ctrl+Right", VK_RIGHT, 0, LEFT_CTRL_PRESSED, 0x7400, kStateCtrl},
      {"a", 'A', L'a', 0, 0x1E61, 0},
      {"A with Caps Lock", 'A', L'A', CAPSLOCK_ON, 0x1E41, kStateCapsLock},
      {"Shift+1", '1', L'!', SHIFT_PRESSED, 0x0221, kStateShift},
      {"Ctrl+D", 'D', 4, LEFT_CTRL_PRESSED, 0x2004, kStateCtrl},
      {"Ctrl+W", 'W', 0x17, RIGHT_CTRL_PRESSED, 0x1117, kStateCtrl},
      {"Ctrl+Y", 'Y', 0x19, LEFT_CTRL_PRESSED, 0x1519, kStateCtrl},
      {"Alt+A", 'A', 0, LEFT_ALT_PRESSED, 0x1E00, kStateAlt},
      {"Alt+Shift+Z with Num Lock", 'Z', 0, LEFT_ALT_PRESSED | SHIFT_PRESSED | NUMLOCK_ON, 0x2C00,
       0x2B},
      // A Polish layout types the letter with AltGr, which Windows reports
      // as Ctrl and Alt together: the letter counts, not the modifiers.
      {"AltGr+a", 'A', 0x0105, LEFT_CTRL_PRESSED | RIGHT_ALT_PRESSED, 0x1EA5, kStateCtrl | kStateAlt},
      {"AltGr+Shift+z", 'Z', 0x017B, LEFT_CTRL_PRESSED | RIGHT_ALT_PRESSED | SHIFT_PRESSED, 0x2CBD,
       kStateCtrl | kStateAlt | kStateShift},
      {"grey +", VK_ADD, L'+', NUMLOCK_ON, 0x4E2B, kStateNumLock},
      {"grey -", VK_SUBTRACT, L'-', 0, 0x4A2D, 0},
      {"grey *", VK_MULTIPLY, L'*', 0, 0x372A, 0},
      {"keypad 7 with Num Lock", VK_NUMPAD7, L'7', NUMLOCK_ON, 0x0837, kStateNumLock},
      {"o with acute typed as such", 'O', 0x00F3, 0, 0x18A2, 0},
  };
  for (const Case& c : cases) {
    ConsoleEvent ev;
    ASSERT_TRUE(TranslateConsoleKey(KeyRecord(c.vk, c.ch, c.controls), ev)) << c.what;
    EXPECT_EQ(ev.kind, ConsoleEvent::Key) << c.what;
    EXPECT_EQ(ev.keyCode, c.code) << c.what << std::hex << " got 0x" << ev.keyCode;
    EXPECT_EQ(ev.state, c.state) << c.what;
  }
}

TEST(Win32Keys, ModifiersAloneAndForeignCharactersGiveNothing) {
  ConsoleEvent ev;
  EXPECT_FALSE(TranslateConsoleKey(KeyRecord(VK_SHIFT, 0, SHIFT_PRESSED), ev));
  EXPECT_FALSE(TranslateConsoleKey(KeyRecord(VK_CONTROL, 0, LEFT_CTRL_PRESSED), ev));
  EXPECT_FALSE(TranslateConsoleKey(KeyRecord(VK_MENU, 0, LEFT_ALT_PRESSED), ev));
  EXPECT_FALSE(TranslateConsoleKey(KeyRecord(VK_CAPITAL, 0, CAPSLOCK_ON), ev));
  // The euro sign is not in code page 852.
  EXPECT_FALSE(TranslateConsoleKey(KeyRecord('E', 0x20AC, LEFT_CTRL_PRESSED | RIGHT_ALT_PRESSED), ev));
}

TEST(Win32Mouse, ButtonsAndOneBasedPositions) {
  MOUSE_EVENT_RECORD m{};
  m.dwMousePosition = COORD{0, 0};
  m.dwButtonState = FROM_LEFT_1ST_BUTTON_PRESSED;
  ConsoleEvent ev;
  ASSERT_TRUE(TranslateConsoleMouse(m, ev));
  EXPECT_EQ(ev.kind, ConsoleEvent::Mouse);
  EXPECT_EQ(ev.buttons, 1);
  EXPECT_EQ(ev.x, 1);
  EXPECT_EQ(ev.y, 1);

  m.dwMousePosition = COORD{79, 24};
  m.dwButtonState = RIGHTMOST_BUTTON_PRESSED | FROM_LEFT_2ND_BUTTON_PRESSED;
  ASSERT_TRUE(TranslateConsoleMouse(m, ev));
  EXPECT_EQ(ev.buttons, 6);
  EXPECT_EQ(ev.x, 80);
  EXPECT_EQ(ev.y, 25);

  // A release is an event; motion with no button and the wheel are not.
  m.dwButtonState = 0;
  EXPECT_TRUE(TranslateConsoleMouse(m, ev));
  EXPECT_EQ(ev.buttons, 0);
  m.dwEventFlags = MOUSE_MOVED;
  EXPECT_FALSE(TranslateConsoleMouse(m, ev));
  m.dwEventFlags = MOUSE_MOVED;
  m.dwButtonState = FROM_LEFT_1ST_BUTTON_PRESSED;
  EXPECT_TRUE(TranslateConsoleMouse(m, ev));  // a drag
  m.dwEventFlags = MOUSE_WHEELED;
  EXPECT_FALSE(TranslateConsoleMouse(m, ev));
}

TEST(Win32Clipboard, PolishTextGoesRoundAndStopsAtTheFirstLineEnd) {
  ASSERT_TRUE(ClipboardPut(Pl("Zażółć gęślą jaźń")));
  EXPECT_EQ(ClipboardGet(), Pl("Zażółć gęślą jaźń"));
  ASSERT_TRUE(ClipboardPut(Pl("pierwsza\r\ndruga")));
  EXPECT_EQ(ClipboardGet(), "pierwsza");
  ASSERT_TRUE(ClipboardPut(std::string(300, 'x')));
  EXPECT_EQ(ClipboardGet(), std::string(255, 'x'));
  ASSERT_TRUE(ClipboardPut(""));
  EXPECT_EQ(ClipboardGet(), "");
}

TEST(Win32Process, ProgramPathIsTheModulesAndEnvironmentIsUnicode) {
  InitProcess(0, nullptr);
  const std::string path = ProgramFilePath();
  ASSERT_GT(path.size(), 3u);
  EXPECT_EQ(path.substr(1, 2), ":\\");
  EXPECT_NE(path.find("test_win_all"), std::string::npos) << path;
  ResetProcessState();

  // The value goes in as Unicode and comes back in CP852, whatever ANSI code
  // page the system uses.
  ASSERT_TRUE(SetEnvironmentVariableW(L"QM_TEST_VALUE", L"Gda\u0144sk \u0141\u00f3d\u017a"));
  EXPECT_EQ(GetEnvVar("QM_TEST_VALUE"), Pl("Gdańsk Łódź"));
  SetEnvironmentVariableW(L"QM_TEST_VALUE", nullptr);
  EXPECT_EQ(GetEnvVar("QM_TEST_VALUE"), "");
  EXPECT_EQ(GetEnvVar("QM_NEVER_SET_ANYWHERE"), "");
}

using Win32Backend = QmTest;

TEST_F(Win32Backend, KeyScriptNamedByQmKeysReplacesTheConsole) {
  WriteText("run.keys", "Esc F5\r\n");
  setenv("QMKEYS", Path("run.keys").c_str(), 1);
  setenv("QMSCREEN", Path("out.txt").c_str(), 1);
  std::string error;
  std::unique_ptr<Console> script = MakeConsole(error);
  unsetenv("QMKEYS");
  unsetenv("QMSCREEN");
  ASSERT_NE(script, nullptr) << error;
  ConsoleEvent ev;
  ASSERT_TRUE(script->WaitEvent(ev, -1));
  EXPECT_EQ(ev.keyCode, 0x011B);
  ASSERT_TRUE(script->WaitEvent(ev, -1));
  EXPECT_EQ(ev.keyCode, 0x3F00);
  script.reset();
  EXPECT_FALSE(ReadText("out.txt").empty());

  setenv("QMKEYS", Path("missing.keys").c_str(), 1);
  EXPECT_EQ(MakeConsole(error), nullptr);
  unsetenv("QMKEYS");
  EXPECT_NE(error.find("missing.keys"), std::string::npos) << error;
}

// Names are UTF-16 on the disk: a Polish name made by the program reads
// back as the same letters through the system's own calls.
TEST_F(Win32Backend, PolishFileNamesAreStoredAsUnicode) {
  FileHandle h;
  ASSERT_EQ(fs->Create(Path(Pl("Księga Łódź.dat")), h), kOk);
  ASSERT_EQ(fs->Close(h), kOk);
  const std::wstring wide = std::filesystem::path(Dir()).wstring() + L"Ksi\u0119ga \u0141\u00f3d\u017a.dat";
  EXPECT_NE(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
  FindEntry e;
  FindHandle fh;
  ASSERT_EQ(fs->FindFirst(Path("*.dat"), kAttrAnyFile, e, fh), kOk);
  EXPECT_EQ(e.name, Pl("Księga Łódź.dat"));
  // Found again whatever the case of its letters.
  ASSERT_EQ(fs->Open(Path(Pl("KSIĘGA ŁÓDŹ.DAT")), kAccessRead | kShareDenyNone, h), kOk);
  fs->Close(h);
}

}  // namespace
}  // namespace qm::test
