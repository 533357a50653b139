// What the terminal backend sends: changed cells only, as UTF-8 with the
// 16 colours, never a raw control byte.
#include <gtest/gtest.h>

#include <array>

#include "base/cp852.h"
#include "platform/terminal_render.h"
#include "platform/terminal_view.h"
#include "tests/support/fake_console.h"

namespace qm {
namespace {

// The fake console with its damage bits readable, as the terminal backend
// reads its own.
class DamageConsole : public test::FakeConsole {
 public:
  uint32_t TakeDirty() {
    const uint32_t d = dirtyRows_;
    dirtyRows_ = 0;
    return d;
  }
  bool TakeCursorDirty() {
    const bool d = cursorDirty_;
    cursorDirty_ = false;
    return d;
  }
};

std::string Frame(TerminalRenderer& r, DamageConsole& con) {
  const uint32_t dirty = con.TakeDirty();
  return r.Frame(con, dirty, con.TakeCursorDirty());
}

void PutText(Console& con, int col, int row, const std::string& utf8, uint8_t attr) {
  for (char ch : Pl(utf8)) con.Put(col++, row, static_cast<uint8_t>(ch), attr);
}

TEST(TerminalRender, ColoursInPcOrder) {
  struct Row {
    uint8_t attr;
    const char* sgr;
  };
  const Row rows[] = {
      {0x07, "\x1b[37;40m"},  {0x0F, "\x1b[97;40m"},  {0x1F, "\x1b[97;44m"},
      {0x70, "\x1b[30;47m"},  {0x02, "\x1b[32;40m"},  {0x4F, "\x1b[97;41m"},
      {0x13, "\x1b[36;44m"},  {0x56, "\x1b[33;45m"},  {0x08, "\x1b[90;40m"},
      {0xE9, "\x1b[94;103m"}, {0xCA, "\x1b[92;101m"}, {0xFD, "\x1b[95;107m"},
  };
  for (const Row& r : rows) EXPECT_EQ(SgrForAttr(r.attr), r.sgr) << int(r.attr);
}

TEST(TerminalRender, FirstFrameDrawsEverythingAsText) {
  DamageConsole con;
  PutText(con, 1, 1, " PROGRAM DO PRZEPCHNIĘCIA", 0x0A);
  for (int c = 1; c <= 80; ++c) con.Put(c, 2, 0xC4, 0x0F);
  con.Put(1, 3, 0x01, 0x07);  // a control code shows as its PC glyph
  con.Put(2, 3, 0x00, 0x07);
  con.Put(3, 3, 0x1B, 0x07);
  TerminalRenderer r;
  const std::string out = Frame(r, con);
  EXPECT_EQ(out.rfind("\x1b[0m\x1b[2J", 0), 0u);
  EXPECT_NE(out.find("\x1b[92;40m PROGRAM DO PRZEPCHNIĘCIA"), std::string::npos);
  std::string line;
  for (int i = 0; i < 80; ++i) line += "─";
  EXPECT_NE(out.find(line), std::string::npos);
  EXPECT_NE(out.find("☺ ←"), std::string::npos);
  for (int row = 1; row <= 25; ++row)
    EXPECT_NE(out.find("\x1b[" + std::to_string(row) + ";1H"), std::string::npos) << row;
  // The only control byte that goes out is the Esc of the sequences.
  for (unsigned char b : out) EXPECT_TRUE(b >= 0x20 || b == 0x1B) << int(b);
  EXPECT_TRUE(r.Valid());
  EXPECT_EQ(Frame(r, con), "");
}

TEST(TerminalRender, OnlyTheChangedSpanOfADirtyRowGoesOut) {
  DamageConsole con;
  TerminalRenderer r;
  Frame(r, con);
  con.Put(10, 5, 'x', 0x07);
  EXPECT_EQ(Frame(r, con), "\x1b[5;10H" "x");
  // Two changes in one row: the span between them is rewritten.
  con.Put(3, 7, 'a', 0x1F);
  con.Put(6, 7, 'b', 0x1F);
  con.Put(80, 25, 'z', 0x07);
  EXPECT_EQ(Frame(r, con), "\x1b[7;3H\x1b[97;44ma\x1b[37;40m  \x1b[97;44mb\x1b[25;80H\x1b[37;40mz");
  // A row marked dirty whose cells are as shown costs nothing.
  EXPECT_EQ(r.Frame(con, 0x1FFFFFF, false), "");
  // Invalidation (resize, resume) redraws it all.
  r.Invalidate();
  const std::string again = Frame(r, con);
  EXPECT_EQ(again.rfind("\x1b[0m\x1b[2J", 0), 0u);
  EXPECT_NE(again.find("\x1b[25;1H"), std::string::npos);
}

TEST(TerminalRender, CursorFollowsTheCoreAndHidesWhileDrawing) {
  DamageConsole con;
  TerminalRenderer r;
  Frame(r, con);
  con.SetCursor(5, 3);
  con.SetCursorShape(CursorShape::Tall);
  EXPECT_EQ(Frame(r, con), "\x1b[3;5H\x1b[1 q\x1b[?25h");
  con.SetCursor(6, 3);
  EXPECT_EQ(Frame(r, con), "\x1b[3;6H");
  con.SetCursorShape(CursorShape::Half);
  EXPECT_EQ(Frame(r, con), "\x1b[3 q");
  con.Put(1, 1, 'q', 0x07);
  EXPECT_EQ(Frame(r, con), "\x1b[?25l\x1b[1;1Hq\x1b[3;6H\x1b[?25h");
  con.SetCursorShape(CursorShape::Hidden);
  EXPECT_EQ(Frame(r, con), "\x1b[?25l");
  // Off-screen positions (after a write up to column 80) stay on it.
  con.SetCursor(81, 26);
  con.SetCursorShape(CursorShape::Normal);
  EXPECT_EQ(Frame(r, con), "\x1b[25;80H\x1b[3 q\x1b[?25h");
}

TEST(TerminalRender, TitleClipboardAndTheSizeMessage) {
  EXPECT_EQ(TitleSequence(Pl("qmVarno - Konwerter 2019-2020")),
            "\x1b]2;qmVarno - Konwerter 2019-2020\x07");
  EXPECT_EQ(TitleSequence(std::string("a\x07" "b", 3)), "\x1b]2;a•b\x07");
  EXPECT_EQ(ClipboardSequence(Pl("żółw")), "\x1b]52;c;" + Base64("żółw") + "\x07");
  const std::pair<const char*, const char*> b64[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
      {"\xff\xfe\xfd", "//79"}};
  for (auto& [in, out] : b64) EXPECT_EQ(Base64(in), out) << in;

  const std::string msg = TooSmallScreen(60, 20);
  EXPECT_NE(msg.find("Okno terminala jest za małe: potrzeba 80×24"), std::string::npos);
  EXPECT_NE(msg.find("(teraz 60×20)"), std::string::npos);
  EXPECT_NE(msg.find("\x1b[10;"), std::string::npos);  // centred
  EXPECT_NE(msg.find("\x1b[12;20HEsc - koniec programu"), std::string::npos);
  const std::string narrow = TooSmallScreen(10, 1);
  EXPECT_NE(narrow.find("\x1b[1;1HOkno termi"), std::string::npos);
  EXPECT_EQ(narrow.find("(teraz"), std::string::npos);
}

// A screen drawn from one letter per row: t text, d the text of the row
// above again, - a ruled line, | an empty stretch of a box, . blanks,
// o blanks with one cell on another background; T and C are t and . with
// the cursor on them.
void Draw(Console& con, const std::string& rows) {
  for (int r = 1; r <= 25; ++r) {
    const char kind = rows[static_cast<size_t>(r - 1)];
    std::string text = "wiersz " + std::to_string(kind == 'd' ? r - 1 : r);
    if (kind == '-') text = Cp852ToUtf8(std::string(79, '\xC4'));
    if (kind == '|') text = "  │" + std::string(40, ' ') + "│";
    if (kind == '.' || kind == 'o' || kind == 'C') text.clear();
    for (int c = 1; c <= 80; ++c) con.Put(c, r, ' ', 0x07);
    PutText(con, 1, r, text, 0x07);
    if (kind == 'o') con.Put(40, r, ' ', 0x70);
    if (kind == 'T' || kind == 'C') {
      con.SetCursor(3, r);
      con.SetCursorShape(CursorShape::Normal);
    }
  }
}

TEST(TerminalView, On24RowsTheRowLeftOutCarriesNothing) {
  struct Case {
    const char* what;
    const char* rows;
    int previous, hidden;
    bool inTitle;
  };
  const Case cases[] = {
      {"a page: the ruled line under the title", "t-ttt||tttttttttttttttttt", 0, 2, false},
      {"the log: the blank row above the hint line", "ttttttttttttttttttttttt.t", 0, 24, false},
      {"the row left out last time while it is empty", "t.ttttttttttttttttttttt.t", 24, 24, false},
      {"... else row 2 first", "t.ttttttttttttttttttttt.t", 5, 2, false},
      {"an empty stretch of a box, one row shorter", "ttttttttttt||tttttttttttt", 0, 13, false},
      {"never the cursor's row", "tttttttttttttttttttttttCt", 0, 1, true},
      {"blanks on two backgrounds carry something", "tttttttttttttttttttttttot", 0, 1, true},
      {"nor does one of two rows of one text", "ttttttttttttdtttttttttttt", 0, 1, true},
      {"all rows carry text: the title row to the title", "ttttttttttttttttttttttttt", 0, 1, true},
      {"... the hint line when the cursor is on row 1", "Ttttttttttttttttttttttttt", 0, 25, true},
  };
  for (const Case& k : cases) {
    test::FakeConsole con;
    ASSERT_EQ(std::string(k.rows).size(), 25u) << k.what;
    Draw(con, k.rows);
    const TerminalView v = ChooseView(con, 86, 24, k.previous);
    EXPECT_EQ(v, (TerminalView{3, 0, k.hidden, k.inTitle})) << k.what;
  }
  // Larger terminals centre the whole screen.
  test::FakeConsole con;
  for (auto [cols, rows, left, top] : {std::array{80, 25, 0, 0}, {90, 28, 5, 1}, {100, 30, 10, 2}})
    EXPECT_EQ(ChooseView(con, cols, rows, 0), (TerminalView{left, top, 0, false})) << cols;
}

TEST(TerminalRender, ARowWithTextLeftOutIsShownAsTheWindowTitle) {
  DamageConsole con;
  Draw(con, std::string(25, 't'));
  TerminalRenderer r;
  r.SetTerminalSize(80, 24);
  r.SetTitle("qm19-20");
  const std::string out = Frame(r, con);
  const std::string redraw = "\x1b[0m\x1b[2J\x1b[?25l\x1b[1;1H\x1b[37;40m";
  EXPECT_EQ(out.rfind("\x1b]2;wiersz 1\x07" + redraw + "wiersz 2 ", 0), 0u);
  con.Put(20, 1, 'z', 0x07);
  EXPECT_EQ(Frame(r, con), "\x1b]2;wiersz 1           z\x07");
  // A row to spare again: the program's title back, row 1 drawn again.
  Draw(con, std::string(23, 't') + ".t");
  EXPECT_EQ(Frame(r, con).rfind("\x1b]2;qm19-20\x07" + redraw + "wiersz 1 ", 0), 0u);
}

}  // namespace
}  // namespace qm
