#include "tui/log_window.h"

#include <array>

#include "platform/console.h"
#include "tui/screen.h"

namespace qm {
namespace {

constexpr int kRows = 25;
constexpr int kCols = 80;
// The log scrolls between rows 3 and 24; rows 1 and 2 hold the heading.
constexpr int kLastLogRow = 23;

struct Shadow {
  std::array<std::string, kRows + 1> rows;  // 1-based
  int row = 1;
  int col = 1;
  Shadow() {
    for (auto& r : rows) r.assign(kCols, ' ');
  }
} g_shadow;

void DrawRow(int row) { WriteScreenAt(g_shadow.rows[row], row, 1, kNormalAttr); }

void PlaceCursor() {
  const TextWindowRect w = CurrentTextWindow();
  int row = g_shadow.row - (w.y1 - 1);
  if (row < 1) row = 1;
  Con().SetCursor(g_shadow.col, row + (w.y1 - 1));
}

}  // namespace

void DrawLogText(const std::string& text, uint8_t attr) {
  size_t n = text.size();
  if (g_shadow.col + static_cast<int>(n) > kCols) n = static_cast<size_t>(kCols - g_shadow.col);
  g_shadow.rows[g_shadow.row].replace(static_cast<size_t>(g_shadow.col - 1), n, text, 0, n);
  WriteScreenAt(text.substr(0, n), g_shadow.row, g_shadow.col, attr);
  g_shadow.col += static_cast<int>(n);
  if (g_shadow.col > kCols) g_shadow.col = kCols;
  PlaceCursor();
}

void DrawLogLineEnd() {
  if (g_shadow.row < kLastLogRow) {
    ++g_shadow.row;
  } else {
    for (int r = 4; r <= 24; ++r) {
      g_shadow.rows[r - 1] = g_shadow.rows[r];
      DrawRow(r - 1);
    }
    g_shadow.rows[24].assign(kCols, ' ');
    DrawRow(24);
    g_shadow.row = kLastLogRow;
  }
  g_shadow.col = 1;
}

void DrawLogCleared(bool whole) {
  for (int r = 1; r <= kRows; ++r) {
    if (whole || r >= 3) g_shadow.rows[r].assign(kCols, ' ');
    DrawRow(r);
  }
  g_shadow.row = 1;
  g_shadow.col = 1;
}

const std::string& LogShadowRow(int row) { return g_shadow.rows[static_cast<size_t>(row)]; }
int LogRow() { return g_shadow.row; }
int LogColumn() { return g_shadow.col; }
void ResetLogWindow() { g_shadow = Shadow(); }

}  // namespace qm
