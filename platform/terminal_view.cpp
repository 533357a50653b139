#include "platform/terminal_view.h"

#include "base/cp852.h"

namespace qm {
namespace {

constexpr int kRows = Console::kRows;
constexpr int kCols = Console::kCols;

// Rows tried, best first, when the row left out last time carries
// something now: the ruled line under the title, the blank row above the
// hint line, then upwards through the page, the hint line, the title.
constexpr int kHiddenRowOrder[] = {2,  24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13,
                                   12, 11, 10, 9,  8,  7,  6,  5,  4,  3,  25, 1};

bool IsRule(char32_t c) { return c == U' ' || c == U'─' || c == U'═'; }
bool IsFrame(char32_t c) { return c == U' ' || (c >= 0x2500 && c <= 0x257F); }

// Blanks and ruled lines only, all on one background.
bool PlainRow(const Console& con, int row) {
  const int background = con.Get(1, row).attr >> 4;
  for (int c = 1; c <= kCols; ++c) {
    const Cell cell = con.Get(c, row);
    if ((cell.attr >> 4) != background || !IsRule(Cp852ToUnicode(cell.ch))) return false;
  }
  return true;
}

bool SameRow(const Console& con, int a, int b) {
  if (a < 1 || b < 1 || a > kRows || b > kRows) return false;
  for (int c = 1; c <= kCols; ++c)
    if (!(con.Get(c, a) == con.Get(c, b))) return false;
  return true;
}

// Frame lines and blanks that the row above or below repeats exactly: the
// empty middle of a box, one row shorter.
bool RepeatedFrameRow(const Console& con, int row) {
  for (int c = 1; c <= kCols; ++c)
    if (!IsFrame(Cp852ToUnicode(con.Get(c, row).ch))) return false;
  return SameRow(con, row, row - 1) || SameRow(con, row, row + 1);
}

int CursorRowShown(const Console& con) {
  if (con.Shape() == CursorShape::Hidden) return 0;
  const int row = con.CursorRow();
  return row < 1 ? 1 : (row > kRows ? kRows : row);
}

}  // namespace

int TerminalView::TerminalRow(int row) const {
  if (row == hiddenRow) return 0;
  return top + (hiddenRow != 0 && row > hiddenRow ? row - 1 : row);
}

bool TerminalView::ToConsole(int& col, int& row) const {
  int c = col - left, r = row - top;
  if (hiddenRow != 0 && r >= hiddenRow) ++r;
  if (c < 1 || c > kCols || r < 1 || r > kRows) return false;
  col = c;
  row = r;
  return true;
}

bool TerminalLargeEnough(int cols, int rows) {
  return cols >= kMinTerminalCols && rows >= kMinTerminalRows;
}

bool RowCarriesNothing(const Console& con, int row) {
  if (row < 1 || row > kRows || row == CursorRowShown(con)) return false;
  return PlainRow(con, row) || RepeatedFrameRow(con, row);
}

TerminalView ChooseView(const Console& con, int cols, int rows, int previousHidden) {
  TerminalView view;
  view.left = cols > kCols ? (cols - kCols) / 2 : 0;
  if (rows >= kRows) {
    view.top = (rows - kRows) / 2;
    return view;
  }
  if (RowCarriesNothing(con, previousHidden)) {
    view.hiddenRow = previousHidden;
    return view;
  }
  for (int row : kHiddenRowOrder) {
    if (RowCarriesNothing(con, row)) {
      view.hiddenRow = row;
      return view;
    }
  }
  // Every row carries something. The title row can go to the window title;
  // the hint line goes instead when the cursor stands on the title row.
  view.hiddenRow = CursorRowShown(con) == 1 ? kRows : 1;
  view.hiddenInTitle = true;
  return view;
}

}  // namespace qm
