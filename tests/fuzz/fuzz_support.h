// Shared pieces of the fuzz targets: a console that answers every wait at
// once, the host file system over a scratch directory of the process, and
// the program's stops turned into an exception the targets catch.
#pragma once
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/console.h"

namespace qm::fuzz {

// Thrown by the exit hook: the program asked to end with this code.
struct Stopped : std::runtime_error {
  int code;
  explicit Stopped(int c) : std::runtime_error("program stopped"), code(c) {}
};
// Thrown when one input has made the program wait for keys too often: it
// would otherwise keep the fuzzer in a key loop that a person ends by hand.
struct TooManyWaits : std::runtime_error {
  TooManyWaits() : std::runtime_error("too many key waits") {}
};

// Every wait gets a key at once: the next answer byte (Enter for CR, Esc for
// ESC, otherwise the byte as a typed character), then Enter, T, N, A, W and
// Esc in turn. No event is ever pending ahead and the clock only moves by
// Sleep.
class FuzzConsole : public Console {
 public:
  void SetAnswers(std::string answers) {
    answers_ = std::move(answers);
    next_ = 0;
    waits_ = 0;
  }
  void SetTitle(const std::string&) override {}
  void Flush() override { dirtyRows_ = 0; }
  bool WaitEvent(ConsoleEvent& ev, int timeoutMs) override;
  bool EventPending() override { return false; }
  void DiscardPending() override {}
  void Sleep(int ms) override { nowMs_ += static_cast<uint32_t>(ms > 0 ? ms : 0); }
  void Tone(int, int) override {}
  LocalTime Now() override { return LocalTime{2020, 1, 2, 10, 0, 0, 0}; }
  uint32_t TickCount() override { return nowMs_; }
  bool CopyToClipboard(const std::string&) override { return true; }
  std::string PasteFromClipboard() override { return {}; }
  void Shutdown() override {}

  static constexpr int kMaxWaits = 2000;

 private:
  std::string answers_;
  size_t next_ = 0;
  int waits_ = 0;
  uint32_t nowMs_ = 0;
};

// The process-wide set-up, done once: console, file system, exit hook and a
// scratch directory (host form, ends with "/"), removed at exit.
FuzzConsole& Console();
const std::string& ScratchDir();
// Every run-wide state of the program back to its start value, the console
// answers set, and the scratch directory emptied.
void StartRun(const std::string& answers = {});

// Host file helpers inside the scratch directory (relative names).
void WriteScratchFile(const std::string& rel, const uint8_t* data, size_t size);
void MakeScratchDir(const std::string& rel);

}  // namespace qm::fuzz
