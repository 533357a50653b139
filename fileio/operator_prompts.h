// The questions the file layer puts to the operator while it waits for a
// file that the network or another program holds: a retry question, the
// network wait, the not-found question, the serious-error box and the
// network queue's bar. The file layer only asks; the text interface shows
// them (installed at start-up), so that the layer never draws.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "base/message_text.h"

namespace qm {

class OperatorPrompts {
 public:
  // A bar that counts the attempts of a wait.
  class WaitBar {
   public:
    virtual ~WaitBar() = default;
    virtual void Reset() = 0;
    virtual void Step(int32_t n) = 0;
  };

  virtual ~OperatorPrompts() = default;
  // A box of the given kind (title and buttons, kMsg...) centred on the
  // screen, or at x, y with the given size; the command that closed it.
  virtual uint16_t Message(const std::string& text, uint16_t kind) = 0;
  virtual uint16_t MessageAt(int x, int y, int width, int height, const std::string& text,
                             uint16_t kind) = 0;
  virtual void Error(const std::string& text) = 0;
  // The serious-I/O-error box. Whether the program goes on is the
  // installer's decision (the wizard's prompts end it with code 255); when
  // this returns, the operation that failed gives up.
  virtual void SeriousError(const std::string& text) = 0;
  // Null when the bar cannot be shown; the bar goes when released.
  virtual std::unique_ptr<WaitBar> OpenWaitBar(const std::string& header, const std::string& text,
                                               int32_t total) = 0;
  // Keys typed during a wait are not answers to what follows it.
  virtual void DrainKeyboard() = 0;
};

// Answers without a screen: no bar, "no" to every question, a serious
// error left to the operation that failed. Base is OperatorPrompts or an
// interface that extends it (whose silent form adds the rest).
template <class Base = OperatorPrompts>
class SilentPrompts : public Base {
 public:
  uint16_t Message(const std::string&, uint16_t) override { return CMD_NO; }
  uint16_t MessageAt(int, int, int, int, const std::string&, uint16_t) override { return CMD_NO; }
  void Error(const std::string&) override {}
  void SeriousError(const std::string&) override {}
  std::unique_ptr<OperatorPrompts::WaitBar> OpenWaitBar(const std::string&, const std::string&,
                                                        int32_t) override {
    return nullptr;
  }
  void DrainKeyboard() override {}
};

// The prompts in force. Until one is installed, every question is answered
// "no", nothing is shown and a serious error leaves the operation failed.
OperatorPrompts& Prompts();
void SetOperatorPrompts(OperatorPrompts* prompts);

}  // namespace qm
