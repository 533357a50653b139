// Where the console's 80x25 screen sits on a terminal of another size. On a
// larger terminal it is centred and the margin stays plain. On a terminal of
// 24 rows one console row is left out, chosen by what the screen holds at
// each frame: a row that carries nothing (blanks and ruled lines on one
// colour, or an empty stretch of a frame repeating the row beside it). The
// pages leave out the ruled line under the title, the progress log the
// blank row above the hint line. Should a screen ever carry something on
// every row, the title row is left out and its text is shown as the
// terminal window's title, so nothing is lost even then. Kept apart from
// the drawing so that the choice can be checked on any screen.
#pragma once

#include "platform/console.h"

namespace qm {

// The smallest terminal the console can be shown on, one row short.
inline constexpr int kMinTerminalCols = Console::kCols;
inline constexpr int kMinTerminalRows = Console::kRows - 1;

struct TerminalView {
  int left = 0;       // blank columns left of the screen
  int top = 0;        // blank rows above it
  int hiddenRow = 0;  // console row left out (24 rows), 0 for none
  // The row left out carries text: the window title shows it.
  bool hiddenInTitle = false;

  bool operator==(const TerminalView&) const = default;
  // Terminal row of a console row (1-based); 0 for the row left out.
  int TerminalRow(int row) const;
  int TerminalCol(int col) const { return col + left; }
  // The console cell under a terminal position (1-based, turned in place);
  // false in the margin.
  bool ToConsole(int& col, int& row) const;
};

bool TerminalLargeEnough(int cols, int rows);

// True when leaving the row out loses nothing: it holds no visible cursor,
// and it is blanks and ruled lines on one background, or frame lines and
// blanks exactly like the row above or below it.
bool RowCarriesNothing(const Console& con, int row);

// The view of the console's present screen on a terminal of cols x rows
// (large enough). previousHidden is the row left out by the last frame: it
// stays out while it carries nothing, so the screen does not jump about as
// its contents change.
TerminalView ChooseView(const Console& con, int cols, int rows, int previousHidden);

}  // namespace qm
