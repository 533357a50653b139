// The company's FIRMATXT.INI carried into 2020, with the 2019 data path of
// the company recorded among the paths of earlier years.
#include <memory>
#include <string>

#include "base/cp852.h"
#include "convert/addons.h"
#include "convert/annual_settings.h"
#include "fileio/text_file.h"
#include "run/company_text_data.h"
#include "run/package_config.h"
#include "run/progress_log.h"

namespace qm {

RunStop ConvertCompanyTextData(const std::string& source, const std::string& dest) {
  auto record = std::make_unique<CompanyTextData>();
  WorkingYear = 2020;
  // The record is the current company's only while it lives.
  struct Current {
    explicit Current(const CompanyTextData* r) { CurrentCompanyText = r; }
    ~Current() { CurrentCompanyText = nullptr; }
  } current(record.get());
  if (CompanyTextData::Transfer(source, CompanyTextData::Direction::Read, *record) == TextTransfer::NotOpened)
    return RunStop{RunStopKind::CompanyTextUnreadable, source};
  // The package reads FIRMATXT.INI a line at a time, and a line holds at
  // most 255 characters: a 2019 path that does not fit after "ZEV2019=" is
  // refused and named, never cut to a directory that does not exist.
  static constexpr char kKey[] = "ZEV2019";
  if (PreviousYearPath.size() + sizeof kKey <= kMaxLine) {
    record->SetText("PATH", kKey, PreviousYearPath);
  } else {
    record->SetText("PATH", kKey, "");
    LogColour(kLogError);
    LogLine(Pl("Ścieżka 2019 za długa dla ZEV2019 w FIRMATXT.INI (ponad ") +
            std::to_string(kMaxLine - sizeof kKey) + Pl(" znaków): ") + PreviousYearPath);
  }
  // The destination is loaded as it stands and written back, so whatever
  // the 2020 file holds beyond the table stays; no overwrite question.
  // A write-back that fails would leave the company's 2020 data short
  // without a word: it is reported like any other failed write.
  switch (CompanyTextData::Transfer(dest, CompanyTextData::Direction::Write, *record)) {
    case TextTransfer::Done:
      break;
    case TextTransfer::NotOpened:
      return RunStop{RunStopKind::CompanyTextUnreadable, dest};
    case TextTransfer::NotWritten:
      LogColour(kLogError);
      LogLine(Pl("Błąd zapisu do pliku ") + dest);
      WaitKey();
      break;
  }
  return RunStop{};
}

}  // namespace qm
