#include "run/run_operator.h"

namespace qm {
namespace {

// No screen and nobody at the keyboard: nothing drawn, no wait, the answer
// that changes least to every question ("no", the first letter, the value
// as it stands).
class SilentOperator : public SilentPrompts<RunOperator> {
 public:
  void LogText(const std::string&, uint8_t) override {}
  void LogLineEnd() override {}
  void LogCleared(bool) override {}
  LogFrame FrameLog(const LogFrame& frame) override {
    const LogFrame before = frame_;
    frame_ = frame;
    return before;
  }
  void Info(const std::string&) override {}
  uint8_t AskLetter(const char* letters, TypedAhead) override { return static_cast<uint8_t>(letters[0]); }
  uint16_t AskText(const std::string&, std::string&, int) override { return CMD_NO; }
  uint16_t WaitKey() override { return 0; }
  void Sleep(int) override {}
  void Beep() override {}

 private:
  LogFrame frame_;
};

SilentOperator g_silent;
RunOperator* g_operator = &g_silent;

}  // namespace

RunOperator& Op() { return *g_operator; }

void SetRunOperator(RunOperator* op) {
  g_operator = op ? op : &g_silent;
  SetOperatorPrompts(g_operator);
}

}  // namespace qm
