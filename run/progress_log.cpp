#include "run/progress_log.h"

#include "run/run_operator.h"
#include "run/run_report.h"
#include "run/run_settings.h"

namespace qm {
namespace {

struct Log {
  uint8_t colour = kLogNormal;
  std::string reportLine;  // the line being written, in full, for the report
  bool reportPending = false;
} g_log;

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
  Op().LogText(text, g_log.colour);
  g_log.colour = kLogNormal;
}

void LogLine(const std::string& text) {
  LogWrite(text);
  g_log.reportPending = true;  // an empty line is a line of the report too
  EndReportLine();
  Op().LogLineEnd();
}

void LogClear(bool whole) {
  EndReportLine();
  Op().LogCleared(whole);
}

uint8_t WaitKey() { return static_cast<uint8_t>(Op().WaitKey() & 0xFF); }

void PauseIfSlow() {
  if (SlowDetails) Op().Sleep(1000);
}

void ResetProgressLog() { g_log = Log(); }

}  // namespace qm
