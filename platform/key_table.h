// The US PC keyboard as the program sees it: every backend (terminal, Win32
// console, key script) turns its input into the same 16-bit key codes, scan
// code * 256 + character, and the same keyboard state byte.
#pragma once
#include <cstdint>

#include "platform/console.h"

namespace qm {

namespace keys {
constexpr uint16_t kEnter = 0x1C0D;
constexpr uint16_t kCtrlEnter = 0x1C0A;
constexpr uint16_t kEsc = 0x011B;
constexpr uint16_t kTab = 0x0F09;
constexpr uint16_t kShiftTab = 0x0F00;
constexpr uint16_t kBackspace = 0x0E08;
constexpr uint16_t kSpace = 0x3920;
constexpr uint16_t kUp = 0x4800;
constexpr uint16_t kDown = 0x5000;
constexpr uint16_t kLeft = 0x4B00;
constexpr uint16_t kRight = 0x4D00;
constexpr uint16_t kPgUp = 0x4900;
constexpr uint16_t kPgDn = 0x5100;
constexpr uint16_t kHome = 0x4700;
constexpr uint16_t kEnd = 0x4F00;
constexpr uint16_t kIns = 0x5200;
constexpr uint16_t kDel = 0x5300;
constexpr uint16_t kF1 = 0x3B00;  // F1..F10 follow one scan code apart
constexpr uint16_t kF11 = 0x8500;
constexpr uint16_t kF12 = 0x8600;
constexpr uint16_t kCtrlLeft = 0x7300;
constexpr uint16_t kCtrlRight = 0x7400;
constexpr uint16_t kCtrlHome = 0x7700;
constexpr uint16_t kCtrlEnd = 0x7500;
constexpr uint16_t kCtrlPgUp = 0x8400;
constexpr uint16_t kCtrlPgDn = 0x7600;
constexpr uint16_t kCtrlIns = 0x9200;
constexpr uint16_t kShiftIns = 0x0500;
constexpr uint16_t kGreyPlus = 0x4E2B;
constexpr uint16_t kGreyMinus = 0x4A2D;
constexpr uint16_t kGreyStar = 0x372A;

// F1..F12 by number; 0 outside 1..12.
uint16_t FunctionKey(int n);
}  // namespace keys

// Scan code of the key that types an ASCII character on the US layout
// (letters of either case, digits, punctuation, space); 0 when none.
uint8_t ScanOfAscii(uint8_t ch);

// The key a character typed on the keyboard gives, for a CP852 character:
// ASCII with its key's scan code, the Polish letters with the scan code of
// their base letter (as a Polish layout types them), any other character
// with scan code 0. Control codes are not characters: see ControlKey.
uint16_t CharKeyCode(uint8_t cp852);

// A control code as typed on a terminal (0x00-0x1F, 0x7F): Ctrl+letter
// carries the letter's scan code, Tab, Enter, Esc and Backspace their own
// keys, LF is Ctrl+Enter (the PC gives Ctrl+Enter the LF character).
// state receives the keyboard state byte.
bool ControlKey(uint8_t code, uint16_t& keyCode, uint8_t& state);

// Ctrl+letter and Alt+letter, letter in either case; 0 for a non-letter.
uint16_t CtrlLetterKey(char letter);
uint16_t AltLetterKey(char letter);

// Key event for a Unicode character typed as text: false when the code page
// has no such character. Control codes go through ControlKey.
bool KeyForCodePoint(char32_t cp, uint16_t& keyCode, uint8_t& state);

// The keys that carry no character, and their codes with modifiers as the
// PC reports them: Alt before Ctrl before Shift when several are held.
enum class ExtKey : uint8_t {
  Up, Down, Left, Right, Home, End, PgUp, PgDn, Ins, Del,
  F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
  Tab, Enter, Esc, Backspace,
};
// state: KeyState bits (Shift, Ctrl, Alt).
uint16_t ExtKeyCode(ExtKey key, uint8_t state);

ConsoleEvent MakeKeyEvent(uint16_t keyCode, uint8_t state = 0);

}  // namespace qm
