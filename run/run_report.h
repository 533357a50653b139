// The report of a run, a repair or an undo: RAPORT-YYYYMMDD-HHMMSS.TXT in the
// 2020 root's bookkeeping directory (-2, -3, ... after the time when a
// report of that second is there), UTF-8 with CR LF, written as the run
// goes: gathered a few kilobytes at a time and written whenever the
// program waits for a key, a company or the global data begins or ends, and
// at the way out, so that a killed run leaves its report up to the company
// it was cut in (a write per line would cost a system call per file
// carried). It holds a header,
// every line of the progress log without its colours (in full, where the
// screen cuts a line at its edge), every question with its answer, what
// each company came to, and the summary the last screen shows too.
#pragma once
#include <string>

#include "platform/host_fs.h"

namespace qm {

// Opens a new report in dir (the bookkeeping directory) through fs, named
// after the time now; false when it cannot be made (the run goes on).
bool OpenRunReport(FileSystem& fs, const std::string& dir);
bool RunReportOpen();
// A report that could not be written to its end (a full disk, say).
bool RunReportBroken();
const std::string& RunReportPath();
// A line (CP852) of the report only.
void ReportLine(const std::string& text);
// The answer to the question on the log line being written: added to that
// line in the report ("[odpowiedź: W]"), not shown.
void ReportAnswer(const std::string& answer);
// Writes what is gathered.
void FlushRunReport();
void CloseRunReport();

// Counts for the summary.
struct RunTally {
  int carried = 0;   // companies entered in the 2020 list
  int failed = 0;    // companies rolled back because of an error
  int skipped = 0;   // companies left by the conversion's own rules or the operator
  int errors = 0;    // red lines of the progress log
};
RunTally& Tally();

void ResetRunReport();  // tests

}  // namespace qm
