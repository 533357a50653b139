// The operator of a run: everything a transfer shows the person at the
// keyboard and asks of them. The progress log's text with its colours, the
// boxes, the questions and their answers, the key waits and pauses, and the
// frame the log keeps its cursor in. The run and the converters only speak
// through this; the wizard's screen implements it and is installed at
// start-up, so nothing below the wizard draws, waits for a key or ends the
// program, and a conversion can run with any operator in front of it.
//
// What reaches the operator tells its kind: a log text comes with its
// colour (kLogError: a failed operation, kLogNote: a note, kLogQuestion and
// kLogPrompt: the text of a question), a question is a call of its own
// (AskLetter, AskText, Message), and so is a box (Error, Info).
#pragma once
#include <cstdint>
#include <string>

#include "fileio/operator_prompts.h"

namespace qm {

// Whether keys typed before a letter question may answer it.
enum class TypedAhead : uint8_t { Answers, Discarded };

// The part of the screen the log's cursor is kept in, 1-based, inclusive.
struct LogFrame {
  uint8_t x1 = 1, x2 = 80, y1 = 1, y2 = 25;
};

class RunOperator : public OperatorPrompts {
 public:
  // The progress log: a text at the log's cursor in a colour (kLog...), the
  // end of the line (the log scrolls under its heading), the log cleared
  // (whole: the heading's two rows too).
  virtual void LogText(const std::string& text, uint8_t colour) = 0;
  virtual void LogLineEnd() = 0;
  virtual void LogCleared(bool whole) = 0;
  // Sets the frame of the log; gives the frame before it.
  virtual LogFrame FrameLog(const LogFrame& frame) = 0;

  // A box with OK (Error and Message come from the file layer's prompts).
  virtual void Info(const std::string& text) = 0;

  // A letter question, asked in the log just before: keys are read until
  // one is a letter of `letters` (upper case; the key is upper-cased). The
  // first of them is the answer that changes least: the one given without
  // an operator.
  virtual uint8_t AskLetter(const char* letters, TypedAhead typed) = 0;
  // The input box, width characters wide; value holds the answer. The
  // command that closed it.
  virtual uint16_t AskText(const std::string& prompt, std::string& value, int width) = 0;

  // One key (the cursor shown while waiting; keys typed ahead discarded):
  // its code, scan * 256 + character.
  virtual uint16_t WaitKey() = 0;
  virtual void Sleep(int ms) = 0;
  virtual void Beep() = 0;
};

// The operator in force. Until one is installed nothing is drawn, no key
// is waited for and every question gets its answer that changes least.
RunOperator& Op();
// Installs op for the run and as the file layer's prompts; null puts the
// silent one back.
void SetRunOperator(RunOperator* op);

// The log framed by the given rectangle until the end of the scope.
class FramedLog {
 public:
  FramedLog(uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2) : before_(Op().FrameLog(LogFrame{x1, x2, y1, y2})) {}
  ~FramedLog() { Op().FrameLog(before_); }
  FramedLog(const FramedLog&) = delete;
  FramedLog& operator=(const FramedLog&) = delete;

 private:
  LogFrame before_;
};

}  // namespace qm
