// The run settings: plain process-wide values, bound directly to the wizard
// pages' controls and read by the transfers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qm {

extern std::string SourceRoot;     // up to 255 characters, ends with the separator
extern std::string TargetRoot;     // up to 255 characters
extern uint16_t GlobalOptions;     // page 2, default 0x06D7
extern uint16_t CompanyDataItems;  // page 3, default 0xFFFF
extern uint16_t StartOptions;      // page 4, default 0xFFFF
extern uint16_t StaffMode;         // page 3: 0 all, 1 employed on 31.12.2019, 2 ask
extern uint16_t Pid5Mode;          // page 3: 0 all, 1 ask
extern uint16_t Entered2020Items;  // page 3, default 0xFFFF
extern uint16_t AddOnItems;        // page 3, default 0xFFFD
extern bool PausePerCompany;       // page 4
extern bool SlowDetails;           // page 1
extern bool HideConverted;         // page 1
extern bool WarnOpenDecember;      // page 1, default true
extern uint16_t KeepPlStandard;    // page 1, always 0
extern std::string GlobalSourceSubdir;      // page 4, default "#BIN990"
extern std::vector<std::string> ExtraFiles;  // list file entries, 25 characters each
extern std::string CompanyListName;          // default "SPISFIRM.DAT", 12 characters
// The command line asked to undo the last finished run (--undo, /COFNIJ).
extern bool UndoRequested;

inline const char* const kGlobalTargetSubdir = "#BIN020";

// The bits of the option words are the boxes of their pages' check groups,
// in the order the boxes stand: bit n is box n + 1.
enum StartOptionBits : uint16_t {  // page 4, "Co pokopiowac"
  kStartGlobal = 0x0001,
  kStartCompanies = 0x0002,
};
enum GlobalOptionBits : uint16_t {  // page 2; box 2 is a separator
  kGlobalAddresses = 0x0001,
  kGlobalKeyConstants = 0x0004,
  kGlobalOffice = 0x0008,
  kGlobalDllConfig = 0x0010,
  kGlobalTaxConstants = 0x0020,
  kGlobalWageSettings = 0x0040,
  kGlobalColours = 0x0080,
  kGlobalZevIni = 0x0100,
  kGlobalOperators = 0x0200,
  kGlobalZusPelUmowy = 0x0400,
};
enum CompanyDataBits : uint16_t {  // page 3, "Zaznaczam do kopiowania"
  kDataText = 0x0001,
  kDataStaff = 0x0002,
  kDataFamilies = 0x0004,
  kDataPitD = 0x0008,
  kDataAddresses = 0x0010,
  kDataSalesTemplates = 0x0020,
  kDataPurchaseTemplates = 0x0040,
  kDataConstants = 0x0080,
  kDataTransfers = 0x0100,
  kDataWageSettings = 0x0200,
  kDataZusPel = 0x0400,
  kDataAssets3500 = 0x0800,
  kDataTransferSettings = 0x1000,
  kDataInternalDocs = 0x2000,
  kDataInterest = 0x4000,
  kDataVehicles = 0x8000,
};
enum Entered2020Bits : uint16_t {  // page 3, "Wprowadzone już w 2020 roku"
  kEnteredLedger = 0x0001,
  kEnteredWages = 0x0002,
  kEnteredContracts = 0x0004,
  kEnteredNotes = 0x0008,
  kEnteredDra = 0x0010,
};
enum AddOnBits : uint16_t {  // page 3, "Programy DLL"
  kAddOnAssets = 0x0001,
  kAddOnMileage310 = 0x0002,
  kAddOnMileage320 = 0x0004,
};

// Puts every setting back to its initial value (tests run many transfers in
// one process).
void ResetRunSettings();

}  // namespace qm
