// The console: an 80x25 grid of CP852 cells with colour attributes, a cursor,
// input events and the clock. The core draws into the cell buffer; a backend
// (a real terminal, the Win32 console, a key script or a test fake) shows it
// on Flush() and delivers key and mouse events.
#pragma once
#include <cstdint>
#include <string>

namespace qm {

struct Cell {
  uint8_t ch = ' ';     // CP852 character
  uint8_t attr = 0x07;  // background * 16 + foreground
  bool operator==(const Cell&) const = default;
};

enum class CursorShape : uint8_t { Hidden, Normal, Half, Tall };

// Keyboard state byte in the PC BIOS layout.
enum KeyState : uint8_t {
  kStateShift = 0x03,  // both Shift bits, set together
  kStateCtrl = 0x04,
  kStateAlt = 0x08,
  kStateScrollLock = 0x10,
  kStateNumLock = 0x20,
  kStateCapsLock = 0x40,
};

struct ConsoleEvent {
  enum Kind : uint8_t { None, Key, Mouse, Paste };
  Kind kind = None;
  uint16_t keyCode = 0;  // Key: scan code * 256 + CP852 character
  uint8_t state = 0;     // Key: keyboard state byte (KeyState bits)
  uint16_t buttons = 0;  // Mouse: 1 left, 2 right, 4 middle; 0 = release or motion
  int x = 0, y = 0;      // Mouse: 1-based screen column and row
  std::string text;      // Paste: the pasted text, CP852
};

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

class Console {
 public:
  static constexpr int kCols = 80;
  static constexpr int kRows = 25;

  virtual ~Console() = default;

  // Cell buffer, 1-based; writes outside the screen are ignored.
  void Put(int col, int row, uint8_t ch, uint8_t attr);
  Cell Get(int col, int row) const;
  void SetCursor(int col, int row);
  void SetCursorShape(CursorShape shape);
  int CursorCol() const { return cursorCol_; }
  int CursorRow() const { return cursorRow_; }
  CursorShape Shape() const { return shape_; }
  // The whole screen as UTF-8 text, 25 lines of 80 characters each ending
  // with "\n" (tests, screen dumps).
  std::string ScreenText() const;
  // One row as CP852 text.
  std::string RowText(int row) const;

  virtual void SetTitle(const std::string& cp852) = 0;
  // Shows the changed cells and the cursor.
  virtual void Flush() = 0;
  // Flushes, then waits up to timeoutMs (negative: without limit) for an
  // input event. False on timeout.
  virtual bool WaitEvent(ConsoleEvent& ev, int timeoutMs) = 0;
  // True when an event can be read without waiting.
  virtual bool EventPending() = 0;
  // Drops every event already waiting (type-ahead).
  virtual void DiscardPending() = 0;
  virtual void Sleep(int ms) = 0;
  // A tone of freq Hz for ms milliseconds (a terminal can only ring its bell).
  virtual void Tone(int freq, int ms) = 0;
  virtual LocalTime Now() = 0;
  // Milliseconds since some fixed point, wrapping at 2^32.
  virtual uint32_t TickCount() = 0;
  virtual bool CopyToClipboard(const std::string& cp852) = 0;
  virtual std::string PasteFromClipboard() = 0;
  // Gives the terminal back as it was found. Safe to call more than once.
  virtual void Shutdown() = 0;

 protected:
  // Row r (1-based) changed since the last flush: bit r-1.
  uint32_t dirtyRows_ = (1u << kRows) - 1;
  bool cursorDirty_ = true;
  Cell cells_[kRows][kCols];
  int cursorCol_ = 1, cursorRow_ = 1;
  CursorShape shape_ = CursorShape::Hidden;
};

// The process-wide console. Set once at start (or by a test).
Console& Con();
void SetConsole(Console* console);
bool HasConsole();

}  // namespace qm
