// Message boxes, the input box and the yes/no prompt: layouts, colours,
// the keys that end them, and the screen left as it was.
#include <string>

#include "base/cp852.h"
#include "base/text.h"
#include "tests/tui/tui_support.h"
#include "tui/forms.h"
#include "tui/message_box.h"

namespace qm::test {
namespace {

using BoxTest = TuiTest;

// The standard box covers columns 20-59 and rows 8-17; its inside starts at
// (21, 9), so box column c is screen column 20 + c.
TEST_F(BoxTest, ErrorBoxInWhiteOnRedWithOneButtonThenNormalColoursAgain) {
  rc.Keys("Enter Enter");
  ErrorBox(Pl("Nie można otworzyć pliku"));
  const Shot& s = rc.shots.at(0);
  EXPECT_EQ(Cp852ToUtf8(s.Text(8, 20, 40)), "┌──────────────── Błąd ────────────────┐");
  EXPECT_EQ(s.At(20, 8).attr, 0x4F);   // frame
  EXPECT_EQ(s.At(38, 8).attr, 0x4F);   // title
  EXPECT_EQ(s.At(30, 12).attr, 0x4F);  // body
  EXPECT_EQ(Cp852ToUtf8(s.Text(9, 21, 24)), "Nie można otworzyć pliku");
  EXPECT_EQ(Cp852ToUtf8(s.Text(15, 35, 9)), "»  OK   «");  // box column 15, focused
  EXPECT_EQ(s.Text(25, 1, 11), " Enter-OK\xB3 ");
  EXPECT_EQ(ColourRoles, kDefaultColours);

  InfoBox("Gotowe");
  const Shot& t = rc.shots.at(1);
  EXPECT_EQ(t.Text(8, 34, 12), " Informacja ");
  EXPECT_EQ(t.At(20, 8).attr, 0x07);
  EXPECT_EQ(t.At(34, 8).attr, 0x0F);
  EXPECT_EQ(t.At(30, 12).attr, 0x02);
}

TEST_F(BoxTest, TwoButtonsAndTheirLetters) {
  struct Case {
    const char* keys;
    uint16_t want;
  } cases[] = {{"t", CMD_YES}, {"T", CMD_YES}, {"n", CMD_NO}, {"N", CMD_NO},
               {"Enter", CMD_YES}, {"Tab Enter", CMD_NO}, {"Esc", CMD_ABORT}, {"q Esc", CMD_ABORT}};
  for (const Case& c : cases) {
    rc.shots.clear();
    rc.Keys(c.keys);
    EXPECT_EQ(MessageBox(Pl("Nadpisać?"), 0x303), c.want) << c.keys;
    const Shot& s = rc.shots.at(0);
    EXPECT_EQ(Cp852ToUtf8(s.Text(15, 27, 9)), "»  Tak  «");  // box column 7
    EXPECT_EQ(s.Text(15, 43, 9), "   Nie   ");               // box column 23
  }
}

// The hint line names the keys of the box's buttons; a click on an entry
// presses its button.
TEST_F(BoxTest, HintLineNamesTheButtonsKeys) {
  const struct {
    uint16_t kind;
    const char* hint;  // UTF-8, from column 2
    int clickColumn;   // of the entry clicked
    uint16_t want;
  } cases[] = {
      {0x401, "Enter-OK│ ", 3, CMD_OK},
      {0x303, "T-Tak│N-Nie│ ", 9, CMD_NO},
      {0xF02, "T-Tak│N-Nie│Enter-OK│P-Porzuć│ ", 25, CMD_ABORT},
      {0x000, "Esc-Zamknij│ ", 2, CMD_ABORT},
  };
  for (const auto& c : cases) {
    rc.shots.clear();
    rc.Keys("Tab");  // a key first, so that the box is shown before the click
    rc.Mouse(c.clickColumn, 25, 1);
    EXPECT_EQ(MessageBox("x", c.kind), c.want) << c.hint;
    const std::string hint = Cp852ToUtf8(rc.shots.at(0).Text(25, 2, 40));
    EXPECT_EQ(hint.substr(0, std::string(c.hint).size()), c.hint);
  }
}

TEST_F(BoxTest, BoxWithoutButtonsWaitsForEscOrTheMouse) {
  rc.Keys("Enter Tab a Esc");
  EXPECT_EQ(MessageBox("x", 0x000), CMD_ABORT);
  rc.Mouse(5, 5, 4);
  EXPECT_EQ(MessageBox("x", 0x000), CMD_OK);
}

TEST_F(BoxTest, TitleFromTheTextAndCentredLines) {
  rc.Keys("Esc");
  const std::string text = Pl("Kopiowanie\x07") + CentredLine(Pl("Środek")) + "\r" + "lewa" + "\r" +
                           "\r" + std::string(50, 'y');
  MessageBox(text, 0x400);
  const Shot& s = rc.shots.at(0);
  EXPECT_EQ(s.Text(8, 34, 12), "\xC4Kopiowanie\xC4");
  EXPECT_EQ(Cp852ToUtf8(s.Text(9, 37, 6)), "Środek");  // (40 - 6) div 2 = 17
  EXPECT_EQ(s.Text(10, 21, 5), "lewa ");
  EXPECT_EQ(s.Text(12, 21, 39), std::string(38, 'y') + "\xB3");  // cut at the frame
}

TEST_F(BoxTest, SelfClosingBoxStaysTwoAndAHalfSeconds) {
  Scribble(rc);
  const ScreenCells before = Snapshot(rc);
  const uint64_t start = rc.nowMs;
  EXPECT_EQ(MessageBox(Pl("Zapisano"), 0x0008), CMD_ABORT);
  EXPECT_EQ(rc.nowMs - start, 2500u);
  EXPECT_TRUE(rc.shots.empty());  // no key was asked for
  EXPECT_EQ(Snapshot(rc), before);
  EXPECT_EQ(ColourRoles, kDefaultColours);
}

TEST_F(BoxTest, ScreenAndHintLineComeBack) {
  Scribble(rc);
  auto outer = HintLine::Init({{"F5-Start", kKeyF5, 0x1003}});
  const ScreenCells before = Snapshot(rc);
  rc.Keys("n");
  MessageBox("x", 0x301);
  EXPECT_EQ(Snapshot(rc), before);
  EXPECT_EQ(CurrentHintLine(), outer.get());
}

// Type-ahead is dropped when discarded; the operator then presses "n".
class LateAnswerConsole : public RecordingConsole {
 public:
  int discards = 0;
  void DiscardPending() override {
    ++discards;
    typeAhead = true;
    FakeConsole::DiscardPending();
    typeAhead = false;
    Keys("n");
  }
};

TEST_F(BoxTest, WaitingKeysAreDiscardedFirst) {
  LateAnswerConsole late;
  SetConsole(&late);
  late.Keys("t");  // typed before the question was shown
  EXPECT_EQ(MessageBox("x", 0x303), CMD_NO);
  EXPECT_EQ(late.discards, 1);
  SetConsole(&rc);
}

TEST_F(BoxTest, BoxThatDoesNotFitAnswersAbort) {
  EXPECT_EQ(MessageBoxAt(60, 20, 40, 10, "x", 0x401), CMD_ABORT);
  EXPECT_TRUE(rc.shots.empty());
  EXPECT_EQ(ColourRoles, kDefaultColours);
}

// ------------------------------------------------------------------ input box

TEST_F(BoxTest, InputBoxConfirmAndCancel) {
  std::string value = "abc";
  rc.Keys("\"def\" Esc");
  EXPECT_EQ(InputBox(Pl("Podaj nazwę:"), value, false), CMD_ABORT);
  EXPECT_EQ(value, "abc");
  const Shot& s = rc.shots.at(0);
  EXPECT_EQ(Cp852ToUtf8(s.Text(10, 22, 12)), "Podaj nazwę:");
  EXPECT_EQ(s.Text(13, 22, 37), PadRight("abc", 37));  // field at column 2, row 5
  EXPECT_EQ(s.At(22, 13).attr, 0x70);
  EXPECT_EQ(Cp852ToUtf8(s.Text(25, 1, 35)), " Enter - potwierdź│Esc - zrezygnuj│");

  rc.Keys("\"def\" Enter");
  EXPECT_EQ(InputBox("x", value, false), CMD_OK);
  EXPECT_EQ(value, "abcdef");

  rc.Mouse(40, 12, 2);  // right button: given up
  EXPECT_EQ(InputBox("x", value, false), CMD_ABORT);
  EXPECT_EQ(value, "abcdef");
}

TEST_F(BoxTest, InputBoxWidthLastsOneCall) {
  std::string value;
  SetInputBoxWidth(10);
  rc.Keys("\"0123456789abc\" Enter");
  InputBox("x", value, false);
  EXPECT_EQ(value, "0123456789");
  EXPECT_EQ(rc.shots.at(0).At(35, 13).attr, 0x70);  // (37 - 10) div 2 + 2 = 15
  EXPECT_EQ(rc.shots.at(0).At(34, 13).attr, Role(5));

  for (int ignored : {37, 0, -1, 80}) {
    SetInputBoxWidth(ignored);
    rc.shots.clear();
    rc.Keys("Esc");
    InputBox("x", value, false);
    EXPECT_EQ(rc.shots.at(0).At(22, 13).attr, 0x70) << ignored;
    EXPECT_EQ(rc.shots.at(0).At(58, 13).attr, 0x70) << ignored;
  }
}

TEST_F(BoxTest, InputBoxKeepsTheChangedFlagAndMasks) {
  std::string value = "x";
  FormDataChanged = false;
  rc.Keys("\"tajne\" Enter");
  InputBox("Haslo:", value, true);
  EXPECT_EQ(value, "xtajne");
  EXPECT_FALSE(FormDataChanged);
  EXPECT_EQ(rc.shots.back().Text(13, 22, 7), "****** ");
}

// ------------------------------------------------------------- yes/no prompt

TEST_F(BoxTest, YesNoAnswers) {
  struct Case {
    const char* keys;
    bool defaultYes;
    bool want;
  } cases[] = {
      {"Esc Esc Enter", true, true}, {"Esc Enter", false, false}, {"t", false, true},
      {"T", false, true},           {"n", true, false},          {"N", true, false},
      {"Up Enter", true, false},     {"Down Down Enter", false, false},
      {"^T", false, true},           {"^N", true, false},         {"q Space Enter", true, true},
  };
  for (const Case& c : cases) {
    rc.Keys(c.keys);
    EXPECT_EQ(AskYesNo(10, 5, Pl("Czy kontynuować?"), c.defaultYes), c.want) << c.keys;
  }
}

TEST_F(BoxTest, YesNoLayoutAndMouse) {
  Scribble(rc);
  const ScreenCells before = Snapshot(rc);
  rc.Mouse(15, 8, 1);  // the yes bar
  EXPECT_TRUE(AskYesNo(10, 5, Pl("Czy kontynuować?"), false));
  const Shot& s = rc.shots.at(0);
  // Window (10,5)-(29,10): question, rule, the two bars.
  EXPECT_EQ(Cp852ToUtf8(s.Text(6, 12, 16)), "Czy kontynuować?");
  EXPECT_EQ(s.At(12, 6).attr, Role(7));
  EXPECT_EQ(s.Text(7, 11, 18), std::string(18, '\xC4'));
  EXPECT_EQ(s.Text(8, 12, 16), " T a k          ");
  EXPECT_EQ(s.At(12, 8).attr, Role(5));
  EXPECT_EQ(s.At(13, 8).attr, Role(9));  // the hot letter
  EXPECT_EQ(s.Text(9, 12, 16), " N i e          ");
  EXPECT_EQ(s.At(12, 9).attr, Role(10));  // the highlighted answer
  EXPECT_EQ(s.At(13, 9).attr, Role(10));
  EXPECT_EQ(Cp852ToUtf8(s.Text(25, 1, 19)), " ^T - tak│^N - nie│");
  EXPECT_EQ(Snapshot(rc), before);

  rc.Mouse(15, 9, 1);  // the no bar
  EXPECT_FALSE(AskYesNo(10, 5, "x", true));
  rc.Mouse(70, 20, 1);  // anywhere else
  EXPECT_FALSE(AskYesNo(10, 5, "x", true));
}

TEST_F(BoxTest, YesNoStaysOnTheScreen) {
  rc.Keys("Enter");
  AskYesNo(40, 10, std::string(80, 'q'), true);  // one line of 80: 76 wide at column 1
  const Shot& s = rc.shots.at(0);
  EXPECT_EQ(s.At(1, 10).ch, 0xDA);
  EXPECT_EQ(s.At(80, 10).ch, 0xBF);
  EXPECT_EQ(s.Text(11, 3, 77), std::string(76, 'q') + " ");

  rc.shots.clear();
  rc.Keys("Enter");
  AskYesNo(10, 22, "a\rb", true);  // two lines: moved up to row 24 - 7 = 17
  EXPECT_EQ(rc.shots.at(0).At(10, 17).ch, 0xDA);
  EXPECT_EQ(rc.shots.at(0).At(10, 23).ch, 0xC0);
}

}  // namespace
}  // namespace qm::test
