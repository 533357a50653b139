// The program's screens on a terminal of 24 rows: every frame of whole runs
// placed as the terminal backend places it. No frame may leave out a row
// that carries something, and each kind of screen leaves out the row its
// layout offers.
#include "base/cp852.h"
#include "platform/terminal_view.h"
#include "tests/driver/e2e_support.h"

namespace qm::test::e2e {
namespace {

class ShortTerminal : public E2eTest {
 protected:
  struct Screen {
    const char* shows;  // text first seen on this kind of screen
    int hiddenRow;      // the row its view leaves out
    int seen = 0;
  };

  // Judged apart from the view's own rule: any character but blanks and
  // frame lines, or the cursor, is something.
  static bool Carries(const FakeConsole& c, int row) {
    if (c.Shape() != CursorShape::Hidden && c.CursorRow() == row) return true;
    for (int col = 1; col <= 80; ++col) {
      const char32_t ch = Cp852ToUnicode(c.Get(col, row).ch);
      if (ch != U' ' && (ch < 0x2500 || ch > 0x257F)) return true;
    }
    return false;
  }

  void Watch(std::vector<Screen> screens) {
    screens_ = std::move(screens);
    con.onFlush = [this](const FakeConsole& c) {
      const TerminalView view = ChooseView(c, 80, 24, hidden_);
      if (view.hiddenInTitle || Carries(c, view.hiddenRow))
        lost_.push_back("row " + std::to_string(view.hiddenRow) + " left out:\n" + c.ScreenText());
      hidden_ = view.hiddenRow;
      for (Screen& s : screens_)
        if (s.seen == 0 && c.Shows(s.shows)) s.seen = hidden_;
    };
  }
  void TearDown() override {
    con.onFlush = nullptr;
    EXPECT_TRUE(lost_.empty()) << lost_.size() << " frames lose a row, the first:\n" << lost_[0];
    for (const Screen& s : screens_) EXPECT_EQ(s.seen, s.hiddenRow) << s.shows;
    E2eTest::TearDown();
  }

  std::vector<Screen> screens_;
  std::vector<std::string> lost_;
  int hidden_ = 0;
};

TEST_F(ShortTerminal, EveryScreenOfATransferKeepsWhatItCarries) {
  sample::Options o;
  o.global2020Payroll = true;
  Generate(o);
  Watch({{"Lokalizacja", 2}, {"Dane globalne, konfiguracyjne", 2}, {"Dane firmowe", 2},
         {"Rezygnujesz", 2}, {"START KOPIOWANIA", 2}, {"Stwierdzono obecność pliku", 2},
         {"ROZPOZNANIE ŚRODOWISKA", 2}, {"BAZA FIRM", 2}, {"Katalog : PIEKARN", 24},
         {"Dokonano korekty 3 zapisów", 24}, {"(B/N/A) ?", 24},
         {"Koniec pracy kopiera danych ZEV_QM na rok 2020", 24}});
  const RunResult r =
      Run("PgDn PgDn PgUp Esc n PgDn PgDn F5 A Enter F5 Enter B Enter B Enter Enter B Enter");
  ASSERT_EQ(r.exitCode, 0) << LastScreens(2);
  EXPECT_EQ(r.keysLeft, 0u) << LastScreens(2);
}

// The usage screen holds text on row 2 and a ruled line on row 3.
TEST_F(ShortTerminal, UsageScreen) {
  args = {"?"};
  Watch({{"Program do kopiowania wybranych danych", 24}});
  Run("Enter");
}

}  // namespace
}  // namespace qm::test::e2e
