// Page 3 (which kinds of company data are carried) and page 4 (start).
#include <vector>

#include "base/cp852.h"
#include "driver/page_texts.h"
#include "driver/wizard.h"
#include "platform/host_fs.h"
#include "run/progress_log.h"
#include "run/run_settings.h"
#include "tui/message_box.h"

namespace qm {

bool StartPageShown = false;

namespace {

// Family data is never carried without the staff it belongs to.
bool EnforceStaffFamilyRule() {
  if ((CompanyDataItems & kDataStaff) == 0 && (CompanyDataItems & kDataFamilies) != 0) {
    CompanyDataItems &= static_cast<uint16_t>(~kDataFamilies);
    return true;
  }
  return false;
}

// The first group of page 3 applies the rule after each of its own keys and
// clicks too, so that clearing the staff box clears the family box at once
// instead of when the group is left.
class CompanyItemsGroup : public CheckGroup {
 public:
  using CheckGroup::CheckGroup;

 protected:
  bool HandleKey(UiEvent& ev) override {
    const bool consumed = CheckGroup::HandleKey(ev);
    if (EnforceStaffFamilyRule()) Draw();
    return consumed;
  }
  bool HandleMouse(UiEvent& ev) override {
    const bool consumed = CheckGroup::HandleMouse(ev);
    if (EnforceStaffFamilyRule()) Draw();
    return consumed;
  }
};

class CompanyDataForm : public WizardPage {
 public:
  CompanyDataForm() : WizardPage(3) {}
  CheckGroup* items = nullptr;
  void HandleEvent(UiEvent& ev) override {
    if (EnforceStaffFamilyRule() && items) items->Draw();
    WizardPage::HandleEvent(ev);
  }
};


void AddPageButtons(DialogForm& page, bool forward) {
  page.Insert(PushButton::Init(14, 19, 14, 1, "<< Wstecz", CMD_BACK));
  page.Insert(PushButton::Init(34, 19, 14, 1, "Poniechaj", CMD_ABORT));
  if (forward) page.Insert(PushButton::Init(54, 19, 14, 1, "Dalej >>", CMD_NEXT));
}

}  // namespace

std::unique_ptr<DialogForm> CompanyDataPage() {
  auto page = DialogForm::Init<CompanyDataForm>(3, 3, 76, 22, " Dane firmowe  ");
  if (!page) return nullptr;
  const std::vector<std::string> dataItems = PlItems(kCompanyItemTexts);
  page->items = page->Insert(std::make_unique<CompanyItemsGroup>(
      TextLabel::Init(2, 1, "Zaznaczam do kopiowania :"), 3, 2, dataItems, CompanyDataItems));
  page->Insert(RadioGroup::Init(TextLabel::Init(41, 1, Pl("*) Dane - przenieś :")), 42, 2,
                                PlItems(kStaffModeTexts),
                                StaffMode));
  page->Insert(RadioGroup::Init(TextLabel::Init(41, 5, Pl("**) z PID-5 - przenieś :")), 42, 6,
                                PlItems(kPid5ModeTexts), Pid5Mode));
  page->Insert(CheckGroup::Init(TextLabel::Init(41, 8, Pl("Wprowadzone już w 2020 roku ")), 42, 9,
                                PlItems(kEntered2020Texts),
                                Entered2020Items));
  page->Insert(CheckGroup::Init(TextLabel::Init(41, 14, "Programy \"DLL\""), 42, 15,
                                PlItems(kAddOnTexts),
                                AddOnItems));
  AddPageButtons(*page, true);
  page->SetHintLine(
      HintLine::Init({{"PgUp-Wstecz", kKeyPgUp, CMD_BACK}, {"PgDn-Dalej", kKeyPgDn, CMD_NEXT}, kHelpHint}));
  return page;
}

std::unique_ptr<DialogForm> StartPage() {
  // When the 2020 installation already has its global address base, the
  // global transfer is offered switched off -- on the first showing only:
  // whatever the operator sets afterwards is kept when the page comes back.
  if (!StartPageShown) {
    const std::string addressBase =
        TargetRoot + kGlobalTargetSubdir + kPathSep + "baza_ad8.rek";
    if (FileSizeOf(addressBase) > 0) StartOptions &= static_cast<uint16_t>(~kStartGlobal);
    StartPageShown = true;
  }
  auto page = DialogForm::Init<WizardPage>(3, 3, 76, 22, " START KOPIOWANIA ", 0, 4);
  if (!page) return nullptr;
  page->Insert(CheckGroup::Init(TextLabel::Init(3, 3, "Co pokopiowac :"), 4, 4,
                                PlItems(kStartItemTexts), StartOptions));
  // The note after the field is the field's caption: forms give every
  // caption to a control, and this one reads as the field's explanation.
  page->Insert(EditField::Init(TextLabel::Init(32, 4, "(tylko z 990) do #BIN020"), 24, 4, 7,
                               GlobalSourceSubdir));
  page->Insert(CheckBox::Init(TextLabel::Init(3, 7, "Wykonanie kopiowania"), 4, 8, PausePerCompany,
                              "Zatrzymywac akcje co firme"));
  page->Insert(PushButton::Init(14, 12, 14, 3, "ZACZNIJ", CMD_START));
  AddPageButtons(*page, false);
  page->SetHintLine(
      HintLine::Init({{"PgUp-Wstecz", kKeyPgUp, CMD_BACK}, {"F5-ZACZNIJ", kKeyF5, CMD_START}, kHelpHint}));
  page->FocusControl(kStartPauseBox);
  return page;
}

}  // namespace qm
