// The repair of a run the journal shows unfinished, and the undo of a
// finished one. Both go the same way: the company list first (an undo
// rewrites it without the run's records, from a copy noted before), then
// every unit to take back, last first, each noted as undone as soon as it
// is; then the journal's end. Cut off anywhere, the next start finds the
// journal unfinished again and goes on from where it stopped.
#pragma once
#include <cstddef>

#include "journal/bookkeeping.h"
#include "journal/rollback.h"
#include "journal/run_history.h"

namespace qm {

struct RepairResult {
  int units = 0;          // units rolled back
  int listRecords = 0;    // records taken out of the company list by an undo
  bool problems = false;  // something could not be put back (named to the status)
  bool journalFailed = false;  // the journal could not be written: nothing was changed
};

// Rolls back what run (read from the journal of books) left unfinished.
RepairResult RepairRun(FileSystem& fs, const Bookkeeping& books, const RunHistory& run, RollbackStatus& status,
                       size_t listRecSize);
// Takes back a finished run.
RepairResult UndoRun(FileSystem& fs, const Bookkeeping& books, const RunHistory& run, RollbackStatus& status,
                     size_t listRecSize);

}  // namespace qm
