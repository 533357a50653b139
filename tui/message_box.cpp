#include "tui/message_box.h"

#include <algorithm>
#include <vector>

#include "base/cp852.h"
#include "base/text.h"
#include "tui/events.h"
#include "tui/forms.h"
#include "tui/screen.h"

namespace qm {
namespace {

// Commands of the yes/no prompt's hint line.
constexpr uint16_t kCmdPromptYes = 0x1111;
constexpr uint16_t kCmdPromptNo = 0x2222;

constexpr int kDefaultInputWidth = 37;
int g_inputWidth = kDefaultInputWidth;
AnswerObserver g_observer = nullptr;

const char* CommandWord(uint16_t cmd) {
  switch (cmd) {
    case CMD_YES:
      return "Tak";
    case CMD_NO:
      return "Nie";
    case CMD_OK:
      return "OK";
    default:
      return "Esc";
  }
}

void Tell(const std::string& question, const std::string& answer) {
  if (g_observer) g_observer(question, answer);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t cr = text.find(kMsgLineBreak, start);
    lines.push_back(text.substr(start, cr == std::string::npos ? std::string::npos : cr - start));
    if (cr == std::string::npos) break;
    start = cr + 1;
  }
  return lines;
}

std::string TitleOf(uint16_t kind) {
  switch (kind & 0x0F) {
    case 1:
    case 8:
    case 9:
      return Pl(" Błąd ");
    case 2:
    case 10:
      return Pl(" Informacja ");
    case 3:
    case 11:
      return Pl(" Potwierdź ");
    default:
      return Pl(" UWAGA ");
  }
}

bool IsErrorKind(uint16_t kind) {
  const int n = kind & 0x0F;
  return n == 1 || n == 8 || n == 9;
}

}  // namespace

uint16_t MessageBoxAt(int x, int y, int width, int height, const std::string& text,
                      uint16_t kind) {
  const ColourSet saved = ColourRoles;
  std::string title = TitleOf(kind);
  if (IsErrorKind(kind)) ColourRoles[4] = ColourRoles[5] = ColourRoles[6] = ColourRoles[8];
  DrainKeyboard();

  std::string body = text;
  const size_t bel = body.find(kMsgTitleEnd);
  if (bel != std::string::npos) {
    title = body.substr(0, bel);
    body.erase(0, bel + 1);
  }

  uint16_t result = CMD_ABORT;
  {
    auto form = DialogForm::Init(x, y, width, height, title);
    if (!form) {
      ColourRoles = saved;
      return CMD_ABORT;
    }
    const size_t room = static_cast<size_t>(std::max(width - 2, 0));
    int row = 1;
    for (std::string line : SplitLines(body)) {
      int col = 1;
      if (!line.empty() && line[0] == kMsgCentre) {
        line.erase(0, 1);
        line = line.substr(0, room);
        col = std::max((width - static_cast<int>(line.size())) / 2, 1);
      } else {
        line = line.substr(0, room);
      }
      if (!line.empty()) form->WriteAt(line, row, col, Role(5));
      ++row;
    }

    // The hint line names each button's key: its first letter, Enter for
    // the lone OK. A click on an entry presses its button.
    struct Button {
      uint16_t bit;
      const char* text;
      uint16_t command;
      const char* hint;
    };
    static const Button kButtons[] = {{kMsgButtonYes, "Tak", CMD_YES, "T-Tak"},
                                      {kMsgButtonNo, "Nie", CMD_NO, "N-Nie"},
                                      {kMsgButtonOk, "OK", CMD_OK, "Enter-OK"},
                                      {kMsgButtonAbort, "Porzuć", CMD_ABORT, "P-Porzuć"}};
    int n = 0;
    for (const Button& b : kButtons) n += (kind & b.bit) ? 1 : 0;
    const int s = (width - 9 * n) / (n + 1);
    int k = 0;
    std::vector<HintEntry> hints;
    for (const Button& b : kButtons) {
      if (!(kind & b.bit)) continue;
      form->Insert(PushButton::Init(s + (s + 9) * k, height - 3, 9, 1, Pl(b.text), b.command));
      hints.push_back({Pl(b.hint), 0, b.command});
      ++k;
    }
    if (hints.empty()) hints.push_back({"Esc-Zamknij", 0, CMD_ABORT});
    form->SetHintLine(HintLine::Init(hints));

    if (kind & kMsgSelfClosing) {
      Con().Flush();
      Con().Sleep(2500);
      result = CMD_ABORT;
    } else {
      result = form->Run();
    }
  }
  ColourRoles = saved;
  Tell(text, CommandWord(result));
  return result;
}

uint16_t MessageBox(const std::string& text, uint16_t kind) {
  return MessageBoxAt(20, 8, 40, 10, text, kind);
}

void ErrorBox(const std::string& text) { MessageBox(text, kMsgButtonOk | kMsgError); }

void InfoBox(const std::string& text) { MessageBox(text, kMsgButtonOk | kMsgInformation); }

void SetInputBoxWidth(int n) {
  if (n >= 1 && n <= 36) g_inputWidth = n;
}

