// The help window: the guide's markup laid out to a width, and the
// scrolling window that gives the screen back when it closes.
#include <string>
#include <vector>

#include "base/cp852.h"
#include "tests/tui/tui_support.h"
#include "tui/help_window.h"
#include "tui/screen.h"

namespace qm::test {
namespace {

TEST(HelpLayout, MarkupLaidOutToTheWidth) {
  struct Case {
    const char* name;
    const char* markup;  // UTF-8, given to the layout in CP852
    size_t width;
    std::vector<std::string> lines;  // "#" in front marks a heading
  };
  const Case cases[] = {
      {"paragraph lines joined and wrapped at blanks", "Ala ma kota i psa.\nDrugi wiersz akapitu.", 12,
       {"Ala ma kota", "i psa. Drugi", "wiersz", "akapitu."}},
      {"a Polish letter is one column", "żółć żółć żółć", 9, {"żółć żółć", "żółć"}},
      {"headings alone, empty lines never twice, first or last", "\n## Tytuł\n\nTekst.\n\n\n## Drugi\nx\n\n", 20,
       {"#Tytuł", "", "Tekst.", "", "#Drugi", "", "x"}},
      {"list items hang under their text", "- pierwszy punkt listy\n  ciąg dalszy\n- drugi", 14,
       {"- pierwszy", "  punkt listy", "  ciąg dalszy", "- drugi"}},
      {"numbered items", "1. raz\n10. dwa trzy", 8, {"1. raz", "10. dwa", "    trzy"}},
      {"a number on a wrapped line is no item", "Rok\n2020. Dalej\n1. raz", 40, {"Rok 2020. Dalej", "1. raz"}},
      {"emphasis, code and link marks go", "**Uwaga:** plik `qm19-20.PTH`, [podręcznik](docs/PODRECZNIK.md), ZEV_2019 [A-i]",
       80, {"Uwaga: plik qm19-20.PTH, podręcznik, ZEV_2019 [A-i]"}},
      {"table rows without their rule", "| kod | znaczenie |\n|---|:---|\n| 0 | koniec pracy |", 40,
       {"kod | znaczenie", "0 | koniec pracy"}},
      {"fenced lines kept as they are", "```\nqm19-20 [KATALOG]   /COFNIJ\n```\npo", 40,
       {"qm19-20 [KATALOG]   /COFNIJ", "", "po"}},
      {"comments dropped, one line or more", "<!-- F1: koniec -->\ntekst\n<!-- dwa\nwiersze -->", 40, {"tekst"}},
      {"a word wider than the window is cut", "abcdefghijkl", 8, {"abcdefgh", "ijkl"}},
      {"CR LF line ends", "a\r\nb\r\n", 8, {"a b"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got;
    for (const HelpLine& l : LayOutHelpText(Pl(c.markup), c.width)) {
      EXPECT_LE(l.text.size(), c.width) << c.name;
      got.push_back((l.heading ? "#" : "") + Cp852ToUtf8(l.text));
    }
    EXPECT_EQ(got, c.lines) << c.name;
  }
}

class HelpWindowTest : public TuiTest {};

TEST_F(HelpWindowTest, ScrollsAndGivesTheScreenBack) {
  std::vector<HelpLine> lines;
  lines.push_back({Pl("Nagłówek"), true});
  for (int i = 2; i <= 50; ++i) lines.push_back({"wiersz " + std::to_string(i), false});
  struct Step {
    const char* key;   // pressed after the screen was seen
    const char* top;   // the first text row (screen row 4) before the key
    const char* where; // on the bottom frame before the key
  };
  const Step steps[] = {
      {"Down", "Nagłówek", " 1-20 / 50 "}, {"PgDn", "wiersz 2", " 2-21 / 50 "},
      {"End", "wiersz 21", " 21-40 / 50 "}, {"Down", "wiersz 31", " 31-50 / 50 "},
      {"PgUp", "wiersz 31", " 31-50 / 50 "}, {"Home", "wiersz 12", " 12-31 / 50 "},
      {"Up", "Nagłówek", " 1-20 / 50 "},     {"Esc", "Nagłówek", " 1-20 / 50 "},
  };
  Scribble(rc);
  const ScreenCells before = Snapshot(rc);
  for (const Step& s : steps) rc.Keys(s.key);
  ShowHelpWindow(" Pomoc ", lines);
  ASSERT_EQ(rc.shots.size(), std::size(steps));
  for (size_t i = 0; i < std::size(steps); ++i) {
    const Shot& shot = rc.shots[i];
    const std::string top = Pl(steps[i].top);
    EXPECT_EQ(shot.Text(4, 5, static_cast<int>(top.size())), top) << steps[i].key;
    EXPECT_EQ(shot.At(5, 4).attr, top == Pl("Nagłówek") ? Role(6) : Role(5)) << steps[i].key;
    const std::string where = steps[i].where;
    EXPECT_EQ(shot.Text(24, 77 - static_cast<int>(where.size()), static_cast<int>(where.size())), where)
        << steps[i].key;
    EXPECT_EQ(shot.Text(25, 2, 11), "Esc-Zamknij") << steps[i].key;
  }
  EXPECT_TRUE(Snapshot(rc) == before);
  EXPECT_EQ(rc.PendingCount(), 0u);

  // Enter and a click on the hint's Esc close it as well.
  for (const char* close : {"Enter", ""}) {
    if (*close) rc.Keys(close); else rc.Mouse(4, 25, 1);
    ShowHelpWindow(" Pomoc ", lines);
    EXPECT_TRUE(Snapshot(rc) == before) << close;
    EXPECT_EQ(rc.PendingCount(), 0u) << close;
  }
}

}  // namespace
}  // namespace qm::test
