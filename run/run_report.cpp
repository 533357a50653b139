#include "run/run_report.h"

#include <cstdlib>

#include "base/cp852.h"
#include "base/message_text.h"
#include "base/text.h"
#include "platform/console.h"

namespace qm {
namespace {

// Written once this much is gathered.
constexpr size_t kGather = 16 * 1024;

struct Report {
  FileSystem* fs = nullptr;
  FileHandle h = kNoHandle;
  int64_t end = 0;
  std::string path;
  std::string gathered;
  std::string pendingAnswer;
  bool broken = false;
  RunTally tally;
};
Report g_report;

std::string TimeStamp() {
  const LocalTime t = Con().Now();
  return std::to_string(t.year) + TwoDigits(t.month) + TwoDigits(t.day) + "-" + TwoDigits(t.hour) +
         TwoDigits(t.minute) + TwoDigits(t.second);
}

void WriteRaw(const std::string& utf8) {
  if (g_report.h == kNoHandle) return;
  g_report.gathered += utf8;
  if (g_report.gathered.size() >= kGather) FlushRunReport();
}

}  // namespace

bool OpenRunReport(FileSystem& fs, const std::string& dir) {
  if (g_report.h != kNoHandle) return true;
  // A second report in the same second gets a number, never the first's
  // place.
  const std::string base = dir + kPathSep + "RAPORT-" + TimeStamp();
  std::string path = base + ".TXT";
  for (int n = 2; n < 100; ++n) {
    FindEntry e;
    FindHandle fh;
    if (fs.FindFirst(path, kAttrAll, e, fh) != kOk) break;
    path = base + "-" + std::to_string(n) + ".TXT";
  }
  FileHandle h = kNoHandle;
  g_report.path = path;
  if (fs.Create(path, h) != kOk) return false;
  // Like everything the program makes in the bookkeeping directory, the
  // report is the installation's users', not the running user's alone.
  fs.TakeOwnership(h, dir);
  g_report.fs = &fs;
  g_report.h = h;
  g_report.end = 0;
  g_report.path = path;
  // Every way out of the program goes through exit().
  static const bool atExit = std::atexit([] { FlushRunReport(); }) == 0;
  (void)atExit;
  return true;
}

bool RunReportOpen() { return g_report.h != kNoHandle; }
bool RunReportBroken() { return g_report.broken; }
const std::string& RunReportPath() { return g_report.path; }

void ReportLine(const std::string& text) {
  std::string line = text;
  if (!g_report.pendingAnswer.empty()) {
    line += Pl(" [odpowiedź: ") + g_report.pendingAnswer + "]";
    g_report.pendingAnswer.clear();
  }
  WriteRaw(Cp852ToUtf8(line) + "\r\n");
}

void ReportAnswer(const std::string& answer) { g_report.pendingAnswer = answer; }

void FlushRunReport() {
  if (g_report.h == kNoHandle || g_report.gathered.empty()) return;
  const std::string text = std::move(g_report.gathered);
  g_report.gathered.clear();
  uint32_t put = 0;
  const int rc = g_report.fs->WriteAt(g_report.h, g_report.end, text.data(), static_cast<uint32_t>(text.size()), put);
  if (rc != kOk || put != text.size()) {
    // A report that cannot be written any more is closed; the summary says
    // so.
    g_report.fs->Close(g_report.h);
    g_report.h = kNoHandle;
    g_report.broken = true;
    return;
  }
  g_report.end += put;
}

void CloseRunReport() {
  FlushRunReport();
  if (g_report.h != kNoHandle) g_report.fs->Close(g_report.h);
  g_report.h = kNoHandle;
}

RunTally& Tally() { return g_report.tally; }

void ResetRunReport() {
  CloseRunReport();
  g_report = Report();
}

}  // namespace qm