uint16_t InputBox(const std::string& prompt, std::string& value, bool masked) {
  const bool changed = FormDataChanged;
  const std::string copy = value;
  const int w = g_inputWidth;
  g_inputWidth = kDefaultInputWidth;
  DrainKeyboard();

  uint16_t result = CMD_ABORT;
  {
    auto form = DialogForm::Init(20, 8, 41, 10, "");
    if (!form) {
      FormDataChanged = changed;
      return CMD_ABORT;
    }
    int row = 2;
    for (std::string line : SplitLines(prompt)) {
      int col = 2;
      if (!line.empty() && line[0] == kMsgCentre) {
        line.erase(0, 1);
        col = std::max((41 - static_cast<int>(line.size())) / 2, 1);
      }
      if (!line.empty()) form->WriteAt(line, row, col, Role(5));
      ++row;
    }
    form->Insert(EditField::Init(nullptr, (37 - w) / 2 + 2, 5, w, value, masked));
    form->Insert(PushButton::Init(16, 7, 8, 1, "OK", CMD_OK));
    form->SetHintLine(HintLine::Init({{Pl("Enter - potwierdź"), kKeyEnter, CMD_OK},
                                      {Pl("Esc - zrezygnuj"), kKeyEsc, CMD_ABORT}}));
    result = form->Run();
    form->CloseHintLine();
    if (result != CMD_OK) value = copy;
  }
  FormDataChanged = changed;
  Tell(prompt, result == CMD_OK ? (masked ? std::string("***") : value) : std::string("Esc"));
  return result;
}

void DrawChoiceBar(const std::string& text, int row, int col, int width, bool highlighted) {
  std::string t = text;
  const size_t tilde = t.find('~');
  if (tilde != std::string::npos) t.erase(tilde, 1);
  const uint8_t attr = highlighted ? Role(10) : Role(5);
  WriteTextAt(" " + PadRight(t, static_cast<size_t>(std::max(width + 1, 0))), row, col, attr);
  if (!highlighted && tilde != std::string::npos && tilde < t.size())
    WriteTextAt(t.substr(tilde, 1), row, col + static_cast<int>(tilde) + 1, Role(9));
}

bool AskYesNo(int x, int y, const std::string& question, bool defaultYes) {
  const std::vector<std::string> lines = SplitLines(question);
  const int n = static_cast<int>(lines.size());
  int w = 7;
  for (const auto& l : lines) w = std::max(w, static_cast<int>(l.size()));
  w = std::min(w, 76);
  if (x + w > 77) x = 77 - w;
  if (y + n + 5 > 24) y = 24 - (n + 5);

  std::unique_ptr<FramedWindow> window;
  if (!OpenFramedWindow(window, x, y, x + w + 3, y + n + 4, true, Role(5), Role(5), Role(4), ""))
    return false;
  for (int i = 0; i < n; ++i)
    WriteInWindow(*window, PadRight(lines[static_cast<size_t>(i)], static_cast<size_t>(w)), i + 1,
                  2, Role(7));
  WriteInWindow(*window, std::string(static_cast<size_t>(w + 2), '\xC4'), n + 1, 1, Role(5));

  auto hint = HintLine::Init({{"^T - tak", kKeyCtrlT, kCmdPromptYes}, {"^N - nie", kKeyCtrlN, kCmdPromptNo}});
  bool answer = defaultYes;
  const int yesRow = window->InY1() + n + 1;  // screen row of the yes bar
  UiEvent ev;
  for (bool done = false; !done;) {
    DrawChoiceBar("~T a k", n + 2, 2, w - 2, answer);
    DrawChoiceBar("~N i e", n + 3, 2, w - 2, !answer);
    GetEvent(ev);
    if (ev.what == EVENT_COMMAND) {
      if (ev.command == kCmdPromptYes) answer = done = true;
      else if (ev.command == kCmdPromptNo) answer = false, done = true;
    } else if (ev.what == EVENT_KEY && ev.paste.empty()) {
      switch (ev.keyCode) {
        case kKeyEnter:
          done = true;
          break;
        case kKeyLowerT:
        case kKeyUpperT:
          answer = done = true;
          break;
        case kKeyLowerN:
        case kKeyUpperN:
          answer = false;
          done = true;
          break;
        case kKeyUp:
        case kKeyDown:
          answer = !answer;
          break;
        default:
          break;  // Esc too: the question must be answered
      }
    } else if (ev.what == EVENT_MOUSE) {
      answer = (ev.buttons & 1) && ev.y == yesRow && ev.x >= window->x1 && ev.x <= window->x2;
      done = true;
    }
  }
  hint.reset();
  ClearEvent(ev);
  CloseFramedWindow(window);
  Tell(question, answer ? "Tak" : "Nie");
  return answer;
}

void ResetInputBoxWidth() {
  g_inputWidth = kDefaultInputWidth;
  g_observer = nullptr;
}

void SetAnswerObserver(AnswerObserver observer) { g_observer = observer; }

}  // namespace qm
