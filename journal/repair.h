// The repair of a run the journal shows unfinished, and the undo of a
// finished one. Both go the same way: the company list first (an undo
// rewrites it without the run's records, from a copy noted before), then
// every unit to take back, last first, each noted as undone as soon as it
// is; then the journal's end. Cut off anywhere, the next start finds the
// journal unfinished again and goes on from where it stopped. What cannot
// be put back and never will be (a copy that is gone) is named and left:
// the unit is noted undone all the same, so that no later start is held
// up by it.
#pragma once
#include <cstddef>

#include "journal/bookkeeping.h"
#include "journal/rollback.h"
#include "journal/run_check.h"
#include "journal/run_history.h"

namespace qm {

struct RepairResult {
  int units = 0;          // units rolled back
  int listRecords = 0;    // records taken out of the company list by an undo
  bool problems = false;  // something could not be put back now (named to the status): tried again later
  bool lost = false;      // something can never be put back (named to the status)
  bool journalFailed = false;  // the journal could not be written: nothing was changed
};

// Rolls back what run (read from the journal of books) left unfinished.
RepairResult RepairRun(FileSystem& fs, const Bookkeeping& books, const RunHistory& run, RollbackStatus& status,
                       const ListShape& list);
// Takes back a finished run. A company whose list record changed since the
// run loses it all the same; the record as it was is set aside, like a
// changed file.
RepairResult UndoRun(FileSystem& fs, const Bookkeeping& books, const RunHistory& run, RollbackStatus& status,
                     const ListShape& list);

}  // namespace qm
