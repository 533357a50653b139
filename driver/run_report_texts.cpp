#include "driver/run_report_texts.h"

#include <span>

#include "base/cp852.h"
#include "base/message_text.h"
#include "base/program_version.h"
#include "base/text.h"
#include "driver/company_list.h"
#include "driver/page_texts.h"
#include "journal/bookkeeping.h"
#include "platform/console.h"
#include "platform/host_fs.h"
#include "run/progress_log.h"
#include "run/run_report.h"
#include "run/run_settings.h"
#include "tui/events.h"
#include "tui/message_box.h"

namespace qm {
namespace {

uint32_t g_startTick = 0;

std::string Mark(bool on) { return on ? "[x] " : "[ ] "; }

// A check group's boxes as report lines.
void ReportBoxes(const char* caption, std::span<const char* const> texts, uint16_t bits) {
  ReportLine(Pl(caption));
  for (size_t i = 0; i < texts.size(); ++i) {
    if (std::string(texts[i]) == "---") continue;
    ReportLine("  " + Mark((bits >> i) & 1) + Pl(texts[i]));
  }
}

void ReportChoice(const char* caption, std::span<const char* const> texts, uint16_t value) {
  ReportLine(Pl(caption) + (value < texts.size() ? Pl(texts[value]) : std::to_string(value)));
}

// A box's text in one line: its lines joined, the marks left out.
std::string Flat(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == kMsgCentre || c == kMsgTitleEnd) continue;
    if (c == kMsgLineBreak) {
      if (!out.empty() && out.back() != ' ') out += " / ";
      continue;
    }
    out += c;
  }
  return out;
}

void ReportQuestion(const std::string& question, const std::string& answer) {
  ReportLine(Pl("Pytanie: ") + Flat(question) + Pl(" -- odpowiedź: ") + answer);
}

std::string Now() {
  const LocalTime t = Con().Now();
  return std::to_string(t.year) + "-" + TwoDigits(t.month) + "-" + TwoDigits(t.day) + " " + TwoDigits(t.hour) + ":" +
         TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

void ReportOptions() {
  ReportLine(Pl("Strona 1:"));
  ReportLine(Pl("  katalog źródłowy: ") + SourceRoot);
  ReportLine(Pl("  lokalizacja docelowa: ") + TargetRoot);
  ReportLine("  " + Mark(WarnOpenDecember) + Pl("informuj o nie zamkniętym grudniu"));
  ReportLine("  " + Mark(SlowDetails) + Pl("pokazuj powoli szczegóły konwersji"));
  ReportLine("  " + Mark(HideConverted) + Pl("zasłoń (~) w 2019 przekonwertowane pliki 2020"));
  ReportBoxes("Strona 2, dane globalne:", kGlobalItemTexts, GlobalOptions);
  ReportBoxes("Strona 3, dane firmowe:", kCompanyItemTexts, CompanyDataItems);
  ReportChoice("  pracownicy, właściciele, rodziny: ", kStaffModeTexts, StaffMode);
  ReportChoice("  PID-5: ", kPid5ModeTexts, Pid5Mode);
  ReportBoxes("Strona 3, wprowadzone już w 2020 roku:", kEntered2020Texts, Entered2020Items);
  ReportBoxes("Strona 3, programy DLL:", kAddOnTexts, AddOnItems);
  ReportBoxes("Strona 4, co kopiować:", kStartItemTexts, StartOptions);
  ReportLine(Pl("  katalog danych globalnych 2019: ") + GlobalSourceSubdir);
  ReportLine("  " + Mark(PausePerCompany) + Pl("zatrzymywać akcję co firmę"));
  ReportLine(Pl("Plik listy firm: ") + CompanyListName);
  for (const std::string& e : ExtraFiles) ReportLine(Pl("Lista dodatkowa: ") + e);
}

}  // namespace

void StartRunReport(const std::string& what) {
  if (RunReportOpen()) {
    ReportLine("");
    ReportLine(Pl("=== ") + Pl(what) + " " + Now());
    return;
  }
  std::string dir = TargetRoot;
  if (!dir.empty() && dir.back() != kPathSep) dir += kPathSep;
  if (!OpenRunReport(Fs(), Bookkeeping(dir).Dir())) {
    LogColour(kLogError);
    LogLine(Pl("Nie można utworzyć raportu ") + RunReportPath());
    return;
  }
  g_startTick = Con().TickCount();
  // What the operator sees is in the report before each wait for a key.
  SetBeforeWait(FlushRunReport);
  SetAnswerObserver(ReportQuestion);
  ReportLine(std::string("qm19-20 ") + ProgramVersion() + Pl(" -- raport: ") + Pl(what));
  ReportLine(Pl("Data i czas: ") + Now());
  ReportLine(Pl("Katalog 2019: ") + SourceRoot);
  ReportLine(Pl("Katalog 2020: ") + TargetRoot);
  if (what == "przeniesienie danych") ReportOptions();
  ReportLine("");
}

void ReportChosenCompanies() {
  ReportLine(Pl("Wybrane firmy:"));
  for (int32_t i = 1; i <= CompanyCount; ++i) {
    const CompanyEntry* e = CompanyEntryAt(i);
    if (e && e->selected) ReportLine("  " + e->record.Name() + " (" + e->record.Directory() + ")");
  }
  ReportLine("");
}

void ReportSummary() {
  const RunTally& t = Tally();
  LogLine(Pl("Przeniesiono firm: ") + std::to_string(t.carried) + Pl(", wycofano po błędzie: ") +
          std::to_string(t.failed) + Pl(", pominięto: ") + std::to_string(t.skipped) + Pl(", błędów: ") +
          std::to_string(t.errors));
  if (RunReportOpen()) {
    LogLine(Pl("Raport: ") + RunReportPath());
    const uint32_t ms = Con().TickCount() - g_startTick;
    ReportLine(Pl("Czas pracy: ") + std::to_string(ms / 1000) + "," + std::to_string(ms % 1000 / 100) + " s");
    // The summary ends the report: what the screen shows after it is only
    // the way out.
    CloseRunReport();
    if (RunReportBroken()) {
      LogColour(kLogError);
      LogLine(Pl("Nie można dokończyć raportu ") + RunReportPath());
    }
  } else {
    LogColour(kLogError);
    LogLine((RunReportBroken() ? Pl("Nie można dokończyć raportu ") : Pl("Nie można utworzyć raportu ")) +
            RunReportPath());
  }
}

}  // namespace qm
