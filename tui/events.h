// Events of the text interface and the event reader shared by every form,
// box and prompt.
#pragma once
#include <cstdint>
#include <string>

namespace qm {

enum : uint8_t { EVENT_NOTHING = 0, EVENT_KEY = 1, EVENT_MOUSE = 2, EVENT_COMMAND = 3 };

struct UiEvent {
  uint8_t what = EVENT_NOTHING;
  // Key.
  bool extended = false;  // the key carries no character
  uint8_t ch = 0;         // the character; a blank for extended keys
  uint16_t keyCode = 0;   // scan code * 256 + character code
  uint8_t state = 0;      // keyboard state byte
  // Mouse.
  uint16_t buttons = 0;  // 1 left, 2 right, 4 middle
  int x = 0, y = 0;      // 1-based screen column and row
  int relX = 0, relY = 0;  // relative to the current output window
  // Command.
  uint16_t command = 0;
  // Text pasted into the terminal (delivered as a key event with keyCode 0
  // and extended false); consumed by the focused edit field.
  std::string paste;
};

// Key codes the interface acts on.
enum KeyCode : uint16_t {
  kKeyEnter = 0x1C0D,
  kKeyCtrlEnter = 0x1C0A,
  kKeyEsc = 0x011B,
  kKeyTab = 0x0F09,
  kKeyShiftTab = 0x0F00,
  kKeyUp = 0x4800,
  kKeyDown = 0x5000,
  kKeyLeft = 0x4B00,
  kKeyRight = 0x4D00,
  kKeyHome = 0x4700,
  kKeyEnd = 0x4F00,
  kKeyPgUp = 0x4900,
  kKeyPgDn = 0x5100,
  kKeyF1 = 0x3B00,
  kKeyF5 = 0x3F00,
  kKeySpace = 0x3920,
  kKeyDel = 0x5300,
  kKeyIns = 0x5200,
  kKeyBackspace = 0x0E08,
  kKeyCtrlLeft = 0x7300,
  kKeyCtrlRight = 0x7400,
  kKeyCtrlIns = 0x9200,
  kKeyShiftIns = 0x0500,
  kKeyCtrlD = 0x2004,
  kKeyCtrlK = 0x250B,
  kKeyCtrlM = 0x320D,
  kKeyCtrlP = 0x1910,
  kKeyCtrlW = 0x1117,
  kKeyCtrlY = 0x1519,
  kKeyCtrlT = 0x1414,
  kKeyCtrlN = 0x310E,
  kKeyLowerT = 0x1474,
  kKeyUpperT = 0x1454,
  kKeyLowerN = 0x316E,
  kKeyUpperN = 0x314E,
  kKeyGreyPlus = 0x4E2B,
  kKeyGreyMinus = 0x4A2D,
};

// Waits for the next event (updating the clock while none comes), applies
// the key remapping and the Polish Alt letters, and lets the current hint
// line turn it into a command.
void GetEvent(UiEvent& ev);
void ClearEvent(UiEvent& ev);
// The last event read.
const UiEvent& LastEvent();

// Waits for a key event and returns it (mouse events are skipped); no hint
// line translation. Used by the log's key waits and the single-key
// questions of the transfers.
UiEvent ReadKey();
// Discards every key already waiting.
void DrainKeyboard();
// Back to the start state (tests).
void ResetEventState();

// Called each time the interface is about to wait for the operator (the
// run's report writes what it has gathered).
void SetBeforeWait(void (*hook)());

}  // namespace qm
