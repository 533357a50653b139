#include "platform/key_table.h"

#include "base/cp852.h"

namespace qm {
namespace {

// Scan codes of the US PC layout for ASCII 0x20-0x7E; unshifted and shifted
// characters of one key share its code.
constexpr uint8_t kAsciiScan[95] = {
    //  sp     !     "     #     $     %     &     '     (     )     *     +     ,     -     .     /
    0x39, 0x02, 0x28, 0x04, 0x05, 0x06, 0x08, 0x28, 0x0A, 0x0B, 0x09, 0x0D, 0x33, 0x0C, 0x34, 0x35,
    //  0     1     2     3     4     5     6     7     8     9     :     ;     <     =     >     ?
    0x0B, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x27, 0x27, 0x33, 0x0D, 0x34, 0x35,
    //  @     A     B     C     D     E     F     G     H     I     J     K     L     M     N     O
    0x03, 0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32, 0x31, 0x18,
    //  P     Q     R     S     T     U     V     W     X     Y     Z     [     \     ]     ^     _
    0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C, 0x1A, 0x2B, 0x1B, 0x07, 0x0C,
    //  `     a ...                                                                         o
    0x29, 0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32, 0x31, 0x18,
    //  p ...                                                   z     {     |     }     ~
    0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C, 0x1A, 0x2B, 0x1B, 0x29};

// Polish letters in CP852 and the ASCII letter whose key types them.
struct PolishKey {
  uint8_t code;
  char base;
};
constexpr PolishKey kPolish[] = {
    {0xA5, 'a'}, {0xA4, 'A'}, {0x86, 'c'}, {0x8F, 'C'}, {0xA9, 'e'}, {0xA8, 'E'},
    {0x88, 'l'}, {0x9D, 'L'}, {0xE4, 'n'}, {0xE3, 'N'}, {0xA2, 'o'}, {0xE0, 'O'},
    {0x98, 's'}, {0x97, 'S'}, {0xAB, 'z'}, {0x8D, 'Z'}, {0xBE, 'z'}, {0xBD, 'Z'},
};

// Plain, Shift, Ctrl and Alt codes of the keys without a character.
struct ExtCodes {
  uint16_t plain, shift, ctrl, alt;
};
constexpr ExtCodes kExt[] = {
    {0x4800, 0x4800, 0x8D00, 0x9800},  // Up
    {0x5000, 0x5000, 0x9100, 0xA000},  // Down
    {0x4B00, 0x4B00, 0x7300, 0x9B00},  // Left
    {0x4D00, 0x4D00, 0x7400, 0x9D00},  // Right
    {0x4700, 0x4700, 0x7700, 0x9700},  // Home
    {0x4F00, 0x4F00, 0x7500, 0x9F00},  // End
    {0x4900, 0x4900, 0x8400, 0x9900},  // PgUp
    {0x5100, 0x5100, 0x7600, 0xA100},  // PgDn
    {0x5200, 0x0500, 0x9200, 0xA200},  // Ins
    {0x5300, 0x0700, 0x9300, 0xA300},  // Del
    {0x3B00, 0x5400, 0x5E00, 0x6800},  // F1
    {0x3C00, 0x5500, 0x5F00, 0x6900},  // F2
    {0x3D00, 0x5600, 0x6000, 0x6A00},  // F3
    {0x3E00, 0x5700, 0x6100, 0x6B00},  // F4
    {0x3F00, 0x5800, 0x6200, 0x6C00},  // F5
    {0x4000, 0x5900, 0x6300, 0x6D00},  // F6
    {0x4100, 0x5A00, 0x6400, 0x6E00},  // F7
    {0x4200, 0x5B00, 0x6500, 0x6F00},  // F8
    {0x4300, 0x5C00, 0x6600, 0x7000},  // F9
    {0x4400, 0x5D00, 0x6700, 0x7100},  // F10
    {0x8500, 0x8700, 0x8900, 0x8B00},  // F11
    {0x8600, 0x8800, 0x8A00, 0x8C00},  // F12
    {0x0F09, 0x0F00, 0x9400, 0xA500},  // Tab
    {0x1C0D, 0x1C0D, 0x1C0A, 0x1C00},  // Enter
    {0x011B, 0x011B, 0x011B, 0x0100},  // Esc
    {0x0E08, 0x0E08, 0x0E7F, 0x0E00},  // Backspace
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

uint16_t keys::FunctionKey(int n) {
  if (n >= 1 && n <= 10) return static_cast<uint16_t>(kF1 + (n - 1) * 0x100);
  if (n == 11) return kF11;
  if (n == 12) return kF12;
  return 0;
}

uint8_t ScanOfAscii(uint8_t ch) {
  if (ch < 0x20 || ch > 0x7E) return 0;
  return kAsciiScan[ch - 0x20];
}

uint16_t CharKeyCode(uint8_t cp852) {
  uint8_t scan = ScanOfAscii(cp852);
  if (scan == 0) {
    for (const PolishKey& p : kPolish) {
      if (p.code == cp852) scan = ScanOfAscii(static_cast<uint8_t>(p.base));
    }
  }
  return static_cast<uint16_t>(scan << 8 | cp852);
}

uint16_t CtrlLetterKey(char letter) {
  if (!IsLetter(letter)) return 0;
  const uint8_t up = static_cast<uint8_t>(letter & ~0x20);
  return static_cast<uint16_t>(ScanOfAscii(up) << 8 | (up - 'A' + 1));
}

uint16_t AltLetterKey(char letter) {
  if (!IsLetter(letter)) return 0;
  return static_cast<uint16_t>(ScanOfAscii(static_cast<uint8_t>(letter)) << 8);
}

bool ControlKey(uint8_t code, uint16_t& keyCode, uint8_t& state) {
  state = 0;
  switch (code) {
    case 0x08:
    case 0x7F:
      keyCode = keys::kBackspace;
      return true;
    case 0x09:
      keyCode = keys::kTab;
      return true;
    case 0x0A:
      keyCode = keys::kCtrlEnter;
      state = kStateCtrl;
      return true;
    case 0x0D:
      keyCode = keys::kEnter;
      return true;
    case 0x1B:
      keyCode = keys::kEsc;
      return true;
    case 0x00:  // Ctrl+Space / Ctrl+@: the PC's Ctrl+2
      keyCode = 0x0300;
      state = kStateCtrl;
      return true;
    case 0x1C:  // Ctrl+backslash
      keyCode = 0x2B1C;
      state = kStateCtrl;
      return true;
    case 0x1D:  // Ctrl+]
      keyCode = 0x1B1D;
      state = kStateCtrl;
      return true;
    case 0x1E:  // Ctrl+^
      keyCode = 0x071E;
      state = kStateCtrl;
      return true;
    case 0x1F:  // Ctrl+_
      keyCode = 0x0C1F;
      state = kStateCtrl;
      return true;
    default:
      break;
  }
  if (code >= 0x01 && code <= 0x1A) {
    keyCode = CtrlLetterKey(static_cast<char>('A' + code - 1));
    state = kStateCtrl;
    return true;
  }
  return false;
}

bool KeyForCodePoint(char32_t cp, uint16_t& keyCode, uint8_t& state) {
  if (cp < 0x20 || cp == 0x7F) return ControlKey(static_cast<uint8_t>(cp), keyCode, state);
  uint8_t code = 0;
  // The low PC glyphs map back to control codes; typed text never means them.
  if (!UnicodeToCp852(cp, code) || code < 0x20 || code == 0x7F) return false;
  keyCode = CharKeyCode(code);
  state = 0;
  return true;
}

uint16_t ExtKeyCode(ExtKey key, uint8_t state) {
  const ExtCodes& c = kExt[static_cast<size_t>(key)];
  if (state & kStateAlt) return c.alt;
  if (state & kStateCtrl) return c.ctrl;
  if (state & kStateShift) return c.shift;
  return c.plain;
}

ConsoleEvent MakeKeyEvent(uint16_t keyCode, uint8_t state) {
  ConsoleEvent ev;
  ev.kind = ConsoleEvent::Key;
  ev.keyCode = keyCode;
  ev.state = state;
  return ev;
}

}  // namespace qm
