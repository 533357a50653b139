#include "tui/line_viewer.h"

#include "base/cp852.h"
#include "tui/message_box.h"
#include "tui/pick_list.h"

namespace qm {
namespace {

constexpr int kWidth = 70;
constexpr int kRows = 14;

class Lines : public PickList {
 public:
  Lines(std::unique_ptr<TextLabel> caption, const std::vector<std::string>& lines)
      : PickList(std::move(caption), 1, 2, kWidth, kRows), lines_(lines) {
    searchColumns = false;
  }
  void UpdateCount() override { count = static_cast<int32_t>(lines_.size()); }
  std::string ItemText(int32_t index) override {
    return index >= 1 && index <= count ? lines_[static_cast<size_t>(index - 1)] : std::string();
  }

 private:
  const std::vector<std::string>& lines_;
};

class LinesForm : public DialogForm {
 public:
  void HandleEvent(UiEvent& ev) override {
    if (ev.what == EVENT_COMMAND && (ev.command == kListChoose || ev.command == kListInsert)) {
      ClearEvent(ev);
      EndModal();
      return;
    }
    DialogForm::HandleEvent(ev);
  }
};

}  // namespace

bool ShowLines(const std::string& title, const std::vector<std::string>& lines, const std::string& caption) {
  auto form = DialogForm::Init<LinesForm>(3, 3, kWidth + 6, kRows + 6, title);
  if (!form) return false;
  form->Insert(std::make_unique<Lines>(TextLabel::Init(3, 1, caption), lines));
  form->SetHintLine(HintLine::Init({{Pl("Enter - zamknij"), kKeyEnter, CMD_OK}, {"Esc", kKeyEsc, CMD_ABORT}}));
  form->Run();
  return true;
}

}  // namespace qm
