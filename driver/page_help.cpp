#include "base/cp852.h"
#include "driver/guide_sections.h"
#include "tui/help_window.h"

namespace qm {

const GuideSection* GuideSectionOf(int page) {
  for (size_t i = 0; i < kGuideSectionCount; ++i) {
    if (kGuideSections[i].page == page) return &kGuideSections[i];
  }
  return nullptr;
}

void ShowPageHelp(int page) {
  const GuideSection* section = GuideSectionOf(page);
  if (!section) return;
  ShowHelpWindow(" " + Pl(section->title) + " ", LayOutHelpText(Pl(section->text), kHelpTextWidth));
}

}  // namespace qm
