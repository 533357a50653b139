// The progress log: the scrolling report every transfer writes into, and
// the small operations around it. Every line goes into the run's report (in
// full) and to the operator (run/run_operator.h), whose screen draws it.
#pragma once
#include <cstdint>
#include <string>

namespace qm {

// Log colours used by the transfers and the heading.
enum LogColours : uint8_t {
  kLogNormal = 7,
  kLogLabel = 8,
  kLogProgress = 9,
  kLogQuestion = 10,
  kLogError = 12,
  kLogNote = 14,
  kLogPrompt = 15,
  kLogTitle = 10,  // the title line
  kLogRule = 15,   // the rule under it
};

void LogColour(uint8_t attr);  // applies to the next LogWrite only
void LogWrite(const std::string& text);
void LogLine(const std::string& text);
void LogClear(bool whole);
// One key of the operator (cursor shown, further waiting keys discarded);
// the key's character (0 for an extended key). Unless the key is asked for
// on the log's current line (a prompt written without a line end) or a
// hint line is up, the bottom row says "Dowolny klawisz - dalej" meanwhile.
uint8_t WaitKey();
// A second's pause when the details are to be shown slowly (page 1).
void PauseIfSlow();

void ResetProgressLog();

}  // namespace qm
