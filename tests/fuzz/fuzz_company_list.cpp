// The 2019 company list of any content: recognition over an installation
// where some listed companies have their 2019 or 2020 directory, then the
// table, the sort keys and the order of the 2020 list.
#include <cstdlib>
#include <string>

#include "driver/company_list.h"
#include "platform/process.h"
#include "run/run_settings.h"
#include "tests/fuzz/fuzz_support.h"

using namespace qm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The list holds at most 2048 records: more only repeats the same work.
  if (size > static_cast<size_t>(kCompanyRecSize) * 64) return 0;
  fuzz::StartRun();
  fuzz::MakeScratchDir("2019");
  fuzz::MakeScratchDir("2020");
  SourceRoot = fuzz::ScratchDir() + "2019/";
  TargetRoot = fuzz::ScratchDir() + "2020/";
  fuzz::WriteScratchFile("2019/" + CompanyListName, data, size);
  // Every second listed company is found in 2019, every third in 2020, so
  // each branch of the recognition is reached.
  for (size_t i = 0; (i + 1) * kCompanyRecSize <= size && i < 16; ++i) {
    CompanyRecord r;
    std::copy(data + i * kCompanyRecSize, data + (i + 1) * kCompanyRecSize, r.bytes.begin());
    const std::string dir = r.Directory();
    if (!SafeCompanyDirectory(dir)) continue;
    bool plain = true;
    for (unsigned char c : dir) plain = plain && c > ' ' && c < 0x7F && c != '*' && c != '?';
    if (!plain) continue;
    if (i % 2 == 0) fuzz::MakeScratchDir("2019/" + dir);
    if (i % 3 == 0) fuzz::MakeScratchDir("2020/" + dir);
  }

  int32_t count = -1;
  try {
    RecogniseEnvironment(count);
  } catch (const fuzz::Stopped&) {
    FreeCompanyTable();
    return 0;
  }
  if (count != CompanyCount || count < 0 || count > kMaxCompanies) abort();
  const CompanyEntry* prev = nullptr;
  for (int32_t i = 0; i <= count + 1; ++i) {
    const CompanyEntry* e = CompanyEntryAt(i);
    if ((i >= 1 && i <= count) != (e != nullptr)) abort();
    if (!e) continue;
    if (!SafeCompanyDirectory(e->record.Directory())) abort();
    e->record.Name();
    e->record.Info();
    SortKey(e->record.bytes.data());
    if (prev) {
      // The order must be antisymmetric: a before b and b before a at once
      // would make the 2020 list depend on the insertion order.
      const int16_t ab = Compare(prev->record.bytes.data(), e->record.bytes.data());
      const int16_t ba = Compare(e->record.bytes.data(), prev->record.bytes.data());
      if (ab < 0 && ba < 0) abort();
    }
    prev = e;
  }
  FreeCompanyTable();
  return 0;
}
