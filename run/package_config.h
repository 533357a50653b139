// What the tool knows of the accounting package's own configuration: the
// working year, the package paths settled at start-up, the ledger journal
// file names and the scrambling of staff records.
#pragma once
#include <cstdint>
#include <string>

namespace qm {

// The year the company text data and the ledger names are built for.
extern uint16_t WorkingYear;
inline constexpr uint16_t kDefaultWorkingYear = 2020;

// Package paths (CP852), settled once by InitPackagePaths. The package's
// shared code holds them; no transfer of this tool consults them.
extern std::string ConfigFileName;   // KPRCNF or ProgramDir + "ZEV_2020.INI"
extern std::string PrinterSetFile;   // KPRLPT or ProgramDir + "DRUKARKI.SET"
extern std::string ArchiveDir;       // ProgramDir + "ARK" + separator
extern std::string ExchangeDir;      // KPRXY or ProgramDir + "XY" + separator
extern std::string XmlDir;           // ProgramDir + "XML" + separator
extern std::string LedgerDir;        // ProgramDir + "ZEV" + separator
extern std::string RegisterDir;      // ProgramDir + "REJ" + separator
extern std::string DeclarationDir;   // ProgramDir + "KDU" + separator
extern bool ExclusiveMode;           // command-line switch /EXC
extern bool LongFileNames;           // command-line switch /LFN

// Module initialisation: environment KPRCNF, KPRLPT, KPRXY and the two
// switches. Needs ProgramDir (InitProgramLocation) to be set.
void InitPackagePaths();

// Ledger journal names: "K990." from 2019 on, "K880." before.
std::string LedgerPrefix();
std::string LedgerPrefixOf(uint16_t year);
// The journal of month m of the working year: "2020K990.1" ... "2020K990.12";
// 13 -> "...Z", 15 -> "...K12", 16 -> TempDir + separator + "SQL_K990.REK".
std::string LedgerFileName(int month);
// The journal of month m of year y, in the data path of y kept in the
// current company's text data (PATH/ZEV<y>) for the four years before the
// working year; relative to the current directory otherwise, and also when
// no company text data is loaded.
std::string LedgerFileNameOf(uint16_t year, int month);

// Staff records (2048 bytes) keep bytes 15..2022 (from 1) exclusive-or'ed
// with the generator's stream from a fixed seed; the same call undoes it.
inline constexpr uint32_t kStaffScrambleSeed = 0x3E;
inline constexpr int kStaffScrambleFirst = 14;  // index of byte 15
inline constexpr int kStaffScrambleLast = 2021;  // index of byte 2022
void ScrambleStaffRecord(uint8_t* record2048);

// Back to the start-up state (tests).
void ResetPackageConfig();

}  // namespace qm
