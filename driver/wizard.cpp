// The wizard loop: one page at a time, PgUp/PgDn between them, Esc asks,
// F5 on the last page runs the transfers.
#include "driver/wizard.h"

#include "base/cp852.h"
#include "convert/global_transfer.h"
#include "driver/guide_sections.h"
#include "driver/run_report_texts.h"
#include "driver/safe_transfer.h"
#include "platform/process.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tui/message_box.h"

namespace qm {

uint8_t CurrentPage = 1;
std::string ReplacedTargetArgument;

bool WizardPage::IsPageCommand(const UiEvent& ev) {
  return ev.what == EVENT_COMMAND && (ev.command == CMD_NEXT || ev.command == CMD_BACK ||
                                      ev.command == CMD_START || ev.command == CMD_ABORT);
}

bool WizardPage::OfferHelp(UiEvent& ev) {
  const bool key = ev.what == EVENT_KEY && ev.keyCode == kKeyF1 && ev.paste.empty();
  if (!key && !(ev.what == EVENT_COMMAND && ev.command == CMD_HELP)) return false;
  ClearEvent(ev);
  ShowPageHelp(page_);
  return true;
}

void WizardPage::HandleEvent(UiEvent& ev) {
  OfferHelp(ev);
  if (IsPageCommand(ev)) EndModal();
  DialogForm::HandleEvent(ev);
}

namespace {

std::unique_ptr<DialogForm> BuildPage(uint8_t page) {
  switch (page) {
    case 1:
      return PathsPage();
    case 2:
      return GlobalDataPage();
    case 3:
      return CompanyDataPage();
    default:
      return StartPage();
  }
}

}  // namespace

void StopRun(const RunStop& stop) {
  switch (stop.kind) {
    case RunStopKind::GlobalSourceMissing:
      ErrorBox(CentredLines({Pl("Brak katalogu zródłowego"), stop.path}));
      break;
    case RunStopKind::GlobalTargetNotMade:
      ErrorBox(CentredLines({"Utworzenia katalogu", stop.path}));
      break;
    case RunStopKind::CompanyTextUnreadable:
      ErrorBox(CentredLine(Pl("Błąd odczytu danych firmy")));
      break;
    case RunStopKind::None:
      break;
  }
  ExitProgram(0);
}

void StartBranch() {
  BeginSafeTransfer();
  if ((StartOptions & kStartGlobal) != 0 && GlobalOptions != 0) {
    BeginGlobalUnit();
    if (const RunStop stop = TransferGlobalData()) StopRun(stop);
    EndGlobalUnit();
  }
  if ((StartOptions & kStartCompanies) != 0) TransferCompanies();
  EndSafeTransfer();
  ReportSummary();
  LogLine("");
  LogLine("");
  LogLine("Koniec pracy kopiera danych ZEV_QM na rok 2020");
}

void RunWizard() {
  for (;;) {
    std::unique_ptr<DialogForm> page = BuildPage(CurrentPage);
    // A page that cannot be shown would bring the same failure forever.
    if (!page) return;
    const uint16_t cmd = page->Run();
    page.reset();
    switch (cmd) {
      case CMD_ABORT:
        if (AskYesNo(10, 10, "Rezygnujesz z konwersji danych na nowy rok ?", false)) return;
        break;
      case CMD_BACK:
        if (CurrentPage > 1) --CurrentPage;
        break;
      case CMD_NEXT:
        if (CurrentPage < kLastPage) ++CurrentPage;
        break;
      case CMD_START:
        StartBranch();
        return;
      default:
        break;
    }
  }
}

void ResetWizardState() {
  CurrentPage = 1;
  StartPageShown = false;
  ReplacedTargetArgument.clear();
}

}  // namespace qm
