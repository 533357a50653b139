// The help window: a framed, scrolling window of text over the page area,
// closed with Esc (or Enter), which gives the screen back as it was. The
// wizard shows the user guide's part for its page in it. The guide is
// written in a small part of Markdown, laid out here to the window's width.
#pragma once
#include <string>
#include <vector>

namespace qm {

struct HelpLine {
  std::string text;
  bool heading = false;
};

// Lays the guide's markup out in lines of at most width characters (one
// byte each, as CP852 has them): a heading alone on its line after an empty
// one; paragraph lines joined and wrapped at blanks; list items ("- ", "* ",
// "1. ") and table rows wrapped under their own text; fenced code kept line
// for line; emphasis and code marks, table rules, link targets and HTML
// comments dropped. Empty lines never come twice, nor first or last.
std::vector<HelpLine> LayOutHelpText(const std::string& markup, size_t width);

// Text columns of the help window's inside, as LayOutHelpText is to fill.
inline constexpr size_t kHelpTextWidth = 72;

// Shows the lines under the title until Esc or Enter: Up, Down, PgUp, PgDn,
// Home and End scroll, the bottom frame says which lines are shown.
void ShowHelpWindow(const std::string& title, const std::vector<HelpLine>& lines);

}  // namespace qm
