// Shared pieces of the interface tests: a console that keeps a picture of
// the screen at every wait for input, so a test can look at what the
// operator saw before each key.
#pragma once
#include <vector>

#include "tests/support/test_env.h"

namespace qm::test {

using ScreenCells = std::vector<Cell>;

inline ScreenCells Snapshot(const Console& c) {
  ScreenCells cells;
  for (int r = 1; r <= Console::kRows; ++r)
    for (int col = 1; col <= Console::kCols; ++col) cells.push_back(c.Get(col, r));
  return cells;
}

// A screen where neighbouring cells differ, so a wrong restore shows.
inline void Scribble(Console& c) {
  for (int r = 1; r <= Console::kRows; ++r)
    for (int col = 1; col <= Console::kCols; ++col)
      c.Put(col, r, static_cast<uint8_t>('A' + (r * 7 + col) % 26),
            static_cast<uint8_t>((r + col) & 0x7F));
}

struct Shot {
  ScreenCells cells;
  int cursorCol, cursorRow;
  CursorShape shape;
  Cell At(int col, int row) const {
    return cells[static_cast<size_t>((row - 1) * Console::kCols + (col - 1))];
  }
  std::string Text(int row, int col, int count) const {
    std::string s;
    for (int c = col; c < col + count; ++c) s += static_cast<char>(At(c, row).ch);
    return s;
  }
};

class RecordingConsole : public FakeConsole {
 public:
  std::vector<Shot> shots;
  bool WaitEvent(ConsoleEvent& ev, int timeoutMs) override {
    shots.push_back(Shot{Snapshot(*this), CursorCol(), CursorRow(), Shape()});
    return FakeConsole::WaitEvent(ev, timeoutMs);
  }
};

class TuiTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    SetConsole(&rc);
  }
  RecordingConsole rc;
};

}  // namespace qm::test
