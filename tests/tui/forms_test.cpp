// Dialog forms and their controls, built the way the wizard pages build
// them: what the operator sees and what each key and click does.
#include <string>

#include "base/cp852.h"
#include "base/text.h"
#include "tests/tui/tui_support.h"
#include "tui/forms.h"
#include "tui/message_box.h"

namespace qm::test {
namespace {

constexpr uint16_t kNext = 0x1001;
constexpr uint16_t kBack = 0x1002;

// A wizard-like page: remembers the commands it saw, ends on its own ones.
class Page : public DialogForm {
 public:
  std::vector<uint16_t> seen;
  void HandleEvent(UiEvent& ev) override {
    if (ev.what == EVENT_COMMAND) {
      seen.push_back(ev.command);
      if (ev.command == kNext || ev.command == kBack) EndModal();
    }
    DialogForm::HandleEvent(ev);
  }
};

// The first page's layout: form at (3,3), 76 x 22; its inside starts at
// screen (4,4), so a control at (x, y) is at screen (3 + x, 3 + y).
class PageTest : public TuiTest {
 protected:
  void TearDown() override {
    page.reset();
    TuiTest::TearDown();
  }
  void Build() {
    page = DialogForm::Init<Page>(3, 3, 76, 22, Pl(" Krok 1 z 4 "));
    ASSERT_NE(page, nullptr);
    source = page->Insert(
        EditField::Init(TextLabel::Init(4, 3, Pl("Katalog 2019:")), 4, 4, 50, sourceDir));
    target = page->Insert(
        EditField::Init(TextLabel::Init(4, 6, Pl("Katalog 2020:")), 4, 7, 50, targetDir));
    page->Insert(CheckBox::Init(nullptr, 4, 10, slow, Pl("Wolne wyświetlanie")));
    page->Insert(CheckBox::Init(nullptr, 4, 11, hide, Pl("Ukryj przeniesione")));
    page->Insert(PushButton::Init(34, 19, 14, 1, Pl("<< Wstecz"), kBack));
    page->Insert(PushButton::Init(54, 19, 14, 1, Pl("Dalej >>"), kNext));
    page->SetHintLine(HintLine::Init({{"PgDn-Dalej", kKeyPgDn, kNext}}));
  }
  std::string sourceDir = "C:\\ZEV2019";
  std::string targetDir = "C:\\ZEV2020";
  bool slow = false, hide = true;
  std::unique_ptr<Page> page;
  EditField* source = nullptr;
  EditField* target = nullptr;
};

TEST_F(PageTest, ControlsDrawnUnfocusedAndFocused) {
  Build();
  // Before running: nothing has the focus.
  EXPECT_EQ(rc.Text(6, 7, 13), "Katalog 2019:");
  EXPECT_EQ(rc.Attr(7, 6), 0x07);
  EXPECT_EQ(rc.Text(7, 7, 50), PadRight("C:\\ZEV2019", 50));
  EXPECT_EQ(rc.Attr(7, 7), 0x1F);
  EXPECT_EQ(rc.Attr(56, 7), 0x1F);
  EXPECT_EQ(Cp852ToUtf8(rc.Text(13, 7, 22)), "[ ] Wolne wyświetlanie");
  EXPECT_EQ(Cp852ToUtf8(rc.Text(14, 7, 22)), "[■] Ukryj przeniesione");
  EXPECT_EQ(rc.Attr(8, 14), 0x0F);  // the mark
  EXPECT_EQ(rc.Attr(11, 14), 0x07);
  EXPECT_EQ(rc.Text(22, 37, 14), "  << Wstecz   ");
  EXPECT_EQ(rc.Attr(37, 22), 0x70);
  EXPECT_EQ(Cp852ToUtf8(rc.Text(22, 51, 1)), "▄");  // shadow
  EXPECT_EQ(Cp852ToUtf8(rc.Text(23, 38, 14)), std::string("▀▀▀▀▀▀▀▀▀▀▀▀▀▀"));
  EXPECT_EQ(rc.Attr(51, 22), Role(5));
  EXPECT_EQ(Cp852ToUtf8(rc.Text(25, 1, 13)), " PgDn-Dalej│ ");
  EXPECT_EQ(rc.Attr(1, 25), 0x70);

  rc.Keys("Tab Tab Tab Tab Tab Esc");
  EXPECT_EQ(page->Run(), CMD_ABORT);
  ASSERT_EQ(rc.shots.size(), 6u);
  // First shot: the first field has the focus, its cursor after the text.
  const Shot& s0 = rc.shots[0];
  EXPECT_EQ(s0.At(7, 7).attr, 0x70);
  EXPECT_EQ(s0.At(7, 6).attr, 0x0F);  // caption of the focused field
  EXPECT_EQ(s0.cursorCol, 7 + 10);
  EXPECT_EQ(s0.cursorRow, 7);
  EXPECT_EQ(s0.shape, CursorShape::Tall);
  // Second: the next field, the first back to normal.
  EXPECT_EQ(rc.shots[1].At(7, 7).attr, 0x1F);
  EXPECT_EQ(rc.shots[1].At(7, 10).attr, 0x70);
  // Third: the check box, text in the focused colour, cursor on the mark.
  EXPECT_EQ(rc.shots[2].At(11, 13).attr, 0x0F);
  EXPECT_EQ(rc.shots[2].cursorCol, 8);
  EXPECT_EQ(rc.shots[2].cursorRow, 13);
  // Fifth: the first button focused, marked at both ends, no cursor.
  const Shot& s4 = rc.shots[4];
  EXPECT_EQ(Cp852ToUtf8(s4.Text(22, 37, 14)), "» << Wstecz  «");
  EXPECT_EQ(s4.At(40, 22).attr, 0x70);
  EXPECT_EQ(s4.shape, CursorShape::Hidden);
  EXPECT_EQ(rc.shots[5].Text(22, 37, 14), "  << Wstecz   ");
}

TEST_F(PageTest, FocusMovesAndWraps) {
  Build();
  struct Case {
    const char* keys;
    int want;
  } cases[] = {
      {"S-Tab Esc", 6}, {"Up Esc", 5}, {"Tab Esc", 6}, {"Down Esc", 1}, {"Enter Enter Esc", 3},
      {"Left Esc", 2},  // Left at the start of a field leaves it
  };
  for (const Case& c : cases) {
    rc.Keys(std::string(c.keys));
    EXPECT_EQ(page->Run(), CMD_ABORT);
    EXPECT_EQ(page->Current(), c.want) << c.keys;
  }
  page->FocusControl(7);  // beyond the controls: ignored
  EXPECT_EQ(page->Current(), 2);
}

TEST_F(PageTest, HintLineAndButtonLettersIssueThePagesCommands) {
  Build();
  rc.Keys("PgDn");
  EXPECT_EQ(page->Run(), kNext);

  page->FocusControl(3);  // a check box: letters are not its keys
  rc.Keys("d");
  EXPECT_EQ(page->Run(), kNext);
  EXPECT_EQ(page->Current(), 6);

  page->FocusControl(3);
  rc.Keys("w < ");  // no button begins with "w"; "<" is the back button
  EXPECT_EQ(page->Run(), kBack);
  EXPECT_EQ(page->Current(), 5);
  EXPECT_EQ(page->seen, (std::vector<uint16_t>{kNext, kNext, kBack}));

  rc.Keys("Enter");  // the focused button
  EXPECT_EQ(page->Run(), kBack);
  page->FocusControl(6);
  rc.Keys("Space");
  EXPECT_EQ(page->Run(), kNext);
}

TEST_F(PageTest, MouseOnTheForm) {
  Build();
  rc.Mouse(30, 10, 1);  // on the second field: it gets the focus
  rc.Mouse(8, 13, 1);   // on the first check box: focus
  rc.Mouse(8, 13, 1);   // again: now it toggles
  rc.Mouse(7, 6, 1);    // the caption of the first field: focus
  rc.Mouse(7, 6, 1);    // its own caption while focused: a click tone
  rc.Mouse(40, 15, 2);  // right button anywhere
  EXPECT_EQ(page->Run(), CMD_ABORT);
  EXPECT_TRUE(slow);
  EXPECT_EQ(page->Current(), 1);
  ASSERT_EQ(rc.tones.size(), 1u);
  EXPECT_EQ(rc.tones[0], std::make_pair(4000, 96));

  struct Case {
    int x, y;
    uint16_t buttons;
    uint16_t want;
  } cases[] = {{70, 2, 4, CMD_OK}, {10, 10, 3, CMD_OK}, {1, 1, 1, CMD_ABORT},
               {2, 1, 1, CMD_ABORT}};
  for (const Case& c : cases) {
    rc.Mouse(c.x, c.y, c.buttons);
    EXPECT_EQ(page->Run(), c.want);
  }
  page->FocusControl(6);
  rc.Mouse(60, 22, 1);  // a click on the focused button presses it
  EXPECT_EQ(page->Run(), kNext);
}

TEST_F(PageTest, DoneGivesTheScreenBack) {
  Scribble(rc);
  auto below = HintLine::Init({{"F1-Pomoc", kKeyF1, 0x7777}});
  const ScreenCells before = Snapshot(rc);
  Build();
  rc.Keys("\"abc\" Tab x Esc");
  page->Run();
  page.reset();
  EXPECT_EQ(Snapshot(rc), before);
  EXPECT_EQ(CurrentHintLine(), below.get());
}

TEST_F(PageTest, ChangedFlagFollowsRealChanges) {
  Build();
  rc.Keys("x Bksp Tab Esc");  // typed and taken back: no change
  page->Run();
  EXPECT_FALSE(FormDataChanged);
  page->FocusControl(3);
  rc.Keys("Space Esc");
  page->Run();
  EXPECT_TRUE(FormDataChanged);
}

// ------------------------------------------------------------ single fields

class FieldTest : public TuiTest {
 protected:
  // Runs a form with one edit field of the given width over text.
  std::string Edit(const std::string& start, int width, const std::string& keys,
                   const std::vector<std::pair<uint16_t, uint8_t>>& raw = {}) {
    std::string text = start;
    auto form = DialogForm::Init(10, 5, 60, 8, "");
    form->Insert(EditField::Init(nullptr, 2, 2, width, text));
    if (!keys.empty()) rc.Keys(keys);
    for (const auto& k : raw) rc.Key(k.first, k.second);
    rc.Keys("Esc");
    EXPECT_EQ(form->Run(), CMD_ABORT);
    return text;
  }
};

TEST_F(FieldTest, EditingKeys) {
  struct Case {
    const char* start;
    int width;
    const char* keys;
    const char* want;
  } cases[] = {
      {"abc", 10, "\"xy\"", "abcxy"},              // cursor starts after the text
      {"abc", 10, "C-Left X", "Xabc"},             // insert mode
      {"abc", 10, "Ins C-Left \"XY\" Ins", "XYc"},  // overwrite
      {"abc", 10, "Left Left Del", "ac"},
      {"abc", 10, "Bksp Bksp", "a"},
      {"abc", 10, "Left C-Right z", "abcz"},
      {"abcde", 5, "C-Left X", "Xabcd"},  // full: the last one falls off
      {"abcde", 5, "z", "abcde"},         // no room behind the end
      {"", 3, "\"abcdef\"", "abc"},
      {"ab  ", 10, "", "ab"},               // trailing blanks go at creation
      {"abcdefghij", 4, "", "abcd"},        // longer than the field: cut
      {"abc", 10, "Space Space Tab", "abc"},     // and again when the field is left
      {"a", 5, "Right Right Left Left Left", "a"},
  };
  for (const Case& c : cases) EXPECT_EQ(Edit(c.start, c.width, c.keys), c.want) << c.keys;
}

TEST_F(FieldTest, RefusedKeysSoundTheirTones) {
  Edit("abc", 10, "C-Left Bksp");
  Edit("abcde", 5, "z Del");
  ASSERT_EQ(rc.tones.size(), 3u);
  EXPECT_EQ(rc.tones[0].first, 1200);
  EXPECT_EQ(rc.tones[1].first, 3000);
  EXPECT_EQ(rc.tones[2].first, 2250);
}

TEST_F(FieldTest, ClipboardsCaseAndUndo) {
  EXPECT_EQ(Edit("abc", 10, "^K ^Y \"q\" ^W"), "abc");
  EXPECT_EQ(Edit("zzz", 10, "^W"), "abc");  // the field clipboard outlives the form
  EXPECT_EQ(Edit("abc", 10, "\"def\" ^P"), "abc");
  EXPECT_EQ(Edit(Pl("zażółć gęślą"), 20, "^D"), Pl("ZAŻÓŁĆ GĘŚLĄ"));
  EXPECT_EQ(Edit(Pl("ZAŻÓŁĆ"), 20, "", {{kKeyCtrlM, kStateCtrl}}), Pl("zażółć"));
  EXPECT_EQ(Edit("abc", 10, "C-Ins"), "abc");
  EXPECT_EQ(rc.clipboard, "abc");
  rc.clipboard = "first line\r\nsecond line";
  EXPECT_EQ(Edit("x", 20, "S-Ins"), "first line");
  EXPECT_EQ(Edit("x", 5, "S-Ins"), "first");
  EXPECT_EQ(PasteFromClipboard(), "first line");
  rc.Paste("pasted\tand more");
  EXPECT_EQ(Edit("old", 20, ""), "pasted");
}

TEST_F(FieldTest, ALongerTextScrollsInItsFieldAndKeepsEveryCharacter) {
  // A field of 10 cells taking 30 characters: the cursor's cell stays in
  // view; the row shows what stands around it.
  const struct {
    const char* start;
    const char* keys;
    const char* shown;  // the 10 cells
    int cursorCol;      // screen column of the cursor
    const char* want;
  } cases[] = {
      {"0123456789abcdefghij", "", "bcdefghij ", 21, "0123456789abcdefghij"},
      {"0123456789abcdefghij", "C-Left", "0123456789", 12, "0123456789abcdefghij"},
      {"0123456789abcdefghij", "C-Left Right Right", "0123456789", 14, "0123456789abcdefghij"},
      {"", "\"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\"", "KLMNOPQRST", 21, "0123456789ABCDEFGHIJKLMNOPQRST"},
      {"short", "", "short     ", 17, "short"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    std::string text = c.start;
    auto form = DialogForm::Init(10, 5, 60, 8, "");
    form->Insert(EditField::Init(nullptr, 2, 2, 10, text, false, 30));
    rc.Keys(std::string(c.keys) + " Esc");
    form->Run();
    EXPECT_EQ(text, c.want);
    EXPECT_EQ(rc.Text(7, 12, 10), c.shown);
    EXPECT_EQ(rc.CursorCol(), c.cursorCol);
  }
  // A field as wide as its longest text never scrolls: a cursor behind a
  // full text stands on the last cell.
  std::string full = "abcde";
  auto form = DialogForm::Init(10, 5, 60, 8, "");
  form->Insert(EditField::Init(nullptr, 2, 2, 5, full));
  EXPECT_EQ(rc.Text(7, 12, 5), "abcde");
}

TEST_F(FieldTest, MaskedFieldShowsStars) {
  std::string pass = "tajne";
  auto form = DialogForm::Init(10, 5, 60, 8, "");
  form->Insert(EditField::Init(nullptr, 2, 2, 8, pass, true));
  EXPECT_EQ(rc.Text(7, 12, 8), "*****   ");
}

TEST_F(FieldTest, FormWithOneControlKeepsTheFocus) {
  std::string text;
  auto form = DialogForm::Init(10, 5, 60, 8, "");
  form->Insert(EditField::Init(nullptr, 2, 2, 10, text));
  rc.Keys("Tab S-Tab Up Down Enter Esc");
  form->Run();
  EXPECT_EQ(form->Current(), 1);

  auto box = DialogForm::Init(10, 5, 30, 6, "");
  box->Insert(PushButton::Init(2, 2, 10, 1, "OK", CMD_OK));
  rc.Keys("Tab Down Enter");
  EXPECT_EQ(box->Run(), CMD_OK);
}

TEST_F(FieldTest, FormThatDoesNotFitIsNotCreated) {
  EXPECT_EQ(DialogForm::Init(40, 10, 42, 10, ""), nullptr);
  EXPECT_EQ(DialogForm::Init(3, 3, 76, 24, ""), nullptr);
  auto form = DialogForm::Init(3, 3, 76, 22, "");
  ASSERT_NE(form, nullptr);
  form->Insert(std::unique_ptr<CheckBox>());  // a control that was never made
  EXPECT_EQ(form->ControlCount(), 0);
  EXPECT_EQ(TextLabel::Init(1, 1, ""), nullptr);
}

// ------------------------------------------------------ boxes and groups

using ChoiceTest = TuiTest;

TEST_F(ChoiceTest, CheckBoxKeys) {
  bool flag = false;
  auto form = DialogForm::Init(10, 5, 40, 8, "");
  form->Insert(CheckBox::Init(nullptr, 2, 2, flag, "Opcja"));
  struct Case {
    const char* keys;
    bool want;
  } cases[] = {{"Space", true}, {"x", false}, {"X", true}, {"Enter a", true}};
  for (const Case& c : cases) {
    rc.Keys(std::string(c.keys) + " Esc");
    form->Run();
    EXPECT_EQ(flag, c.want) << c.keys;
  }
}

TEST_F(ChoiceTest, CheckGroupOfSeventeenShowsSixteen) {
  std::vector<std::string> items;
  for (int i = 1; i <= 17; ++i) items.push_back("Pozycja " + std::to_string(i));
  uint16_t bits = 0;
  auto form = DialogForm::Init(2, 2, 40, 22, "");
  auto* group = form->Insert(CheckGroup::Init(nullptr, 2, 2, items, bits));
  EXPECT_EQ(group->ItemCount(), 16);
  EXPECT_EQ(rc.Text(19, 4, 15), "[ ] Pozycja 16 ");
  EXPECT_EQ(rc.Text(20, 4, 15), std::string(15, ' '));
}

TEST_F(ChoiceTest, CheckGroupKeys) {
  uint16_t bits = 0x0004;
  bool after = false;
  auto form = DialogForm::Init(10, 5, 40, 10, "");
  form->Insert(CheckBox::Init(nullptr, 2, 1, after, "przed"));
  auto* group =
      form->Insert(CheckGroup::Init(TextLabel::Init(2, 2, "Grupa"), 2, 3,
                                    NewChoiceItem("A", NewChoiceItem("B", NewChoiceItem("C"))),
                                    bits));
  form->FocusControl(2);
  rc.Keys("Space Down x Down 0 Grey- Up Grey+ Esc");
  form->Run();
  EXPECT_EQ(bits, 0x0003);
  EXPECT_EQ(group->CursorItem(), 1);
  // Up on the first item and Down on the last leave the group.
  rc.Keys("Up Up Esc");
  form->Run();
  EXPECT_EQ(form->Current(), 1);
  form->FocusControl(2);
  rc.Keys("Down Down Down Esc");
  form->Run();
  EXPECT_EQ(form->Current(), 1);  // wrapped past the last control
  EXPECT_EQ(rc.Text(8, 12, 5), "[\xFE] A");
  EXPECT_EQ(rc.Text(10, 12, 5), "[ ] C");
}

TEST_F(ChoiceTest, CheckGroupMouse) {
  uint16_t bits = 0;
  auto form = DialogForm::Init(10, 5, 40, 10, "");
  form->Insert(CheckGroup::Init(nullptr, 2, 2, {"A", "B", "C"}, bits));
  rc.Mouse(15, 9, 1);  // item C
  rc.Mouse(15, 9, 1);
  rc.Mouse(13, 7, 1);  // item A
  rc.Keys("Esc");
  form->Run();
  EXPECT_EQ(bits, 0x0001);
}

TEST_F(ChoiceTest, RadioGroup) {
  uint16_t index = 5;  // beyond the items: starts at the first
  auto form = DialogForm::Init(10, 5, 40, 10, "");
  auto* radio = form->Insert(RadioGroup::Init(nullptr, 2, 2, {"Wszyscy", "Zatrudnieni", "Pytaj"},
                                              index));
  EXPECT_EQ(index, 0);
  EXPECT_EQ(Cp852ToUtf8(rc.Text(7, 12, 11)), "(■) Wszyscy");
  EXPECT_EQ(Cp852ToUtf8(rc.Text(8, 12, 4)), "(˙) ");
  rc.Keys("Down Space Down Esc");  // moving alone does not choose
  form->Run();
  EXPECT_EQ(index, 1);
  EXPECT_EQ(radio->CursorItem(), 2);
  rc.Mouse(14, 9, 1);  // click on the third item chooses it
  rc.Keys("Esc");
  form->Run();
  EXPECT_EQ(index, 2);
  rc.Keys("Up x Esc");
  form->Run();
  EXPECT_EQ(index, 1);
}

// --------------------------------------------------------------- hint line

using HintTest = TuiTest;

TEST_F(HintTest, ClosingRestoresThePreviousLineExactly) {
  WriteScreenAt("stopka", 25, 3, 0x1E);
  auto first = HintLine::Init(NewHintItem(
      "F5-Start", kKeyF5, 0x1003, NewHintItem("PgUp-Wstecz", kKeyPgUp, 0x1002)));
  std::vector<Cell> row;
  for (int c = 1; c <= 80; ++c) row.push_back(rc.Get(c, 25));
  EXPECT_EQ(Cp852ToUtf8(rc.Text(25, 1, 22)), " F5-Start│PgUp-Wstecz│");
  {
    auto second = HintLine::Init({{"Esc-Koniec", kKeyEsc, CMD_ABORT}});
    EXPECT_EQ(Cp852ToUtf8(rc.Text(25, 1, 14)), " Esc-Koniec│  ");
    EXPECT_EQ(CurrentHintLine(), second.get());
  }
  for (int c = 1; c <= 80; ++c) EXPECT_EQ(rc.Get(c, 25), row[static_cast<size_t>(c - 1)]) << c;
  EXPECT_EQ(CurrentHintLine(), first.get());
  first.reset();  // the last one: the row as it was before any
  EXPECT_EQ(rc.Text(25, 1, 10), "  stopka  ");
  EXPECT_EQ(rc.Attr(3, 25), 0x1E);
  EXPECT_EQ(CurrentHintLine(), nullptr);
}

TEST_F(HintTest, LineClosedOutOfOrderLeavesTheStackWhole) {
  auto a = HintLine::Init({{"A", 0x1E61, 1}});
  auto b = HintLine::Init({{"B", 0x3062, 2}});
  a.reset();
  EXPECT_EQ(CurrentHintLine(), b.get());
  b.reset();
  EXPECT_EQ(CurrentHintLine(), nullptr);
}

}  // namespace
}  // namespace qm::test
