// The screen layer: windows, colours and their scheme file, the progress
// window, the clock, tones, and the command-line and text utilities.
#include <stdlib.h>

#include <cstdio>

#include <string>
#include <vector>

#include "base/cp852.h"
#include "base/text.h"
#include "platform/host_fs.h"
#include "platform/process.h"
#include "tests/support/test_env.h"
#include "tui/screen.h"
#include "tui/tui_state.h"

namespace qm::test {
namespace {

using ScreenCells = std::vector<Cell>;

ScreenCells Snapshot(const Console& c) {
  ScreenCells cells;
  for (int r = 1; r <= 25; ++r)
    for (int col = 1; col <= 80; ++col) cells.push_back(c.Get(col, r));
  return cells;
}

// A screen where every cell differs from its neighbours, so a restore that
// puts back a wrong cell is seen.
void Scribble(Console& c) {
  for (int r = 1; r <= 25; ++r)
    for (int col = 1; col <= 80; ++col)
      c.Put(col, r, static_cast<uint8_t>('A' + (r * 7 + col) % 26),
            static_cast<uint8_t>((r + col) & 0x7F));
}

using ScreenTest = QmTest;

TEST_F(ScreenTest, NestedWindowsGiveBackExactlyWhatTheyCovered) {
  Scribble(con);
  const ScreenCells before = Snapshot(con);
  std::unique_ptr<FramedWindow> a, b, c;
  ASSERT_TRUE(OpenFramedWindow(a, 5, 3, 40, 12, true, 0x07, 0x02, 0x0F, Pl(" Okno ")));
  const ScreenCells withA = Snapshot(con);
  ASSERT_TRUE(OpenFramedWindow(b, 30, 8, 70, 20, true, 0x4F, 0x4F, 0x4F, ""));
  ASSERT_TRUE(OpenFramedWindow(c, 1, 1, 80, 25, false, 0x07, 0x70, 0x07, ""));
  EXPECT_EQ(ActiveWindow(), c.get());
  CloseFramedWindow(c);
  EXPECT_EQ(ActiveWindow(), b.get());
  CloseFramedWindow(b);
  EXPECT_EQ(ActiveWindow(), a.get());
  EXPECT_EQ(Snapshot(con), withA);
  CloseFramedWindow(a);
  EXPECT_EQ(ActiveWindow(), nullptr);
  EXPECT_EQ(Snapshot(con), before);
  CloseFramedWindow(a);  // an empty window is ignored
  EXPECT_EQ(Snapshot(con), before);
}

TEST_F(ScreenTest, WindowClosedOutOfOrderLeavesNoDanglingActiveWindow) {
  std::unique_ptr<FramedWindow> a, b;
  ASSERT_TRUE(OpenFramedWindow(a, 1, 1, 10, 5, true, 7, 7, 7, ""));
  ASSERT_TRUE(OpenFramedWindow(b, 20, 1, 30, 5, true, 7, 7, 7, ""));
  CloseFramedWindow(a);
  EXPECT_EQ(ActiveWindow(), b.get());
  CloseFramedWindow(b);
  EXPECT_EQ(ActiveWindow(), nullptr);
}

TEST_F(ScreenTest, FrameTitleAndBody) {
  std::unique_ptr<FramedWindow> w;
  ASSERT_TRUE(OpenFramedWindow(w, 10, 5, 29, 8, true, 0x07, 0x02, 0x0F, Pl(" Błąd ")));
  EXPECT_EQ(Cp852ToUtf8(con.Text(5, 10, 20)), "┌────── Błąd ──────┐");
  EXPECT_EQ(Cp852ToUtf8(con.Text(6, 10, 20)), "│                  │");
  EXPECT_EQ(Cp852ToUtf8(con.Text(8, 10, 20)), "└──────────────────┘");
  EXPECT_EQ(con.Attr(10, 5), 0x07);
  EXPECT_EQ(con.Attr(17, 5), 0x0F);  // title
  EXPECT_EQ(con.Attr(11, 6), 0x02);  // body
  CloseFramedWindow(w);
}

TEST_F(ScreenTest, WindowThatDoesNotFitIsNotOpened) {
  Scribble(con);
  const ScreenCells before = Snapshot(con);
  struct {
    int x1, y1, x2, y2;
  } cases[] = {{0, 1, 10, 5}, {1, 0, 10, 5}, {70, 1, 81, 5}, {1, 20, 10, 26}, {10, 5, 9, 6}};
  for (const auto& c : cases) {
    std::unique_ptr<FramedWindow> w;
    EXPECT_FALSE(OpenFramedWindow(w, c.x1, c.y1, c.x2, c.y2, true, 7, 7, 7, "x"));
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(ActiveWindow(), nullptr);
  }
  EXPECT_EQ(Snapshot(con), before);
}

TEST_F(ScreenTest, TextGoesInsideTheActiveWindowAndIsCutAtItsEdge) {
  WriteTextAt("abs", 2, 3, 0x07);
  EXPECT_EQ(con.Text(2, 3, 3), "abs");
  std::unique_ptr<FramedWindow> w;
  ASSERT_TRUE(OpenFramedWindow(w, 10, 10, 19, 14, true, 7, 7, 7, ""));
  WriteTextAt("0123456789", 1, 1, 0x1F);
  EXPECT_EQ(con.Text(11, 11, 8), "01234567");
  EXPECT_EQ(con.Get(19, 11).ch, 0xB3);  // the frame stays
  WriteTextAt("x", 4, 1, 0x1F);         // below the inside: nothing
  EXPECT_EQ(con.Get(11, 14).ch, 0xC4);
  WriteScreenAt("yz", 1, 79, 0x07);  // absolute, whatever is active
  EXPECT_EQ(con.Text(1, 79, 2), "yz");
  CloseFramedWindow(w);
}

TEST_F(ScreenTest, OutputWindowIsSavedAndRestored) {
  TextWindowRect saved, inner;
  SetTextWindow(saved, 3, 3, 77, 20);
  EXPECT_EQ(saved.x1, 1);
  EXPECT_EQ(saved.y2, 25);
  const TextWindowRect now = CurrentTextWindow();
  EXPECT_EQ(now.x1, 3);
  EXPECT_EQ(now.y1, 3);
  EXPECT_EQ(now.x2, 77);
  EXPECT_EQ(now.y2, 20);
  SetTextWindow(inner, 1, 1, 80, 25);
  RestoreTextWindow(inner);
  EXPECT_EQ(CurrentTextWindow().x2, 77);
  RestoreTextWindow(saved);
  EXPECT_EQ(CurrentTextWindow().x2, 80);
}

// ------------------------------------------------------------------ colours

class ColourTest : public QmTest {
 protected:
  void SetUp() override {
    QmTest::SetUp();
    ProgramDir = Dir();
    unsetenv("QMSOUND");
  }
  void TearDown() override {
    unsetenv("QMSOUND");
    ProgramDir.clear();
    QmTest::TearDown();
  }
};

TEST_F(ColourTest, SchemeFileReplacesTheColours) {
  const Bytes scheme = {0x17, 0x1F, 0x3F, 0x70, 0x17, 0x13, 0x1E, 0x1F, 0x4E, 0x1E, 0x30};
  WriteFile("kolory.qm", scheme);
  InitScreenLayer();
  for (size_t i = 0; i < scheme.size(); ++i) EXPECT_EQ(ColourRoles[i], scheme[i]) << i;
}

TEST_F(ColourTest, SchemeFileNameIsFoundWhateverItsCase) {
  WriteFile("KOLORY.QM", Bytes(11, 0x1E));
  InitScreenLayer();
  EXPECT_EQ(Role(5), 0x1E);
}

TEST_F(ColourTest, ZeroOrShortOrMissingSchemeKeepsTheDefaults) {
  Bytes zeros(11, 0);
  zeros[4] = 0x55;  // only the first four bytes decide
  WriteFile("kolory.qm", zeros);
  InitScreenLayer();
  EXPECT_EQ(ColourRoles, kDefaultColours);

  WriteFile("kolory.qm", Bytes{0x11, 0x22});
  ColourSet set{};
  EXPECT_TRUE(ColourFile(set, false));
  EXPECT_EQ(set, kDefaultColours);

  std::remove(Path("kolory.qm").c_str());
  EXPECT_FALSE(ColourFile(set, false));
  InitScreenLayer();
  EXPECT_EQ(ColourRoles, kDefaultColours);
}

TEST_F(ColourTest, SchemeIsWrittenAsElevenBytes) {
  ColourSet set = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  ASSERT_TRUE(ColourFile(set, true));
  EXPECT_EQ(ReadFile("kolory.qm"), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  ColourSet back{};
  ASSERT_TRUE(ColourFile(back, false));
  EXPECT_EQ(back, set);
}

TEST_F(ColourTest, SaveAndRestoreColours) {
  ColourSet saved;
  SaveColours(saved);
  ColourRoles[5] = 0x4F;
  RestoreColours(saved);
  EXPECT_EQ(Role(5), 0x02);
  ColourSet zero{};
  RestoreColours(zero);
  EXPECT_EQ(Role(5), 0x02);
  EXPECT_EQ(MakeAttr(0x0F, 0x04), 0x4F);
}

TEST_F(ColourTest, OnlyUpperCaseOffSilencesTheTones) {
  struct {
    const char* value;
    bool silent;
  } cases[] = {{"OFF", true}, {"off", false}, {"Off", false}, {"OFF ", false}, {"", false}};
  for (const auto& c : cases) {
    setenv("QMSOUND", c.value, 1);
    InitScreenLayer();
    con.tones.clear();
    Tone(1200, 2);
    EXPECT_EQ(con.tones.empty(), c.silent) << c.value;
  }
}

TEST_F(ColourTest, TonesLastUnitsOf48Ms) {
  Tone(2250, 1);
  ErrorBeep();
  ASSERT_EQ(con.tones.size(), 2u);
  EXPECT_EQ(con.tones[0], std::make_pair(2250, 48));
  EXPECT_EQ(con.tones[1], std::make_pair(500, 288));
}

// ---------------------------------------------------------- progress window

using ProgressTest = QmTest;

std::string BarOf(const FakeConsole& c) { return c.Text(12, 21, 35); }

TEST_F(ProgressTest, LayoutAndDefaultHeader) {
  Scribble(con);
  const ScreenCells before = Snapshot(con);
  auto p = ProgressWindow::Init("", Pl("Wstawianie..."), 10);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(con.Get(19, 8).ch, 0xDA);
  EXPECT_EQ(con.Get(57, 15).ch, 0xD9);
  EXPECT_EQ(con.Text(9, 20, 37), Spaces(13) + "Czekaj ..." + Spaces(14));
  EXPECT_EQ(con.Attr(33, 9), Role(10));
  EXPECT_EQ(con.Text(10, 23, 32), PadRight("Wstawianie...", 32));
  p->Reset();
  EXPECT_EQ(BarOf(con), std::string(35, '\xB1'));
  p->Step(3);
  EXPECT_EQ(BarOf(con).substr(0, 10), std::string(10, '\xDB'));  // 3 * 35 / 10
  EXPECT_EQ(BarOf(con)[10], '\xB1');
  EXPECT_EQ(con.Text(14, 21, 8), "       3");
  EXPECT_EQ(con.Attr(21, 14), 0x4F);
  // No input is read during a long run: the window shows itself, a few
  // times a second and once more when full.
  const int flushes = con.flushes;
  p->Step(1);
  EXPECT_EQ(con.flushes, flushes);
  con.nowMs += 100;
  p->Step(1);
  EXPECT_EQ(con.flushes, flushes + 1);
  p->Step(5);
  EXPECT_EQ(con.flushes, flushes + 2);
  p->Done();
  EXPECT_EQ(Snapshot(con), before);
}

TEST_F(ProgressTest, TotalOfZeroCountsAsOneAndStepsStopAtTheTotal) {
  for (int32_t total : {0, -5}) {
    auto p = ProgressWindow::Init("x", "y", total);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Total(), 1);
    p->Reset();
    p->Step(1);
    EXPECT_EQ(BarOf(con), std::string(35, '\xDB'));
    p->Step(7);
    EXPECT_EQ(p->Position(), 1);
    EXPECT_EQ(con.Text(14, 21, 8), "       1");
  }
  // A huge total must not overflow the bar's arithmetic.
  auto p = ProgressWindow::Init("x", "y", 2000000000);
  p->Step(1999999999);
  EXPECT_EQ(BarOf(con).substr(0, 34), std::string(34, '\xDB'));
}

// -------------------------------------------------------------------- clock

using ClockTest = QmTest;

TEST_F(ClockTest, ShowsTheTimeOnlyWhenTheSecondChanged) {
  con.nowMs = 3723400;  // 11:02:03.400 on the fake clock
  UpdateClock();
  EXPECT_EQ(con.Text(1, 73, 8), "11:02:03");
  EXPECT_EQ(con.Attr(73, 1), 0x0F);
  EXPECT_EQ(ClockWaitMs(), 600);
  WriteScreenAt("########", 1, 73, 0x07);
  con.nowMs += 500;  // same second
  UpdateClock();
  EXPECT_EQ(con.Text(1, 73, 8), "########");
  con.nowMs += 200;
  UpdateClock();
  EXPECT_EQ(con.Text(1, 73, 8), "11:02:04");
}

// ------------------------------------------------------ text and arguments

TEST(TextUtilities, Table) {
  EXPECT_EQ(PadRight("abcdef", 3), "abc");
  EXPECT_EQ(PadRight("ab", 4), "ab  ");
  EXPECT_EQ(PadRight("", 0), "");
  EXPECT_EQ(Spaces(3), "   ");
  EXPECT_EQ(IntToStr(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(TextIf(true, "a"), "a");
  EXPECT_EQ(TextIf(false, "a"), "");
  EXPECT_EQ(TwoDigits(7), "07");
  EXPECT_EQ(TwoDigits(59), "59");
  EXPECT_TRUE(HasFlags(0x05, 0x0D));
  EXPECT_FALSE(HasFlags(0x05, 0x0C));
  EXPECT_TRUE(HasFlags(0, 0));
}

class ArgsTest : public QmTest {
 protected:
  void TearDown() override {
    SetCommandArgs({});
    SetProgramFilePath("");
    QmTest::TearDown();
  }
};

TEST_F(ArgsTest, SwitchesAndValues) {
  SetCommandArgs({"C:\\ZEV2020", "-KPRSPIS:firmy.dat", "/exc"});
  EXPECT_TRUE(HasSwitch(SwitchCase::AnyCase, "/kprspis:"));
  EXPECT_EQ(CommandLineValue(SwitchCase::AnyCase, "/kprspis:"), "firmy.dat");
  EXPECT_EQ(CommandLineValue(SwitchCase::AnyCase, "kprspis:"), "firmy.dat");
  EXPECT_EQ(CommandLineValue(SwitchCase::Exact, "/kprspis:"), "");  // case-sensitive
  EXPECT_TRUE(HasSwitch(SwitchCase::Exact, "exc"));
  EXPECT_TRUE(HasSwitch(SwitchCase::AnyCase, "/EXC"));
  EXPECT_FALSE(HasSwitch(static_cast<SwitchCase>(2), "/EXC"));
  EXPECT_FALSE(HasSwitch(SwitchCase::AnyCase, "/LFN"));
  SetCommandArgs({"kprspis:bez_ukosnika"});
  EXPECT_EQ(CommandLineValue(SwitchCase::AnyCase, "/kprspis:"), "bez_ukosnika");
}

TEST_F(ArgsTest, ProgramLocation) {
  const std::string S(1, kPathSep);
  struct {
    std::string path, base, dir;
  } cases[] = {
      {S + "opt" + S + "qm" + S + "qm19-20.exe", S + "opt" + S + "qm" + S + "qm19-20",
       S + "opt" + S + "qm" + S},
      {S + "opt" + S + "qm.1.05" + S + "qm19-20", S + "opt" + S + "qm.1.05" + S + "qm19-20",
       S + "opt" + S + "qm.1.05" + S},
      {"qm19-20.x.exe", "qm19-20.x", ""},
  };
  for (const auto& c : cases) {
    SetProgramFilePath(c.path);
    InitProgramLocation();
    EXPECT_EQ(ProgramBase, c.base) << c.path;
    EXPECT_EQ(ProgramDir, c.dir) << c.path;
  }
  EXPECT_FALSE(StartDir.empty());
  EXPECT_TRUE(StartDir.size() <= 3 || StartDir.back() != kPathSep);
}

}  // namespace
}  // namespace qm::test
