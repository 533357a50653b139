// The wizard's screen as the run's operator: the progress log drawn under
// the heading, the program's message and input boxes, the keys read from
// the console. Installed at start-up and by ResetProgramState, for the run
// and as the file layer's prompts. The serious I/O error ends the program
// here, the one decision of the file layer that is the top's to make.
#pragma once

#include "run/run_operator.h"

namespace qm {

RunOperator& WizardOperator();

}  // namespace qm
