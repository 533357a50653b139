#include "convert/global_transfer.h"

#include <cstring>
#include <vector>

#include "base/cp852.h"
#include "convert/addons.h"
#include "convert/copy_engine.h"
#include "platform/host_fs.h"
#include "run/progress_log.h"
#include "run/run_operator.h"
#include "run/run_settings.h"

namespace qm {
namespace {

enum class GlobalOp { Records480, Text, Binary, Office, Operators };

struct GlobalItem {
  uint16_t bit;
  const char* logLine;  // UTF-8; null: no line (or the item's second copy)
  GlobalOp op;
  const char* from;     // in the 2019 global subdirectory
  const char* to;       // in #BIN020
};

// The order of the transfer, which is not the order of the bits. An item
// of two copies has two rows; the log line stands on the first.
const GlobalItem kGlobalItems[] = {
    {kGlobalAddresses, "Globalna baza adresów", GlobalOp::Records480, "baza_ad8.rek", "baza_ad8.rek"},
    {kGlobalZevIni, "Konfigurator zev_2019.ini", GlobalOp::Text, "zev_2019.ini", "zev_2020.ini"},
    {kGlobalKeyConstants, "Globale stale klawiszy F2..F10", GlobalOp::Binary, "baza_ff.txt", "baza_ff.txt"},
    {kGlobalOffice, "Dane biura do FRV", GlobalOp::Office, "2019_BR.REK", "2020_BR.REK"},
    {kGlobalDllConfig, "Konfigurator ZEV_QM.INI", GlobalOp::Binary, "ZEV_QM.INI", "ZEV_QM.INI"},
    {kGlobalTaxConstants, "Zeszloroczne stale podatkowe", GlobalOp::Binary, "2019spd.ini", "2019spd.ini"},
    // The second copy lands on the file the first has just written: a 2020
    // settings file of the 2019 directory brings the overwrite question.
    {kGlobalWageSettings, "Globale ustawienia wynagrodzen", GlobalOp::Binary, "2019_lp2.cc", "2020_lp2.cc"},
    {kGlobalWageSettings, nullptr, GlobalOp::Binary, "2020_lp2.cc", "2020_lp2.cc"},
    {kGlobalColours, "Ustawienia kolorów", GlobalOp::Binary, "KOLORY.QM", "KOLORY.QM"},
    {kGlobalOperators, nullptr, GlobalOp::Operators, "OPERATOR.REK", "OPERATOR.REK"},
    {kGlobalZusPelUmowy, nullptr, GlobalOp::Binary, "ZUS_PEL.INI", "ZUS_PEL.INI"},
    {kGlobalZusPelUmowy, nullptr, GlobalOp::Binary, "UMOWY.INI", "UMOWY.INI"},
};

constexpr uint16_t kAddressRecSize = 480;
constexpr uint16_t kOfficeRecSize = 384;
constexpr uint16_t kOperatorRecSize = 512;

void RunGlobalItem(const GlobalItem& item, const std::string& g19, const std::string& g20) {
  const std::string from = g19 + item.from;
  const std::string to = g20 + item.to;
  switch (item.op) {
    case GlobalOp::Records480:
      ConvertRecords(from, to, kAddressRecSize, kAddressRecSize, [](const uint8_t* src, uint8_t* dst) {
        std::memcpy(dst, src, kAddressRecSize);
        return true;
      });
      break;
    case GlobalOp::Text:
      CopyTextFile(from, to);
      break;
    case GlobalOp::Binary:
      CopyBinaryFile(from, to);
      break;
    case GlobalOp::Office:
      ConvertRecords(from, to, kOfficeRecSize, kOfficeRecSize, ConvertOfficeRecord);
      break;
    case GlobalOp::Operators:
      CopyRecords(from, to, kOperatorRecSize, ConvertOperatorRecord);
      break;
  }
}

}  // namespace

RunStop TransferGlobalData() {
  FramedLog frame(3, 3, 77, 20);
  const std::string source = SourceRoot + GlobalSourceSubdir;
  if (GlobalOptions != 0 && (StartOptions & kStartGlobal) != 0 && !DirectoryExists(source))
    return RunStop{RunStopKind::GlobalSourceMissing, source};
  const std::string target = TargetRoot + kGlobalTargetSubdir;
  if (!DirectoryExists(target) && Fs().MakeDir(target) != kOk) return RunStop{RunStopKind::GlobalTargetNotMade, target};
  const std::string g19 = source + kPathSep;
  const std::string g20 = target + kPathSep;
  for (const GlobalItem& item : kGlobalItems) {
    if ((GlobalOptions & item.bit) == 0) continue;
    if (item.logLine) LogLine(Pl(item.logLine));
    RunGlobalItem(item, g19, g20);
  }
  if (PausePerCompany) {
    LogLine("cdn - nacisnij dowolny klawisz.");
    WaitKey();
  }
  LogClear(false);
  return RunStop{};
}

}  // namespace qm
