// What a kept run says about the installation it lies in, checked against
// that installation before anything is taken back: the company-list
// records its committed companies added, as the list holds them now, and
// whether the run is this installation's at all. A journal copied into
// another installation (with its bookkeeping directory) must never lead a
// repair there: it would remove companies that installation carried
// itself and put its 2019 files back to before a run it never made.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "journal/list_fix.h"
#include "journal/run_history.h"

namespace qm {

enum class RecordNow : uint8_t {
  AsAdded,  // in the list as the run added it
  Changed,  // the list names the company's directory, with other bytes
  Missing,  // the list does not name it
};

struct AddedRecord {
  const JournalUnit* unit = nullptr;
  std::string listRel;  // the list, in the 2020 tree
  std::vector<uint8_t> record;
  RecordNow now = RecordNow::Missing;
  size_t at = 0;  // its place in the list (record number), unless missing
};

// The records the committed units not taken back added, each matched to
// one record of the list (the same record never to two); false when the
// list cannot be read.
bool AddedRecords(FileSystem& fs, const RunHistory& run, const ListShape& shape, std::vector<AddedRecord>& out);

// Whether run is the journal of this installation (the 2020 root it lies
// in, already set as run.targetRoot; listPath its company list): its
// recorded 2020 root is this one, no company a cut-off unit was carrying
// into a new directory is listed without the unit having entered it, and,
// while the run is unfinished and no undo of it has begun, every company it
// committed is listed and has its directory. why names the first thing
// that does not fit.
bool FitsInstallation(FileSystem& fs, const RunHistory& run, const std::string& recordedRoot,
                      const std::string& listPath, const ListShape& shape, std::string& why);

// Two directory paths spelt alike but for letter case and separators.
bool SameRootPath(std::string a, std::string b);

}  // namespace qm
