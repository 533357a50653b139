// A transfer that survives interruption. From F5 to the end of the run the
// program holds the installation's lock and journals every change to both
// trees (journal/); each unit -- the global phase, each company -- is
// committed once its files are on disk and its list record is in, or rolled
// back when anything of it failed. An interrupted run is repaired at the
// next start, after a question; /COFNIJ takes the finished runs back, the
// latest first (driver/recovery.cpp).
#pragma once
#include <cstdint>
#include <string>

#include "platform/host_fs.h"

namespace qm {

// Start-up, before page 1: when a journal of the 2020 root known now shows
// an unfinished run, asks and repairs it (or ends with code 5).
void RepairAtStartUp();
// Where the 2019 root came from: the path file named it for the 2020 root
// in use (a repair or an undo then asks before it works on another); and
// the root known at start, so that one changed on page 1 counts as given
// at F5.
void NoteSourceRootGiven(bool given);
void NoteStartSourceRoot();

// F5 on page 4, before anything is written: the lock (code 4 when another
// copy holds it), the repair question for the root chosen on page 1, a new
// journal and the recording layer. Ends the program when the transfer
// cannot start safely.
void BeginSafeTransfer();
// The end of the run: the journal ended, the recording layer gone, the lock
// given back.
void EndSafeTransfer();
bool SafeTransferActive();

// Units. A unit that failed is rolled back by its end (with a red line).
void BeginGlobalUnit();
void EndGlobalUnit();
void BeginCompanyUnit(const std::string& dir, const std::string& name);
// Whether anything of the current company failed so far.
bool CompanyUnitFailed();
// The journal's note before the company's record goes into the 2020 list
// (called under the list's lock, count records in it); false stops the
// insertion.
bool NoteListInsertion(FileHandle h, int32_t count, const uint8_t* record, int recSize, const std::string& listPath);
// Commits the company, or rolls it back: converted false or anything failed.
// True when the company was committed.
bool EndCompanyUnit(bool converted, bool inserted);
// The company list the companies are entered in (its changes are the run's).
void SetCompanyListFile(const std::string& path);

// Whether a unit of this run was rolled back because of an error: the run
// ends with code 1.
bool RunHadFailures();

// /COFNIJ: lists what the latest run not yet undone changed, asks, and
// puts both trees back. Ends the program (0 after an undo, 1 when files
// whose copies are lost stay as they are, 5 when declined or there is
// nothing to undo).
[[noreturn]] void RunUndo();

void ResetSafeTransfer();  // tests

}  // namespace qm
