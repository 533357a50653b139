// Message boxes, the one-line input box and the yes/no prompt.
#pragma once
#include <cstdint>
#include <string>

#include "base/message_text.h"

namespace qm {

uint16_t MessageBoxAt(int x, int y, int width, int height, const std::string& text, uint16_t kind);
uint16_t MessageBox(const std::string& text, uint16_t kind);
void ErrorBox(const std::string& text);
void InfoBox(const std::string& text);
// Takes 1 to 36 only; every InputBox call goes back to the default 37.
void SetInputBoxWidth(int n);
void ResetInputBoxWidth();
uint16_t InputBox(const std::string& prompt, std::string& value, bool masked);
bool AskYesNo(int x, int y, const std::string& question, bool defaultYes);
void DrawChoiceBar(const std::string& text, int row, int col, int width, bool highlighted);

// Told of every box, prompt and input box with the answer it got (the run's
// report keeps them): the message text as given, and "Tak", "Nie", "OK",
// "Esc" or the value typed.
using AnswerObserver = void (*)(const std::string& question, const std::string& answer);
void SetAnswerObserver(AnswerObserver observer);

}  // namespace qm
