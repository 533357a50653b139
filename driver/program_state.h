// The program keeps the original's single-process design: its run
// settings, tables and module states are process-wide values. This puts
// every one of them back to its start value, for the tests and fuzz targets
// that run many transfers in one process.
#pragma once

namespace qm {

void ResetProgramState();

}  // namespace qm
