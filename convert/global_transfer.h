// The global transfer: the files every company shares, from the 2019 global
// subdirectory (#BIN990 or the one chosen on page 4) into #BIN020, by the
// table of global items.
#pragma once

#include "run/run_stop.h"

namespace qm {

// What stops the run, if anything did: a missing source subdirectory or a
// #BIN020 that cannot be made, before anything is copied.
RunStop TransferGlobalData();

}  // namespace qm
