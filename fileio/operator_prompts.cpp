#include "fileio/operator_prompts.h"

#include "base/message_text.h"

namespace qm {
namespace {

// Answers without a screen: no bar, "no" to every question.
class SilentPrompts : public OperatorPrompts {
 public:
  uint16_t Message(const std::string&, uint16_t) override { return CMD_NO; }
  uint16_t MessageAt(int, int, int, int, const std::string&, uint16_t) override { return CMD_NO; }
  void Error(const std::string&) override {}
  void SeriousError(const std::string&) override {}
  std::unique_ptr<WaitBar> OpenWaitBar(const std::string&, const std::string&, int32_t) override {
    return nullptr;
  }
  void DrainKeyboard() override {}
};

SilentPrompts g_silent;
OperatorPrompts* g_prompts = &g_silent;

}  // namespace

OperatorPrompts& Prompts() { return *g_prompts; }
void SetOperatorPrompts(OperatorPrompts* prompts) { g_prompts = prompts ? prompts : &g_silent; }

}  // namespace qm
