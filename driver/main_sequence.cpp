#include "driver/main_sequence.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/cp852.h"
#include "base/dates.h"
#include "base/polish.h"
#include "base/record_fields.h"
#include "driver/command_line.h"
#include "driver/safe_transfer.h"
#include "driver/side_files.h"
#include "driver/wizard.h"
#include "driver/wizard_operator.h"
#include "fileio/shared_file.h"
#include "fileio/text_file.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/host_fs.h"
#include "platform/process.h"
#include "run/package_config.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tui/screen.h"
#include "tui/tui_state.h"

namespace qm {
namespace {

// Lines of the side files are short strings: a longer line keeps its first
// 255 characters and the rest of it is dropped.
constexpr size_t kSideLineCap = 255;
constexpr size_t kListEntryCap = 25;
constexpr size_t kListNameCap = 12;

// Reads the lines of a side file (CR LF or LF). False when the file cannot
// be opened; a line that cannot be read ends the reading.
bool ReadSideLines(const std::string& extension, std::vector<std::string>& lines) {
  lines.clear();
  TextFile file;
  if (OpenSideFile(extension, file) != kOk) return false;
  std::string line;
  int err = 0;
  while (file.ReadLine(line, err)) lines.push_back(Cut(line, kSideLineCap));
  file.Close();
  return true;
}

constexpr const char* kListFile = ".LST";
constexpr const char* kPathsFile = ".PTH";

std::string WithoutLastChar(const std::string& s) { return s.empty() ? s : s.substr(0, s.size() - 1); }

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char a = s[i], b = prefix[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
    if (a != b) return false;
  }
  return true;
}

// The program's own switches may stand anywhere on the command line; they
// are never the 2020 directory. (On POSIX an absolute path begins with "/"
// too, so only the known switch words are recognised.)
bool IsProgramSwitch(const std::string& arg) {
  if (IsUndoSwitch(arg)) return true;
  if (arg.empty() || (arg[0] != '/' && arg[0] != '-')) return false;
  const std::string rest = arg.substr(1);
  return StartsWithNoCase(rest, "kprspis:") || StartsWithNoCase(rest, "EXC") ||
         StartsWithNoCase(rest, "LFN");
}

// The directory given on the command line: the first argument that is not
// one of the program's switches.
std::string TargetArgument() {
  for (const std::string& arg : CommandArgs()) {
    if (!IsProgramSwitch(arg)) return arg;
  }
  return std::string();
}

// Spelt alike but for letter case, the separator ("/" separates names on
// Windows too) and closing separators.
bool SameDirectory(std::string a, std::string b) {
  for (std::string* s : {&a, &b}) {
    std::replace(s->begin(), s->end(), '/', kPathSep);
    while (!s->empty() && s->back() == kPathSep) s->pop_back();
  }
  return PlUpperCase(a) == PlUpperCase(b);
}

// A directory of a path-file line with one separator at its end, however
// many it was written with (a root such as "/" or "C:\" stays itself).
std::string DirectoryOfLine(std::string dir) {
  while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\') && !(dir.size() == 3 && dir[1] == ':'))
    dir.pop_back();
  if (dir.empty() || (dir.back() != '/' && dir.back() != '\\')) dir += kPathSep;
  return Cut(dir, kSideLineCap);
}

std::string DefaultTargetRoot() {
#ifdef _WIN32
  // The root of the program's drive, such as C:\.
  return ProgramDir.substr(0, 3);
#else
  return std::string(1, kPathSep);
#endif
}

}  // namespace

void SettleCompanyListName() {
  std::string name = CommandLineValue(SwitchCase::AnyCase, "/kprspis:");
  if (name.empty()) name = GetEnvVar("KPRSPIS");
  if (!name.empty()) CompanyListName = Cut(name, kListNameCap);
}

void InitModules() {
  InitProgramLocation();
  InitScreenLayer();
  SetRunOperator(&WizardOperator());
  InitFileLayer();
  InitPackagePaths();
  SettleCompanyListName();
  ReadToday(Today);
}

void ReadListFile() {
  std::vector<std::string> lines;
  if (!ReadSideLines(kListFile, lines)) return;
  for (const std::string& line : lines) ExtraFiles.push_back(Cut(line, kListEntryCap));
}

