// What the run's report says beyond the progress log: its header (the
// program, the time, both roots and every option of every page), the
// companies chosen, each question with its answer, and the summary that
// ends the report and the last screen.
#pragma once
#include <string>

namespace qm {

// Opens the report in the 2020 root's bookkeeping directory (made by the
// lock) and writes its header; what started it ("przeniesienie",
// "naprawa", "cofnięcie") names it.
void StartRunReport(const std::string& what);
// The marked companies of the selection list.
void ReportChosenCompanies();
// The summary: on the screen and in the report, with the report's path and
// the time the run took.
void ReportSummary();

}  // namespace qm
