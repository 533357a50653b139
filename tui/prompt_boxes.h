// The file layer's questions shown as the program's message boxes and
// progress window.
#pragma once

#include "fileio/operator_prompts.h"

namespace qm {

// The boxes of this interface, for SetOperatorPrompts.
OperatorPrompts& PromptBoxes();

}  // namespace qm