void ReadPathsFile() {
  std::vector<std::string> lines;
  if (!ReadSideLines(kPathsFile, lines)) return;
  LogLine(Pl("Ustalenie ścieżek dostępu "));
  static const std::string kSource = "ZEV_2019=";
  static const std::string kTarget = "ZEV_2020=";
  bool sourceNamed = false;
  for (const std::string& line : lines) {
    if (line.compare(0, kSource.size(), kSource) == 0) {
      SourceRoot = DirectoryOfLine(line.substr(kSource.size()));
      sourceNamed = true;
    } else if (line.compare(0, kTarget.size(), kTarget) == 0) {
      TargetRoot = DirectoryOfLine(line.substr(kTarget.size()));
    }
  }
  const std::string given = TargetArgument();
  const bool other = !given.empty() && !SameDirectory(given, TargetRoot);
  // An undo works on the directory it is given; the path file speaks only
  // for its own 2020 installation.
  if (other && UndoRequested) {
    TargetRoot = Cut(given, kSideLineCap);
    sourceNamed = false;
  } else if (other) {
    ReplacedTargetArgument = given;
  }
  NoteSourceRootGiven(sourceNamed);
}

void SavePathsFile() {
  TextFile file;
  if (CreateSideFile(kPathsFile, file) != kOk) return;
  file.WriteLine("[PATHS]");
  file.WriteLine("ZEV_2019=" + WithoutLastChar(SourceRoot));
  file.WriteLine("ZEV_2020=" + WithoutLastChar(TargetRoot));
  file.Close();
}

void ShowUsage() {
  static const char* const kLines[] = {
      "Program do kopiowania wybranych danych do nowego ZEV_QM.",
      "z wersji ZE990 (2019) na DE020 (2020)",
      nullptr,  // the rule
      "",
      "Uruchom qm19-20 [Katalog_danych_,2020]",
      "gdzie:",
      "Katalog danych - lokalizacja istniejącego katalogu na rok 2020",
      "Katalogu w którym jest program qm19-20.EXE można umieścić",
      "plik o nazwie qm19-20.LST w którym można w kolejnych wierszach",
      "wpisać nazwy plików, jakie będą automatycznie kopiowane z katalogu",
      "danych firmy na rok nastepny",
      "",
  };
  FillScreen(1, 1, Console::kCols * Console::kRows, ' ', kNormalAttr);
  int row = 1;
  for (const char* line : kLines) {
    const std::string text = line ? Pl(line) : std::string(70, '\xC4');
    WriteScreenAt(text, row, 1, kNormalAttr);
    ++row;
  }
  Con().SetCursor(1, row);
  WaitKey();
  ExitProgram(0);
}

void StartUp() {
  Con().SetTitle("qmVarno - Konwerter 2019-2020");
  const std::vector<std::string>& args = CommandArgs();
  if (!args.empty() && args[0].find('?') != std::string::npos) ShowUsage();
  for (const std::string& arg : args)
    if (IsUndoSwitch(arg)) UndoRequested = true;
  ReadListFile();
  SourceRoot = std::string(1, kPathSep) + "ZEV_2019" + kPathSep;
  TargetRoot = Cut(TargetArgument(), kSideLineCap);
  if (TargetRoot.empty()) TargetRoot = DefaultTargetRoot();
  ReadPathsFile();
  NoteStartSourceRoot();
  Con().SetCursorShape(CursorShape::Hidden);
  LogColour(kLogTitle);
  LogClear(true);
  LogLine(Pl(" PROGRAM DO PRZEPCHNIĘCIA DANYCH ZEV_QM Z ROKU 2019 NA 2020 1.05(x86)"));
  LogColour(kLogRule);
  LogLine(std::string(80, '\xC4'));
  LogColour(kLogNormal);
}

void CloseDown() {
  Con().SetCursorShape(CursorShape::Normal);
  PauseIfSlow();
  LogWrite("Nacisnij Enter");
  WaitKey();
  LogClear(true);
  ExitProgram(RunHadFailures() ? kExitFailed : kExitDone);
}

void RunProgram() {
  InitModules();
  StartUp();
  if (UndoRequested) RunUndo();
  RepairAtStartUp();
  RunWizard();
  CloseDown();
}

}  // namespace qm
