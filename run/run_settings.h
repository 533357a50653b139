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

// Puts every setting back to its initial value (tests run many transfers in
// one process).
void ResetRunSettings();

}  // namespace qm
