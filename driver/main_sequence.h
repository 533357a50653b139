// The program's main sequence: module initialisations, StartUp, the wizard
// loop, CloseDown.
#pragma once

namespace qm {

// Module initialisations in start-up order (program location, colours and
// sound, file layer, package paths, company-list name).
void InitModules();
void StartUp();
[[noreturn]] void CloseDown();
[[noreturn]] void ShowUsage();
void ReadListFile();
void ReadPathsFile();
void SavePathsFile();
void SettleCompanyListName();
// InitModules, StartUp, the wizard loop, CloseDown.
[[noreturn]] void RunProgram();

}  // namespace qm
