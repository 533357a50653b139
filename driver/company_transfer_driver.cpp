// The per-company transfer: every marked company is converted, and each one
// converted without failure is entered in sorted order into the 2020 list.
#include <new>
#include <optional>

#include "convert/company_transfer.h"
#include "driver/company_list.h"
#include "driver/company_selection.h"
#include "driver/run_report_texts.h"
#include "driver/safe_transfer.h"
#include "driver/wizard.h"
#include "fileio/shared_file.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tui/message_box.h"
#include "tui/screen.h"

namespace qm {
namespace {

// The 2020 company list: kept sorted by name, directory and info.
class CompanyListFile : public SharedFile {
 public:
  explicit CompanyListFile(const std::string& name) : SharedFile(name, kCompanyRecSize) {}
  void Compare(const uint8_t* existing, const uint8_t* newRec, int16_t& res) override {
    res = order_ && order_->Added() == newRec ? order_->Compare(existing) : qm::Compare(existing, newRec);
  }
  // The journal notes the insertion before the first record moves.
  bool BeforeInsert(int32_t count, const uint8_t* rec) override {
    order_.emplace(rec);
    return NoteListInsertion(file.handle, count, rec, kCompanyRecSize, Name);
  }

 private:
  std::optional<CompanyOrder> order_;
};

SharedFilePtr<CompanyListFile> OpenTargetList(const std::string& path) {
  // The file object keeps only 79 characters of its name; a longer path
  // would have the companies written into some other file.
  if (path.size() > kSharedNameCap) return nullptr;
  SharedFilePtr<CompanyListFile> list(new (std::nothrow) CompanyListFile(path));
  if (list && !list->Open(OpenOrCreate, WaitRetry)) list.reset();
  return list;
}

}  // namespace

void TransferCompanies() {
  const TextWindowRect window = CurrentTextWindow();
  int32_t count = 0;
  if (ChooseCompanies(count)) {
    ReportChosenCompanies();
    const std::string path = TargetRoot + CompanyListName;
    SetCompanyListFile(path);
    SharedFilePtr<CompanyListFile> list = OpenTargetList(path);
    if (!list) {
      ErrorBox(CentredLines({"Brak dostepu do pliku", path}));
    } else {
      for (int32_t i = 1; i <= count; ++i) {
        const CompanyEntry* entry = CompanyEntryAt(i);
        if (!entry || !entry->selected) continue;
        const std::string dir = entry->record.Directory();
        LogClear(true);
        LogLine("Kopiowanie  - FIRMA   : " + entry->record.Name());
        LogLine("              Katalog : " + dir);
        BeginCompanyUnit(dir, entry->record.Name());
        const CompanyConversion conversion = ConvertCompany(dir);
        if (conversion.stop) StopRun(conversion.stop);
        const bool converted = conversion.converted;
        // The record goes in exactly as the 2019 list holds it; a company
        // something of which failed does not go in at all.
        const bool inserted = converted && !CompanyUnitFailed() && list->InsertSorted(entry->record.bytes.data());
        EndCompanyUnit(converted, inserted);
      }
    }
  }
  FreeCompanyTable();
  LogClear(false);
  RestoreTextWindow(window);
}

}  // namespace qm
