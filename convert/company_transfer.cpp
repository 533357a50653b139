#include "convert/company_transfer.h"

#include <array>
#include <cstring>
#include <vector>

#include "base/cp852.h"
#include "base/message_text.h"
#include "base/record_fields.h"
#include "convert/addons.h"
#include "convert/annual_settings.h"
#include "convert/contracts.h"
#include "convert/copy_engine.h"
#include "convert/ledger.h"
#include "convert/people.h"
#include "platform/host_fs.h"
#include "run/payroll_layout.h"
#include "run/progress_log.h"
#include "run/run_operator.h"
#include "run/run_settings.h"
#include "run/stamp_layout.h"

namespace qm {
namespace {

constexpr std::array<uint8_t, 12> kWorkingDays2020 = {21, 20, 22, 21, 20, 21,
                                                      23, 20, 22, 22, 20, 21};

// A file of the company that is there; a link in its place is named and
// counts as absent.
bool Present(const std::string& path) {
  if (FileSizeOf(path) > 0) return true;
  SkipIfLink(path);
  return false;
}

void PrepareStaff() {
  // Cleared for every company, also when its staff item is off: the wage and
  // contract items must never see the people of the company before.
  ClearPersonKeys();
  StaffModeNow = StaffMode;
}

RunStop CarryTextData(const std::string& dir) {
  return ConvertCompanyTextData(CompanySource(dir) + "FIRMATXT.INI", CompanyTarget(dir) + "FIRMATXT.INI");
}

// The work of an item that never stops the run.
template <void (*Work)(const std::string& dir)>
RunStop Goes(const std::string& dir) {
  Work(dir);
  return RunStop{};
}

void CarryExtraList(const std::string& dir) {
  for (const std::string& entry : ExtraFiles) CopyListedFile(dir, entry);
}

void CarryPayrollSettings(const std::string& dir) {
  const std::string s = CompanySource(dir);
  if (!(Use2020AnnualData && Present(s + "2020_lp2.cc"))) {
    CopyRecords(s + "2019_lp2.cc", CompanyTarget(dir) + "2020_lp2.cc", kPayrollRecSize,
                StampPayrollSettings);
  }
  CopyListedFile(dir, "2020_lp2.cc");
}

// The 2020 form of the 2019 directory is the source when the annual data of
// 2020 were taken from there, or when the operator leaves it; otherwise the
// 2019 form.
std::string ChooseFormSource(const std::string& dir, const char* name2020, const char* name2019) {
  const std::string s = CompanySource(dir);
  const std::string form2020 = s + name2020;
  if (Present(form2020) && (Use2020AnnualData || KeepExistingFile(name2020))) return form2020;
  return s + name2019;
}

// Names in a list entry are relative to the company directory; one that
// climbs out of it, starts at a root or names a drive is refused.
bool InsideCompany(const std::string& name) {
  if (name.empty()) return false;
  if (name[0] == '/' || name[0] == '\\') return false;
  if (name.find(':') != std::string::npos) return false;
  return name.find("..") == std::string::npos;
}

// The list file is written for the package's home system: a backslash in a
// name separates directories there.
std::string HostName(std::string name) {
  for (char& c : name) {
    if (c == '/' || c == '\\') c = kPathSep;
  }
  return name;
}

using Cond = ItemCondition;
using Copy = ItemCopy;

// Shorthands for the table.
constexpr CompanyItem Item(int n, Cond c, uint16_t mask, const char* label, const char* source,
                           Copy copy, uint16_t srcSize = 0, uint16_t dstSize = 0) {
  return CompanyItem{n,      c,       mask,    label,   false,   source,  nullptr,
                     copy,   srcSize, dstSize, nullptr, nullptr, nullptr, nullptr, nullptr};
}

constexpr CompanyItem WithDest(CompanyItem i, const char* dest) {
  i.dest = dest;
  return i;
}
constexpr CompanyItem WithFilter(CompanyItem i, bool (*f)(uint8_t*, uint32_t)) {
  i.filter = f;
  return i;
}
constexpr CompanyItem WithConverter(CompanyItem i, bool (*f)(const uint8_t*, uint8_t*)) {
  i.converter = f;
  return i;
}
constexpr CompanyItem WithWork(CompanyItem i, RunStop (*f)(const std::string&)) {
  i.work = f;
  return i;
}
constexpr CompanyItem WithChoice(CompanyItem i, std::string (*f)(const std::string&)) {
  i.chooseSource = f;
  return i;
}
constexpr CompanyItem WithPrepare(CompanyItem i, void (*f)()) {
  i.prepare = f;
  return i;
}
constexpr CompanyItem NoLineEnd(CompanyItem i) {
  i.labelNoLineEnd = true;
  return i;
}

const CompanyItem kItems[] = {
    Item(1, Cond::Annual2020, 0, "Deklaracja VAT-7 z 2020", "2020vJ17.REK", Copy::Binary),
    Item(2, Cond::Annual2020, 0, "Deklaracja VAT-UE z 2020", "2020UE*.*", Copy::Matching),
    WithDest(Item(3, Cond::Annual2020, 0, "Inne deklaracja VAT 2020", "VATxxx.REK", Copy::Binary),
             "2020VXX.REK"),
    Item(4, Cond::Annual2020, 0, "Suma z kolumn za 2020", "2020kol2.rek", Copy::Binary),
    Item(5, Cond::Annual2020, 0, nullptr, "2020ZAL.REK", Copy::Records, 1024),
    WithWork(Item(6, Cond::DataItems, kDataText, nullptr, "FIRMATXT.INI", Copy::Custom), CarryTextData),
    Item(7, Cond::DataItems, kDataText, nullptr, "FIRMA_A8.REK", Copy::Convert, 224, 224),
    WithPrepare(WithConverter(Item(8, Cond::DataItems, kDataStaff, "Pracownicy / Właściciele",
                                   "DANE_PR8.REK", Copy::Convert, kStaffRecSize, kStaffRecSize),
                              ConvertStaffRecord),
                PrepareStaff),
    Item(9, Cond::DataItems, kDataStaff, "Dane zgłoszeniowe ZUS", "DANE_PZ.DAT", Copy::Listed),
    Item(10, Cond::DataItems, kDataStaff, "Deklaracji PITs", "2020PITS.REK", Copy::Listed),
    WithConverter(Item(11, Cond::DataItems, kDataStaff | kDataFamilies, "Rodziny pracowników", "DANE_PF8.REK",
                       Copy::Convert, kFamilyRecSize, kFamilyRecSize),
                  ConvertFamilyRecord),
    Item(12, Cond::DataItems, kDataStaff, "Dane umów o pracę UMOWY.INI", "UMOWY.INI", Copy::Listed),
    WithChoice(NoLineEnd(WithConverter(Item(13, Cond::DataItems, kDataPitD, "PID-5 ", "2020P5.REK",
                                            Copy::Convert, kTaxFormRecSize, kTaxFormRecSize),
                                       ConvertPid5Record)),
               Pid5Source),
    WithChoice(NoLineEnd(WithConverter(Item(14, Cond::DataItems, kDataPitD, "\"PIT-28\" ",
                                            "2020_p28.rek", Copy::Convert, kTaxFormRecSize,
                                            kTaxFormRecSize),
                                       ConvertPit28Record)),
               Pit28Source),
    Item(15, Cond::DataItems, kDataAddresses, "Baza adresów", "baza_ad8.rek", Copy::Convert, 480, 480),
    Item(16, Cond::DataItems, kDataSalesTemplates, "Automat sprzedaży", "baza_sp9.rek", Copy::Convert, 512, 512),
    Item(17, Cond::DataItems, kDataPurchaseTemplates, "Automat zakupów", "baza_za9.rek", Copy::Convert, 512, 512),
    Item(18, Cond::DataItems, kDataConstants, "Baza stałych F1..F10", "baza_ff.txt", Copy::Text),
    Item(19, Cond::DataItems, kDataConstants, "Notatnik", "Notatnik.txt", Copy::Text),
    Item(20, Cond::DataItems, kDataConstants, "Notatka", "Notatka.txt", Copy::Text),
    Item(21, Cond::DataItems, kDataConstants, "Notes", "Notes.txt", Copy::Text),
    Item(22, Cond::DataItems, kDataTransfers, "Baza przelewów", "BAZA_PP8.REK", Copy::Convert, 432, 432),
    WithWork(Item(23, Cond::ExtraList, 0, "Lista dodatkowa ....", nullptr, Copy::Custom),
             Goes<CarryExtraList>),
    WithWork(Item(24, Cond::DataItems, kDataWageSettings, "Ustawienia lokalne listy wynagrodzeń", "2019_lp2.cc",
                  Copy::Custom, kPayrollRecSize),
             Goes<CarryPayrollSettings>),
    Item(25, Cond::DataItems, kDataZusPel, "Ustawienia ZUS_PEL", "ZUS_PEL.INI", Copy::Listed),
    Item(26, Cond::DataItems, kDataAssets3500, "Środki umożone jednorazowo (3500)", "ESTUJ.REK", Copy::Records,
         768),
    Item(27, Cond::DataItems, kDataTransferSettings, "Ustawienia przelewów", "BAZA_PP8.INI", Copy::Text),
    Item(28, Cond::DataItems, kDataInternalDocs, "Dwody wewnętrzne", "BAZA_DW8.REK", Copy::Convert, 784, 784),
    Item(29, Cond::DataItems, kDataInterest, "Wystawiona lista odsetek", "ODS_ZOB.REK", Copy::Records, 200),
    Item(30, Cond::DataItems, kDataVehicles, "Lista pojazdów dla VAT", "AUTOV26.REK", Copy::Records, 320),
    WithWork(Item(31, Cond::Entered2020, kEnteredLedger, "Dane wprowadzone do ZEV:", "2020K990.*",
                  Copy::Custom, kLedgerRecSize, kLedgerRecSize),
             Goes<CarryLedgerJournals>),
    Item(32, Cond::Entered2020, kEnteredLedger, "Plik indeksów złych długów: 2020IDX.REK", "2020IDX.REK",
         Copy::Listed),
    WithFilter(Item(33, Cond::Entered2020, kEnteredWages, "Wynagrodzenia wprowadzone w 2020", "2020WP5.REK",
                    Copy::Records, kWageRecSize),
               ConvertWageRecord),
    WithConverter(
        WithDest(Item(34, Cond::Entered2020, kEnteredContracts, "Umowy zlecenia wprowadzone w 2020",
                      "2020UZ3.REK", Copy::Convert, kContractSrcSize, kContractDstSize),
                 "2020UZ5.REK"),
        ConvertContractRecord),
    Item(35, Cond::Entered2020, kEnteredNotes, "Noty korygujące z 2020", "2020_NK8.REK", Copy::Convert, 848,
         848),
    WithWork(Item(36, Cond::Entered2020, kEnteredDra, nullptr, "2020D5??.*", Copy::Custom),
             Goes<CopyDraDeclarations>),
    WithWork(Item(37, Cond::AddOns, kAddOnAssets, kAssetAddOnLabel, nullptr, Copy::Custom),
             Goes<CopyAssetAddOnFiles>),
    WithWork(Item(38, Cond::AddOns, kAddOnMileage310, kMileage310Label, nullptr, Copy::Custom),
             Goes<CopyMileage310Files>),
    WithWork(Item(39, Cond::AddOns, kAddOnMileage320, kMileage320Label, nullptr, Copy::Custom),
             Goes<CopyMileage320Files>),
    Item(40, Cond::Always, 0, "DLL : Import2ZEV.EXE -> zev_import.xml", "zev_import.xml",
         Copy::Listed),
};

void LogAndWait(const std::string& text) {
  LogLine(text);
  WaitKey();
}

// Steps 3 and 5: the company's stamp, read in 2019 and written in 2020.
bool CarryStamp(const std::string& dir) {
  const std::string source = CompanySource(dir) + kStampFile;
  std::vector<uint8_t> rec(kStampRecSize);
  FileHandle h = kNoHandle;
  if (Fs().Open(source, kAccessRead | kShareDenyNone, h) != kOk) {
    LogAndWait("Brak dostepu do " + source);
    return false;
  }
  uint32_t got = 0;
  if (Fs().Read(h, rec.data(), kStampRecSize, got) != kOk || got != kStampRecSize) {
    LogLine(Pl("Błąd odczytu danych z ") + source);
    Fs().Close(h);
    WaitKey();
    return false;
  }
  Fs().Close(h);

  const std::string companyRoot = TargetRoot + dir;
  if (!DirectoryExists(companyRoot) && Fs().MakeDir(companyRoot) != kOk) {
    Op().Error(CentredLines({Pl("Utworzenia katalogu firmy"), companyRoot}));
    return false;
  }

  PauseIfSlow();
  LogLine(Pl("Kopiowanie właściwe"));
  const std::string dest = CompanyTarget(dir) + kStampFile;
  if (Fs().Create(dest, h) != kOk) {
    LogAndWait(Pl("Brak dostępu do ") + dest);
    return false;
  }
  PutU16(rec.data(), kStampYear1, 2020);
  PutU16(rec.data(), kStampYear2, 2020);
  PutU16(rec.data(), kStampYear3, 2020);
  PutU8(rec.data(), kStampConverted, 1);
  uint32_t put = 0;
  if (Fs().Write(h, rec.data(), kStampRecSize, put) != kOk || put != kStampRecSize) {
    LogAndWait(Pl("Błąd zapisu danych do ") + dest);
    Fs().Close(h);
    return false;
  }
  // A stamp that does not reach the disk is a stamp not written.
  if (Fs().Close(h) != kOk) {
    LogAndWait(Pl("Błąd zapisu danych do ") + dest);
    return false;
  }
  return true;
}

}  // namespace

std::string CompanySource(const std::string& companyDir) { return SourceRoot + companyDir + kPathSep; }
std::string CompanyTarget(const std::string& companyDir) { return TargetRoot + companyDir + kPathSep; }

std::span<const CompanyItem> CompanyItems() { return kItems; }

bool CompanyItemOn(const CompanyItem& item) {
  switch (item.condition) {
    case Cond::Annual2020:
      return Use2020AnnualData;
    case Cond::DataItems:
      return (CompanyDataItems & item.mask) == item.mask;
    case Cond::Entered2020:
      return (Entered2020Items & item.mask) == item.mask;
    case Cond::AddOns:
      return (AddOnItems & item.mask) == item.mask;
    case Cond::ExtraList:
      return !ExtraFiles.empty();
    case Cond::Always:
      return true;
  }
  return false;
}

RunStop RunCompanyItem(const CompanyItem& item, const std::string& dir) {
  if (item.label) {
    if (item.labelNoLineEnd) {
      LogWrite(Pl(item.label));
    } else {
      LogLine(Pl(item.label));
    }
  }
  const std::string s = CompanySource(dir);
  const std::string t = CompanyTarget(dir);
  const std::string source = item.source ? s + item.source : s;
  const std::string dest = t + (item.dest ? item.dest : item.source ? item.source : "");
  switch (item.copy) {
    case Copy::Binary:
      CopyBinaryFile(source, dest);
      break;
    case Copy::Text:
      CopyTextFile(source, dest);
      break;
    case Copy::Records:
      CopyRecords(source, dest, item.srcSize, item.filter);
      break;
    case Copy::Convert: {
      const std::string from = item.chooseSource ? item.chooseSource(dir) : source;
      if (item.converter) {
        ConvertRecords(from, dest, item.srcSize, item.dstSize, item.converter);
      } else {
        const uint16_t size = item.srcSize;
        ConvertRecords(from, dest, item.srcSize, item.dstSize,
                       [size](const uint8_t* a, uint8_t* b) {
                         std::memcpy(b, a, size);
                         return true;
                       });
      }
      break;
    }
    case Copy::Matching:
      CopyMatchingFiles(s, t, item.source);
      break;
    case Copy::Listed:
      CopyListedFile(dir, item.source);
      break;
    case Copy::Custom:
      if (item.work) return item.work(dir);
      break;
  }
  return RunStop{};
}

std::string Pid5Source(const std::string& companyDir) {
  return ChooseFormSource(companyDir, "2020P5.REK", "2019p5.13");
}

std::string Pit28Source(const std::string& companyDir) {
  return ChooseFormSource(companyDir, "2020_p28.rek", "2019_p28.rek");
}

bool StampPayrollSettings(uint8_t* rec, uint32_t /*length*/) {
  PutU16(rec, kPayrollYear, 2020);
  std::memcpy(rec + kWorkingDays, kWorkingDays2020.data(), kWorkingDays2020.size());
  return true;
}

void CopyListedFile(const std::string& companyDir, const std::string& entry) {
  if (entry.empty()) return;
  const size_t mark = entry.find('>');
  const std::string from = mark == std::string::npos ? entry : entry.substr(0, mark);
  const std::string to = mark == std::string::npos ? entry : entry.substr(mark + 1);
  if (!InsideCompany(from) || !InsideCompany(to)) {
    LogColour(kLogError);
    LogLine(Pl("Pominięto pozycję spoza katalogu firmy: ") + entry);
    return;
  }
  CopyBinaryFile(CompanySource(companyDir) + HostName(from), CompanyTarget(companyDir) + HostName(to));
}

void CopyDraDeclarations(const std::string& companyDir) {
  const std::string s = CompanySource(companyDir);
  const std::string t = CompanyTarget(companyDir);
  FindEntry e;
  FindHandle fh;
  if (Fs().FindFirst(s + "2020D5??.*", kAttrAnyFile, e, fh) != kOk) return;
  int k = 0;
  do {
    ++k;
    LogWrite(std::to_string(k) + ". :" + e.name);
    if (e.link) {
      LogLine("");
      SkipIfLink(s + e.name);
      continue;
    }
    CopyBinaryFile(s + e.name, t + e.name);
  } while (Fs().FindNext(fh, e) == kOk);
}

void ResetConversionState() {
  ResetCopyEngine();
  ResetAnnualSettingsState();
  ResetPeopleState();
}

CompanyConversion ConvertCompany(const std::string& companyDir) {
  // The whole screen frames the log however the conversion ends.
  FramedLog frame(1, 1, 80, 25);
  Use2020AnnualData = false;
  const std::string s = CompanySource(companyDir);
  if (!Present(s + "2019_ROK.REK")) {
    LogLine("Brak :" + s + "2019_ROK.REK");
    if (!Present(s + "2020_ROK.REK")) {
      LogLine("Brak :" + s + "2020_ROK.REK");
      LogLine("");
      LogLine("Brak danych za rok 2019 czy 2020");
      LogLine(Pl("Nie można dokonać konwersji ..."));
      WaitKey();
      return CompanyConversion{};
    }
  }
  if (!CarryStamp(companyDir)) return CompanyConversion{};

  ConvertAnnualSettings(companyDir);
  for (const CompanyItem& item : kItems) {
    if (item.prepare) item.prepare();
    if (!CompanyItemOn(item)) continue;
    if (RunStop stop = RunCompanyItem(item, companyDir)) return CompanyConversion{false, std::move(stop)};
  }

  LogLine("Koniec konwersji danych firmy");
  if (PausePerCompany) {
    LogWrite(Pl("cdn - naciśnij dowolny klawisz."));
    WaitKey();
  }
  return CompanyConversion{true, RunStop{}};
}

}  // namespace qm
