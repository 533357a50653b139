// The US PC key table, and key scripts built on it.
#include <gtest/gtest.h>

#include "base/cp852.h"
#include "platform/key_script.h"
#include "platform/key_table.h"

namespace qm {
namespace {

TEST(KeyTable, TypedCharactersCarryTheScanCodeOfTheirKey) {
  struct Row {
    const char* utf8;
    uint16_t code;
  };
  const Row rows[] = {
      {"t", 0x1474}, {"T", 0x1454}, {" ", 0x3920}, {"1", 0x0231}, {"!", 0x0221},
      {"0", 0x0B30}, {")", 0x0B29}, {"=", 0x0D3D}, {"+", 0x0D2B}, {"-", 0x0C2D},
      {"/", 0x352F}, {"?", 0x353F}, {"\\", 0x2B5C}, {"`", 0x2960}, {"~", 0x297E},
      {"'", 0x2827}, {"\"", 0x2822}, {";", 0x273B}, {"[", 0x1A5B}, {"}", 0x1B7D},
      {"a", 0x1E61}, {"z", 0x2C7A}, {"m", 0x326D}, {"Q", 0x1051},
      // Polish letters: the base letter's key, the CP852 character.
      {"ą", 0x1EA5}, {"Ą", 0x1EA4}, {"ć", 0x2E86}, {"Ć", 0x2E8F}, {"ę", 0x12A9},
      {"Ę", 0x12A8}, {"ł", 0x2688}, {"Ł", 0x269D}, {"ń", 0x31E4}, {"Ń", 0x31E3},
      {"ó", 0x18A2}, {"Ó", 0x18E0}, {"ś", 0x1F98}, {"Ś", 0x1F97}, {"ź", 0x2CAB},
      {"Ź", 0x2C8D}, {"ż", 0x2CBE}, {"Ż", 0x2CBD},
      // Other characters of the code page come without a key.
      {"§", 0x00F5}, {"ü", 0x0081},
  };
  for (const Row& r : rows) {
    uint16_t code = 0;
    uint8_t state = 0xFF;
    size_t pos = 0;
    ASSERT_TRUE(KeyForCodePoint(DecodeUtf8(r.utf8, pos), code, state)) << r.utf8;
    EXPECT_EQ(code, r.code) << r.utf8;
    EXPECT_EQ(state, 0) << r.utf8;
  }
  uint16_t code = 0;
  uint8_t state = 0;
  EXPECT_FALSE(KeyForCodePoint(U'€', code, state));
  EXPECT_FALSE(KeyForCodePoint(U'☺', code, state)) << "a PC glyph is not typed text";
}

TEST(KeyTable, ControlCodesAreTheirKeys) {
  struct Row {
    uint8_t byte;
    uint16_t code;
    uint8_t state;
  };
  const Row rows[] = {
      {0x0D, 0x1C0D, 0}, {0x1B, 0x011B, 0}, {0x09, 0x0F09, 0}, {0x7F, 0x0E08, 0},
      {0x08, 0x0E08, 0}, {0x0A, 0x1C0A, kStateCtrl},
      {0x17, 0x1117, kStateCtrl},  // Ctrl+W
      {0x04, 0x2004, kStateCtrl},  // Ctrl+D
      {0x14, 0x1414, kStateCtrl},  // Ctrl+T
      {0x0E, 0x310E, kStateCtrl},  // Ctrl+N
      {0x19, 0x1519, kStateCtrl},  // Ctrl+Y
      {0x0B, 0x250B, kStateCtrl},  // Ctrl+K
      {0x10, 0x1910, kStateCtrl},  // Ctrl+P
      {0x11, 0x1011, kStateCtrl},  // Ctrl+Q
      {0x01, 0x1E01, kStateCtrl}, {0x1A, 0x2C1A, kStateCtrl}, {0x00, 0x0300, kStateCtrl},
  };
  for (const Row& r : rows) {
    uint16_t code = 0;
    uint8_t state = 0xFF;
    ASSERT_TRUE(ControlKey(r.byte, code, state)) << int(r.byte);
    EXPECT_EQ(code, r.code) << int(r.byte);
    EXPECT_EQ(state, r.state) << int(r.byte);
  }
  // Those the terminal cannot send still have their PC codes.
  EXPECT_EQ(CtrlLetterKey('m'), 0x320D);
  EXPECT_EQ(CtrlLetterKey('I'), 0x1709);
  EXPECT_EQ(CtrlLetterKey('1'), 0);
  EXPECT_EQ(AltLetterKey('a'), 0x1E00);
  EXPECT_EQ(AltLetterKey('X'), 0x2D00);
}

TEST(KeyTable, KeysWithoutCharacterAndTheirModifiers) {
  struct Row {
    ExtKey key;
    uint8_t state;
    uint16_t code;
  };
  const Row rows[] = {
      {ExtKey::Up, 0, 0x4800},           {ExtKey::Down, 0, 0x5000},
      {ExtKey::Left, 0, 0x4B00},         {ExtKey::Right, 0, 0x4D00},
      {ExtKey::PgUp, 0, 0x4900},         {ExtKey::PgDn, 0, 0x5100},
      {ExtKey::Home, 0, 0x4700},         {ExtKey::End, 0, 0x4F00},
      {ExtKey::Ins, 0, 0x5200},          {ExtKey::Del, 0, 0x5300},
      {ExtKey::F1, 0, 0x3B00},           {ExtKey::F5, 0, 0x3F00},
      {ExtKey::F10, 0, 0x4400},          {ExtKey::F11, 0, 0x8500},
      {ExtKey::F12, 0, 0x8600},          {ExtKey::Tab, kStateShift, 0x0F00},
      {ExtKey::Left, kStateCtrl, 0x7300}, {ExtKey::Right, kStateCtrl, 0x7400},
      {ExtKey::Ins, kStateCtrl, 0x9200},  {ExtKey::Ins, kStateShift, 0x0500},
      {ExtKey::Enter, kStateCtrl, 0x1C0A}, {ExtKey::Right, kStateShift, 0x4D00},
      {ExtKey::F5, kStateShift, 0x5800},  {ExtKey::F1, kStateAlt, 0x6800},
      {ExtKey::Up, kStateAlt | kStateCtrl, 0x9800},  // Alt wins
  };
  for (const Row& r : rows) EXPECT_EQ(ExtKeyCode(r.key, r.state), r.code) << int(r.key);
  for (int n = 1; n <= 10; ++n) EXPECT_EQ(keys::FunctionKey(n), 0x3A00 + n * 0x100);
  EXPECT_EQ(keys::FunctionKey(0), 0);
  EXPECT_EQ(keys::FunctionKey(13), 0);
}

std::vector<std::pair<uint16_t, uint8_t>> Script(const std::string& text) {
  std::vector<ConsoleEvent> evs;
  std::string error;
  EXPECT_TRUE(ParseKeyScript(text, evs, error)) << text << ": " << error;
  std::vector<std::pair<uint16_t, uint8_t>> out;
  for (const ConsoleEvent& e : evs) {
    EXPECT_EQ(e.kind, ConsoleEvent::Key);
    out.emplace_back(e.keyCode, e.state);
  }
  return out;
}

using KeyList = std::vector<std::pair<uint16_t, uint8_t>>;

TEST(KeyScript, NamesAndCharacters) {
  EXPECT_EQ(Script("PgDn PgUp Home End F1 F10 F11 F12"),
            (KeyList{{0x5100, 0}, {0x4900, 0}, {0x4700, 0}, {0x4F00, 0}, {0x3B00, 0},
                     {0x4400, 0}, {0x8500, 0}, {0x8600, 0}}));
  EXPECT_EQ(Script("Enter\tEsc\nSpace  Tab\r\nS-Tab Up Down Left Right Ins Del Bksp"),
            (KeyList{{0x1C0D, 0}, {0x011B, 0}, {0x3920, 0}, {0x0F09, 0}, {0x0F00, kStateShift},
                     {0x4800, 0}, {0x5000, 0}, {0x4B00, 0}, {0x4D00, 0}, {0x5200, 0},
                     {0x5300, 0}, {0x0E08, 0}}));
  EXPECT_EQ(Script("^W ^d C-Left C-Right C-Ins S-Ins C-Enter"),
            (KeyList{{0x1117, kStateCtrl}, {0x2004, kStateCtrl}, {0x7300, kStateCtrl},
                     {0x7400, kStateCtrl}, {0x9200, kStateCtrl}, {0x0500, kStateShift},
                     {0x1C0A, kStateCtrl}}));
  EXPECT_EQ(Script("Alt-A alt-z A-S-s"),
            (KeyList{{0x1E00, kStateAlt}, {0x2C00, kStateAlt}, {0x1F00, 0x2B}}));
  EXPECT_EQ(Script("pgdn ENTER f5"), (KeyList{{0x5100, 0}, {0x1C0D, 0}, {0x3F00, 0}}));
  // Single characters type themselves, including the ones names start with.
  EXPECT_EQ(Script("t T ą ^ \" F"),
            (KeyList{{0x1474, 0}, {0x1454, 0}, {0x1EA5, 0}, {0x075E, 0}, {0x2822, 0}, {0x2146, 0}}));
}

TEST(KeyScript, QuotedTextAndComments) {
  EXPECT_EQ(Script("\"Tą b\" Enter"),
            (KeyList{{0x1454, 0}, {0x1EA5, 0}, {0x3920, 0}, {0x3062, 0}, {0x1C0D, 0}}));
  EXPECT_EQ(Script(R"("a\"b\\")"), (KeyList{{0x1E61, 0}, {0x2822, 0}, {0x3062, 0}, {0x2B5C, 0}}));
  EXPECT_EQ(Script("F5 // page four: go\n Enter // and confirm"), (KeyList{{0x3F00, 0}, {0x1C0D, 0}}));
  EXPECT_EQ(Script(""), KeyList{});
}

TEST(KeyScript, ErrorsNameTheFaultAndAddNothing) {
  const char* bad[] = {"Enter Foo", "F13", "F0", "F05", "^1", "Alt-1", "\"open", "ab", "\"€\""};
  for (const char* s : bad) {
    std::vector<ConsoleEvent> evs(1);
    std::string error;
    EXPECT_FALSE(ParseKeyScript(s, evs, error)) << s;
    EXPECT_FALSE(error.empty()) << s;
    EXPECT_EQ(evs.size(), 1u) << s;
  }
  std::vector<ConsoleEvent> evs;
  std::string error;
  ParseKeyScript("Enter Foo", evs, error);
  EXPECT_NE(error.find("Foo"), std::string::npos);
}

}  // namespace
}  // namespace qm
