#include "run/run_settings.h"

#include "platform/host_fs.h"

namespace qm {

std::string SourceRoot;
std::string TargetRoot;
uint16_t GlobalOptions;
uint16_t CompanyDataItems;
uint16_t StartOptions;
uint16_t StaffMode;
uint16_t Pid5Mode;
uint16_t Entered2020Items;
uint16_t AddOnItems;
bool PausePerCompany;
bool SlowDetails;
bool HideConverted;
bool WarnOpenDecember;
uint16_t KeepPlStandard;
std::string GlobalSourceSubdir;
std::vector<std::string> ExtraFiles;
std::string CompanyListName = "SPISFIRM.DAT";
bool UndoRequested = false;

void ResetRunSettings() {
  SourceRoot = std::string(1, kPathSep) + "ZEV_2019" + kPathSep;
  TargetRoot.clear();
  GlobalOptions = 0x06D7;
  CompanyDataItems = 0xFFFF;
  StartOptions = 0xFFFF;
  StaffMode = 0;
  Pid5Mode = 0;
  Entered2020Items = 0xFFFF;
  AddOnItems = 0xFFFD;
  PausePerCompany = false;
  SlowDetails = false;
  HideConverted = false;
  WarnOpenDecember = true;
  KeepPlStandard = 0;
  GlobalSourceSubdir = "#BIN990";
  ExtraFiles.clear();
  CompanyListName = "SPISFIRM.DAT";
  UndoRequested = false;
}

namespace {
struct InitialSettings {
  InitialSettings() { ResetRunSettings(); }
} g_initial;
}  // namespace

}  // namespace qm
