// The list box inside a form laid out like the company selection: what it
// shows, how it scrolls, its commands and the incremental search.
#include <string>
#include <vector>

#include "base/cp852.h"
#include "base/text.h"
#include "tests/tui/tui_support.h"
#include "tui/forms.h"
#include "tui/message_box.h"
#include "tui/pick_list.h"

namespace qm::test {
namespace {

constexpr uint16_t kToggle = 0xF0;

class Names : public PickList {
 public:
  using PickList::PickList;
  std::vector<std::string> items;
  void UpdateCount() override { count = static_cast<int32_t>(items.size()); }
  std::string ItemText(int32_t i) override { return items[static_cast<size_t>(i - 1)]; }
};

// Ends on every list command and on the page's own toggle, which marks the
// current item as the company list does.
class ListPage : public DialogForm {
 public:
  Names* list = nullptr;
  std::vector<uint16_t> seen;
  void HandleEvent(UiEvent& ev) override {
    if (ev.what == EVENT_COMMAND) {
      seen.push_back(ev.command);
      if (ev.command == kToggle) {
        std::string& t = list->items[static_cast<size_t>(list->Position() - 1)];
        t[0] = t[0] == '*' ? ' ' : '*';
        ClearEvent(ev);
      } else if (ev.command >= kListDelete && ev.command <= kListInsert) {
        EndModal();
      }
    }
    DialogForm::HandleEvent(ev);
  }
};

// The company selection form: (10, 6), 58 x 15; its inside starts at
// (11, 7). The list's frame is at form (1, 1), so its item rows are screen
// rows 8.. and its text starts at screen column 13.
class ListTest : public TuiTest {
 protected:
  void Build(int n, int32_t position, int height = 10) {
    std::vector<std::string> items;
    for (int i = 1; i <= n; ++i) items.push_back("Firma " + TwoDigits(i));
    Build(items, position, height);
  }
  void Build(const std::vector<std::string>& items, int32_t position, int height = 10) {
    pos = position;
    page = DialogForm::Init<ListPage>(10, 6, 58, 15, Pl(" Wybór firm "));
    ASSERT_NE(page, nullptr);
    auto names = std::make_unique<Names>(nullptr, 1, 1, 50, height, &pos);
    names->items = items;
    list = page->Insert(std::move(names));
    page->list = list;
    page->SetHintLine(HintLine::Init({{"Spacja-Zaznacz", kKeySpace, kToggle}}));
  }
  void TearDown() override {
    page.reset();
    TuiTest::TearDown();
  }
  // Item text shown on visible row r (1-based) of a shot or the screen.
  std::string RowOf(const Shot& s, int r) const { return s.Text(7 + r, 13, 8); }
  std::string RowNow(int r) const { return rc.Text(7 + r, 13, 8); }

