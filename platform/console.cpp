#include "platform/console.h"

#include "base/cp852.h"

namespace qm {
namespace {
Console* g_console = nullptr;
}

Console& Con() { return *g_console; }
void SetConsole(Console* console) { g_console = console; }
bool HasConsole() { return g_console != nullptr; }

void Console::Put(int col, int row, uint8_t ch, uint8_t attr) {
  if (col < 1 || col > kCols || row < 1 || row > kRows) return;
  Cell& c = cells_[row - 1][col - 1];
  if (c.ch == ch && c.attr == attr) return;
  c.ch = ch;
  c.attr = attr;
  dirtyRows_ |= 1u << (row - 1);
}

Cell Console::Get(int col, int row) const {
  if (col < 1 || col > kCols || row < 1 || row > kRows) return Cell{};
  return cells_[row - 1][col - 1];
}

void Console::SetCursor(int col, int row) {
  if (col == cursorCol_ && row == cursorRow_) return;
  cursorCol_ = col;
  cursorRow_ = row;
  cursorDirty_ = true;
}

void Console::SetCursorShape(CursorShape shape) {
  if (shape == shape_) return;
  shape_ = shape;
  cursorDirty_ = true;
}

std::string Console::RowText(int row) const {
  std::string s;
  if (row < 1 || row > kRows) return s;
  for (int c = 0; c < kCols; ++c) s += static_cast<char>(cells_[row - 1][c].ch);
  return s;
}

std::string Console::ScreenText() const {
  std::string out;
  for (int r = 1; r <= kRows; ++r) {
    out += Cp852ToUtf8(RowText(r), true);
    out += '\n';
  }
  return out;
}

}  // namespace qm
