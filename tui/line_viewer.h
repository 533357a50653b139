// A framed, scrolling window of text lines that the operator reads and
// closes with Enter or Esc: what an undo would change, the files changed
// since a run.
#pragma once
#include <string>
#include <vector>

namespace qm {

// Shows the lines (CP852) until Enter or Esc; false when the window could
// not be opened.
bool ShowLines(const std::string& title, const std::vector<std::string>& lines, const std::string& caption);

}  // namespace qm
