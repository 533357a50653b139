#include "driver/company_selection.h"

#include "base/cp852.h"
#include "base/text.h"
#include "tui/message_box.h"
#include "tui/pick_list.h"
#include "tui/screen.h"

namespace qm {
namespace {

class CompanyList : public PickList {
 public:
  CompanyList(std::unique_ptr<TextLabel> caption, int32_t companies)
      : PickList(std::move(caption), 1, 2, 52, 10), companies_(companies) {
    AddColumnStop(34);  // typed text searches the directory column after Tab
  }
  void UpdateCount() override { count = companies_; }
  std::string ItemText(int32_t index) override {
    const CompanyEntry* e = CompanyEntryAt(index);
    return e ? CompanyLine(*e) : std::string();
  }

 private:
  int32_t companies_;
};

class CompanyForm : public DialogForm {
 public:
  CompanyList* list = nullptr;
  int32_t companies = 0;

  void HandleEvent(UiEvent& ev) override {
    if (ev.what == EVENT_COMMAND &&
        (ev.command == CMD_TOGGLE || ev.command == CMD_ALL || ev.command == CMD_NONE)) {
      if (ev.command == CMD_TOGGLE) {
        if (CompanyEntry* e = list ? CompanyEntryAt(list->Position()) : nullptr) e->selected = !e->selected;
      } else {
        for (int32_t i = 1; i <= companies; ++i) {
          if (CompanyEntry* e = CompanyEntryAt(i)) e->selected = ev.command == CMD_ALL;
        }
      }
      ClearEvent(ev);
      if (list) list->Draw();
    }
    DialogForm::HandleEvent(ev);
  }
};

}  // namespace

std::string CompanyLine(const CompanyEntry& entry) {
  const CompanyRecord& r = entry.record;
  std::string line = PadRight(r.Name(), kCompanyNameCap);
  line += entry.selected ? kMarkOn : kMarkOff;
  line += ' ';
  line += PadRight(r.Directory(), kCompanyDirCap);
  line += ' ';
  line += PadRight(r.Info().substr(0, 10), 10);
  return line;
}

std::unique_ptr<DialogForm> CompanyPickList(int32_t count) {
  auto form = DialogForm::Init<CompanyForm>(10, 6, 58, 15, " BAZA FIRM ");
  if (!form) return nullptr;
  form->companies = count;
  form->list = form->Insert(std::make_unique<CompanyList>(
      TextLabel::Init(3, 1, "Nazwa                   Wybrana? KATALOG   INFO"), count));
  form->SetHintLine(HintLine::Init({
      {"SPACE - Zaznacz (" + std::string(1, kMarkOn) + ")", kKeySpace, CMD_TOGGLE},
      {"^W Wszystkie ", kKeyCtrlW, CMD_ALL},
      {Pl("^D Żadna "), kKeyCtrlD, CMD_NONE},
      {"F5 - ZACZNIJ", kKeyF5, CMD_OK},
  }));
  return form;
}

bool ChooseCompanies(int32_t& count) {
  RecogniseEnvironment(count);
  if (count < 1) return false;
  std::unique_ptr<DialogForm> form = CompanyPickList(count);
  if (!form) return false;
  const uint16_t cmd = form->Run();
  form.reset();
  return cmd == CMD_OK;
}

}  // namespace qm
