// The four-page wizard, its pages, and the two transfers that F5 on the
// last page starts.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "run/run_stop.h"
#include "tui/forms.h"

namespace qm {

// Commands that end the wizard's page forms.
inline constexpr uint16_t CMD_NEXT = 0x1001;   // PgDn, "Dalej >>"
inline constexpr uint16_t CMD_BACK = 0x1002;   // PgUp, "<< Wstecz"
inline constexpr uint16_t CMD_START = 0x1003;  // F5, "ZACZNIJ"
inline constexpr uint16_t CMD_HELP = 0x1004;   // the hint line's "F1-Pomoc", clicked

// The last entry of every page's hint line: F1 itself is the page's (the
// key is not translated), a click on the entry asks for the same help.
inline const HintEntry kHelpHint{"F1-Pomoc", 0, CMD_HELP};

// A wizard page: ends on its page commands and on CMD_ABORT; F1 shows the
// page's part of the user guide.
class WizardPage : public DialogForm {
 public:
  explicit WizardPage(uint8_t page) : page_(page) {}
  void HandleEvent(UiEvent& ev) override;

 protected:
  static bool IsPageCommand(const UiEvent& ev);
  // Shows the help for F1 or a click on "F1-Pomoc" and clears the event;
  // false for any other event.
  bool OfferHelp(UiEvent& ev);

 private:
  uint8_t page_;
};

// The page forms, built and shown; none when the window does not fit. The
// wizard runs them modally and destroys them.
std::unique_ptr<DialogForm> PathsPage();        // page 1
std::unique_ptr<DialogForm> GlobalDataPage();   // page 2
std::unique_ptr<DialogForm> CompanyDataPage();  // page 3
std::unique_ptr<DialogForm> StartPage();        // page 4

// Page 1's check of the two directories. With a form, the edited fields are
// redrawn and the focus moved to the field at fault.
bool ValidatePaths(DialogForm* form = nullptr);

// Control numbers of page 1 (insertion order).
inline constexpr int kPathsSourceField = 1;
inline constexpr int kPathsTargetField = 2;
// Control number of page 4's "Zatrzymywac akcje co firme" box.
inline constexpr int kStartPauseBox = 3;

// Whether page 4 has been built already during this run (the automatic
// switch of "Dane Globalne z" acts on the first building only).
extern bool StartPageShown;

// The 2020 directory given on the command line when the path file replaced
// it with another one (page 1 says so); empty otherwise.
extern std::string ReplacedTargetArgument;

// The per-company transfer: recognition, selection, conversion and the
// sorted entry into the 2020 company list.
void TransferCompanies();

// The wizard.
extern uint8_t CurrentPage;  // 1..4
inline constexpr uint8_t kLastPage = 4;
// Runs the pages until Esc is confirmed or F5 on page 4 has run the start
// branch; the caller then closes down.
void RunWizard();
// F5 on page 4: the transfers chosen, then the end line.
void StartBranch();
// A run that cannot go on: the box that names what stopped it, then the end
// of the program (code 0, the journal left for the next start's repair).
[[noreturn]] void StopRun(const RunStop& stop);

void ResetWizardState();  // tests

}  // namespace qm