  int32_t pos = 1;
  std::unique_ptr<ListPage> page;
  Names* list = nullptr;
};

TEST_F(ListTest, CurrentItemIsKeptInTheMiddle) {
  struct Case {
    int32_t position;
    int32_t firstShown;
    int cursorRow;
  } cases[] = {{25, 16, 10}, {12, 8, 5}, {1, 1, 1}, {5, 1, 5}, {20, 16, 5}};
  for (const Case& c : cases) {
    Build(25, c.position);
    EXPECT_EQ(list->Top() + 1, c.firstShown) << c.position;
    EXPECT_EQ(list->CursorRow(), c.cursorRow) << c.position;
    EXPECT_EQ(RowNow(1), "Firma " + TwoDigits(c.firstShown));
    EXPECT_EQ(RowNow(10), "Firma " + TwoDigits(c.firstShown + 9));
    EXPECT_EQ(rc.Attr(13, 7 + c.cursorRow), 0x70);
    EXPECT_EQ(rc.Attr(13, 7 + (c.cursorRow == 1 ? 2 : 1)), 0x1F);
  }
}

TEST_F(ListTest, FrameAndScrollMarks) {
  Build(25, 12);
  EXPECT_EQ(rc.Get(11, 7).ch, 0xDA);
  EXPECT_EQ(rc.Get(63, 7).ch, 0xBF);
  EXPECT_EQ(rc.Get(11, 18).ch, 0xC0);
  EXPECT_EQ(rc.Get(62, 7).ch, '^');
  EXPECT_EQ(rc.Get(62, 18).ch, 'v');
  EXPECT_EQ(rc.Attr(11, 7), 0x07);
  page.reset();
  Build(25, 25);
  EXPECT_EQ(rc.Get(62, 7).ch, '^');
  EXPECT_EQ(rc.Get(62, 18).ch, 0xC4);
  page.reset();
  Build(5, 1);  // shorter than the window: no marks, blank rows below
  EXPECT_EQ(rc.Get(62, 7).ch, 0xC4);
  EXPECT_EQ(rc.Get(62, 18).ch, 0xC4);
  EXPECT_EQ(RowNow(6), std::string(8, ' '));
  EXPECT_EQ(rc.Attr(13, 13), Role(5));
}

TEST_F(ListTest, CursorKeysScrollByOneAtTheEdges) {
  Build(25, 10);  // rows show 6..15, cursor on row 5
  rc.Keys("Down Down Down Down Down Down Up Up Up Up Up Up Up Up Up Up Esc");
  EXPECT_EQ(page->Run(), CMD_ABORT);
  const auto& sh = rc.shots;
  EXPECT_EQ(RowOf(sh[5], 1), "Firma 06");   // position 15 on the last row
  EXPECT_EQ(RowOf(sh[6], 1), "Firma 07");   // 16: scrolled up by one
  EXPECT_EQ(RowOf(sh[6], 10), "Firma 16");
  EXPECT_EQ(RowOf(sh[15], 1), "Firma 07");  // back to 7 on the top row
  EXPECT_EQ(RowOf(sh[16], 1), "Firma 06");  // 6: scrolled down by one
  EXPECT_EQ(pos, 6);
}

TEST_F(ListTest, PagingAndEnds) {
  struct Case {
    int32_t start;
    const char* keys;
    int32_t want;
  } cases[] = {{1, "PgDn", 11}, {20, "PgDn", 25}, {12, "PgUp", 2},  {5, "PgUp", 1},
               {12, "Home", 1}, {3, "End", 25},   {1, "Up", 1},     {25, "Down", 25}};
  for (const Case& c : cases) {
    Build(25, c.start);
    rc.Keys(std::string(c.keys) + " Esc");
    page->Run();
    EXPECT_EQ(pos, c.want) << c.start << " " << c.keys;
    page.reset();
  }
}

TEST_F(ListTest, KeysThatBecomeCommands) {
  struct Case {
    const char* keys;
    uint16_t want;
  } cases[] = {{"Enter", kListChoose}, {"C-Enter", kListCtrlEnter}, {"Ins", kListInsert},
               {"Del", kListDelete}};
  Build(25, 3);
  for (const Case& c : cases) {
    rc.Keys(c.keys);
    EXPECT_EQ(page->Run(), c.want) << c.keys;
  }
  rc.Keys("Grey+ F1 Esc");  // leave the list; the form drops them, then Esc
  EXPECT_EQ(page->Run(), CMD_ABORT);
}

TEST_F(ListTest, SpaceMarksThroughTheHintLineAndNeverSearches) {
  Build({"  Alfa", "  Beta", "  Gamma"}, 2);
  rc.Keys("Space Down Space Esc");
  page->Run();
  EXPECT_EQ(list->items[1], "* Beta");
  EXPECT_EQ(list->items[2], "* Gamma");
  EXPECT_EQ(pos, 3);
  EXPECT_TRUE(rc.tones.empty());
}

TEST_F(ListTest, IncrementalSearch) {
  Build({"Alfa", "Kappa", "Kilo", "Kobra", "Kot", Pl("Łoś"), "Lis", "zebra"}, 1);
  rc.Keys("k o T Esc");
  page->Run();
  EXPECT_EQ(pos, 5);
  // Each step found from where the previous one stood; the search text is
  // shown on the bottom frame line after the stop mark.
  EXPECT_EQ(rc.shots[1].Text(18, 11, 4), "\xC0>K\xC4");
  EXPECT_EQ(rc.shots[2].Text(18, 11, 5), "\xC0>KO\xC4");
  EXPECT_EQ(rc.shots[3].Text(18, 11, 6), "\xC0>KOT\xC4");
  EXPECT_EQ(rc.shots[3].At(13, 7 + list->CursorRow()).attr, 0x70);
  EXPECT_TRUE(rc.tones.empty());

  rc.Keys("\"ło\" Esc");  // Polish lower case finds the upper-case item
  page->Run();
  EXPECT_EQ(pos, 6);
  rc.Keys("Z Esc");  // lower case in the item, upper case typed
  page->Run();
  EXPECT_EQ(pos, 8);

  rc.Keys("k");  // the search text was emptied when the list was left
  rc.Keys("Esc");
  page->Run();
  EXPECT_EQ(pos, 2);
}

TEST_F(ListTest, SearchThatFindsNothingBeepsAndStartsAfresh) {
  Build({"Alfa", "Beta", "Kappa"}, 3);
  rc.Keys("q a Esc");
  page->Run();
  ASSERT_EQ(rc.tones.size(), 1u);
  EXPECT_EQ(rc.tones[0], std::make_pair(1200, 96));
  EXPECT_EQ(rc.shots[1].Text(18, 11, 4), "\xC0>\xC4\xC4");  // no search text kept
  EXPECT_EQ(pos, 1);  // "a" searched alone, from the first item
}

TEST_F(ListTest, ColumnStops) {
  Build({"001 Nowak", "002 Kowal", "003 Adams"}, 1);
  rc.Keys("Tab k Esc");  // one stop only: Tab keeps column 1 and the focus
  page->Run();
  EXPECT_EQ(list->CurrentStop(), 1);
  EXPECT_EQ(pos, 1);
  EXPECT_EQ(rc.tones.size(), 1u);

  list->AddColumnStop(5);
  for (int i = 0; i < 6; ++i) list->AddColumnStop(9);  // beyond five: ignored
  rc.Keys("Tab k Esc");
  page->Run();
  EXPECT_EQ(pos, 2);
  // The mark stands before column 5 of the item texts.
  EXPECT_EQ(rc.shots[rc.shots.size() - 1].Text(18, 16, 3), ">K\xC4");
  rc.Keys("Tab Tab Tab Tab Esc");  // stops 3, 4, 5, back to 1
  page->Run();
  EXPECT_EQ(list->CurrentStop(), 1);
}

TEST_F(ListTest, EmptyList) {
  Build(0, 1);
  EXPECT_EQ(rc.Text(8, 12, 51), Spaces(20) + ">> PUSTO <<" + Spaces(20));
  EXPECT_EQ(rc.Attr(32, 8), Role(8));
  EXPECT_EQ(rc.Attr(32, 9), Role(5));
  rc.Keys("Enter Del Ins");
  EXPECT_EQ(page->Run(), kListInsert);
  ASSERT_EQ(rc.tones.size(), 2u);
  EXPECT_EQ(rc.tones[0], std::make_pair(500, 288));
  rc.Mouse(30, 8, 1);  // the first row
  EXPECT_EQ(page->Run(), kListInsert);
  rc.Keys("Esc");
  EXPECT_EQ(page->Run(), CMD_ABORT);
}

TEST_F(ListTest, Mouse) {
  Build(25, 12);  // rows show 8..17
  rc.Mouse(30, 10, 1);  // row 3: item 10
  rc.Keys("Esc");
  page->Run();
  EXPECT_EQ(pos, 10);
  rc.Mouse(30, 7 + list->CursorRow(), 1);  // the current item
  EXPECT_EQ(page->Run(), kListChoose);
  rc.Mouse(30, 7, 1);   // top frame line: a page up, 10 -> 1
  rc.Mouse(30, 18, 1);  // bottom frame line: a page down, 1 -> 11
  rc.Mouse(30, 18, 1);  // 11 -> 21
  rc.Keys("Esc");
  page->Run();
  EXPECT_EQ(pos, 21);
  rc.Mouse(30, 15, 2);  // right button: leaves, the form gives up
  EXPECT_EQ(page->Run(), CMD_ABORT);
}

TEST_F(ListTest, UpOnTheFirstItemCanLeaveTheList) {
  Build(5, 1);
  bool flag = false;
  page->Insert(CheckBox::Init(nullptr, 1, 13, flag, "Opcja"));
  list->topExit = true;
  rc.Keys("Up Esc");
  page->Run();
  EXPECT_EQ(page->Current(), 2);  // Shift+Tab from the first control wraps
}

}  // namespace
}  // namespace qm::test
