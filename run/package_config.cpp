#include "run/package_config.h"

#include <cstdio>

#include "base/dates.h"
#include "fileio/ini_file.h"
#include "fileio/shared_file.h"
#include "platform/host_fs.h"
#include "platform/process.h"
#include "run/company_text_data.h"

namespace qm {

uint16_t WorkingYear = kDefaultWorkingYear;

std::string ConfigFileName;
std::string PrinterSetFile;
std::string ArchiveDir;
std::string ExchangeDir;
std::string XmlDir;
std::string LedgerDir;
std::string RegisterDir;
std::string DeclarationDir;
bool ExclusiveMode = false;
bool LongFileNames = false;

// Staff records and the 512-byte blocks of other files are hidden with the
// same stream.
static_assert(kStaffScrambleSeed == ScrambleSeed);

namespace {

std::string Dir(const char* name) { return ProgramDir + name + kPathSep; }

std::string YearDigits(uint16_t year) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(year));
  return buf;
}

}  // namespace

void InitPackagePaths() {
  ConfigFileName = GetEnvVar("KPRCNF");
  if (ConfigFileName.empty()) ConfigFileName = "ZEV_2020.INI";
  if (ConfigFileName.find(kPathSep) == std::string::npos) ConfigFileName = ProgramDir + ConfigFileName;

  PrinterSetFile = GetEnvVar("KPRLPT");
  if (PrinterSetFile.empty()) PrinterSetFile = ProgramDir + "DRUKARKI.SET";

  ArchiveDir = Dir("ARK");

  ExchangeDir = GetEnvVar("KPRXY");
  if (ExchangeDir.empty()) {
    ExchangeDir = Dir("XY");
  } else if (ExchangeDir.find(kPathSep) == ExchangeDir.size() - 1) {
    // A bare directory name ("XY2\") lies beside the program.
    ExchangeDir = ProgramDir + ExchangeDir;
  }

  XmlDir = Dir("XML");
  LedgerDir = Dir("ZEV");
  RegisterDir = Dir("REJ");
  DeclarationDir = Dir("KDU");
  ExclusiveMode = HasSwitch(SwitchCase::AnyCase, "/EXC");
  LongFileNames = HasSwitch(SwitchCase::AnyCase, "/LFN");
}

std::string LedgerPrefixOf(uint16_t year) { return year >= 2019 ? "K990." : "K880."; }

std::string LedgerPrefix() { return LedgerPrefixOf(WorkingYear); }

std::string LedgerFileName(int month) {
  if (month == 16) return TempDir + kPathSep + "SQL_" + LedgerPrefix() + "REK";
  std::string name = YearDigits(WorkingYear) + LedgerPrefix();
  if (month == 13) return name + "Z";
  if (month == 15) return name + "K12";
  return name + std::to_string(month);
}

std::string LedgerFileNameOf(uint16_t year, int month) {
  std::string path;
  const int back = static_cast<int>(WorkingYear) - static_cast<int>(year);
  if (back >= 1 && back <= 4 && CurrentCompanyText) {
    path = WithBackslash(CurrentCompanyText->Text("PATH", "ZEV" + YearDigits(year)));
  }
  return path + YearDigits(year) + LedgerPrefixOf(year) + std::to_string(month);
}

void ScrambleStaffRecord(uint8_t* record) {
  SetRandomState(kStaffScrambleSeed);
  for (int i = kStaffScrambleFirst; i <= kStaffScrambleLast; ++i) {
    record[i] ^= static_cast<uint8_t>(RandomBelow(255));
  }
}

void ResetPackageConfig() {
  WorkingYear = kDefaultWorkingYear;
  ConfigFileName.clear();
  PrinterSetFile.clear();
  ArchiveDir.clear();
  ExchangeDir.clear();
  XmlDir.clear();
  LedgerDir.clear();
  RegisterDir.clear();
  DeclarationDir.clear();
  ExclusiveMode = false;
  LongFileNames = false;
  ResetCompanyTextData();
}

}  // namespace qm
