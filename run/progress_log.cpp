#include "run/progress_log.h"

#include <array>
#include <memory>

#include "platform/console.h"
#include "platform/host_fs.h"
#include "run/run_report.h"
#include "run/run_settings.h"
#include "tui/events.h"
#include "tui/forms.h"
#include "tui/screen.h"

namespace qm {
namespace {

constexpr int kRows = 25;
constexpr int kCols = 80;
// The log scrolls between rows 3 and 24; rows 1 and 2 hold the heading.
constexpr int kLastLogRow = 23;

struct Log {
  std::array<std::string, kRows + 1> shadow;  // 1-based
  int row = 1;
  int col = 1;
  uint8_t colour = kNormalAttr;
  std::string reportLine;  // the line being written, in full, for the report
  bool reportPending = false;
  Log() {
    for (auto& r : shadow) r.assign(kCols, ' ');
  }
} g_log;

void DrawRow(int row) { WriteScreenAt(g_log.shadow[row], row, 1, kNormalAttr); }

void PlaceCursor() {
  const TextWindowRect w = CurrentTextWindow();
  int row = g_log.row - (w.y1 - 1);
  if (row < 1) row = 1;
  Con().SetCursor(g_log.col, row + (w.y1 - 1));
}

// The line written so far goes into the report.
void EndReportLine() {
  if (!g_log.reportPending) return;
  ReportLine(g_log.reportLine);
  g_log.reportLine.clear();
  g_log.reportPending = false;
}

}  // namespace

void LogColour(uint8_t attr) { g_log.colour = attr; }

void LogWrite(const std::string& text) {
  if (text.empty()) return;
  if (g_log.colour == kLogError && !g_log.reportPending) ++Tally().errors;
  g_log.reportLine += text;
  g_log.reportPending = true;
  size_t n = text.size();
  // Written from column 1 a text shows at most 79 characters.
  if (g_log.col + static_cast<int>(n) > kCols) n = static_cast<size_t>(kCols - g_log.col);
  g_log.shadow[g_log.row].replace(static_cast<size_t>(g_log.col - 1), n, text, 0, n);
  WriteScreenAt(text.substr(0, n), g_log.row, g_log.col, g_log.colour);
  g_log.colour = kNormalAttr;
  g_log.col += static_cast<int>(n);
  if (g_log.col > kCols) g_log.col = kCols;
  PlaceCursor();
}

void LogLine(const std::string& text) {
  LogWrite(text);
  g_log.reportPending = true;  // an empty line is a line of the report too
  EndReportLine();
  if (g_log.row < kLastLogRow) {
    ++g_log.row;
  } else {
    for (int r = 4; r <= 24; ++r) {
      g_log.shadow[r - 1] = g_log.shadow[r];
      DrawRow(r - 1);
    }
    g_log.shadow[24].assign(kCols, ' ');
    DrawRow(24);
    g_log.row = kLastLogRow;
  }
  g_log.col = 1;
}

void LogClear(bool whole) {
  EndReportLine();
  for (int r = 1; r <= kRows; ++r) {
    if (whole || r >= 3) g_log.shadow[r].assign(kCols, ' ');
    DrawRow(r);
  }
  g_log.row = 1;
  g_log.col = 1;
}

uint16_t WaitKeyCode() {
  Con().SetCursorShape(CursorShape::Normal);
  const UiEvent ev = ReadKey();
  DrainKeyboard();
  Con().SetCursorShape(CursorShape::Hidden);
  return ev.keyCode;
}

uint8_t WaitKey() {
  // A key asked for on the line the cursor waits on ("Nacisnij Enter")
  // needs no more; any other wait says on the bottom row what goes on.
  std::unique_ptr<HintLine> hint;
  if (g_log.col == 1 && !CurrentHintLine()) hint = HintLine::Init({{"Dowolny klawisz - dalej", 0, 0}});
  const uint16_t code = WaitKeyCode();
  return static_cast<uint8_t>(code & 0xFF);
}

void PauseIfSlow() {
  if (SlowDetails) Con().Sleep(1000);
}

const std::string& LogShadowRow(int row) { return g_log.shadow[static_cast<size_t>(row)]; }
int LogRow() { return g_log.row; }
int LogColumn() { return g_log.col; }
void ResetProgressLog() { g_log = Log(); }

}  // namespace qm
