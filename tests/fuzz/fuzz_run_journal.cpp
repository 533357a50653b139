// A run journal of any content, as a damaged or planted one would be: it
// is parsed, made into a run, and a run that makes sense is repaired over
// two scratch trees, whatever roots it names. Nothing may be read or
// written outside the scratch directory (the sanitizers and the checks
// below), and a repair must leave the journal readable.
#include <cstdlib>
#include <string>
#include <string_view>

#include "driver/company_list.h"
#include "driver/recovery.h"
#include "journal/repair.h"
#include "platform/host_fs.h"
#include "tests/fuzz/fuzz_support.h"

using namespace qm;

namespace {

struct Quiet : RollbackStatus {
  void Step(RollbackStep, Tree, const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16 * 1024) return 0;
  fuzz::StartRun();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<JournalRecord> records;
  size_t whole = 0;
  const JournalState st = ParseJournal(text, records, &whole);
  if (whole > size) abort();
  RunHistory run;
  if (st == JournalState::Missing || !BuildHistory(records, run, st == JournalState::Damaged)) return 0;
  for (const JournalUnit& u : run.units)
    for (const JournalRecord& r : u.changes)
      if (!SafeJournalPath(r.Field(r.kind == RecordKind::Insert ? 1 : 2))) abort();

  // The repair over scratch trees, as the program does it: the journal's
  // roots replaced by the ones it lies in.
  fuzz::MakeScratchDir("19/F1");
  fuzz::MakeScratchDir("20/_QM1920/KOPIE");
  fuzz::MakeScratchDir("20/F1");
  fuzz::WriteScratchFile("19/F1/A", data, size < 64 ? size : 64);
  fuzz::WriteScratchFile("20/F1/B", data, size < 32 ? size : 32);
  fuzz::WriteScratchFile("20/SPISFIRM.DAT", data, size < 206 ? size : 206);
  fuzz::WriteScratchFile("20/_QM1920/KOPIE/000001.BAK", data, size < 16 ? size : 16);
  fuzz::WriteScratchFile("20/_QM1920/PRZEBIEG.QMJ", data, size);
  run.sourceRoot = fuzz::ScratchDir() + "19/";
  run.targetRoot = fuzz::ScratchDir() + "20/";
  const Bookkeeping books(run.targetRoot);
  Quiet quiet;
  RepairRun(Fs(), books, run, quiet, kCompanyListShape);
  // A repair never makes a journal worse: what it appends reads back.
  std::vector<JournalRecord> after;
  if (ReadJournal(Fs(), books.JournalPath(), after) == JournalState::Damaged && st != JournalState::Damaged) abort();
  return 0;
}
