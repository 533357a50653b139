// Drawing the console on an ANSI/xterm terminal: the cells as UTF-8 text
// with 16-colour SGR attributes, only what changed since the last frame,
// placed on the terminal as terminal_view.h decides (centred, or one row
// left out on 24 rows). Kept apart from the terminal backend so the bytes
// can be checked without a terminal.
#pragma once
#include <cstdint>
#include <string>

#include "platform/console.h"
#include "platform/terminal_view.h"

namespace qm {

// SGR sequence for a PC text attribute: low nibble foreground, high nibble
// background, each in the PC colour order (blue, green, cyan, red, ...).
std::string SgrForAttr(uint8_t attr);

// Cursor-shape sequence (DECSCUSR) for a visible cursor shape.
const char* CursorShapeSequence(CursorShape shape);

// Window title (OSC 2) in UTF-8; control codes show as their glyphs.
std::string TitleSequence(const std::string& cp852);
// Copy to the system clipboard through the terminal (OSC 52).
std::string ClipboardSequence(const std::string& cp852);
std::string Base64(const std::string& bytes);

// The screen shown while the terminal is too small for the console: the
// size needed and the present one, centred, and the key that ends the
// program; cut to the terminal.
std::string TooSmallScreen(int cols, int rows);

// Entering and leaving the program's terminal mode: alternate screen,
// autowrap off, cursor hidden, mouse reports (SGR), bracketed paste, and
// the title saved on the terminal's title stack. The leaving string is
// also written by the signal handlers, so it is a fixed one.
inline constexpr char kTerminalEnter[] =
    "\x1b[22;0t"     // push the title
    "\x1b[?1049h"    // alternate screen
    "\x1b[?7l"       // no autowrap: the last column never scrolls
    "\x1b[?25l"      // cursor hidden
    "\x1b[?1000h"    // mouse presses and releases
    "\x1b[?1006h"    // ... reported in the SGR form
    "\x1b[?2004h"    // bracketed paste
    "\x1b[0m\x1b[2J";
inline constexpr char kTerminalLeave[] =
    "\x1b[0m"
    "\x1b[?2004l"
    "\x1b[?1006l"
    "\x1b[?1000l"
    "\x1b[0 q"
    "\x1b[?25h"
    "\x1b[?7h"
    "\x1b[?1049l"
    "\x1b[23;0t";  // pop the title

class TerminalRenderer {
 public:
  // The terminal's contents are unknown (start, resize, resume): the next
  // frame clears it and draws every cell.
  void Invalidate() { valid_ = false; }
  bool Valid() const { return valid_; }
  // The terminal's size (80x25 until told); a new size redraws everything.
  void SetTerminalSize(int cols, int rows);
  // The window title the program has just sent; the frames give it back
  // after a view that showed a row of the screen there.
  void SetTitle(const std::string& cp852) { title_ = shownTitle_ = cp852; }
  // Where the last frame put the console (mouse positions map back by it).
  const TerminalView& View() const { return view_; }

  // The bytes that bring the terminal from the last frame to the console's
  // cells and cursor. Rows whose bit is clear in dirtyRows are taken as
  // unchanged; within a dirty row only the span from the first to the last
  // changed cell goes out. Empty when nothing changed. A frame whose view
  // differs from the last one's draws everything.
  std::string Frame(const Console& con, uint32_t dirtyRows, bool cursorDirty);

 private:
  std::string TitleChange(const Console& con);

  int cols_ = Console::kCols, rows_ = Console::kRows;
  TerminalView view_;
  std::string title_, shownTitle_;
  Cell shown_[Console::kRows][Console::kCols];
  bool valid_ = false;
  int attr_ = -1;  // attribute in force on the terminal, -1 unknown
  bool cursorVisible_ = false;
  int cursorCol_ = 0, cursorRow_ = 0;
  CursorShape shape_ = CursorShape::Hidden;
};

}  // namespace qm
