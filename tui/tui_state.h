// Start-up and reset of the whole text interface: the screen layer's own
// state, the forms' copies of its colours and the log window.
#pragma once

namespace qm {

// Start-up of the interface: colour scheme (ProgramDir + "kolory.qm"), hint
// line cleared, sound switch, then the controls' colour copies. Call after
// InitProgramLocation.
void InitScreenLayer();

// Every state of the text interface back to its start value (tests).
void ResetTuiState();

}  // namespace qm
