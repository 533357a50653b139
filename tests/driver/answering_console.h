// A console that answers the program by what its screen shows, so that a
// run cut off anywhere can be run again without a key script that knows
// where it was cut: every question gets the same answer every time (the
// overwrite question "W", the annual data "N", the repair "T"), the pages
// go on, the selection list starts, any box or wait gets Enter. Keys queued
// beforehand are used first.
#pragma once
#include <string>

#include "tests/support/fake_console.h"

namespace qm::test {

class AnsweringConsole : public FakeConsole {
 public:
  bool WaitEvent(ConsoleEvent& ev, int timeoutMs) override {
    if (PendingCount() == 0) {
      if (++answers > kMaxAnswers) throw ScriptExhausted();
      Keys(Answer());
    }
    return FakeConsole::WaitEvent(ev, timeoutMs);
  }

  int answers = 0;
  // The answer to the overwrite question.
  std::string overwrite = "W";
  // Keys for page 1 the first time it is shown in a run (before its PgDn).
  std::string page1Keys;
  bool page1Done = false;
  // Texts (UTF-8) of the questions answered "N" (Tak/Nie boxes), and of
  // one answered "T" beyond the repair and undo questions.
  std::string declineIfShown;
  std::string acceptIfShown;

 private:
  static constexpr int kMaxAnswers = 400;

  std::string Answer() {
    const std::string cursorRow = Row(CursorRow());
    if (cursorRow.find("Z(n)/W(a)") != std::string::npos) return overwrite;
    if (cursorRow.find("(B/N/A)") != std::string::npos) return "N";
    if (!declineIfShown.empty() && Shows(declineIfShown)) return "N";
    if (!acceptIfShown.empty() && Shows(acceptIfShown)) return "T";
    for (const char* yes : {"Naprawić teraz", "Cofnąć to przeniesienie", "Cofnąć mimo to"})
      if (Shows(yes)) return "T";
    if (Shows(" BAZA FIRM ") || Shows(" START KOPIOWANIA ")) return "F5";
    if (Shows(" Lokalizacja ") && !page1Done) {
      page1Done = true;
      return page1Keys.empty() ? "PgDn" : page1Keys + " PgDn";
    }
    for (const char* page : {" Lokalizacja ", " Dane globalne", " Dane firmowe"})
      if (Shows(page)) return "PgDn";
    return "Enter";
  }
};

}  // namespace qm::test
