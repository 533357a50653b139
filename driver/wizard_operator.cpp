#include "driver/wizard_operator.h"

#include <cstring>

#include "base/polish.h"
#include "platform/console.h"
#include "platform/process.h"
#include "tui/events.h"
#include "tui/forms.h"
#include "tui/log_window.h"
#include "tui/message_box.h"
#include "tui/screen.h"

namespace qm {
namespace {

// The code a serious I/O error ends the program with.
constexpr int kExitSeriousIO = 255;

class ProgressBar : public OperatorPrompts::WaitBar {
 public:
  explicit ProgressBar(std::unique_ptr<ProgressWindow> window) : window_(std::move(window)) {}
  void Reset() override { window_->Reset(); }
  void Step(int32_t n) override { window_->Step(n); }

 private:
  std::unique_ptr<ProgressWindow> window_;
};

class Wizard : public RunOperator {
 public:
  uint16_t Message(const std::string& text, uint16_t kind) override { return MessageBox(text, kind); }
  uint16_t MessageAt(int x, int y, int width, int height, const std::string& text,
                     uint16_t kind) override {
    return MessageBoxAt(x, y, width, height, text, kind);
  }
  void Error(const std::string& text) override { ErrorBox(text); }
  // Whatever the answer, the program cannot go on with a file it could not
  // put right.
  void SeriousError(const std::string& text) override {
    MessageBox(text, kMsgYesNo | kMsgError);
    ExitProgram(kExitSeriousIO);
  }
  std::unique_ptr<WaitBar> OpenWaitBar(const std::string& header, const std::string& text,
                                       int32_t total) override {
    std::unique_ptr<ProgressWindow> window = ProgressWindow::Init(header, text, total);
    if (!window) return nullptr;
    return std::make_unique<ProgressBar>(std::move(window));
  }
  void DrainKeyboard() override { qm::DrainKeyboard(); }

  void LogText(const std::string& text, uint8_t colour) override { DrawLogText(text, colour); }
  void LogLineEnd() override { DrawLogLineEnd(); }
  void LogCleared(bool whole) override { DrawLogCleared(whole); }
  LogFrame FrameLog(const LogFrame& frame) override {
    TextWindowRect before;
    SetTextWindow(before, frame.x1, frame.y1, frame.x2, frame.y2);
    return LogFrame{before.x1, before.x2, before.y1, before.y2};
  }

  void Info(const std::string& text) override { InfoBox(text); }
  uint8_t AskLetter(const char* letters, TypedAhead typed) override {
    for (;;) {
      const UiEvent ev = ReadKey();
      if (typed == TypedAhead::Discarded) qm::DrainKeyboard();
      const uint8_t key = ev.extended ? 0 : PlUpCaseChar(ev.ch);
      if (key != 0 && std::strchr(letters, key)) return key;
    }
  }
  uint16_t AskText(const std::string& prompt, std::string& value, int width) override {
    SetInputBoxWidth(width);
    return InputBox(prompt, value, false);
  }

  uint16_t WaitKey() override {
    // A key asked for on the line the cursor waits on ("Nacisnij Enter")
    // needs no more; any other wait says on the bottom row what goes on.
    std::unique_ptr<HintLine> hint;
    if (LogColumn() == 1 && !CurrentHintLine()) hint = HintLine::Init({{"Dowolny klawisz - dalej", 0, 0}});
    Con().SetCursorShape(CursorShape::Normal);
    const UiEvent ev = ReadKey();
    qm::DrainKeyboard();
    Con().SetCursorShape(CursorShape::Hidden);
    return ev.keyCode;
  }
  void Sleep(int ms) override { Con().Sleep(ms); }
  void Beep() override { ErrorBeep(); }
};

Wizard g_wizard;

}  // namespace

RunOperator& WizardOperator() { return g_wizard; }

}  // namespace qm
