#include "tui/prompt_boxes.h"

#include "tui/events.h"
#include "tui/message_box.h"
#include "tui/screen.h"

namespace qm {
namespace {

class ProgressBar : public OperatorPrompts::WaitBar {
 public:
  explicit ProgressBar(std::unique_ptr<ProgressWindow> window) : window_(std::move(window)) {}
  void Reset() override { window_->Reset(); }
  void Step(int32_t n) override { window_->Step(n); }

 private:
  std::unique_ptr<ProgressWindow> window_;
};

class Boxes : public OperatorPrompts {
 public:
  uint16_t Message(const std::string& text, uint16_t kind) override { return MessageBox(text, kind); }
  uint16_t MessageAt(int x, int y, int width, int height, const std::string& text,
                     uint16_t kind) override {
    return MessageBoxAt(x, y, width, height, text, kind);
  }
  void Error(const std::string& text) override { ErrorBox(text); }
  std::unique_ptr<WaitBar> OpenWaitBar(const std::string& header, const std::string& text,
                                       int32_t total) override {
    std::unique_ptr<ProgressWindow> window = ProgressWindow::Init(header, text, total);
    if (!window) return nullptr;
    return std::make_unique<ProgressBar>(std::move(window));
  }
  void DrainKeyboard() override { qm::DrainKeyboard(); }
};

Boxes g_boxes;

}  // namespace

OperatorPrompts& PromptBoxes() { return g_boxes; }

}  // namespace qm
