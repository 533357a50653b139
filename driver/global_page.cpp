// Page 2: which of the files every company shares are carried.
#include <vector>

#include "base/cp852.h"
#include "driver/page_texts.h"
#include "driver/wizard.h"
#include "run/run_settings.h"
#include "tui/message_box.h"

namespace qm {

std::unique_ptr<DialogForm> GlobalDataPage() {
  auto page = DialogForm::Init<WizardPage>(3, 3, 76, 22, Pl(" Dane globalne, konfiguracyjne "), 0, 2);
  if (!page) return nullptr;
  const std::vector<std::string> items = PlItems(kGlobalItemTexts);
  page->Insert(CheckGroup::Init(TextLabel::Init(3, 3, Pl("Zaznaczam do kopiowania :")), 4, 4, items,
                                GlobalOptions));
  page->Insert(PushButton::Init(14, 19, 14, 1, "<< Wstecz", CMD_BACK));
  page->Insert(PushButton::Init(34, 19, 14, 1, "Poniechaj", CMD_ABORT));
  page->Insert(PushButton::Init(54, 19, 14, 1, "Dalej >>", CMD_NEXT));
  page->SetHintLine(
      HintLine::Init({{"PgUp-Wstecz", kKeyPgUp, CMD_BACK}, {"PgDn-Dalej", kKeyPgDn, CMD_NEXT}, kHelpHint}));
  return page;
}

}  // namespace qm
