// The parts of the user guide that F1 shows on the wizard's pages. The build
// cuts them out of docs/PODRECZNIK.md (cmake/guide_sections.cmake), so the
// guide stays their one source. Texts are UTF-8 and in the guide's markup.
#pragma once
#include <cstddef>

namespace qm {

struct GuideSection {
  int page;           // the wizard page, 1..4
  const char* title;  // the part's heading
  const char* text;   // what follows the heading
};

extern const GuideSection kGuideSections[];
extern const size_t kGuideSectionCount;

// The part for a page; none when the guide has none.
const GuideSection* GuideSectionOf(int page);

// F1 on a wizard page: its part of the guide in the help window.
void ShowPageHelp(int page);

}  // namespace qm
