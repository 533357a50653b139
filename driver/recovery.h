// The repair of interrupted runs and the undo of finished ones, as the
// driver runs them: which kept run of an installation is followed (only one
// written for this installation, read as far as it can be), which 2019
// root it works on (the run's own; a box asks where another was given),
// the questions, the lines of the progress log, and the boxes that say
// what happened. The transfer's own session is driver/safe_transfer.cpp.
#pragma once
#include <string>

#include "journal/list_fix.h"
#include "journal/rollback.h"
#include "journal/run_history.h"

namespace qm {

// The 2020 company list's records, as the journal's checks read them.
extern const ListShape kCompanyListShape;

// The steps of a rollback as lines of the progress log.
class LogStatus : public RollbackStatus {
 public:
  explicit LogStatus(const RunHistory& run) : run_(run) {}
  void Step(RollbackStep step, Tree tree, const std::string& rel) override;
  bool Problems() const { return problems_; }

 private:
  const RunHistory& run_;
  bool problems_ = false;
};

// Repairs, after asking, every unfinished run kept in the 2020 root (with
// its separator), the latest first; the lock is held. atTransfer: at F5,
// where the 2019 root on page 1 counts as given. Ends the program when a
// repair is declined or cannot be made.
void RepairUnfinishedRuns(const std::string& root, bool atTransfer);

// Removes the kept runs of root that hold nothing (a run cut off before its
// first record), and gives the number the next run gets.
int PrepareNextRun(const std::string& root);

std::string WithSeparator(std::string dir);
void ResetRecovery();
[[noreturn]] void Stop(const std::string& text, int code);
// The lock could not be taken: another copy holds it (code 4), or why not.
[[noreturn]] void StopLockFailed(bool inUse, int error, const std::string& dir, int code);

}  // namespace qm
